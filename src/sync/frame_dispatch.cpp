#include "sync/frame_dispatch.h"

#include <type_traits>

#include "sync/sealing.h"
#include "sync/sync_journal.h"

namespace vellumo::sync {
namespace {

void Send(ActionList& out, const ClientMessage& m) {
  Frame f;
  if (BuildFrame(m, f) == FrameError::kOk) out.emplace_back(SendFrameAction{std::move(f)});
}

void OnStatus(ActionList& out, const RegisterStatus& m, const SyncList& list, const LocalItems& items) {
  if (list.Find(m.noteId) == nullptr) return;
  out.emplace_back(SetEntryStatus{m.noteId, m.status});
  if (m.status != 0) {
    out.emplace_back(ReportSyncError{m.noteId, m.status});
    return;
  }
  Send(out, Digest{m.noteId, NoteDigest(CurrentItemHashes(items, m.noteId))});
}

void OnListRequest(ActionList& out, const ListRequest& m, const SyncList& list, const LocalItems& items) {
  if (list.Find(m.noteId) == nullptr) return;
  std::vector<ItemHashValue> hashes;
  std::uint32_t listed = 0;
  for (const auto& item : items.Items(m.noteId)) {
    const ItemHashValue h = ItemHash(item.stored.Fields());
    hashes.push_back(h);
    Send(out, ListItem{m.noteId, item.itemId, h});
    ++listed;
  }
  // The listing tells the server what stays; the journal adds what went.
  AppendReconcile(out, m.noteId, items.Journal(m.noteId), hashes);
  Send(out, ListEnd{m.noteId, listed});
}

void OnUploadRequest(ActionList& out, const UploadRequest& m, const SyncList& list, const LocalItems& items) {
  const SyncEntry* entry = list.Find(m.noteId);
  if (entry == nullptr) return;
  const auto stored = items.Item(m.noteId, m.itemId);
  if (!stored) return;
  // The whole stored item, so the upload's hash is the one ListItem gave.
  const auto block = ItemBlock::Make(stored->Fields());
  if (!block) return;
  std::vector<std::uint8_t> sealed;
  if (SealItemBlock(DeriveSyncKey(entry->password), block->bytes(), sealed) != SealError::kOk) return;
  Send(out, Upload{m.noteId, ItemHash(block->bytes()), sealed});
}

void OnItem(ActionList& out, const ServerItem& m, const SyncList& list, const LocalItems& items) {
  const SyncEntry* entry = list.Find(m.noteId);
  if (entry == nullptr) return;
  std::vector<std::uint8_t> block;
  ItemFields fields;
  if (UnsealItemBlock(DeriveSyncKey(entry->password), m.sealed, block) != UnsealError::kOk ||
      ParseItemBlock(block, fields) != ItemBlockError::kOk) {
    out.emplace_back(ReportSyncError{m.noteId, kSyncErrorBadServerData});
    return;
  }
  if (fields.title.empty()) {
    // An item without a title cannot be stored as it is; the server drops it.
    Send(out, DeleteHash{m.noteId, ItemHash(block)});
    return;
  }
  // The server sends what it believes the note lacks; a copy made here in
  // the meantime (the same content typed, or a push crossing a listing)
  // must not become a second item.
  const ItemHashValue hash = ItemHash(block);
  for (const auto& item : items.Items(m.noteId)) {
    if (ItemHash(item.stored.Fields()) == hash) return;
  }
  out.emplace_back(CreateLocalItem{m.noteId, {fields.title.begin(), fields.title.end()},
                                   {fields.content.begin(), fields.content.end()}});
  out.emplace_back(NoteChanged{m.noteId});
}

void OnDeleteItem(ActionList& out, const DeleteItemRequest& m, const SyncList& list) {
  if (list.Find(m.noteId) == nullptr) return;
  out.emplace_back(DeleteLocalItem{m.noteId, m.itemId});
  out.emplace_back(NoteChanged{m.noteId});
}

void OnDeleteHash(ActionList& out, const DeleteHashRequest& m, const SyncList& list, const LocalItems& items) {
  if (list.Find(m.noteId) == nullptr) return;
  for (const auto& item : items.Items(m.noteId)) {
    if (ItemHash(item.stored.Fields()) == m.hash) out.emplace_back(DeleteLocalItem{m.noteId, item.itemId});
  }
  out.emplace_back(NoteChanged{m.noteId});
}

}  // namespace

ActionList DispatchServerFrame(std::span<const std::uint8_t> frame, const SyncList& list, const LocalItems& items) {
  ActionList out;
  ServerMessage message;
  if (ParseServerFrame(frame, message) != FrameError::kOk) return out;
  std::visit(
      [&](const auto& m) {
        using M = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<M, HeartbeatAnswer>) out.emplace_back(HeartbeatAnswered{});
        if constexpr (std::is_same_v<M, RegisterStatus>) OnStatus(out, m, list, items);
        if constexpr (std::is_same_v<M, ListRequest>) OnListRequest(out, m, list, items);
        if constexpr (std::is_same_v<M, UploadRequest>) OnUploadRequest(out, m, list, items);
        if constexpr (std::is_same_v<M, ServerItem>) OnItem(out, m, list, items);
        if constexpr (std::is_same_v<M, DeleteItemRequest>) OnDeleteItem(out, m, list);
        if constexpr (std::is_same_v<M, DeleteHashRequest>) OnDeleteHash(out, m, list, items);
        if constexpr (std::is_same_v<M, ServerNotice>) {
          const auto shown = ShownNoticeText(m.text);
          out.emplace_back(ShowNotice{{shown.begin(), shown.end()}});
        }
      },
      message);
  return out;
}

}  // namespace vellumo::sync
