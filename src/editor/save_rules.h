#pragma once
// What saving an item in the editor checks and makes of its texts, before
// anything is written: the title limits, the encrypted contents, the 30 KB
// content limit and the ">" title that makes a new note.
//
// PlanSave decides in this order, the first rule that applies wins:
//   title over 5000 units      refused, "标题字数不能超过 5000 。"
//   title empty                refused, "标题不能为空。", focus the title
//   secret content, locked     refused; the password dialog's command is
//                              posted with the editor as its owner
//   stored form over 30720     ask before cutting; OK cuts the plain content
//                              to `keepUnits` and stores it, Cancel refuses
//   content empty, ">name"     make the note "name", store "<open>" + its id
//   anything else              store it
// A secret content ("<k>"/"<K>" and a body) is stored with its body
// encrypted; its stored form is whole cipher blocks, so it is the plain body
// that is cut, to the longest one whose cipher text still fits: cut cipher
// text would never decrypt again.  No cut leaves half a surrogate pair.
// The ">" rule holds for a new item and for an existing one alike: an item
// saved with such a title and no content is meant to open that note.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "editor/message.h"

namespace vellumo::editor {

inline constexpr std::size_t kTitleLimit = 5000;
inline constexpr std::size_t kContentLimit = 30720;
// The title box is read this far: enough to tell a title over the limit.
inline constexpr std::size_t kTitleReadUnits = kTitleLimit + 2;
// The longest secret content whose stored form fits the limit: the tag and
// 30712 body units (61424 bytes, whole blocks), stored as 3 + 30712 units.
inline constexpr std::size_t kSecretContentLimit = 30715;

enum class TitleCheck { Ok, TooLong, Empty };
[[nodiscard]] TitleCheck CheckTitle(std::u16string_view title);
inline constexpr wchar_t kTitleTooLongText[] = L"标题字数不能超过 5000 。";
inline constexpr wchar_t kTitleEmptyText[] = L"标题不能为空。";

inline constexpr Message kTitleTooLong{u"标题字数不能超过 5000 。", u"错误"};
inline constexpr Message kTitleEmpty{u"标题不能为空。", u"错误"};
// Asked with a warning icon, OK and Cancel.
inline constexpr Message kCutContentQuestion{u"内容长度已超出 30KB，超出部分会被截除，是否继续？", u"注意"};
inline constexpr Message kCreateRefused{u"保存失败，数据被拒绝写入。", u"错误"};
inline constexpr Message kUpdateFailed{u"保存失败，项目可能已被删除。", u"错误"};
// After the store itself failed: creating a new item or updating one.
[[nodiscard]] constexpr Message SaveFailedMessage(bool newItem) { return newItem ? kCreateRefused : kUpdateFailed; }

// "<k>"/"<K>" and a body: shown decrypted, stored encrypted.
[[nodiscard]] bool IsSecretContent(std::u16string_view content);
// Code units of the stored form of a plain content.
[[nodiscard]] std::size_t StoredUnits(std::u16string_view plainContent);

// The stored content is over the limit: the user is asked before it is cut.
[[nodiscard]] inline bool NeedsCut(std::size_t storedUnits) { return storedUnits > kContentLimit; }

// A title ">" + name with an empty content makes a note of that name; the
// item then opens it.
[[nodiscard]] std::optional<std::u16string> NewNoteName(std::u16string_view title, std::u16string_view content);
[[nodiscard]] std::u16string OpenNoteContent(std::uint32_t note);

enum class SaveOutcome { TitleTooLong, TitleEmpty, NeedsPassword, AskCut, MakeNote, Store };
struct SavePlan {
  SaveOutcome outcome = SaveOutcome::Store;
  std::optional<Message> message;  // refusals and the cut question
  std::size_t keepUnits = 0;       // AskCut: plain units kept when the user agrees
  std::u16string noteName;         // MakeNote
  bool encrypt = false;            // the body after the tag is stored encrypted
};
// `title` as read from its box (kTitleReadUnits); `content` the plain text of
// the content box; `unlocked` whether the content key is at hand.
[[nodiscard]] SavePlan PlanSave(std::u16string_view title, std::u16string_view content, bool unlocked);

}  // namespace vellumo::editor
