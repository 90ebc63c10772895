#pragma once
// Which notes a pop-up trigger opens: those whose trigger flags carry the
// trigger's bit and whose required modifier keys are all held.
#include <cstdint>
#include <vector>

#include "store/ku.h"

namespace vellumo::notes {

struct HeldModifiers {
  bool shift = false, ctrl = false, alt = false;
};

// Trigger codes: 1..4 gestures, 5..12 screen edges and corners, 16 program
// start.  Notes come in the order of their trigger records.
std::vector<std::uint32_t> NotesOpenedBy(Ku& db, unsigned triggerCode, HeldModifiers held);

}  // namespace vellumo::notes
