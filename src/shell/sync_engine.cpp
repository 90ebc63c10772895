#include "shell/sync_engine.h"

#include <cstring>

#include "model/items.h"
#include "model/notes.h"
#include "notes/note_window.h"
#include "platform/timing_report.h"
#include "platform/utf16_bytes.h"
#include "resources/window_messages.h"
#include "shell/sync_identity.h"
#include "store/server_address.h"
#include "sync/frame_dispatch.h"
#include "sync/sync_journal.h"
#include "sync/sync_verifier.h"

namespace vellumo::shell {
namespace {

constexpr DWORD kWaitMs = 200;             // one pass of the worker at most, when idle
constexpr DWORD kRetryMs = 1000;           // after a refused or impossible connection
constexpr DWORD kConnectTimeoutMs = 10000;  // a connect that neither completes nor fails
constexpr DWORD kStopWaitMs = 10000;
constexpr wchar_t kNoticeCaption[] = L"便利贴 - 服务端通知";

std::u16string Text(const std::vector<std::uint8_t>& utf16) {
  std::u16string s(utf16.size() / 2, u'\0');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char16_t>(utf16[2 * i] | utf16[2 * i + 1] << 8);
  return s;
}

sync::Frame Built(const sync::ClientMessage& message) {
  sync::Frame frame;
  if (sync::BuildFrame(message, frame) != sync::FrameError::kOk) frame.clear();
  return frame;
}

}  // namespace

SyncEngine::SyncEngine(App& app) : app_(app) {}

SyncEngine::~SyncEngine() { StopSync(); }

void SyncEngine::StartSync() {
  if (worker_ || !app_.database) return;
  winsock_ = std::make_unique<WinsockLibrary>();
  if (!winsock_->ok()) return;
  items_ = std::make_unique<sync::DatabaseItems>(*app_.database);
  clientId_ = SyncClientId();
  databaseId_ = SyncDatabaseId(*app_.database);
  {
    // Entries exist before the first connection, so that changes made
    // meanwhile are journaled; the greeting registers them with the server.
    const auto results = RegisterAll();
    (void)results;
  }
  stopEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent_) return;
  worker_.reset(::CreateThread(nullptr, 0, &SyncEngine::WorkerEntry, this, 0, nullptr));
}

void SyncEngine::StopSync() {
  if (!worker_) return;
  ::SetEvent(stopEvent_.get());
  // A server notice still open keeps the worker; the program ends regardless.
  if (::WaitForSingleObject(worker_.get(), kStopWaitMs) != WAIT_OBJECT_0) {
    (void)worker_.release();
    return;
  }
  worker_.reset();
  std::lock_guard lock(socketMutex_);
  connected_ = false;
  socket_.Close();
}

DWORD WINAPI SyncEngine::WorkerEntry(LPVOID self) {
  static_cast<SyncEngine*>(self)->WorkerLoop();
  return 0;
}

bool SyncEngine::IsSynced(std::uint32_t note) {
  std::lock_guard lock(listMutex_);
  return list_.Find(note) != nullptr;
}

void SyncEngine::RemoveSyncEntry(std::uint32_t note) {
  std::lock_guard lock(listMutex_);
  list_.Remove(note);
}

std::optional<int> SyncEngine::SyncStatus(std::uint32_t note) {
  std::lock_guard lock(listMutex_);
  const sync::SyncEntry* entry = list_.Find(note);
  if (entry == nullptr) return std::nullopt;
  return entry->status;
}

void SyncEngine::RegisterNoteForSync(std::uint32_t note) {
  if (!items_) return;
  const sync::NoteSyncSettings settings = ReadSettings(note);
  sync::RegistrationResult result;
  {
    std::lock_guard lock(listMutex_);
    result = sync::RegisterNote(list_, settings);
    // The verifier is the worker's: this thread only asks.
    if (result.outcome == sync::Registration::kRegistered) registerJobs_.push_back(note);
  }
  if (result.errorCode != 0 && connected_) PostSyncError(note, result.errorCode);
}

sync::NoteSyncSettings SyncEngine::ReadSettings(std::uint32_t note) {
  Ku& db = *app_.database;
  return {note, model::GetNoteValue(db, note, model::note_field::kSyncId),
          model::GetNoteValue(db, note, model::note_field::kSyncPassword)};
}

std::vector<sync::RegistrationResult> SyncEngine::RegisterAll() {
  std::vector<sync::NoteSyncSettings> notes;
  for (std::uint32_t note : model::ListNotes(*app_.database)) notes.push_back(ReadSettings(note));
  std::lock_guard lock(listMutex_);
  return sync::RegisterAllNotes(list_, notes);
}

sync::SyncList SyncEngine::ListCopy() {
  std::lock_guard lock(listMutex_);
  return list_;
}

void SyncEngine::PostSyncError(std::uint32_t note, std::uint16_t code) {
  if (HWND management = app_.context.managementDialog)
    ::PostMessageW(management, WM_MGMT_SYNC_ERROR, note, code);
}

// ---- Outgoing frames.

void SyncEngine::Push(sync::Frame frame) {
  if (frame.empty()) return;
  sync::PushResult pushed = sync::PushResult::kBadFrame;
  {
    std::lock_guard lock(socketMutex_);
    // Nothing may precede the greeting of a connection; what a stale
    // decision produces meanwhile is sent again after the next listing.
    if (connected_) pushed = queue_.Push(frame);
  }
  if (pushed == sync::PushResult::kQueued) return;
  if (pushed == sync::PushResult::kFull) reconnectAsked_ = true;
  Apply(sync::RejournalUnsent(std::span(&frame, 1)));
}

void SyncEngine::Flush() {
  std::lock_guard lock(socketMutex_);
  if (!connected_) return;
  const sync::FlushReport report = queue_.Flush([this](std::span<const std::uint8_t> bytes) { return socket_.Send(bytes); });
  if (report.result == sync::FlushResult::kError) sendFailed_ = true;
}

// ---- Carrying out decisions (either thread).

void SyncEngine::Apply(const sync::ActionList& actions) {
  for (const auto& action : actions) {
    std::visit(
        [this](const auto& a) {
          using A = std::decay_t<decltype(a)>;
          if constexpr (std::is_same_v<A, sync::SendFrameAction>) {
            if (a.frame.size() >= sync::kFrameHeaderBytes &&
                a.frame[4] == static_cast<std::uint8_t>(sync::ClientFrameType::kAnnounce))
              platform::ReportTimingMoment("sync-saved");
            Push(a.frame);
          } else if constexpr (std::is_same_v<A, sync::CreateLocalItem>) {
            std::lock_guard lock(app_.context.appMutex);
            if (app_.itemOperations) (void)app_.itemOperations->CreateItem(a.noteId, Text(a.title), Text(a.content), false);
            platform::ReportTimingMoment("sync-arrived");
          } else if constexpr (std::is_same_v<A, sync::DeleteLocalItem>) {
            std::lock_guard lock(app_.context.appMutex);
            if (app_.itemOperations) (void)app_.itemOperations->DeleteItem(a.noteId, a.itemId, false);
            platform::ReportTimingMoment("sync-removed");
          } else if constexpr (std::is_same_v<A, sync::NoteChanged>) {
            notes::NotifyNoteChanged(app_.context, a.noteId);
          } else if constexpr (std::is_same_v<A, sync::JournalAdd>) {
            (void)items_->JournalAdd(a.noteId, a.hash);
          } else if constexpr (std::is_same_v<A, sync::JournalErase>) {
            items_->JournalErase(a.noteId, a.hash);
          } else if constexpr (std::is_same_v<A, sync::SetEntryStatus>) {
            std::lock_guard lock(listMutex_);
            list_.SetStatus(a.noteId, a.status);
          } else if constexpr (std::is_same_v<A, sync::ReportSyncError>) {
            PostSyncError(a.noteId, a.code);
          } else if constexpr (std::is_same_v<A, sync::ShowNotice>) {
            wchar_t text[128] = {};
            std::memcpy(text, a.text.data(), a.text.size() < sizeof text - 2 ? a.text.size() : sizeof text - 2);
            noticeShown_ = true;
            ::MessageBoxW(nullptr, text, kNoticeCaption, MB_OK);
          } else if constexpr (std::is_same_v<A, sync::HeartbeatAnswered>) {
            health_.OnHeartbeatAnswer();
          }
        },
        action);
  }
}

// ---- Hooks (interface thread, after the change is stored).

void SyncEngine::OnItemCreated(std::uint32_t note, std::uint32_t item, std::u16string_view title,
                               std::u16string_view content) {
  if (!items_) return;
  const auto t = Utf16ToBytes(title);
  const auto c = Utf16ToBytes(content);
  Apply(sync::PlanItemCreated(ListCopy(), note, item, {t, c}));
  Flush();
}

void SyncEngine::OnItemUpdated(std::uint32_t note, std::uint32_t item, std::u16string_view oldTitle,
                               std::u16string_view oldContent, std::u16string_view newTitle,
                               std::u16string_view newContent) {
  if (!items_) return;
  const auto ot = Utf16ToBytes(oldTitle);
  const auto oc = Utf16ToBytes(oldContent);
  const auto nt = Utf16ToBytes(newTitle);
  const auto nc = Utf16ToBytes(newContent);
  Apply(sync::PlanItemUpdated(ListCopy(), *items_, note, item, {ot, oc}, {nt, nc}));
  Flush();
}

void SyncEngine::OnItemDeleted(std::uint32_t note, std::u16string_view oldTitle, std::u16string_view oldContent) {
  if (!items_) return;
  const auto t = Utf16ToBytes(oldTitle);
  const auto c = Utf16ToBytes(oldContent);
  Apply(sync::PlanItemDeleted(ListCopy(), *items_, note, {t, c}));
  Flush();
}

// ---- The worker.

void SyncEngine::ConnectToServer() {
  {
    std::lock_guard lock(listMutex_);
    list_.MarkAllPending();
  }
  received_.Clear();
  std::vector<sync::Frame> dropped;
  {
    std::lock_guard lock(socketMutex_);
    connected_ = false;
    dropped = queue_.Reset();
    socket_.Close();
  }
  Apply(sync::RejournalUnsent(dropped));
  sendFailed_ = false;
  sockaddr_in address{};
  if (!ResolveServerAddress(StoredServerAddress(*app_.database), address)) return;
  bool started = false;
  {
    std::lock_guard lock(socketMutex_);
    started = socket_.Connect(address);
  }
  if (!started) return;
  health_.OnConnectAttempt();
  connectStarted_ = ::GetTickCount();
}

void SyncEngine::Greet() {
  const sync::Frame preamble = sync::BuildPreamble(RunningProgramVersion());
  {
    std::lock_guard lock(socketMutex_);
    std::span<const std::uint8_t> rest(preamble);
    while (!rest.empty()) {
      const sync::SendAttempt sent = socket_.Send(rest);
      if (sent.status == sync::SendStatus::kError) return;  // the next passes find the socket dead
      if (sent.status == sync::SendStatus::kWouldBlock) {
        ::Sleep(10);
        continue;
      }
      rest = rest.subspan(sent.taken);
    }
    connected_ = true;
    (void)queue_.Push(Built(sync::Hello{clientId_, databaseId_}));
  }
  health_.OnGreeted();
  {
    std::lock_guard lock(listMutex_);
    registerJobs_.clear();
  }
  Flush();
  SendRegistrations(RegisterAll());
}

void SyncEngine::SendRegistrations(const std::vector<sync::RegistrationResult>& results) {
  for (const auto& result : results) {
    if (Stopping() || !connected_) return;
    if (result.errorCode != 0) PostSyncError(result.noteId, result.errorCode);
    if (result.outcome != sync::Registration::kRegistered) continue;
    const std::uint32_t note = result.noteId;
    std::vector<sync::ListedItemHash> listed;
    for (const auto& item : items_->Items(note)) listed.push_back({item.itemId, sync::ItemHash(item.stored.Fields())});
    const auto doomed = sync::DuplicateItemsToDelete(listed);
    for (std::uint32_t item : doomed) {
      std::lock_guard lock(app_.context.appMutex);
      if (app_.itemOperations) (void)app_.itemOperations->DeleteItem(note, item, false);
    }
    if (!doomed.empty()) notes::NotifyNoteChanged(app_.context, note);
    sync::SyncEntry entry;
    {
      std::lock_guard lock(listMutex_);
      const sync::SyncEntry* found = list_.Find(note);
      if (found == nullptr) continue;
      entry = *found;
    }
    sync::SyncVerifierValue verifier;
    {
      platform::TimingReport timing("sync-verifier");
      verifier = sync::SyncVerifier(entry.password);
    }
    Push(Built(sync::Register{note, verifier, entry.syncId}));
    Flush();
  }
}

void SyncEngine::Receive() {
  const auto space = received_.FreeSpace();
  const int got = ::recv(socket_.handle(), reinterpret_cast<char*>(space.data()), static_cast<int>(space.size()), 0);
  if (got == SOCKET_ERROR) {
    const int error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) return;
    health_.OnReceiveError();
    return;
  }
  // Zero: the server closed; the readable waits that follow sink health.
  if (got == 0) return;
  received_.Commit(static_cast<std::size_t>(got));
  health_.OnData();
  sync::Frame frame;
  for (;;) {
    const sync::ReceiveResult r = received_.Next(frame);
    if (r == sync::ReceiveResult::kNeedMore) return;
    if (r == sync::ReceiveResult::kProtocolError) {
      health_.OnProtocolError();
      ConnectToServer();
      return;
    }
    Apply(sync::DispatchServerFrame(frame, ListCopy(), *items_));
  }
}

void SyncEngine::WorkerLoop() {
  ConnectToServer();
  while (!Stopping()) {
    if (reconnectAsked_.exchange(false)) ConnectToServer();
    if (!socket_.Open()) {
      if (::WaitForSingleObject(stopEvent_.get(), kRetryMs) == WAIT_OBJECT_0) return;
      ConnectToServer();
      continue;
    }
    const DWORD now = ::GetTickCount();
    const bool greeted = connected_;
    const SOCKET s = socket_.handle();
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &readable);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait{0, static_cast<long>(kWaitMs * 1000)};
    const int n = ::select(0, &readable, greeted ? nullptr : &writable, greeted ? nullptr : &failed, &wait);
    if (n == SOCKET_ERROR) {
      ::Sleep(500);
      health_.OnReadableOrWaitError();
    } else if (n > 0) {
      if (!greeted && FD_ISSET(s, &failed)) {
        // Refused: try again in a while rather than at once.
        {
          std::lock_guard lock(socketMutex_);
          socket_.Close();
        }
        if (::WaitForSingleObject(stopEvent_.get(), kRetryMs) == WAIT_OBJECT_0) return;
        ConnectToServer();
        continue;
      }
      if (!greeted && FD_ISSET(s, &writable)) Greet();
      if (FD_ISSET(s, &readable)) {
        health_.OnReadableOrWaitError();
        Receive();
      }
    } else if (!greeted) {
      if (now - connectStarted_ > kConnectTimeoutMs) ConnectToServer();
      continue;
    } else if (health_.HeartbeatDue(now)) {
      Push(Built(sync::Heartbeat{}));
    }
    if (connected_) {
      std::vector<std::uint32_t> jobs;
      {
        std::lock_guard lock(listMutex_);
        jobs.assign(registerJobs_.begin(), registerJobs_.end());
        registerJobs_.clear();
      }
      std::vector<sync::RegistrationResult> results;
      for (std::uint32_t note : jobs) results.push_back({note, sync::Registration::kRegistered, 0});
      SendRegistrations(results);
      Flush();
    }
    if (sendFailed_.exchange(false)) health_.OnSendError();
    if (health_.TakeReconnect()) ConnectToServer();
  }
}

}  // namespace vellumo::shell
