#include <cstring>
#include <vector>

#include "store/ku_trie.h"

namespace vellumo {

using namespace trie;

namespace {

// One node on the walk's path.  Children are visited in ascending byte order;
// `constrained` means the key so far equals the start key, so the first child
// tried is the start key's next byte rather than 0.
struct ScanFrame {
  NodeRef ref;
  std::uint32_t depth = 0;
  bool constrained = false;
  bool started = false;
  std::uint32_t cursor = 0;  // next slot (full), entry (list) or 0/1 (path)
  std::uint32_t startByte = 0;
  std::vector<std::uint8_t> bytes;  // the node, read once
};

}  // namespace

int Ku::Scan(std::span<const std::uint8_t> startKey, std::uint32_t minLength, std::uint32_t maxLength,
             ScanCallback callback, void* context) {
  LockGuard lock(*this);
  if (!IsOpen() || callback == nullptr) return 0;
  if (maxLength > kMaxKeyLength) maxLength = kMaxKeyLength;
  std::vector<std::uint8_t> keyBuffer(kMaxKeyLength, 0);
  if (!startKey.empty())
    std::memcpy(keyBuffer.data(), startKey.data(), std::min<std::size_t>(startKey.size(), maxLength));
  // Levels below fixedLength follow only the start key's byte.
  const std::uint32_t fixedLength = minLength > 0 ? minLength - 1 : 0;

  KuTrie t(*this);
  // Frames are reused so that a long scan does not allocate per node.
  std::vector<ScanFrame> stack;
  std::size_t top = 0;
  auto push = [&](NodeRef ref, std::uint32_t depth, bool constrained) -> bool {
    if (top == stack.size()) stack.emplace_back();
    ScanFrame& f = stack[top];
    f.ref = ref;
    f.depth = depth;
    f.constrained = constrained;
    f.started = false;
    f.cursor = 0;
    f.bytes.resize(NodeSize(ref.kind));
    if (ReadBytes(ref.address, 0, f.bytes.data(), NodeSize(ref.kind)) != 0) return false;
    f.startByte = constrained && depth < keyBuffer.size() ? keyBuffer[depth] : 0;
    ++top;
    return true;
  };
  if (!push(NodeRef{kFullKind, kRootUnit}, 0, true)) return 0;

  while (top > 0) {
    ScanFrame& f = stack[top - 1];
    if (!f.started) {
      f.started = true;
      if (f.depth >= minLength && f.depth > 0 && LoadU16LE(f.bytes.data()) != 0) {
        if (callback(keyBuffer.data(), f.depth, f.bytes.data(), context, *this) == 0) return 0;
      }
      if (f.depth >= maxLength) {
        --top;
        continue;
      }
      if (!IsPathKind(f.ref.kind)) f.cursor = f.startByte;
      if (IsListKind(f.ref.kind)) {
        std::uint32_t j = 0;
        while (j < f.ref.kind && f.bytes[8 + 8 * j] < f.startByte) ++j;
        f.cursor = j;
      }
    }

    // Pick the next child of f.
    NodeRef child;
    std::uint32_t childDepth = f.depth + 1;
    bool childConstrained = false;
    bool found = false;
    const bool fixedLevel = f.depth < fixedLength;
    if (f.ref.kind == kFullKind) {
      while (f.cursor < 256) {
        const std::uint32_t b = f.cursor++;
        if (fixedLevel && b != f.startByte) {
          f.cursor = 256;
          break;
        }
        NodeRef r = LoadNodeRef(&f.bytes[8 + kNodeRefSize * b]);
        if (r.IsEmpty()) continue;
        keyBuffer[f.depth] = static_cast<std::uint8_t>(b);
        child = r;
        childConstrained = f.constrained && b == f.startByte;
        found = true;
        break;
      }
    } else if (IsListKind(f.ref.kind)) {
      if (f.cursor < f.ref.kind) {
        const std::uint32_t j = f.cursor++;
        const std::uint32_t b = f.bytes[8 + 8 * j];
        if (!(fixedLevel && b != f.startByte)) {
          keyBuffer[f.depth] = static_cast<std::uint8_t>(b);
          child = LoadNodeRef(&f.bytes[8 + 8 * j + 1]);
          childConstrained = f.constrained && b == f.startByte;
          found = !child.IsEmpty();
        } else {
          f.cursor = f.ref.kind;
        }
      }
    } else if (IsPathKind(f.ref.kind) && f.cursor == 0) {
      f.cursor = 1;
      const std::uint32_t m = PathLength(f.ref.kind);
      childDepth = f.depth + m;
      if (childDepth <= maxLength) {
        const std::uint8_t* run = &f.bytes[8];
        // Compare the run with the start position; a run that sorts before
        // it is skipped whole, one that sorts after frees the levels below.
        int order = 0;
        std::uint32_t firstDiff = m;
        if (f.constrained) {
          for (std::uint32_t i = 0; i < m; ++i) {
            if (run[i] != keyBuffer[f.depth + i]) {
              order = run[i] < keyBuffer[f.depth + i] ? -1 : 1;
              firstDiff = i;
              break;
            }
          }
        }
        const bool breaksFixed = f.constrained && firstDiff < m && f.depth + firstDiff < fixedLength;
        if (order >= 0 && !breaksFixed) {
          std::memcpy(&keyBuffer[f.depth], run, m);
          child = LoadNodeRef(&f.bytes[8 + m]);
          childConstrained = f.constrained && order == 0;
          found = !child.IsEmpty();
        }
      }
    }
    if (!found) {
      if ((f.ref.kind == kFullKind && f.cursor >= 256) || (IsListKind(f.ref.kind) && f.cursor >= f.ref.kind) ||
          IsPathKind(f.ref.kind) || f.ref.kind == kLeafKind)
        --top;
      continue;
    }
    if (childDepth > maxLength) continue;
    if (child.kind == kLeafKind) {
      // Leaves have no children: report them without a frame of their own.
      if (childDepth < minLength) continue;
      std::uint8_t header[kValueHeaderSize];
      if (ReadBytes(child.address, 0, header, kValueHeaderSize) != 0) return 0;
      if (LoadU16LE(header) != 0 && callback(keyBuffer.data(), childDepth, header, context, *this) == 0) return 0;
      continue;
    }
    if (!push(child, childDepth, childConstrained)) return 0;
  }
  return 1;
}

}  // namespace vellumo
