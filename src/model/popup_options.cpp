#include "model/popup_options.h"

#include <array>

#include "platform/bytes.h"
#include "store/record_keys.h"

namespace vellumo::model {

namespace {

constexpr std::uint32_t kSingleScreenOnly = 0x1;
constexpr std::uint32_t kPopUpOverFullScreen = 0x2;

}  // namespace

PopupOptions LoadPopupOptions(Ku& db) {
  std::array<std::uint8_t, 4> bytes{};
  std::uint32_t length = bytes.size();
  PopupOptions options;
  if (db.Get(record_keys::kPopupOptionsKey, bytes.data(), &length) != 0 || length != bytes.size()) return options;
  const std::uint32_t off = LoadU32LE(bytes.data());
  options.everyMonitor = (off & kSingleScreenOnly) == 0;
  options.quietOverFullScreen = (off & kPopUpOverFullScreen) == 0;
  return options;
}

int StorePopupOptions(Ku& db, const PopupOptions& options) {
  std::uint32_t off = 0;
  if (!options.everyMonitor) off |= kSingleScreenOnly;
  if (!options.quietOverFullScreen) off |= kPopUpOverFullScreen;
  std::array<std::uint8_t, 4> bytes{};
  StoreU32LE(bytes.data(), off);
  return db.Put(record_keys::kPopupOptionsKey, bytes.data(), bytes.size());
}

}  // namespace vellumo::model
