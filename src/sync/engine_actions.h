#pragma once
// What the sync engine's decisions ask the engine to do.  The decisions
// (frame dispatch, the local-change hooks, journal reconciliation) are pure
// and return these in the order they must happen; the engine carries them
// out against the database, the socket and the interface thread.
#include <cstdint>
#include <variant>
#include <vector>

#include "sync/frames.h"
#include "sync/item_block.h"

namespace vellumo::sync {

// Hand the frame to the outgoing queue.
struct SendFrameAction {
  Frame frame;
};
// CreateItem without notifying sync: the item came from the server.
struct CreateLocalItem {
  std::uint32_t noteId = 0;
  std::vector<std::uint8_t> title;
  std::vector<std::uint8_t> content;
};
// DeleteItem without notifying sync: the server asked for it.
struct DeleteLocalItem {
  std::uint32_t noteId = 0;
  std::uint32_t itemId = 0;
};
// NotifyNoteChanged: open windows and the management window refresh.
struct NoteChanged {
  std::uint32_t noteId = 0;
};
// Write or erase the note's NoteSyncDigest record for the hash.
struct JournalAdd {
  std::uint32_t noteId = 0;
  ItemHashValue hash{};
};
struct JournalErase {
  std::uint32_t noteId = 0;
  ItemHashValue hash{};
};
struct SetEntryStatus {
  std::uint32_t noteId = 0;
  int status = 0;
};
// WM_MGMT_SYNC_ERROR (note, code) to the management window.
struct ReportSyncError {
  std::uint32_t noteId = 0;
  std::uint16_t code = 0;
};
// The server notice box; text is already cut to what is shown.
struct ShowNotice {
  std::vector<std::uint8_t> text;
};
struct HeartbeatAnswered {};

using EngineAction = std::variant<SendFrameAction, CreateLocalItem, DeleteLocalItem, NoteChanged, JournalAdd,
                                  JournalErase, SetEntryStatus, ReportSyncError, ShowNotice, HeartbeatAnswered>;
using ActionList = std::vector<EngineAction>;

}  // namespace vellumo::sync
