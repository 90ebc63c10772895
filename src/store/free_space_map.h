#pragma once
// FreeSpaceMap: the .hs file, which remembers released blocks of the .ku file
// so that they can be handed out again.
//
// Layout (little-endian):
//   OFFSET  SIZE  FIELD
//   0       32772 FreeHead[0..8192]: u32 index of the first record of the
//                 smallest non-empty list >= s units (entry 0 unused).  For an
//                 empty list s, FreeHead[s] == FreeHead[s+1].
//   32772   16    pending head update (all zero when none; see below)
//   32788   4     RecordHighWater: records ever created
//   32792   4     RecycledHead: first unused record, 0 = none
//   32796   4     SplitOrMissCount
//   32800   4     ReleaseCount        32804 4 ReuseCount
//   32808   4     FreeUnits           32812 2 ReleaseWraps   32814 2 ReuseWraps
//   (i + 2743) * 12, i >= 1: record i = u32 next, 6-byte UnitAddr, 2 zero bytes;
//                 a recycled record uses its first 4 bytes as the next recycled index.
//
// Moving a record into or out of a list may rewrite a range of FreeHead
// entries.  A process killed in the middle of that would leave entries that
// make one block look free twice, so a range of more than one entry is
// announced first in the otherwise unused 16 bytes at 32772
// {u32 units | 0x80000000, u32 from, u32 to, 0} and finished on the next open
// when the flag is still set.  Only the flag word is cleared after each
// update; the rest is cleared on close, so a cleanly closed file has zeros
// there, as the format expects.
//
// A new map is an empty file, and stays one until the first release: a miss
// counted before then is kept in memory and reaches the file with the
// counters that release writes.
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/file.h"
#include "store/mapped_file.h"

namespace vellumo {

struct FreeSpaceCounters {
  std::uint32_t recordHighWater = 0;
  std::uint32_t recycledHead = 0;
  std::uint32_t splitOrMissCount = 0;
  std::uint32_t releaseCount = 0;
  std::uint32_t reuseCount = 0;
  std::uint32_t freeUnits = 0;
  std::uint16_t releaseWraps = 0;
  std::uint16_t reuseWraps = 0;
};

struct FreeRecord {
  std::uint32_t next = 0;
  std::uint64_t address = 0;
};

class FreeSpaceMap {
 public:
  static constexpr std::uint32_t kMaxListUnits = 8192;
  static constexpr std::uint64_t kHeadsOffset = 0;
  static constexpr std::uint64_t kPendingOffset = 32772;
  static constexpr std::uint64_t kCountersOffset = 32788;
  static constexpr std::uint64_t kCountersSize = 28;
  static constexpr std::uint64_t kRecordBias = 2743;
  static constexpr std::uint64_t kRecordSize = 12;
  static constexpr std::uint32_t kBackOffMs = 10000;

  FreeSpaceMap() = default;
  ~FreeSpaceMap();
  FreeSpaceMap(const FreeSpaceMap&) = delete;
  FreeSpaceMap& operator=(const FreeSpaceMap&) = delete;

  // False when the file cannot be opened; the map then stays empty and
  // drops every release, so the database runs without reuse.
  [[nodiscard]] bool Open(const std::filesystem::path& hsPath);
  bool IsOpen() const noexcept { return view_ != nullptr; }
  // Finishes an interrupted head update, then drops the whole map when its
  // heads or counters cannot belong to a database of endUnit units (only
  // reuse is lost that way, never data).  Returns true when it was dropped.
  bool Recover(std::uint64_t endUnit);
  void Close() noexcept;

  static std::uint64_t RecordOffset(std::uint32_t index) { return (index + kRecordBias) * kRecordSize; }

  std::uint32_t Head(std::uint32_t units) const { return heads_[units]; }
  bool ListNonEmpty(std::uint32_t units) const { return heads_[units] != 0 && heads_[units] != heads_[units + 1]; }
  // The size of the list whose head FreeHead[units] names: the largest s
  // sharing that head.
  std::uint32_t ListSizeOfHead(std::uint32_t units) const;
  const FreeSpaceCounters& Counters() const { return counters_; }

  // The first record of the non-empty list `units`.  Nonzero when it cannot
  // be read or its link cannot be followed (out of range, or naming the
  // record itself); the list is then unusable and should be dropped.
  [[nodiscard]] int PeekHead(std::uint32_t units, FreeRecord* record);
  // Takes the record PeekHead returned out of its list.
  void Pop(std::uint32_t units, const FreeRecord& record);
  // Forgets the whole list `units`: its blocks are never handed out again.
  // What a list that names a block in use costs is reuse, never data.
  void DropList(std::uint32_t units);
  // Enters a block that has already been zeroed.  Dropped silently when the
  // back-off is active or the block is too large to be listed.
  void Record(std::uint64_t address, std::uint32_t units, std::uint32_t nowMs);
  void CountMiss();

  [[nodiscard]] int ReadRecord(std::uint32_t index, FreeRecord* record);
  void UnmapAll() noexcept;
  void TouchLastWriteTime() const noexcept;
  std::uint64_t FileSize() const noexcept { return file_.Size(); }
  KYiQ8v* View() { return view_.get(); }

 private:
  // Sets FreeHead[top] and the entries below it that name `from` (or `to`,
  // when finishing an interrupted update) to `to`, safely against a kill.
  void UpdateHeads(std::uint32_t top, std::uint32_t from, std::uint32_t to);
  std::uint32_t ReplaceHeadRange(std::uint32_t top, std::uint32_t from, std::uint32_t to);
  void ClearPending();
  void WriteCounters();
  // Counters are written only where the file already reaches them, so that
  // a database that never released anything keeps an empty .hs file.
  bool CountersInFile() const;
  void WriteRecordCounters();
  void Reset();

  platform::File file_;
  std::unique_ptr<KYiQ8v> view_;
  // One more entry than the file holds: FreeHead[8193] is always 0.
  std::array<std::uint32_t, kMaxListUnits + 2> heads_{};
  std::vector<std::uint8_t> headBytes_ = std::vector<std::uint8_t>(4 * (kMaxListUnits + 1));
  FreeSpaceCounters counters_;
  bool backOffActive_ = false;
  std::uint32_t backOffUntilMs_ = 0;
};

}  // namespace vellumo
