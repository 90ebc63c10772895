#include <windows.h>

#include <climits>
#include <stdexcept>

#include "platform/codepage.h"

namespace vellumo::platform {

unsigned AnsiCodePage() noexcept { return ::GetACP(); }

// Sizes are asked first rather than assumed: the ANSI code page of a system
// set to UTF-8 takes three bytes per code unit.
std::string WideToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  if (text.size() > INT_MAX) throw std::length_error("WideToAnsi: text too long");
  const auto* in = reinterpret_cast<const wchar_t*>(text.data());
  const int inCount = static_cast<int>(text.size());
  const int size = ::WideCharToMultiByte(CP_ACP, 0, in, inCount, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  const int written = ::WideCharToMultiByte(CP_ACP, 0, in, inCount, out.data(), size, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::u16string AnsiToWide(std::string_view bytes) {
  if (bytes.empty()) return {};
  if (bytes.size() > INT_MAX) throw std::length_error("AnsiToWide: input too long");
  const int inCount = static_cast<int>(bytes.size());
  const int size = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), inCount, nullptr, 0);
  if (size <= 0) return {};
  std::u16string out(static_cast<std::size_t>(size), u'\0');
  const int written =
      ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), inCount, reinterpret_cast<wchar_t*>(out.data()), size);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

}  // namespace vellumo::platform
