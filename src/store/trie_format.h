#pragma once
// The .ku file: a header, the root node, then 8-byte-aligned blocks.
//
//   OFFSET  SIZE  FIELD
//   0       4     magic "TLBX"
//   4       4     reserved, 0
//   8       1     format version 3
//   9       1     root node kind 65
//   10      1     address width 6
//   11      1     unit size 8
//   12      6     EndUnit: first never-used unit (UnitAddr)
//   18      14    reserved, 0
//   32      1800  root FullNode (unit 4), never moved or released
//   1832..        nodes and value blocks
//
// A UnitAddr is a 48-bit unit number (u32 low, u16 high); byte offset = unit * 8.
// Node kinds, as named by the parent's 7-byte NodeRef {kind, UnitAddr}:
//   0        LeafNode  8 bytes: ValueHeader only
//   1..64    ListNode  8 + 8k: ValueHeader, k sorted entries {key byte, NodeRef}
//   65       FullNode  1800: ValueHeader, 256 NodeRef slots at 8 + 7i
//   66..255  PathNode  kind - 49: ValueHeader, kind - 64 key bytes, child NodeRef
// ValueHeader: u16 length L; L <= 6 inline bytes, else the UnitAddr of a value
// block of L bytes.
#include <cstdint>
#include <cstring>

#include "platform/bytes.h"

namespace vellumo::trie {

inline constexpr std::uint32_t kUnitSize = 8;
inline constexpr std::uint64_t kRootUnit = 4;
inline constexpr std::uint64_t kNewEndUnit = 229;
inline constexpr std::uint32_t kHeaderSize = 32;
inline constexpr std::uint64_t kEndUnitOffset = 12;
inline constexpr std::uint8_t kFormatVersion = 3;
inline constexpr std::uint8_t kAddressWidth = 6;

inline constexpr std::uint8_t kLeafKind = 0;
inline constexpr std::uint8_t kMaxListEntries = 64;
inline constexpr std::uint8_t kFullKind = 65;
inline constexpr std::uint8_t kFirstPathKind = 66;
inline constexpr std::uint32_t kMaxPathBytes = 191;
inline constexpr std::uint32_t kFullNodeSize = 1800;
inline constexpr std::uint32_t kValueHeaderSize = 8;
inline constexpr std::uint32_t kNodeRefSize = 7;
inline constexpr std::uint32_t kMaxInlineValue = 6;
inline constexpr std::uint32_t kMaxValueLength = 65535;
inline constexpr std::uint32_t kMaxKeyLength = 16384;
inline constexpr std::uint64_t kMaxUnitAddr = (1ull << 48) - 1;

inline constexpr std::uint32_t UnitsFor(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kUnitSize - 1) / kUnitSize);
}

inline bool IsListKind(std::uint8_t kind) { return kind >= 1 && kind <= kMaxListEntries; }
inline bool IsPathKind(std::uint8_t kind) { return kind >= kFirstPathKind; }
inline std::uint32_t PathLength(std::uint8_t kind) { return kind - 64u; }
inline std::uint8_t PathKindFor(std::uint32_t bytes) { return static_cast<std::uint8_t>(bytes + 64); }

inline std::uint32_t NodeSize(std::uint8_t kind) {
  if (kind == kLeafKind) return 8;
  if (IsListKind(kind)) return 8 + 8u * kind;
  if (kind == kFullKind) return kFullNodeSize;
  return kind - 49u;
}

inline std::uint64_t LoadUnitAddr(const std::uint8_t* p) {
  return LoadU32LE(p) | static_cast<std::uint64_t>(LoadU16LE(p + 4)) << 32;
}
inline void StoreUnitAddr(std::uint8_t* p, std::uint64_t a) {
  StoreU32LE(p, static_cast<std::uint32_t>(a));
  StoreU16LE(p + 4, static_cast<std::uint16_t>(a >> 32));
}

struct NodeRef {
  std::uint8_t kind = 0;
  std::uint64_t address = 0;
  bool IsEmpty() const { return kind == 0 && address == 0; }
  friend bool operator==(const NodeRef&, const NodeRef&) = default;
};

inline NodeRef LoadNodeRef(const std::uint8_t* p) { return NodeRef{p[0], LoadUnitAddr(p + 1)}; }
inline void StoreNodeRef(std::uint8_t* p, NodeRef r) {
  p[0] = r.kind;
  StoreUnitAddr(p + 1, r.address);
}

// The 8 bytes that start every node.
struct ValueHeader {
  std::uint8_t raw[kValueHeaderSize] = {};
  std::uint16_t Length() const { return LoadU16LE(raw); }
  bool IsInline() const { return Length() <= kMaxInlineValue; }
  std::uint64_t BlockAddress() const { return LoadUnitAddr(raw + 2); }
  void Clear() { std::memset(raw, 0, sizeof raw); }
};

}  // namespace vellumo::trie
