#include "hub.h"

#include <algorithm>

namespace vellumo::syncd {

void Hub::Join(AccountId account, Peer* peer, std::uint32_t noteId) {
  std::lock_guard lock(mutex_);
  listeners_[account].push_back({peer, noteId});
  joined_[peer].push_back(account);
}

void Hub::Leave(AccountId account, Peer* peer, std::uint32_t noteId) {
  std::lock_guard lock(mutex_);
  if (auto it = listeners_.find(account); it != listeners_.end()) {
    std::erase_if(it->second, [&](const Listener& l) { return l.peer == peer && l.noteId == noteId; });
    if (it->second.empty()) listeners_.erase(it);
  }
  if (auto it = joined_.find(peer); it != joined_.end()) {
    if (auto at = std::find(it->second.begin(), it->second.end(), account); at != it->second.end()) {
      it->second.erase(at);
    }
    if (it->second.empty()) joined_.erase(it);
  }
}

void Hub::LeaveAll(Peer* peer) {
  std::lock_guard lock(mutex_);
  const auto it = joined_.find(peer);
  if (it == joined_.end()) return;
  for (const AccountId account : it->second) {
    if (auto l = listeners_.find(account); l != listeners_.end()) {
      std::erase_if(l->second, [&](const Listener& x) { return x.peer == peer; });
      if (l->second.empty()) listeners_.erase(l);
    }
  }
  joined_.erase(it);
}

void Hub::Each(AccountId account, const Peer* origin, const std::function<void(Listener&)>& send) {
  std::lock_guard lock(mutex_);
  const auto it = listeners_.find(account);
  if (it == listeners_.end()) return;
  for (Listener& l : it->second) {
    if (l.peer != origin) send(l);
  }
}

void Hub::PushItem(AccountId account, const Peer* origin, const ItemHashValue& hash,
                   std::span<const std::uint8_t> sealed, bool fromRelay) {
  Each(account, origin, [&](Listener& l) {
    sync::Frame frame;
    if (sync::BuildFrame(sync::ServerMessage{sync::ServerItem{l.noteId, sealed}}, frame) == sync::FrameError::kOk) {
      l.peer->Pushed(l.noteId, hash);
      l.peer->Deliver(std::move(frame));
    }
  });
  if (relay_ != nullptr && !fromRelay) relay_->ItemAdded(account, hash);
}

void Hub::PushDelete(AccountId account, const Peer* origin, const ItemHashValue& hash, bool fromRelay) {
  Each(account, origin, [&](Listener& l) {
    sync::Frame frame;
    if (sync::BuildFrame(sync::ServerMessage{sync::DeleteHashRequest{l.noteId, hash}}, frame) ==
        sync::FrameError::kOk) {
      l.peer->Deliver(std::move(frame));
    }
  });
  if (relay_ != nullptr && !fromRelay) relay_->ItemDeleted(account, hash);
}

std::size_t Hub::ListenerCount(AccountId account) {
  std::lock_guard lock(mutex_);
  const auto it = listeners_.find(account);
  return it == listeners_.end() ? 0 : it->second.size();
}

}  // namespace vellumo::syncd
