#include "store/database_path.h"

#include <gtest/gtest.h>

#include "platform/process_paths.h"
#include "store/ku.h"
#include "support/temp_dir.h"

namespace vellumo {
namespace {

TEST(DatabasePath, NamesFollowTheFixedPattern) {
  struct Case {
    std::u16string dir, prefix, base;
    std::uint32_t number;
    std::u16string ext, expected;
  };
  const Case cases[] = {
      {u"C:\\Tools", u"", u"vellumo", 1, u"ku", u"C:\\Tools\\vellumo-00000001.ku"},
      {u"C:\\Tools\\", u"", u"vellumo", 2, u"hs", u"C:\\Tools\\vellumo-00000002.hs"},
      {u"D:\\", u"bak\\", u"便利贴", 12345678, u"ku.bak", u"D:\\bak\\便利贴-12345678.ku.bak"},
      {u"C:\\x", u"", u"n", 123456789, u"hs.bak", u"C:\\x\\n-123456789.hs.bak"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatDatabaseFileName(c.dir, u'\\', c.prefix, c.base, c.number, c.ext), c.expected);
}

TEST(DatabasePath, CommandLineNameReplacesTheModuleNameInTheCurrentDirectory) {
  testing::TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  SetDatabaseBaseNameOverride(u"my notes");
  {
    Ku ku;
    EXPECT_EQ(ku.Open(1, u""), OpenResult::Created);
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "my notes-00000001.ku"));
  EXPECT_TRUE(std::filesystem::exists(dir / "my notes-00000001.hs"));
  SetDatabaseBaseNameOverride(std::u16string(200, u'x'));
  EXPECT_EQ(DatabaseBaseName().size(), 127u) << "the override keeps at most 127 characters";
  SetDatabaseBaseNameOverride(u"");
  EXPECT_EQ(DatabaseBaseName(), platform::ModuleBaseName());
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace vellumo
