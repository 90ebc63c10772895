#include "platform/codepage.h"

#include "platform/cp936.h"

namespace vellumo::platform {

unsigned AnsiCodePage() noexcept { return 936; }

std::string WideToAnsi(std::u16string_view text) { return Cp936FromWide(text); }

std::u16string AnsiToWide(std::string_view bytes) { return Cp936ToWide(bytes); }

}  // namespace vellumo::platform
