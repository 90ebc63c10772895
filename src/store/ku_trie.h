#pragma once
// Internal: the trie algorithms over a Ku's blocks.  Callers hold the lock.
#include <cstdint>
#include <span>
#include <vector>

#include "store/ku.h"
#include "store/trie_format.h"

namespace vellumo {

class KuTrie {
 public:
  explicit KuTrie(Ku& ku) : ku_(ku) {}

  struct Walk {
    bool failed = false;    // a node on the way could not be read
    bool complete = false;  // every key byte was consumed
    trie::NodeRef node;     // where the walk stopped
    std::uint64_t linkPosition = 0;  // file offset of the NodeRef naming `node`
    std::size_t consumed = 0;
  };

  Walk Find(std::span<const std::uint8_t> key);
  // Finds or creates the key's node; returns its unit address in *nodeUnit.
  [[nodiscard]] int FindOrCreate(std::span<const std::uint8_t> key, std::uint64_t* nodeUnit);

  struct ValueCodes {
    int header, oldBlock, blockWrite, headerWrite;
  };
  [[nodiscard]] int ReadHeader(std::uint64_t nodeUnit, trie::ValueHeader* header);
  // Copies min(capacity, stored) bytes of the value named by header.
  [[nodiscard]] int ReadValue(const trie::ValueHeader& header, std::uint8_t* buffer, std::uint32_t capacity);
  // Stores a new value in the node, releasing a block it no longer needs
  // only after the header no longer names it.
  [[nodiscard]] int StoreValue(std::uint64_t nodeUnit, const trie::ValueHeader& old, const std::uint8_t* data,
                               std::uint32_t length, const ValueCodes& codes);

  // Writes the run node for `bytes` (value header `header`, ending in `end`).
  [[nodiscard]] int WriteRun(std::span<const std::uint8_t> bytes, const trie::ValueHeader& header,
                             trie::NodeRef end, trie::NodeRef* out);
  [[nodiscard]] int WriteLeaf(const trie::ValueHeader& header, trie::NodeRef* out);
  [[nodiscard]] int WriteLink(std::uint64_t linkPosition, trie::NodeRef ref);
  [[nodiscard]] int ReadNode(trie::NodeRef ref, std::uint8_t* buffer);

  // True when every node and value block reachable from the root lies
  // below `limitUnit` and every node on the way can be read.
  bool ReachableBlocksBelow(std::uint64_t limitUnit);

  Ku& ku() { return ku_; }

 private:
  // Inserts the rest of a key where Find stopped; *keyNode receives the unit
  // of the node that now stands for the whole key.
  [[nodiscard]] int Insert(const Walk& walk, std::span<const std::uint8_t> rest, std::uint64_t* keyNode);
  [[nodiscard]] int WriteChain(std::span<const std::uint8_t> rest, const trie::ValueHeader& header,
                               trie::NodeRef* out, std::uint64_t* leafUnit);

  Ku& ku_;
};

}  // namespace vellumo
