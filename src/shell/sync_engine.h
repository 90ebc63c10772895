#pragma once
// The sync engine of the running program: one worker thread and one
// connection to the sync server for the whole process, the notes registered
// for sync, and the hooks through which item changes reach the server.
//
// Threads.  The worker owns the socket's life (connect, close, reconnect),
// reads and dispatches every server frame, greets and registers; the slow
// password verifier is only ever computed there.  The interface thread runs
// the hooks and apply-now: it changes the sync list and pushes frames, and
// may flush the queue itself so that a change leaves at once.  The list sits
// behind listMutex_; the decisions get a copy.  The socket handle is
// replaced only under socketMutex_, which every flush holds, so a flush never
// writes to a socket that is being closed.  The queue keeps frames whole and
// in order across both threads.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "model/item_operations.h"
#include "platform/win_handles.h"
#include "shell/app.h"
#include "shell/sync_socket.h"
#include "sync/database_items.h"
#include "sync/engine_actions.h"
#include "sync/link_health.h"
#include "sync/receive_buffer.h"
#include "sync/registration_rules.h"
#include "sync/send_queue.h"
#include "sync/sync_list.h"

namespace vellumo::shell {

class SyncEngine final : public LaterSubsystems, public model::ItemSyncHooks {
 public:
  explicit SyncEngine(App& app);
  ~SyncEngine() override;
  SyncEngine(const SyncEngine&) = delete;
  SyncEngine& operator=(const SyncEngine&) = delete;

  void StartSync() override;
  // Only a failed start of the network library makes sync unavailable.
  bool SyncAvailable() override { return !winsock_ || winsock_->ok(); }
  bool IsSynced(std::uint32_t note) override;
  bool SyncConnected() override { return connected_.load(); }
  void RemoveSyncEntry(std::uint32_t note) override;
  void RegisterNoteForSync(std::uint32_t note) override;
  std::optional<int> SyncStatus(std::uint32_t note) override;
  bool TakeServerNotice() override { return noticeShown_.exchange(false); }
  void ServerAddressChanged() override { reconnectAsked_ = true; }
  void StopSync() override;

  void OnItemCreated(std::uint32_t note, std::uint32_t item, std::u16string_view title,
                     std::u16string_view content) override;
  void OnItemUpdated(std::uint32_t note, std::uint32_t item, std::u16string_view oldTitle,
                     std::u16string_view oldContent, std::u16string_view newTitle,
                     std::u16string_view newContent) override;
  void OnItemDeleted(std::uint32_t note, std::u16string_view oldTitle, std::u16string_view oldContent) override;

 private:
  static DWORD WINAPI WorkerEntry(LPVOID self);
  void WorkerLoop();
  void ConnectToServer();
  void Greet();
  void Receive();
  // Registers the notes on the worker: duplicates removed, verifier, Register.
  void SendRegistrations(const std::vector<sync::RegistrationResult>& results);
  std::vector<sync::RegistrationResult> RegisterAll();
  void Apply(const sync::ActionList& actions);
  void Push(sync::Frame frame);
  void Flush();
  sync::SyncList ListCopy();
  sync::NoteSyncSettings ReadSettings(std::uint32_t note);
  void PostSyncError(std::uint32_t note, std::uint16_t code);
  bool Stopping() const { return ::WaitForSingleObject(stopEvent_.get(), 0) == WAIT_OBJECT_0; }

  App& app_;
  std::unique_ptr<WinsockLibrary> winsock_;
  std::unique_ptr<sync::DatabaseItems> items_;
  std::uint32_t clientId_ = 0;
  std::uint32_t databaseId_ = 0;

  std::mutex listMutex_;
  sync::SyncList list_;
  std::deque<std::uint32_t> registerJobs_;  // under listMutex_: notes apply-now registered

  std::mutex socketMutex_;
  SyncSocket socket_;
  sync::SendQueue queue_;
  std::atomic<bool> connected_{false};  // the greeting went out on this connection

  // Worker only.
  sync::ReceiveBuffer received_;
  sync::LinkHealth health_;
  DWORD connectStarted_ = 0;

  std::atomic<bool> reconnectAsked_{false};
  std::atomic<bool> sendFailed_{false};  // a flush hit a socket error: health suffers
  std::atomic<bool> noticeShown_{false};
  platform::KernelHandle stopEvent_;
  platform::KernelHandle worker_;
};

}  // namespace vellumo::shell
