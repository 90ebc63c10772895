// The note, item and appearance commands, and export/import: a round trip
// through JSON must give the same document again, and a faulty document
// must leave the database exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "db_tool.h"
#include "model/appearance.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo::dbtool {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

struct RunResult {
  int code;
  std::string out;
  std::string err;
};

std::string PathUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class RecordingNotifier : public model::ModelNotifier {
 public:
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};

class ModelCommandsTest : public ::testing::Test {
 protected:
  vellumo::testing::TempDir dir;

  fs::path Ku(const std::string& name) const { return dir / (name + "-00000001.ku"); }

  RunResult RunOn(const fs::path& ku, std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--db", PathUtf8(ku)});
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = RunDbTool(args, in, out, err);
    return {code, out.str(), err.str()};
  }
  RunResult Run(std::vector<std::string> args, const std::string& input = "") {
    return RunOn(Ku("main"), std::move(args), input);
  }
  std::string Scan(const fs::path& ku) {
    const RunResult r = RunOn(ku, {"scan"});
    EXPECT_EQ(r.code, kExitOk) << r.err;
    return r.out;
  }
  // Opens a database for writing records the commands do not reach.
  template <typename F>
  void WithDb(const fs::path& ku, F&& body) {
    vellumo::Ku db;
    const OpenResult opened = db.OpenFiles(ku, fs::path(ku).replace_extension(".hs"));
    ASSERT_TRUE(opened == OpenResult::Opened || opened == OpenResult::Created);
    body(db);
  }
};

// One database, commands in order: each step sees what the ones before did.
TEST_F(ModelCommandsTest, NoteAndItemCommandsInSequence) {
  struct Step {
    std::vector<std::string> args;
    int code;
    std::string out;
    std::string err;  // a part of standard error; checked only when not empty
  } steps[] = {
      {{"note-create"}, 0, "1\n", ""},
      {{"note-create", "!私人"}, 0, "2\n", ""},
      {{"note-create", "工作"}, 0, "3\n", ""},
      {{"item-create", "1", "b", "line1\nline2\ttab\\"}, 0, "1\n", ""},
      {{"item-create", "1", "A", "z\r\x01"}, 0, "2\n", ""},
      // Without a title the first 32 characters of the content stand in.
      {{"item-create", "1", "", "a content longer than thirty-two characters"}, 0, "3\n", ""},
      // List order is by folded title ("a" < "a c..." < "b"), not by id.
      {{"items", "1"},
       0,
       "2\tA\tz\\r\\x01\n"
       "3\ta content longer than thirty-two\ta content longer than thirty-two characters\n"
       "1\tb\tline1\\nline2\\ttab\\\\\n",
       ""},
      {{"notes"}, 0, "1\t便利贴（1）\t3\tvisible\n2\t!私人\t0\thidden\n3\t工作\t0\tvisible\n", ""},
      {{"item-update", "1", "1", "0 first", "new"}, 0, "", ""},
      {{"items", "1"}, 0, "1\t0 first\tnew\n2\tA\tz\\r\\x01\n3\ta content longer than thirty-two\ta content longer than thirty-two characters\n", ""},
      {{"item-update", "1", "9", "x", "y"}, 3, "", "vellumo-db: note 1 has no item 9\n"},
      {{"item-update", "1", "1", "", "y"}, 3, "", "the title must not be empty"},
      {{"item-delete", "1", "2"}, 0, "", ""},
      {{"item-delete", "1", "2"}, 3, "", "note 1 has no item 2"},
      {{"items", "1"}, 0, "1\t0 first\tnew\n3\ta content longer than thirty-two\ta content longer than thirty-two characters\n", ""},
      {{"note-rename", "3", "改名"}, 0, "", ""},
      {{"note-rename", "3", ""}, 3, "", "the name must not be empty"},
      {{"note-rename", "7", "x"}, 3, "", "vellumo-db: there is no note 7\n"},
      {{"item-create", "7", "t", "c"}, 3, "", "vellumo-db: there is no note 7\n"},
      {{"items", "0"}, 3, "", "there is no note 0"},
      {{"appearance", "4294967295"}, 3, "", "there is no note 4294967295"},
      {{"note-delete", "x1"}, 3, "", "NOTE must be a number"},
      {{"item-create", "1", "", ""}, 3, "", "an item needs a title or a content"},
      // Overlong form, an encoded surrogate, a sequence cut short.
      {{"item-create", "1", "\xC0\x80", ""}, 3, "", "the title is not valid UTF-8 (byte 1)"},
      {{"item-create", "1", "ok", "\xED\xA0\x80"}, 3, "", "the content is not valid UTF-8 (byte 1)"},
      {{"item-create", "1", "ok", "ab\xE4\xB8"}, 3, "", "the content is not valid UTF-8 (byte 3)"},
      {{"item-create", "1", std::string(5001, 'x'), "c"}, 3, "", "the title is 5001 UTF-16 units long; at most 5000"},
      {{"note-set", "2", "WindowX", "0x10"}, 0, "", ""},
      {{"note-set", "2", "10", "4294967295"}, 0, "", ""},
      {{"note-set", "2", "triggers", "0x3010"}, 0, "", ""},
      {{"get", "010200000009"}, 0, "10000000\n", ""},
      {{"get", "01020000000a"}, 0, "ffffffff\n", ""},
      {{"get", "040102000000"}, 0, "10300000\n", ""},
      {{"note-set", "2", "triggers", "0"}, 0, "", ""},
      {{"get", "040102000000"}, 1, "", ""},
      {{"note-set", "2", "8", "1"}, 3, "", "FIELD must be 'triggers' or a u32 note field, not '8'"},
      {{"note-set", "2", "SyncId", "1"}, 3, "", "WindowX (9)"},
      {{"note-set", "2", "WindowX", "4294967296"}, 3, "", "VALUE must be a number from 0 to 4294967295"},
      {{"note-set", "2", "WindowX", "0x"}, 3, "", "VALUE must be a number"},
      {{"note-clear", "1"}, 0, "", ""},
      {{"items", "1"}, 0, "", ""},
      // Clearing resets the numbering.
      {{"item-create", "1", "again", "c"}, 0, "1\n", ""},
      {{"note-delete", "2"}, 0, "", ""},
      {{"note-delete", "2"}, 3, "", "there is no note 2"},
      {{"notes"}, 0, "1\t便利贴（1）\t1\tvisible\n3\t改名\t0\tvisible\n", ""},
      {{"note-create"}, 0, "4\n", ""},
      // The model's own message, word for word, and nothing stored.
      {{"note-set", "1", "ItemCount", "4096"}, 0, "", ""},
      {{"item-create", "1", "t", "c"}, 3, "", "vellumo-db: 创建项目失败: 当前便利贴项目数量已达到最大限制！\n"},
      {{"items", "1"}, 0, "1\tagain\tc\n", ""},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(::testing::PrintToString(step.args));
    const RunResult r = Run(step.args);
    EXPECT_EQ(r.code, step.code) << r.err;
    EXPECT_EQ(r.out, step.out);
    if (!step.err.empty()) {
      EXPECT_NE(r.err.find(step.err), std::string::npos) << r.err;
    }
  }
  EXPECT_EQ(Run({"check"}).code, kExitOk);
}

// Each setup makes a different rule of the resolution win.
TEST_F(ModelCommandsTest, AppearanceNamesItsSourceAndShowsTheClampedBlock) {
  model::AppearanceBlock own;
  own.SetU16(model::AppearanceBlock::kItemWidth, 4);  // below the clamp
  own.SetU32(model::AppearanceBlock::kTitleColor, 0x123456);
  own.SetFontFace(model::AppearanceBlock::kTitleFontFace, u"宋体");
  model::AppearanceBlock scheme;
  scheme.SetU16(model::AppearanceBlock::kIconSize, 600);
  scheme.SetU32(model::AppearanceBlock::kBehaviourFlags, 0x85);
  struct Case {
    const char* name;
    bool ownBlock, noteScheme, defaultScheme;
    std::vector<std::string> lines;
  } cases[] = {
      {"legacy", false, false, false,
       {"source: legacy\n", "\nTitleBarHeight: 18\n", "\nItemWidth: 160\n", "\nBehaviourFlags: 0x00000001\n",
        "\nTitleColor: 0xDBCDBF\n", "\nFocusedAlpha: 255\n", "\nTitleFontFace: \n"}},
      {"own", true, false, true,
       {"source: own block\n", "\nItemWidth: 8\n", "\nTitleColor: 0x123456\n", "\nTitleFontFace: 宋体\n",
        "\nFocusedAlpha: 1\n", "\nIconFontSize: 4\n"}},
      {"note scheme", true, true, true,
       {"source: note scheme '深色'\n", "\nIconSize: 512\n", "\nBehaviourFlags: 0x00000085\n"}},
      {"default scheme", false, false, true, {"source: default scheme '深色'\n", "\nIconSize: 512\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path ku = Ku(c.name);
    WithDb(ku, [&](vellumo::Ku& db) {
      ASSERT_EQ(model::CreateNote(db), 1u);
      ASSERT_EQ(model::WriteScheme(db, u"深色", scheme.bytes), 0);
      if (c.ownBlock) {
        ASSERT_EQ(model::PutNoteBytes(db, 1, model::note_field::kOwnAppearance, own.bytes.data(), 192), 0);
      }
      if (c.noteScheme) {
        ASSERT_EQ(model::PutNoteText(db, 1, model::note_field::kSchemeName, u"深色"), 0);
      }
      if (c.defaultScheme) {
        ASSERT_EQ(model::PutNoteText(db, model::kDefaultSchemeNote, model::note_field::kSchemeName, u"深色"), 0);
      }
    });
    const RunResult r = RunOn(ku, {"appearance", "1"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind(c.lines[0], 0), 0u) << r.out;
    for (const std::string& line : c.lines) EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    // One line per field after the source line.
    EXPECT_EQ(static_cast<std::size_t>(std::count(r.out.begin(), r.out.end(), '\n')),
              model::AppearanceFields().size() + 1);
  }
}

// Looking at a note that needs repairs changes nothing; check --repair makes
// the repairs, and the export leaves out what the program would not show.
TEST_F(ModelCommandsTest, OnlyCheckRepairWritesTheRepairs) {
  WithDb(Ku("main"), [](vellumo::Ku& db) {
    RecordingNotifier notifier;
    model::ItemSyncHooks sync;
    model::AppMutex mutex;
    model::ItemOperations ops(db, notifier, sync, mutex);
    ASSERT_EQ(model::CreateNote(db, u"一"), 1u);
    ASSERT_EQ(model::CreateNote(db, u"二"), 2u);
    for (const char16_t* title : {u"a", u"ghost", u"c"}) ASSERT_NE(ops.CreateItem(1, title, u"x", false), 0u);
    ASSERT_NE(ops.CreateItem(2, u"fine", u"x", false), 0u);
    // Item 2 lost its title in an interrupted deletion; note 2's count is off.
    ASSERT_EQ(db.Put(model::ItemFieldKey(1, model::item_field::kTitle, 2), nullptr, 0), 0);
    ASSERT_EQ(model::PutNoteU32(db, 2, model::note_field::kItemCount, 5), 0);
  });
  const std::string before = Scan(Ku("main"));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"items", "1"}, {"notes"}, {"appearance", "1"}, {"check"}})
    EXPECT_EQ(Run(args).code, kExitOk) << ::testing::PrintToString(args);
  const RunResult exported = Run({"export"});
  ASSERT_EQ(exported.code, kExitOk);
  EXPECT_EQ(Scan(Ku("main")), before) << "reading and checking write nothing";
  EXPECT_NE(exported.err.find("note 1 has an order entry for item 2, which has no title; it is not exported"),
            std::string::npos)
      << exported.err;
  EXPECT_EQ(exported.out.find("ghost"), std::string::npos);
  EXPECT_EQ(RunOn(Ku("copy"), {"import"}, exported.out).out, "imported 2 notes, 3 items, 0 schemes\n");

  EXPECT_EQ(Run({"check", "--fix"}).code, kExitError);
  const RunResult repaired = Run({"check", "--repair"});
  EXPECT_EQ(repaired.code, kExitOk) << repaired.err;
  EXPECT_EQ(repaired.out.substr(repaired.out.find('\n') + 1),
            "repaired note 1: 1 order entry of items without a title removed; item count 3 -> 2\n"
            "repaired note 2: item count 5 -> 1\n");
  EXPECT_EQ(Run({"items", "1"}).out, "1\ta\tx\n3\tc\tx\n");
  EXPECT_EQ(Run({"get", "010200000011"}).out, "01000000\n");
  const RunResult again = Run({"check", "--repair"});
  EXPECT_NE(again.out.find("\nno note needed a repair\n"), std::string::npos) << again.out;
}

// A database with every kind of record the export carries, including texts
// that are not valid UTF-16 and a binary-looking encrypted content.
class TransferTest : public ModelCommandsTest {
 protected:
  std::u16string longTitle;
  std::u16string encrypted;
  std::uint32_t secretItem = 0;

  void BuildFixture(const fs::path& ku) {
    for (int i = 0; i < 5000; ++i) longTitle.push_back(i % 3 == 0 ? u'长' : static_cast<char16_t>(u'a' + i % 26));
    encrypted = u"<K>";
    for (const int unit : {0x0000, 0xD800, 0xFFFF, 0xDFFF, 0x0001, 0x005C, 0x0022, 0xDBFF, 0xDC00, 0xFEFF,
                           0x007F, 0x000A})
      encrypted.push_back(static_cast<char16_t>(unit));
    WithDb(ku, [&](vellumo::Ku& db) {
      RecordingNotifier notifier;
      model::ItemSyncHooks sync;
      model::AppMutex mutex;
      model::ItemOperations ops(db, notifier, sync, mutex);
      ASSERT_EQ(model::CreateNote(db, u"工作"), 1u);
      ASSERT_EQ(ops.CreateItem(1, u"标题一", u"第一行\r\n第二行\t\"引号\"\\", false), 1u);
      ASSERT_EQ(ops.CreateItem(1, longTitle, u"<run>C:\\Tools\\App.exe|-x", false), 2u);
      ASSERT_EQ(ops.CreateItem(1, u"lone \xD800 high", u"\xDC00 low at the start, pair \xD83D\xDE00", false), 3u);
      secretItem = ops.CreateItem(1, u"secret", encrypted, false);
      ASSERT_EQ(secretItem, 4u);
      ASSERT_EQ(ops.CreateItem(1, u"gone", u"deleted", false), 5u);
      ASSERT_EQ(ops.DeleteItem(1, 5, false), 0);  // ItemIdCounter stays 5
      ASSERT_EQ(model::PutItemIconPath(db, 1, 1, u"C:\\图标\\a.ico"), 0);
      ASSERT_EQ(model::PutItemIconIndex(db, 1, 1, 7), 0);
      ASSERT_EQ(model::PutItemIconIndex(db, 1, 3, 0), 0);

      ASSERT_EQ(model::CreateNote(db, u"!隐藏"), 2u);
      model::AppearanceBlock own;
      for (std::size_t i = 0; i < own.bytes.size(); ++i) own.bytes[i] = static_cast<std::uint8_t>(i * 7);
      ASSERT_EQ(model::PutNoteBytes(db, 2, model::note_field::kOwnAppearance, own.bytes.data(), 192), 0);
      ASSERT_EQ(model::PutNoteTriggers(db, 2, 0x3010), 0);
      ASSERT_EQ(model::PutNoteU32(db, 2, model::note_field::kWindowX, 0xFFFFFF9Cu), 0);
      ASSERT_EQ(model::PutNoteU32(db, 2, model::note_field::kHotkey, 0x0241), 0);
      ASSERT_EQ(model::PutNoteText(db, 2, model::note_field::kSyncId, u"同步id"), 0);
      ASSERT_EQ(model::PutNoteText(db, 2, model::note_field::kSyncPassword, u"p\xDBFF"), 0);
      ASSERT_EQ(ops.CreateItem(2, u">工作", u"<open>1", false), 1u);

      ASSERT_EQ(model::CreateNote(db), 3u);
      ASSERT_EQ(model::PutNoteText(db, 3, model::note_field::kSchemeName, u"深色"), 0);
      ASSERT_EQ(model::CreateNote(db, u"deleted"), 4u);
      model::DeleteNote(db, 4);

      model::AppearanceBlock scheme;
      scheme.SetU16(model::AppearanceBlock::kItemWidth, 200);
      ASSERT_EQ(model::WriteScheme(db, u"深色", scheme.bytes), 0);
      ASSERT_EQ(model::WriteScheme(db, u"Light", std::vector<std::uint8_t>{1, 2, 3}), 0);
      ASSERT_EQ(model::PutNoteText(db, model::kDefaultSchemeNote, model::note_field::kSchemeName, u"Light"), 0);
      std::uint8_t colours[64];
      for (int i = 0; i < 64; ++i) colours[i] = static_cast<std::uint8_t>(255 - i);
      ASSERT_EQ(model::PutNoteBytes(db, model::kCustomColoursNote, model::note_field::kCustomColours, colours, 64), 0);
    });
  }
};

TEST_F(TransferTest, ExportImportExportGivesTheSameDocumentAndTheSameRecords) {
  BuildFixture(Ku("source"));
  const RunResult first = RunOn(Ku("source"), {"export"});
  ASSERT_EQ(first.code, kExitOk) << first.err;
  EXPECT_EQ(first.err, "");
  for (const std::string part :
       {"\"title\": \"lone \\uD800 high\"", "\"content\": \"\\uDC00 low at the start, pair \xF0\x9F\x98\x80\"",
        "\"content\": \"<K>\\u0000\\uD800\xEF\xBF\xBF\\uDFFF\\u0001\\\\\\\"\xF4\x8F\xB0\x80\xEF\xBB\xBF", "\"name\": \"!隐藏\"",
        "\"syncPassword\": \"p\\uDBFF\"", "\"triggers\": 12304", "\"WindowX\": 4294967196",
        "\"ItemIdCounter\": 5", "\"iconPath\": \"C:\\\\图标\\\\a.ico\"", "\"iconIndex\": 7",
        "\"defaultScheme\": \"Light\"", "\"Light\": \"010203\"", "\"customColours\": \"fffefdfc",
        "\"content\": \"第一行\\r\\n第二行\\t\\\"引号\\\"\\\\\""})
    EXPECT_NE(first.out.find(part), std::string::npos) << part;
  EXPECT_EQ(first.out.find("deleted"), std::string::npos);
  EXPECT_EQ(first.out.find("ItemCount"), std::string::npos);

  const RunResult imported = RunOn(Ku("copy"), {"import"}, first.out);
  ASSERT_EQ(imported.code, kExitOk) << imported.err;
  EXPECT_EQ(imported.out, "imported 3 notes, 5 items, 2 schemes\n");
  const RunResult second = RunOn(Ku("copy"), {"export"});
  ASSERT_EQ(second.code, kExitOk) << second.err;
  EXPECT_EQ(second.out, first.out);

  // The records themselves, not only their JSON form: the encrypted bytes,
  // the order index, the counts the model keeps.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"get", "02010000000204000000"}, {"scan", "0301000000"}, {"scan", "0302000000"}, {"notes"},
           {"get", "010100000011"}, {"get", "010200000011"}, {"get", "0b" "4c00690067006800740000"}})
    EXPECT_EQ(RunOn(Ku("copy"), args).out, RunOn(Ku("source"), args).out) << ::testing::PrintToString(args);
  EXPECT_EQ(RunOn(Ku("copy"), {"check"}).code, kExitOk);
  // Numbering carries on where it was: item ids after the deleted 5, note
  // ids after the highest imported one.
  EXPECT_EQ(RunOn(Ku("copy"), {"item-create", "1", "next", "x"}).out, "6\n");
  EXPECT_EQ(RunOn(Ku("copy"), {"note-create"}).out, "4\n");
}

TEST_F(TransferTest, ImportRefusesADatabaseThatHasNotes) {
  BuildFixture(Ku("source"));
  const std::string document = RunOn(Ku("source"), {"export"}).out;
  ASSERT_EQ(Run({"note-create", "mine"}).code, kExitOk);
  const std::string before = Scan(Ku("main"));
  const RunResult r = Run({"import"}, document);
  EXPECT_EQ(r.code, kExitError);
  EXPECT_NE(r.err.find("the database already has 1 note; import only fills a database without notes"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Scan(Ku("main")), before);
}

constexpr char kSmallDocument[] = R"({
  "format": "vellumo-db export",
  "version": 1,
  "schemes": {"S": "0102"},
  "notes": [
    {"id": 1, "name": "一", "fields": {"WindowX": 5}, "items": [{"id": 1, "title": "t", "content": "c"}]},
    {"id": 2, "name": "二", "items": []}
  ]
}
)";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

TEST_F(TransferTest, FaultyDocumentsAreRefusedWithTheirPlaceAndChangeNothing) {
  // The target holds global records but no notes, so that a partial write
  // would show in the scan.
  WithDb(Ku("main"), [](vellumo::Ku& db) {
    ASSERT_EQ(model::WriteScheme(db, u"old", std::vector<std::uint8_t>{9}), 0);
    ASSERT_EQ(model::PutNoteText(db, model::kDefaultSchemeNote, model::note_field::kSchemeName, u"old"), 0);
  });
  const std::string before = Scan(Ku("main"));
  const std::string doc = kSmallDocument;
  const std::string deep = std::string(40, '[') + std::string(40, ']');
  struct Case {
    std::string document;
    std::string errPart;
  } cases[] = {
      {"", "line 1, column 1 (byte 0): the document ends where a value was expected"},
      {"[]", "line 1, column 1: the document must be an object, not an array"},
      {doc + "x", "line 10, column 1 (byte " + std::to_string(doc.size()) + "): unexpected text after the end"},
      {doc + "{}", "unexpected text after the end"},
      {Replaced(doc, "\"id\": 1, \"name\"", "\"id\": \"1\", \"name\""), "line 6, column 12: notes[0].id must be a number, not a string"},
      {Replaced(doc, "\"name\": \"二\"", "\"name\": 2"), "notes[1].name must be a string, not a number"},
      {Replaced(doc, "\"items\": []", "\"items\": {}"), "notes[1].items must be an array"},
      {Replaced(doc, "\"title\": \"t\"", "\"title\": \"\\q\""), "line 6, column 86 (byte 177): unknown escape '\\q' in a string"},
      {Replaced(doc, "\"title\": \"t\"", "\"title\": \"\\u12G4\""), "a \\u escape needs four hexadecimal digits"},
      {Replaced(doc, "\"title\": \"t\"", "\"title\": \"a\tb\""), "a control character in a string must be written as an escape"},
      {Replaced(doc, "\"title\": \"t\"", "\"title\": \"\xC3\x28\""), "invalid UTF-8 in a string"},
      {Replaced(doc, "\"title\": \"t\"", "\"title\": \"\xED\xA0\x80\""), "invalid UTF-8 in a string"},
      {Replaced(doc, "{\"id\": 2,", "{\"id\": 1,"), "line 7, column 12: notes[1].id: note 1 appears twice"},
      {Replaced(doc, "\"items\": []", "\"items\": [{\"id\": 3, \"title\": \"a\", \"content\": \"\"}, {\"id\": 3, \"title\": \"b\", \"content\": \"\"}]"),
       "notes[1].items[1].id: item 3 appears twice in this note"},
      {Replaced(doc, "\"version\": 1,", "\"version\": 1, \"version\": 1,"), "the key \"version\" appears twice in one object"},
      {Replaced(doc, "\"version\": 1,", "\"version\": 2,"), "version 2 is not known"},
      {Replaced(doc, "vellumo-db export", "something else"), "format must be \"vellumo-db export\""},
      {Replaced(doc, "\"format\": \"vellumo-db export\",", ""), "the document lacks the key \"format\""},
      {Replaced(doc, "\"items\": []", "\"itemz\": []"), "notes[1] has an unknown key \"itemz\""},
      {Replaced(doc, "{\"id\": 2,", "{\"id\": 0,"), "notes[1].id must be from 1 to 4294967294"},
      {Replaced(doc, "{\"id\": 2,", "{\"id\": 4294967295,"), "notes[1].id must be from 1 to 4294967294"},
      {Replaced(doc, "{\"id\": 2,", "{\"id\": 4294967296,"), "must be a whole number from 0 to 4294967295, not 4294967296"},
      {Replaced(doc, "{\"id\": 2,", "{\"id\": -2,"), "not -2"},
      {Replaced(doc, "{\"id\": 2,", "{\"id\": 2.0,"), "not 2.0"},
      {Replaced(doc, "{\"id\": 2,", "{\"id\": 02,"), "a number must not have leading zeros"},
      {Replaced(doc, "[{\"id\": 1, \"title\"", "[{\"id\": 0, \"title\""), "notes[0].items[0].id must be from 1"},
      {Replaced(doc, "\"name\": \"二\"", "\"name\": \"\""), "notes[1].name must not be empty"},
      {Replaced(doc, "{\"WindowX\": 5}", "{\"ItemCount\": 5}"), "the item count is set from the items"},
      {Replaced(doc, "\"title\": \"t\"", "\"title\": \"\""), "notes[0].items[0].title must not be empty"},
      {Replaced(doc, "{\"WindowX\": 5}", "{\"SyncId\": 5}"), "notes[0].fields.SyncId is not a u32 note field"},
      {Replaced(doc, "\"0102\"", "\"010\""), "odd number of hexadecimal digits"},
      {Replaced(doc, "\"0102\"", "\"01x2\""), "bad hexadecimal digit 'x'"},
      {Replaced(doc, "\"0102\"", "\"\""), "a scheme needs at least one byte"},
      {Replaced(doc, "{\"S\":", "{\"" + std::string(91, 's') + "\":"), "a scheme name has 1 to 90 UTF-16 units"},
      {Replaced(doc, "\"notes\": [", "\"x\": " + deep + ", \"notes\": ["), "nested more than 32 deep"},
      {Replaced(doc, "\"content\": \"c\"", "\"content\": tru"), "expected 'true'"},
      {Replaced(doc, "\"content\": \"c\"", "\"content\": \"c\" \"d\""), "expected ',' or '}' after an object member"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.errPart);
    const RunResult r = Run({"import"}, c.document);
    EXPECT_EQ(r.code, kExitError);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was imported\n"), std::string::npos) << r.err;
  }
  // Every proper prefix of a document is a truncated document.
  for (std::size_t length = 0; length < doc.size() - 2; ++length) {
    const RunResult r = Run({"import"}, doc.substr(0, length));
    EXPECT_EQ(r.code, kExitError) << length;
    EXPECT_NE(r.err.find("nothing was imported"), std::string::npos) << length << ": " << r.err;
  }
  EXPECT_EQ(Scan(Ku("main")), before);

  // The same document, whole, is accepted: the refusals above were about
  // the faults, not about the document.
  const RunResult accepted = Run({"import"}, doc);
  ASSERT_EQ(accepted.code, kExitOk) << accepted.err;
  EXPECT_EQ(Run({"items", "1"}).out, "1\tt\tc\n");
  EXPECT_EQ(Run({"get", "010100000009"}).out, "05000000\n");
}

}  // namespace
}  // namespace vellumo::dbtool
