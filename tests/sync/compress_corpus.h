#pragma once
// Generated compressor inputs: note-like text in UTF-16LE and 8-bit, runs,
// noise and copies from far back, so that every path of the encoder (both
// distance tables, far matches, raw blocks) is taken.  The golden digests
// are taken over these exact bytes: changing a generator changes them.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vellumo::sync::corpus {

using Bytes = std::vector<std::uint8_t>;

// Note-like text from a fixed vocabulary, so that matches come at every
// distance class; utf16 doubles it into UTF-16LE with some non-Latin units.
inline Bytes Text(std::size_t size, std::uint32_t seed, bool utf16) {
  static const char* const kWords[] = {
      "the",   "note",  "launcher", "<run>", "C:\\Windows\\", "notepad.exe", "calc",  "\r\n",
      "every", "day",   "morning",  "a",     "password",     "{TAB}",       "login", "user@example.com",
      "of",    "to",    "and",      "item",  "open",         "folder",      "12:30", "reminder"};
  std::mt19937 gen(seed);
  Bytes out;
  while (out.size() < size) {
    const std::string word = kWords[gen() % (sizeof kWords / sizeof kWords[0])];
    const bool cjk = utf16 && gen() % 7 == 0;
    for (char ch : word + " ") {
      if (utf16) {
        const std::uint16_t unit = cjk ? static_cast<std::uint16_t>(0x4E00 + (gen() % 64)) : static_cast<std::uint8_t>(ch);
        out.push_back(static_cast<std::uint8_t>(unit));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
      } else {
        out.push_back(static_cast<std::uint8_t>(ch));
      }
    }
  }
  out.resize(size);
  return out;
}

inline Bytes Noise(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

// Text, runs and noise in turn, with copies from far back.
inline Bytes Mixed(std::size_t size, std::uint32_t seed) {
  std::mt19937 gen(seed);
  Bytes out;
  while (out.size() < size) {
    Bytes part;
    switch (gen() % 4) {
      case 0: part = Text(gen() % 4000, static_cast<std::uint32_t>(gen()), true); break;
      case 1: part = Bytes(gen() % 500, static_cast<std::uint8_t>(gen())); break;
      case 2: part = Noise(gen() % 2000, static_cast<std::uint32_t>(gen())); break;
      default:
        if (out.size() > 30000) {
          const std::size_t from = gen() % (out.size() - 20000);
          part.assign(out.begin() + static_cast<std::ptrdiff_t>(from),
                      out.begin() + static_cast<std::ptrdiff_t>(from + gen() % 3000));
        }
    }
    out.insert(out.end(), part.begin(), part.end());
  }
  out.resize(size);
  return out;
}

}  // namespace vellumo::sync::corpus
