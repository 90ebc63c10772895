// Notes and items through the model, as the program itself changes them: the
// item commands go through ItemOperations so that markers, counts and the
// order index stay consistent.
#include <cstdio>
#include <ostream>

#include "db_tool_internal.h"
#include "stderr_messages.h"
#include "protect_support.h"
#include "model/appearance.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "model_support.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

// The item operations with the tool's notifier and no sync engine.
struct ItemWork {
  explicit ItemWork(CommandContext& context) : notifier(context.err), ops(*context.db, notifier, sync, appMutex) {}
  StderrMessages notifier;
  model::ItemSyncHooks sync;
  model::AppMutex appMutex;
  model::ItemOperations ops;
};

std::optional<std::uint32_t> ParseNoteId(std::string_view text, std::string* error) {
  return ParseU32(text, "NOTE", error);
}

// Opens the database and checks that the note exists; kExitOk or the exit
// code of the failure, already reported.
int OpenWithNote(CommandContext& context, std::uint32_t note) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  if (!model::NoteExists(*context.db, note))
    return ReportError(context, "there is no note " + std::to_string(note));
  return kExitOk;
}

std::string StoreFailure(std::string_view what, int rc) {
  return "cannot " + std::string(what) + " (store error " + std::to_string(rc) + ")";
}

// Longer texts than the program's own writers accept are refused here: the
// item operations would store a too-long text, or fail on one without
// saying so.
std::optional<std::u16string> ItemText(std::string_view text, bool title, std::string* error) {
  auto converted = ArgumentText(text, title ? "title" : "content", error);
  if (!converted) return std::nullopt;
  const std::size_t limit = title ? model::kMaxTitleChars : model::kMaxStoredContentChars;
  if (converted->size() > limit) {
    *error = std::string("the ") + (title ? "title" : "content") + " is " + std::to_string(converted->size()) +
             " UTF-16 units long; at most " + std::to_string(limit);
    return std::nullopt;
  }
  return converted;
}

int RunNotes(CommandContext& context, CommandArgs) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Ku& db = *context.db;
  for (const std::uint32_t note : model::ListNotes(db)) {
    const std::u16string name = model::GetNoteName(db, note);
    context.out << note << '\t' << EscapedForLine(name) << '\t' << model::ItemCount(db, note) << '\t'
                << (model::IsHiddenNoteName(name) ? "hidden" : "visible") << '\n';
  }
  return kExitOk;
}

int RunNoteCreate(CommandContext& context, CommandArgs args) {
  std::string error;
  std::u16string name;
  if (!args.empty()) {
    auto converted = ArgumentText(args[0], "name", &error);
    if (!converted) return ReportError(context, error);
    if (converted->size() > model::kMaxNoteNameChars)
      return ReportError(context, "the name is " + std::to_string(converted->size()) + " UTF-16 units long; at most " +
                                      std::to_string(model::kMaxNoteNameChars));
    name = std::move(*converted);
  }
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  const std::uint32_t id = model::CreateNote(*context.db, name);
  if (id == 0) return ReportError(context, "cannot create a note: the note id counter could not be stepped");
  context.out << id << '\n';
  return kExitOk;
}

int RunNoteRename(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto note = ParseNoteId(args[0], &error);
  if (!note) return ReportError(context, error);
  auto name = ArgumentText(args[1], "name", &error);
  if (!name) return ReportError(context, error);
  // An empty name would make the note cease to exist; the model ignores it.
  if (name->empty()) return ReportError(context, "the name must not be empty");
  if (name->size() > model::kMaxNoteNameChars)
    return ReportError(context, "the name is " + std::to_string(name->size()) + " UTF-16 units long; at most " +
                                    std::to_string(model::kMaxNoteNameChars));
  if (const int rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  if (const int rc = model::RenameNote(*context.db, *note, *name); rc != 0)
    return ReportError(context, StoreFailure("store the name", rc));
  return kExitOk;
}

int RunNoteDelete(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto note = ParseNoteId(args[0], &error);
  if (!note) return ReportError(context, error);
  if (const int rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  model::DeleteNote(*context.db, *note);
  return kExitOk;
}

int RunNoteClear(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto note = ParseNoteId(args[0], &error);
  if (!note) return ReportError(context, error);
  if (const int rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  model::ClearNote(*context.db, *note);
  return kExitOk;
}

int RunNoteSet(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto note = ParseNoteId(args[0], &error);
  if (!note) return ReportError(context, error);
  const std::string& fieldText = args[1];
  bool triggers = fieldText == "triggers";
  std::optional<std::uint8_t> field;
  if (!triggers) {
    const std::u16string wide(fieldText.begin(), fieldText.end());
    if (const model::NoteFieldInfo* named = model::FindNoteField(wide); named && named->type == model::NoteFieldInfo::U32)
      field = named->field;
    if (!field) {
      const auto number = ParseU32(fieldText, "FIELD", &error);
      if (number && *number <= 0xFF && model::IsU32NoteField(static_cast<std::uint8_t>(*number)))
        field = static_cast<std::uint8_t>(*number);
    }
    if (!field) {
      std::string names;
      for (const model::NoteFieldInfo& entry : model::NoteFields())
        if (entry.type == model::NoteFieldInfo::U32)
          names += (names.empty() ? "" : ", ") + std::string(entry.name) + " (" + std::to_string(entry.field) + ")";
      return ReportError(context, "FIELD must be 'triggers' or a u32 note field, not '" + fieldText + "'; the fields: " +
                                      names);
    }
  }
  const auto value = ParseU32(args[2], "VALUE", &error);
  if (!value) return ReportError(context, error);
  if (const int rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  const int rc = triggers ? model::PutNoteTriggers(*context.db, *note, *value)
                          : model::PutNoteU32(*context.db, *note, *field, *value);
  if (rc != 0) return ReportError(context, StoreFailure("store the field", rc));
  return kExitOk;
}

// Takes "--password PW" out of the arguments; the rest must number exactly
// `count`.
std::optional<std::vector<std::string>> WithOptionalPassword(CommandContext& context, CommandArgs args,
                                                             std::size_t count, std::string_view usage,
                                                             std::optional<std::string>* password, int* rc) {
  std::string error;
  auto rest = TakePasswordOption(args, password, &error);
  if (!rest) {
    *rc = ReportError(context, error);
    return std::nullopt;
  }
  if (rest->size() != count) {
    *rc = ReportError(context, "usage: vellumo-db " + std::string(usage));
    return std::nullopt;
  }
  return rest;
}

int RunItems(CommandContext& context, CommandArgs allArgs) {
  std::optional<std::string> password;
  int rc = kExitOk;
  const auto args = WithOptionalPassword(context, allArgs, 1, "items NOTE [--password PW]", &password, &rc);
  if (!args) return rc;
  std::string error;
  const auto note = ParseNoteId((*args)[0], &error);
  if (!note) return ReportError(context, error);
  if (rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  Ku& db = *context.db;
  // Without the password, protected bodies are shown as stored: never decrypted.
  std::optional<ContentUnlock> unlock;
  if (password) {
    unlock.emplace(db);
    if (!unlock->Unlock(*password, false, &error)) return ReportError(context, error);
  }
  for (const std::uint32_t item : OrderedItemIds(db, *note)) {
    const auto title = ReadValue(db, model::ItemFieldKey(*note, model::item_field::kTitle, item));
    const auto content = ReadValue(db, model::ItemFieldKey(*note, model::item_field::kContent, item));
    std::u16string shown = Utf16FromBytes(content);
    if (unlock) shown = unlock->ForShow(shown);
    context.out << item << '\t' << EscapedForLine(Utf16FromBytes(title)) << '\t' << EscapedForLine(shown)
                << '\n';
  }
  return kExitOk;
}

std::optional<std::u16string> StoredContent(CommandContext& context, const std::u16string& content,
                                            const std::optional<std::string>& password, int* rc) {
  std::string error;
  auto stored = StoredContentWithPassword(*context.db, content, password, &error);
  if (!stored) *rc = ReportError(context, error);
  return stored;
}

// The model shows its own messages; a failure without one still needs a word.
int ReportCreateFailure(CommandContext& context, const ItemWork& work) {
  if (work.notifier.Shown()) return kExitError;
  return ReportError(context, "the item could not be stored");
}

int RunItemCreate(CommandContext& context, CommandArgs allArgs) {
  std::optional<std::string> password;
  int rc = kExitOk;
  const auto args =
      WithOptionalPassword(context, allArgs, 3, "item-create NOTE TITLE CONTENT [--password PW]", &password, &rc);
  if (!args) return rc;
  std::string error;
  const auto note = ParseNoteId((*args)[0], &error);
  if (!note) return ReportError(context, error);
  const auto title = ItemText((*args)[1], true, &error);
  if (!title) return ReportError(context, error);
  const auto content = ItemText((*args)[2], false, &error);
  if (!content) return ReportError(context, error);
  if (title->empty() && content->empty()) return ReportError(context, "an item needs a title or a content");
  // Without a title the model would name the item after its content.
  if (title->empty() && protect::IsSecretContent(*content)) return ReportError(context, "the title must not be empty");
  if (rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  const auto stored = StoredContent(context, *content, password, &rc);
  if (!stored) return rc;
  ItemWork work(context);
  const std::uint32_t id = work.ops.CreateItem(*note, *title, *stored, true);
  if (id == 0) return ReportCreateFailure(context, work);
  context.out << id << '\n';
  return kExitOk;
}

int RunItemUpdate(CommandContext& context, CommandArgs allArgs) {
  std::optional<std::string> password;
  int rc = kExitOk;
  const auto args = WithOptionalPassword(context, allArgs, 4, "item-update NOTE ITEM TITLE CONTENT [--password PW]",
                                         &password, &rc);
  if (!args) return rc;
  std::string error;
  const auto note = ParseNoteId((*args)[0], &error);
  if (!note) return ReportError(context, error);
  const auto item = ParseU32((*args)[1], "ITEM", &error);
  if (!item) return ReportError(context, error);
  const auto title = ItemText((*args)[2], true, &error);
  if (!title) return ReportError(context, error);
  // An item without a title counts as missing everywhere else.
  if (title->empty()) return ReportError(context, "the title must not be empty");
  const auto content = ItemText((*args)[3], false, &error);
  if (!content) return ReportError(context, error);
  if (rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  if (!model::ItemExists(*context.db, *note, *item))
    return ReportError(context, "note " + std::to_string(*note) + " has no item " + std::to_string(*item));
  const auto stored = StoredContent(context, *content, password, &rc);
  if (!stored) return rc;
  ItemWork work(context);
  if (work.ops.UpdateItem(*note, *item, *title, *stored) != 0)
    return ReportError(context, "note " + std::to_string(*note) + " has no item " + std::to_string(*item));
  return kExitOk;
}

int RunItemDelete(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto note = ParseNoteId(args[0], &error);
  if (!note) return ReportError(context, error);
  const auto item = ParseU32(args[1], "ITEM", &error);
  if (!item) return ReportError(context, error);
  if (const int rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  ItemWork work(context);
  if (work.ops.DeleteItem(*note, *item, true) != 0)
    return ReportError(context, "note " + std::to_string(*note) + " has no item " + std::to_string(*item));
  return kExitOk;
}

std::string_view SourceName(model::AppearanceSource source) {
  switch (source) {
    case model::AppearanceSource::Legacy: return "legacy";
    case model::AppearanceSource::NoteScheme: return "note scheme";
    case model::AppearanceSource::OwnBlock: return "own block";
    case model::AppearanceSource::DefaultScheme: return "default scheme";
  }
  return "unknown";
}

int RunAppearance(CommandContext& context, CommandArgs args) {
  std::string error;
  const auto note = ParseNoteId(args[0], &error);
  if (!note) return ReportError(context, error);
  if (const int rc = OpenWithNote(context, *note); rc != kExitOk) return rc;
  Ku& db = *context.db;
  model::AppearanceSource source{};
  const model::AppearanceBlock block = model::LoadAppearance(db, *note, &source);
  context.out << "source: " << SourceName(source);
  if (source == model::AppearanceSource::NoteScheme || source == model::AppearanceSource::DefaultScheme) {
    const std::uint32_t holder = source == model::AppearanceSource::NoteScheme ? *note : model::kDefaultSchemeNote;
    context.out << " '" << EscapedForLine(model::GetNoteText(db, holder, model::note_field::kSchemeName)) << "'";
  }
  context.out << '\n';
  for (const model::AppearanceFieldInfo& field : model::AppearanceFields()) {
    context.out << field.name << ": ";
    char text[16];
    switch (field.type) {
      case model::AppearanceFieldInfo::U16:
        context.out << block.U16(field.offset);
        break;
      case model::AppearanceFieldInfo::I16:
        context.out << block.I16(field.offset);
        break;
      case model::AppearanceFieldInfo::U32:
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(block.U32(field.offset)));
        context.out << text;
        break;
      case model::AppearanceFieldInfo::Color:
        // COLORREF: 0x00BBGGRR.
        std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(block.U32(field.offset)));
        context.out << text;
        break;
      case model::AppearanceFieldInfo::FontFace:
        context.out << EscapedForLine(block.FontFace(field.offset));
        break;
    }
    context.out << '\n';
  }
  return kExitOk;
}

}  // namespace

int RepairNotes(CommandContext& context) {
  Ku& db = *context.db;
  std::size_t repaired = 0;
  for (const std::uint32_t note : model::ListNotes(db)) {
    model::NoteRepairs done;
    if (const int rc = model::RepairNote(db, note, &done); rc != 0)
      return ReportError(context, "note " + std::to_string(note) + ": " + StoreFailure("store the item count", rc));
    if (done.staleEntriesRemoved == 0 && !done.countRewritten) continue;
    ++repaired;
    context.out << "repaired note " << note << ':';
    if (done.staleEntriesRemoved != 0)
      context.out << ' ' << done.staleEntriesRemoved << " order "
                  << (done.staleEntriesRemoved == 1 ? "entry" : "entries") << " of items without a title removed"
                  << (done.countRewritten ? ";" : "");
    if (done.countRewritten) context.out << " item count " << done.oldCount << " -> " << done.newCount;
    context.out << '\n';
  }
  if (repaired == 0) context.out << "no note needed a repair\n";
  return kExitOk;
}

namespace {

constexpr CommandSpec kModelCommands[] = {
    {"notes", "", "Lists the notes: id, name, item count and 'hidden'\n"
     "or 'visible' (a name starting with '!'), tab-\n"
     "separated.", 0, 0, DatabaseAccess::ReadOnly, &RunNotes},
    {"note-create", "[NAME]", "Creates a note and prints its id; without NAME it\n"
     "gets the default name.", 0, 1, DatabaseAccess::ReadWrite, &RunNoteCreate},
    {"note-rename", "ID NAME", "Renames a note.", 2, 2, DatabaseAccess::ReadWrite, &RunNoteRename},
    {"note-delete", "ID", "Deletes a note with its items and fields.", 1, 1, DatabaseAccess::ReadWrite,
     &RunNoteDelete},
    {"note-clear", "ID", "Deletes the items of a note; its name and settings\n"
     "stay.", 1, 1, DatabaseAccess::ReadWrite, &RunNoteClear},
    {"note-set", "ID FIELD VALUE",
     "Stores a u32 note field, named (WindowX, Hotkey,\n"
     "ItemCount, ...) or numbered, or with FIELD\n"
     "'triggers' the trigger flags (0 removes them).\n"
     "VALUE is decimal or 0x-hexadecimal.",
     3, 3, DatabaseAccess::ReadWrite, &RunNoteSet},
    {"items", "NOTE [--password PW]", "Lists the items of a note in list order: id, title\n"
     "and content, tab-separated; \\t \\n \\r \\\\ and \\xHH\n"
     "stand for characters that would break the line.\n"
     "With the password, <k>/<K> bodies are shown decrypted;\n"
     "without it, as stored.",
     1, 3, DatabaseAccess::ReadOnly, &RunItems},
    {"item-create", "NOTE TITLE CONTENT [--password PW]", "Creates an item and prints its id. A <k>/<K>\n"
     "body is stored encrypted and needs the password.", 3, 5, DatabaseAccess::ReadWrite,
     &RunItemCreate},
    {"item-update", "NOTE ITEM TITLE CONTENT [--password PW]", "Replaces the title and content of an item; a\n"
     "<k>/<K> body needs the password.", 4, 6,
     DatabaseAccess::ReadWrite, &RunItemUpdate},
    {"item-delete", "NOTE ITEM", "Deletes an item.", 2, 2, DatabaseAccess::ReadWrite, &RunItemDelete},
    {"appearance", "NOTE", "Prints the appearance a note is shown with, field\n"
     "by field, after a line naming where it comes from:\n"
     "legacy, note scheme, own block or default scheme.",
     1, 1, DatabaseAccess::ReadOnly, &RunAppearance},
};

}  // namespace

std::span<const CommandSpec> ModelCommands() { return kModelCommands; }

}  // namespace vellumo::dbtool
