#include <windows.h>
#include <shellapi.h>

#include "shell/app.h"

namespace vellumo::shell {

namespace {
NOTIFYICONDATAW TrayData(UINT flags) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = TheApp().mainWindow;
  data.uID = 0;
  data.uFlags = flags;
  data.uCallbackMessage = WM_TRAY_NOTIFY;
  return data;
}
}  // namespace

void TrayAdd(HICON icon) {
  NOTIFYICONDATAW data = TrayData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
  data.hIcon = icon;
  ::lstrcpynW(data.szTip, TheApp().productTitle.c_str(), 64);
  ::Shell_NotifyIconW(NIM_ADD, &data);
}

void TrayRemove() {
  NOTIFYICONDATAW data = TrayData(0);
  ::Shell_NotifyIconW(NIM_DELETE, &data);
}

void TraySetIcon(HICON icon) {
  NOTIFYICONDATAW data = TrayData(NIF_ICON);
  data.hIcon = icon;
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

}  // namespace vellumo::shell
