#include "store/store_check.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

namespace vellumo {

using namespace trie;

namespace {

struct Block {
  std::uint64_t unit;
  std::uint32_t units;
  bool free;
};

class Checker {
 public:
  explicit Checker(Ku& db) : db_(db) {}

  StoreCheckReport Run() {
    if (db_.IsBroken()) return Fail("database is not open");
    end_ = db_.EndUnit();
    if (end_ < kNewEndUnit) return Fail("EndUnit below the root node");
    if (db_.KuFileSize() < end_ * kUnitSize) return Fail("file shorter than EndUnit");
    blocks_.push_back({0, static_cast<std::uint32_t>(kNewEndUnit), false});  // header and root
    if (!WalkTrie()) return report_;
    if (!WalkFreeLists()) return report_;
    if (!CheckOverlaps()) return report_;
    return report_;
  }

 private:
  StoreCheckReport Fail(const std::string& what) {
    report_.ok = false;
    report_.fault = what;
    return report_;
  }
  bool Failed(const std::string& what) {
    Fail(what);
    return false;
  }
  static std::string At(std::uint64_t unit) {
    std::ostringstream s;
    s << " at unit " << unit;
    return s.str();
  }

  bool Read(std::uint64_t unit, std::uint32_t offset, void* buffer, std::uint32_t length) {
    return db_.KuView()->Read(unit * kUnitSize + offset, buffer, length) == 0;
  }

  bool AllZero(std::uint64_t unit, std::uint32_t fromByte, std::uint32_t toByte) {
    if (toByte <= fromByte) return true;
    std::vector<std::uint8_t> bytes(toByte - fromByte);
    if (!Read(unit, fromByte, bytes.data(), static_cast<std::uint32_t>(bytes.size()))) return false;
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
  }

  bool AddBlock(std::uint64_t unit, std::uint32_t bytes, bool isFree, const char* what) {
    const std::uint32_t units = UnitsFor(bytes);
    if (unit < kNewEndUnit || unit + units > end_)
      return Failed(std::string(what) + " outside the used area" + At(unit));
    blocks_.push_back({unit, units, isFree});
    return true;
  }

  bool CheckValueHeader(const std::uint8_t* vh, std::uint64_t nodeUnit) {
    const std::uint32_t length = LoadU16LE(vh);
    if (length == 0) {
      for (int i = 2; i < 8; ++i)
        if (vh[i]) return Failed("empty value with stray bytes" + At(nodeUnit));
      return true;
    }
    ++report_.keys;
    if (length <= kMaxInlineValue) {
      for (std::uint32_t i = 2 + length; i < 8; ++i)
        if (vh[i]) return Failed("inline value with a non-zero tail" + At(nodeUnit));
      return true;
    }
    const std::uint64_t block = LoadUnitAddr(vh + 2);
    if (block == 0) return Failed("value block address 0" + At(nodeUnit));
    if (!AddBlock(block, length, false, "value block")) return false;
    ++report_.valueBlocks;
    if (!AllZero(block, length, UnitsFor(length) * kUnitSize))
      return Failed("value block with a non-zero tail" + At(block));
    return true;
  }

  bool WalkTrie() {
    struct Pending {
      NodeRef ref;
      std::uint32_t depth;
    };
    std::vector<Pending> stack{{NodeRef{kFullKind, kRootUnit}, 0}};
    std::vector<std::uint8_t> node;
    while (!stack.empty()) {
      const Pending cur = stack.back();
      stack.pop_back();
      const NodeRef ref = cur.ref;
      const std::uint32_t size = NodeSize(ref.kind);
      if (ref.address == 0) return Failed("node reference with address 0");
      if (ref.address != kRootUnit && !AddBlock(ref.address, size, false, "node")) return false;
      if (ref.address == kRootUnit && (ref.kind != kFullKind || cur.depth != 0))
        return Failed("a node names the root");
      if (++report_.nodes > end_) return Failed("more nodes than units: the trie has a cycle");
      node.resize(size);
      if (!Read(ref.address, 0, node.data(), size)) return Failed("node unreadable" + At(ref.address));
      if (!AllZero(ref.address, size, UnitsFor(size) * kUnitSize))
        return Failed("node with a non-zero tail" + At(ref.address));
      if (!CheckValueHeader(node.data(), ref.address)) return false;
      auto child = [&](const std::uint8_t* p, std::uint32_t consumed) -> bool {
        const NodeRef c = LoadNodeRef(p);
        if (c.IsEmpty()) return true;
        if (cur.depth + consumed > kMaxKeyLength) return Failed("key longer than 16384 bytes" + At(ref.address));
        stack.push_back({c, cur.depth + consumed});
        return true;
      };
      if (ref.kind == kLeafKind) continue;
      if (ref.kind == kFullKind) {
        for (std::uint32_t b = 0; b < 256; ++b)
          if (!child(&node[8 + kNodeRefSize * b], 1)) return false;
      } else if (IsListKind(ref.kind)) {
        for (std::uint32_t j = 0; j < ref.kind; ++j) {
          if (j > 0 && node[8 + 8 * j] <= node[8 + 8 * (j - 1)])
            return Failed("list entries out of order" + At(ref.address));
          if (LoadNodeRef(&node[8 + 8 * j + 1]).IsEmpty()) return Failed("list entry without a child" + At(ref.address));
          if (!child(&node[8 + 8 * j + 1], 1)) return false;
        }
      } else {
        const std::uint32_t m = PathLength(ref.kind);
        if (LoadNodeRef(&node[8 + m]).IsEmpty()) return Failed("path without a child" + At(ref.address));
        if (!child(&node[8 + m], m)) return false;
      }
    }
    return true;
  }

  bool WalkFreeLists() {
    FreeSpaceMap& fs = db_.FreeSpace();
    const FreeSpaceCounters& c = fs.Counters();
    std::uint8_t pending[16] = {};
    if (fs.View()->Read(FreeSpaceMap::kPendingOffset, pending, sizeof pending) != 0)
      return Failed("free-space file unreadable");
    if (LoadU32LE(pending) != 0) return Failed("free-space map has an unfinished head update");
    if (c.recordHighWater > end_) return Failed("free-space record count beyond the database size");
    std::vector<std::uint8_t> seen(static_cast<std::size_t>(c.recordHighWater) + 1, 0);
    std::uint32_t s = FreeSpaceMap::kMaxListUnits;
    while (s >= 1) {
      const std::uint32_t head = fs.Head(s);
      std::uint32_t low = s;
      while (low > 1 && fs.Head(low - 1) == head) --low;
      if (head != 0) {
        if (head == fs.Head(s + 1)) return Failed("free list heads out of order");
        // List of blocks of s units.
        for (std::uint32_t r = head; r != 0;) {
          if (r > c.recordHighWater) return Failed("free record index beyond RecordHighWater");
          if (seen[r]) return Failed("free record reached twice");
          seen[r] = 1;
          FreeRecord rec;
          if (fs.ReadRecord(r, &rec) != 0) return Failed("free record unreadable");
          if (!AddBlock(rec.address, s * kUnitSize, true, "free block")) return false;
          if (!AllZero(rec.address, 0, s * kUnitSize)) return Failed("free block not zero" + At(rec.address));
          ++report_.freeBlocks;
          report_.freeUnits += s;
          r = rec.next;
        }
      }
      s = low - 1;
    }
    for (std::uint32_t r = c.recycledHead; r != 0;) {
      if (r > c.recordHighWater) return Failed("recycled record index beyond RecordHighWater");
      if (seen[r]) return Failed("recycled record also in use");
      seen[r] = 1;
      std::uint8_t link[4];
      if (fs.View()->Read(FreeSpaceMap::RecordOffset(r), link, 4) != 0) return Failed("free record unreadable");
      r = LoadU32LE(link);
    }
    return true;
  }

  bool CheckOverlaps() {
    std::sort(blocks_.begin(), blocks_.end(), [](const Block& a, const Block& b) { return a.unit < b.unit; });
    for (std::size_t i = 1; i < blocks_.size(); ++i) {
      const Block& a = blocks_[i - 1];
      const Block& b = blocks_[i];
      if (a.unit + a.units > b.unit) {
        const char* kind = a.free && b.free ? "two free blocks overlap" : (a.free || b.free) ? "a live block is also free" : "two blocks overlap";
        return Failed(std::string(kind) + At(b.unit));
      }
    }
    for (const Block& b : blocks_)
      if (!b.free) report_.usedUnits += b.units;
    return true;
  }

  Ku& db_;
  std::uint64_t end_ = 0;
  std::vector<Block> blocks_;
  StoreCheckReport report_;
};

}  // namespace

StoreCheckReport CheckStore(Ku& database) {
  database.Lock();
  StoreCheckReport report = Checker(database).Run();
  database.Unlock();
  return report;
}

}  // namespace vellumo
