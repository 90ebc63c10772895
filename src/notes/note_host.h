#pragma once
// What the note windows need from the running program.  The shell fills it
// at start-up; tests fill what they use.  Interface thread only.
#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <mutex>

#include "protect/content_key.h"
#include "store/ku.h"

namespace vellumo::notes {

struct NoteHost {
  HINSTANCE instance = nullptr;
  Ku* database = nullptr;
  protect::ContentProtection* protection = nullptr;
  std::recursive_mutex* appMutex = nullptr;  // guards NoteWindowList against the item operations
  HWND mainWindow = nullptr;
  HWND managementDialog = nullptr;
  IDropTarget* dropTarget = nullptr;  // registered on every note window once dropping exists
  DWORD interfaceClock = 0;  // "now": the time of the latest ShellTick
  int screenWidth = 0;       // ScreenExtent: the screen size minus 2
  int screenHeight = 0;
};

NoteHost& Host();

}  // namespace vellumo::notes
