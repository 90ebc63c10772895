#include "store/free_space_map.h"

#include <algorithm>
#include <set>

#include "platform/bytes.h"

namespace vellumo {

namespace {
constexpr std::uint32_t kPendingFlag = 0x80000000u;
}

FreeSpaceMap::~FreeSpaceMap() { Close(); }

bool FreeSpaceMap::Open(const std::filesystem::path& hsPath) {
  Close();
  file_ = platform::File::OpenExclusiveWriter(hsPath);
  if (!file_.IsOpen()) return false;
  view_ = std::make_unique<KYiQ8v>(file_, KYiQ8v::kFreeMapMaxViews, KYiQ8v::kFreeMapViewSize);
  std::vector<std::uint8_t> raw(kCountersOffset + kCountersSize);
  if (view_->Read(0, raw.data(), raw.size()) != 0) {
    Close();
    return false;
  }
  for (std::uint32_t s = 0; s <= kMaxListUnits; ++s) heads_[s] = LoadU32LE(&raw[4 * s]);
  heads_[kMaxListUnits + 1] = 0;
  const std::uint8_t* c = &raw[kCountersOffset];
  counters_.recordHighWater = LoadU32LE(c + 0);
  counters_.recycledHead = LoadU32LE(c + 4);
  counters_.splitOrMissCount = LoadU32LE(c + 8);
  counters_.releaseCount = LoadU32LE(c + 12);
  counters_.reuseCount = LoadU32LE(c + 16);
  counters_.freeUnits = LoadU32LE(c + 20);
  counters_.releaseWraps = LoadU16LE(c + 24);
  counters_.reuseWraps = LoadU16LE(c + 26);
  return true;
}

void FreeSpaceMap::Close() noexcept {
  // Leave the 16 bytes zero, as the format expects of a closed file, without
  // writing (and so stamping) a file that only was read.
  std::uint8_t pending[16] = {};
  if (view_ && view_->MappedSize() > kPendingOffset && view_->Read(kPendingOffset, pending, sizeof pending) == 0 &&
      std::any_of(pending, pending + 16, [](std::uint8_t b) { return b != 0; }))
    ClearPending();
  view_.reset();
  file_.Close();
  heads_.fill(0);
  counters_ = {};
  backOffActive_ = false;
}

bool FreeSpaceMap::Recover(std::uint64_t endUnit) {
  if (!view_) return false;
  std::uint8_t pending[16];
  if (view_->Read(kPendingOffset, pending, sizeof pending) == 0) {
    const std::uint32_t word = LoadU32LE(pending);
    const std::uint32_t top = word & ~kPendingFlag;
    if ((word & kPendingFlag) && top >= 1 && top <= kMaxListUnits)
      ReplaceHeadRange(top, LoadU32LE(pending + 4), LoadU32LE(pending + 8));
    if (std::any_of(pending, pending + 16, [](std::uint8_t b) { return b != 0; })) ClearPending();
  }

  // Every record index in use lies in [1, RecordHighWater], and no database
  // can have more free blocks than units.
  bool sane = counters_.recordHighWater <= endUnit && counters_.recycledHead <= counters_.recordHighWater;
  std::set<std::uint32_t> finished;
  for (std::uint32_t s = kMaxListUnits; sane && s >= 1; --s) {
    const std::uint32_t h = heads_[s];
    if (h > counters_.recordHighWater) sane = false;
    // Entries sharing a head are contiguous; a head seen again after another
    // one means an update was cut short.
    if (h != heads_[s + 1]) {
      if (heads_[s + 1] != 0) finished.insert(heads_[s + 1]);
      if (h != 0 && finished.count(h)) sane = false;
    }
  }
  if (!sane) Reset();
  return !sane;
}

void FreeSpaceMap::Reset() {
  heads_.fill(0);
  counters_ = {};
  (void)view_->Write(0, nullptr, kCountersOffset + kCountersSize);
}

std::uint32_t FreeSpaceMap::ListSizeOfHead(std::uint32_t units) const {
  std::uint32_t s = units;
  while (s < kMaxListUnits && heads_[s + 1] == heads_[units]) ++s;
  return s;
}

void FreeSpaceMap::ClearPending() { (void)view_->Write(kPendingOffset, nullptr, 16); }

std::uint32_t FreeSpaceMap::ReplaceHeadRange(std::uint32_t top, std::uint32_t from, std::uint32_t to) {
  std::uint32_t low = top;
  heads_[top] = to;
  while (low > 1 && (heads_[low - 1] == from || heads_[low - 1] == to)) {
    --low;
    heads_[low] = to;
  }
  for (std::uint32_t s = low; s <= top; ++s) StoreU32LE(&headBytes_[4 * (s - low)], to);
  (void)view_->Write(kHeadsOffset + 4ull * low, headBytes_.data(), 4 * (top - low + 1));
  return low;
}

void FreeSpaceMap::UpdateHeads(std::uint32_t top, std::uint32_t from, std::uint32_t to) {
  // A single aligned entry is written by one store and cannot be cut.
  if (top == 1 || (heads_[top - 1] != from && heads_[top - 1] != to)) {
    ReplaceHeadRange(top, from, to);
    return;
  }
  std::uint8_t pending[12] = {};
  StoreU32LE(pending, from);
  StoreU32LE(pending + 4, to);
  (void)view_->Write(kPendingOffset + 4, pending, 12);
  std::uint8_t flag[4];
  StoreU32LE(flag, top | kPendingFlag);
  (void)view_->Write(kPendingOffset, flag, 4);
  ReplaceHeadRange(top, from, to);
  (void)view_->Write(kPendingOffset, nullptr, 4);
}

bool FreeSpaceMap::CountersInFile() const {
  return view_ && view_->MappedSize() >= kCountersOffset + kCountersSize;
}

void FreeSpaceMap::WriteCounters() {
  std::uint8_t c[kCountersSize];
  StoreU32LE(c + 0, counters_.recordHighWater);
  StoreU32LE(c + 4, counters_.recycledHead);
  StoreU32LE(c + 8, counters_.splitOrMissCount);
  StoreU32LE(c + 12, counters_.releaseCount);
  StoreU32LE(c + 16, counters_.reuseCount);
  StoreU32LE(c + 20, counters_.freeUnits);
  StoreU16LE(c + 24, counters_.releaseWraps);
  StoreU16LE(c + 26, counters_.reuseWraps);
  (void)view_->Write(kCountersOffset, c, sizeof c);
}

// The record bookkeeping must reach the file before any head names a new
// record; the statistics that follow it are written once per operation.
void FreeSpaceMap::WriteRecordCounters() {
  std::uint8_t c[8];
  StoreU32LE(c, counters_.recordHighWater);
  StoreU32LE(c + 4, counters_.recycledHead);
  (void)view_->Write(kCountersOffset, c, sizeof c);
}

// A miss is a statistic: before the first release it waits in memory for
// the next full counter write rather than growing an empty .hs file.
void FreeSpaceMap::CountMiss() {
  ++counters_.splitOrMissCount;
  if (!CountersInFile()) return;
  std::uint8_t c[4];
  StoreU32LE(c, counters_.splitOrMissCount);
  (void)view_->Write(kCountersOffset + 8, c, sizeof c);
}

int FreeSpaceMap::ReadRecord(std::uint32_t index, FreeRecord* record) {
  if (index == 0 || index > counters_.recordHighWater) return 1;
  if (!view_) return 2;
  std::uint8_t raw[kRecordSize];
  if (view_->Read(RecordOffset(index), raw, sizeof raw) != 0) return 2;
  record->next = LoadU32LE(raw);
  record->address = LoadU32LE(raw + 4) | static_cast<std::uint64_t>(LoadU16LE(raw + 8)) << 32;
  return 0;
}

int FreeSpaceMap::PeekHead(std::uint32_t units, FreeRecord* record) {
  const std::uint32_t r = heads_[units];
  if (ReadRecord(r, record) != 0) return 1;
  // A link out of range would stop this list at every later request; one
  // back to the record itself would hand its block out twice.
  if (record->next > counters_.recordHighWater || record->next == r) return 2;
  return 0;
}

void FreeSpaceMap::DropList(std::uint32_t units) {
  if (!ListNonEmpty(units)) return;
  UpdateHeads(units, heads_[units], heads_[units + 1]);
}

void FreeSpaceMap::Pop(std::uint32_t units, const FreeRecord& record) {
  const std::uint32_t r = heads_[units];
  const std::uint32_t newHead = record.next ? record.next : heads_[units + 1];
  UpdateHeads(units, r, newHead);
  // The record is out of every list now; keep it for the next release.
  std::uint8_t link[4];
  StoreU32LE(link, counters_.recycledHead);
  (void)view_->Write(RecordOffset(r), link, 4);
  counters_.recycledHead = r;
  if (units < counters_.freeUnits) counters_.freeUnits -= units;
  if (++counters_.reuseCount == 0) ++counters_.reuseWraps;
  WriteCounters();
}

void FreeSpaceMap::Record(std::uint64_t address, std::uint32_t units, std::uint32_t nowMs) {
  if (address == 0 || units == 0 || !view_) return;
  if (backOffActive_) {
    if (static_cast<std::int32_t>(backOffUntilMs_ - nowMs) > 0) return;
    backOffActive_ = false;
  }
  if (units > kMaxListUnits) return;

  std::uint32_t index;
  if (counters_.recycledHead != 0) {
    index = counters_.recycledHead;
    std::uint8_t link[4];
    if (view_->Read(RecordOffset(index), link, 4) != 0) {
      backOffActive_ = true;
      backOffUntilMs_ = nowMs + kBackOffMs;
      return;
    }
    std::uint32_t next = LoadU32LE(link);
    // A corrupt recycled chain is cut rather than followed out of range or
    // back to the same record, which would then sit in two lists at once.
    counters_.recycledHead = next <= counters_.recordHighWater && next != index ? next : 0;
  } else {
    index = ++counters_.recordHighWater;
  }
  WriteRecordCounters();

  std::uint8_t raw[kRecordSize] = {};
  StoreU32LE(raw, ListNonEmpty(units) ? heads_[units] : 0);
  StoreU32LE(raw + 4, static_cast<std::uint32_t>(address));
  StoreU16LE(raw + 8, static_cast<std::uint16_t>(address >> 32));
  if (view_->Write(RecordOffset(index), raw, sizeof raw) != 0) {
    backOffActive_ = true;
    backOffUntilMs_ = nowMs + kBackOffMs;
    return;
  }
  UpdateHeads(units, heads_[units], index);
  if (++counters_.releaseCount == 0) ++counters_.releaseWraps;
  counters_.freeUnits += units;
  WriteCounters();
}

void FreeSpaceMap::UnmapAll() noexcept {
  if (view_) view_->UnmapAll();
}

void FreeSpaceMap::TouchLastWriteTime() const noexcept {
  if (file_.IsOpen()) (void)file_.TouchLastWriteTime();
}

}  // namespace vellumo
