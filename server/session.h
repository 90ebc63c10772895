#pragma once
// One client connection's protocol, without the socket: bytes in, reply
// frames out, effects on the store and on the other listeners of an account.
// The network layer feeds it whatever arrived and sends what it returns; the
// tests drive it the same way.
//
// The client's order of frames (see the sync engine): preamble, Hello, then
// per note Register -> status; Digest; on request ListItem... ListEnd; and
// at any time Announce, Upload, DeleteHash, Heartbeat.  Frames for a note id
// that is not registered on this connection are ignored: the client may
// still send them for a note whose registration failed.
//
// What the session answers:
//   Register      status; 0 makes the note live on this connection
//   Heartbeat     heartbeat answer
//   Digest        a list request when the server's digest differs
//   ListEnd       upload requests for listed hashes the server lacks, items
//                 the client did not list (unless pushed to it since its
//                 Digest: it has those, or will, and must not get them
//                 twice), deletes (by item id) for listed hashes that are
//                 tombstoned
//   Announce      an upload request when the server lacks the hash; lifts
//                 its tombstone (the user made that content again)
//   Upload        stored; a new hash goes to the account's other listeners
//   DeleteHash    removed and tombstoned; the other listeners are told
// A store failure answers status 9 for the note and makes it not live.
//
// A connection refused as a whole (server full: 3, program too old: 5)
// answers every Register with that code and heartbeats as usual.
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "account_gate.h"
#include "hub.h"
#include "store.h"
#include "sync/frames.h"

namespace vellumo::syncd {

struct SessionConfig {
  sync::ProgramVersion minVersion{0, 0};
  // The client lists at most 4096 items per note; more is not a client.
  std::size_t maxListItems = 4096;
  // Notes one connection may have live at once.
  std::size_t maxNotes = 4096;
};

struct Services {
  Store& store;
  Hub& hub;
  AccountGate& gate;
  SessionConfig config;
};

class Session {
 public:
  // refusal: 0, or the status every Register gets (busy, too old).
  Session(Services& services, Peer& self, std::string address, std::uint16_t refusal = 0);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Handles every whole frame now buffered.  False when the connection must
  // end (closeReason says why); replies made before that are still valid.
  [[nodiscard]] bool Receive(std::span<const std::uint8_t> bytes, std::vector<sync::Frame>& replies);

  // A push of hash reached this connection for noteId (any thread).
  void RecordPush(std::uint32_t noteId, const ItemHashValue& hash);

  [[nodiscard]] const std::string& closeReason() const noexcept { return closeReason_; }
  [[nodiscard]] std::uint16_t refusal() const noexcept { return refusal_; }
  [[nodiscard]] std::size_t liveNotes() const noexcept { return notes_.size(); }

 private:
  struct NoteState {
    AccountId account = 0;
    // The list being received: hash -> the client's item ids with it.
    std::map<ItemHashValue, std::vector<std::uint32_t>> listed;
    std::size_t listedCount = 0;
  };
  using Replies = std::vector<sync::Frame>;

  bool Fail(std::string reason);
  bool HandleFrame(const sync::ClientMessage& message, Replies& replies);
  void OnRegister(const sync::Register& m, Replies& replies);
  void OnDigest(const sync::Digest& m, NoteState& note, Replies& replies);
  bool OnListItem(const sync::ListItem& m, NoteState& note);
  void OnListEnd(const sync::ListEnd& m, NoteState& note, Replies& replies);
  void OnAnnounce(const sync::Announce& m, NoteState& note, Replies& replies);
  void OnUpload(const sync::Upload& m, NoteState& note);
  void OnDeleteHash(const sync::DeleteHash& m, NoteState& note);
  void Forget(std::uint32_t noteId);
  NoteState* Live(std::uint32_t noteId);

  Services& services_;
  Peer& self_;
  std::string address_;
  std::uint16_t refusal_;
  bool preambleDone_ = false;
  sync::ProgramVersion version_{};
  std::vector<std::uint8_t> buffer_;
  std::map<std::uint32_t, NoteState> notes_;
  std::string closeReason_;
  // Per note with a list exchange open (Digest .. ListEnd): the hashes
  // pushed to it meanwhile.  Written by other connections' threads.
  std::mutex pushMutex_;
  std::map<std::uint32_t, std::set<ItemHashValue>> pushedDuringList_;
};

void Reply(std::vector<sync::Frame>& replies, const sync::ServerMessage& message);

}  // namespace vellumo::syncd
