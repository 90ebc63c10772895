#pragma once
// Who is listening to which account: every live note of every connection.
// Changes accepted from one connection are turned into frames for the other
// listeners of the same account, each carrying that listener's own note id.
//
// Peers are called with the hub's lock held and must only queue the frame
// (never call back into the hub).  A peer leaves before it is destroyed.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <vector>

#include "store.h"
#include "sync/frames.h"

namespace vellumo::syncd {

class Peer {
 public:
  virtual ~Peer() = default;
  // Thread-safe; called from any thread.
  virtual void Deliver(sync::Frame frame) = 0;
  // Told, just before the item frame is delivered, which hash a push for
  // noteId carries.  Thread-safe.
  virtual void Pushed(std::uint32_t noteId, const ItemHashValue& hash) {
    (void)noteId;
    (void)hash;
  }
};

// Cross-process fan-out (PostgreSQL NOTIFY): told of every local change after
// the local listeners got it.
class ChangeRelay {
 public:
  virtual ~ChangeRelay() = default;
  virtual void ItemAdded(AccountId account, const ItemHashValue& hash) = 0;
  virtual void ItemDeleted(AccountId account, const ItemHashValue& hash) = 0;
};

class Hub {
 public:
  void Join(AccountId account, Peer* peer, std::uint32_t noteId);
  void Leave(AccountId account, Peer* peer, std::uint32_t noteId);
  void LeaveAll(Peer* peer);

  void SetRelay(ChangeRelay* relay) { relay_ = relay; }

  // origin (may be null) is left out.  Relayed unless fromRelay.
  void PushItem(AccountId account, const Peer* origin, const ItemHashValue& hash,
                std::span<const std::uint8_t> sealed, bool fromRelay = false);
  void PushDelete(AccountId account, const Peer* origin, const ItemHashValue& hash, bool fromRelay = false);

  [[nodiscard]] std::size_t ListenerCount(AccountId account);

 private:
  struct Listener {
    Peer* peer;
    std::uint32_t noteId;
  };
  void Each(AccountId account, const Peer* origin, const std::function<void(Listener&)>& send);

  std::mutex mutex_;
  std::map<AccountId, std::vector<Listener>> listeners_;
  std::map<Peer*, std::vector<AccountId>> joined_;
  ChangeRelay* relay_ = nullptr;
};

}  // namespace vellumo::syncd
