#include "sync/sync_verifier.h"

#include <vector>

#include "protect/wipe_guard.h"

namespace vellumo::sync {

SyncVerifierValue SyncVerifier(std::span<const std::uint8_t> passwordUtf16) {
  // Building the unit once turns 65537 rounds into 65537 Update calls over
  // one buffer.  It holds the password, so it is wiped before it is freed.
  // Reserved first so that no reallocation leaves a password copy behind.
  std::vector<std::uint8_t> unit;
  unit.reserve(passwordUtf16.size() + kSyncVerifierFillerBytes);
  unit.assign(passwordUtf16.begin(), passwordUtf16.end());
  unit.resize(passwordUtf16.size() + kSyncVerifierFillerBytes, kSyncVerifierFillerByte);
  protect::WipeGuard wipeUnit(unit);

  Sha1 sha;
  for (std::size_t round = 0; round < kSyncVerifierRounds; ++round) sha.Update(unit);
  return sha.Final();
}

}  // namespace vellumo::sync
