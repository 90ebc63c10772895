#pragma once
// The running program as its windows see it: the database, content
// protection, the main window, the interface clock and screen extent, and
// what the windows share.  The shell owns the one instance and hands it to
// every window and subsystem it starts; nothing reaches it through a
// global.  Interface thread only, except appMutex and the thread id.
#include <windows.h>
#include <ole2.h>

#include <mutex>

#include "model/item_operations.h"
#include "notes/item_tooltip.h"
#include "notes/note_shared.h"
#include "notes/note_window_list.h"
#include "protect/content_key.h"
#include "store/ku.h"

namespace vellumo::notes {

// What a note window or an item editor asks of the rest of the program:
// running an item, the item editor, the management window, capturing a
// selection.  The shell
// implements it; note windows know nothing of the parts behind it.
class NoteCommands {
 public:
  virtual ~NoteCommands() = default;
  virtual void ExecuteItem(std::uint32_t note, std::uint32_t item) = 0;
  // Item 0 opens the editor for a new item; `newEditor` asks for another
  // editor even when one is open.
  virtual void OpenItemEditor(std::uint32_t note, std::uint32_t item, bool newEditor) = 0;
  virtual void ToggleManagementWindow(std::uint32_t note) = 0;
  // The foreground program's selection becomes a new item of the note.
  virtual void CaptureToItem(std::uint32_t note) = 0;
  // ... or goes into an edit control of the item editor.
  virtual void CaptureToEditor(HWND edit, int limit) = 0;
};

struct ProgramContext {
  ProgramContext() : interfaceThread(::GetCurrentThreadId()) {}
  ProgramContext(const ProgramContext&) = delete;
  ProgramContext& operator=(const ProgramContext&) = delete;

  HINSTANCE instance = nullptr;
  Ku* database = nullptr;
  protect::ContentProtection* protection = nullptr;
  model::ItemOperations* items = nullptr;  // every change to items goes through it
  NoteCommands* commands = nullptr;
  model::ModelNotifier* messages = nullptr;  // message boxes owned by the main window
  // AppMutex: guards NoteWindowList against the item operations of every
  // thread; re-entrant on one thread, as the Win32 mutex it stands for.
  model::AppMutex appMutex;
  HWND mainWindow = nullptr;
  HWND managementDialog = nullptr;
  IDropTarget* dropTarget = nullptr;  // registered on every note window once dropping exists
  HCURSOR dragCursor = nullptr;       // cursor resource 139
  DWORD interfaceClock = 0;           // "now": the time of the latest ShellTick
  int screenWidth = 0;                // ScreenExtent: the screen size minus 2
  int screenHeight = 0;
  // Pop-up options (stored, default on): every monitor's outer edges and
  // corners are trigger places and windows open on their monitor; no pop-up
  // while a full-screen program is in front.
  bool everyMonitor = true;
  bool quietOverFullScreen = true;
  const DWORD interfaceThread;  // the thread that owns every window

  // Declared before the windows so that they go after them.
  SharedNoteResources shared;
  ItemTooltip tooltip;
  NoteWindowList noteWindows;

  HINSTANCE Instance() const { return instance ? instance : ::GetModuleHandleW(nullptr); }
  bool OnInterfaceThread() const { return ::GetCurrentThreadId() == interfaceThread; }
};

}  // namespace vellumo::notes
