#include "notes/note_open_probe.h"
#include "platform/win_handles.h"

#include <windows.h>

#include <cstdio>

namespace vellumo::notes {

namespace {

LARGE_INTEGER openStart{};
LARGE_INTEGER triggerSample{};
bool triggerPending = false;

}  // namespace

void MarkNoteOpenStart() { ::QueryPerformanceCounter(&openStart); }

void MarkTriggerSample() {
  ::QueryPerformanceCounter(&triggerSample);
  triggerPending = true;
}

void ReportFirstPaint(std::uint32_t note) {
  static const bool enabled = ::GetEnvironmentVariableW(L"VELLUMO_NOTE_OPEN_TIMING_FILE", nullptr, 0) > 0;
  if (!enabled) return;
  LARGE_INTEGER now{}, frequency{};
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  const long long micros = (now.QuadPart - openStart.QuadPart) * 1000000 / frequency.QuadPart;
  const long long fromSample =
      triggerPending ? (now.QuadPart - triggerSample.QuadPart) * 1000000 / frequency.QuadPart : -1;
  triggerPending = false;
  wchar_t path[MAX_PATH] = {};
  ::GetEnvironmentVariableW(L"VELLUMO_NOTE_OPEN_TIMING_FILE", path, MAX_PATH);
  const platform::KernelHandle file(
      ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  char line[64];
  const int length = fromSample < 0 ? std::snprintf(line, sizeof line, "%u %lld\n", note, micros)
                                    : std::snprintf(line, sizeof line, "%u %lld %lld\n", note, micros, fromSample);
  DWORD written = 0;
  ::WriteFile(file.get(), line, static_cast<DWORD>(length), &written, nullptr);
}

}  // namespace vellumo::notes
