#include <algorithm>
#include <cstring>
#include <vector>

#include "store/ku_trie.h"

namespace vellumo {

using namespace trie;

namespace {

// A branching node (list or full) on the walk's path.  Children are visited
// in ascending byte order; `constrained` means the key so far equals the
// start key, so the first child tried is the start key's next byte, not 0.
// Paths and leaves have one child or none and are walked without a frame.
struct ScanFrame {
  NodeRef ref;
  std::uint32_t depth = 0;
  bool constrained = false;
  std::uint32_t cursor = 0;  // next slot (full) or entry (list)
  std::uint32_t startByte = 0;
  std::vector<std::uint8_t> bytes;  // the node, read once
};

}  // namespace

int Ku::Scan(std::span<const std::uint8_t> startKey, std::uint32_t minLength, std::uint32_t maxLength,
             ScanCallback callback, void* context) {
  LockGuard lock(*this);
  if (!IsOpen() || callback == nullptr) return 0;
  if (maxLength > kMaxKeyLength) maxLength = kMaxKeyLength;
  std::vector<std::uint8_t> keyBuffer(kMaxKeyLength + 1, 0);
  if (!startKey.empty())
    std::memcpy(keyBuffer.data(), startKey.data(), std::min<std::size_t>(startKey.size(), maxLength));
  // Levels below fixedLength follow only the start key's byte.
  const std::uint32_t fixedLength = minLength > 0 ? minLength - 1 : 0;

  // Frames are reused so that a long scan does not allocate per node.
  std::vector<ScanFrame> stack;
  std::size_t top = 0;

  // Reports the value in a node's header when the key is long enough.
  auto report = [&](const std::uint8_t* header, std::uint32_t depth) -> bool {
    if (depth < minLength || depth == 0 || LoadU16LE(header) == 0) return true;
    std::uint8_t copy[kValueHeaderSize];  // the callback may write and move views
    std::memcpy(copy, header, kValueHeaderSize);
    return callback(keyBuffer.data(), depth, copy, context, *this) != 0;
  };

  // Visits a node: reports its value, walks down paths and leaves at once,
  // and leaves a frame for a branching node.  False stops the scan.
  auto enter = [&](NodeRef ref, std::uint32_t depth, bool constrained) -> bool {
    std::uint8_t node[8 + kMaxPathBytes + kNodeRefSize];
    for (;;) {
      if (ref.kind == kLeafKind) {
        if (ReadBytes(ref.address, 0, node, kValueHeaderSize) != 0) return false;
        return report(node, depth);
      }
      if (IsPathKind(ref.kind)) {
        if (ReadBytes(ref.address, 0, node, NodeSize(ref.kind)) != 0) return false;
        if (!report(node, depth)) return false;
        const std::uint32_t m = PathLength(ref.kind);
        if (depth + m > maxLength) return true;
        const std::uint8_t* run = &node[8];
        // A run that sorts before the start position is skipped whole; one
        // that sorts after frees the levels below it.
        int order = 0;
        std::uint32_t firstDiff = m;
        if (constrained) {
          for (std::uint32_t i = 0; i < m; ++i) {
            if (run[i] != keyBuffer[depth + i]) {
              order = run[i] < keyBuffer[depth + i] ? -1 : 1;
              firstDiff = i;
              break;
            }
          }
        }
        if (order < 0 || (firstDiff < m && depth + firstDiff < fixedLength)) return true;
        std::memcpy(&keyBuffer[depth], run, m);
        ref = LoadNodeRef(&node[8 + m]);
        if (ref.IsEmpty()) return true;
        depth += m;
        constrained = constrained && order == 0;
        continue;
      }
      if (top == stack.size()) stack.emplace_back();
      ScanFrame& f = stack[top];
      f.ref = ref;
      f.depth = depth;
      f.constrained = constrained;
      f.bytes.resize(NodeSize(ref.kind));
      if (ReadBytes(ref.address, 0, f.bytes.data(), NodeSize(ref.kind)) != 0) return false;
      f.startByte = constrained ? keyBuffer[depth] : 0;
      f.cursor = f.startByte;
      if (IsListKind(ref.kind)) {
        std::uint32_t j = 0;
        while (j < ref.kind && f.bytes[8 + 8 * j] < f.startByte) ++j;
        f.cursor = j;
      }
      ++top;
      if (!report(f.bytes.data(), depth)) return false;
      if (depth >= maxLength) --top;
      return true;
    }
  };

  if (!enter(NodeRef{kFullKind, kRootUnit}, 0, true)) return 0;
  while (top > 0) {
    ScanFrame& f = stack[top - 1];
    const bool fixedLevel = f.depth < fixedLength;
    NodeRef child;
    std::uint32_t b = 0;
    bool found = false;
    if (f.ref.kind == kFullKind) {
      while (!found && f.cursor < 256) {
        b = f.cursor++;
        if (fixedLevel && b != f.startByte) {
          f.cursor = 256;
          break;
        }
        child = LoadNodeRef(&f.bytes[8 + kNodeRefSize * b]);
        found = !child.IsEmpty();
      }
    } else {
      while (!found && f.cursor < f.ref.kind) {
        const std::uint32_t j = f.cursor++;
        b = f.bytes[8 + 8 * j];
        if (fixedLevel && b != f.startByte) {
          f.cursor = f.ref.kind;
          break;
        }
        child = LoadNodeRef(&f.bytes[8 + 8 * j + 1]);
        found = !child.IsEmpty();
      }
    }
    if (!found) {
      --top;
      continue;
    }
    keyBuffer[f.depth] = static_cast<std::uint8_t>(b);
    const std::uint32_t depth = f.depth + 1;
    const bool constrained = f.constrained && b == f.startByte;
    if (!enter(child, depth, constrained)) return 0;
  }
  return 1;
}

}  // namespace vellumo
