#pragma once
// The one binding between a window and the object behind it.  The object
// comes in through the creation parameter, is kept in GWLP_USERDATA from
// WM_NCCREATE and forgotten on WM_NCDESTROY, so that no message reaches an
// object after its window is gone, whichever way the window went.  The
// procedure is noexcept and lets no exception out into the system's code.
//
//   class Thing : public platform::WindowBase<Thing> {
//     friend class platform::WindowBase<Thing>;
//     LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
//   };
//   CreateWindowExW(..., &Thing::WindowProcedure (in the class), ..., this);
#include <windows.h>

namespace vellumo::platform {

template <typename T>
class WindowBase {
 public:
  // The window, from WM_NCCREATE until WM_NCDESTROY.
  HWND hwnd = nullptr;

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    T* self = nullptr;
    if (message == WM_NCCREATE) {
      self = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      if (self) self->hwnd = window;
    } else {
      self = FromWindow(window);
    }
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
      result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
      result = ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      self->hwnd = nullptr;
    }
    return result;
  }

  // The object of a window of this class, null before WM_NCCREATE and after
  // WM_NCDESTROY.
  static T* FromWindow(HWND window) noexcept {
    return window ? reinterpret_cast<T*>(::GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
  }

 protected:
  WindowBase() = default;
  ~WindowBase() = default;
  WindowBase(const WindowBase&) = delete;
  WindowBase& operator=(const WindowBase&) = delete;
};

// The same for dialogs: the object comes in as the init parameter of
// CreateDialogParamW/DialogBoxParamW and is kept in DWLP_USER.
template <typename T>
class DialogBase {
 public:
  HWND hwnd = nullptr;

  static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    T* self = nullptr;
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<T*>(lParam);
      ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
      if (self) self->hwnd = dialog;
    } else {
      self = reinterpret_cast<T*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    }
    if (!self) return FALSE;
    INT_PTR result = FALSE;
    try {
      result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
      result = FALSE;
    }
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
      self->hwnd = nullptr;
    }
    return result;
  }

  // The object of a dialog of this class, null before WM_INITDIALOG and
  // after WM_NCDESTROY.
  static T* FromDialog(HWND dialog) noexcept {
    return dialog ? reinterpret_cast<T*>(::GetWindowLongPtrW(dialog, DWLP_USER)) : nullptr;
  }

 protected:
  DialogBase() = default;
  ~DialogBase() = default;
  DialogBase(const DialogBase&) = delete;
  DialogBase& operator=(const DialogBase&) = delete;
};

}  // namespace vellumo::platform
