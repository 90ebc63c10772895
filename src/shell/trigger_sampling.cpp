// The pointer sampled once a tick for pop-up triggers: edges and corners
// touched and gestures drawn open the notes bound to them.
#include <windows.h>

#include <string>
#include <vector>

#include "notes/note_open_probe.h"
#include "notes/note_window.h"
#include "shell/app.h"

namespace vellumo::shell {

namespace {

// A game or a presentation: the window in front covers its whole monitor
// and is neither the desktop nor the shell.
bool FullScreenProgramInFront() {
  const HWND front = ::GetForegroundWindow();
  if (!front || front == ::GetDesktopWindow() || front == ::GetShellWindow()) return false;
  wchar_t name[32] = {};
  ::GetClassNameW(front, name, 32);
  if (std::wstring(name) == L"Progman" || std::wstring(name) == L"WorkerW") return false;
  RECT window{};
  if (!::GetWindowRect(front, &window)) return false;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoW(::MonitorFromWindow(front, MONITOR_DEFAULTTONEAREST), &monitor)) return false;
  const RECT& m = monitor.rcMonitor;
  return window.left <= m.left && window.top <= m.top && window.right >= m.right && window.bottom >= m.bottom;
}

}  // namespace

void RefreshTriggerMonitors(App& app) {
  std::vector<notes::MonitorRect> monitors;
  if (app.context.everyMonitor) monitors = notes::DisplayMonitors();
  if (monitors.empty())
    monitors.push_back({0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)});
  app.pointerSampler.SetMonitors(std::move(monitors));
}

void SampleTriggers(App& app, DWORD now) {
  if (app.mousePopupPaused) return;
  POINT p{};
  if (!::GetCursorPos(&p)) return;
  const std::optional<notes::PointerEvent> event = app.pointerSampler.Sample(p.x, p.y);
  if (!event) return;
  const int code = app.gestures.Feed(event->event, now);
  if (code == 0) return;
  if (app.context.quietOverFullScreen && FullScreenProgramInFront()) return;
  notes::MarkTriggerSample();
  (void)app.actionQueue.QueueNumber(actions::ActionKind::OpenByTrigger, static_cast<std::uint32_t>(code));
}

}  // namespace vellumo::shell
