#include "store/mapped_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/temp_dir.h"

namespace vellumo {
namespace {

constexpr std::uint64_t MiB = 1024 * 1024;

struct MappedFixture {
  testing::TempDir dir;
  platform::File file = platform::File::OpenExclusiveWriter(dir / "f.ku");
};

TEST(MappedFile, NewFileGrowsToOneViewOnFirstWriteAndReadsBeyondEndAsZeros) {
  MappedFixture f;
  ASSERT_TRUE(f.file.IsOpen());
  KYiQ8v view(f.file, KYiQ8v::kDatabaseMaxViews, KYiQ8v::kDatabaseViewSize);
  EXPECT_EQ(view.MappedSize(), 0u);

  std::uint8_t buf[16];
  std::memset(buf, 0xAA, sizeof buf);
  ASSERT_EQ(view.Read(5 * MiB, buf, sizeof buf), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(buf, buf + 16), std::vector<std::uint8_t>(16, 0));
  EXPECT_EQ(f.file.Size(), 0u) << "a read must not grow the file";

  const char hello[] = "hello";
  ASSERT_EQ(view.Write(10, hello, 5), 0);
  EXPECT_EQ(f.file.Size(), 2 * MiB);
  EXPECT_EQ(view.MappedSize(), 2 * MiB);

  // A read that starts inside and runs past the end: data, then zeros.
  std::vector<std::uint8_t> tail(64, 0xAA);
  const char marker[] = "end!";
  ASSERT_EQ(view.Write(2 * MiB - 4, marker, 4), 0);
  ASSERT_EQ(view.Read(2 * MiB - 4, tail.data(), tail.size()), 0);
  EXPECT_EQ(std::memcmp(tail.data(), "end!", 4), 0);
  for (std::size_t i = 4; i < tail.size(); ++i) ASSERT_EQ(tail[i], 0) << i;
  EXPECT_EQ(f.file.Size(), 2 * MiB);
}

struct GrowthCase {
  std::uint32_t viewSize;
  std::uint64_t initialTarget;  // a first write here sets the starting size
  std::uint64_t startSize;
  std::uint64_t target;
  std::uint64_t expectedSize;
};

class MappedFileGrowth : public ::testing::TestWithParam<GrowthCase> {};

TEST_P(MappedFileGrowth, StepDependsOnCurrentSize) {
  const GrowthCase c = GetParam();
  MappedFixture f;
  KYiQ8v view(f.file, 8, c.viewSize);
  const std::uint8_t one = 1;
  ASSERT_EQ(view.Write(c.initialTarget, &one, 1), 0);
  ASSERT_EQ(f.file.Size(), c.startSize);
  ASSERT_EQ(view.Write(c.target, &one, 1), 0);
  EXPECT_EQ(f.file.Size(), c.expectedSize);
  EXPECT_EQ(view.MappedSize(), c.expectedSize);
  std::uint8_t back = 0;
  ASSERT_EQ(view.Read(c.target, &back, 1), 0);
  EXPECT_EQ(back, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MappedFileGrowth,
    ::testing::Values(
        // Below one view: the first growth makes the file exactly one view.
        GrowthCase{0x200000, 0, 2 * MiB, 2 * MiB, 4 * MiB},
        // Below 8 views the step is one view: 16 MiB is reached in 2 MiB steps.
        GrowthCase{0x200000, 0, 2 * MiB, 16 * MiB - 1, 16 * MiB},
        // At 16 MiB (8 views) the step becomes 32 MiB: 10 MiB past the end -> 32 MiB.
        GrowthCase{0x200000, 16 * MiB - 1, 16 * MiB, 26 * MiB, 32 * MiB},
        GrowthCase{0x200000, 256 * MiB - 1, 256 * MiB, 300 * MiB, 384 * MiB},
        GrowthCase{0x200000, 1024 * MiB - 1, 1024 * MiB, 1024 * MiB, 1536 * MiB},
        // The free-space file's smaller views.
        GrowthCase{0x80000, 0, 512 * 1024, 512 * 1024, 1 * MiB},
        GrowthCase{0x80000, 4 * MiB - 1, 4 * MiB, 4 * MiB, 32 * MiB}));

TEST(MappedFile, EvictsTheLeastRecentlyUsedViewWhenFull) {
  MappedFixture f;
  constexpr std::uint32_t kView = 0x10000;
  KYiQ8v view(f.file, 4, kView);
  std::uint8_t b = 7;
  ASSERT_EQ(view.Write(5 * kView - 1, &b, 1), 0);  // one growth covers all five regions
  ASSERT_EQ(f.file.Size(), 5u * kView);
  for (std::uint64_t i = 0; i < 4; ++i) ASSERT_EQ(view.Read(i * kView, &b, 1), 0);
  EXPECT_EQ(view.ViewCount(), 4u);
  ASSERT_EQ(view.Read(0, &b, 1), 0);  // view 0 is used again: view 1 is now the oldest
  ASSERT_EQ(view.Read(5 * kView - 1, &b, 1), 0);
  EXPECT_EQ(view.ViewCount(), 4u);
  auto starts = view.ViewStarts();
  EXPECT_EQ(std::count(starts.begin(), starts.end(), std::uint64_t{kView}), 0);
  EXPECT_EQ(std::count(starts.begin(), starts.end(), std::uint64_t{0}), 1);
  EXPECT_EQ(std::count(starts.begin(), starts.end(), std::uint64_t{4 * kView}), 1);
  EXPECT_EQ(b, 7);
}

TEST(MappedFile, NinetySeventhDatabaseViewEvictsOne) {
  MappedFixture f;
  KYiQ8v view(f.file, KYiQ8v::kDatabaseMaxViews, KYiQ8v::kDatabaseViewSize);
  const std::uint8_t b = 1;
  const std::uint64_t v = KYiQ8v::kDatabaseViewSize;
  ASSERT_EQ(view.Write(97 * v - 1, &b, 1), 0);
  std::uint8_t r = 0;
  for (std::uint64_t i = 0; i < 96; ++i) ASSERT_EQ(view.Read(i * v, &r, 1), 0);
  EXPECT_EQ(view.ViewCount(), 96u);
  ASSERT_EQ(view.Read(97 * v - 1, &r, 1), 0);
  EXPECT_EQ(view.ViewCount(), 96u);
  auto starts = view.ViewStarts();
  EXPECT_EQ(std::count(starts.begin(), starts.end(), std::uint64_t{0}), 0) << "view 0 had the oldest stamp";
  EXPECT_EQ(r, 1);
}

TEST(MappedFile, DataSurvivesUnmapAndReopen) {
  testing::TempDir dir;
  {
    platform::File file = platform::File::OpenExclusiveWriter(dir / "d.ku");
    KYiQ8v view(file, 4, 0x10000);
    std::vector<std::uint8_t> data(200000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31);
    // Crosses several view boundaries in one call.
    ASSERT_EQ(view.Write(1000, data.data(), data.size()), 0);
    view.UnmapAll();
    std::vector<std::uint8_t> back(data.size());
    ASSERT_EQ(view.Read(1000, back.data(), back.size()), 0);
    EXPECT_EQ(back, data);
  }
  platform::File file = platform::File::OpenExclusiveWriter(dir / "d.ku");
  KYiQ8v view(file, 4, 0x10000);
  std::uint8_t b = 0;
  ASSERT_EQ(view.Read(1000 + 199999, &b, 1), 0);
  EXPECT_EQ(b, static_cast<std::uint8_t>(199999 * 31));
}

// Large writes bypass the views; what they write must still be what the views
// show, including through a pointer taken before the write, and one that
// reaches past the mapped size must still grow the file.
TEST(MappedFile, LargeWritesAreSeenThroughViewsAndStillGrowTheFile) {
  MappedFixture f;
  constexpr std::uint32_t kView = 0x10000;
  KYiQ8v view(f.file, 4, kView);
  const std::uint8_t one = 1;
  ASSERT_EQ(view.Write(3 * kView - 1, &one, 1), 0);
  ASSERT_EQ(f.file.Size(), 3u * kView);
  const std::uint64_t at = kView - 100;  // crosses a view boundary
  std::uint8_t* before = view.Pointer(at, 100);
  ASSERT_NE(before, nullptr);
  std::vector<std::uint8_t> data(KYiQ8v::kDirectWriteBytes * 3);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
  ASSERT_EQ(view.Write(at, data.data(), data.size()), 0);
  EXPECT_EQ(std::memcmp(before, data.data(), 100), 0);
  std::vector<std::uint8_t> back(data.size());
  ASSERT_EQ(view.Read(at, back.data(), back.size()), 0);
  EXPECT_EQ(back, data);

  // Past the end: grown in a step, written, read back.
  const std::uint64_t beyond = 3 * kView - 10;
  ASSERT_EQ(view.Write(beyond, data.data(), data.size()), 0);
  EXPECT_GE(f.file.Size(), beyond + data.size());
  ASSERT_EQ(view.Read(beyond, back.data(), back.size()), 0);
  EXPECT_EQ(back, data);
  std::vector<std::uint8_t> onDisk(data.size());
  ASSERT_EQ(f.file.ReadAt(at, onDisk.data(), onDisk.size()), onDisk.size());
  EXPECT_EQ(onDisk, data) << "the file itself holds the first write";
}

TEST(MappedFile, PositionOutOfRangeFailsWithoutGrowing) {
  MappedFixture f;
  KYiQ8v view(f.file, 4, 0x10000);
  const std::uint8_t b = 1;
  ASSERT_EQ(view.Write(0, &b, 1), 0);
  EXPECT_EQ(view.Write(0xFFFFFFFF00000000ull, &b, 1), mapped_file_error::kWriteMapFailed);
  EXPECT_EQ(f.file.Size(), 0x10000u);
  std::uint8_t r = 0;
  EXPECT_EQ(view.Read(0, &r, 1), 0);
  EXPECT_EQ(r, 1) << "the cache stays usable after a failure";
}

TEST(MappedFile, SecondWriterIsRefusedWhileTheFirstHoldsTheFile) {
  testing::TempDir dir;
  platform::File first = platform::File::OpenExclusiveWriter(dir / "x.ku");
  ASSERT_TRUE(first.IsOpen());
  platform::File second = platform::File::OpenExclusiveWriter(dir / "x.ku");
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  platform::File third = platform::File::OpenExclusiveWriter(dir / "x.ku");
  EXPECT_TRUE(third.IsOpen());
}

}  // namespace
}  // namespace vellumo
