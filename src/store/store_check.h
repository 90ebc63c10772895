#pragma once
// Walks a whole database and verifies the invariants of its two files: every
// node has the size its kind gives, lies in the used area and overlaps no
// other block; lists are sorted; unused bytes are zero; the free lists name
// zeroed blocks that nothing else uses and their heads are consistent.
#include <cstdint>
#include <string>

#include "store/ku.h"

namespace vellumo {

struct StoreCheckReport {
  bool ok = true;
  std::string fault;  // the first fault found, empty when ok
  std::uint64_t keys = 0;
  std::uint64_t nodes = 0;
  std::uint64_t valueBlocks = 0;
  std::uint64_t freeBlocks = 0;
  std::uint64_t freeUnits = 0;
  std::uint64_t usedUnits = 0;  // units of live blocks, header and root included
};

StoreCheckReport CheckStore(Ku& database);

}  // namespace vellumo
