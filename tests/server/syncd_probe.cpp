// Helper of kill9_test.sh.
//   syncd_probe upload PORT ACKFILE  uploads items one after another
//     until the server goes away; an item counts as acknowledged once a
//     second client got it pushed, and is then appended to ACKFILE (its
//     number, one a line, flushed at once).
//   syncd_probe check PORT ACKFILE   exits 0 when the server still
//     holds every acknowledged item, byte for byte.
//   syncd_probe cross PORT1 PORT2       two servers sharing one database: an
//     item uploaded through the first reaches a client of the second, and
//     a delete through the second reaches the first.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <string>

#include "script_client.h"
#include "wire.h"

using namespace vellumo::syncd::testing;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kSealedBytes = 4096;

// Item n, distinct for every n (the test helpers' stand-ins repeat after 256).
vellumo::sync::ItemHashValue HashOf(int n) {
  const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                 static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
  return vellumo::sync::Sha1Hash(bytes);
}
std::vector<std::uint8_t> SealedOf(int n) {
  auto sealed = S(n, kSealedBytes);
  const auto hash = HashOf(n);
  std::copy(hash.begin(), hash.end(), sealed.begin());
  return sealed;
}

int RunUpload(std::uint16_t port, const char* ackPath) {
  ScriptClient uploader(port);
  ScriptClient witness(port);
  uploader.Send(Preamble());
  witness.Send(Preamble());
  uploader.Send(Register(1, "crash", 1));
  witness.Send(Register(2, "crash", 1));
  Frame f;
  if (uploader.Receive(f, 5s) != ScriptClient::Got::kFrame || f != Status(1, 0)) return 2;
  if (witness.Receive(f, 5s) != ScriptClient::Got::kFrame || f != Status(2, 0)) return 2;
  std::FILE* acks = std::fopen(ackPath, "w");
  if (acks == nullptr) return 2;
  // Up to kInFlight uploads unacknowledged at any time, so that the kill
  // lands among uploads in every stage of being stored.
  constexpr int kInFlight = 8;
  int acknowledged = 0;
  int sent = 0;
  for (;;) {
    bool open = true;
    while (open && sent - acknowledged < kInFlight) {
      ++sent;
      open = uploader.Send(Build(vellumo::sync::Upload{1, HashOf(sent), SealedOf(sent)}));
    }
    if (!open || witness.Receive(f, 5s) != ScriptClient::Got::kFrame) break;
    // Pushes leave in the order the uploads were stored: one connection's
    // frames are handled in order.
    const int n = acknowledged + 1;
    if (f != Build(vellumo::sync::ServerItem{2, SealedOf(n)})) {
      std::cerr << "pushed frame does not match item " << n << "\n";
      return 1;
    }
    std::fprintf(acks, "%d\n", n);
    std::fflush(acks);
    ++acknowledged;
  }
  std::fclose(acks);
  std::cout << acknowledged << " items acknowledged before the server went away\n";
  return 0;
}

int RunCheck(std::uint16_t port, const char* ackPath) {
  std::set<int> acknowledged;
  std::ifstream in(ackPath);
  for (int n = 0; in >> n;) acknowledged.insert(n);
  ScriptClient client(port);
  client.Send(Preamble());
  client.Send(Register(1, "crash", 1));
  client.Send(ListEnd(1, 0));  // lists nothing: everything held comes back
  Frame f;
  if (client.Receive(f, 5s) != ScriptClient::Got::kFrame || f != Status(1, 0)) return 2;
  std::set<Frame> held;
  while (client.Receive(f, 1s) == ScriptClient::Got::kFrame) held.insert(f);
  int lost = 0;
  for (int n : acknowledged) {
    if (!held.contains(Build(vellumo::sync::ServerItem{1, SealedOf(n)}))) ++lost;
  }
  std::cout << acknowledged.size() << " acknowledged, " << held.size() << " held, " << lost << " lost\n";
  return lost == 0 && !acknowledged.empty() ? 0 : 1;
}

int RunCross(std::uint16_t port1, std::uint16_t port2) {
  ScriptClient a(port1);
  ScriptClient b(port2);
  a.Send(Preamble());
  b.Send(Preamble());
  a.Send(Register(1, "cross", 1));
  b.Send(Register(2, "cross", 1));
  Frame f;
  if (a.Receive(f, 5s) != ScriptClient::Got::kFrame || f != Status(1, 0)) return 2;
  if (b.Receive(f, 5s) != ScriptClient::Got::kFrame || f != Status(2, 0)) return 2;
  const auto start = std::chrono::steady_clock::now();
  a.Send(Upload(1, 42));
  if (b.Receive(f, 5s) != ScriptClient::Got::kFrame || f != Item(2, 42)) {
    std::cerr << "the item did not cross from the first server to the second\n";
    return 1;
  }
  const auto crossed = std::chrono::steady_clock::now() - start;
  b.Send(DeleteHash(2, 42));
  if (a.Receive(f, 5s) != ScriptClient::Got::kFrame || f != DeleteByHash(1, 42)) {
    std::cerr << "the delete did not cross from the second server to the first\n";
    return 1;
  }
  std::cout << "item crossed between the servers in "
            << std::chrono::duration<double, std::milli>(crossed).count() << " ms; delete crossed back\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const auto port = static_cast<std::uint16_t>(std::stoi(argv[2]));
  const std::string mode = argv[1];
  try {
    if (mode == "upload") return RunUpload(port, argv[3]);
    if (mode == "check") return RunCheck(port, argv[3]);
    if (mode == "cross") return RunCross(port, static_cast<std::uint16_t>(std::stoi(argv[3])));
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
  }
  return 2;
}
