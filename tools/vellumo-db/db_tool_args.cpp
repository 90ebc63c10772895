#include <charconv>
#include <ostream>

#include "db_tool_internal.h"
#include "store/trie_format.h"

namespace vellumo::dbtool {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

int ReportError(CommandContext& context, std::string_view message) {
  context.err << "vellumo-db: " << message << '\n';
  return kExitError;
}

std::optional<std::vector<std::uint8_t>> ParseHex(std::string_view text, std::string_view what, std::string* error) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (HexDigit(text[i]) < 0) {
      *error = "bad hexadecimal digit '" + std::string(1, text[i]) + "' at position " + std::to_string(i + 1) +
               " of the " + std::string(what);
      return std::nullopt;
    }
  }
  if (text.size() % 2 != 0) {
    *error = "the " + std::string(what) + " has an odd number of hexadecimal digits (" +
             std::to_string(text.size()) + ")";
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(HexDigit(text[2 * i]) << 4 | HexDigit(text[2 * i + 1]));
  return bytes;
}

std::string FormatHex(const std::uint8_t* bytes, std::size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(2 * length, '0');
  for (std::size_t i = 0; i < length; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> ParseKey(std::string_view text, std::string_view what, std::string* error) {
  auto bytes = ParseHex(text, what, error);
  if (!bytes) return std::nullopt;
  if (bytes->empty()) {
    *error = "the " + std::string(what) + " is empty";
    return std::nullopt;
  }
  if (bytes->size() > trie::kMaxKeyLength) {
    *error = "the " + std::string(what) + " is " + std::to_string(bytes->size()) + " bytes long; at most " +
             std::to_string(trie::kMaxKeyLength) + " are allowed";
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::vector<std::uint8_t>> ParseValue(std::string_view text, std::string* error) {
  auto bytes = ParseHex(text, "value", error);
  if (!bytes) return std::nullopt;
  if (bytes->size() > trie::kMaxValueLength) {
    *error = "the value is " + std::to_string(bytes->size()) + " bytes long; at most " +
             std::to_string(trie::kMaxValueLength) + " are allowed";
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::uint32_t> ParseCount(std::string_view text, std::string_view what, std::uint32_t low,
                                        std::uint32_t high, std::string* error) {
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || stop != end || value < low || value > high) {
    *error = std::string(what) + " must be a number from " + std::to_string(low) + " to " + std::to_string(high) +
             ", not '" + std::string(text) + "'";
    return std::nullopt;
  }
  return value;
}

std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace vellumo::dbtool
