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
#include <map>
#include <ostream>
#include <set>

#include "db_tool_internal.h"
#include "json.h"
#include "model/appearance.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "model_support.h"
#include "store/ku.h"
#include "store/trie_format.h"
#include "text_utf8.h"

namespace vellumo::dbtool {

namespace {

using Bytes = std::vector<std::uint8_t>;
using model::note_field::kCustomColours;
using model::note_field::kItemCount;
using model::note_field::kItemIdCounter;
using model::note_field::kOwnAppearance;
using model::note_field::kSchemeName;
using model::note_field::kSyncId;
using model::note_field::kSyncPassword;

constexpr std::u16string_view kFormatName = u"vellumo-db export";
constexpr std::uint64_t kFormatVersion = 1;
// Far above any real database (4096 items of 30784 characters in each of a
// few hundred notes would be ~30 GB, which no one exports through a pipe);
// the bound keeps a runaway input from exhausting memory.
constexpr std::size_t kMaxDocumentBytes = std::size_t{512} << 20;
constexpr std::size_t kMaxValueUnits = trie::kMaxValueLength / 2;

// The texts a note carries besides its name, by JSON key.
struct TextField {
  std::u16string_view key;
  std::uint8_t field;
};
constexpr TextField kTextFields[] = {{u"syncId", kSyncId}, {u"syncPassword", kSyncPassword}, {u"schemeName", kSchemeName}};

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

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
    return model::TextFromBytes(bytes);
  }

  JsonValue Schemes() {
    struct Walk {
      std::vector<Bytes> keys;
    } walk;
    db.Scan(model::Key{model::kSchemeKind}, 2, trie::kMaxKeyLength,
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
      schemes.Add(model::TextFromBytes(name), HexValue(value));
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
    for (const NoteFieldName& entry : U32NoteFieldNames()) {
      // The count follows from the items; import sets it.
      if (entry.field == kItemCount) continue;
      const Bytes value = ReadValue(db, model::NoteFieldKey(note, entry.field));
      if (value.size() == 4) fields.Add(Ascii(entry.name), JsonValue::Number(LoadU32LE(value.data())));
    }
    if (!fields.members.empty()) out.Add(u"fields", std::move(fields));
    for (const TextField& text : kTextFields) {
      const Bytes value = ReadValue(db, model::NoteFieldKey(note, text.field));
      if (!value.empty()) out.Add(text.key, JsonValue::String(Text(value, where)));
    }
    const Bytes own = ReadValue(db, model::NoteFieldKey(note, kOwnAppearance));
    if (!own.empty()) out.Add(u"ownAppearance", HexValue(own));
    const Bytes triggers = ReadValue(db, model::NoteMetaKey(model::kMetaTriggers, note));
    if (triggers.size() == 4) out.Add(u"triggers", JsonValue::Number(LoadU32LE(triggers.data())));
    JsonValue items = JsonValue::Array();
    for (const std::uint32_t item : OrderedItemIds(db, note)) items.elements.push_back(Item(note, item));
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

struct ItemPlan {
  std::uint32_t id = 0;
  std::u16string title;
  std::u16string content;
  std::optional<std::uint32_t> iconIndex;
  std::u16string iconPath;
};

struct NotePlan {
  std::uint32_t id = 0;
  std::u16string name;
  std::map<std::uint8_t, std::uint32_t> fields;
  std::map<std::uint8_t, std::u16string> texts;
  Bytes ownAppearance;
  std::uint32_t triggers = 0;
  std::vector<ItemPlan> items;
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
    Keys(root, "the document", {u"format", u"version", u"schemes", u"defaultScheme", u"customColours", u"notes"});
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
      if (!ids.insert(plan.notes.back().id).second)
        Fail(*note.Find(u"id"), "notes[" + std::to_string(i) + "].id: note " + std::to_string(plan.notes.back().id) +
                                    " appears twice");
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
  static void Keys(const JsonValue& object, const std::string& where, std::initializer_list<std::u16string_view> known) {
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

  static ItemPlan Item(const JsonValue& value, const std::string& where) {
    Expect(value, JsonValue::Kind::Object, where);
    Keys(value, where, {u"id", u"title", u"content", u"iconIndex", u"iconPath"});
    ItemPlan item;
    item.id = Id(value, where, 1, 0xFFFFFFFFu);
    item.title = String(*Required(value, u"title", where), where + ".title", kMaxValueUnits);
    item.content = String(*Required(value, u"content", where), where + ".content", kMaxValueUnits);
    if (const JsonValue* index = value.Find(u"iconIndex")) item.iconIndex = U32(*index, where + ".iconIndex");
    if (const JsonValue* path = value.Find(u"iconPath"))
      item.iconPath = String(*path, where + ".iconPath", model::kMaxIconPathBytes / 2);
    return item;
  }

  static NotePlan Note(const JsonValue& value, const std::string& where) {
    Expect(value, JsonValue::Kind::Object, where);
    Keys(value, where,
         {u"id", u"name", u"fields", u"syncId", u"syncPassword", u"schemeName", u"ownAppearance", u"triggers",
          u"items"});
    NotePlan note;
    // 0 and 0xFFFFFFFF hold global settings, never a note.
    note.id = Id(value, where, 1, 0xFFFFFFFEu);
    const JsonValue& name = *Required(value, u"name", where);
    note.name = String(name, where + ".name", model::kMaxNoteNameChars);
    if (note.name.empty()) Fail(name, where + ".name must not be empty: the name is what makes a note exist");
    if (const JsonValue* fields = value.Find(u"fields")) {
      Expect(*fields, JsonValue::Kind::Object, where + ".fields");
      for (const JsonMember& member : fields->members) {
        const std::string at = where + ".fields." + Utf16ToUtf8ForDisplay(member.key);
        const auto field = U32NoteFieldByName(member.key);
        if (!field) FailAt(member.line, member.column, at + " is not a u32 note field");
        if (*field == kItemCount)
          FailAt(member.line, member.column, at + ": the item count is set from the items");
        note.fields[*field] = U32(member.value, at);
      }
    }
    for (const TextField& text : kTextFields)
      if (const JsonValue* found = value.Find(text.key))
        note.texts[text.field] = String(*found, where + "." + Utf16ToUtf8ForDisplay(text.key), kMaxValueUnits);
    if (const JsonValue* own = value.Find(u"ownAppearance"))
      note.ownAppearance = Hex(*own, where + ".ownAppearance", trie::kMaxValueLength);
    if (const JsonValue* triggers = value.Find(u"triggers")) note.triggers = U32(*triggers, where + ".triggers");
    const JsonValue& items = *Required(value, u"items", where);
    Expect(items, JsonValue::Kind::Array, where + ".items");
    if (items.elements.size() > model::kMaxItemsPerNote)
      Fail(items, where + ".items has " + std::to_string(items.elements.size()) + " items; a note holds at most " +
                      std::to_string(model::kMaxItemsPerNote));
    std::set<std::uint32_t> ids;
    for (std::size_t i = 0; i < items.elements.size(); ++i) {
      const std::string at = where + ".items[" + std::to_string(i) + "]";
      note.items.push_back(Item(items.elements[i], at));
      if (!ids.insert(note.items.back().id).second)
        Fail(*items.elements[i].Find(u"id"), at + ".id: item " + std::to_string(note.items.back().id) +
                                                 " appears twice in this note");
    }
    return note;
  }
};

// Writes the plan; returns an empty string or what failed.  Records are
// written directly (not through CreateNote/CreateItem) because those issue
// new ids.
class Writer {
 public:
  explicit Writer(Ku& db) : db_(db) {}

  std::string Write(const ImportPlan& plan) {
    // The counter first, so that a note created meanwhile cannot take an
    // imported id; it never goes down, or ids could be issued twice.
    std::uint32_t highest = 0;
    for (const NotePlan& note : plan.notes) highest = std::max(highest, note.id);
    const Bytes counter = ReadValue(db_, model::NoteIdCounterKey());
    if (counter.size() == 4) highest = std::max(highest, LoadU32LE(counter.data()));
    if (highest != 0) PutU32(model::NoteIdCounterKey(), highest);
    for (const auto& [name, block] : plan.schemes) {
      model::Key key{model::kSchemeKind};
      const Bytes nameBytes = model::TextBytes(name);
      key.insert(key.end(), nameBytes.begin(), nameBytes.end());
      Put(key, block);
    }
    Put(model::NoteFieldKey(model::kDefaultSchemeNote, kSchemeName), model::TextBytes(plan.defaultScheme));
    Put(model::NoteFieldKey(model::kCustomColoursNote, kCustomColours), plan.customColours);
    for (const NotePlan& note : plan.notes) WriteNote(note);
    return error_;
  }

 private:
  Ku& db_;
  std::string error_;

  // Empty values are not written: an empty value means absent, and the
  // database has nothing to clear.
  void Put(const model::Key& key, const Bytes& value) {
    if (!error_.empty() || value.empty()) return;
    if (const int rc = db_.Put(key, value.data(), static_cast<std::uint32_t>(value.size())); rc != 0)
      error_ = "cannot store key " + FormatHex(key.data(), key.size()) + " (store error " + std::to_string(rc) + ")";
  }
  void PutU32(const model::Key& key, std::uint32_t value) {
    Bytes raw(4);
    StoreU32LE(raw.data(), value);
    Put(key, raw);
  }

  void WriteNote(const NotePlan& note) {
    using namespace model::item_field;
    Put(model::NoteMetaKey(model::kMetaName, note.id), model::TextBytes(note.name));
    for (const auto& [field, value] : note.fields) PutU32(model::NoteFieldKey(note.id, field), value);
    for (const auto& [field, text] : note.texts) Put(model::NoteFieldKey(note.id, field), model::TextBytes(text));
    Put(model::NoteFieldKey(note.id, kOwnAppearance), note.ownAppearance);
    if (note.triggers != 0) PutU32(model::NoteMetaKey(model::kMetaTriggers, note.id), note.triggers);
    std::uint32_t highestItem = 0;
    for (const ItemPlan& item : note.items) {
      Put(model::ItemMarkerKey(note.id, item.id), Bytes{0});
      Put(model::ItemFieldKey(note.id, kTitle, item.id), model::TextBytes(item.title));
      Put(model::ItemFieldKey(note.id, kContent, item.id), model::TextBytes(item.content));
      if (item.iconIndex) PutU32(model::ItemFieldKey(note.id, kIconIndex, item.id), *item.iconIndex);
      Put(model::ItemFieldKey(note.id, kIconPath, item.id), model::TextBytes(item.iconPath));
      if (error_.empty())
        if (const int rc = model::SetOrderEntry(db_, note.id, item.id, item.title); rc != 0)
          error_ = "cannot store the order entry of item " + std::to_string(item.id) + " of note " +
                   std::to_string(note.id) + " (store error " + std::to_string(rc) + ")";
      highestItem = std::max(highestItem, item.id);
    }
    // A stored counter is kept as it was (it may be above every live id);
    // without one, the next item must still get a fresh id.
    if (!note.fields.contains(kItemIdCounter) && highestItem != 0)
      PutU32(model::NoteFieldKey(note.id, kItemIdCounter), highestItem);
    if (!note.items.empty())
      PutU32(model::NoteFieldKey(note.id, kItemCount), static_cast<std::uint32_t>(note.items.size()));
  }
};

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
  const std::string failure = Writer(db).Write(plan);
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
