#include "session.h"

#include <set>
#include <type_traits>
#include <utility>

#include "log.h"

namespace vellumo::syncd {

void Reply(std::vector<sync::Frame>& replies, const sync::ServerMessage& message) {
  sync::Frame frame;
  if (sync::BuildFrame(message, frame) == sync::FrameError::kOk) replies.push_back(std::move(frame));
}

Session::Session(Services& services, Peer& self, std::string address, std::uint16_t refusal)
    : services_(services), self_(self), address_(std::move(address)), refusal_(refusal) {}

Session::~Session() { services_.hub.LeaveAll(&self_); }

bool Session::Fail(std::string reason) {
  closeReason_ = std::move(reason);
  return false;
}

bool Session::Receive(std::span<const std::uint8_t> bytes, std::vector<sync::Frame>& replies) {
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  std::size_t used = 0;
  bool keep = true;
  if (!preambleDone_) {
    std::size_t consumed = 0;
    const auto e = sync::ParsePreamble(buffer_, version_, consumed);
    if (e == sync::FrameError::kIncomplete) return true;
    if (e != sync::FrameError::kOk) return Fail("not a sync client (bad preamble)");
    preambleDone_ = true;
    used = consumed;
    const auto& min = services_.config.minVersion;
    if (refusal_ == 0 && std::pair(version_.majorVersion, version_.minorVersion) <
                             std::pair(min.majorVersion, min.minorVersion)) {
      refusal_ = sync::kSyncErrorVersionTooOld;
    }
  }
  while (keep) {
    const auto rest = std::span<const std::uint8_t>(buffer_).subspan(used);
    std::size_t frameBytes = 0;
    const auto scan = sync::ScanFrame(rest, frameBytes);
    if (scan == sync::FrameError::kIncomplete) break;
    if (scan != sync::FrameError::kOk) {
      keep = Fail("frame length out of range");
      break;
    }
    sync::ClientMessage message;
    const auto parsed = sync::ParseClientFrame(rest.first(frameBytes), message);
    if (parsed != sync::FrameError::kOk) {
      keep = Fail("malformed frame (type " + std::to_string(rest[4] | (rest[5] << 8)) + ", " +
                  std::to_string(frameBytes) + " bytes)");
      break;
    }
    // Handled before the bytes it views are moved.
    keep = HandleFrame(message, replies);
    used += frameBytes;
  }
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used));
  return keep;
}

Session::NoteState* Session::Live(std::uint32_t noteId) {
  const auto it = notes_.find(noteId);
  return it == notes_.end() ? nullptr : &it->second;
}

void Session::Forget(std::uint32_t noteId) {
  {
    std::lock_guard lock(pushMutex_);
    pushedDuringList_.erase(noteId);
  }
  const auto it = notes_.find(noteId);
  if (it == notes_.end()) return;
  services_.hub.Leave(it->second.account, &self_, noteId);
  notes_.erase(it);
}

bool Session::HandleFrame(const sync::ClientMessage& message, Replies& replies) {
  if (std::holds_alternative<sync::Heartbeat>(message)) {
    Reply(replies, sync::HeartbeatAnswer{});
    return true;
  }
  if (std::holds_alternative<sync::Hello>(message)) return true;
  if (const auto* r = std::get_if<sync::Register>(&message)) {
    try {
      OnRegister(*r, replies);
    } catch (const StoreFailure& e) {
      Log(LogLevel::kError, std::string("store: ") + e.what());
      Forget(r->noteId);
      Reply(replies, sync::RegisterStatus{r->noteId, sync::kSyncErrorServerUnknown});
    }
    return true;
  }
  if (refusal_ != 0) return true;
  return std::visit(
      [&](const auto& m) -> bool {
        using T = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<T, sync::Heartbeat> || std::is_same_v<T, sync::Hello> ||
                      std::is_same_v<T, sync::Register>) {
          return true;
        } else {
          NoteState* note = Live(m.noteId);
          if (note == nullptr) return true;
          try {
            if constexpr (std::is_same_v<T, sync::Digest>) {
              OnDigest(m, *note, replies);
            } else if constexpr (std::is_same_v<T, sync::ListItem>) {
              if (!OnListItem(m, *note)) return Fail("item list longer than any client sends");
            } else if constexpr (std::is_same_v<T, sync::ListEnd>) {
              OnListEnd(m, *note, replies);
            } else if constexpr (std::is_same_v<T, sync::Announce>) {
              OnAnnounce(m, *note, replies);
            } else if constexpr (std::is_same_v<T, sync::Upload>) {
              OnUpload(m, *note);
            } else if constexpr (std::is_same_v<T, sync::DeleteHash>) {
              OnDeleteHash(m, *note);
            }
          } catch (const StoreFailure& e) {
            Log(LogLevel::kError, std::string("store: ") + e.what());
            Forget(m.noteId);
            Reply(replies, sync::RegisterStatus{m.noteId, sync::kSyncErrorServerUnknown});
          }
          return true;
        }
      },
      message);
}

void Session::OnRegister(const sync::Register& m, Replies& replies) {
  // A new registration of the same note replaces the old one whatever its
  // outcome: the client has reset that note's entry.
  Forget(m.noteId);
  if (refusal_ != 0) {
    Reply(replies, sync::RegisterStatus{m.noteId, refusal_});
    return;
  }
  if (notes_.size() >= services_.config.maxNotes) {
    Reply(replies, sync::RegisterStatus{m.noteId, sync::kSyncErrorServerBusy});
    return;
  }
  const RegisterOutcome outcome =
      services_.gate.Register(m.syncId, m.verifier, address_, RateLimiter::Clock::now());
  if (outcome.status == 0) {
    notes_[m.noteId] = NoteState{outcome.account, {}, 0};
    services_.hub.Join(outcome.account, &self_, m.noteId);
    if (outcome.created) Log(LogLevel::kInfo, "account " + std::to_string(outcome.account) + " created");
  } else if (outcome.status == sync::kSyncErrorIdOrPassword || outcome.status == sync::kSyncErrorTooManyAttempts) {
    Log(LogLevel::kInfo, "register refused (" + std::to_string(outcome.status) + ") from " + address_);
  }
  Reply(replies, sync::RegisterStatus{m.noteId, outcome.status});
}

void Session::RecordPush(std::uint32_t noteId, const ItemHashValue& hash) {
  std::lock_guard lock(pushMutex_);
  const auto it = pushedDuringList_.find(noteId);
  if (it != pushedDuringList_.end() && it->second.size() < 2 * services_.config.maxListItems) it->second.insert(hash);
}

void Session::OnDigest(const sync::Digest& m, NoteState& note, Replies& replies) {
  note.listed.clear();
  note.listedCount = 0;
  {
    std::lock_guard lock(pushMutex_);
    pushedDuringList_[m.noteId].clear();
  }
  const auto hashes = services_.store.ItemHashes(note.account);
  if (sync::NoteDigest(hashes) != m.digest) Reply(replies, sync::ListRequest{m.noteId});
}

bool Session::OnListItem(const sync::ListItem& m, NoteState& note) {
  if (++note.listedCount > services_.config.maxListItems) return false;
  note.listed[m.hash].push_back(m.itemId);
  return true;
}

void Session::OnListEnd(const sync::ListEnd& m, NoteState& note, Replies& replies) {
  auto listed = std::move(note.listed);
  note.listed.clear();
  note.listedCount = 0;
  std::set<ItemHashValue> pushed;
  {
    std::lock_guard lock(pushMutex_);
    if (const auto it = pushedDuringList_.find(m.noteId); it != pushedDuringList_.end()) {
      pushed = std::move(it->second);
      pushedDuringList_.erase(it);
    }
  }
  const auto tombstoneList = services_.store.Tombstones(note.account);
  const std::set<ItemHashValue> tombstones(tombstoneList.begin(), tombstoneList.end());
  const auto held = services_.store.ItemHashes(note.account);
  const std::set<ItemHashValue> heldSet(held.begin(), held.end());

  for (const auto& [hash, itemIds] : listed) {
    if (tombstones.contains(hash)) {
      // Deleted elsewhere while this client was away: its copy goes too.
      for (const std::uint32_t itemId : itemIds) Reply(replies, sync::DeleteItemRequest{m.noteId, itemId});
    } else if (!heldSet.contains(hash)) {
      Reply(replies, sync::UploadRequest{m.noteId, itemIds.front()});
    }
  }
  for (const auto& hash : held) {
    if (listed.contains(hash) || pushed.contains(hash)) continue;
    if (const auto sealed = services_.store.GetItem(note.account, hash)) {
      Reply(replies, sync::ServerItem{m.noteId, *sealed});
    }
  }
}

void Session::OnAnnounce(const sync::Announce& m, NoteState& note, Replies& replies) {
  services_.store.ClearTombstone(note.account, m.hash);
  if (!services_.store.HasItem(note.account, m.hash)) Reply(replies, sync::UploadRequest{m.noteId, m.itemId});
}

void Session::OnUpload(const sync::Upload& m, NoteState& note) {
  if (services_.store.PutItem(note.account, m.hash, m.sealed)) {
    services_.hub.PushItem(note.account, &self_, m.hash, m.sealed);
  }
}

void Session::OnDeleteHash(const sync::DeleteHash& m, NoteState& note) {
  services_.store.DeleteItem(note.account, m.hash);
  services_.hub.PushDelete(note.account, &self_, m.hash);
}

}  // namespace vellumo::syncd
