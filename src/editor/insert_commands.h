#pragma once
// The editor's insert menu: what each command puts into the content box and
// where, and the 12-character random string.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vellumo::editor {

enum class InsertAt { Start, Caret };

struct Insertion {
  std::u16string text;
  InsertAt where = InsertAt::Caret;
};

// Nothing for an id that is not an insert command.  `randomString` is asked
// only for the random-string command.
[[nodiscard]] std::optional<Insertion> InsertionFor(int commandId,
                                                    const std::function<std::u16string()>& randomString);

// Twelve characters with at least one lower-case letter, one capital, one
// digit and one symbol.  `next` gives random numbers; the program draws
// them from the system's cryptographic generator.
[[nodiscard]] std::u16string RandomString12(const std::function<std::uint32_t()>& next);
// The same with the system's generator; empty when it failed.
[[nodiscard]] std::u16string RandomString12();

// One line per virtual key, "<0D> : Enter (VK_RETURN)", in groups.
[[nodiscard]] std::u16string_view KeyReferenceText();

}  // namespace vellumo::editor
