#include <cstring>
#include <utility>
#include <vector>

#include "store/ku_trie.h"

namespace vellumo {

using namespace trie;

namespace {

enum class Outcome { Unchanged, Moved, Gone };

struct EraseFrame {
  NodeRef ref;
  std::uint32_t depth = 0;
  bool prefixMode = false;  // still following the prefix: no value here is removed
  bool started = false;
  bool dirty = false;          // rewritten in place when it stays
  bool removedEntry = false;   // a list lost an entry: rewritten into a new block
  bool childGone = false;      // a path's child is gone
  std::uint32_t cursor = 0;
  std::uint32_t current = 0;   // slot or entry of the child being visited
  std::vector<std::uint8_t> bytes;
  std::vector<bool> entryGone;
};

}  // namespace

// Removes every value whose key starts with the prefix and is at most
// maxLength bytes long, then prunes emptied nodes bottom-up.  Blocks given up
// are released only after every link that named them has been rewritten, so
// an interrupted erase never leaves a link to a free block.
std::uint32_t Ku::Erase(std::span<const std::uint8_t> prefix, std::uint32_t maxLength) {
  LockGuard lock(*this);
  if (!IsOpen() || prefix.empty() || prefix.size() > kMaxKeyLength) return 0;
  const auto p = static_cast<std::uint32_t>(prefix.size());
  if (maxLength < p) maxLength = p;
  if (maxLength > kMaxKeyLength) maxLength = kMaxKeyLength;

  KuTrie t(*this);
  std::uint32_t removed = 0;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> releases;
  std::vector<EraseFrame> stack;
  std::size_t top = 0;
  bool failed = false;

  auto push = [&](NodeRef ref, std::uint32_t depth) -> bool {
    if (top == stack.size()) stack.emplace_back();
    EraseFrame& f = stack[top];
    f.ref = ref;
    f.depth = depth;
    f.prefixMode = depth < p;
    f.started = f.dirty = f.removedEntry = f.childGone = false;
    f.cursor = f.current = 0;
    f.bytes.resize(NodeSize(ref.kind));
    if (ReadBytes(ref.address, 0, f.bytes.data(), NodeSize(ref.kind)) != 0) return false;
    f.entryGone.assign(IsListKind(ref.kind) ? ref.kind : 0, false);
    ++top;
    return true;
  };

  // Finishes the top frame; returns what its parent must do with its link.
  auto finish = [&](EraseFrame& f, NodeRef* moved) -> Outcome {
    const bool isRoot = f.ref.address == kRootUnit && f.ref.kind == kFullKind && &f == &stack[0];
    const bool hasValue = LoadU16LE(f.bytes.data()) != 0;
    auto writeInPlace = [&] {
      if (f.dirty && WriteBytes(f.ref.address, 0, f.bytes.data(), NodeSize(f.ref.kind)) != 0) failed = true;
    };
    auto replaceWith = [&](const std::uint8_t* node, std::uint8_t kind) -> Outcome {
      std::uint64_t unit = 0;
      if (WriteNewBlock(node, NodeSize(kind), &unit) != 0) {
        failed = true;
        writeInPlace();
        return Outcome::Unchanged;
      }
      releases.emplace_back(f.ref.address, NodeSize(f.ref.kind));
      *moved = NodeRef{kind, unit};
      return Outcome::Moved;
    };
    auto gone = [&] {
      releases.emplace_back(f.ref.address, NodeSize(f.ref.kind));
      return Outcome::Gone;
    };

    if (f.ref.kind == kLeafKind) {
      if (hasValue) {
        writeInPlace();
        return Outcome::Unchanged;
      }
      return gone();
    }
    if (IsListKind(f.ref.kind)) {
      if (!f.removedEntry) {
        writeInPlace();
        return Outcome::Unchanged;
      }
      std::uint8_t node[8 + 8 * kMaxListEntries] = {};
      std::memcpy(node, f.bytes.data(), 8);
      std::uint32_t remaining = 0;
      for (std::uint32_t j = 0; j < f.ref.kind; ++j) {
        if (f.entryGone[j]) continue;
        std::memcpy(&node[8 + 8 * remaining], &f.bytes[8 + 8 * j], 8);
        ++remaining;
      }
      if (remaining > 0) return replaceWith(node, static_cast<std::uint8_t>(remaining));
      if (hasValue) return replaceWith(node, kLeafKind);
      return gone();
    }
    if (IsPathKind(f.ref.kind)) {
      if (!f.childGone) {
        writeInPlace();
        return Outcome::Unchanged;
      }
      if (hasValue) return replaceWith(f.bytes.data(), kLeafKind);
      return gone();
    }
    // FullNode: never shrinks; the root is never released.
    bool empty = !hasValue;
    for (std::uint32_t b = 0; empty && b < 256; ++b)
      empty = LoadNodeRef(&f.bytes[8 + kNodeRefSize * b]).IsEmpty();
    if (empty && !isRoot) return gone();
    writeInPlace();
    return Outcome::Unchanged;
  };

  if (!push(NodeRef{kFullKind, kRootUnit}, 0)) return 0;
  while (top > 0 && !failed) {
    EraseFrame& f = stack[top - 1];
    if (!f.started) {
      f.started = true;
      if (!f.prefixMode && LoadU16LE(f.bytes.data()) != 0) {
        ValueHeader h;
        std::memcpy(h.raw, f.bytes.data(), 8);
        if (!h.IsInline()) releases.emplace_back(h.BlockAddress(), h.Length());
        std::memset(f.bytes.data(), 0, 8);
        f.dirty = true;
        ++removed;
      }
    }

    // Next child to visit, if any.
    NodeRef child;
    std::uint32_t childDepth = f.depth + 1;
    bool found = false;
    if (f.ref.kind == kFullKind) {
      if (f.prefixMode) {
        if (f.cursor == 0) {
          f.cursor = 256;
          f.current = prefix[f.depth];
          child = LoadNodeRef(&f.bytes[8 + kNodeRefSize * f.current]);
          found = !child.IsEmpty();
        }
      } else {
        while (!found && f.cursor < 256 && childDepth <= maxLength) {
          f.current = f.cursor++;
          child = LoadNodeRef(&f.bytes[8 + kNodeRefSize * f.current]);
          found = !child.IsEmpty();
        }
      }
    } else if (IsListKind(f.ref.kind)) {
      while (!found && f.cursor < f.ref.kind && childDepth <= maxLength) {
        f.current = f.cursor++;
        if (f.prefixMode && f.bytes[8 + 8 * f.current] != prefix[f.depth]) continue;
        child = LoadNodeRef(&f.bytes[8 + 8 * f.current + 1]);
        if (child.IsEmpty()) {
          f.entryGone[f.current] = true;
          f.removedEntry = true;
          continue;
        }
        found = true;
      }
    } else if (IsPathKind(f.ref.kind) && f.cursor == 0) {
      f.cursor = 1;
      const std::uint32_t m = PathLength(f.ref.kind);
      childDepth = f.depth + m;
      bool enter = childDepth <= maxLength;
      if (enter && f.prefixMode) {
        const std::uint32_t compared = std::min(m, p - f.depth);
        enter = std::memcmp(&f.bytes[8], &prefix[f.depth], compared) == 0;
      }
      if (enter) {
        child = LoadNodeRef(&f.bytes[8 + m]);
        found = !child.IsEmpty();
      }
    }

    if (found) {
      if (!push(child, childDepth)) failed = true;
      continue;
    }

    // All children done: settle this node and tell the parent.
    NodeRef moved;
    const Outcome outcome = finish(f, &moved);
    --top;
    if (top == 0) break;
    EraseFrame& parent = stack[top - 1];
    if (outcome == Outcome::Unchanged) continue;
    const NodeRef newRef = outcome == Outcome::Moved ? moved : NodeRef{};
    if (parent.ref.kind == kFullKind) {
      StoreNodeRef(&parent.bytes[8 + kNodeRefSize * parent.current], newRef);
      parent.dirty = true;
    } else if (IsListKind(parent.ref.kind)) {
      if (outcome == Outcome::Gone) {
        parent.entryGone[parent.current] = true;
        parent.removedEntry = true;
      } else {
        StoreNodeRef(&parent.bytes[8 + 8 * parent.current + 1], newRef);
        parent.dirty = true;
      }
    } else if (IsPathKind(parent.ref.kind)) {
      const std::uint32_t m = PathLength(parent.ref.kind);
      if (outcome == Outcome::Gone) {
        parent.childGone = true;
      } else {
        StoreNodeRef(&parent.bytes[8 + m], newRef);
        parent.dirty = true;
      }
    }
  }
  if (failed) {
    // Links already rewritten stay; nothing is released that might still be
    // named somewhere.
    return removed;
  }
  for (const auto& [unit, bytes] : releases) ReleaseBlock(unit, bytes);
  return removed;
}

}  // namespace vellumo
