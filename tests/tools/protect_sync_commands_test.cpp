#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "db_tool.h"
#include "model/items.h"
#include "model/records.h"
#include "store/ku.h"
#include "support/temp_dir.h"
#include "sync/item_block.h"

namespace vellumo::dbtool {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int code;
  std::string out;
  std::string err;
};

std::string PathUtf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::vector<std::uint8_t> Utf16LE(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0xF]);
  }
  return text;
}

class ProtectSyncCommandsTest : public ::testing::Test {
 protected:
  vellumo::testing::TempDir dir;
  fs::path kuPath = dir / "t-00000001.ku";

  RunResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--db", PathUtf8(kuPath)});
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = RunDbTool(args, in, out, err);
    return {code, out.str(), err.str()};
  }
  // Runs a command that must succeed and returns its standard output.
  std::string Ok(std::vector<std::string> args, const std::string& input = "") {
    const RunResult r = Run(args, input);
    EXPECT_EQ(r.code, kExitOk) << args[0] << ": " << r.err;
    return r.out;
  }
  std::string NewNote() { return Trimmed(Ok({"note-create", "n"})); }
  static std::string Trimmed(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  int PasswordCheck(const std::string& password) { return Run({"password-check", password}).code; }
  std::vector<std::uint8_t> StoredContent(const std::string& noteText, const std::string& itemText) {
    const auto note = static_cast<std::uint32_t>(std::stoul(noteText));
    const auto item = static_cast<std::uint32_t>(std::stoul(itemText));
    Ku ku;
    EXPECT_EQ(ku.OpenFiles(kuPath, fs::path(kuPath).replace_extension(".hs")), OpenResult::Opened);
    std::vector<std::uint8_t> value;
    EXPECT_EQ(ku.GetValue(model::ItemFieldKey(note, model::item_field::kContent, item), &value), 0);
    return value;
  }
  bool HasPasswordRecord() {
    Ku ku;
    EXPECT_EQ(ku.OpenFiles(kuPath, fs::path(kuPath).replace_extension(".hs")), OpenResult::Opened);
    std::vector<std::uint8_t> value;
    const std::uint8_t key[] = {6};
    return ku.GetValue(key, &value) == 0 && !value.empty();
  }
};

// The whole life of the local password through the tool, including the
// recovery that a wrong string can spoil and the right string repair.
TEST_F(ProtectSyncCommandsTest, PasswordLifecycleAndRecovery) {
  EXPECT_EQ(PasswordCheck(""), kExitOk);  // a new database: the empty password
  EXPECT_EQ(PasswordCheck("x"), kExitAbsent);

  const std::string note = NewNote();
  const std::string body = "type this 密码";
  const std::string item = Trimmed(Ok({"item-create", note, "Secret", "<k>" + body, "--password", ""}));
  // Stored encrypted: 13 code units are 26 bytes, two blocks, 16 units.
  const std::vector<std::uint8_t> stored = StoredContent(note, item);
  ASSERT_EQ(stored.size(), 2u * (3 + 16));
  EXPECT_EQ(std::vector<std::uint8_t>(stored.begin(), stored.begin() + 6), Utf16LE(u"<k>"));
  const auto plainBytes = Utf16LE(u"type this 密码");
  EXPECT_EQ(std::search(stored.begin(), stored.end(), plainBytes.begin(), plainBytes.begin() + 8), stored.end());
  const std::string revealed = item + "\tSecret\t<k>" + body + "\n";
  EXPECT_EQ(Ok({"items", note, "--password", ""}), revealed);

  const RunResult wrongOld = Run({"password-set", "not it", "pw1"});
  EXPECT_EQ(wrongOld.code, kExitError);
  EXPECT_NE(wrongOld.err.find("wrong password"), std::string::npos) << wrongOld.err;
  EXPECT_EQ(PasswordCheck(""), kExitOk);  // nothing changed

  Ok({"password-set", "", "pw1"});
  const RunResult emptyNow = Run({"password-check", ""});
  EXPECT_EQ(emptyNow.code, kExitAbsent);
  EXPECT_EQ(emptyNow.err, "vellumo-db: wrong password\n");
  EXPECT_EQ(PasswordCheck("pw1"), kExitOk);
  EXPECT_EQ(Ok({"items", note, "--password", "pw1"}), revealed);
  const RunResult revealWrong = Run({"items", note, "--password", ""});
  EXPECT_EQ(revealWrong.code, kExitError);
  EXPECT_EQ(revealWrong.out, "");

  const std::string recovery = Trimmed(Ok({"recovery-string", "pw1"}));
  ASSERT_EQ(recovery.size(), 64u);
  EXPECT_EQ(recovery.find_first_not_of("0123456789abcdef"), std::string::npos) << recovery;
  EXPECT_NE(Run({"recovery-string", "pw2"}).code, kExitOk);

  std::string wrongRecovery = recovery;
  wrongRecovery[10] = wrongRecovery[10] == '0' ? '1' : '0';
  Ok({"recover", wrongRecovery});
  EXPECT_EQ(PasswordCheck(""), kExitOk);  // recovery empties the password
  EXPECT_EQ(PasswordCheck("pw1"), kExitAbsent);
  EXPECT_EQ(Trimmed(Ok({"recovery-string", ""})), wrongRecovery);
  EXPECT_NE(Ok({"items", note, "--password", ""}), revealed);

  Ok({"recover", recovery});
  EXPECT_EQ(Ok({"items", note, "--password", ""}), revealed);
  EXPECT_EQ(StoredContent(note, item), stored);  // never rewritten meanwhile
}

TEST_F(ProtectSyncCommandsTest, BadRecoveryStringsAndSecretArgumentsChangeNothing) {
  Ok({"password-set", "", "pw"});
  const std::string note = NewNote();
  const std::string good(64, 'a');
  struct Case {
    std::vector<std::string> args;
    std::string errPart;
  } cases[] = {
      {{"recover", good.substr(1)}, "must be 64 lowercase hexadecimal digits, not 63 bytes"},
      {{"recover", good + "0"}, "not 65 bytes"},
      {{"recover", "clea"}, "not 4 bytes"},
      {{"recover", "clear!"}, "not 6 bytes"},
      {{"recover", "clear", "--password", "pw"}, "only 'recover new' takes --password"},
      {{"recover", good, "--password", "pw"}, "only 'recover new' takes --password"},
      {{"recover", "new" + good.substr(1), "--password", "pw"}, "is 67 bytes, not 66"},
      {{"recover", "new" + good + "0", "--password", "pw"}, "is 67 bytes, not 68"},
      {{"recover", "new" + good}, "recover new needs --password"},
      {{"recover", "new"}, "recover new needs --password"},
      {{"recover", "new", "--password", "wrong"}, "wrong password; nothing was changed"},
      {{"recover", "new" + good.substr(0, 63) + "G", "--password", "pw"}, "has 'G' at position 64"},
      {{"recover", "clear", "x"}, "usage: vellumo-db recover"},
      {{"recover", good.substr(0, 63) + "A"}, "has 'A' at position 64"},
      {{"recover", "g" + good.substr(1)}, "has 'g' at position 1"},
      {{"password-set", "", "x"}, "the password is unchanged: wrong password"},
      {{"item-create", note, "T", "<k>b"}, "give --password"},
      {{"item-create", note, "T", "<k>b", "--password", ""}, "wrong password"},
      {{"item-create", note, "", "<k>b", "--password", "pw"}, "the title must not be empty"},
      {{"item-create", note, "T", "<k>" + std::string(30781, 'x'), "--password", "pw"}, "the content is too long"},
      {{"item-create", "999", "T", "<k>b", "--password", "pw"}, "there is no note 999"},
      {{"recover", "--password", "pw", "--password"}, "--password is given twice"},
      {{"items", note, "--password", "wrong"}, "wrong password"},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.code, kExitError) << c.args[0] << " " << c.errPart;
    EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(PasswordCheck("pw"), kExitOk);
  EXPECT_EQ(Ok({"items", note}), "");
}

// The bytes that text-mode streams mangle: NUL, Ctrl-Z and CR LF.
TEST_F(ProtectSyncCommandsTest, CompressRoundTripsBinaryData) {
  std::mt19937 random(20240611);
  std::string noise(5000, '\0');
  for (char& c : noise) c = static_cast<char>(random() & 0xFF);
  std::string repeated;
  for (int i = 0; i < 4000; ++i) repeated += std::string("line\r\n\x1A\0", 8) + std::to_string(i % 7);
  const struct {
    std::string data;
    bool compressible;
  } inputs[] = {
      {"", false},
      {std::string(1, '\0'), false},
      {std::string("\x00\x1A\x0D\x0A\x0D\x0A\x1A\x00", 8), false},
      {std::string(200000, '\0'), true},
      {repeated, true},
      {noise, false},
  };
  for (const auto& input : inputs) {
    const std::string compressed = Ok({"compress"}, input.data);
    if (input.compressible) {
      EXPECT_LT(compressed.size(), input.data.size() / 4);
    }
    EXPECT_EQ(Ok({"decompress"}, compressed), input.data) << input.data.size();
  }
  // A match reaching before the first output byte: an error, never a crash
  // or a silently short output.
  const RunResult bad = Run({"decompress"}, std::string("A\x80\xFE\x00", 4));
  EXPECT_EQ(bad.code, kExitError);
  EXPECT_NE(bad.err.find("cannot decompress: a match reaches before the start"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.out, "");
  EXPECT_FALSE(fs::exists(kuPath));
}

TEST_F(ProtectSyncCommandsTest, ItemHashesAndNoteDigest) {
  const std::string note = NewNote();
  EXPECT_EQ(Ok({"note-digest", note}), std::string(40, '0') + "\n");

  const std::string a = Trimmed(Ok({"item-create", note, "标题", "content\r\n"}));
  const std::vector<std::uint8_t> title = Utf16LE(u"标题"), content = Utf16LE(u"content\r\n");
  const sync::ItemHashValue expected = sync::ItemHash(sync::ItemFields{title, content});
  const std::string hashA = Trimmed(Ok({"item-hash", note, a}));
  EXPECT_EQ(hashA, Hex(expected));
  // One item: the digest is its hash.
  EXPECT_EQ(Trimmed(Ok({"note-digest", note})), hashA);

  // A duplicate counts again: every 16-bit word doubles.
  const std::string b = Trimmed(Ok({"item-create", note, "标题", "content\r\n"}));
  EXPECT_EQ(Trimmed(Ok({"item-hash", note, b})), hashA);
  const sync::ItemHashValue pair[] = {expected, expected};
  const sync::NoteDigestValue digest = sync::NoteDigest(pair);
  EXPECT_EQ(Trimmed(Ok({"note-digest", note})), Hex(digest));
}

TEST_F(ProtectSyncCommandsTest, SealedItemsUnsealOnlyWithTheirSyncPassword) {
  const std::string note = NewNote();
  const std::string item = Trimmed(Ok({"item-create", note, "便利贴 ✓ 𠀀", "第一行\n第二行"}));
  const std::string sealed = Trimmed(Ok({"item-seal", note, item, "同步密码"}));
  ASSERT_FALSE(sealed.empty());
  EXPECT_EQ(sealed.size() % 32, 0u);
  EXPECT_NE(Trimmed(Ok({"item-seal", note, item, "同步密码"})), sealed);  // a fresh random word each time

  const std::string shown = "title: 便利贴 ✓ 𠀀\ncontent: 第一行\\n第二行\n";
  EXPECT_EQ(Ok({"item-unseal", "同步密码", sealed}), shown);

  struct Case {
    std::vector<std::string> args;
    std::string errPart;
  } cases[] = {
      // The check is 16 bits: a wrong password is caught there or, rarely, by
      // the later rules.
      {{"item-unseal", "同步密", sealed}, "refused to unseal: "},
      {{"item-unseal", "同步密码", sealed.substr(0, sealed.size() - 2)}, "not whole 16-byte blocks"},
      {{"item-unseal", "同步密码", ""}, "refused to unseal: it is empty"},
      {{"item-unseal", "同步密码", sealed.substr(0, sealed.size() - 1)}, "odd number of hexadecimal digits"},
      {{"item-unseal", "同步密码", "zz" + sealed.substr(2)}, "bad hexadecimal digit 'z'"},
      {{"item-seal", note, "77", "pw"}, "has no item 77"},
      {{"item-seal", "88", item, "pw"}, "there is no note 88"},
      {{"item-hash", note, "77"}, "has no item 77"},
      {{"item-hash", note, "x"}, "ITEM must be a number"},
      {{"note-digest", "88"}, "there is no note 88"},
  };
  for (const Case& c : cases) {
    const RunResult r = Run(c.args);
    EXPECT_EQ(r.code, kExitError) << c.errPart;
    EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// What leaves for the server is the stored form: an encrypted body is sealed
// as cipher text, and its hash is that of the cipher text.
TEST_F(ProtectSyncCommandsTest, EncryptedBodiesAreSealedAsStored) {
  const std::string note = NewNote();
  const std::string item = Trimmed(Ok({"item-create", note, "S", "<K>hidden words", "--password", ""}));
  const std::string shown = Ok({"item-unseal", "p", Trimmed(Ok({"item-seal", note, item, "p"}))});
  EXPECT_EQ(shown.rfind("title: S\ncontent: <K>", 0), 0u) << shown;
  EXPECT_EQ(shown.find("hidden"), std::string::npos) << shown;
  const std::vector<std::uint8_t> stored = StoredContent(note, item);
  const std::vector<std::uint8_t> title = Utf16LE(u"S");
  EXPECT_EQ(Trimmed(Ok({"item-hash", note, item})), Hex(sync::ItemHash(sync::ItemFields{title, stored})));
}

// The item commands take the password too: plain bodies in, encrypted at
// rest, shown decrypted only with the right password.
TEST_F(ProtectSyncCommandsTest, ItemCommandsEncryptAndRevealWithThePassword) {
  Ok({"password-check", ""});
  Ok({"password-set", "", "pw"});
  const std::string note = NewNote();

  struct Refusal {
    std::vector<std::string> args;
    std::string errPart;
  };
  const std::vector<Refusal> refusals = {
      {{"item-create", note, "t", "<k>secret"}, "give --password"},
      {{"item-create", note, "t", "<k>secret", "--password", "wrong"}, "wrong password"},
      {{"item-create", note, "t", "<k>secret", "--password"}, "--password"},
      {{"item-create", note, "t", "--password", "pw"}, "usage"},
  };
  for (const Refusal& r : refusals) {
    const RunResult result = Run(r.args);
    EXPECT_NE(result.code, kExitOk) << r.args[3];
    EXPECT_NE(result.err.find(r.errPart), std::string::npos) << result.err;
  }
  EXPECT_EQ(Ok({"items", note}), "") << "nothing was stored by the refused commands";

  const std::string item = Trimmed(Ok({"item-create", note, "登录", "<k>user{TAB}密码{ENTER}", "--password", "pw"}));
  const std::string plain = Trimmed(Ok({"item-create", "--password", "pw", note, "plain", "<a>typed"}));
  const std::vector<std::uint8_t> stored = StoredContent(note, item);
  const auto secretBytes = Utf16LE(u"user");
  EXPECT_EQ(std::search(stored.begin(), stored.end(), secretBytes.begin(), secretBytes.end()), stored.end())
      << "the body is not stored in the clear";
  EXPECT_EQ((stored.size() / 2 - 3) % 8, 0u) << "whole cipher blocks after the tag";

  const std::string shown = Ok({"items", note, "--password", "pw"});
  EXPECT_NE(shown.find(item + "\t登录\t<k>user{TAB}密码{ENTER}\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find(plain + "\tplain\t<a>typed\n"), std::string::npos) << shown;
  const std::string asStored = Ok({"items", note});
  EXPECT_EQ(asStored.find("user{TAB}"), std::string::npos) << "without the password nothing is decrypted";
  EXPECT_NE(Run({"items", note, "--password", "nope"}).code, kExitOk);

  Ok({"item-update", note, item, "登录", "<K>new body", "--password", "pw"});
  EXPECT_NE(Ok({"items", note, "--password", "pw"}).find("\t<K>new body\n"), std::string::npos);
  const RunResult wrongUpdate = Run({"item-update", note, item, "x", "<k>other", "--password", "bad"});
  EXPECT_NE(wrongUpdate.code, kExitOk);
  EXPECT_NE(Ok({"items", note, "--password", "pw"}).find("\t<K>new body\n"), std::string::npos)
      << "a wrong password changes nothing";
}

// A body is refused when its encrypted form would not fit the content limit,
// even if its plain text does: stored, it would be cut to a length that is
// not whole blocks and decrypt to nothing.  The refusal comes before anything
// is written, the password record of a new database included.
TEST_F(ProtectSyncCommandsTest, EncryptedFormLongerThanTheContentLimitIsRefusedBeforeWriting) {
  const std::string note = NewNote();
  // 30777 body units take 3848 blocks, 30784 units, 30787 with the tag.
  const std::string tooLong = "<k>" + std::string(30777, 'x');
  const RunResult refused = Run({"item-create", note, "T", tooLong, "--password", ""});
  EXPECT_EQ(refused.code, kExitError);
  EXPECT_EQ(refused.err,
            "vellumo-db: the content is too long: stored encrypted it takes 30787 UTF-16 units with the tag; at "
            "most 30784\n");
  EXPECT_EQ(Ok({"items", note}), "");
  EXPECT_FALSE(HasPasswordRecord());

  // The largest body that fits: 30776 units, 3847 blocks, 30779 units stored.
  const std::string largest = "<k>" + std::string(30775, 'y') + "z";
  const std::string item = Trimmed(Ok({"item-create", note, "T", largest, "--password", ""}));
  EXPECT_EQ(StoredContent(note, item).size(), 2u * 30779);
  EXPECT_EQ(Ok({"items", note, "--password", ""}), item + "\tT\t" + largest + "\n");

  const std::vector<std::uint8_t> before = StoredContent(note, item);
  const RunResult update = Run({"item-update", note, item, "T", "<K>" + std::string(30777, 'w'), "--password", ""});
  EXPECT_EQ(update.code, kExitError);
  EXPECT_NE(update.err.find("the content is too long"), std::string::npos) << update.err;
  EXPECT_EQ(StoredContent(note, item), before);
}

// "clear" forces a new content key under the empty password; it must work on
// a database that has no password record at all.
TEST_F(ProtectSyncCommandsTest, RecoverClearMakesANewKeyEvenWithoutARecord) {
  const std::string note = NewNote();
  ASSERT_FALSE(HasPasswordRecord());
  EXPECT_EQ(Ok({"recover", "clear"}),
            "the password is now empty; contents encrypted before need their old recovery string\n");
  EXPECT_TRUE(HasPasswordRecord());
  EXPECT_EQ(PasswordCheck(""), kExitOk);

  const std::string item = Trimmed(Ok({"item-create", note, "S", "<k>before clear", "--password", ""}));
  const std::string oldRecovery = Trimmed(Ok({"recovery-string", ""}));
  Ok({"password-set", "", "forgotten"});
  Ok({"recover", "clear"});
  EXPECT_EQ(PasswordCheck(""), kExitOk);
  EXPECT_EQ(PasswordCheck("forgotten"), kExitAbsent);
  EXPECT_NE(Trimmed(Ok({"recovery-string", ""})), oldRecovery);
  EXPECT_EQ(Ok({"items", note, "--password", ""}).find("before clear"), std::string::npos);
  Ok({"recover", oldRecovery});
  EXPECT_EQ(Ok({"items", note, "--password", ""}), item + "\tS\t<k>before clear\n");
}

// "new" re-encrypts every body in every note to another key and leaves the
// empty password; with a recovery string after it, that key is the new one.
TEST_F(ProtectSyncCommandsTest, RecoverNewReencryptsEveryBodyToTheNewKey) {
  const std::string first = NewNote(), second = NewNote();
  const std::string a = Trimmed(Ok({"item-create", first, "a", "<k>first body", "--password", ""}));
  const std::string b = Trimmed(Ok({"item-create", second, "b", "<K>second body", "--password", ""}));
  const std::string c = Trimmed(Ok({"item-create", second, "c", "<a>plain"}));
  Ok({"password-set", "", "pw"});
  const std::string oldRecovery = Trimmed(Ok({"recovery-string", "pw"}));
  const std::vector<std::uint8_t> storedA = StoredContent(first, a), storedB = StoredContent(second, b);
  const std::string shownFirst = Ok({"items", first, "--password", "pw"});
  const std::string shownSecond = Ok({"items", second, "--password", "pw"});

  const std::string out = Ok({"recover", "new", "--password", "pw"});
  const std::string marker = "recovery string: ";
  ASSERT_EQ(out.rfind("re-encrypted 2 bodies; the password is now empty\n" + marker, 0), 0u) << out;
  const std::string newRecovery = Trimmed(out.substr(out.find(marker) + marker.size()));
  ASSERT_EQ(newRecovery.size(), 64u);
  EXPECT_NE(newRecovery, oldRecovery);
  EXPECT_EQ(Trimmed(Ok({"recovery-string", ""})), newRecovery);
  EXPECT_NE(StoredContent(first, a), storedA);
  EXPECT_EQ(StoredContent(first, a).size(), storedA.size());
  EXPECT_NE(StoredContent(second, b), storedB);
  EXPECT_EQ(Ok({"items", first, "--password", ""}), shownFirst);
  EXPECT_EQ(Ok({"items", second, "--password", ""}), shownSecond);
  EXPECT_NE(shownSecond.find(c + "\tc\t<a>plain\n"), std::string::npos) << shownSecond;

  const std::string given(64, '7');
  EXPECT_EQ(Ok({"recover", "new" + given, "--password", ""}),
            "re-encrypted 2 bodies; the password is now empty\nrecovery string: " + given + "\n");
  EXPECT_EQ(Trimmed(Ok({"recovery-string", ""})), given);
  EXPECT_EQ(Ok({"items", first, "--password", ""}), shownFirst);
  EXPECT_EQ(Ok({"items", second, "--password", ""}), shownSecond);
}

}  // namespace
}  // namespace vellumo::dbtool
