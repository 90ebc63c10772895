#pragma once
// The change-icon dialog of the item editor: modal, it stores the chosen
// icon file and index as the item's own icon, or clears them.
#include <windows.h>

#include <cstdint>

#include "model/notifier.h"
#include "store/ku.h"

namespace vellumo::editor {

// True when the item's icon changed.  `open` holds the dialog's window
// while it is shown (so that its editor can end it), and null after.
bool ShowChangeIconDialog(HINSTANCE instance, HWND owner, Ku& db, model::ModelNotifier* notifier, std::uint32_t note,
                          std::uint32_t item, HWND* open);

}  // namespace vellumo::editor
