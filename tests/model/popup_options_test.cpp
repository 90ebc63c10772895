#include "model/popup_options.h"

#include <gtest/gtest.h>

#include "store/record_keys.h"
#include "support/temp_dir.h"

namespace vellumo::model {
namespace {

TEST(PopupOptions, OnUnlessTurnedOffAndStoredAsWhatWasTurnedOff) {
  testing::TempDir dir;
  Ku db;
  ASSERT_EQ(db.OpenFiles(dir / "o.ku", dir / "o.hs"), OpenResult::Created);
  EXPECT_EQ(LoadPopupOptions(db), (PopupOptions{true, true}));
  for (const PopupOptions options : {PopupOptions{false, true}, PopupOptions{true, false}, PopupOptions{false, false},
                                     PopupOptions{true, true}}) {
    ASSERT_EQ(StorePopupOptions(db, options), 0);
    EXPECT_EQ(LoadPopupOptions(db), options);
  }
  // The stored word: bit 0 single screen only, bit 1 pop up over full screen.
  ASSERT_EQ(StorePopupOptions(db, {false, true}), 0);
  std::uint8_t bytes[8] = {};
  std::uint32_t length = sizeof bytes;
  ASSERT_EQ(db.Get(record_keys::kPopupOptionsKey, bytes, &length), 0);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(bytes[0], 1);
  // A damaged value reads as the defaults.
  const std::uint8_t two[] = {3, 0};
  ASSERT_EQ(db.Put(record_keys::kPopupOptionsKey, two, 2), 0);
  EXPECT_EQ(LoadPopupOptions(db), (PopupOptions{true, true}));
}

}  // namespace
}  // namespace vellumo::model
