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
    fileBytes_ = db_.KuFileSize();
    if (end_ < kNewEndUnit) return Fail("EndUnit below the root node");
    if (fileBytes_ < kNewEndUnit * kUnitSize) return Fail("file ends inside the root node");
    if (fileBytes_ < end_ * kUnitSize) {
      std::ostringstream s;
      s << "the file ends " << end_ * kUnitSize - fileBytes_
        << " bytes before EndUnit (a write that found the disk full); the range reads as zeros";
      Note(s.str(), "");
    }
    if (db_.FreeSpaceUnavailable()) Note("the free-space file could not be opened; released space is not reused", "");
    if (db_.FreeSpaceWasReset()) Note("the free-space map did not fit the database and was reset at open", "");
    blocks_.push_back({0, static_cast<std::uint32_t>(kNewEndUnit), false});  // header and root
    if (!WalkTrie()) return Finish();
    WalkFreeLists();
    CheckOverlaps();
    return Finish();
  }

 private:
  // Notes are counted per kind; the report names the first place of each.
  void Note(const std::string& kind, const std::string& where) {
    for (auto& n : notes_)
      if (n.kind == kind) {
        ++n.count;
        return;
      }
    notes_.push_back({kind, where, 1});
  }
  StoreCheckReport Finish() {
    for (const auto& n : notes_) {
      std::string text = n.kind + n.firstPlace;
      if (n.count > 1) text += " (and " + std::to_string(n.count - 1) + " more)";
      report_.notes.push_back(text);
    }
    return report_;
  }
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

  bool InUsedArea(std::uint64_t unit, std::uint32_t units) const {
    return unit >= kNewEndUnit && unit <= end_ && units <= end_ - unit;
  }

  // A block in use: inside the used area and inside the file, since what
  // lies past the end of the file reads as zeros, not as what was written.
  bool AddLiveBlock(std::uint64_t unit, std::uint32_t bytes, const char* what) {
    const std::uint32_t units = UnitsFor(bytes);
    if (!InUsedArea(unit, units)) return Failed(std::string(what) + " outside the used area" + At(unit));
    if ((unit + units) * kUnitSize > fileBytes_) return Failed(std::string(what) + " past the end of the file" + At(unit));
    blocks_.push_back({unit, units, false});
    return true;
  }

  // Readers ignore the bytes after a value's length; writers that overwrite
  // a value in place with a shorter one leave them as they were.
  bool CheckValueHeader(const std::uint8_t* vh, std::uint64_t nodeUnit) {
    const std::uint32_t length = LoadU16LE(vh);
    if (length == 0) {
      if (!AllZeroBytes(vh + 2, 6)) Note("empty value header with stray bytes", At(nodeUnit));
      return true;
    }
    ++report_.keys;
    if (length <= kMaxInlineValue) {
      if (!AllZeroBytes(vh + 2 + length, 6 - length)) Note("inline value with a non-zero tail", At(nodeUnit));
      return true;
    }
    const std::uint64_t block = LoadUnitAddr(vh + 2);
    if (block == 0) return Failed("value block address 0" + At(nodeUnit));
    if (!AddLiveBlock(block, length, "value block")) return false;
    ++report_.valueBlocks;
    if (!AllZero(block, length, UnitsFor(length) * kUnitSize)) Note("value block with a non-zero tail", At(block));
    return true;
  }

  static bool AllZeroBytes(const std::uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
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
      if (ref.address != kRootUnit && !AddLiveBlock(ref.address, size, "node")) return false;
      if (ref.address == kRootUnit && (ref.kind != kFullKind || cur.depth != 0))
        return Failed("a node names the root");
      if (++report_.nodes > end_) return Failed("more nodes than units: the trie has a cycle");
      node.resize(size);
      if (!Read(ref.address, 0, node.data(), size)) return Failed("node unreadable" + At(ref.address));
      if (!AllZero(ref.address, size, UnitsFor(size) * kUnitSize)) Note("node with a non-zero tail", At(ref.address));
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

  // The allocator drops a list it cannot follow or whose block is not zero,
  // so faults of the map cost reuse only: they are notes, and the walk of
  // the map stops at the first one.  A zero free block over a block in use
  // is another matter (reuse would overwrite it) and CheckOverlaps finds it.
  void WalkFreeLists() {
    FreeSpaceMap& fs = db_.FreeSpace();
    if (!fs.IsOpen()) return;
    const FreeSpaceCounters& c = fs.Counters();
    auto unusable = [&](const std::string& what) { Note("free-space map: " + what + "; that space is not reused", ""); };
    std::uint8_t pending[16] = {};
    if (fs.View()->Read(FreeSpaceMap::kPendingOffset, pending, sizeof pending) != 0)
      return unusable("the file is unreadable");
    if (LoadU32LE(pending) != 0) return unusable("a head update is unfinished");
    if (c.recordHighWater > end_) return unusable("more records than the database has units");
    std::vector<std::uint8_t> seen(static_cast<std::size_t>(c.recordHighWater) + 1, 0);
    std::uint32_t s = FreeSpaceMap::kMaxListUnits;
    while (s >= 1) {
      const std::uint32_t head = fs.Head(s);
      std::uint32_t low = s;
      while (low > 1 && fs.Head(low - 1) == head) --low;
      if (head != 0) {
        if (head == fs.Head(s + 1)) return unusable("list heads out of order");
        // List of blocks of s units.
        for (std::uint32_t r = head; r != 0;) {
          if (r > c.recordHighWater) return unusable("a record index beyond RecordHighWater");
          if (seen[r]) return unusable("a record reached twice");
          seen[r] = 1;
          FreeRecord rec;
          if (fs.ReadRecord(r, &rec) != 0) return unusable("a record is unreadable");
          if (!InUsedArea(rec.address, s)) return unusable("a block outside the used area" + At(rec.address));
          const std::uint32_t bytes = s * kUnitSize;
          if (!AllZero(rec.address, 0, bytes)) {
            // Releasing a value of n bytes zeroes those n; a tail left by an
            // earlier in-place shrink survives in the block's last unit.
            if (!AllZero(rec.address, 0, bytes - kUnitSize + 1))
              return unusable("a listed block is not zero" + At(rec.address));
            Note("free block with a non-zero tail", At(rec.address));
          }
          blocks_.push_back({rec.address, s, true});
          ++report_.freeBlocks;
          report_.freeUnits += s;
          r = rec.next;
        }
      }
      s = low - 1;
    }
    for (std::uint32_t r = c.recycledHead; r != 0;) {
      if (r > c.recordHighWater) return unusable("a recycled record index beyond RecordHighWater");
      if (seen[r]) return unusable("a recycled record is also listed");
      seen[r] = 1;
      std::uint8_t link[4];
      if (fs.View()->Read(FreeSpaceMap::RecordOffset(r), link, 4) != 0) return unusable("a record is unreadable");
      r = LoadU32LE(link);
    }
  }

  void CheckOverlaps() {
    std::sort(blocks_.begin(), blocks_.end(), [](const Block& a, const Block& b) { return a.unit < b.unit; });
    for (const Block& b : blocks_)
      if (!b.free) report_.usedUnits += b.units;
    // Each block against the furthest-reaching one before it, so that a
    // long block covering several later ones is seen.
    std::size_t reach = 0;
    for (std::size_t i = 1; i < blocks_.size(); ++i) {
      const Block& a = blocks_[reach];
      const Block& b = blocks_[i];
      if (a.unit + a.units > b.unit) {
        if (!a.free && !b.free) return (void)Failed("two blocks overlap" + At(b.unit));
        if (a.free != b.free) return (void)Failed("a block in use is also listed as free" + At(b.unit));
        Note("free-space map: two free blocks overlap; the second one handed out is refused", At(b.unit));
      }
      if (b.unit + b.units > a.unit + a.units) reach = i;
    }
  }

  struct NoteKind {
    std::string kind;
    std::string firstPlace;
    std::uint64_t count;
  };

  Ku& db_;
  std::uint64_t end_ = 0;
  std::uint64_t fileBytes_ = 0;
  std::vector<Block> blocks_;
  std::vector<NoteKind> notes_;
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
