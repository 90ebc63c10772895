#pragma once
// A small JSON reader and writer for the export format.  Strings are held as
// UTF-16 code units, not as Unicode text: a \uD800 escape with no partner is
// kept as that one unit, so stored texts that are not valid UTF-16 survive a
// trip through a file.  Raw UTF-8 in the document must be valid.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumo::dbtool {

struct JsonMember;

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string number;  // the literal as written; the reader checks only its grammar
  std::u16string text;
  std::vector<JsonValue> elements;
  std::vector<JsonMember> members;  // document order; the reader refuses repeated keys
  std::size_t line = 0;             // where the value starts, both from 1; column in bytes
  std::size_t column = 0;

  static JsonValue String(std::u16string text);
  static JsonValue Number(std::uint64_t value);
  static JsonValue Array();
  static JsonValue Object();
  // Appends a member (objects) and returns the stored value.
  JsonValue& Add(std::u16string_view key, JsonValue value);
  const JsonValue* Find(std::u16string_view key) const;
};

struct JsonMember {
  std::u16string key;
  JsonValue value;
  std::size_t line = 0;  // where the key starts
  std::size_t column = 0;
};

struct JsonLimits {
  std::size_t maxDepth = 32;                // nested arrays and objects
  std::size_t maxStringUnits = 1u << 17;    // UTF-16 units in one string
};

struct JsonError {
  std::size_t line = 0;
  std::size_t column = 0;
  std::size_t offset = 0;  // byte offset from 0
  std::string message;
};

// One value, optionally preceded by a UTF-8 byte order mark, with only
// whitespace around it.
std::optional<JsonValue> ParseJson(std::string_view document, const JsonLimits& limits, JsonError* error);

// Two-space indentation, members in the order they were added, every
// non-ASCII character as UTF-8 except unpaired surrogates (\uD800 style);
// ends with a newline.  The same tree always gives the same bytes.
std::string WriteJson(const JsonValue& value);

}  // namespace vellumo::dbtool
