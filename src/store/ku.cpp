#include "store/ku.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/clock.h"
#include "platform/file_copy.h"
#include "store/database_path.h"
#include "store/ku_trie.h"

namespace vellumo {

using namespace trie;
using namespace ku_error;

Ku::Ku() : tickSource_(&platform::TickCountMs) {}

Ku::~Ku() { Close(); }

OpenResult Ku::Open(std::uint32_t number, std::u16string_view prefix) {
  return OpenFiles(DatabasePath(number, u"ku", prefix), DatabasePath(number, u"hs", prefix));
}

OpenResult Ku::OpenFiles(const std::filesystem::path& kuPath, const std::filesystem::path& hsPath) {
  LockGuard lock(*this);
  Close();
  kuPath_ = kuPath;
  hsPath_ = hsPath;
  kuFile_ = platform::File::OpenExclusiveWriter(kuPath);
  if (!kuFile_.IsOpen()) return openResult_ = OpenResult::KuUnopenable;
  openResult_ = OpenOpenedFiles(hsPath);
  if (openResult_ != OpenResult::Opened && openResult_ != OpenResult::Created) {
    kuView_.reset();
    freeSpace_.Close();
    kuFile_.Close();
  }
  return openResult_;
}

// The header is checked with a plain read before anything is mapped, so that
// a file that is not a database of ours is refused without being grown or
// written.
OpenResult Ku::OpenOpenedFiles(const std::filesystem::path& hsPath) {
  const std::uint64_t fileSize = kuFile_.Size();
  std::uint8_t header[kHeaderSize] = {};
  const std::size_t got = kuFile_.ReadAt(0, header, sizeof header);
  bool isNew = true;
  for (std::size_t i = 0; i < got; ++i) isNew = isNew && header[i] == 0;
  const std::uint64_t storedEnd = LoadUnitAddr(header + kEndUnitOffset);
  if (!isNew) {
    if (storedEnd == 0 && got < kHeaderSize) return OpenResult::Truncated;
    if (std::memcmp(header, "TLBX", 4) != 0 || header[8] != kFormatVersion || header[9] != kFullKind ||
        header[10] != kAddressWidth || header[11] != kUnitSize)
      return OpenResult::NotThisFormat;
    if (storedEnd < kNewEndUnit) return OpenResult::NotThisFormat;
    // Every writer grows the file in whole views.  One of any other length
    // that ends before EndUnit was cut; it is refused here, before mapping
    // it could grow it.
    const bool grownInSteps = fileSize != 0 && fileSize % KYiQ8v::kDatabaseViewSize == 0;
    if (storedEnd * kUnitSize > fileSize && !grownInSteps) return OpenResult::Truncated;
  }

  // Only the .ku file makes a database: without its .hs file it runs, but
  // remembers no released block (FreeSpaceUnavailable says so).
  (void)freeSpace_.Open(hsPath);
  kuView_ = std::make_unique<KYiQ8v>(kuFile_, KYiQ8v::kDatabaseMaxViews, KYiQ8v::kDatabaseViewSize);
  touchState_ = kOpenedUnwritten;
  if (isNew) {
    MarkWritten();
    std::uint8_t fresh[kHeaderSize] = {'T', 'L', 'B', 'X', 0, 0, 0, 0, kFormatVersion, kFullKind, kAddressWidth,
                                       kUnitSize};
    StoreUnitAddr(fresh + kEndUnitOffset, kNewEndUnit);
    if (kuView_->Write(0, fresh, sizeof fresh) != 0) return OpenResult::KuUnopenable;
    endUnit_ = kNewEndUnit;
  } else {
    endUnit_ = storedEnd;
    // A writer publishes a new EndUnit before the file grows to reach it,
    // so a full disk leaves EndUnit beyond the end of the file, by as many
    // blocks as failed to be written.  Nothing was linked to them: the range
    // reads as zeros, and the first write there grows the file.  A file cut
    // at a view boundary instead has lost blocks the trie still names, and
    // is refused; only files shorter than EndUnit pay for the walk.
    if (endUnit_ * kUnitSize > fileSize && !KuTrie(*this).ReachableBlocksBelow(fileSize / kUnitSize))
      return OpenResult::Truncated;
  }
  freeSpaceReset_ = freeSpace_.Recover(endUnit_);
  return isNew ? OpenResult::Created : OpenResult::Opened;
}

void Ku::Close() {
  LockGuard lock(*this);
  if (!kuFile_.IsOpen() && !kuView_) return;
  kuView_.reset();
  if (touchState_ == kWritten) freeSpace_.TouchLastWriteTime();
  freeSpace_.Close();
  if (touchState_ == kWritten) (void)kuFile_.TouchLastWriteTime();
  kuFile_.Close();
  endUnit_ = 0;
  touchState_ = kOpenedUnwritten;
}

bool Ku::IsBroken() const { return kuView_ == nullptr; }

void Ku::Lock() {
  while (!mutex_.try_lock_for(std::chrono::milliseconds(2000))) {
  }
}

void Ku::Unlock() { mutex_.unlock(); }

void Ku::ReleaseViews() {
  if (!mutex_.try_lock_for(std::chrono::milliseconds(500))) return;
  if (kuView_) {
    kuView_->UnmapAll();
    freeSpace_.UnmapAll();
    touchState_ = kViewsReleased;
  }
  mutex_.unlock();
}

// The backup rotation orders files by their modification times, which mapped
// writes do not reliably update; the database stamps them itself.
void Ku::MarkWritten() {
  if (touchState_ == kWritten) return;
  (void)kuFile_.TouchLastWriteTime();
  freeSpace_.TouchLastWriteTime();
  touchState_ = kWritten;
}

bool Ku::BlockInRange(std::uint64_t unitAddr, std::uint32_t bytes) const {
  if (unitAddr < kRootUnit || unitAddr > endUnit_) return false;
  return unitAddr + UnitsFor(bytes) <= endUnit_ || (bytes == 0);
}

int Ku::ReadBytes(std::uint64_t unitAddr, std::uint32_t offset, void* buffer, std::uint32_t length) {
  if (unitAddr == 0) return kReadAddressZero;
  if (!BlockInRange(unitAddr, offset + length)) return kReadBeyondEnd;
  if (kuView_->Read(unitAddr * kUnitSize + offset, buffer, length) != 0) return kReadFailed;
  return 0;
}

const std::uint8_t* Ku::PeekBytes(std::uint64_t unitAddr, std::uint32_t offset, std::uint32_t length,
                                  std::uint8_t* scratch) {
  if (unitAddr == 0 || !BlockInRange(unitAddr, offset + length)) return nullptr;
  const std::uint64_t position = unitAddr * kUnitSize + offset;
  if (const std::uint8_t* p = kuView_->Pointer(position, length)) return p;
  return kuView_->Read(position, scratch, length) == 0 ? scratch : nullptr;
}

int Ku::WriteBytes(std::uint64_t unitAddr, std::uint32_t offset, const void* data, std::uint32_t length) {
  if (unitAddr == 0 || !BlockInRange(unitAddr, offset + length)) return kBlockBeyondEnd;
  MarkWritten();
  if (kuView_->Write(unitAddr * kUnitSize + offset, data, length) != 0) return kBlockWriteFailed;
  return 0;
}

int Ku::ReadBlock(std::uint64_t unitAddr, std::uint32_t offset, std::uint8_t* buffer, std::uint32_t length) {
  if (!kuView_) return kReadFailed;
  return ReadBytes(unitAddr, offset, buffer, length);
}

int Ku::WriteEndUnit() {
  std::uint8_t raw[6];
  StoreUnitAddr(raw, endUnit_);
  MarkWritten();
  return kuView_->Write(kEndUnitOffset, raw, sizeof raw) == 0 ? 0 : kBlockWriteFailed;
}

bool Ku::IsUnusedBlock(std::uint64_t unitAddr, std::uint32_t units) {
  if (unitAddr < kNewEndUnit || unitAddr > endUnit_ || units > endUnit_ - unitAddr) return false;
  std::uint64_t position = unitAddr * kUnitSize;
  std::uint64_t left = static_cast<std::uint64_t>(units) * kUnitSize;
  std::uint8_t scratch[512];
  while (left > 0) {
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, sizeof scratch));
    const std::uint8_t* p = kuView_->Pointer(position, n);
    if (!p) {
      if (kuView_->Read(position, scratch, n) != 0) return false;
      p = scratch;
    }
    for (std::uint32_t i = 0; i < n; ++i)
      if (p[i] != 0) return false;
    position += n;
    left -= n;
  }
  return true;
}

// Every released block was zeroed before it was listed, so a listed block
// that is not zero, or lies outside the used area, or sits in a list whose
// links cannot be followed, means the .hs file does not describe this .ku
// file (an older or newer pair, a damaged record).  That list is dropped and
// the request served from fresh space: reuse is lost, never data.
bool Ku::TakeListedBlock(std::uint32_t listUnits, std::uint64_t* unitAddr) {
  FreeRecord record;
  if (freeSpace_.PeekHead(listUnits, &record) != 0 || !IsUnusedBlock(record.address, listUnits)) {
    freeSpace_.DropList(listUnits);
    return false;
  }
  freeSpace_.Pop(listUnits, record);
  *unitAddr = record.address;
  return true;
}

// Free lists first (exact size, or splitting a larger block of at most 128
// bytes), otherwise fresh space at EndUnit.
int Ku::AllocateBlock(std::uint32_t bytes, std::uint64_t* unitAddr) {
  if (bytes == 0) return kBlockZeroLength;
  const std::uint32_t units = UnitsFor(bytes);
  if (units <= FreeSpaceMap::kMaxListUnits) {
    if (freeSpace_.Head(units) == 0) {
      freeSpace_.CountMiss();
    } else if (freeSpace_.ListNonEmpty(units)) {
      if (TakeListedBlock(units, unitAddr)) return 0;
      freeSpace_.CountMiss();
    } else if (units > 16) {
      freeSpace_.CountMiss();
    } else {
      const std::uint32_t larger = freeSpace_.ListSizeOfHead(units);
      std::uint64_t a = 0;
      const bool taken = TakeListedBlock(larger, &a);
      if (taken) freeSpace_.Record(a + units, larger - units, tickSource_());
      freeSpace_.CountMiss();
      if (taken) {
        *unitAddr = a;
        return 0;
      }
    }
  }
  if (endUnit_ + units > kMaxUnitAddr) return kEndUnitOverflow;
  // The file must reach the new block before the header says it exists, so
  // that no interruption leaves an EndUnit beyond the end of the file.
  MarkWritten();
  // A block large enough to be written through the file has its last byte
  // put there the same way, so that none of its pages is faulted in first.
  const std::uint64_t last = (endUnit_ + units) * kUnitSize - 1;
  const std::uint8_t zero = 0;
  const int grown = bytes >= KYiQ8v::kDirectWriteBytes ? kuView_->WriteThroughFile(last, &zero, 1)
                                                       : kuView_->Write(last, nullptr, 1);
  if (grown != 0) return kBlockWriteFailed;
  *unitAddr = endUnit_;
  endUnit_ += units;
  return WriteEndUnit();
}

int Ku::WriteNewBlock(const std::uint8_t* data, std::uint32_t bytes, std::uint64_t* unitAddr) {
  int rc = AllocateBlock(bytes, unitAddr);
  if (rc != 0) return rc;
  const std::uint32_t padded = UnitsFor(bytes) * kUnitSize;
  MarkWritten();
  if (kuView_->Write(*unitAddr * kUnitSize, data, bytes) != 0) return kBlockWriteFailed;
  if (padded > bytes && kuView_->Write(*unitAddr * kUnitSize + bytes, nullptr, padded - bytes) != 0)
    return kBlockWriteFailed;
  return 0;
}

void Ku::ReleaseBlock(std::uint64_t unitAddr, std::uint32_t bytes) {
  if (unitAddr == 0 || bytes == 0) return;
  // Never zero the header or the root, nor anything past the used area.
  if (unitAddr < kNewEndUnit || !BlockInRange(unitAddr, bytes)) return;
  const std::uint32_t units = UnitsFor(bytes);
  MarkWritten();
  if (kuView_->Write(unitAddr * kUnitSize, nullptr, units * kUnitSize) != 0) return;
  freeSpace_.Record(unitAddr, units, tickSource_());
}

int Ku::GetValue(std::span<const std::uint8_t> key, std::vector<std::uint8_t>* value, Presence* presence) {
  LockGuard lock(*this);
  std::uint32_t length = 0;
  int rc = Get(key, nullptr, &length, presence);
  if (rc != 0 || length == 0) {
    value->clear();
    return rc;
  }
  value->resize(length);
  std::uint32_t capacity = length;
  rc = Get(key, value->data(), &capacity, presence);
  if (rc != 0) value->clear();
  return rc;
}

}  // namespace vellumo

namespace vellumo {

bool Ku::CopyFilesTo(const std::filesystem::path& hsCopy, const std::filesystem::path& kuCopy) {
  LockGuard lock(*this);
  if (!IsOpen()) return false;
  if (!platform::CopyFileNoReplace(hsPath_, hsCopy)) return false;
  return platform::CopyFileNoReplace(kuPath_, kuCopy);
}

namespace {
struct CopyContext {
  Ku* target;
  std::vector<std::uint8_t> value = std::vector<std::uint8_t>(66560);
  std::uint64_t keys = 0;
  std::uint64_t bytes = 0;
  int failure = 0;
};

int CopyOne(const std::uint8_t* key, std::uint32_t length, const std::uint8_t* header, void* context, Ku& source) {
  auto* c = static_cast<CopyContext*>(context);
  const ScannedValue value(header, source);
  const std::uint32_t valueLength = value.Length();
  if (value.Read(c->value) != 0) {
    c->failure = ku_error::kReadFailed;
    return 0;
  }
  const int rc = c->target->Put(std::span<const std::uint8_t>(key, length), c->value.data(), valueLength);
  if (rc != 0) {
    c->failure = rc;
    return 0;
  }
  ++c->keys;
  c->bytes += valueLength;
  return 1;
}
}  // namespace

int Ku::CopyAllTo(Ku& target, std::uint64_t* keys, std::uint64_t* bytes) {
  // Whole-database copies wait in longer slices than single operations.
  while (!mutex_.try_lock_for(std::chrono::milliseconds(5000))) {
  }
  CopyContext context{&target};
  const int finished = Scan({}, 0, trie::kMaxKeyLength, &CopyOne, &context);
  mutex_.unlock();
  if (keys) *keys = context.keys;
  if (bytes) *bytes = context.bytes;
  if (context.failure != 0) return context.failure;
  return finished == 1 ? 0 : ku_error::kReadFailed;
}

}  // namespace vellumo
