#include "sync_server.h"

#include <asio.hpp>

#include <atomic>
#include <deque>
#include <thread>
#include <vector>

#include "log.h"

namespace vellumo::syncd {

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
constexpr auto kNever = Clock::time_point::max();
// Connections beyond the limit that still get their status 3.
constexpr std::size_t kMinOverflow = 16;
constexpr const char* kPeerClosed = "peer closed";
// Frames handed to one write call.
constexpr std::size_t kFramesPerWrite = 64;

}  // namespace

class SyncServer::Impl {
 public:
  Impl(ServerConfig config, Services& services)
      : config_(std::move(config)),
        services_(services),
        storeThreads_(std::max<std::size_t>(1, config_.storeThreads)),
        acceptor_(io_) {
    const tcp::endpoint endpoint(asio::ip::make_address(config_.host), config_.port);
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(asio::socket_base::max_listen_connections);
  }

  ~Impl() { Stop(); }

  std::uint16_t port() const noexcept {
    asio::error_code ec;
    return acceptor_.local_endpoint(ec).port();
  }

  void Start() {
    asio::co_spawn(io_, Accept(), asio::detached);
    std::size_t n = config_.threads != 0 ? config_.threads : std::max(1u, std::thread::hardware_concurrency());
    for (std::size_t i = 0; i < n; ++i) {
      threads_.emplace_back([this] {
        // A handler that throws (out of memory) costs its connection, not
        // the thread.
        for (;;) {
          try {
            io_.run();
            return;
          } catch (const std::exception& e) {
            Log(LogLevel::kError, std::string("network thread: ") + e.what());
          }
        }
      });
    }
  }

  void Stop() {
    io_.stop();
    for (auto& t : threads_) {
      if (t.joinable()) t.join();
    }
    threads_.clear();
    storeThreads_.stop();
    storeThreads_.join();
  }

  class Connection;

  const ServerConfig config_;
  Services& services_;
  // Before the context: connections still pending when it is destroyed
  // count themselves out in their destructors.
  std::atomic<std::size_t> active_{0};
  std::atomic<std::size_t> overflow_{0};
  asio::thread_pool storeThreads_;
  asio::io_context io_;
  tcp::acceptor acceptor_;
  std::vector<std::thread> threads_;

 private:
  asio::awaitable<void> Accept();
};

class SyncServer::Impl::Connection : public Peer, public std::enable_shared_from_this<Connection> {
 public:
  Connection(Impl& server, tcp::socket socket, std::string address, std::uint16_t refusal)
      : server_(server),
        socket_(std::move(socket)),
        signal_(socket_.get_executor()),
        drained_(socket_.get_executor()),
        watchdog_(socket_.get_executor()),
        address_(address),
        session_(server.services_, *this, std::move(address), refusal),
        overflow_(refusal != 0) {
    signal_.expires_at(kNever);
    drained_.expires_at(kNever);
  }

  ~Connection() override {
    if (overflow_) {
      --server_.overflow_;
    } else {
      --server_.active_;
    }
  }

  void Start() {
    asio::error_code ec;
    socket_.set_option(tcp::no_delay(true), ec);
    started_ = lastRead_ = lastWrite_ = Clock::now();
    Log(LogLevel::kDebug, "connected " + address_ + (overflow_ ? " (server full)" : ""));
    // Each coroutine owns a reference from its creation on (a parameter, not
    // a local: the body only runs once the strand gets to it).
    asio::co_spawn(socket_.get_executor(), Reader(shared_from_this()), asio::detached);
    asio::co_spawn(socket_.get_executor(), Writer(shared_from_this()), asio::detached);
    asio::co_spawn(socket_.get_executor(), Watchdog(shared_from_this()), asio::detached);
  }

  void Pushed(std::uint32_t noteId, const ItemHashValue& hash) override { session_.RecordPush(noteId, hash); }

  void Deliver(sync::Frame frame) override {
    // Called under the hub's lock, possibly while this object is being
    // destroyed (its session leaves the hub in its destructor).
    auto self = weak_from_this().lock();
    if (!self) return;
    asio::post(socket_.get_executor(), [self, frame = std::move(frame)]() mutable {
      if (self->closed_) return;
      if (self->queuedBytes_ + frame.size() > self->server_.config_.maxQueuedBytes) {
        self->Close("slow reader: outgoing queue full");
        return;
      }
      self->Enqueue(std::move(frame));
    });
  }

 private:
  void Enqueue(sync::Frame frame) {
    if (closed_) return;
    if (queue_.empty()) lastWrite_ = Clock::now();
    queuedBytes_ += frame.size();
    queue_.push_back(std::move(frame));
    signal_.cancel();
  }

  void Close(const std::string& reason) {
    if (closed_) return;
    closed_ = true;
    if (!reason.empty()) {
      Log(reason == kPeerClosed ? LogLevel::kDebug : LogLevel::kInfo, "closed " + address_ + ": " + reason);
    }
    asio::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
    signal_.cancel();
    drained_.cancel();
    watchdog_.cancel();
    server_.services_.hub.LeaveAll(this);
  }

  asio::awaitable<void> Reader(std::shared_ptr<Connection> /*keepAlive*/) {
    std::vector<std::uint8_t> buffer(16384);
    std::vector<sync::Frame> replies;
    std::string reason = kPeerClosed;
    try {
      while (!closed_) {
        const std::size_t n = co_await socket_.async_read_some(asio::buffer(buffer), asio::use_awaitable);
        lastRead_ = Clock::now();
        readAny_ = true;
        replies.clear();
        // Password hashing and durable writes block: they run on the store
        // threads, so that these threads keep moving everyone else's bytes.
        const bool keep = co_await asio::co_spawn(
            server_.storeThreads_,
            [&]() -> asio::awaitable<bool> { co_return session_.Receive(std::span(buffer.data(), n), replies); },
            asio::use_awaitable);
        for (auto& frame : replies) Enqueue(std::move(frame));
        if (!keep) {
          reason = session_.closeReason();
          break;
        }
        // Our own answers are not dropped; we stop reading until they drain.
        while (!closed_ && queuedBytes_ > server_.config_.maxQueuedBytes) {
          asio::error_code ec;
          drained_.expires_at(kNever);
          co_await drained_.async_wait(asio::redirect_error(asio::use_awaitable, ec));
        }
      }
    } catch (const std::system_error& e) {
      if (e.code() != asio::error::eof && e.code() != asio::error::operation_aborted) reason = e.code().message();
    } catch (const std::exception& e) {
      reason = std::string("internal error: ") + e.what();
    }
    Close(closed_ ? "" : reason);
  }

  asio::awaitable<void> Writer(std::shared_ptr<Connection> /*keepAlive*/) {
    std::vector<asio::const_buffer> buffers;
    try {
      while (!closed_) {
        if (queue_.empty()) {
          asio::error_code ec;
          signal_.expires_at(kNever);
          co_await signal_.async_wait(asio::redirect_error(asio::use_awaitable, ec));
          continue;
        }
        buffers.clear();
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < queue_.size() && i < kFramesPerWrite; ++i) {
          buffers.emplace_back(asio::buffer(queue_[i]));
          bytes += queue_[i].size();
        }
        const std::size_t count = buffers.size();
        co_await asio::async_write(socket_, buffers, asio::use_awaitable);
        for (std::size_t i = 0; i < count; ++i) queue_.pop_front();
        queuedBytes_ -= bytes;
        lastWrite_ = Clock::now();
        if (queuedBytes_ <= server_.config_.maxQueuedBytes) drained_.cancel();
      }
    } catch (const std::system_error& e) {
      Close(e.code() == asio::error::operation_aborted ? "" : "write: " + e.code().message());
    }
  }

  asio::awaitable<void> Watchdog(std::shared_ptr<Connection> /*keepAlive*/) {
    const auto& config = server_.config_;
    while (!closed_) {
      asio::error_code ec;
      watchdog_.expires_after(config.watchdogPeriod);
      co_await watchdog_.async_wait(asio::redirect_error(asio::use_awaitable, ec));
      if (closed_) break;
      const auto now = Clock::now();
      if (overflow_ && now - started_ >= config.busyGrace) {
        Close("server full");
      } else if (now - lastRead_ >= config.idleTimeout) {
        Close("idle");
      } else if (!readAny_ && now - started_ >= config.handshakeTimeout) {
        Close("silent since connecting");
      } else if (!queue_.empty() && now - lastWrite_ >= config.writeStall) {
        Close("slow reader: nothing written for too long");
      }
    }
  }

  Impl& server_;
  tcp::socket socket_;
  asio::steady_timer signal_;   // wakes the writer
  asio::steady_timer drained_;  // wakes the reader
  asio::steady_timer watchdog_;
  std::string address_;
  Session session_;
  const bool overflow_;
  std::deque<sync::Frame> queue_;
  std::size_t queuedBytes_ = 0;
  bool closed_ = false;
  bool readAny_ = false;
  Clock::time_point started_, lastRead_, lastWrite_;
};

asio::awaitable<void> SyncServer::Impl::Accept() {
  for (;;) {
    asio::error_code ec;
    tcp::socket socket =
        co_await acceptor_.async_accept(asio::make_strand(io_), asio::redirect_error(asio::use_awaitable, ec));
    if (ec) {
      if (ec == asio::error::operation_aborted) co_return;
      Log(LogLevel::kWarning, "accept: " + ec.message());
      // Out of descriptors: give the others a moment to close.
      asio::steady_timer pause(io_, std::chrono::milliseconds(100));
      co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, ec));
      continue;
    }
    std::string address;
    {
      asio::error_code endpointError;
      const auto remote = socket.remote_endpoint(endpointError);
      if (endpointError) continue;
      address = remote.address().to_string();
    }
    std::uint16_t refusal = 0;
    if (active_.load() >= config_.maxConnections) {
      const std::size_t cap = std::max(kMinOverflow, config_.maxConnections / 16);
      if (overflow_.load() >= cap) continue;  // the socket closes here
      refusal = sync::kSyncErrorServerBusy;
      ++overflow_;
    } else {
      ++active_;
    }
    try {
      std::make_shared<Connection>(*this, std::move(socket), std::move(address), refusal)->Start();
    } catch (const std::exception& e) {
      Log(LogLevel::kError, std::string("connection: ") + e.what());
    }
  }
}

SyncServer::SyncServer(ServerConfig config, Services& services)
    : impl_(std::make_unique<Impl>(std::move(config), services)) {}
SyncServer::~SyncServer() = default;
std::uint16_t SyncServer::port() const noexcept { return impl_->port(); }
void SyncServer::Start() { impl_->Start(); }
void SyncServer::Stop() { impl_->Stop(); }
std::size_t SyncServer::connections() const noexcept { return impl_->active_.load(); }

}  // namespace vellumo::syncd
