#include <windows.h>
#include <shellapi.h>

#include "shell/app.h"

namespace vellumo::shell {

namespace {
NOTIFYICONDATAW TrayData(const App& app, UINT flags) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = app.MainWindowHandle();
  data.uID = 0;
  data.uFlags = flags;
  data.uCallbackMessage = WM_TRAY_NOTIFY;
  return data;
}
}  // namespace

void TrayAdd(App& app, HICON icon) {
  NOTIFYICONDATAW data = TrayData(app, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  data.hIcon = icon;
  ::lstrcpynW(data.szTip, app.productTitle.c_str(), 64);
  ::Shell_NotifyIconW(NIM_ADD, &data);
}

void TrayRemove(App& app) {
  NOTIFYICONDATAW data = TrayData(app, 0);
  ::Shell_NotifyIconW(NIM_DELETE, &data);
}

void TraySetIcon(App& app, HICON icon) {
  NOTIFYICONDATAW data = TrayData(app, NIF_ICON);
  data.hIcon = icon;
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

}  // namespace vellumo::shell
