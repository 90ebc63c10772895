#include "model_support.h"

#include <charconv>
#include <set>

#include "model/records.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

std::optional<std::uint32_t> ParseU32(std::string_view text, std::string_view what, std::string* error) {
  int base = 10;
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  std::uint32_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, ec] = std::from_chars(digits.data(), end, value, base);
  if (digits.empty() || ec != std::errc() || stop != end) {
    *error = std::string(what) + " must be a number from 0 to 4294967295 (decimal or 0x-hexadecimal), not '" +
             std::string(text) + "'";
    return std::nullopt;
  }
  return value;
}

std::vector<std::uint8_t> ReadValue(Ku& db, std::span<const std::uint8_t> key) {
  std::vector<std::uint8_t> value;
  if (db.GetValue(key, &value) != 0) value.clear();
  return value;
}

namespace {
struct OrderWalk {
  std::vector<std::uint32_t> ids;
  std::set<std::uint32_t> seen;
};

int CollectOrderEntry(const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* context, Ku&) {
  auto& walk = *static_cast<OrderWalk*>(context);
  if (length < model::kMinOrderEntryBytes) return 1;
  const std::uint32_t id = model::OrderEntryItem({key, length});
  if (walk.seen.insert(id).second) walk.ids.push_back(id);
  return 1;
}
}  // namespace

std::vector<std::uint32_t> OrderedItemIds(Ku& db, std::uint32_t note) {
  OrderWalk walk;
  db.Scan(model::OrderPrefix(note), 6, model::kMaxOrderKeyBytes + 5, &CollectOrderEntry, &walk);
  return std::move(walk.ids);
}

std::string EscapedForLine(std::u16string_view text) {
  std::u16string escaped;
  escaped.reserve(text.size());
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  for (const char16_t unit : text) {
    switch (unit) {
      case u'\\': escaped += u"\\\\"; break;
      case u'\t': escaped += u"\\t"; break;
      case u'\n': escaped += u"\\n"; break;
      case u'\r': escaped += u"\\r"; break;
      default:
        if (unit < 0x20 || unit == 0x7F) {
          escaped += u"\\x";
          escaped.push_back(kHex[unit >> 4]);
          escaped.push_back(kHex[unit & 0xF]);
        } else {
          escaped.push_back(unit);
        }
    }
  }
  return Utf16ToUtf8ForDisplay(escaped);
}

}  // namespace vellumo::dbtool
