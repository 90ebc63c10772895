#pragma once
// Little-endian byte helpers for the database and wire formats.  Every
// multi-byte integer of a stored or transmitted format goes through these, so
// that no code ever reinterprets mapped or received memory as a struct.
#include <cstddef>
#include <cstdint>
#include <span>

namespace vellumo {

inline std::uint16_t LoadU16LE(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(static_cast<std::uint16_t>(p[0]) |
                                    static_cast<std::uint16_t>(p[1]) << 8);
}
inline std::uint32_t LoadU32LE(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t LoadU64LE(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadU32LE(p)) |
         static_cast<std::uint64_t>(LoadU32LE(p + 4)) << 32;
}
inline std::uint32_t LoadU32BE(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[3]) | static_cast<std::uint32_t>(p[2]) << 8 |
         static_cast<std::uint32_t>(p[1]) << 16 | static_cast<std::uint32_t>(p[0]) << 24;
}
inline void StoreU16LE(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreU32LE(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreU64LE(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreU32BE(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[3 - i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Span forms for callers that hold a bounded buffer.
inline std::uint16_t LoadU16LE(std::span<const std::uint8_t, 2> s) { return LoadU16LE(s.data()); }
inline std::uint32_t LoadU32LE(std::span<const std::uint8_t, 4> s) { return LoadU32LE(s.data()); }

}  // namespace vellumo
