#pragma once
// Ku: the database.  An ordered byte-keyed store (keys 1..16384 bytes, values
// 0..65535 bytes, an empty value meaning absent) over the trie of the .ku
// file, with released blocks remembered in the .hs file.
//
// Every public operation takes the database's re-entrant lock for its whole
// duration, so the interface thread and the sync worker can share one Ku and
// Scan callbacks may call back into it.  Results are 0 or a code unique to the
// failure site.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "store/free_space_map.h"
#include "store/mapped_file.h"
#include "store/trie_format.h"

namespace vellumo {

class Ku;

enum class PutIfMode : int { PutAlways = 0, PutIfAbsent = 1, PutIfPresent = 2, AddCounter = 3 };

// Called for every visited key with a non-empty value; returns nonzero to go
// on.  valueHeader points to the key's 8-byte header; ScannedValue reads the
// value through it.
using ScanCallback = int (*)(const std::uint8_t* key, std::uint32_t keyLength, const std::uint8_t* valueHeader,
                             void* context, Ku& database);

namespace ku_error {
inline constexpr int kGetClosed = 279, kGetNotFound = 288, kGetHeader = 294, kGetBlock = 307;
inline constexpr int kPutClosed = 320, kPutPath = 331, kPutHeader = 337, kPutOldBlock = 344, kPutBlockWrite = 359,
                     kPutHeaderWrite = 367;
inline constexpr int kExchangeClosed = 377, kExchangePath = 384, kExchangeHeader = 389, kExchangeOldBlock = 398,
                     kExchangeBlockWrite = 414, kExchangeHeaderWrite = 422;
inline constexpr int kPutIfClosed = 442, kPutIfPath = 451, kPutIfCondition = 457, kPutIfCounterTooLong = 462,
                     kPutIfOldBlock = 468, kPutIfBlockWrite = 483, kPutIfHeaderWrite = 502;
// Block reads and writes.  kReusedBeyondEnd keeps its number but is no
// longer returned: a listed block that cannot be used drops its list and the
// request takes fresh space.
inline constexpr int kBlockZeroLength = 949, kBlockBeyondEnd = 961, kEndUnitOverflow = 969,
                     kReusedBeyondEnd = 978, kBlockWriteFailed = 990;
inline constexpr int kReadAddressZero = 1016, kReadBeyondEnd = 1020, kReadFailed = 1030;
}  // namespace ku_error

// How opening went, for callers that explain a refusal to a person.  A .hs
// file that cannot be opened does not refuse the database (see
// Ku::FreeSpaceUnavailable).
enum class OpenResult { Opened, Created, KuUnopenable, NotThisFormat, Truncated };

// What a read found.  Get's codes cannot say it alone: 294 stands both for a
// key whose walk ends in an empty slot of a full node and for a value header
// that could not be read.
enum class Presence : std::uint8_t {
  Present,  // the key has a non-empty value, read whole
  Absent,   // no node for the key, or its value is empty
  Damaged,  // a node, value header or value block on the way could not be
            // read, or there is no open database to read
};

class Ku {
 public:
  enum TouchState : std::uint8_t { kOpenedUnwritten = 0, kWritten = 1, kViewsReleased = 2 };

  Ku();
  virtual ~Ku();
  Ku(const Ku&) = delete;
  Ku& operator=(const Ku&) = delete;

  // Opens database `number` in the current directory (DatabasePath).
  OpenResult Open(std::uint32_t number, std::u16string_view prefix);
  OpenResult OpenFiles(const std::filesystem::path& kuPath, const std::filesystem::path& hsPath);
  void Close();
  bool IsBroken() const;
  OpenResult LastOpenResult() const { return openResult_; }

  // presence, when given, says whether a failure means "no value" or damage.
  [[nodiscard]] int Get(std::span<const std::uint8_t> key, std::uint8_t* buffer, std::uint32_t* length,
                        Presence* presence = nullptr);
  [[nodiscard]] int Put(std::span<const std::uint8_t> key, const std::uint8_t* data, std::uint32_t length);
  [[nodiscard]] int Exchange(std::span<const std::uint8_t> key, const std::uint8_t* data, std::uint32_t length,
                             std::uint8_t* oldBuffer, std::uint32_t* oldLength);
  // AddCounter writes the sum back into data, hence the mutable buffer.
  [[nodiscard]] int PutIf(PutIfMode mode, std::span<const std::uint8_t> key, std::uint8_t* data,
                          std::uint32_t length);
  // Returns 1 when the walk finished, 0 when the callback stopped it or a
  // node could not be read.
  int Scan(std::span<const std::uint8_t> startKey, std::uint32_t minLength, std::uint32_t maxLength,
           ScanCallback callback, void* context);
  std::uint32_t Erase(std::span<const std::uint8_t> prefix, std::uint32_t maxLength);
  // Reads part of a value block; takes no lock of its own (Scan callbacks,
  // through ScannedValue, call it with the lock held).
  [[nodiscard]] int ReadBlock(std::uint64_t unitAddr, std::uint32_t offset, std::uint8_t* buffer,
                              std::uint32_t length);

  // Gives up after 500 ms when the database is busy.
  void ReleaseViews();
  TouchState GetTouchState() const { return touchState_; }

  // Copies both files to `hsCopy` and `kuCopy` under the lock; false when
  // either copy failed (a target that exists counts as a failure).
  [[nodiscard]] bool CopyFilesTo(const std::filesystem::path& hsCopy, const std::filesystem::path& kuCopy);
  // Puts every key of this database into `target`, which is what compacts:
  // free space and empty nodes are not carried over.  Returns 0 or the first
  // failing Put's code; counts what was copied.
  [[nodiscard]] int CopyAllTo(Ku& target, std::uint64_t* keys = nullptr, std::uint64_t* bytes = nullptr);
  const std::filesystem::path& KuPath() const { return kuPath_; }
  const std::filesystem::path& HsPath() const { return hsPath_; }

  // The whole value of a key, for callers that do not know its length.
  [[nodiscard]] int GetValue(std::span<const std::uint8_t> key, std::vector<std::uint8_t>* value,
                             Presence* presence = nullptr);

  // Inspection, for the command-line tool and the checker.
  std::uint64_t EndUnit() const { return endUnit_; }
  std::uint64_t KuFileSize() const { return kuFile_.Size(); }
  FreeSpaceMap& FreeSpace() { return freeSpace_; }
  KYiQ8v* KuView() { return kuView_.get(); }
  // True when the free-space map had to be dropped at open.
  bool FreeSpaceWasReset() const { return freeSpaceReset_; }
  // True when the .hs file could not be opened: the database works, but
  // released blocks are not remembered and nothing is reused until a later
  // open succeeds.
  bool FreeSpaceUnavailable() const { return IsOpen() && !freeSpace_.IsOpen(); }
  // The file ends before EndUnit (what a full disk leaves behind): the
  // missing range reads as zeros and the first write there grows the file.
  bool EndsBeforeEndUnit() const { return IsOpen() && kuView_->MappedSize() < endUnit_ * trie::kUnitSize; }

  // The lock, for callers that group several operations (re-entrant).
  void Lock();
  void Unlock();

  // Overrides the tick source of the release back-off (tests).
  void SetTickSourceForTesting(std::uint32_t (*tickSource)()) { tickSource_ = tickSource; }

 private:
  friend class KuTrie;
  friend class KuTestAccess;  // tests reach the block allocator directly

  class LockGuard {
   public:
    explicit LockGuard(Ku& ku) : ku_(ku) { ku_.Lock(); }
    ~LockGuard() { ku_.Unlock(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

   private:
    Ku& ku_;
  };

  OpenResult OpenOpenedFiles(const std::filesystem::path& hsPath);
  void MarkWritten();
  bool IsOpen() const { return kuView_ != nullptr; }

  // Blocks: checked reads and writes of the .ku file.
  [[nodiscard]] int ReadBytes(std::uint64_t unitAddr, std::uint32_t offset, void* buffer, std::uint32_t length);
  // The bytes of a block in place when possible, else copied into scratch;
  // null when the range is outside the used area or unreadable.  Valid until
  // the next write.
  const std::uint8_t* PeekBytes(std::uint64_t unitAddr, std::uint32_t offset, std::uint32_t length,
                                std::uint8_t* scratch);
  [[nodiscard]] int WriteBytes(std::uint64_t unitAddr, std::uint32_t offset, const void* data, std::uint32_t length);
  [[nodiscard]] int AllocateBlock(std::uint32_t bytes, std::uint64_t* unitAddr);
  // True when [unitAddr, +units) lies in the used area and is all zero.
  bool IsUnusedBlock(std::uint64_t unitAddr, std::uint32_t units);
  bool TakeListedBlock(std::uint32_t listUnits, std::uint64_t* unitAddr);
  // Writes `bytes` (padded with zeros to whole units) into a new block.
  [[nodiscard]] int WriteNewBlock(const std::uint8_t* data, std::uint32_t bytes, std::uint64_t* unitAddr);
  void ReleaseBlock(std::uint64_t unitAddr, std::uint32_t bytes);
  bool BlockInRange(std::uint64_t unitAddr, std::uint32_t bytes) const;
  [[nodiscard]] int WriteEndUnit();

  std::recursive_timed_mutex mutex_;
  platform::File kuFile_;
  std::filesystem::path kuPath_;
  std::filesystem::path hsPath_;
  std::unique_ptr<KYiQ8v> kuView_;
  FreeSpaceMap freeSpace_;
  std::uint64_t endUnit_ = 0;
  TouchState touchState_ = kOpenedUnwritten;
  OpenResult openResult_ = OpenResult::KuUnopenable;
  bool freeSpaceReset_ = false;
  std::uint32_t (*tickSource_)() = nullptr;
};

// The value of a key as a Scan callback sees it, read through the store:
//   ScannedValue value(valueHeader, database);
//   value.Read(buffer);
// Values of up to 6 bytes come from the header, longer ones from their block.
// Valid for the duration of the callback, like the header it reads.
class ScannedValue {
 public:
  ScannedValue(const std::uint8_t* valueHeader, Ku& database) : header_(valueHeader), database_(database) {}
  std::uint32_t Length() const { return LoadU16LE(header_); }
  // Copies min(buffer.size(), Length()) bytes; 0 or a ReadBlock code.
  [[nodiscard]] int Read(std::span<std::uint8_t> buffer) const {
    const std::uint32_t length = Length();
    const auto n = static_cast<std::uint32_t>(buffer.size() < length ? buffer.size() : length);
    if (n == 0) return 0;
    if (length <= trie::kMaxInlineValue) {
      std::memcpy(buffer.data(), header_ + 2, n);
      return 0;
    }
    return database_.ReadBlock(trie::LoadUnitAddr(header_ + 2), 0, buffer.data(), n);
  }
  // The whole value; empty on failure.
  [[nodiscard]] int ReadAll(std::vector<std::uint8_t>* value) const {
    value->resize(Length());
    const int rc = Read(*value);
    if (rc != 0) value->clear();
    return rc;
  }

 private:
  const std::uint8_t* header_;
  Ku& database_;
};

}  // namespace vellumo
