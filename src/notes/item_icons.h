#pragma once
// Drawing item icons.  The icon of a source (a path and a kind or index) is
// taken from the shell or from the file once per size class and kept in the
// database (icon_cache.h); every later draw, also after a restart, rebuilds
// it from that record without touching the file.  Sources without a path,
// and sources that yield no icon, draw one of seven built-in icons loaded
// from the module's resources on first use.
//
// Interface thread only: the drawing runs per visible cell on every repaint
// and shares one read buffer.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "notes/icon_cache.h"
#include "platform/win_handles.h"
#include "resources/resource.h"
#include "store/ku.h"

namespace vellumo::notes {

// Built-in icon slots in their fixed order: 0 plain text, 1 open notes,
// 2 paste, 3 encrypted sequence, 4 command line, 5 shell fallback, 6 key
// sequence.
constexpr int BuiltinIconResource(int slot) {
  constexpr int kResources[kBuiltinIconCount] = {IDI_TRAY,         IDI_KIND_OPEN,  IDI_KIND_PASTE, IDI_KIND_SECRET,
                                                 IDI_KIND_COMMAND, IDI_KIND_SHELL, IDI_KIND_KEYS};
  return slot >= 0 && slot < kBuiltinIconCount ? kResources[slot] : IDI_TRAY;
}

// The seven built-in icons in the two sizes the resources hold, loaded from
// one module on first use and kept while the program runs.
class BuiltinIcons {
 public:
  explicit BuiltinIcons(HINSTANCE instance = nullptr) : instance_(instance) {}
  BuiltinIcons(const BuiltinIcons&) = delete;
  BuiltinIcons& operator=(const BuiltinIcons&) = delete;
  // Null for a slot out of range or an icon that could not be loaded.
  HICON Get(int slot, bool large);

 private:
  HINSTANCE instance_;
  std::array<bool, 2> loaded_{false, false};
  std::array<std::array<platform::IconHandle, kBuiltinIconCount>, 2> tables_;
};

// `index` is the item's icon kind: a built-in kind with an empty path,
// ShellIconIndex for the shell's icon of a file or file type (a path
// beginning with "." is a type), or an icon index inside the file.  The
// icon fills size x size pixels at (x, y); built-in icons take one pixel
// more each way.
void DrawSourceIcon(Ku& db, BuiltinIcons& builtins, std::u16string_view path, std::uint32_t index, HDC dc, int x,
                    int y, int size);
void DrawItemIcon(Ku& db, BuiltinIcons& builtins, std::uint32_t note, std::uint32_t item, HDC dc, int x, int y,
                  int size);

// The built-in icon that stands for a source index (BuiltinIconSlot).
void DrawBuiltinIcon(BuiltinIcons& builtins, std::uint32_t index, HDC dc, int x, int y, int size);

}  // namespace vellumo::notes
