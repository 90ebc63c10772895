#pragma once
// The sync server's address: ANSI text "host:port" (or "ip:port") with its
// terminating zero, at most 256 bytes with it.  No record means the
// default server.  The text is kept as typed; the sync engine finds out
// whether it works.
#include <string>
#include <string_view>

namespace vellumo {

class Ku;

inline constexpr std::size_t kServerAddressMaxBytes = 255;  // without the terminator

// Empty when none is stored; a longer or unterminated value is cut to
// kServerAddressMaxBytes.
[[nodiscard]] std::string StoredServerAddress(Ku& db);
// An empty text removes the record; a longer one is cut.  0 on success.
[[nodiscard]] int StoreServerAddress(Ku& db, std::string_view ansiAddress);

}  // namespace vellumo
