#pragma once
// Payload compressor for sync items: an LZ77 coder with a nibble-aligned code
// stream.  Items already stored on sync servers use this stream, so the
// decoder's reading of it must never change; the encoder only has to produce
// streams the decoder accepts.
//
// Stream format (all fields little-endian at nibble granularity):
//
//   byte 0          first input byte, verbatim
//   then groups     control byte + up to 8 items; bit 7 of the control byte
//                   is the first item (0 literal, 1 match), bit 6 the second...
//
// A field is read at the current nibble phase: at phase 0 from the low bits of
// the current byte, at phase 1 from its high nibble onwards.  4-, 12- and
// 20-bit fields flip the phase, 8- and 16-bit fields keep it.
//
//   literal         8-bit output byte
//   match           distance code, then length code
//
// Distance codes, chosen by the output position j at the start of the match:
//
//   j <  2177   low bit 0   8 bits   distance  1..128      ((d>>1)&0x7F)+1
//               low bit 1  12 bits   distance  129..2176   ((d>>1)&0x7FF)+129
//   j >= 2177   low bits 00  8 bits  distance  1..64       ((d>>2)&0x3F)+1
//               low bits 01 12 bits  distance  65..1088    ((d>>2)&0x3FF)+65
//               low bits 10 16 bits  distance  1089..17472 (d>>2)+1089
//               low bits 11 16 bits + 4-bit nibble h       (d>>2)+16384*h+17473
//
// Length code: nibble n < 15 gives n+3; n = 15 reads a byte e, e < 255 gives
// e+18; e = 255 reads a 16-bit r, r < 0xFFFF gives r+273; r = 0xFFFF marks a
// raw block.
//
// Raw block: always the first item of its group, distance field H*4 (8-bit
// form), control byte low 7 bits L; N = H*128 + L + 4 eight-byte units follow
// verbatim, starting at the next whole byte.  After them a new group starts at
// phase 0.  Control byte and header end exactly six bytes after the byte where
// the control byte begins.
//
// The stream ends when fewer than 8 bits remain at phase 0 or fewer than 12 at
// phase 1; a half-used final byte counts as a whole byte of the stream.  The
// encoder sets the unused flag bits of the last control byte to 1.
#include <cstddef>
#include <cstdint>
#include <span>

namespace vellumo::sync {

inline constexpr int kPayloadOk = 0;

// Compressor: the output came within kCompressSlackBytes of its capacity.
inline constexpr int kCompressOutputFull = 256;
inline constexpr std::size_t kCompressSlackBytes = 33;

// Decompressor errors.  Callers only test for zero; distinct values say where
// a damaged stream was caught.
inline constexpr int kDecompressTruncatedFarDistance = 257;  // inside a 20-bit distance
inline constexpr int kDecompressTruncatedLengthByte = 258;   // inside the 8-bit length extension
inline constexpr int kDecompressTruncatedLengthWord = 259;   // inside the 16-bit length extension
inline constexpr int kDecompressDistanceBeforeStart = 260;   // match reaches before output byte 0
inline constexpr int kDecompressTruncatedDistance = 261;     // inside a 12- or 16-bit distance
inline constexpr int kDecompressTruncatedLengthNibble = 262; // ends between distance and length
inline constexpr int kDecompressTruncatedRaw = 263;          // fewer raw bytes than the header says
inline constexpr int kDecompressBadRawHeader = 264;          // raw marker not first in group, or
                                                             // distance field not H*4
inline constexpr int kDecompressRawTooLarge = 272;           // raw block exceeds the capacity left
inline constexpr int kDecompressMatchTooLong = 273;          // match exceeds the capacity left
inline constexpr int kDecompressLiteralNoRoom = 274;         // literal with the output already full

// Largest item the sync protocol compresses, and the capacity it offers.
inline constexpr std::size_t kMaxPayloadBytes = 102400;

// An output capacity with which CompressPayload cannot fail for an input of
// inputSizeBytes: one control byte per eight items, no item longer than the
// bytes it covers, the half-used final byte, and the slack the encoder keeps.
constexpr std::size_t CompressBound(std::size_t inputSizeBytes) noexcept {
  return inputSizeBytes + inputSizeBytes / 8 + 16 + kCompressSlackBytes;
}

// Compresses input into output.  On success returns kPayloadOk and sets
// streamSizeBytes; on kCompressOutputFull, streamSizeBytes is 0 and output
// holds garbage.  Never writes outside output; fails whenever the stream
// would come within kCompressSlackBytes of output.size(), so a caller must
// offer CompressBound(input.size()) to be sure of success.  An empty input
// gives an empty stream.  Reentrant across threads: each thread keeps its
// match tables between calls (about 1.3 MiB once it has compressed an item
// of kMaxPayloadBytes); a larger input gets tables of its own, four bytes per
// input byte.  Allocating them is the only way it can throw (std::bad_alloc).
[[nodiscard]] int CompressPayload(std::span<const std::uint8_t> input,
                                  std::span<std::uint8_t> output,
                                  std::size_t& streamSizeBytes);

// One decoded item, reported to an observer so tests and diagnostics can see
// how a stream is built without a second parser.
struct PayloadItem {
  enum class Kind { kLiteral, kMatch, kRawBlock };
  Kind kind = Kind::kLiteral;
  std::size_t outputPos = 0;      // output bytes before the item
  std::uint32_t distance = 0;     // matches
  std::uint32_t length = 0;       // matches and raw blocks (bytes)
  unsigned distanceBits = 0;      // matches: 8, 12, 16 or 20
  std::size_t rawOffset = 0;      // raw blocks: stream offset of the raw bytes
  bool headerAtPhase1 = false;    // raw blocks: control byte began mid-byte
};

class PayloadItemObserver {
 public:
  virtual ~PayloadItemObserver() = default;
  // Called after the item is validated and before it is copied.  Must not
  // throw.
  virtual void OnItem(const PayloadItem& item) noexcept = 0;
};

// Decompresses stream into output.  On success returns kPayloadOk and sets
// outputSizeBytes; on failure returns one of the kDecompress* codes and sets
// outputSizeBytes to the bytes produced before the fault.
//
// Contract: whatever the stream holds, the decoder reads only
// stream[0 .. stream.size()) and writes only output[0 .. output.size()).  An
// empty stream decodes to an empty output.  Byte 0 is not reported to the
// observer; every later item is.
[[nodiscard]] int DecompressPayload(std::span<const std::uint8_t> stream,
                                    std::span<std::uint8_t> output,
                                    std::size_t& outputSizeBytes,
                                    PayloadItemObserver* observer = nullptr) noexcept;

}  // namespace vellumo::sync
