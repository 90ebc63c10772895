#pragma once
// Little-endian reading and writing of wire bytes.
//
// ByteReader is sticky: the first read that would pass the end clears ok()
// and every later read returns zero or an empty span without moving.  A
// parser reads all its fields and tests ok() once, so no field is ever taken
// from beyond the received bytes, whatever a length in them claims.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/bytes.h"

namespace vellumo::sync {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) noexcept : data_(data) {}

  [[nodiscard]] std::uint8_t U8() noexcept {
    const auto s = Take(1);
    return s.empty() ? 0 : s[0];
  }
  [[nodiscard]] std::uint16_t U16() noexcept {
    const auto s = Take(2);
    return s.empty() ? 0 : LoadU16LE(s.data());
  }
  [[nodiscard]] std::uint32_t U32() noexcept {
    const auto s = Take(4);
    return s.empty() ? 0 : LoadU32LE(s.data());
  }
  // Copies exactly out.size() bytes, or zeroes out and fails.
  void Fixed(std::span<std::uint8_t> out) noexcept {
    const auto s = Take(out.size());
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = s.empty() ? 0 : s[i];
  }
  // A view of the next sizeBytes bytes (empty on failure).  The size is
  // compared with what is left before any pointer arithmetic, so a hostile
  // 32-bit length can neither overflow nor reach past the end.
  [[nodiscard]] std::span<const std::uint8_t> Bytes(std::size_t sizeBytes) noexcept {
    return Take(sizeBytes);
  }
  // Everything not read yet; the reader is at its end afterwards.
  [[nodiscard]] std::span<const std::uint8_t> Rest() noexcept { return Take(Remaining()); }

  [[nodiscard]] bool ok() const noexcept { return ok_; }
  [[nodiscard]] std::size_t Remaining() const noexcept { return ok_ ? data_.size() - pos_ : 0; }
  [[nodiscard]] bool AtEnd() const noexcept { return Remaining() == 0; }

 private:
  std::span<const std::uint8_t> Take(std::size_t sizeBytes) noexcept {
    if (!ok_ || sizeBytes > data_.size() - pos_) {
      ok_ = false;
      return {};
    }
    const auto s = data_.subspan(pos_, sizeBytes);
    pos_ += sizeBytes;
    return s;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

// Appends little-endian fields to a growing buffer.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& out) noexcept : out_(out) {}

  void U16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void Bytes(std::span<const std::uint8_t> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace vellumo::sync
