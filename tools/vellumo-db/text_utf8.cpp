#include "text_utf8.h"

#include <cstdint>

namespace vellumo::dbtool {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view text, std::size_t* badOffset) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char16_t>(lead));
      ++i;
      continue;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, c = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, c = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, c = lead & 0x07u, minimum = 0x10000;
    } else {
      if (badOffset) *badOffset = i;
      return std::nullopt;
    }
    if (text.size() - i < length) {
      if (badOffset) *badOffset = i;
      return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto trail = static_cast<std::uint8_t>(text[i + k]);
      if ((trail & 0xC0) != 0x80) {
        if (badOffset) *badOffset = i;
        return std::nullopt;
      }
      c = (c << 6) | (trail & 0x3Fu);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      if (badOffset) *badOffset = i;
      return std::nullopt;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += length;
  }
  return out;
}

std::string Utf16ToUtf8ForDisplay(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::optional<std::u16string> ArgumentText(std::string_view text, std::string_view what, std::string* error) {
  std::size_t bad = 0;
  auto converted = Utf8ToUtf16(text, &bad);
  if (!converted)
    *error = "the " + std::string(what) + " is not valid UTF-8 (byte " + std::to_string(bad + 1) + ")";
  return converted;
}

}  // namespace vellumo::dbtool
