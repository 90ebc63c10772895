#pragma once
// What saving an item in the editor checks and makes of its texts, before
// anything is written: the title limits, the encrypted contents, the 30 KB
// content limit and the ">" title that makes a new note.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumo::editor {

inline constexpr std::size_t kTitleLimit = 5000;
inline constexpr std::size_t kContentLimit = 30720;

enum class TitleCheck { Ok, TooLong, Empty };
[[nodiscard]] TitleCheck CheckTitle(std::u16string_view title);
inline constexpr wchar_t kTitleTooLongText[] = L"标题字数不能超过 5000 。";
inline constexpr wchar_t kTitleEmptyText[] = L"标题不能为空。";

// "<k>"/"<K>" and more: shown decrypted, stored encrypted.
[[nodiscard]] bool IsSecretContent(std::u16string_view content);

// The stored content is over the limit: the user is asked before it is cut.
[[nodiscard]] inline bool NeedsCut(std::size_t storedUnits) { return storedUnits > kContentLimit; }

// A title ">" + name with an empty content makes a note of that name; the
// item then opens it.
[[nodiscard]] std::optional<std::u16string> NewNoteName(std::u16string_view title, std::u16string_view content);
[[nodiscard]] std::u16string OpenNoteContent(std::uint32_t note);

}  // namespace vellumo::editor
