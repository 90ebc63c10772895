#pragma once
// What the program tells the sync server about itself in its greeting.
#include <cstdint>

#include "sync/frames.h"

namespace vellumo {
class Ku;
}

namespace vellumo::shell {

// Drawn once per user from the system's generator and kept in the user's
// registry; 0 only when neither the registry nor the generator worked.
std::uint32_t SyncClientId();
// Record [09] of the database: drawn and stored when absent.
std::uint32_t SyncDatabaseId(Ku& db);
// Major and minor of the program's file version.
sync::ProgramVersion RunningProgramVersion();

}  // namespace vellumo::shell
