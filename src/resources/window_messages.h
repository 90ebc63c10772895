#pragma once
// Private messages of the program's own windows, numbered per receiver.
// The note windows' messages live with the note window.
#include <windows.h>

namespace vellumo {

// To MainWindow.
inline constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;
inline constexpr UINT WM_SECOND_INSTANCE = WM_USER + 11;
// A note's items changed on another thread (wParam = note id): the note
// windows are walked on the interface thread only.
inline constexpr UINT WM_NOTE_CHANGED_ELSEWHERE = WM_USER + 12;
// Open the item editor: wParam = note id, lParam = item id (0: a new item),
// with bit 32 set when a second editor is asked for.
inline constexpr UINT WM_OPEN_ITEM_EDITOR = WM_USER + 13;
inline constexpr LPARAM kNewEditorFlag = static_cast<LPARAM>(1) << 32;

// To ManagementDialog.
inline constexpr UINT WM_MGMT_RELOAD = WM_USER + 2;
inline constexpr UINT WM_MGMT_SYNC_ERROR = WM_USER + 3;
inline constexpr UINT WM_MGMT_OPEN_EDITOR = WM_USER + 4;
inline constexpr UINT WM_MGMT_FOCUS_FILTER = WM_USER + 5;
inline constexpr UINT WM_NOTES_CHANGED = WM_USER + 6;
inline constexpr UINT WM_MGMT_SELECT_NOTE = WM_USER + 7;
inline constexpr UINT WM_MGMT_AUTO_OPEN = WM_USER + 8;

// To an item editor: show item wParam (0: a new item) of note lParam (0:
// the note it shows).
inline constexpr UINT WM_EDITOR_SWITCH = WM_USER + 3;

}  // namespace vellumo
