#include "store/ku_trie.h"

#include <algorithm>
#include <cstring>

namespace vellumo {

using namespace trie;
using namespace ku_error;

namespace {
constexpr NodeRef kRootRef{kFullKind, kRootUnit};
constexpr std::uint32_t kMaxNodeRead = 8 + 8 * kMaxListEntries;  // lists and paths; full nodes by slot
}  // namespace

int KuTrie::ReadNode(NodeRef ref, std::uint8_t* buffer) {
  return ku_.ReadBytes(ref.address, 0, buffer, NodeSize(ref.kind));
}

KuTrie::Walk KuTrie::Find(std::span<const std::uint8_t> key) {
  Walk w;
  w.node = kRootRef;
  std::uint8_t scratch[kMaxNodeRead];
  while (w.consumed < key.size()) {
    const NodeRef cur = w.node;
    if (cur.IsEmpty() || cur.kind == kLeafKind) return w;
    const std::uint8_t b = key[w.consumed];
    if (cur.kind == kFullKind) {
      const std::uint32_t offset = kValueHeaderSize + kNodeRefSize * b;
      const std::uint8_t* slot = ku_.PeekBytes(cur.address, offset, kNodeRefSize, scratch);
      if (!slot) {
        w.failed = true;
        return w;
      }
      w.linkPosition = cur.address * kUnitSize + offset;
      w.node = LoadNodeRef(slot);
      ++w.consumed;
      continue;
    }
    const std::uint8_t* node = ku_.PeekBytes(cur.address, 0, NodeSize(cur.kind), scratch);
    if (!node) {
      w.failed = true;
      return w;
    }
    if (IsListKind(cur.kind)) {
      std::uint32_t j = 0;
      while (j < cur.kind && node[8 + 8 * j] < b) ++j;
      if (j == cur.kind || node[8 + 8 * j] != b) return w;
      w.linkPosition = cur.address * kUnitSize + 8 + 8 * j + 1;
      w.node = LoadNodeRef(&node[8 + 8 * j + 1]);
      ++w.consumed;
      continue;
    }
    const std::uint32_t m = PathLength(cur.kind);
    if (key.size() - w.consumed < m || std::memcmp(&node[8], &key[w.consumed], m) != 0) return w;
    w.linkPosition = cur.address * kUnitSize + 8 + m;
    w.node = LoadNodeRef(&node[8 + m]);
    w.consumed += m;
  }
  w.complete = true;
  return w;
}

int KuTrie::WriteLink(std::uint64_t linkPosition, NodeRef ref) {
  std::uint8_t raw[kNodeRefSize];
  StoreNodeRef(raw, ref);
  return ku_.WriteBytes(linkPosition / kUnitSize, static_cast<std::uint32_t>(linkPosition % kUnitSize), raw,
                        sizeof raw);
}

int KuTrie::WriteLeaf(const ValueHeader& header, NodeRef* out) {
  std::uint64_t unit = 0;
  int rc = ku_.WriteNewBlock(header.raw, kValueHeaderSize, &unit);
  if (rc != 0) return rc;
  *out = NodeRef{kLeafKind, unit};
  return 0;
}

int KuTrie::WriteRun(std::span<const std::uint8_t> bytes, const ValueHeader& header, NodeRef end, NodeRef* out) {
  if (bytes.empty()) {
    *out = end;
    return 0;
  }
  if (bytes.size() > kMaxPathBytes) {
    // Deepest first, so that nothing written ever names an unwritten block.
    NodeRef tail;
    int rc = WriteRun(bytes.subspan(kMaxPathBytes), ValueHeader{}, end, &tail);
    if (rc != 0) return rc;
    return WriteRun(bytes.first(kMaxPathBytes), header, tail, out);
  }
  std::uint8_t node[8 + kMaxPathBytes + kNodeRefSize] = {};
  std::memcpy(node, header.raw, kValueHeaderSize);
  std::uint8_t kind;
  if (bytes.size() == 1) {
    kind = 1;
    node[8] = bytes[0];
    StoreNodeRef(&node[9], end);
  } else {
    kind = PathKindFor(static_cast<std::uint32_t>(bytes.size()));
    std::memcpy(&node[8], bytes.data(), bytes.size());
    StoreNodeRef(&node[8 + bytes.size()], end);
  }
  std::uint64_t unit = 0;
  int rc = ku_.WriteNewBlock(node, NodeSize(kind), &unit);
  if (rc != 0) return rc;
  *out = NodeRef{kind, unit};
  return 0;
}

int KuTrie::WriteChain(std::span<const std::uint8_t> rest, const ValueHeader& header, NodeRef* out,
                       std::uint64_t* leafUnit) {
  NodeRef leaf;
  // A chain of no bytes is its leaf, which then carries the header itself.
  int rc = WriteLeaf(rest.empty() ? header : ValueHeader{}, &leaf);
  if (rc != 0) return rc;
  *leafUnit = leaf.address;
  return WriteRun(rest, header, leaf, out);
}

int KuTrie::Insert(const Walk& walk, std::span<const std::uint8_t> rest, std::uint64_t* keyNode) {
  const NodeRef at = walk.node;
  NodeRef replacement;
  std::uint8_t node[kMaxNodeRead];

  if (at.IsEmpty() || at.kind == kLeafKind) {
    ValueHeader carried;
    if (!at.IsEmpty() && ku_.ReadBytes(at.address, 0, carried.raw, kValueHeaderSize) != 0) return kReadFailed;
    int rc = WriteChain(rest, carried, &replacement, keyNode);
    if (rc != 0) return rc;
  } else if (IsListKind(at.kind)) {
    if (ReadNode(at, node) != 0) return kReadFailed;
    NodeRef child;
    int rc = WriteChain(rest.subspan(1), ValueHeader{}, &child, keyNode);
    if (rc != 0) return rc;
    const std::uint32_t n = at.kind;
    std::uint64_t unit = 0;
    if (n < kMaxListEntries) {
      std::uint8_t grown[8 + 8 * kMaxListEntries] = {};
      std::memcpy(grown, node, 8);
      std::uint32_t out = 0;
      bool placed = false;
      for (std::uint32_t j = 0; j < n; ++j) {
        if (!placed && node[8 + 8 * j] > rest[0]) {
          grown[8 + 8 * out] = rest[0];
          StoreNodeRef(&grown[8 + 8 * out + 1], child);
          ++out;
          placed = true;
        }
        std::memcpy(&grown[8 + 8 * out], &node[8 + 8 * j], 8);
        ++out;
      }
      if (!placed) {
        grown[8 + 8 * out] = rest[0];
        StoreNodeRef(&grown[8 + 8 * out + 1], child);
      }
      const auto kind = static_cast<std::uint8_t>(n + 1);
      rc = ku_.WriteNewBlock(grown, NodeSize(kind), &unit);
      if (rc != 0) return rc;
      replacement = NodeRef{kind, unit};
    } else {
      // A full list becomes a FullNode, which never shrinks back.
      std::vector<std::uint8_t> full(kFullNodeSize, 0);
      std::memcpy(full.data(), node, 8);
      for (std::uint32_t j = 0; j < n; ++j)
        std::memcpy(&full[8 + kNodeRefSize * node[8 + 8 * j]], &node[8 + 8 * j + 1], kNodeRefSize);
      StoreNodeRef(&full[8 + kNodeRefSize * rest[0]], child);
      rc = ku_.WriteNewBlock(full.data(), kFullNodeSize, &unit);
      if (rc != 0) return rc;
      replacement = NodeRef{kFullKind, unit};
    }
  } else if (IsPathKind(at.kind)) {
    if (ReadNode(at, node) != 0) return kReadFailed;
    const std::uint32_t m = PathLength(at.kind);
    const std::span<const std::uint8_t> run(&node[8], m);
    const NodeRef child = LoadNodeRef(&node[8 + m]);
    ValueHeader pathHeader;
    std::memcpy(pathHeader.raw, node, 8);
    std::uint32_t i = 0;
    while (i < m && i < rest.size() && run[i] == rest[i]) ++i;
    if (i == m) return kReadFailed;  // Find never stops after a whole run
    NodeRef lower;
    ValueHeader upperHeader = pathHeader;
    if (i < rest.size()) {
      // The run and the key part at byte i: a two-entry list.
      NodeRef pathSide, keySide;
      int rc = WriteRun(run.subspan(i + 1), ValueHeader{}, child, &pathSide);
      if (rc == 0) rc = WriteChain(rest.subspan(i + 1), ValueHeader{}, &keySide, keyNode);
      if (rc != 0) return rc;
      std::uint8_t list[24] = {};
      if (i == 0) std::memcpy(list, pathHeader.raw, 8);
      const bool pathFirst = run[i] < rest[i];
      list[8] = pathFirst ? run[i] : rest[i];
      StoreNodeRef(&list[9], pathFirst ? pathSide : keySide);
      list[16] = pathFirst ? rest[i] : run[i];
      StoreNodeRef(&list[17], pathFirst ? keySide : pathSide);
      std::uint64_t unit = 0;
      rc = ku_.WriteNewBlock(list, sizeof list, &unit);
      if (rc != 0) return rc;
      lower = NodeRef{2, unit};
      if (i == 0) replacement = lower;
    } else {
      // The key ends inside the run: the node for the run's rest holds it.
      int rc = WriteRun(run.subspan(i), ValueHeader{}, child, &lower);
      if (rc != 0) return rc;
      *keyNode = lower.address;
    }
    if (replacement.IsEmpty()) {
      int rc = WriteRun(run.first(i), upperHeader, lower, &replacement);
      if (rc != 0) return rc;
    }
  } else {
    return kReadFailed;  // a FullNode never stops a walk
  }

  int rc = WriteLink(walk.linkPosition, replacement);
  if (rc != 0) return rc;
  if (!at.IsEmpty()) ku_.ReleaseBlock(at.address, NodeSize(at.kind));
  return 0;
}

int KuTrie::FindOrCreate(std::span<const std::uint8_t> key, std::uint64_t* nodeUnit) {
  Walk w = Find(key);
  if (w.failed) return kReadFailed;
  if (!w.complete) return Insert(w, key.subspan(w.consumed), nodeUnit);
  if (w.node.IsEmpty()) {
    NodeRef leaf;
    int rc = WriteLeaf(ValueHeader{}, &leaf);
    if (rc == 0) rc = WriteLink(w.linkPosition, leaf);
    if (rc != 0) return rc;
    w.node = leaf;
  }
  *nodeUnit = w.node.address;
  return 0;
}

int KuTrie::ReadHeader(std::uint64_t nodeUnit, ValueHeader* header) {
  return ku_.ReadBytes(nodeUnit, 0, header->raw, kValueHeaderSize);
}

int KuTrie::ReadValue(const ValueHeader& header, std::uint8_t* buffer, std::uint32_t capacity) {
  const std::uint32_t length = header.Length();
  const std::uint32_t n = std::min(capacity, length);
  if (n == 0 || buffer == nullptr) return 0;
  if (header.IsInline()) {
    std::memcpy(buffer, header.raw + 2, n);
    return 0;
  }
  return ku_.ReadBytes(header.BlockAddress(), 0, buffer, n);
}

int KuTrie::StoreValue(std::uint64_t nodeUnit, const ValueHeader& old, const std::uint8_t* data,
                       std::uint32_t length, const ValueCodes& codes) {
  const std::uint32_t oldLength = old.Length();
  const bool oldHasBlock = oldLength > kMaxInlineValue;
  const std::uint64_t oldBlock = oldHasBlock ? old.BlockAddress() : 0;
  if (oldHasBlock && !ku_.BlockInRange(oldBlock, oldLength)) return codes.oldBlock;

  ValueHeader fresh;
  StoreU16LE(fresh.raw, static_cast<std::uint16_t>(length));
  bool releaseOld = oldHasBlock;
  if (length <= kMaxInlineValue) {
    if (data) std::memcpy(fresh.raw + 2, data, length);
  } else if (oldHasBlock && UnitsFor(oldLength) == UnitsFor(length)) {
    // Same size class: overwrite in place.  The bytes past the value's length
    // stay zero at every moment: a longer value is announced before it is
    // written (its new part is still zero), a shorter one has its old tail
    // cleared before the header shrinks.
    const std::uint32_t padded = UnitsFor(length) * kUnitSize;
    StoreUnitAddr(fresh.raw + 2, oldBlock);
    if (length >= oldLength) {
      if (ku_.WriteBytes(nodeUnit, 0, fresh.raw, kValueHeaderSize) != 0) return codes.headerWrite;
      if (ku_.WriteBytes(oldBlock, 0, data, length) != 0) return codes.blockWrite;
      return 0;
    }
    int rc = ku_.WriteBytes(oldBlock, 0, data, length);
    if (rc == 0) rc = ku_.WriteBytes(oldBlock, length, nullptr, padded - length);
    if (rc != 0) return codes.blockWrite;
    releaseOld = false;
  } else {
    // The new block is written and linked before the old one is given up,
    // so a process killed in between leaves at worst an unused block.
    std::uint64_t unit = 0;
    if (ku_.WriteNewBlock(data, length, &unit) != 0) return codes.blockWrite;
    StoreUnitAddr(fresh.raw + 2, unit);
  }
  if (ku_.WriteBytes(nodeUnit, 0, fresh.raw, kValueHeaderSize) != 0) return codes.headerWrite;
  if (releaseOld) ku_.ReleaseBlock(oldBlock, oldLength);
  return 0;
}

bool KuTrie::ReachableBlocksBelow(std::uint64_t limitUnit) {
  auto below = [&](std::uint64_t unit, std::uint32_t bytes) {
    return unit >= kRootUnit && unit < limitUnit && UnitsFor(bytes) <= limitUnit - unit;
  };
  std::vector<NodeRef> pending{kRootRef};
  std::vector<std::uint8_t> node(kFullNodeSize);
  // A trie has fewer nodes than units; more visits mean a cycle.
  std::uint64_t visits = 0;
  while (!pending.empty()) {
    const NodeRef ref = pending.back();
    pending.pop_back();
    const std::uint32_t size = NodeSize(ref.kind);
    if (!below(ref.address, size) || ++visits > limitUnit) return false;
    if (ku_.ReadBytes(ref.address, 0, node.data(), size) != 0) return false;
    const std::uint32_t length = LoadU16LE(node.data());
    if (length > kMaxInlineValue && !below(LoadUnitAddr(&node[2]), length)) return false;
    auto push = [&](const std::uint8_t* p) {
      const NodeRef child = LoadNodeRef(p);
      if (!child.IsEmpty()) pending.push_back(child);
    };
    if (ref.kind == kFullKind) {
      for (std::uint32_t b = 0; b < 256; ++b) push(&node[8 + kNodeRefSize * b]);
    } else if (IsListKind(ref.kind)) {
      for (std::uint32_t j = 0; j < ref.kind; ++j) push(&node[8 + 8 * j + 1]);
    } else if (IsPathKind(ref.kind)) {
      push(&node[8 + PathLength(ref.kind)]);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------

namespace {
bool KeyLengthOk(std::span<const std::uint8_t> key) { return !key.empty() && key.size() <= kMaxKeyLength; }
}  // namespace

int Ku::Get(std::span<const std::uint8_t> key, std::uint8_t* buffer, std::uint32_t* length, Presence* presence) {
  LockGuard lock(*this);
  Presence ignored;
  Presence& found = presence ? *presence : ignored;
  found = Presence::Damaged;
  if (!length) return kGetClosed;
  const std::uint32_t capacity = *length;
  *length = 0;
  if (!IsOpen()) return kGetClosed;
  found = Presence::Absent;
  if (!KeyLengthOk(key)) return kGetNotFound;
  KuTrie t(*this);
  KuTrie::Walk w = t.Find(key);
  if (w.failed) found = Presence::Damaged;
  if (w.failed || !w.complete) return kGetNotFound;
  // An empty slot of a full node: no node for the key, under the code of an
  // unreadable header.
  if (w.node.IsEmpty()) return kGetHeader;
  ValueHeader header;
  found = Presence::Damaged;
  if (t.ReadHeader(w.node.address, &header) != 0) return kGetHeader;
  if (t.ReadValue(header, buffer, capacity) != 0) return kGetBlock;
  *length = header.Length();
  found = header.Length() == 0 ? Presence::Absent : Presence::Present;
  return 0;
}

int Ku::Put(std::span<const std::uint8_t> key, const std::uint8_t* data, std::uint32_t length) {
  LockGuard lock(*this);
  if (!IsOpen() || length > kMaxValueLength) return kPutClosed;
  if (!KeyLengthOk(key)) return kPutPath;
  KuTrie t(*this);
  std::uint64_t nodeUnit = 0;
  if (length == 0) {
    // Clearing never creates a path.
    KuTrie::Walk w = t.Find(key);
    if (w.failed) return kPutHeader;
    if (!w.complete) return 0;
    if (w.node.IsEmpty()) return kPutHeader;
    nodeUnit = w.node.address;
  } else if (t.FindOrCreate(key, &nodeUnit) != 0) {
    return kPutPath;
  }
  ValueHeader old;
  if (t.ReadHeader(nodeUnit, &old) != 0) return kPutHeader;
  return t.StoreValue(nodeUnit, old, data, length, {kPutHeader, kPutOldBlock, kPutBlockWrite, kPutHeaderWrite});
}

int Ku::Exchange(std::span<const std::uint8_t> key, const std::uint8_t* data, std::uint32_t length,
                 std::uint8_t* oldBuffer, std::uint32_t* oldLength) {
  LockGuard lock(*this);
  const std::uint32_t capacity = oldLength ? *oldLength : 0;
  if (oldLength) *oldLength = 0;
  if (!IsOpen() || length > kMaxValueLength) return kExchangeClosed;
  if (!KeyLengthOk(key)) return kExchangePath;
  KuTrie t(*this);
  std::uint64_t nodeUnit = 0;
  if (t.FindOrCreate(key, &nodeUnit) != 0) return kExchangePath;
  ValueHeader old;
  if (t.ReadHeader(nodeUnit, &old) != 0) return kExchangeHeader;
  if (old.Length() > kMaxInlineValue && !BlockInRange(old.BlockAddress(), old.Length())) return kExchangeOldBlock;
  if (t.ReadValue(old, oldBuffer, capacity) != 0) return kExchangeOldBlock;
  if (oldLength) *oldLength = old.Length();
  return t.StoreValue(nodeUnit, old, data, length,
                      {kExchangeHeader, kExchangeOldBlock, kExchangeBlockWrite, kExchangeHeaderWrite});
}

int Ku::PutIf(PutIfMode mode, std::span<const std::uint8_t> key, std::uint8_t* data, std::uint32_t length) {
  LockGuard lock(*this);
  if (!IsOpen() || length > kMaxValueLength) return kPutIfClosed;
  if (!KeyLengthOk(key)) return kPutIfPath;
  if (mode == PutIfMode::AddCounter && length > kMaxInlineValue) return kPutIfBlockWrite;
  KuTrie t(*this);
  std::uint64_t nodeUnit = 0;
  if (mode == PutIfMode::PutIfPresent) {
    KuTrie::Walk w = t.Find(key);
    if (w.failed || !w.complete || w.node.IsEmpty()) return kPutIfPath;
    nodeUnit = w.node.address;
  } else if (t.FindOrCreate(key, &nodeUnit) != 0) {
    return kPutIfPath;
  }
  ValueHeader old;
  if (t.ReadHeader(nodeUnit, &old) != 0) return kPutIfCondition;
  if (mode == PutIfMode::PutIfAbsent && old.Length() != 0) return kPutIfCondition;
  if (mode == PutIfMode::PutIfPresent && old.Length() == 0) return kPutIfCondition;
  if (mode == PutIfMode::AddCounter) {
    if (old.Length() > kMaxInlineValue) return kPutIfCounterTooLong;
    // Little-endian addition over `length` bytes, modulo 2^(8 * length).
    unsigned carry = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
      const unsigned stored = i < old.Length() ? old.raw[2 + i] : 0u;
      const unsigned sum = stored + data[i] + carry;
      data[i] = static_cast<std::uint8_t>(sum);
      carry = sum >> 8;
    }
  }
  return t.StoreValue(nodeUnit, old, data, length,
                      {kPutIfCondition, kPutIfOldBlock, kPutIfBlockWrite, kPutIfHeaderWrite});
}

}  // namespace vellumo
