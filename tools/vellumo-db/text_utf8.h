#pragma once
// UTF-8 (the tool's command line and files) against UTF-16 (what the
// database stores).  The database may hold texts that are not valid UTF-16:
// encrypted contents are cipher bytes read as code units, and a title cut
// by an older writer can end in half a surrogate pair.  Display replaces such
// units; the export keeps them (see json.h).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vellumo::dbtool {

// Strict: overlong forms, encoded surrogates, values above U+10FFFF and
// truncated sequences are refused.  On failure *badOffset is the byte offset
// of the first byte of the offending sequence.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text, std::size_t* badOffset);

// Each unpaired surrogate becomes U+FFFD.  Only for showing a text to a
// person: the result cannot be turned back into the stored units.
std::string Utf16ToUtf8ForDisplay(std::u16string_view text);

// Converts one command-line argument; the message names `what`.
std::optional<std::u16string> ArgumentText(std::string_view text, std::string_view what, std::string* error);

}  // namespace vellumo::dbtool
