// Test program that plays "another program the user drags something out
// of": a small window; a left press in it starts an OLE drag whose data
// object offers what the command line names, and the drag follows the real
// pointer until the button is let go.  When the drag ends, "HRESULT EFFECT"
// (both hexadecimal) is written to RESULT-FILE and the program exits.
//   drag-source RESULT-FILE files PATH...   a file list (CF_HDROP)
//   drag-source RESULT-FILE shell PATH...   a shell ID list, as Explorer drags
//   drag-source RESULT-FILE text TEXT       Unicode and ANSI text
//   drag-source RESULT-FILE link NAME URL   an internet shortcut, as browsers drag
// The window, titled "拖动源", covers 120 x 80 pixels at 1100, 650.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Wide(const std::wstring& text) {
  Bytes bytes((text.size() + 1) * sizeof(wchar_t), 0);
  std::memcpy(bytes.data(), text.data(), text.size() * sizeof(wchar_t));
  return bytes;
}

Bytes Ansi(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  Bytes bytes(static_cast<std::size_t>(size), 0);
  ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, reinterpret_cast<char*>(bytes.data()), size, nullptr, nullptr);
  return bytes;
}

// DROPFILES, then each wide path terminated, then one more zero.
Bytes FileList(const std::vector<std::wstring>& paths) {
  Bytes bytes(sizeof(DROPFILES), 0);
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  std::memcpy(bytes.data(), &header, sizeof header);
  for (const std::wstring& path : paths) {
    const Bytes one = Wide(path);
    bytes.insert(bytes.end(), one.begin(), one.end());
  }
  bytes.insert(bytes.end(), sizeof(wchar_t), 0);
  return bytes;
}

struct IdListFree {
  void operator()(ITEMIDLIST* list) const { ::ILFree(list); }
};

// CIDA: the desktop's empty list as the folder, then each file's absolute
// list as a child of it.
Bytes ShellList(const std::vector<std::wstring>& paths) {
  std::vector<Bytes> lists;
  for (const std::wstring& path : paths) {
    ITEMIDLIST* raw = nullptr;
    if (FAILED(::SHParseDisplayName(path.c_str(), nullptr, &raw, 0, nullptr)) || !raw) continue;
    const std::unique_ptr<ITEMIDLIST, IdListFree> list(raw);
    const UINT size = ::ILGetSize(list.get());
    lists.emplace_back(reinterpret_cast<const std::uint8_t*>(list.get()),
                       reinterpret_cast<const std::uint8_t*>(list.get()) + size);
  }
  const std::size_t header = sizeof(UINT) * (lists.size() + 2);
  Bytes bytes(header + sizeof(USHORT), 0);  // the folder: an empty list
  std::vector<UINT> offsets{static_cast<UINT>(lists.size()), static_cast<UINT>(header)};
  for (const Bytes& list : lists) {
    offsets.push_back(static_cast<UINT>(bytes.size()));
    bytes.insert(bytes.end(), list.begin(), list.end());
  }
  std::memcpy(bytes.data(), offsets.data(), offsets.size() * sizeof(UINT));
  return bytes;
}

Bytes Descriptor(const std::wstring& name) {
  FILEGROUPDESCRIPTORW group{};
  group.cItems = 1;
  group.fgd[0].dwFlags = FD_LINKUI;
  name.copy(group.fgd[0].cFileName, MAX_PATH - 1);
  Bytes bytes(sizeof group);
  std::memcpy(bytes.data(), &group, sizeof group);
  return bytes;
}

CLIPFORMAT Registered(const wchar_t* name) { return static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(name)); }

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// Fixed formats in global memory.  It lives for the whole drag on the
// stack of the window procedure, so its count frees nothing.
class DataObject final : public IDataObject {
 public:
  void Offer(CLIPFORMAT format, Bytes bytes) {
    formats_[format] = std::move(bytes);
    order_.push_back(FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* request, STGMEDIUM* medium) override {
    if (const HRESULT offered = QueryGetData(request); offered != S_OK) return offered;
    const Bytes& bytes = formats_[request->cfFormat];
    HGLOBAL global = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!global) return E_OUTOFMEMORY;
    std::memcpy(::GlobalLock(global), bytes.data(), bytes.size());
    ::GlobalUnlock(global);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = global;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* request) override {
    if (!request) return E_POINTER;
    if (!(request->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    return formats_.count(request->cfFormat) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    return ::SHCreateStdEnumFmtEtc(static_cast<UINT>(order_.size()), order_.data(), out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::map<CLIPFORMAT, Bytes> formats_;
  std::vector<FORMATETC> order_;
};

// The usual source: the drag ends where the left button is let go, Escape
// cancels it.
class DropSource final : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropSource)) {
      *object = static_cast<IDropSource*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keyState) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return (keyState & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};
#pragma GCC diagnostic pop

struct Request {
  std::wstring resultPath;
  std::wstring kind;
  std::vector<std::wstring> values;
};
Request request;

bool Fill(DataObject& data) {
  const std::vector<std::wstring>& v = request.values;
  if (request.kind == L"files" && !v.empty()) {
    data.Offer(CF_HDROP, FileList(v));
  } else if (request.kind == L"shell" && !v.empty()) {
    data.Offer(Registered(L"Shell IDList Array"), ShellList(v));
  } else if (request.kind == L"text" && v.size() == 1) {
    data.Offer(CF_UNICODETEXT, Wide(v[0]));
    data.Offer(CF_TEXT, Ansi(v[0]));
  } else if (request.kind == L"link" && v.size() == 2) {
    data.Offer(Registered(L"FileGroupDescriptorW"), Descriptor(v[0]));
    data.Offer(Registered(L"UniformResourceLocatorW"), Wide(v[1]));
    data.Offer(Registered(L"UniformResourceLocator"), Ansi(v[1]));
    data.Offer(CF_UNICODETEXT, Wide(v[1]));
    data.Offer(CF_TEXT, Ansi(v[1]));
  } else {
    return false;
  }
  return true;
}

void WriteResult(HRESULT result, DWORD effect) {
  char line[64];
  const int length = std::snprintf(line, sizeof line, "%08lX %lX\n", static_cast<unsigned long>(result),
                                   static_cast<unsigned long>(effect));
  const std::wstring temporary = request.resultPath + L".tmp";
  HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  ::CloseHandle(file);
  ::MoveFileExW(temporary.c_str(), request.resultPath.c_str(), MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      DataObject data;
      DropSource source;
      DWORD effect = DROPEFFECT_NONE;
      if (!Fill(data)) {
        WriteResult(E_INVALIDARG, effect);
      } else {
        const HRESULT result =
            ::DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
        WriteResult(result, effect);
      }
      ::DestroyWindow(window);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 2;
  request.resultPath = argv[1];
  request.kind = argv[2];
  for (int i = 3; i < argc; ++i) request.values.emplace_back(argv[i]);
  ::LocalFree(argv);
  if (FAILED(::OleInitialize(nullptr))) return 3;
  WNDCLASSW c{};
  c.lpfnWndProc = &Procedure;
  c.hInstance = instance;
  c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
  c.lpszClassName = L"VellumoDragSource";
  ::RegisterClassW(&c);
  ::CreateWindowExW(WS_EX_TOPMOST, c.lpszClassName, L"拖动源", WS_POPUP | WS_VISIBLE, 1100, 650, 120, 80, nullptr,
                    nullptr, instance, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  ::OleUninitialize();
  return 0;
}
