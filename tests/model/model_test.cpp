#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <thread>

#include "model/appearance.h"
#include "model/item_operations.h"
#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "store/store_check.h"
#include "support/temp_dir.h"

namespace vellumo::model {
namespace {

struct RecordingNotifier : ModelNotifier {
  std::vector<std::pair<std::u16string, std::u16string>> shown;
  std::mutex m;
  void ShowMessage(std::u16string_view text, std::u16string_view caption) override {
    std::lock_guard lock(m);
    shown.emplace_back(text, caption);
  }
};

// Hooks are called on whichever thread changed the item.
struct RecordingSync : ItemSyncHooks {
  std::vector<std::string> events;
  std::mutex m;
  void OnItemCreated(std::uint32_t n, std::uint32_t i, std::u16string_view, std::u16string_view) override {
    std::lock_guard lock(m);
    events.push_back("created " + std::to_string(n) + "/" + std::to_string(i));
  }
  void OnItemUpdated(std::uint32_t n, std::uint32_t i, std::u16string_view, std::u16string_view, std::u16string_view,
                     std::u16string_view) override {
    std::lock_guard lock(m);
    events.push_back("updated " + std::to_string(n) + "/" + std::to_string(i));
  }
  void OnItemDeleted(std::uint32_t n, std::u16string_view, std::u16string_view) override {
    std::lock_guard lock(m);
    events.push_back("deleted " + std::to_string(n));
  }
};

struct ModelDb {
  testing::TempDir dir;
  Ku db;
  RecordingNotifier notifier;
  RecordingSync sync;
  AppMutex appMutex;
  ItemOperations ops{db, notifier, sync, appMutex};
  ModelDb() { EXPECT_EQ(db.OpenFiles(dir / "m.ku", dir / "m.hs"), OpenResult::Created); }
  void ExpectCheckPasses() {
    StoreCheckReport r = CheckStore(db);
    EXPECT_TRUE(r.ok) << r.fault;
  }
  std::vector<std::u16string> Titles(std::uint32_t note) {
    std::vector<std::u16string> t;
    for (std::uint32_t id : ListItems(db, note)) t.push_back(GetItemTitle(db, note, id));
    return t;
  }
  // Every key with its value, in key order: two equal snapshots mean that
  // nothing was written in between.
  std::vector<std::pair<Key, std::vector<std::uint8_t>>> Snapshot() {
    std::vector<Key> keys;
    auto cb = [](const std::uint8_t* key, std::uint32_t length, const std::uint8_t*, void* c, Ku&) -> int {
      static_cast<std::vector<Key>*>(c)->emplace_back(key, key + length);
      return 1;
    };
    db.Scan(Key{0}, 1, 16384, cb, &keys);
    std::vector<std::pair<Key, std::vector<std::uint8_t>>> all;
    for (Key& k : keys) {
      std::vector<std::uint8_t> v;
      EXPECT_EQ(db.GetValue(k, &v), 0);
      all.emplace_back(std::move(k), std::move(v));
    }
    return all;
  }
  std::size_t CountKeys(const Key& prefix, std::uint32_t maxLength) {
    std::size_t n = 0;
    auto cb = [](const std::uint8_t*, std::uint32_t, const std::uint8_t*, void* c, Ku&) -> int {
      ++*static_cast<std::size_t*>(c);
      return 1;
    };
    db.Scan(prefix, static_cast<std::uint32_t>(prefix.size()) + 1, maxLength, cb, &n);
    return n;
  }
};

TEST(Notes, CreationNamesFieldsAndTriggers) {
  ModelDb m;
  const std::uint32_t first = CreateNote(m.db);
  EXPECT_EQ(first, 1u);
  EXPECT_EQ(GetNoteName(m.db, first), u"便利贴（1）");
  EXPECT_EQ(CreateNote(m.db, u"工作"), 2u);
  EXPECT_EQ(ListNotes(m.db), (std::vector<std::uint32_t>{1, 2}));
  EXPECT_TRUE(RenameNote(m.db, 2, u"") == 0 && GetNoteName(m.db, 2) == u"工作") << "an empty name changes nothing";
  ASSERT_EQ(RenameNote(m.db, 2, u"!秘密"), 0);
  EXPECT_TRUE(IsHiddenNoteName(GetNoteName(m.db, 2)));

  // u32 fields read their default unless exactly 4 bytes are stored.
  EXPECT_EQ(GetNoteU32(m.db, 1, note_field::kWindowWidth, 130), 130u);
  const std::uint8_t two[2] = {5, 0};
  ASSERT_EQ(m.db.Put(NoteFieldKey(1, note_field::kWindowWidth), two, 2), 0);
  EXPECT_EQ(GetNoteU32(m.db, 1, note_field::kWindowWidth, 130), 130u);
  ASSERT_EQ(PutNoteU32(m.db, 1, note_field::kWindowWidth, 300), 0);
  EXPECT_EQ(GetNoteU32(m.db, 1, note_field::kWindowWidth, 130), 300u);

  const std::uint8_t text[] = {'a', 'b', 0, 'c'};
  ASSERT_EQ(PutNoteBytes(m.db, 1, 40, text, 0), 0);
  EXPECT_EQ(GetNoteValue(m.db, 1, 40), (std::vector<std::uint8_t>{'a', 'b'})) << "length 0 stores up to the first zero";
  ASSERT_EQ(PutNoteBytes(m.db, 1, 40, nullptr, 0), 0);
  EXPECT_TRUE(GetNoteValue(m.db, 1, 40).empty());

  ASSERT_EQ(PutNoteTriggers(m.db, 1, 0x3010), 0);
  EXPECT_EQ(GetNoteTriggers(m.db, 1), 0x3010u);
  ASSERT_EQ(PutNoteTriggers(m.db, 1, 0), 0);
  std::uint32_t length = 0;
  EXPECT_NE(m.db.Get(NoteMetaKey(kMetaTriggers, 1), nullptr, &length) == 0 && length > 0, true) << "0 erases";
}

TEST(Notes, TriggerFlagsNeedEveryRequiredModifier) {
  struct Case {
    std::uint32_t flags;
    unsigned event;
    bool shift, ctrl, alt, opens;
  };
  const Case cases[] = {
      {0x3010, 5, true, true, false, true},   {0x3010, 5, true, false, false, false},
      {0x3010, 5, false, true, false, false}, {0x3010, 6, true, true, false, false},
      {0x0010, 5, true, true, true, true},    {0x8000, 16, false, false, false, true},
      {0x4001, 1, false, false, true, true},  {0x4001, 1, false, false, false, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(trigger::Opens(c.flags, c.event, c.shift, c.ctrl, c.alt), c.opens)
        << std::hex << c.flags << " event " << std::dec << c.event;
}

TEST(Appearance, ResolutionOrderAndClamps) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  AppearanceSource source;
  AppearanceBlock legacy = LoadAppearance(m.db, note, &source);
  EXPECT_EQ(source, AppearanceSource::Legacy);
  EXPECT_EQ(legacy.U16(AppearanceBlock::kTitleBarHeight), 18);
  EXPECT_EQ(legacy.U16(AppearanceBlock::kItemWidth), 160);
  EXPECT_EQ(legacy.U16(AppearanceBlock::kLayoutFlags), 3);
  EXPECT_EQ(legacy.U32(AppearanceBlock::kBehaviourFlags), behaviour_flag::kPassLookToChildren);
  EXPECT_EQ(legacy.U32(AppearanceBlock::kBackgroundColor), 0xF0F0F0u);
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kLegacyNoTitleBar, 1), 0);
  EXPECT_EQ(LoadAppearance(m.db, note).U16(AppearanceBlock::kTitleBarHeight), 0);

  // A default scheme named at the pseudo-note applies to notes without their own.
  AppearanceBlock scheme = legacy;
  scheme.SetU32(AppearanceBlock::kBackgroundColor, 0x112233);
  ASSERT_EQ(WriteScheme(m.db, u"蓝色", scheme.bytes), 0);
  ASSERT_EQ(PutNoteText(m.db, kDefaultSchemeNote, note_field::kSchemeName, u"蓝色"), 0);
  EXPECT_EQ(LoadAppearance(m.db, note, &source).U32(AppearanceBlock::kBackgroundColor), 0x112233u);
  EXPECT_EQ(source, AppearanceSource::DefaultScheme);

  AppearanceBlock own = legacy;
  own.SetU16(AppearanceBlock::kItemWidth, 4);
  own.SetU16(AppearanceBlock::kIconSize, 600);
  own.SetU16(AppearanceBlock::kFocusedAlpha, 0);
  ASSERT_EQ(PutNoteBytes(m.db, note, note_field::kOwnAppearance, own.bytes.data(), kAppearanceBlockSize), 0);
  AppearanceBlock loaded = LoadAppearance(m.db, note, &source);
  EXPECT_EQ(source, AppearanceSource::OwnBlock);
  EXPECT_EQ(loaded.U16(AppearanceBlock::kItemWidth), 8);
  EXPECT_EQ(loaded.U16(AppearanceBlock::kIconSize), 512);
  EXPECT_EQ(loaded.U16(AppearanceBlock::kFocusedAlpha), 1);

  ASSERT_EQ(PutNoteText(m.db, note, note_field::kSchemeName, u"蓝色"), 0);
  LoadAppearance(m.db, note, &source);
  EXPECT_EQ(source, AppearanceSource::NoteScheme);
  ASSERT_EQ(PutNoteText(m.db, note, note_field::kSchemeName, u"不存在"), 0);
  LoadAppearance(m.db, note, &source);
  EXPECT_EQ(source, AppearanceSource::OwnBlock) << "a named scheme without data does not apply";

  EXPECT_NE(WriteScheme(m.db, std::u16string(91, u'x'), scheme.bytes), 0);
  EXPECT_NE(WriteScheme(m.db, u"big", std::vector<std::uint8_t>(10241, 1)), 0);
  ASSERT_EQ(WriteScheme(m.db, u"short", std::vector<std::uint8_t>(10, 7)), 0);
  AppearanceBlock shortBlock;
  ASSERT_TRUE(ReadScheme(m.db, u"short", &shortBlock));
  EXPECT_EQ(shortBlock.bytes[9], 7);
  EXPECT_EQ(shortBlock.bytes[10], 0) << "the rest is zero-filled";
  EXPECT_EQ(ListSchemes(m.db), (std::vector<std::u16string>{u"short", u"蓝色"}));
}

TEST(Items, OrderFollowsFoldedAnsiTitlesThenCaseThenId) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  struct Case {
    std::vector<std::u16string> created;
    std::vector<std::u16string> listed;
  };
  const Case cases[] = {
      {{u"b", u"A", u"a"}, {u"a", u"A", u"b"}},
      {{u"1|z", u"010|y", u"002|x"}, {u"002|x", u"010|y", u"1|z"}},
      {{u"aB", u"Ab", u"ab"}, {u"ab", u"aB", u"Ab"}},
  };
  for (const Case& c : cases) {
    ClearNote(m.db, note);
    for (const auto& t : c.created) ASSERT_NE(m.ops.CreateItem(note, t, u"x", false), 0u);
    EXPECT_EQ(m.Titles(note), c.listed);
  }
  ClearNote(m.db, note);
  const std::uint32_t first = m.ops.CreateItem(note, u"same", u"1", false);
  const std::uint32_t second = m.ops.CreateItem(note, u"same", u"2", false);
  EXPECT_EQ(ListItems(m.db, note), (std::vector<std::uint32_t>{first, second})) << "equal titles by id";

  // The key bytes: ANSI (code page 936) text, folded, then the case mark and the big-endian id.
  const auto key = OrderKey(7, 0x01020304, u"便A");
  const std::vector<std::uint8_t> expected = {0x03, 7, 0, 0, 0, 0xB1, 0xE3, 'a', 0, 255 - 2, 1, 2, 3, 4};
  EXPECT_EQ(key, expected);
}

TEST(Items, LimitsMarkersAndCountRepair) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  EXPECT_EQ(m.ops.CreateItem(99, u"t", u"c", false), 0u);
  ASSERT_EQ(m.notifier.shown.size(), 1u);
  EXPECT_EQ(m.notifier.shown[0].first, u"目标便利贴不存在或已被删除！");
  EXPECT_EQ(m.notifier.shown[0].second, u"创建项目失败");

  // Without a title, the content (up to 32 characters) stands in.
  const std::u16string twenty(20, u'字'), fifty(50, u'文');
  const std::uint32_t a = m.ops.CreateItem(note, u"", twenty, false);
  EXPECT_EQ(GetItemTitle(m.db, note, a), twenty);
  const std::uint32_t b = m.ops.CreateItem(note, u"", fifty, false);
  EXPECT_EQ(GetItemTitle(m.db, note, b), fifty.substr(0, 32));
  EXPECT_EQ(m.ops.CreateItem(note, u"", u"", false), 0u);

  // A stale marker for id 7 while the counter is 6: the next item gets 8,
  // also after a repair (the marker keeps id 7 retired).
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kItemIdCounter, 6), 0);
  const std::uint8_t zero = 0;
  ASSERT_EQ(m.db.Put(ItemMarkerKey(note, 7), &zero, 1), 0);
  ASSERT_EQ(RepairNote(m.db, note), 0);
  EXPECT_EQ(m.ops.CreateItem(note, u"after", u"c", false), 8u);

  ClearNote(m.db, note);
  EXPECT_EQ(ItemCount(m.db, note), 0u);
  for (int i = 0; i < 12; ++i) ASSERT_NE(m.ops.CreateItem(note, u"t" + std::u16string(1, static_cast<char16_t>(u'a' + i)), u"c", false), 0u);
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kItemCount, 13), 0);
  std::uint32_t ids[5];
  EXPECT_EQ(ListItems(m.db, 10, ids, 5, note), 2u);
  EXPECT_EQ(GetNoteU32(m.db, note, note_field::kItemCount, 0), 13u) << "listing does not repair";
  NoteRepairs done;
  ASSERT_EQ(RepairNote(m.db, note, &done), 0);
  EXPECT_EQ(GetNoteU32(m.db, note, note_field::kItemCount, 0), 12u) << "the count is repaired";
  EXPECT_TRUE(done.countRewritten);
  EXPECT_EQ(done.oldCount, 13u);
  EXPECT_EQ(done.newCount, 12u);
  EXPECT_EQ(done.staleEntriesRemoved, 0u);

  // The 4096-item limit.
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kItemCount, 4096), 0);
  m.notifier.shown.clear();
  EXPECT_EQ(m.ops.CreateItem(note, u"one too many", u"c", false), 0u);
  ASSERT_EQ(m.notifier.shown.size(), 1u);
  EXPECT_EQ(m.notifier.shown[0].first, u"当前便利贴项目数量已达到最大限制！");
  EXPECT_EQ(ListItems(m.db, note).size(), 12u) << "nothing was stored";
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kItemCount, 100000), 0);
  EXPECT_EQ(ItemCount(m.db, note), 4096u) << "readers cap the count";
  m.ExpectCheckPasses();
}

// The scan reads reuse one buffer: a short text after a long one must not
// show the long one's tail, and a missing item reads as empty.
TEST(Items, ScanReadsMatchTheCopiesWithOneBuffer) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  const std::u16string longest(30000, u'长');
  const std::uint32_t big = m.ops.CreateItem(note, u"大", longest, true);
  const std::uint32_t small = m.ops.CreateItem(note, u"小 title", u"x", true);
  const std::uint32_t chinese = m.ops.CreateItem(note, u"中", u"中文 Mixed", true);
  std::u16string scratch;
  for (const std::uint32_t item : {big, small, chinese, big, 999u, small}) {
    EXPECT_EQ(ReadItemContent(m.db, note, item, scratch), GetItemContent(m.db, note, item)) << item;
    EXPECT_EQ(ReadItemTitle(m.db, note, item, scratch), GetItemTitle(m.db, note, item)) << item;
  }
}

TEST(Items, UpdateMovesOnlyOnATitleChangeAndDeleteIsIdempotent) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  const std::uint32_t a = m.ops.CreateItem(note, u"a", u"1", true);
  const std::uint32_t b = m.ops.CreateItem(note, u"b", u"2", true);
  ASSERT_EQ(m.ops.UpdateItem(note, b, u"b", u"changed"), 0);
  EXPECT_EQ(ListItems(m.db, note), (std::vector<std::uint32_t>{a, b}));
  EXPECT_EQ(GetItemContent(m.db, note, b), u"changed");
  ASSERT_EQ(m.ops.UpdateItem(note, b, u"0 first", u"changed"), 0);
  EXPECT_EQ(ListItems(m.db, note), (std::vector<std::uint32_t>{b, a}));
  EXPECT_EQ(m.ops.UpdateItem(note, 77, u"x", u"y"), 1);

  EXPECT_EQ(m.ops.DeleteItem(note, a, true), 0);
  EXPECT_EQ(ItemCount(m.db, note), 1u);
  EXPECT_EQ(m.ops.DeleteItem(note, a, true), 1);
  EXPECT_EQ(ItemCount(m.db, note), 1u) << "a second delete changes nothing";
  EXPECT_EQ(ListItems(m.db, note), (std::vector<std::uint32_t>{b}));
  EXPECT_EQ(m.sync.events, (std::vector<std::string>{"created 1/1", "created 1/2", "updated 1/2", "updated 1/2",
                                                     "deleted 1", "deleted 1"}));
  m.ExpectCheckPasses();
}

TEST(Items, LongCjkTitlesLeaveNoOrderEntriesBehind) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  const std::u16string longTitle(5000, u'长');  // 10000 ANSI bytes: an order key of 10011 bytes
  const std::uint32_t a = m.ops.CreateItem(note, longTitle, u"c", false);
  const std::uint32_t b = m.ops.CreateItem(note, longTitle + u"尾巴", u"c", false);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_EQ(m.CountKeys(OrderPrefix(note), 20000), 2u);
  EXPECT_EQ(m.ops.DeleteItem(note, a, false), 0);
  EXPECT_EQ(m.CountKeys(OrderPrefix(note), 20000), 1u);
  m.ops.CreateItem(note, longTitle, u"c", false);
  ClearNote(m.db, note);
  EXPECT_EQ(m.CountKeys(OrderPrefix(note), 20000), 0u) << "clearing erases the longest order keys";
  m.ops.CreateItem(note, longTitle, u"c", false);
  DeleteNote(m.db, note);
  EXPECT_EQ(m.CountKeys(OrderPrefix(note), 20000), 0u);
  EXPECT_FALSE(NoteExists(m.db, note));
  m.ExpectCheckPasses();
}

TEST(Notes, ClearKeepsSettingsAndDeleteRemovesTheNote) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db, u"保留");
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kWindowX, 40), 0);
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kHotkey, 0x0241), 0);
  ASSERT_EQ(PutNoteTriggers(m.db, note, 0x10), 0);
  ASSERT_EQ(PutNoteText(m.db, note, note_field::kSyncId, u"sync-id"), 0);
  for (int i = 0; i < 3; ++i) m.ops.CreateItem(note, u"i", u"c", false);
  // A pending sync digest survives both.
  Key digest = NoteFieldKey(note, kSyncDigestField);
  digest.resize(26, 0xAB);
  const std::uint8_t one = 1;
  ASSERT_EQ(m.db.Put(digest, &one, 1), 0);

  ClearNote(m.db, note);
  EXPECT_EQ(GetNoteName(m.db, note), u"保留");
  EXPECT_EQ(GetNoteU32(m.db, note, note_field::kWindowX, 0), 40u);
  EXPECT_EQ(GetNoteU32(m.db, note, note_field::kHotkey, 0), 0x0241u);
  EXPECT_EQ(GetNoteTriggers(m.db, note), 0x10u);
  EXPECT_EQ(GetNoteText(m.db, note, note_field::kSyncId), u"sync-id");
  EXPECT_EQ(ItemCount(m.db, note), 0u);
  EXPECT_TRUE(ListItems(m.db, note).empty());
  EXPECT_EQ(m.ops.CreateItem(note, u"again", u"c", false), 1u) << "numbering starts again";

  DeleteNote(m.db, note);
  EXPECT_FALSE(NoteExists(m.db, note));
  EXPECT_EQ(GetNoteTriggers(m.db, note), 0u);
  EXPECT_EQ(GetNoteU32(m.db, note, note_field::kWindowX, 0), 0u);
  std::vector<std::uint8_t> v;
  EXPECT_EQ(m.db.GetValue(digest, &v), 0);
  EXPECT_EQ(v.size(), 1u);
  EXPECT_EQ(CreateNote(m.db), note + 1) << "ids are never reused";
}

TEST(Items, CopyMoveAndLinks) {
  ModelDb m;
  const std::uint32_t a = CreateNote(m.db, u"源");
  const std::uint32_t b = CreateNote(m.db, u"目标");
  const std::uint32_t item = m.ops.CreateItem(a, u"项目", u"<cmd>dir", false);
  ASSERT_EQ(PutItemIconIndex(m.db, a, item, 3), 0);
  EXPECT_EQ(m.ops.CopyOrMoveItem(a, item, a, false), 0u) << "onto its own note without Ctrl: nothing";
  const std::uint32_t dup = m.ops.CopyOrMoveItem(a, item, a, true);
  EXPECT_NE(dup, item);
  EXPECT_EQ(GetItemTitle(m.db, a, dup), u"项目");
  EXPECT_EQ(GetItemIconIndex(m.db, a, dup), 0u) << "icons are not copied";
  const std::uint32_t moved = m.ops.CopyOrMoveItem(a, item, b, false);
  EXPECT_EQ(GetItemContent(m.db, b, moved), u"<cmd>dir");
  EXPECT_FALSE(ItemExists(m.db, a, item));
  EXPECT_EQ(ItemCount(m.db, a), 1u);

  const std::uint32_t link = m.ops.CreateLinkItem(a, b);
  EXPECT_EQ(GetItemTitle(m.db, b, link), u">源");
  EXPECT_EQ(GetItemContent(m.db, b, link), u"<open>1");

  std::uint32_t created = 0;
  const std::uint32_t opener = m.ops.CreateItemOrNote(b, u">新便利贴", u"", &created);
  EXPECT_EQ(created, 3u);
  EXPECT_EQ(GetNoteName(m.db, created), u"新便利贴");
  EXPECT_EQ(GetItemContent(m.db, b, opener), u"<open>3");
}

TEST(Items, EncryptedContentsAreNeverCut) {
  // A "<k>" body is whole cipher blocks; any cut makes it undecryptable, so
  // the operations refuse what would be cut and carry the rest whole.
  ModelDb m;
  const std::uint32_t a = CreateNote(m.db, u"源");
  const std::uint32_t b = CreateNote(m.db, u"目标");
  const std::u16string longest = u"<k>" + std::u16string(kMaxStoredContentChars - 3, u'\x1234');
  const std::u16string tooLong = longest + u"\x5678";
  EXPECT_EQ(m.ops.CreateItem(a, u"长", tooLong, false), 0u);
  EXPECT_EQ(ItemCount(m.db, a), 0u);
  const std::uint32_t item = m.ops.CreateItem(a, u"长", longest, false);
  ASSERT_NE(item, 0u);
  EXPECT_EQ(m.ops.UpdateItem(a, item, u"长", tooLong), 2);
  EXPECT_EQ(GetItemContent(m.db, a, item), longest);

  const std::uint32_t moved = m.ops.CopyOrMoveItem(a, item, b, false);
  ASSERT_NE(moved, 0u);
  EXPECT_EQ(GetItemContent(m.db, b, moved), longest) << "moving cut the encrypted body";
  // A plain content is still cut on the way, as before.
  const std::uint32_t plain = m.ops.CreateItem(a, u"文", std::u16string(31000, u'x'), false);
  const std::uint32_t copied = m.ops.CopyOrMoveItem(a, plain, b, true);
  EXPECT_EQ(GetItemContent(m.db, b, copied).size(), 30752u);
}

TEST(Items, IconSources) {
  struct Case {
    std::u16string content;
    std::uint32_t kind;
    std::u16string source;
  };
  const Case cases[] = {
      {u"<run>C:\\Tools\\App.EXE|-x", icon_kind::kFromFile, u"C:\\Tools\\App.EXE"},
      {u"<run>d:\\doc\\a.TXT", icon_kind::kFromFile, u".txt"},
      {u"<run>https://example.org/x", icon_kind::kFromFile, u".url"},
      {u"<run>C:\\dir.with.dots\\tool<>comment", icon_kind::kFromFile, u"C:\\dir.with.dots\\tool"},
      {u"<run>.profile", icon_kind::kFromFile, u".profile"},
      {u"<open>3", icon_kind::kOpenNotes, u""},
      {u"<OPEN>3", icon_kind::kOpenNotes, u""},
      {u"<cmd>dir", icon_kind::kCommand, u""},
      {u"<v>text", icon_kind::kPaste, u""},
      {u"<K>abc", icon_kind::kEncryptedKeys, u""},
      {u"<A>abc", icon_kind::kKeys, u""},
      {u"<Run>x.exe", icon_kind::kPlain, u""},
      {u"plain", icon_kind::kPlain, u""},
  };
  for (const Case& c : cases) {
    std::u16string source = u"stale";
    EXPECT_EQ(IconSourceOfContent(c.content, &source), c.kind);
    EXPECT_EQ(source, c.source);
  }
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  const std::uint32_t item = m.ops.CreateItem(note, u"t", u"<cmd>dir", false);
  ASSERT_EQ(PutItemIconPath(m.db, note, item, u"C:\\icons\\set.dll"), 0);
  ASSERT_EQ(PutItemIconIndex(m.db, note, item, 5), 0);
  std::u16string source;
  EXPECT_EQ(ItemIconSource(m.db, note, item, &source), 5u);
  EXPECT_EQ(source, u"C:\\icons\\set.dll");
  EXPECT_EQ(PutItemIconPath(m.db, note, item, std::u16string(1025, u'p'), &m.notifier), 1) << "over 2048 bytes";
  ASSERT_EQ(m.notifier.shown.size(), 1u);
  EXPECT_EQ(m.notifier.shown[0].first, u"图标路径长度太长");
  EXPECT_EQ(m.notifier.shown[0].second, u"错误");
  EXPECT_EQ(GetItemIconPath(m.db, note, item), u"C:\\icons\\set.dll") << "nothing was stored";
  EXPECT_EQ(PutItemIconPath(m.db, note, item, std::u16string(1024, u'p')), 0) << "exactly 2048 bytes";
}

// What a window, the tooltip and the management list read must leave the
// database as it was, even when the note needs repairs; RepairNote then
// makes them, once.
TEST(Items, ReadsNeverWriteAndRepairNoteFixesWhatTheyLeave) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  std::vector<std::uint32_t> made;
  for (const char16_t* t : {u"a", u"b", u"ghost", u"c"}) made.push_back(m.ops.CreateItem(note, t, u"<cmd>x", false));
  const std::uint32_t ghost = made[2];
  // An interrupted deletion: the title is gone, the order entry stays.
  ASSERT_EQ(m.db.Put(ItemFieldKey(note, item_field::kTitle, ghost), nullptr, 0), 0);
  ASSERT_EQ(PutNoteU32(m.db, note, note_field::kItemCount, 13), 0);

  const auto before = m.Snapshot();
  const std::vector<std::uint32_t> listed = ListItems(m.db, note);
  EXPECT_EQ(listed.size(), 4u) << "the stale entry is still listed";
  for (std::uint32_t start = 0; start < 5; ++start) {
    std::uint32_t ids[2];
    (void)ListItems(m.db, start, ids, 2, note);
  }
  for (const std::uint32_t id : listed) {
    (void)GetItemTitle(m.db, note, id);
    (void)GetItemContent(m.db, note, id);
    std::u16string source;
    (void)ItemIconSource(m.db, note, id, &source);
  }
  EXPECT_TRUE(GetItemTitle(m.db, note, ghost).empty());
  (void)ItemCount(m.db, note);
  (void)LoadAppearance(m.db, note);
  EXPECT_EQ(m.Snapshot(), before);

  NoteRepairs done;
  ASSERT_EQ(RepairNote(m.db, note, &done), 0);
  EXPECT_EQ(done.staleEntriesRemoved, 1u);
  EXPECT_TRUE(done.countRewritten);
  EXPECT_EQ(done.oldCount, 13u);
  EXPECT_EQ(done.newCount, 3u);
  EXPECT_EQ(ListItems(m.db, note), (std::vector<std::uint32_t>{made[0], made[1], made[3]}));
  EXPECT_EQ(GetNoteU32(m.db, note, note_field::kItemCount, 0), 3u);

  // A sound note needs nothing, and a second repair finds nothing.
  const auto repaired = m.Snapshot();
  ASSERT_EQ(RepairNote(m.db, note, &done), 0);
  EXPECT_EQ(done.staleEntriesRemoved, 0u);
  EXPECT_FALSE(done.countRewritten);
  EXPECT_EQ(m.Snapshot(), repaired);
  m.ExpectCheckPasses();
}

TEST(Items, AdjacentIdsSkipDeletedItems) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  for (int i = 0; i < 5; ++i) m.ops.CreateItem(note, u"t", u"c", false);
  ASSERT_EQ(m.ops.DeleteItem(note, 3, false), 0);
  EXPECT_EQ(AdjacentItemId(m.db, note, 2, +1), 4u);
  EXPECT_EQ(AdjacentItemId(m.db, note, 4, -1), 2u);
  EXPECT_EQ(AdjacentItemId(m.db, note, 5, +1), 0u);
  EXPECT_EQ(AdjacentItemId(m.db, note, 1, -1), 0u);
  EXPECT_EQ(AdjacentItemId(m.db, note, 40, -1), 5u) << "beyond the counter starts at the counter";
}

TEST(Items, TwoThreadsWorkingOnOneNoteKeepItConsistent) {
  ModelDb m;
  const std::uint32_t note = CreateNote(m.db);
  auto worker = [&](int seed) {
    std::vector<std::uint32_t> mine;
    for (int i = 0; i < 300; ++i) {
      const std::u16string title = u"t" + std::u16string(1, static_cast<char16_t>(u'a' + (i * 7 + seed) % 26));
      if (i % 5 == 4 && !mine.empty()) {
        EXPECT_EQ(m.ops.DeleteItem(note, mine.back(), true), 0);
        mine.pop_back();
      } else if (i % 5 == 3 && !mine.empty()) {
        EXPECT_EQ(m.ops.UpdateItem(note, mine.front(), title + u"!", u"updated"), 0);
      } else {
        const std::uint32_t id = m.ops.CreateItem(note, title, u"content", true);
        EXPECT_NE(id, 0u);
        mine.push_back(id);
      }
    }
    return mine;
  };
  std::vector<std::uint32_t> a, b;
  std::thread ta([&] { a = worker(1); });
  std::thread tb([&] { b = worker(2); });
  ta.join();
  tb.join();
  std::set<std::uint32_t> all(a.begin(), a.end());
  for (std::uint32_t id : b) EXPECT_TRUE(all.insert(id).second) << "id " << id << " given twice";
  const auto listed = ListItems(m.db, note);
  EXPECT_EQ(std::set<std::uint32_t>(listed.begin(), listed.end()), all);
  EXPECT_EQ(GetNoteU32(m.db, note, note_field::kItemCount, 0), listed.size());
  m.ExpectCheckPasses();
}

// The window takes one byte of alpha: a stored word above 255 is lowered to
// 255, never cut to its low byte.
TEST(Appearance, AlphaIsClampedAsAWholeValue) {
  struct Case {
    std::uint32_t stored;
    std::uint16_t loaded;
  };
  const Case cases[] = {{0, 1}, {1, 1}, {200, 200}, {255, 255}, {256, 255}, {300, 255}, {0x01FF, 255}, {0xFFFF, 255}};
  ModelDb m;
  const std::uint32_t own = CreateNote(m.db);
  const std::uint32_t legacy = CreateNote(m.db);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    AppearanceBlock block = LegacyAppearance(m.db, own);
    block.SetU16(AppearanceBlock::kFocusedAlpha, static_cast<std::uint16_t>(c.stored));
    block.SetU16(AppearanceBlock::kUnfocusedAlpha, static_cast<std::uint16_t>(c.stored));
    ASSERT_EQ(PutNoteBytes(m.db, own, note_field::kOwnAppearance, block.bytes.data(), kAppearanceBlockSize), 0);
    const AppearanceBlock fromBlock = LoadAppearance(m.db, own);
    EXPECT_EQ(fromBlock.U16(AppearanceBlock::kFocusedAlpha), c.loaded);
    EXPECT_EQ(fromBlock.U16(AppearanceBlock::kUnfocusedAlpha), c.loaded);

    ASSERT_EQ(PutNoteU32(m.db, legacy, note_field::kLegacyFocusedAlpha, c.stored), 0);
    ASSERT_EQ(PutNoteU32(m.db, legacy, note_field::kLegacyUnfocusedAlpha, c.stored), 0);
    const AppearanceBlock fromFields = LoadAppearance(m.db, legacy);
    EXPECT_EQ(fromFields.U16(AppearanceBlock::kFocusedAlpha), c.loaded);
    EXPECT_EQ(fromFields.U16(AppearanceBlock::kUnfocusedAlpha), c.loaded);
  }
  // A legacy u32 beyond the block's u16 saturates rather than wrapping to 5.
  ASSERT_EQ(PutNoteU32(m.db, legacy, note_field::kLegacyFocusedAlpha, 0x10005), 0);
  EXPECT_EQ(LoadAppearance(m.db, legacy).U16(AppearanceBlock::kFocusedAlpha), 255);
}

// Hooks that look at AppMutex or call back into the item operations.
struct CallbackSync : ItemSyncHooks {
  std::function<void()> onUpdated, onDeleted;
  int updated = 0, deleted = 0;
  void OnItemUpdated(std::uint32_t, std::uint32_t, std::u16string_view, std::u16string_view, std::u16string_view,
                     std::u16string_view) override {
    ++updated;
    if (onUpdated) onUpdated();
  }
  void OnItemDeleted(std::uint32_t, std::u16string_view, std::u16string_view) override {
    ++deleted;
    if (onDeleted) onDeleted();
  }
};

// Whether another thread could take the mutex right now.
bool FreeForOtherThreads(AppMutex& mutex) {
  bool free = false;
  std::thread probe([&] {
    if (mutex.try_lock()) {
      free = true;
      mutex.unlock();
    }
  });
  probe.join();
  return free;
}

TEST(ItemHooks, UpdateTellsSyncUnderAppMutexAndHooksMayReenter) {
  ModelDb m;
  CallbackSync sync;
  ItemOperations ops(m.db, m.notifier, sync, m.appMutex);
  const std::uint32_t note = CreateNote(m.db);
  const std::uint32_t a = ops.CreateItem(note, u"a", u"1", false);
  const std::uint32_t b = ops.CreateItem(note, u"b", u"2", false);

  bool heldDuringUpdate = false;
  sync.onUpdated = [&] { heldDuringUpdate = !FreeForOtherThreads(m.appMutex); };
  ASSERT_EQ(ops.UpdateItem(note, a, u"a", u"1+"), 0);
  EXPECT_TRUE(heldDuringUpdate);

  // The hook of one update takes AppMutex and changes and deletes another
  // item on the same thread, as the Win32 mutex allows.
  bool reentered = false;
  sync.onUpdated = [&] {
    if (reentered) return;
    reentered = true;
    std::lock_guard again(m.appMutex);
    EXPECT_EQ(ops.UpdateItem(note, b, u"b", u"from the hook"), 0);
    EXPECT_EQ(ops.DeleteItem(note, b, true), 0);
  };
  ASSERT_EQ(ops.UpdateItem(note, a, u"a", u"1++"), 0);
  EXPECT_TRUE(reentered);
  EXPECT_EQ(sync.updated, 3);
  EXPECT_EQ(sync.deleted, 1);
  EXPECT_EQ(ListItems(m.db, note), (std::vector<std::uint32_t>{a}));
  EXPECT_TRUE(FreeForOtherThreads(m.appMutex)) << "every lock was released";

  bool heldDuringDelete = true;
  sync.onDeleted = [&] { heldDuringDelete = !FreeForOtherThreads(m.appMutex); };
  ASSERT_EQ(ops.DeleteItem(note, a, true), 0);
  EXPECT_FALSE(heldDuringDelete) << "DeleteItem tells sync after releasing AppMutex";
  m.ExpectCheckPasses();
}

TEST(ItemHooks, DeleteTellsSyncWheneverAskedToWhetherOrNotTheMarkerWasThere) {
  struct Case {
    bool markerPresent;
    bool notify;
    int result;
    int hookCalls;
  };
  const Case cases[] = {{true, true, 0, 1}, {false, true, 1, 1}, {true, false, 0, 0}, {false, false, 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "marker " << c.markerPresent << " notify " << c.notify);
    ModelDb m;
    CallbackSync sync;
    ItemOperations ops(m.db, m.notifier, sync, m.appMutex);
    const std::uint32_t note = CreateNote(m.db);
    const std::uint32_t item = ops.CreateItem(note, u"t", u"c", false);
    if (!c.markerPresent) {
      const Key marker = ItemMarkerKey(note, item);
      ASSERT_EQ(m.db.Erase(marker, static_cast<std::uint32_t>(marker.size())), 1u);
    }
    EXPECT_EQ(ops.DeleteItem(note, item, c.notify), c.result);
    EXPECT_EQ(sync.deleted, c.hookCalls);
    EXPECT_EQ(ItemCount(m.db, note), c.markerPresent ? 0u : 1u) << "the count drops only with a marker";
    EXPECT_TRUE(ListItems(m.db, note).empty());
  }
}

TEST(Restore, NotesAndItemsKeepTheirIdsAndTheBookkeeping) {
  ModelDb m;
  NoteRecord record;
  record.id = 7;
  record.name = u"恢复";
  record.numbers = {{note_field::kWindowX, 40}, {note_field::kItemIdCounter, 9}};
  record.texts = {{note_field::kSyncId, u"sid"}, {note_field::kSchemeName, u""}};
  record.blocks = {{note_field::kOwnAppearance, std::vector<std::uint8_t>(192, 3)}};
  record.triggers = 0x10;
  ASSERT_TRUE(RestoreNote(m.db, record).ok());
  EXPECT_EQ(GetNoteName(m.db, 7), u"恢复");
  EXPECT_EQ(GetNoteU32(m.db, 7, note_field::kWindowX, 0), 40u);
  EXPECT_EQ(GetNoteText(m.db, 7, note_field::kSyncId), u"sid");
  EXPECT_TRUE(GetNoteValue(m.db, 7, note_field::kSchemeName).empty()) << "empty texts are not stored";
  EXPECT_EQ(GetNoteValue(m.db, 7, note_field::kOwnAppearance).size(), 192u);
  EXPECT_EQ(GetNoteTriggers(m.db, 7), 0x10u);

  ASSERT_TRUE(m.ops.RestoreItem(7, {4, u"b", u"<cmd>x", 5, u"C:\\i.ico"}).ok());
  ASSERT_TRUE(m.ops.RestoreItem(7, {2, u"a", u"", std::nullopt, u""}).ok());
  EXPECT_EQ(ListItems(m.db, 7), (std::vector<std::uint32_t>{2, 4}));
  EXPECT_EQ(ItemCount(m.db, 7), 2u);
  EXPECT_TRUE(ItemExists(m.db, 7, 4));
  EXPECT_EQ(GetItemIconIndex(m.db, 7, 4), 5u);
  EXPECT_EQ(GetItemIconPath(m.db, 7, 4), u"C:\\i.ico");
  EXPECT_EQ(GetNoteU32(m.db, 7, note_field::kItemIdCounter, 0), 9u) << "a higher counter is kept";
  ASSERT_TRUE(m.ops.RestoreItem(7, {12, u"c", u"", std::nullopt, u""}).ok());
  EXPECT_EQ(GetNoteU32(m.db, 7, note_field::kItemIdCounter, 0), 12u) << "raised to the highest id";
  EXPECT_EQ(m.ops.CreateItem(7, u"new", u"x", false), 13u);
  EXPECT_EQ(CreateNote(m.db), 8u) << "the note id counter passed the restored id";
  EXPECT_TRUE(m.sync.events.empty()) << "restoring is no change for sync";
  m.ExpectCheckPasses();
}

TEST(Restore, RefusalsChangeNothing) {
  ModelDb m;
  ASSERT_EQ(CreateNote(m.db, u"有"), 1u);
  const std::uint32_t item = m.ops.CreateItem(1, u"t", u"c", false);
  auto note = [](std::uint32_t id, std::u16string name) {
    NoteRecord r;
    r.id = id;
    r.name = std::move(name);
    return r;
  };
  struct NoteCase {
    NoteRecord record;
    RestoreStatus status;
  };
  std::vector<NoteCase> noteCases = {
      {note(0, u"x"), RestoreStatus::BadNoteId},
      {note(kDefaultSchemeNote, u"x"), RestoreStatus::BadNoteId},
      {note(1, u"again"), RestoreStatus::NoteExists},
      {note(2, u""), RestoreStatus::BadName},
      {note(2, std::u16string(kMaxNoteNameChars + 1, u'n')), RestoreStatus::BadName},
  };
  const std::pair<std::uint8_t, NoteFieldInfo::Type> badFields[] = {
      {note_field::kItemCount, NoteFieldInfo::U32},        // derived from the items
      {8, NoteFieldInfo::U32},                             // no such field
      {note_field::kSyncId, NoteFieldInfo::U32},           // a text
      {note_field::kWindowX, NoteFieldInfo::Text},         // a u32
      {note_field::kCustomColours, NoteFieldInfo::Block},  // the pseudo-note's
  };
  for (const auto& [field, type] : badFields) {
    NoteRecord r = note(2, u"x");
    if (type == NoteFieldInfo::U32) r.numbers[field] = 1;
    if (type == NoteFieldInfo::Text) r.texts[field] = u"1";
    if (type == NoteFieldInfo::Block) r.blocks[field] = {1};
    noteCases.push_back({r, RestoreStatus::BadField});
  }
  struct ItemCase {
    std::uint32_t note;
    ItemRecord item;
    RestoreStatus status;
  };
  const ItemCase itemCases[] = {
      {1, {0, u"t", u"", std::nullopt, u""}, RestoreStatus::BadItemId},
      {1, {5, u"", u"c", std::nullopt, u""}, RestoreStatus::NoTitle},
      {2, {5, u"t", u"", std::nullopt, u""}, RestoreStatus::NoteMissing},
      {1, {item, u"t", u"", std::nullopt, u""}, RestoreStatus::ItemExists},
      {1, {5, u"t", u"", std::nullopt, std::u16string(1025, u'p')}, RestoreStatus::IconPathTooLong},
  };
  const auto before = m.Snapshot();
  for (const NoteCase& c : noteCases) {
    SCOPED_TRACE(static_cast<int>(c.status));
    EXPECT_EQ(RestoreNote(m.db, c.record).status, c.status);
  }
  for (const ItemCase& c : itemCases) {
    SCOPED_TRACE(static_cast<int>(c.status));
    EXPECT_EQ(m.ops.RestoreItem(c.note, c.item).status, c.status);
  }
  // ItemExists rewrites the claimed marker with the byte it held: no change.
  EXPECT_EQ(m.Snapshot(), before);

  ASSERT_EQ(PutNoteU32(m.db, 1, note_field::kItemCount, kMaxItemsPerNote), 0);
  EXPECT_EQ(m.ops.RestoreItem(1, {5, u"t", u"", std::nullopt, u""}).status, RestoreStatus::NoteFull);
  EXPECT_FALSE(ItemExists(m.db, 1, 5));
}

}  // namespace
}  // namespace vellumo::model
