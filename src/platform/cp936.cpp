#include "platform/cp936.h"

#include <array>
#include <cstdint>
#include <memory>

namespace vellumo::platform {
namespace {

#include "platform/cp936_table.inc"

constexpr std::uint16_t kQuestion = u'?';
constexpr unsigned kTrailCount = kTrailLast - kTrailFirst + 1;
constexpr std::size_t kPairCount = (kLeadLast - kLeadFirst + 1) * kTrailCount;

constexpr bool IsLead(unsigned byte) { return byte >= kLeadFirst && byte <= kLeadLast; }

// Both directions expanded once from the compact runs: 48 KB to decode and
// 128 KB to encode, built on first use (thread-safe as a function static).
struct Tables {
  std::array<std::uint16_t, kPairCount> pairToUnit{};
  // A code below 0x100 is one byte, otherwise lead << 8 | trail.
  std::array<std::uint16_t, 0x10000> unitToCode{};

  Tables() {
    std::size_t index = 0;
    for (std::size_t i = 0; i + 1 < std::size(kPairRuns); i += 2) {
      const std::uint16_t first = kPairRuns[i];
      for (unsigned k = 0; k < kPairRuns[i + 1]; ++k) {
        pairToUnit[index++] = first == kQuestion ? kQuestion : static_cast<std::uint16_t>(first + k);
      }
    }
    unitToCode.fill(kQuestion);
    for (unsigned byte = 0; byte < 0x100; ++byte) {
      if (!IsLead(byte) && (kSingleByte[byte] != kQuestion || byte == kQuestion)) {
        unitToCode[kSingleByte[byte]] = static_cast<std::uint16_t>(byte);
      }
    }
    for (std::size_t i = 0; i < kPairCount; ++i) {
      if (pairToUnit[i] != kQuestion) {
        unitToCode[pairToUnit[i]] =
            static_cast<std::uint16_t>((kLeadFirst + i / kTrailCount) << 8 | (kTrailFirst + i % kTrailCount));
      }
    }
    for (std::size_t i = 0; i + 1 < std::size(kBestFit); i += 2) unitToCode[kBestFit[i]] = kBestFit[i + 1];
  }
};

static_assert(std::size(kPairRuns) % 2 == 0 && std::size(kBestFit) % 2 == 0);

const Tables& GetTables() {
  static const std::unique_ptr<const Tables> tables = std::make_unique<const Tables>();
  return *tables;
}

}  // namespace

std::string Cp936FromWide(std::u16string_view text) {
  const Tables& tables = GetTables();
  std::string out;
  out.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    const std::uint16_t code = tables.unitToCode[unit];
    if (code >= 0x100) out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
  return out;
}

std::u16string Cp936ToWide(std::string_view bytes) {
  const Tables& tables = GetTables();
  std::u16string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (IsLead(byte) && i + 1 < bytes.size() && bytes[i + 1] != '\0') {
      const auto trail = static_cast<unsigned char>(bytes[++i]);
      out.push_back(trail >= kTrailFirst && trail <= kTrailLast
                        ? static_cast<char16_t>(tables.pairToUnit[(byte - kLeadFirst) * kTrailCount + trail - kTrailFirst])
                        : static_cast<char16_t>(kQuestion));
    } else {
      out.push_back(static_cast<char16_t>(kSingleByte[byte]));
    }
  }
  return out;
}

}  // namespace vellumo::platform
