#pragma once
// The program's system-wide hotkeys, all registered on the main window: the
// three management hotkeys and one per note.  Interface thread only.
#include <windows.h>

#include <cstdint>
#include <string>

#include "store/ku.h"

namespace vellumo::shell {

class GlobalHotkeys {
 public:
  // At start-up: returns one line per management hotkey the system
  // refused, empty when all were taken.
  std::wstring RegisterManagementHotkeys(HWND window, Ku& db);
  // Every note's hotkey on or off.  A note hotkey that another program
  // holds, or that equals a management hotkey, is silently left out.
  void SetNoteHotkeys(HWND window, Ku& db, bool registered);
  // Management hotkey 3: note hotkeys inert, then live again.
  void ToggleNoteHotkeys(HWND window, Ku& db);
  bool NoteHotkeysPaused() const { return noteHotkeysPaused_; }
  // Dialog 145 changed management hotkey `which`: stores it, releases the
  // previous one, registers the new one.  False when the system refused it
  // (the value stays stored).
  bool ChangeManagementHotkey(HWND window, Ku& db, int which, std::uint32_t value);
  // A note's hotkey changed (properties) or the note went: off for the old
  // value, on for the new one unless note hotkeys are paused.  False when
  // the new one could not be registered (another program or a management
  // hotkey holds it).
  bool ChangeNoteHotkey(HWND window, Ku& db, std::uint32_t note, std::uint32_t value);

 private:
  bool TakenByManagement(Ku& db, std::uint32_t value) const;
  bool noteHotkeysPaused_ = false;
};

// "Ctrl + Alt + F5": the readable form of a stored hotkey value.
std::wstring HotkeyText(std::uint32_t value);

}  // namespace vellumo::shell
