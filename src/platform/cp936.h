#pragma once
// Code page 936 as Win32 converts it, from a table generated out of the
// conversions themselves (scripts/gen-cp936-table.py).  Portable, so the
// Windows build can check it against the real API.
#include <string>
#include <string_view>

namespace vellumo::platform {

// Each code unit on its own: a surrogate pair gives two '?', never one.
[[nodiscard]] std::string Cp936FromWide(std::u16string_view text);

// A lead byte joins the next byte unless that byte is NUL or the input ends,
// in which case it decodes alone to '?'; a joined pair without a character
// also decodes to a single '?'.
[[nodiscard]] std::u16string Cp936ToWide(std::string_view bytes);

}  // namespace vellumo::platform
