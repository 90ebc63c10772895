#pragma once
// Frame exchanges written as tables: which client sends what, and what each
// client must receive next.  Clients are numbered; the first step that
// names a client connects it (with the preamble and Hello unless the step
// is ConnectRaw), so a client that first appears late in a table is a
// client coming back online.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "script_client.h"
#include "wire.h"

namespace vellumo::syncd::testing {

struct Step {
  enum class Op { kSend, kExpect, kQuiet, kClosed, kConnectRaw, kDisconnect } op;
  int client = 0;
  std::vector<Frame> frames;
};

inline Step Send(int client, std::vector<Frame> frames) { return {Step::Op::kSend, client, std::move(frames)}; }
// Every listed frame arrives next, in any order, and nothing else before them.
inline Step Expect(int client, std::vector<Frame> frames) { return {Step::Op::kExpect, client, std::move(frames)}; }
inline Step Quiet(int client) { return {Step::Op::kQuiet, client, {}}; }
inline Step Closed(int client) { return {Step::Op::kClosed, client, {}}; }
inline Step ConnectRaw(int client) { return {Step::Op::kConnectRaw, client, {}}; }
inline Step Disconnect(int client) { return {Step::Op::kDisconnect, client, {}}; }

class ScriptRunner {
 public:
  explicit ScriptRunner(std::uint16_t port) : port_(port) {}

  // Clients listed here send from that loopback address (default 127.0.0.1).
  void SetAddress(int client, std::string address) { addresses_[client] = std::move(address); }

  void Run(const std::vector<Step>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i) + ", client " + std::to_string(steps[i].client));
      RunStep(steps[i]);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }

  ScriptClient& client(int n, bool raw = false) {
    auto& c = clients_[n];
    if (!c) {
      const auto it = addresses_.find(n);
      c = std::make_unique<ScriptClient>(port_, it == addresses_.end() ? "127.0.0.1" : it->second.c_str());
      if (!raw) {
        c->Send(Preamble());
        c->Send(Hello());
      }
    }
    return *c;
  }

 private:
  void RunStep(const Step& step) {
    using Op = Step::Op;
    switch (step.op) {
      case Op::kConnectRaw:
        client(step.client, true);
        return;
      case Op::kDisconnect:
        clients_.erase(step.client);
        return;
      case Op::kSend: {
        auto& c = client(step.client);
        for (const auto& f : step.frames) c.Send(f);
        return;
      }
      case Op::kQuiet: {
        Frame got;
        const auto r = client(step.client).Receive(got, std::chrono::milliseconds(150));
        EXPECT_NE(r, ScriptClient::Got::kFrame) << "unexpected " << Describe(got);
        EXPECT_NE(r, ScriptClient::Got::kClosed) << "connection closed";
        return;
      }
      case Op::kClosed:
        EXPECT_TRUE(client(step.client).DrainUntilClosed(std::chrono::seconds(5))) << "connection stayed open";
        return;
      case Op::kExpect: {
        std::vector<Frame> got;
        for (std::size_t k = 0; k < step.frames.size(); ++k) {
          Frame f;
          const auto r = client(step.client).Receive(f, std::chrono::seconds(5));
          if (r != ScriptClient::Got::kFrame) {
            ADD_FAILURE() << (r == ScriptClient::Got::kClosed ? "closed" : "timed out") << " after " << got.size()
                          << " of " << step.frames.size() << " frames; wanted " << List(step.frames)
                          << " got " << List(got);
            return;
          }
          got.push_back(std::move(f));
        }
        auto want = step.frames;
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(want, got) << "wanted " << List(want) << "\n got " << List(got);
        return;
      }
    }
  }

  static std::string List(const std::vector<Frame>& frames) {
    std::string out;
    for (const auto& f : frames) out += Describe(f) + " ";
    return out;
  }

  std::uint16_t port_;
  std::map<int, std::string> addresses_;
  std::map<int, std::unique_ptr<ScriptClient>> clients_;
};

}  // namespace vellumo::syncd::testing
