#include "sync/frame_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"
#include "platform/bytes.h"
#include "sync/sealing.h"

namespace vellumo::sync {
namespace {

using namespace vellumo::sync::testing;

const Bytes kPassword = U16(u"pass-word");

Frame ServerFrame(const ServerMessage& m) {
  Frame f;
  EXPECT_EQ(BuildFrame(m, f), FrameError::kOk);
  return f;
}

Bytes Sealed(const StoredItem& item, const Bytes& password) {
  const auto block = ItemBlock::Make(item.Fields());
  Bytes sealed;
  EXPECT_EQ(SealItemBlock(DeriveSyncKey(password), block->bytes(), sealed), SealError::kOk);
  return sealed;
}

Frame RawFrame(std::uint16_t type, const Bytes& payload) {
  // Sized once and filled in place: growing a 6-byte vector by insert
  // trips a false array-bounds warning in the MinGW compiler.
  Frame f(6 + payload.size());
  StoreU32LE(f.data(), static_cast<std::uint32_t>(f.size()));
  f[4] = static_cast<std::uint8_t>(type);
  f[5] = static_cast<std::uint8_t>(type >> 8);
  for (std::size_t i = 0; i < payload.size(); ++i) f[6 + i] = payload[i];
  return f;
}

class FrameDispatch : public ::testing::Test {
 protected:
  FrameDispatch() {
    list.AddNewest({5, kPassword, U16(u"id"), kEntryLive});
    items.notes[5] = {{1, a}, {2, b}, {3, a}};
    items.journals[5] = {HashOf(x)};
    names.Name(a, "a");
    names.Name(b, "b");
    names.Name(x, "x");
  }
  std::vector<std::string> Dispatch(const Frame& frame) { return Render(DispatchServerFrame(frame, list, items), names); }

  const StoredItem a = Item(u"a", u"1"), b = Item(u"b", u"2"), x = Item(u"x", u"deleted offline");
  SyncList list;
  TableItems items;
  HashNames names;
};

// Every server frame type, for a registered note (5) and for a note the
// client does not sync (8).
TEST_F(FrameDispatch, EachFrameType) {
  const StoredItem fresh = Item(u"new", u"from elsewhere");
  const StoredItem untitled = Item(u"", u"content only");
  names.Name(untitled, "untitled");
  const Bytes longNotice = [] {
    Bytes t;
    for (int i = 0; i < 150; ++i) {
      t.push_back(static_cast<std::uint8_t>('A' + i % 26));
      t.push_back(0);
    }
    return t;
  }();
  struct Case {
    const char* name;
    Frame frame;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"heartbeat answer", ServerFrame(HeartbeatAnswer{}), {"heartbeat answered"}},
      {"accepted", ServerFrame(RegisterStatus{5, 0}), {"status 5 0", "Digest 5"}},
      {"refused", ServerFrame(RegisterStatus{5, 4}), {"status 5 4", "error 5 4"}},
      {"status for an unsynced note", ServerFrame(RegisterStatus{8, 0}), {}},
      {"upload request for a missing item", ServerFrame(UploadRequest{5, 99}), {}},
      {"upload request, unsynced note", ServerFrame(UploadRequest{8, 1}), {}},
      {"new item", ServerFrame(ServerItem{5, Sealed(fresh, kPassword)}),
       {"create 5 new:from elsewhere", "changed 5"}},
      {"item without title is sent back as deleted", ServerFrame(ServerItem{5, Sealed(untitled, kPassword)}),
       {"DeleteHash 5 untitled"}},
      {"item sealed under another password", ServerFrame(ServerItem{5, Sealed(fresh, U16(u"other-pass"))}),
       {"error 5 21"}},
      {"item that is not whole blocks", RawFrame(3, [] { Bytes p(24, 7); p[0] = 5; p[1] = p[2] = p[3] = 0; return p; }()),
       {"error 5 21"}},
      {"item with no payload", RawFrame(3, Bytes{5, 0, 0, 0}), {"error 5 21"}},
      {"item the note already holds", ServerFrame(ServerItem{5, Sealed(b, kPassword)}), {}},
      {"item for an unsynced note", ServerFrame(ServerItem{8, Sealed(fresh, kPassword)}), {}},
      {"delete by id", ServerFrame(DeleteItemRequest{5, 2}), {"delete 5/2", "changed 5"}},
      {"delete by id, unsynced note", ServerFrame(DeleteItemRequest{8, 2}), {}},
      {"delete by hash takes every copy", ServerFrame(DeleteHashRequest{5, HashOf(a)}),
       {"delete 5/1", "delete 5/3", "changed 5"}},
      {"delete by hash, none left", ServerFrame(DeleteHashRequest{5, HashOf(x)}), {"changed 5"}},
      {"delete by hash, unsynced note", ServerFrame(DeleteHashRequest{8, HashOf(a)}), {}},
      {"notice", ServerFrame(ServerNotice{U16(u"hi")}), {"notice hi"}},
      {"notice cut to 250 bytes", ServerFrame(ServerNotice{longNotice}),
       {"notice " + std::string(Narrow(std::span(longNotice).first(250)))}},
      {"list request, unsynced note", ServerFrame(ListRequest{8}), {}},
      {"unknown type", RawFrame(5, Bytes(8, 0)), {}},
      {"status frame too short", RawFrame(4, Bytes{5, 0, 0, 0}), {}},
      {"delete frame of neither length", RawFrame(2, Bytes(12, 0)), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Dispatch(c.frame), c.expected);
  }
}

TEST_F(FrameDispatch, AcceptedRegistrationSendsTheDigestOfAllItems) {
  const auto actions = DispatchServerFrame(ServerFrame(RegisterStatus{5, 0}), list, items);
  ASSERT_EQ(actions.size(), 2u);
  ClientMessage m;
  ASSERT_EQ(ParseClientFrame(std::get<SendFrameAction>(actions[1]).frame, m), FrameError::kOk);
  const std::vector<ItemHashValue> all = {HashOf(a), HashOf(b), HashOf(a)};
  EXPECT_EQ(std::get<Digest>(m).digest, NoteDigest(all));

  items.notes[5].clear();
  const auto empty = DispatchServerFrame(ServerFrame(RegisterStatus{5, 0}), list, items);
  ASSERT_EQ(ParseClientFrame(std::get<SendFrameAction>(empty[1]).frame, m), FrameError::kOk);
  EXPECT_EQ(std::get<Digest>(m).digest, NoteDigestValue{});
}

// The listing: every item in list order, then the journal's deletions of
// content no longer present, the journal emptied, and ListEnd last with the
// number listed.
TEST_F(FrameDispatch, ListRequestListsThenReportsJournalThenEnds) {
  items.journals[5] = {HashOf(x), HashOf(b)};  // b came back after a delete
  const auto r = Dispatch(ServerFrame(ListRequest{5}));
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[0], "ListItem 5/1 a");
  EXPECT_EQ(r[1], "ListItem 5/2 b");
  EXPECT_EQ(r[2], "ListItem 5/3 a");
  EXPECT_EQ(r[3], "DeleteHash 5 x");
  std::vector<std::string> erased = {r[4], r[5]};
  std::ranges::sort(erased);
  EXPECT_EQ(erased, (std::vector<std::string>{"journal- 5 b", "journal- 5 x"}));
  EXPECT_EQ(r[6], "ListEnd 5 3");

  items.notes[5].clear();
  items.journals[5].clear();
  EXPECT_EQ(Dispatch(ServerFrame(ListRequest{5})), (std::vector<std::string>{"ListEnd 5 0"}));
}

// The upload carries the item whole, also past the lengths the editor reads,
// so its hash is the one ListItem announced and the server can match them.
TEST_F(FrameDispatch, UploadIsTheWholeItemSealedUnderTheNotesPassword) {
  items.notes[5].push_back({4, Item(std::u16string(5000, u't'), std::u16string(32000, u'c'))});
  for (std::uint32_t item : {2u, 4u}) {
    SCOPED_TRACE(item);
    const auto actions = DispatchServerFrame(ServerFrame(UploadRequest{5, item}), list, items);
    ASSERT_EQ(actions.size(), 1u);
    ClientMessage m;
    ASSERT_EQ(ParseClientFrame(std::get<SendFrameAction>(actions[0]).frame, m), FrameError::kOk);
    const auto& up = std::get<Upload>(m);
    const StoredItem expected = *items.Item(5, item);
    EXPECT_EQ(up.noteId, 5u);
    EXPECT_EQ(up.hash, HashOf(expected)) << "the hash ListItem gave for it";
    Bytes block;
    ASSERT_EQ(UnsealItemBlock(DeriveSyncKey(kPassword), up.sealed, block), UnsealError::kOk);
    EXPECT_TRUE(std::ranges::equal(block, ItemBlock::Make(expected.Fields())->bytes()));
  }
}

TEST_F(FrameDispatch, StatusIsStoredForAPendingNoteAndIgnoredAfterRemoval) {
  list.SetStatus(5, kEntryPending);
  EXPECT_EQ(Dispatch(ServerFrame(RegisterStatus{5, 1})), (std::vector<std::string>{"status 5 1", "error 5 1"}));
  list.Remove(5);
  EXPECT_TRUE(Dispatch(ServerFrame(RegisterStatus{5, 0})).empty());
  EXPECT_TRUE(Dispatch(ServerFrame(ListRequest{5})).empty());
}

}  // namespace
}  // namespace vellumo::sync
