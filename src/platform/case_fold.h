#pragma once
// Lower case for searching and filtering, the same on every platform:
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the full-width
// Latin letters; anything else as it is (Chinese has no case).
#include <string>
#include <string_view>

namespace vellumo::platform {

[[nodiscard]] char16_t FoldCase(char16_t unit);
[[nodiscard]] std::u16string FoldCase(std::u16string_view text);

}  // namespace vellumo::platform
