#pragma once
// Conversions through the system ANSI code page.  Item-ordering keys, the
// password and the recovery string are stored or hashed as ANSI bytes, so the
// bytes must be exactly those Win32 produces: unmapped code units and unpaired
// surrogates become '?', best-fit substitutions apply, and broken double-byte
// input decodes the way MultiByteToWideChar decodes it.  The native build has
// no system code page to ask and always behaves as code page 936.
#include <string>
#include <string_view>

namespace vellumo::platform {

// The code page WideToAnsi and AnsiToWide convert through.
[[nodiscard]] unsigned AnsiCodePage() noexcept;

// WideCharToMultiByte(CP_ACP, 0, ...) with the default character.
[[nodiscard]] std::string WideToAnsi(std::u16string_view text);

// MultiByteToWideChar(CP_ACP, 0, ...).
[[nodiscard]] std::u16string AnsiToWide(std::string_view bytes);

}  // namespace vellumo::platform
