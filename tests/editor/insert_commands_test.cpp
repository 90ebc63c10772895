#include "editor/insert_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "resources/resource.h"

namespace vellumo::editor {
namespace {

TEST(InsertCommands, TagsAtTheStartTokensAtTheCaret) {
  struct Case {
    int id;
    std::u16string text;
    InsertAt where;
  };
  const Case cases[] = {
      {32815, u"<v>", InsertAt::Start},  {32825, u"<open>", InsertAt::Start}, {32826, u"<OPEN>", InsertAt::Start},
      {32817, u"<K>", InsertAt::Start},  {32844, u"<cd>", InsertAt::Caret},   {32841, u"<5h>", InsertAt::Caret},
      {32853, u"<fa>", InsertAt::Caret}, {32851, u"<2E>", InsertAt::Caret},   {32821, u"<>", InsertAt::Caret},
  };
  for (const Case& c : cases) {
    const auto insertion = InsertionFor(c.id, nullptr);
    ASSERT_TRUE(insertion.has_value()) << c.id;
    EXPECT_EQ(insertion->text, c.text) << c.id;
    EXPECT_EQ(insertion->where, c.where) << c.id;
  }
  EXPECT_FALSE(InsertionFor(32788, nullptr).has_value());
  EXPECT_EQ(InsertionFor(32870, [] { return std::u16string(u"x"); })->text, u"x");
  const std::u16string reference = InsertionFor(32872, nullptr)->text;
  EXPECT_NE(reference.find(u"<0D> : Enter"), std::u16string::npos);
  EXPECT_NE(reference.find(u"<30> 至 <39> : 数字 0 至 9 (VK_0 至 VK_9)"), std::u16string::npos);
}

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += n;
  }
  return out;
}

// Every entry of the insert menu in the resource script inserts something,
// and a tag entry inserts the tag its text shows.
TEST(InsertCommands, EveryEntryOfTheMenuInsertsWhatItSays) {
  const char* source = std::getenv("VELLUMO_SOURCE_DIR");
  if (!source) GTEST_SKIP() << "VELLUMO_SOURCE_DIR not set";
  std::ifstream rc(std::string(source) + "/src/resources/vellumo.rc");
  if (!rc) GTEST_SKIP() << "no resource script";
  std::ostringstream all;
  all << rc.rdbuf();
  const std::string script = all.str();
  // "#define IDM_INSERT_PASTE 32815" lines of the header.
  std::ifstream header(std::string(source) + "/src/resources/resource.h");
  std::map<std::string, int> ids;
  for (std::string line; std::getline(header, line);) {
    std::istringstream words(line);
    std::string define, name;
    int value = 0;
    if (words >> define >> name >> value && define == "#define" && name.starts_with("IDM_INSERT_")) ids[name] = value;
  }
  const std::size_t start = script.find("IDM_INSERT MENU");
  ASSERT_NE(start, std::string::npos);
  const std::string menu = script.substr(start, script.find("\nEND", start) - start);
  // MENUITEM "text", IDM_INSERT_NAME
  std::size_t entries = 0;
  std::istringstream lines(menu);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t item = line.find("MENUITEM \"");
    if (item == std::string::npos) continue;
    ++entries;
    const std::size_t open = item + 10, close = line.find("\", ", open);
    ASSERT_NE(close, std::string::npos) << line;
    const std::u16string text = Utf16(line.substr(open, close - open));
    std::string name = line.substr(close + 3);
    while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) name.pop_back();
    ASSERT_TRUE(ids.count(name)) << name;
    const auto insertion = InsertionFor(ids[name], [] { return std::u16string(u"R"); });
    ASSERT_TRUE(insertion.has_value()) << name;
    EXPECT_FALSE(insertion->text.empty()) << name;
    // "粘贴 <v>", "<cd> Ctrl按下": the tag or token shown is the one inserted.
    if (text.find(u'<') != std::u16string::npos && text.find(u'/') == std::u16string::npos) {
      EXPECT_NE(text.find(insertion->text), std::u16string::npos) << name;
    }
  }
  EXPECT_EQ(entries, 27u);
}

TEST(InsertCommands, OnlyCommandTagsGoToTheStart) {
  // A tag is a command only at the very start of the content; tokens,
  // the comment marker and the generated texts belong where the caret is.
  for (int id = 32768; id < 33024; ++id) {
    const auto insertion = InsertionFor(id, [] { return std::u16string(u"R"); });
    if (!insertion) continue;
    const bool command = insertion->text == u"<v>" || insertion->text == u"<a>" || insertion->text == u"<A>" ||
                         insertion->text == u"<k>" || insertion->text == u"<K>" || insertion->text == u"<run>" ||
                         insertion->text == u"<cmd>" || insertion->text == u"<open>" || insertion->text == u"<OPEN>";
    EXPECT_EQ(insertion->where, command ? InsertAt::Start : InsertAt::Caret) << id;
  }
}

TEST(RandomString12, DrawsEveryCharacterOfEveryAlphabetAndNothingElse) {
  const std::u16string_view alphabet =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!@#$%^&*()-_=+[]{};:,.<>?";
  std::set<char16_t> seen;
  std::mt19937 engine(7);
  for (int i = 0; i < 3000; ++i)
    for (const char16_t c : RandomString12([&engine] { return static_cast<std::uint32_t>(engine()); })) seen.insert(c);
  for (int i = 0; i < 200; ++i)
    for (const char16_t c : RandomString12()) seen.insert(c);
  EXPECT_EQ(seen, std::set<char16_t>(alphabet.begin(), alphabet.end()));
}

TEST(RandomString12, TwelveCharactersOfEveryClassWhateverTheDraws) {
  auto classes = [](const std::u16string& s) {
    auto has = [&](auto predicate) { return std::any_of(s.begin(), s.end(), predicate); };
    return has([](char16_t c) { return c >= u'a' && c <= u'z'; }) && has([](char16_t c) { return c >= u'A' && c <= u'Z'; }) &&
           has([](char16_t c) { return c >= u'0' && c <= u'9'; }) &&
           has([](char16_t c) { return std::u16string_view(u"!@#$%^&*()-_=+[]{};:,.<>?").find(c) != std::u16string_view::npos; });
  };
  // Degenerate generators (always 0, always the largest value) and a seeded
  // one over many draws.
  for (const std::uint32_t fixed : {0u, 0xFFFFFFFFu}) {
    const std::u16string s = RandomString12([fixed] { return fixed; });
    EXPECT_EQ(s.size(), 12u);
    EXPECT_TRUE(classes(s));
  }
  std::mt19937 engine(12345);
  for (int i = 0; i < 2000; ++i) {
    const std::u16string s = RandomString12([&engine] { return static_cast<std::uint32_t>(engine()); });
    ASSERT_EQ(s.size(), 12u);
    ASSERT_TRUE(classes(s)) << i;
  }
  const std::u16string a = RandomString12(), b = RandomString12();
  EXPECT_EQ(a.size(), 12u);
  EXPECT_NE(a, b);  // from the system's generator
}

}  // namespace
}  // namespace vellumo::editor
