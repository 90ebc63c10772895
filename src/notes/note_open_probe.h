#pragma once
// For measurements: when VELLUMO_NOTE_OPEN_TIMING_FILE names a file, each
// note window's first painted frame appends "note microseconds" to it,
// counted from the start of the OpenNoteWindow call that made the window,
// and, when a pop-up trigger opened it, the microseconds from the pointer
// sample that fired the trigger as a third field.
#include <cstdint>

namespace vellumo::notes {

void MarkNoteOpenStart();
void MarkTriggerSample();
void ReportFirstPaint(std::uint32_t note);

}  // namespace vellumo::notes
