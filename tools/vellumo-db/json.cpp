#include "json.h"

#include <set>
#include <tuple>

#include "text_utf8.h"

namespace vellumo::dbtool {

JsonValue JsonValue::String(std::u16string value) {
  JsonValue v;
  v.kind = Kind::String;
  v.text = std::move(value);
  return v;
}

JsonValue JsonValue::Number(std::uint64_t value) {
  JsonValue v;
  v.kind = Kind::Number;
  v.number = std::to_string(value);
  return v;
}

JsonValue JsonValue::Array() {
  JsonValue v;
  v.kind = Kind::Array;
  return v;
}

JsonValue JsonValue::Object() {
  JsonValue v;
  v.kind = Kind::Object;
  return v;
}

JsonValue& JsonValue::Add(std::u16string_view key, JsonValue value) {
  members.push_back(JsonMember{std::u16string(key), std::move(value), 0, 0});
  return members.back().value;
}

const JsonValue* JsonValue::Find(std::u16string_view key) const {
  for (const JsonMember& m : members)
    if (m.key == key) return &m.value;
  return nullptr;
}

namespace {

class Parser {
 public:
  Parser(std::string_view text, const JsonLimits& limits) : text_(text), limits_(limits) {}

  std::optional<JsonValue> Document(JsonError* error) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = lineStart_ = 3;
    JsonValue root;
    SkipSpace();
    bool ok = Value(root, 0);
    if (ok) {
      SkipSpace();
      if (pos_ != text_.size()) ok = Fail("unexpected text after the end of the document");
    }
    if (!ok) {
      *error = error_;
      return std::nullopt;
    }
    return root;
  }

 private:
  std::string_view text_;
  const JsonLimits& limits_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  std::size_t lineStart_ = 0;
  bool failed_ = false;
  JsonError error_;

  // Always returns false so that callers can write `return Fail(...)`.
  bool Fail(std::string message) { return FailAt(pos_, std::move(message)); }
  bool FailAt(std::size_t at, std::string message) {
    if (failed_) return false;
    failed_ = true;
    // Errors never lie on an earlier line than the current one: strings
    // hold no raw line breaks.
    error_ = JsonError{line_, at - lineStart_ + 1, at, std::move(message)};
    return false;
  }
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }
  bool Truncated(std::string_view what) { return Fail("the document ends inside " + std::string(what)); }

  void SkipSpace() {
    while (!AtEnd()) {
      const char c = Peek();
      if (c == '\n') {
        ++line_;
        lineStart_ = pos_ + 1;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
      ++pos_;
    }
  }

  bool Value(JsonValue& out, std::size_t depth) {
    out.line = line_;
    out.column = pos_ - lineStart_ + 1;
    if (AtEnd()) return Fail("the document ends where a value was expected");
    const char c = Peek();
    if (c == '{' || c == '[') {
      if (depth >= limits_.maxDepth)
        return Fail("arrays and objects are nested more than " + std::to_string(limits_.maxDepth) + " deep");
      return c == '{' ? Object(out, depth + 1) : Array(out, depth + 1);
    }
    if (c == '"') {
      out.kind = JsonValue::Kind::String;
      return String(out.text);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return Number(out);
    for (const auto& [word, kind, value] : {std::tuple{std::string_view("true"), JsonValue::Kind::Bool, true},
                                            std::tuple{std::string_view("false"), JsonValue::Kind::Bool, false},
                                            std::tuple{std::string_view("null"), JsonValue::Kind::Null, false}}) {
      if (c != word[0]) continue;
      if (text_.substr(pos_, word.size()) != word) {
        if (word.substr(0, text_.size() - pos_) == text_.substr(pos_)) return Truncated("'" + std::string(word) + "'");
        return Fail("expected '" + std::string(word) + "'");
      }
      pos_ += word.size();
      out.kind = kind;
      out.boolean = value;
      return true;
    }
    return Fail("expected a value (object, array, string, number, true, false or null)");
  }

  bool Digits() {
    const std::size_t start = pos_;
    while (!AtEnd() && Peek() >= '0' && Peek() <= '9') ++pos_;
    if (pos_ != start) return true;
    return AtEnd() ? Truncated("a number") : Fail("expected a digit");
  }

  bool Number(JsonValue& out) {
    const std::size_t start = pos_;
    if (Peek() == '-') ++pos_;
    if (AtEnd()) return Truncated("a number");
    if (Peek() == '0') {
      ++pos_;
      if (!AtEnd() && Peek() >= '0' && Peek() <= '9') return Fail("a number must not have leading zeros");
    } else if (!Digits()) {
      return false;
    }
    if (!AtEnd() && Peek() == '.') {
      ++pos_;
      if (!Digits()) return false;
    }
    if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
      ++pos_;
      if (!AtEnd() && (Peek() == '+' || Peek() == '-')) ++pos_;
      if (!Digits()) return false;
    }
    out.kind = JsonValue::Kind::Number;
    out.number.assign(text_.substr(start, pos_ - start));
    return true;
  }

  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  bool String(std::u16string& out) {
    ++pos_;  // the opening quote
    for (;;) {
      if (AtEnd()) return Truncated("a string");
      if (out.size() > limits_.maxStringUnits)
        return Fail("a string is longer than " + std::to_string(limits_.maxStringUnits) + " UTF-16 units");
      const auto c = static_cast<unsigned char>(Peek());
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return Fail("a control character in a string must be written as an escape");
      if (c == '\\') {
        const std::size_t at = pos_;
        if (++pos_ == text_.size()) return Truncated("a string");
        const char e = Peek();
        ++pos_;
        switch (e) {
          case '"': out.push_back(u'"'); break;
          case '\\': out.push_back(u'\\'); break;
          case '/': out.push_back(u'/'); break;
          case 'b': out.push_back(u'\b'); break;
          case 'f': out.push_back(u'\f'); break;
          case 'n': out.push_back(u'\n'); break;
          case 'r': out.push_back(u'\r'); break;
          case 't': out.push_back(u'\t'); break;
          case 'u': {
            unsigned unit = 0;
            for (int k = 0; k < 4; ++k, ++pos_) {
              if (AtEnd()) return Truncated("a string");
              const int digit = HexValue(Peek());
              if (digit < 0) return FailAt(at, "a \\u escape needs four hexadecimal digits");
              unit = unit << 4 | static_cast<unsigned>(digit);
            }
            // Surrogates are taken one unit at a time, paired or not.
            out.push_back(static_cast<char16_t>(unit));
            break;
          }
          default:
            return FailAt(at, std::string("unknown escape '\\") + (static_cast<unsigned char>(e) < 0x80 && e >= 0x20 ? std::string(1, e) : std::string("?")) + "' in a string");
        }
        continue;
      }
      if (c < 0x80) {
        out.push_back(static_cast<char16_t>(c));
        ++pos_;
        continue;
      }
      const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      std::size_t bad = 0;
      const auto units = Utf8ToUtf16(text_.substr(pos_, length), &bad);
      if (!units) {
        if (c >= 0xC2 && pos_ + length > text_.size()) return Truncated("a string");
        return Fail("invalid UTF-8 in a string");
      }
      out += *units;
      pos_ += length;
    }
  }

  bool Array(JsonValue& out, std::size_t depth) {
    out.kind = JsonValue::Kind::Array;
    ++pos_;
    SkipSpace();
    if (AtEnd()) return Truncated("an array");
    if (Peek() == ']') {
      ++pos_;
      return true;
    }
    for (;;) {
      out.elements.emplace_back();
      if (!Value(out.elements.back(), depth)) return false;
      SkipSpace();
      if (AtEnd()) return Truncated("an array");
      if (Peek() == ']') {
        ++pos_;
        return true;
      }
      if (Peek() != ',') return Fail("expected ',' or ']' after an array element");
      ++pos_;
      SkipSpace();
    }
  }

  bool Object(JsonValue& out, std::size_t depth) {
    out.kind = JsonValue::Kind::Object;
    std::set<std::u16string> seen;
    ++pos_;
    SkipSpace();
    if (AtEnd()) return Truncated("an object");
    if (Peek() == '}') {
      ++pos_;
      return true;
    }
    for (;;) {
      if (AtEnd()) return Truncated("an object");
      if (Peek() != '"') return Fail("expected a string as an object key");
      JsonMember member;
      member.line = line_;
      member.column = pos_ - lineStart_ + 1;
      const std::size_t keyAt = pos_;
      if (!String(member.key)) return false;
      if (!seen.insert(member.key).second)
        return FailAt(keyAt, "the key \"" + Utf16ToUtf8ForDisplay(member.key) + "\" appears twice in one object");
      SkipSpace();
      if (AtEnd()) return Truncated("an object");
      if (Peek() != ':') return Fail("expected ':' after an object key");
      ++pos_;
      SkipSpace();
      if (!Value(member.value, depth)) return false;
      out.members.push_back(std::move(member));
      SkipSpace();
      if (AtEnd()) return Truncated("an object");
      if (Peek() == '}') {
        ++pos_;
        return true;
      }
      if (Peek() != ',') return Fail("expected ',' or '}' after an object member");
      ++pos_;
      SkipSpace();
    }
  }
};

void WriteString(std::string& out, std::u16string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  auto escapeUnit = [&](char16_t unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(unit >> shift) & 0xF]);
  };
  out.push_back('"');
  std::size_t plainStart = 0;
  auto flushPlain = [&](std::size_t end) {
    if (end > plainStart) out += Utf16ToUtf8ForDisplay(text.substr(plainStart, end - plainStart));
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;  // a pair: written as UTF-8 with the plain run
      continue;
    }
    const char* simple = unit == u'"'    ? "\\\""
                         : unit == u'\\' ? "\\\\"
                         : unit == u'\n' ? "\\n"
                         : unit == u'\r' ? "\\r"
                         : unit == u'\t' ? "\\t"
                         : unit == u'\b' ? "\\b"
                         : unit == u'\f' ? "\\f"
                                         : nullptr;
    if (simple == nullptr && unit >= 0x20 && !high && !low) continue;
    flushPlain(i);
    if (simple) out += simple;
    else escapeUnit(unit);
    plainStart = i + 1;
  }
  flushPlain(text.size());
  out.push_back('"');
}

void WriteValue(std::string& out, const JsonValue& value, std::size_t indent) {
  const std::string inner(2 * (indent + 1), ' ');
  switch (value.kind) {
    case JsonValue::Kind::Null: out += "null"; break;
    case JsonValue::Kind::Bool: out += value.boolean ? "true" : "false"; break;
    case JsonValue::Kind::Number: out += value.number; break;
    case JsonValue::Kind::String: WriteString(out, value.text); break;
    case JsonValue::Kind::Array:
      if (value.elements.empty()) {
        out += "[]";
        break;
      }
      out += "[\n";
      for (std::size_t i = 0; i < value.elements.size(); ++i) {
        out += inner;
        WriteValue(out, value.elements[i], indent + 1);
        out += i + 1 < value.elements.size() ? ",\n" : "\n";
      }
      out += std::string(2 * indent, ' ') + "]";
      break;
    case JsonValue::Kind::Object:
      if (value.members.empty()) {
        out += "{}";
        break;
      }
      out += "{\n";
      for (std::size_t i = 0; i < value.members.size(); ++i) {
        out += inner;
        WriteString(out, value.members[i].key);
        out += ": ";
        WriteValue(out, value.members[i].value, indent + 1);
        out += i + 1 < value.members.size() ? ",\n" : "\n";
      }
      out += std::string(2 * indent, ' ') + "}";
      break;
  }
}

}  // namespace

std::optional<JsonValue> ParseJson(std::string_view document, const JsonLimits& limits, JsonError* error) {
  Parser parser(document, limits);
  return parser.Document(error);
}

std::string WriteJson(const JsonValue& value) {
  std::string out;
  WriteValue(out, value, 0);
  out.push_back('\n');
  return out;
}

}  // namespace vellumo::dbtool
