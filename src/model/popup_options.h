#pragma once
// How notes pop up beyond the single screen: both options are on unless the
// user turned them off, so the stored word holds only what was turned off
// and a database without it behaves as a new one.
#include <cstdint>

#include "store/ku.h"

namespace vellumo::model {

struct PopupOptions {
  // Every monitor's outer edges and corners trigger, and windows open on
  // the monitor of the pointer; off: the primary screen only.
  bool everyMonitor = true;
  // No pop-up while a full-screen program is in front.
  bool quietOverFullScreen = true;
  bool operator==(const PopupOptions&) const = default;
};

[[nodiscard]] PopupOptions LoadPopupOptions(Ku& db);
[[nodiscard]] int StorePopupOptions(Ku& db, const PopupOptions& options);

}  // namespace vellumo::model
