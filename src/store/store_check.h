#pragma once
// Walks a whole database and verifies the invariants of its two files: every
// node has the size its kind gives, lies in the used area and overlaps no
// other block; lists are sorted; the free lists name zeroed blocks that
// nothing else uses and their heads are consistent.
//
// Damage is what makes the store lose or misread data: a node or value that
// cannot be reached or read, blocks in use that overlap, a free block that
// reuse would hand out over a block in use.  Everything else that departs
// from what this store writes is a note: files that other correct writers
// produce (bytes past a value's or node's end left non-zero, an EndUnit
// beyond the end of the file) and a free-space map that the allocator will
// not trust (its space is not reused, nothing is lost).
#include <cstdint>
#include <string>
#include <vector>

#include "store/ku.h"

namespace vellumo {

struct StoreCheckReport {
  bool ok = true;
  std::string fault;               // the first damage found, empty when ok
  std::vector<std::string> notes;  // each kind of note once, with its first place
  std::uint64_t keys = 0;
  std::uint64_t nodes = 0;
  std::uint64_t valueBlocks = 0;
  std::uint64_t freeBlocks = 0;
  std::uint64_t freeUnits = 0;
  std::uint64_t usedUnits = 0;  // units of live blocks, header and root included
};

StoreCheckReport CheckStore(Ku& database);

}  // namespace vellumo
