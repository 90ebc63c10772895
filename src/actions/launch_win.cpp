#include <windows.h>
#include <shellapi.h>

#include <string>
#include <type_traits>
#include <variant>

#include "actions/keyboard_input.h"
#include "actions/launch.h"
#include "actions/run_target.h"
#include "platform/win_handles.h"

namespace vellumo::actions {

namespace {

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// ShellExecuteW reports success as a value above 32.
bool ShellOpen(const std::wstring& file, const std::wstring* parameters, const std::wstring* folder) {
  const HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, file.c_str(), parameters ? parameters->c_str() : nullptr,
                                           folder ? folder->c_str() : nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace

void RunTarget(ActionQueue& queue, std::u16string_view text) {
  const RunPlan plan = PlanRunTarget(text, CtrlDown());
  std::visit(
      [&queue](const auto& step) {
        using Step = std::decay_t<decltype(step)>;
        if constexpr (std::is_same_v<Step, run_plan::ShellOpen>) {
          const std::wstring file = Wide(step.file);
          const std::wstring parameters = step.parameters ? Wide(*step.parameters) : std::wstring();
          const std::wstring* params = step.parameters ? &parameters : nullptr;
          if (step.workingFolder) {
            const std::wstring folder = Wide(*step.workingFolder);
            // A folder that does not exist (a moved program) must not stop
            // a target the shell can find by itself.
            if (!ShellOpen(file, params, &folder)) (void)ShellOpen(file, params, nullptr);
          } else {
            (void)ShellOpen(file, params, nullptr);
          }
        } else if constexpr (std::is_same_v<Step, run_plan::ExplorerSelect>) {
          const std::wstring parameters = Wide(step.parameters);
          (void)ShellOpen(L"Explorer", &parameters, nullptr);
        } else if constexpr (std::is_same_v<Step, run_plan::PasteTarget>) {
          (void)queue.QueueText(ActionKind::PasteText, step.text);
        }
      },
      plan);
}

bool RunCommandLine(std::u16string_view commandLine) {
  // The output goes to the null device rather than to a pipe nobody reads:
  // a command that writes more than a pipe holds would wait for ever.
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const platform::KernelHandle sink(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!sink) return false;
  STARTUPINFOW startup{};
  ::GetStartupInfoW(&startup);
  startup.cb = sizeof startup;
  startup.hStdInput = nullptr;
  startup.hStdOutput = sink.get();
  startup.hStdError = sink.get();
  startup.wShowWindow = SW_HIDE;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  std::wstring line = Wide(commandLine);  // CreateProcessW may write into it
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
    return false;
  const platform::KernelHandle processHandle(process.hProcess);
  const platform::KernelHandle threadHandle(process.hThread);
  return true;
}

}  // namespace vellumo::actions
