#pragma once
// Starting what items name: "<run>" targets through the shell, "<cmd>"
// command lines as hidden processes.  Neither waits for what it starts nor
// reports a failure: a click that starts nothing simply starts nothing.
#include <string_view>

#include "actions/action_queue.h"

namespace vellumo::actions {

// A "<run>" text (see run_target.h).  With Ctrl held, Explorer shows the
// target selected in its folder, or, for a target without a folder, the
// target's text is pasted through `queue`.
void RunTarget(ActionQueue& queue, std::u16string_view text);

// Starts the command line with no window; its output goes nowhere.  True
// when the process was started.
bool RunCommandLine(std::u16string_view commandLine);

}  // namespace vellumo::actions
