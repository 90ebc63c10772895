// export and import: a whole database's notes, items, schemes and the two
// global settings as a JSON document a person can read and edit.
//
// The document ({"format": "vellumo-db export", "version": 1, ...}) holds
// texts exactly as stored: nothing is decrypted, and units that are not
// valid UTF-16 are written as \uXXXX escapes.  Import recreates notes and
// items under their own ids, so exporting the imported database gives the
// same bytes again.  Import reads and checks the whole document before it
// writes the first record.
#include <algorithm>
#include <istream>
#include <ostream>
#include <set>
#include <span>

#include "db_tool_internal.h"
#include "json.h"
#include "model/appearance.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "model_support.h"
#include "stderr_messages.h"
#include "store/ku.h"
#include "store/trie_format.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

using Bytes = std::vector<std::uint8_t>;
using model::NoteFieldInfo;
using model::note_field::kCustomColours;
using model::note_field::kSchemeName;

constexpr std::u16string_view kFormatName = u"vellumo-db export";
constexpr std::uint64_t kFormatVersion = 1;
// Far above any real database (4096 items of 30784 characters in each of a
// few hundred notes would be ~30 GB, which no one exports through a pipe);
// the bound keeps a runaway input from exhausting memory.
constexpr std::size_t kMaxDocumentBytes = std::size_t{512} << 20;
constexpr std::size_t kMaxValueUnits = trie::kMaxValueLength / 2;

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// u32 fields go into a note's "fields" object under their names; text and
// block fields are members of the note of their own, under the name with
// a lower-case first letter ("syncId", "ownAppearance").
std::u16string MemberKey(const NoteFieldInfo& info) {
  std::u16string key = Ascii(info.name);
  if (!key.empty() && key[0] >= u'A' && key[0] <= u'Z') key[0] = static_cast<char16_t>(key[0] + 32);
  return key;
}

// What the document holds of a note: the count follows from the items and
// the custom colours belong to no note.
bool Exported(const NoteFieldInfo& info) { return !info.derived && !info.global; }

JsonValue HexValue(const Bytes& bytes) { return JsonValue::String(Ascii(FormatHex(bytes.data(), bytes.size()))); }

// ---------------------------------------------------------------- export

struct Exporter {
  Ku& db;
  std::ostream& err;

  // A stored text with an odd number of bytes has a byte no UTF-16 unit
  // holds; the program never writes one, and the model drops it too.
  std::u16string Text(const Bytes& bytes, const std::string& where) {
    if (bytes.size() % 2 != 0)
      err << "vellumo-db: " << where << " has an odd number of bytes; its last byte is not exported\n";
    return Utf16FromBytes(bytes);
  }

  JsonValue Schemes() {
    struct Walk {
      std::vector<Bytes> keys;
    } walk;
    db.Scan(record_keys::kSchemePrefix, 2, trie::kMaxKeyLength,
            [](const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* context, Ku&) {
              static_cast<Walk*>(context)->keys.emplace_back(key, key + length);
              return 1;
            },
            &walk);
    JsonValue schemes = JsonValue::Object();
    for (const Bytes& key : walk.keys) {
      const Bytes name(key.begin() + 1, key.end());
      const Bytes value = ReadValue(db, key);
      if (value.empty()) continue;
      if (name.size() % 2 != 0 || name.size() / 2 > model::kMaxSchemeNameChars) {
        err << "vellumo-db: the scheme record " << FormatHex(key.data(), key.size())
            << " has no valid name and is not exported\n";
        continue;
      }
      schemes.Add(Utf16FromBytes(name), HexValue(value));
    }
    return schemes;
  }

  JsonValue Item(std::uint32_t note, std::uint32_t item) {
    using namespace model::item_field;
    const std::string where = "item " + std::to_string(item) + " of note " + std::to_string(note);
    JsonValue out = JsonValue::Object();
    out.Add(u"id", JsonValue::Number(item));
    out.Add(u"title", JsonValue::String(Text(ReadValue(db, model::ItemFieldKey(note, kTitle, item)), where)));
    out.Add(u"content", JsonValue::String(Text(ReadValue(db, model::ItemFieldKey(note, kContent, item)), where)));
    const Bytes index = ReadValue(db, model::ItemFieldKey(note, kIconIndex, item));
    if (index.size() == 4) out.Add(u"iconIndex", JsonValue::Number(LoadU32LE(index.data())));
    const Bytes path = ReadValue(db, model::ItemFieldKey(note, kIconPath, item));
    if (!path.empty()) out.Add(u"iconPath", JsonValue::String(Text(path, where + " (icon path)")));
    return out;
  }

  JsonValue Note(std::uint32_t note) {
    const std::string where = "note " + std::to_string(note);
    JsonValue out = JsonValue::Object();
    out.Add(u"id", JsonValue::Number(note));
    out.Add(u"name", JsonValue::String(Text(ReadValue(db, model::NoteMetaKey(model::kMetaName, note)), where)));
    JsonValue fields = JsonValue::Object();
    for (const NoteFieldInfo& entry : model::NoteFields()) {
      if (entry.type != NoteFieldInfo::U32 || !Exported(entry)) continue;
      const Bytes value = ReadValue(db, model::NoteFieldKey(note, entry.field));
      if (value.size() == 4) fields.Add(Ascii(entry.name), JsonValue::Number(LoadU32LE(value.data())));
    }
    if (!fields.members.empty()) out.Add(u"fields", std::move(fields));
    for (const NoteFieldInfo::Type type : {NoteFieldInfo::Text, NoteFieldInfo::Block})
      for (const NoteFieldInfo& entry : model::NoteFields()) {
        if (entry.type != type || !Exported(entry)) continue;
        const Bytes value = ReadValue(db, model::NoteFieldKey(note, entry.field));
        if (value.empty()) continue;
        out.Add(MemberKey(entry), type == NoteFieldInfo::Text ? JsonValue::String(Text(value, where)) : HexValue(value));
      }
    const Bytes triggers = ReadValue(db, model::NoteMetaKey(model::kMetaTriggers, note));
    if (triggers.size() == 4) out.Add(u"triggers", JsonValue::Number(LoadU32LE(triggers.data())));
    JsonValue items = JsonValue::Array();
    for (const std::uint32_t item : OrderedItemIds(db, note)) {
      // An order entry without a title is left over from an interrupted
      // deletion; the program shows no item there, and neither does the export.
      if (ReadValue(db, model::ItemFieldKey(note, model::item_field::kTitle, item)).empty()) {
        err << "vellumo-db: note " << note << " has an order entry for item " << item
            << ", which has no title; it is not exported ('check --repair' removes it)\n";
        continue;
      }
      items.elements.push_back(Item(note, item));
    }
    out.Add(u"items", std::move(items));
    return out;
  }

  JsonValue Document() {
    JsonValue root = JsonValue::Object();
    root.Add(u"format", JsonValue::String(std::u16string(kFormatName)));
    root.Add(u"version", JsonValue::Number(kFormatVersion));
    root.Add(u"schemes", Schemes());
    const Bytes fallback = ReadValue(db, model::NoteFieldKey(model::kDefaultSchemeNote, kSchemeName));
    if (!fallback.empty()) root.Add(u"defaultScheme", JsonValue::String(Text(fallback, "the default scheme name")));
    const Bytes colours = ReadValue(db, model::NoteFieldKey(model::kCustomColoursNote, kCustomColours));
    if (!colours.empty()) root.Add(u"customColours", HexValue(colours));
    JsonValue notes = JsonValue::Array();
    for (const std::uint32_t note : model::ListNotes(db)) notes.elements.push_back(Note(note));
    root.Add(u"notes", std::move(notes));
    return root;
  }
};

int RunExport(CommandContext& context, CommandArgs) {
  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Exporter exporter{*context.db, context.err};
  context.out << WriteJson(exporter.Document());
  context.out.flush();
  if (!context.out) return ReportError(context, "cannot write the export to standard output");
  return kExitOk;
}

// ---------------------------------------------------------------- import

struct NotePlan {
  model::NoteRecord note;
  std::vector<model::ItemRecord> items;
};

struct ImportPlan {
  std::vector<std::pair<std::u16string, Bytes>> schemes;
  std::u16string defaultScheme;
  Bytes customColours;
  std::vector<NotePlan> notes;
};

// Thrown by the checks with the place of the offending value; caught by
// RunImport before anything is written.
struct DocumentFault {
  std::string message;
};

class Checker {
 public:
  ImportPlan Plan(const JsonValue& root) {
    ImportPlan plan;
    Expect(root, JsonValue::Kind::Object, "the document");
    static constexpr std::u16string_view kDocumentKeys[] = {u"format",        u"version", u"schemes",
                                                             u"defaultScheme", u"customColours", u"notes"};
    Keys(root, "the document", kDocumentKeys);
    const JsonValue* format = Required(root, u"format", "the document");
    if (String(*format, "format", 64) != kFormatName)
      Fail(*format, "format must be \"vellumo-db export\"");
    const JsonValue* version = Required(root, u"version", "the document");
    if (U32(*version, "version") != kFormatVersion)
      Fail(*version, "version " + version->number + " is not known; this tool reads version 1");
    if (const JsonValue* schemes = root.Find(u"schemes")) {
      Expect(*schemes, JsonValue::Kind::Object, "schemes");
      for (const JsonMember& member : schemes->members) {
        const std::string where = "the scheme \"" + Utf16ToUtf8ForDisplay(member.key) + "\"";
        if (member.key.empty() || member.key.size() > model::kMaxSchemeNameChars)
          FailAt(member.line, member.column, where + ": a scheme name has 1 to 90 UTF-16 units");
        Bytes block = Hex(member.value, where, model::kMaxSchemeValueBytes);
        if (block.empty()) Fail(member.value, where + ": a scheme needs at least one byte");
        plan.schemes.emplace_back(member.key, std::move(block));
      }
    }
    if (const JsonValue* fallback = root.Find(u"defaultScheme"))
      plan.defaultScheme = String(*fallback, "defaultScheme", kMaxValueUnits);
    if (const JsonValue* colours = root.Find(u"customColours"))
      plan.customColours = Hex(*colours, "customColours", trie::kMaxValueLength);
    const JsonValue* notes = Required(root, u"notes", "the document");
    Expect(*notes, JsonValue::Kind::Array, "notes");
    std::set<std::uint32_t> ids;
    for (std::size_t i = 0; i < notes->elements.size(); ++i) {
      const JsonValue& note = notes->elements[i];
      plan.notes.push_back(Note(note, "notes[" + std::to_string(i) + "]"));
      const std::uint32_t id = plan.notes.back().note.id;
      if (!ids.insert(id).second)
        Fail(*note.Find(u"id"), "notes[" + std::to_string(i) + "].id: note " + std::to_string(id) + " appears twice");
    }
    return plan;
  }

 private:
  [[noreturn]] static void FailAt(std::size_t line, std::size_t column, const std::string& message) {
    throw DocumentFault{"line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message};
  }
  [[noreturn]] static void Fail(const JsonValue& at, const std::string& message) {
    FailAt(at.line, at.column, message);
  }

  static std::string_view KindName(JsonValue::Kind kind) {
    switch (kind) {
      case JsonValue::Kind::Null: return "null";
      case JsonValue::Kind::Bool: return "true or false";
      case JsonValue::Kind::Number: return "a number";
      case JsonValue::Kind::String: return "a string";
      case JsonValue::Kind::Array: return "an array";
      case JsonValue::Kind::Object: return "an object";
    }
    return "a value";
  }

  static void Expect(const JsonValue& value, JsonValue::Kind kind, const std::string& where) {
    if (value.kind != kind)
      Fail(value, where + " must be " + std::string(KindName(kind)) + ", not " + std::string(KindName(value.kind)));
  }

  // Unknown keys are refused rather than skipped: a misspelt key would
  // otherwise drop data without a word.
  static void Keys(const JsonValue& object, const std::string& where, std::span<const std::u16string_view> known) {
    for (const JsonMember& member : object.members)
      if (std::find(known.begin(), known.end(), member.key) == known.end())
        FailAt(member.line, member.column,
               where + " has an unknown key \"" + Utf16ToUtf8ForDisplay(member.key) + "\"");
  }

  static const JsonValue* Required(const JsonValue& object, std::u16string_view key, const std::string& where) {
    const JsonValue* value = object.Find(key);
    if (value == nullptr)
      Fail(object, where + " lacks the key \"" + Utf16ToUtf8ForDisplay(key) + "\"");
    return value;
  }

  static std::uint32_t U32(const JsonValue& value, const std::string& where) {
    Expect(value, JsonValue::Kind::Number, where);
    std::uint64_t number = 0;
    bool digitsOnly = !value.number.empty() && value.number.size() <= 10;
    for (const char c : value.number) {
      digitsOnly = digitsOnly && c >= '0' && c <= '9';
      number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!digitsOnly || number > 0xFFFFFFFFu)
      Fail(value, where + " must be a whole number from 0 to 4294967295, not " + value.number);
    return static_cast<std::uint32_t>(number);
  }

  static std::u16string String(const JsonValue& value, const std::string& where, std::size_t maxUnits) {
    Expect(value, JsonValue::Kind::String, where);
    if (value.text.size() > maxUnits)
      Fail(value, where + " is " + std::to_string(value.text.size()) + " UTF-16 units long; at most " +
                      std::to_string(maxUnits));
    return value.text;
  }

  static Bytes Hex(const JsonValue& value, const std::string& where, std::size_t maxBytes) {
    const std::u16string text = String(value, where, 2 * maxBytes);
    std::string ascii;
    for (const char16_t c : text) {
      if (c > 0x7F) Fail(value, where + " must hold hexadecimal digits only");
      ascii.push_back(static_cast<char>(c));
    }
    std::string error;
    auto bytes = ParseHex(ascii, where, &error);
    if (!bytes) Fail(value, error);
    return std::move(*bytes);
  }

  static std::uint32_t Id(const JsonValue& object, const std::string& where, std::uint32_t low, std::uint32_t high) {
    const JsonValue& value = *Required(object, u"id", where);
    const std::uint32_t id = U32(value, where + ".id");
    if (id < low || id > high)
      Fail(value, where + ".id must be from " + std::to_string(low) + " to " + std::to_string(high));
    return id;
  }

  static model::ItemRecord Item(const JsonValue& value, const std::string& where) {
    Expect(value, JsonValue::Kind::Object, where);
    static constexpr std::u16string_view kItemKeys[] = {u"id", u"title", u"content", u"iconIndex", u"iconPath"};
    Keys(value, where, kItemKeys);
    model::ItemRecord item;
    item.id = Id(value, where, 1, 0xFFFFFFFFu);
    const JsonValue& title = *Required(value, u"title", where);
    item.title = String(title, where + ".title", kMaxValueUnits);
    if (item.title.empty()) Fail(title, where + ".title must not be empty: an item without a title counts as missing");
    item.content = String(*Required(value, u"content", where), where + ".content", kMaxValueUnits);
    if (const JsonValue* index = value.Find(u"iconIndex")) item.iconIndex = U32(*index, where + ".iconIndex");
    if (const JsonValue* path = value.Find(u"iconPath"))
      item.iconPath = String(*path, where + ".iconPath", model::kMaxIconPathBytes / 2);
    return item;
  }

  static NotePlan Note(const JsonValue& value, const std::string& where) {
    Expect(value, JsonValue::Kind::Object, where);
    std::vector<std::u16string> memberKeys;
    for (const NoteFieldInfo& entry : model::NoteFields())
      if (entry.type != NoteFieldInfo::U32 && Exported(entry)) memberKeys.push_back(MemberKey(entry));
    std::vector<std::u16string_view> known{u"id", u"name", u"fields", u"triggers", u"items"};
    known.insert(known.end(), memberKeys.begin(), memberKeys.end());
    Keys(value, where, known);
    NotePlan plan;
    model::NoteRecord& note = plan.note;
    // 0 and 0xFFFFFFFF hold global settings, never a note.
    note.id = Id(value, where, 1, 0xFFFFFFFEu);
    const JsonValue& name = *Required(value, u"name", where);
    note.name = String(name, where + ".name", model::kMaxNoteNameChars);
    if (note.name.empty()) Fail(name, where + ".name must not be empty: the name is what makes a note exist");
    if (const JsonValue* fields = value.Find(u"fields")) {
      Expect(*fields, JsonValue::Kind::Object, where + ".fields");
      for (const JsonMember& member : fields->members) {
        const std::string at = where + ".fields." + Utf16ToUtf8ForDisplay(member.key);
        const NoteFieldInfo* field = model::FindNoteField(member.key);
        if (!field || field->type != NoteFieldInfo::U32)
          FailAt(member.line, member.column, at + " is not a u32 note field");
        if (field->derived) FailAt(member.line, member.column, at + ": the item count is set from the items");
        note.numbers[field->field] = U32(member.value, at);
      }
    }
    for (const NoteFieldInfo& entry : model::NoteFields()) {
      if (entry.type == NoteFieldInfo::U32 || !Exported(entry)) continue;
      const std::u16string key = MemberKey(entry);
      const JsonValue* found = value.Find(key);
      if (found == nullptr) continue;
      const std::string at = where + "." + Utf16ToUtf8ForDisplay(key);
      if (entry.type == NoteFieldInfo::Text) note.texts[entry.field] = String(*found, at, kMaxValueUnits);
      else note.blocks[entry.field] = Hex(*found, at, trie::kMaxValueLength);
    }
    if (const JsonValue* triggers = value.Find(u"triggers")) note.triggers = U32(*triggers, where + ".triggers");
    const JsonValue& items = *Required(value, u"items", where);
    Expect(items, JsonValue::Kind::Array, where + ".items");
    if (items.elements.size() > model::kMaxItemsPerNote)
      Fail(items, where + ".items has " + std::to_string(items.elements.size()) + " items; a note holds at most " +
                      std::to_string(model::kMaxItemsPerNote));
    std::set<std::uint32_t> ids;
    for (std::size_t i = 0; i < items.elements.size(); ++i) {
      const std::string at = where + ".items[" + std::to_string(i) + "]";
      plan.items.push_back(Item(items.elements[i], at));
      if (!ids.insert(plan.items.back().id).second)
        Fail(*items.elements[i].Find(u"id"), at + ".id: item " + std::to_string(plan.items.back().id) +
                                                 " appears twice in this note");
    }
    return plan;
  }
};

std::string RestoreFailure(const model::RestoreResult& result) {
  using model::RestoreStatus;
  switch (result.status) {
    case RestoreStatus::Ok: return "";
    case RestoreStatus::BadNoteId: return "the id belongs to a pseudo-note";
    case RestoreStatus::NoteExists: return "a note with this id exists";
    case RestoreStatus::NoteMissing: return "the note does not exist";
    case RestoreStatus::BadName: return "the name is empty or too long";
    case RestoreStatus::BadField: return "a field is not a note field of its type";
    case RestoreStatus::BadItemId: return "item id 0";
    case RestoreStatus::ItemExists: return "the item id is in use";
    case RestoreStatus::NoteFull: return "the note already holds " + std::to_string(model::kMaxItemsPerNote) + " items";
    case RestoreStatus::NoTitle: return "the item has no title";
    case RestoreStatus::IconPathTooLong: return "the icon path is longer than 2048 bytes";
    case RestoreStatus::StoreFailed: return "store error " + std::to_string(result.storeCode);
  }
  return "unknown failure";
}

// Writes the plan through the model, which keeps note and item ids and
// keeps the counters, markers, counts and order entries as its own
// operations do; returns an empty string or what failed.
std::string WritePlan(Ku& db, const ImportPlan& plan, std::ostream& err) {
  // All ids first, so that a note created meanwhile cannot take an
  // imported one; the counter never goes down.
  std::uint32_t highest = 0;
  for (const NotePlan& note : plan.notes) highest = std::max(highest, note.note.id);
  if (const int rc = model::ReserveNoteIds(db, highest); rc != 0)
    return "cannot store the note id counter (store error " + std::to_string(rc) + ")";
  for (const auto& [name, block] : plan.schemes)
    if (const int rc = model::WriteScheme(db, name, block); rc != 0)
      return "cannot store the scheme \"" + Utf16ToUtf8ForDisplay(name) + "\" (store error " + std::to_string(rc) + ")";
  if (!plan.defaultScheme.empty())
    if (const int rc = model::PutNoteText(db, model::kDefaultSchemeNote, kSchemeName, plan.defaultScheme); rc != 0)
      return "cannot store the default scheme name (store error " + std::to_string(rc) + ")";
  if (!plan.customColours.empty())
    if (const int rc = model::PutNoteBytes(db, model::kCustomColoursNote, kCustomColours, plan.customColours.data(),
                                           static_cast<std::uint32_t>(plan.customColours.size()));
        rc != 0)
      return "cannot store the custom colours (store error " + std::to_string(rc) + ")";
  StderrMessages notifier(err);
  model::ItemSyncHooks sync;
  model::AppMutex appMutex;
  model::ItemOperations ops(db, notifier, sync, appMutex);
  for (const NotePlan& note : plan.notes) {
    const std::string where = "note " + std::to_string(note.note.id);
    if (const model::RestoreResult r = model::RestoreNote(db, note.note); !r.ok())
      return "cannot restore " + where + ": " + RestoreFailure(r);
    for (const model::ItemRecord& item : note.items)
      if (const model::RestoreResult r = ops.RestoreItem(note.note.id, item); !r.ok())
        return "cannot restore item " + std::to_string(item.id) + " of " + where + ": " + RestoreFailure(r);
  }
  return {};
}

int RunImport(CommandContext& context, CommandArgs) {
  std::string document;
  char chunk[1 << 16];
  while (context.in.read(chunk, sizeof chunk) || context.in.gcount() > 0) {
    document.append(chunk, static_cast<std::size_t>(context.in.gcount()));
    if (document.size() > kMaxDocumentBytes)
      return ReportError(context, "the document is larger than " + std::to_string(kMaxDocumentBytes >> 20) +
                                      " MiB; nothing was imported");
  }
  if (context.in.bad()) return ReportError(context, "cannot read standard input; nothing was imported");

  JsonError jsonError;
  const auto root = ParseJson(document, JsonLimits{}, &jsonError);
  if (!root)
    return ReportError(context, "not a valid document: line " + std::to_string(jsonError.line) + ", column " +
                                    std::to_string(jsonError.column) + " (byte " + std::to_string(jsonError.offset) +
                                    "): " + jsonError.message + "; nothing was imported");
  ImportPlan plan;
  try {
    plan = Checker().Plan(*root);
  } catch (const DocumentFault& fault) {
    return ReportError(context, fault.message + "; nothing was imported");
  }

  if (const int rc = OpenDatabase(context); rc != kExitOk) return rc;
  Ku& db = *context.db;
  if (const std::size_t existing = model::ListNotes(db).size(); existing != 0)
    return ReportError(context, "the database already has " + std::to_string(existing) +
                                    (existing == 1 ? " note" : " notes") +
                                    "; import only fills a database without notes; nothing was imported");
  const std::string failure = WritePlan(db, plan, context.err);
  if (!failure.empty()) return ReportError(context, failure + "; the import stopped part way");
  std::size_t items = 0;
  for (const NotePlan& note : plan.notes) items += note.items.size();
  context.out << "imported " << plan.notes.size() << " notes, " << items << " items, " << plan.schemes.size()
              << " schemes\n";
  return kExitOk;
}

constexpr CommandSpec kTransferCommands[] = {
    {"export", "",
     "Writes every note with its fields, texts, own\n"
     "appearance block, triggers and items, the schemes,\n"
     "the default scheme name and the custom colours to\n"
     "standard output as JSON.  Texts are written as\n"
     "stored; encrypted contents stay encrypted.  The\n"
     "password record, icon cache, backup settings,\n"
     "server address, hotkeys and sync state are not\n"
     "exported.",
     0, 0, DatabaseAccess::ReadOnly, &RunExport},
    {"import", "",
     "Reads an export from standard input into a database\n"
     "without notes, keeping note and item ids.  The whole\n"
     "document is checked first: a faulty one is refused\n"
     "with its line and column, and nothing is written.",
     0, 0, DatabaseAccess::ReadWrite, &RunImport},
};

}  // namespace

std::span<const CommandSpec> TransferCommands() { return kTransferCommands; }

}  // namespace vellumo::dbtool
