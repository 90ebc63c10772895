#include "sync/compress.h"
#include "sync/compress_reference.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/bytes.h"

namespace vellumo::sync {
namespace {

// Output positions below this use the short distance table.
constexpr std::size_t kNearTableEnd = 2177;
constexpr std::uint32_t kMaxMatchBytes = 65807;
constexpr std::uint32_t kMaxDistance = 279616;
// The encoder never looks further back than this: one short of kMaxDistance.
constexpr std::uint32_t kSearchWindow = 279615;
static_assert(kSearchWindow < kMaxDistance);
// A length-3 match beyond this costs as much as three literals.
constexpr std::uint32_t kMaxCheapDistance = 17472;
constexpr std::uint32_t kRawMinUnits = 4;
constexpr std::uint32_t kRawMaxUnits = 8195;
constexpr std::uint32_t kRawUnitBytes = 8;
// Past this stretch length the raw block would outgrow its header fields.
constexpr std::uint32_t kRawMaxStretch = 65528;
// Only a match's first positions enter the hash chains: enough to find the
// repeats that follow it without paying for every byte of a long run.
constexpr std::uint32_t kMaxInsertedPerMatch = 56;

constexpr std::size_t kHashSize = 32768;
constexpr std::size_t kHashMask = kHashSize - 1;

// ---------------------------------------------------------------------------
// Decoder

// Reads little-endian fields at nibble granularity.  Peek pads with zero bits
// beyond the stream so that a distance code can be classified before it is
// known how many of its bits exist; Read is only called after the caller has
// checked Left(), so no access ever leaves the stream.
class NibbleReader {
 public:
  explicit NibbleReader(std::span<const std::uint8_t> stream) noexcept
      : data_(stream.data()), sizeBytes_(stream.size()), pos_(2) {}

  [[nodiscard]] std::size_t Left() const noexcept { return 2 * sizeBytes_ - pos_; }
  [[nodiscard]] bool AtPhase1() const noexcept { return (pos_ & 1) != 0; }
  [[nodiscard]] std::size_t BytePos() const noexcept { return pos_ >> 1; }

  // The stream goes on while a whole control byte or literal still fits: 8
  // bits at phase 0, 12 bits at phase 1 (the half-used last byte of a stream
  // that ended at phase 1 carries nothing).
  [[nodiscard]] bool More() const noexcept { return Left() >= (AtPhase1() ? 3u : 2u); }

  // nibbles <= 4.
  [[nodiscard]] std::uint32_t Peek(unsigned nibbles) const noexcept {
    const std::size_t byte = pos_ >> 1;
    std::uint32_t acc = 0;
    for (std::size_t i = 0; i < 3 && byte + i < sizeBytes_; ++i) {
      acc |= static_cast<std::uint32_t>(data_[byte + i]) << (8 * i);
    }
    acc >>= (pos_ & 1) * 4;
    return acc & ((1u << (4 * nibbles)) - 1);
  }
  void Skip(std::size_t nibbles) noexcept { pos_ += nibbles; }
  [[nodiscard]] std::uint32_t Read(unsigned nibbles) noexcept {
    const std::uint32_t v = Peek(nibbles);
    pos_ += nibbles;
    return v;
  }
  void AlignToByte() noexcept { pos_ = (pos_ + 1) & ~std::size_t{1}; }
  [[nodiscard]] const std::uint8_t* Here() const noexcept { return data_ + (pos_ >> 1); }

 private:
  const std::uint8_t* data_;
  std::size_t sizeBytes_;
  std::size_t pos_;  // in nibbles; byte 0 is consumed before the first field
};

// ---------------------------------------------------------------------------
// Encoder

// Appends fields at nibble granularity.  Writes past the buffer are dropped
// and remembered, so a wrong size estimate can only make the call fail.
class NibbleWriter {
 public:
  explicit NibbleWriter(std::span<std::uint8_t> out) noexcept : out_(out) {}

  [[nodiscard]] std::size_t Pos() const noexcept { return pos_; }
  [[nodiscard]] std::size_t SizeBytes() const noexcept { return (pos_ + 1) >> 1; }
  [[nodiscard]] bool Overflowed() const noexcept { return overflowed_; }

  // Appends; a byte entered at its low nibble is cleared first, so unused
  // high nibbles are always zero.  A field entered at phase 1 keeps the low
  // nibble already in that byte.
  void Put(std::uint32_t value, unsigned nibbles) noexcept {
    for (unsigned i = 0; i < nibbles; ++i, ++pos_) {
      const std::size_t byte = pos_ >> 1;
      if (byte >= out_.size()) {
        overflowed_ = true;
        continue;
      }
      const auto nib = static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F);
      if ((pos_ & 1) == 0) {
        out_[byte] = nib;
      } else {
        out_[byte] = static_cast<std::uint8_t>((out_[byte] & 0x0F) | (nib << 4));
      }
    }
  }
  // Overwrites the reserved control byte at nibble position at, keeping the
  // nibbles of neighbouring items.
  void PutByteAt(std::size_t at, std::uint8_t value) noexcept {
    for (unsigned i = 0; i < 2; ++i) {
      const std::size_t nibPos = at + i;
      const std::size_t byte = nibPos >> 1;
      if (byte >= out_.size()) {
        overflowed_ = true;
        continue;
      }
      const auto nib = static_cast<std::uint8_t>((value >> (4 * i)) & 0x0F);
      if ((nibPos & 1) == 0) {
        out_[byte] = static_cast<std::uint8_t>((out_[byte] & 0xF0) | nib);
      } else {
        out_[byte] = static_cast<std::uint8_t>((out_[byte] & 0x0F) | (nib << 4));
      }
    }
  }
  void AlignToByte() noexcept { pos_ = (pos_ + 1) & ~std::size_t{1}; }
  void PutBytes(const std::uint8_t* src, std::size_t count) noexcept {
    const std::size_t byte = pos_ >> 1;  // byte-aligned by the caller
    if (byte > out_.size() || count > out_.size() - byte) {
      overflowed_ = true;
    } else {
      std::memcpy(out_.data() + byte, src, count);
    }
    pos_ += 2 * count;
  }
  void Seek(std::size_t pos) noexcept { pos_ = pos; }

 private:
  std::span<std::uint8_t> out_;
  std::size_t pos_ = 0;
  bool overflowed_ = false;
};

// The encoder's tables, kept between calls on a thread: allocating and
// clearing them per item cost as much as compressing it, every page faulted
// in afresh.  A call writes every entry it reads, apart from the slots'
// owner hints, which are bounds-checked and only ever predict.
struct MatchTables {
  // Per hash bucket.  head is the newest position inserted (-1: none); the
  // bucket's arena runs from its -1 end marker to top, and may grow to end.
  struct Bucket {
    std::int32_t head;
    std::uint32_t top;
    std::uint32_t end;
  };
  // Per position modulo kHashSize.  link is the head its bucket had when the
  // slot was last inserted into; owner is that insertion's arena index.
  struct Slot {
    std::int32_t link;
    std::uint32_t owner;
  };
  std::vector<Bucket> buckets;
  std::vector<Slot> slots;
  std::vector<std::int32_t> arena;
  // Positions per bucket, counted apart from the buckets: a third of their
  // size, so the counting pass stays in the cache.
  std::vector<std::uint32_t> counts;

  void Prepare(std::size_t inputBytes) {
    buckets.resize(kHashSize);
    slots.resize(kHashSize);
    if (arena.size() < kHashSize + inputBytes) arena.resize(kHashSize + inputBytes);
    counts.assign(kHashSize, 0);
  }
};

class Encoder {
 public:
  Encoder(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, MatchTables& tables,
          bool predict) noexcept
      : in_(input.data()),
        n_(static_cast<std::uint32_t>(input.size())),
        capacity_(output.size()),
        w_(output),
        buckets_(tables.buckets.data()),
        slots_(tables.slots.data()),
        arena_(tables.arena.data()),
        arenaSize_(tables.arena.size()),
        predict_(predict) {
    LayOutBuckets(tables.counts.data());
  }

  [[nodiscard]] int Run(std::size_t& streamSizeBytes);

 private:
  struct Match {
    std::uint32_t length = 0;
    std::uint32_t distance = 0;
  };

  // Positions near the end hash with zero bytes past the input; that only
  // decides which chain they join, never what a match is measured against.
  [[nodiscard]] std::uint32_t Hash(std::uint32_t p) const noexcept {
    if (p + 4 <= n_) return HashOf(LoadU32LE(in_ + p));
    std::uint8_t b[4] = {0, 0, 0, 0};
    for (std::uint32_t i = 0; i < 4 && p + i < n_; ++i) b[i] = in_[p + i];
    const std::uint32_t lo16 = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8;
    return HashOf(lo16 | static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
  }
  [[nodiscard]] static std::uint32_t HashOf(std::uint32_t all32) noexcept {
    return ((all32 & 0xFFFF) + (all32 >> 9)) & kHashMask;
  }
  void Insert(std::uint32_t p) noexcept {
    MatchTables::Bucket& bucket = buckets_[Hash(p)];
    MatchTables::Slot& slot = slots_[p & kHashMask];
    slot.link = bucket.head;
    bucket.head = static_cast<std::int32_t>(p);
    newest_ = std::max(newest_, p);
    if (bucket.top + 1 < bucket.end) {
      arena_[++bucket.top] = static_cast<std::int32_t>(p);
      slot.owner = bucket.top;
    }
  }
  void LayOutBuckets(std::uint32_t* counts) noexcept;
  struct Probe;
  [[nodiscard]] Probe ProbeFor(std::uint32_t o, const Match& best) const noexcept;
  [[nodiscard]] bool Weigh(std::uint32_t o, std::uint32_t c, std::uint32_t maxLen,
                           std::uint64_t factor, Match& best) const noexcept;
  [[nodiscard]] bool Consider(std::uint32_t o, std::uint32_t c, std::uint32_t maxLen,
                              std::uint64_t factor, Match& best) const noexcept;
  [[nodiscard]] Match WalkLinks(std::uint32_t o, std::int32_t cand, std::uint32_t maxLen,
                                std::uint64_t factor, Match best) const noexcept;
  [[nodiscard]] Match FindMatch(std::uint32_t o) const noexcept;
  [[nodiscard]] bool OutputFull() const noexcept {
    return w_.Overflowed() || w_.SizeBytes() + kCompressSlackBytes >= capacity_;
  }
  void PutDistance(std::uint32_t o, std::uint32_t distance) noexcept;
  void PutLength(std::uint32_t length) noexcept;
  void OpenGroup() noexcept {
    ctrlPos_ = w_.Pos();
    w_.Put(0, 2);
    flags_ = 0;
    items_ = 0;
    groupHasMatch_ = false;
  }
  void EmitRawBlock(std::uint32_t units) noexcept;

  const std::uint8_t* in_;
  std::uint32_t n_;
  std::size_t capacity_;
  NibbleWriter w_;

  // The hash chains that decide the stream are head and link: a walk starts
  // at its bucket's head and follows each candidate's slot link while the
  // positions fall.  Slots are shared by positions kHashSize apart, so a
  // walk may run on from a reused slot into another bucket's chain; that is
  // part of how streams come out and is kept exactly.
  //
  // Following links is a series of dependent loads.  The arena holds the
  // same insertions once more, each bucket's in order behind a -1 end
  // marker, so a walk reads its candidates in a row and the link only
  // confirms them.  Bucket sizes come from counting every position's hash
  // up front: a bucket only fills up when a raw block makes positions go in
  // a second time, and then its arena just stops predicting.
  MatchTables::Bucket* buckets_;
  MatchTables::Slot* slots_;
  std::int32_t* arena_;
  std::size_t arenaSize_;
  bool predict_;              // false: every walk link by link
  std::uint32_t newest_ = 0;  // highest position inserted
  bool monotonic_ = true;     // each position inserted once, in increasing order

  std::size_t ctrlPos_ = 0;  // nibble position of the open group's control byte
  std::uint8_t flags_ = 0;
  unsigned items_ = 0;
  bool groupHasMatch_ = false;

  // Raw-block bookkeeping: a checkpoint at a group boundary from which a
  // stretch of literal-only groups may be replaced by one raw block.
  std::size_t cpPos_ = 2;   // nibble position (output byte 1, phase 0)
  std::uint32_t cpIn_ = 1;  // input position encoded from there
  std::uint32_t literalGroups_ = 0;  // K
  std::uint32_t stretch_ = 0;        // S
};

// Common prefix of a and b, at most maxLen bytes, eight bytes at a time.
std::uint32_t MatchLength(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t maxLen) noexcept {
  std::uint32_t len = 0;
  while (len + 8 <= maxLen) {
    const std::uint64_t diff = LoadU64LE(a + len) ^ LoadU64LE(b + len);
    if (diff != 0) return len + static_cast<std::uint32_t>(std::countr_zero(diff) / 8);
    len += 8;
  }
  while (len < maxLen && a[len] == b[len]) ++len;
  return len;
}

void Encoder::LayOutBuckets(std::uint32_t* counts) noexcept {
  for (std::uint32_t p = 0; p < n_; ++p) ++counts[Hash(p)];
  std::uint32_t at = 0;
  for (std::size_t h = 0; h < kHashSize; ++h) {
    arena_[at] = -1;
    const std::uint32_t end = at + 1 + counts[h];
    buckets_[h] = {-1, at, end};
    at = end;
  }
}

// Bytes that every candidate able to replace best must share with o,
// checked before measuring: the first three while there is no best, else
// bytes 0..L of a best of length L, at most the last eight of them.  Two
// bytes told little apart in UTF-16 text, where every other byte is zero.
struct Encoder::Probe {
  std::uint32_t offset;
  std::uint64_t mask;
  std::uint64_t target;
  bool fits;  // false in the last bytes of the input: every candidate passes

  [[nodiscard]] bool Passes(const std::uint8_t* candidate) const noexcept {
    return !fits || ((LoadU64LE(candidate + offset) ^ target) & mask) == 0;
  }
};

// Reads only bytes a match from o could cover: best.length is below maxLen,
// so o + best.length is still inside the input, and candidates lie before o.
inline Encoder::Probe Encoder::ProbeFor(std::uint32_t o, const Match& best) const noexcept {
  const std::uint32_t need = best.length == 0 ? 3 : best.length + 1;
  if (need > 8) return {need - 8, ~std::uint64_t{0}, LoadU64LE(in_ + o + need - 8), true};
  if (n_ - o < 8) return {0, 0, 0, false};
  const std::uint64_t mask = need == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * need)) - 1;
  return {0, mask, LoadU64LE(in_ + o) & mask, true};
}

// Measures candidate c, which passed the probe, against the match at o;
// true when the search is over.
inline bool Encoder::Weigh(std::uint32_t o, std::uint32_t c, std::uint32_t maxLen,
                           std::uint64_t factor, Match& best) const noexcept {
  const std::uint32_t len = MatchLength(in_ + c, in_ + o, maxLen);
  const std::uint32_t distance = o - c;
  // A match shorter than 3 is no match, so any real one replaces it.
  if (len > best.length &&
      (best.length < 3 || len >= best.length + 2 ||
       std::uint64_t{distance - 1} < factor * (best.distance - 1))) {
    best = {len, distance};
    return best.length >= maxLen;
  }
  return false;
}

// Weighs candidate c for the match at o; true when the search is over.
inline bool Encoder::Consider(std::uint32_t o, std::uint32_t c, std::uint32_t maxLen,
                              std::uint64_t factor, Match& best) const noexcept {
  // After a raw block rewinds the input, the chains may hold positions
  // ahead of o; they are passed over, not used.
  if (c >= o) return false;
  if (!ProbeFor(o, best).Passes(in_ + c)) return false;
  return Weigh(o, c, maxLen, factor, best);
}

// The walk as the chains define it, one dependent load per link.
Encoder::Match Encoder::WalkLinks(std::uint32_t o, std::int32_t cand, std::uint32_t maxLen,
                                  std::uint64_t factor, Match best) const noexcept {
  const std::uint32_t oldest = o > kSearchWindow ? o - kSearchWindow : 0;
  while (cand >= 0 && static_cast<std::uint32_t>(cand) >= oldest) {
    const auto c = static_cast<std::uint32_t>(cand);
    const std::int32_t next = slots_[c & kHashMask].link;
    if (Consider(o, c, maxLen, factor, best)) break;
    // Chains only run downwards; a slot reused by a newer position ends it.
    if (next >= cand) break;
    cand = next;
  }
  return best;
}

Encoder::Match Encoder::FindMatch(std::uint32_t o) const noexcept {
  const std::uint32_t remaining = n_ - o;
  // Runs are found without the chains: comparing with the previous byte is
  // both cheaper and always the nearest candidate.
  if (remaining >= 4 && std::memcmp(in_ + o, in_ + o - 1, 4) == 0) {
    std::uint32_t len = 4;
    while (len < remaining && len < kMaxMatchBytes && in_[o + len] == in_[o + len - 1]) ++len;
    return {len, 1};
  }
  if (remaining < 3) return {};

  const std::uint32_t maxLen = std::min(remaining, kMaxMatchBytes);
  const std::uint32_t oldest = o > kSearchWindow ? o - kSearchWindow : 0;
  const std::uint64_t factor = o >= kNearTableEnd ? 128 : 8;
  Match best;
  const MatchTables::Bucket& bucket = buckets_[Hash(o)];
  std::int32_t cand = bucket.head;
  std::uint32_t at = bucket.top;
  if (!predict_ || arena_[at] != cand) return WalkLinks(o, cand, maxLen, factor, best);

  // From here arena_[at] == cand.  Until a raw block rewinds the input, each
  // position goes in once and in increasing order, so a bucket's arena is
  // its chain in reverse, except past a slot since reused by a position one
  // table size or more later.  Candidates above `young` cannot have such a
  // position yet: they are read straight from the arena, and the ones that
  // fail the probe cost two loads that do not wait for each other.
  if (monotonic_ && oldest == 0) {
    const std::int32_t young =
        std::max(static_cast<std::int32_t>(newest_) - static_cast<std::int32_t>(kHashSize), -1);
    for (;;) {
      const Probe probe = ProbeFor(o, best);
      // The bucket's -1 end marker always stops this scan.
      while (arena_[at] > young && !probe.Passes(in_ + arena_[at])) --at;
      cand = arena_[at];
      if (cand <= young) break;
      // Passed the probe, and lies before o: the input has not been rewound.
      if (Weigh(o, static_cast<std::uint32_t>(cand), maxLen, factor, best)) return best;
      --at;
    }
  }
  // Older candidates, and every candidate once the input has been rewound,
  // are confirmed by their links; the arena still supplies each next
  // candidate ahead of the link.
  while (cand >= 0 && static_cast<std::uint32_t>(cand) >= oldest) {
    const auto c = static_cast<std::uint32_t>(cand);
    if (Consider(o, c, maxLen, factor, best)) break;
    const MatchTables::Slot& slot = slots_[c & kHashMask];
    const std::int32_t next = slot.link;
    std::int32_t predicted = arena_[--at];
    if (predicted != next) [[unlikely]] {
      // The slot was reused: its link is the entry before the reusing
      // insertion in that insertion's bucket.
      at = slot.owner;
      if (at == 0 || at >= arenaSize_ || arena_[at - 1] != next) {
        return next < cand ? WalkLinks(o, next, maxLen, factor, best) : best;
      }
      predicted = arena_[--at];
    }
    // Chains only run downwards; a slot reused by a newer position ends it.
    if (next >= cand) break;
    cand = predicted;
  }
  return best;
}

void Encoder::PutDistance(std::uint32_t o, std::uint32_t distance) noexcept {
  const std::uint32_t d = distance - 1;
  if (o < kNearTableEnd) {
    if (distance <= 128) {
      w_.Put(d << 1, 2);
    } else {
      w_.Put(((distance - 129) << 1) | 1, 3);
    }
    return;
  }
  if (distance <= 64) {
    w_.Put(d << 2, 2);
  } else if (distance <= 1088) {
    w_.Put(((distance - 65) << 2) | 1, 3);
  } else if (distance <= kMaxCheapDistance) {
    w_.Put(((distance - 1089) << 2) | 2, 4);
  } else {
    const std::uint32_t far = distance - (kMaxCheapDistance + 1);
    w_.Put(((far & 0x3FFF) << 2) | 3, 4);
    w_.Put(far >> 14, 1);
  }
}

void Encoder::PutLength(std::uint32_t length) noexcept {
  if (length < 18) {
    w_.Put(length - 3, 1);
  } else if (length < 273) {
    w_.Put(15, 1);
    w_.Put(length - 18, 2);
  } else {
    w_.Put(15, 1);
    w_.Put(255, 2);
    w_.Put(length - 273, 4);
  }
}

// Replaces everything from the checkpoint on by one raw block of `units`
// eight-byte units of input and opens a fresh group behind it.
void Encoder::EmitRawBlock(std::uint32_t units) noexcept {
  const std::uint32_t v = units - kRawMinUnits;
  w_.Seek(cpPos_);
  w_.Put(0x80 | (v & 0x7F), 2);  // control byte: first item is the marker
  w_.Put((v >> 7) << 2, 2);      // distance field H*4
  w_.Put(15, 1);
  w_.Put(255, 2);
  w_.Put(0xFFFF, 4);
  w_.AlignToByte();
  const std::uint32_t rawBytes = units * kRawUnitBytes;
  w_.PutBytes(in_ + cpIn_, rawBytes);
  cpIn_ += rawBytes;
  OpenGroup();
  cpPos_ = ctrlPos_;
  literalGroups_ = 0;
  stretch_ = 0;
}

int Encoder::Run(std::size_t& streamSizeBytes) {
  streamSizeBytes = 0;
  if (n_ == 0) return kCompressSlackBytes >= capacity_ ? kCompressOutputFull : kPayloadOk;

  w_.Put(in_[0], 2);
  Insert(0);
  OpenGroup();
  if (OutputFull()) return kCompressOutputFull;

  std::uint32_t o = 1;
  while (o < n_) {
    const std::uint32_t itemStart = o;
    Match m = FindMatch(o);
    if (m.length > n_ - o) m.length = n_ - o;
    const bool isMatch = m.length >= 3 && !(m.length == 3 && m.distance > kMaxCheapDistance);
    if (isMatch) {
      PutDistance(o, m.distance);
      PutLength(m.length);
      flags_ = static_cast<std::uint8_t>(flags_ | (0x80u >> items_));
      groupHasMatch_ = true;
      const std::uint32_t inserted = std::min(m.length, kMaxInsertedPerMatch);
      for (std::uint32_t i = 0; i < inserted; ++i) Insert(o + i);
      o += m.length;
    } else {
      w_.Put(in_[o], 2);
      Insert(o);
      ++o;
    }
    ++items_;
    if (OutputFull()) return kCompressOutputFull;
    if (items_ < 8) continue;

    // Group closed.  Decide whether the literal stretch since the checkpoint
    // should become a raw block.  The arithmetic is unsigned 32-bit on
    // purpose: streams must compress as they always have.
    w_.PutByteAt(ctrlPos_, flags_);
    const std::uint32_t lz = o - itemStart;
    const std::uint32_t p = itemStart;
    const auto outSince = static_cast<std::uint32_t>((w_.Pos() >> 1) - (cpPos_ >> 1));
    const std::uint32_t inSince = p - lz - cpIn_;
    bool raw = false;
    if (literalGroups_ > 0 && stretch_ > kRawMaxStretch) {
      raw = true;
    } else if (groupHasMatch_) {
      if (literalGroups_ >= 256) {
        raw = true;
      } else if (outSince < inSince) {
        if (literalGroups_ >= 64) {
          raw = true;
        } else {
          cpPos_ = w_.Pos();
          cpIn_ = p + lz;
          literalGroups_ = 0;
        }
      }
    } else if (literalGroups_ > 0 || inSince + 4 < outSince) {
      ++literalGroups_;
      stretch_ = p - cpIn_;
    }
    const std::uint32_t units = std::min(stretch_ / kRawUnitBytes, kRawMaxUnits);
    if (raw && units >= kRawMinUnits) {
      EmitRawBlock(units);
      o = cpIn_;
      monotonic_ = false;
    } else {
      OpenGroup();
    }
    if (OutputFull()) return kCompressOutputFull;
  }

  // Unused flags of the last group read as matches; the decoder stops on
  // running out of stream before it would decode them.
  w_.PutByteAt(ctrlPos_, static_cast<std::uint8_t>(flags_ | (0xFFu >> items_)));
  if (OutputFull()) return kCompressOutputFull;
  streamSizeBytes = w_.SizeBytes();
  return kPayloadOk;
}

int CompressWith(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::size_t& streamSizeBytes, bool predict) {
  streamSizeBytes = 0;
  // Positions are 32-bit in the format's bookkeeping; items are far smaller.
  if (input.size() > 0x7FFFFFFFu) return kCompressOutputFull;
  // Items never exceed kMaxPayloadBytes; anything larger gets tables of its
  // own rather than growing the ones every later call on the thread keeps.
  thread_local MatchTables kept;
  MatchTables own;
  MatchTables& tables = input.size() <= kMaxPayloadBytes ? kept : own;
  tables.Prepare(input.size());
  Encoder encoder(input, output, tables, predict);
  return encoder.Run(streamSizeBytes);
}

}  // namespace

int CompressPayload(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                    std::size_t& streamSizeBytes) {
  return CompressWith(input, output, streamSizeBytes, true);
}

int CompressPayloadLinkByLink(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                              std::size_t& streamSizeBytes) {
  return CompressWith(input, output, streamSizeBytes, false);
}

int DecompressPayload(std::span<const std::uint8_t> stream, std::span<std::uint8_t> output,
                      std::size_t& outputSizeBytes, PayloadItemObserver* observer) noexcept {
  outputSizeBytes = 0;
  if (stream.empty()) return kPayloadOk;
  const std::size_t capacity = output.size();
  std::uint8_t* out = output.data();
  if (capacity == 0) return kDecompressLiteralNoRoom;
  out[0] = stream[0];
  std::size_t j = 1;
  NibbleReader r(stream);

  // Every exit reports how far decoding got.
  auto fail = [&](int code) noexcept {
    outputSizeBytes = j;
    return code;
  };

  while (r.More()) {
    const bool controlAtPhase1 = r.AtPhase1();
    const std::uint32_t control = r.Read(2);
    for (unsigned item = 0; item < 8; ++item) {
      if (!r.More()) break;
      if ((control & (0x80u >> item)) == 0) {
        if (j >= capacity) return fail(kDecompressLiteralNoRoom);
        if (observer != nullptr) observer->OnItem({.kind = PayloadItem::Kind::kLiteral, .outputPos = j});
        out[j++] = static_cast<std::uint8_t>(r.Read(2));
        continue;
      }

      // Classify the distance code from up to 16 bits, zero-padded past the
      // end, then consume only the bits it uses.
      const std::uint32_t d = r.Peek(4);
      std::uint32_t distance = 0;
      unsigned codeNibbles = 0;
      bool far = false;
      if (j < kNearTableEnd) {
        if ((d & 1) == 0) {
          distance = ((d >> 1) & 0x7F) + 1;
          codeNibbles = 2;
        } else {
          distance = ((d >> 1) & 0x7FF) + 129;
          codeNibbles = 3;
        }
      } else {
        switch (d & 3) {
          case 0:
            distance = ((d >> 2) & 0x3F) + 1;
            codeNibbles = 2;
            break;
          case 1:
            distance = ((d >> 2) & 0x3FF) + 65;
            codeNibbles = 3;
            break;
          case 2:
            distance = (d >> 2) + 1089;
            codeNibbles = 4;
            break;
          default:
            far = true;
            codeNibbles = 5;
            break;
        }
      }
      if (r.Left() < codeNibbles) {
        return fail(far ? kDecompressTruncatedFarDistance : kDecompressTruncatedDistance);
      }
      if (far) {
        r.Skip(4);
        distance = (d >> 2) + 16384 * r.Read(1) + kMaxCheapDistance + 1;
      } else {
        r.Skip(codeNibbles);
      }

      if (r.Left() < 1) return fail(kDecompressTruncatedLengthNibble);
      std::uint32_t length = r.Read(1);
      bool rawBlock = false;
      if (length < 15) {
        length += 3;
      } else {
        if (r.Left() < 2) return fail(kDecompressTruncatedLengthByte);
        length = r.Read(2);
        if (length < 255) {
          length += 18;
        } else {
          if (r.Left() < 4) return fail(kDecompressTruncatedLengthWord);
          length = r.Read(4);
          if (length < 0xFFFF) {
            length += 273;
          } else {
            rawBlock = true;
          }
        }
      }

      if (rawBlock) {
        // Well-formed streams only ever carry the marker as a group's first
        // item with an 8-bit H*4 field; anything else is damage.
        if (item != 0 || (d & 3) != 0) return fail(kDecompressBadRawHeader);
        const std::size_t units = ((d & 0xFF) >> 2) * 128 + (control & 0x7F) + kRawMinUnits;
        const std::size_t rawBytes = units * kRawUnitBytes;
        r.AlignToByte();
        if (rawBytes > capacity - j) return fail(kDecompressRawTooLarge);
        if (2 * rawBytes > r.Left()) return fail(kDecompressTruncatedRaw);
        if (observer != nullptr) {
          observer->OnItem({.kind = PayloadItem::Kind::kRawBlock,
                            .outputPos = j,
                            .length = static_cast<std::uint32_t>(rawBytes),
                            .rawOffset = r.BytePos(),
                            .headerAtPhase1 = controlAtPhase1});
        }
        std::memcpy(out + j, r.Here(), rawBytes);
        j += rawBytes;
        r.Skip(2 * rawBytes);
        break;  // a new group starts at phase 0
      }

      if (distance > j) return fail(kDecompressDistanceBeforeStart);
      if (length > capacity - j) return fail(kDecompressMatchTooLong);
      if (observer != nullptr) {
        observer->OnItem({.kind = PayloadItem::Kind::kMatch,
                          .outputPos = j,
                          .distance = distance,
                          .length = length,
                          .distanceBits = 4 * codeNibbles});
      }
      // Byte by byte: an overlapping copy repeats the bytes it has just made.
      const std::uint8_t* from = out + (j - distance);
      for (std::uint32_t i = 0; i < length; ++i) out[j + i] = from[i];
      j += length;
    }
  }
  outputSizeBytes = j;
  return kPayloadOk;
}

}  // namespace vellumo::sync
