// CDropTarget: what OLE calls while something is dragged over, and dropped
// on, a note window.  The decisions are in drop_rules.h.
#include "notes/drop_target.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "actions/run_target.h"
#include "model/items.h"
#include "notes/drop_rules.h"
#include "notes/note_window.h"
#include "notes/program_context.h"

namespace vellumo::notes {

namespace {

// One medium from GetData, given back however the drop ends.
class Medium {
 public:
  Medium() = default;
  ~Medium() {
    if (held_) ::ReleaseStgMedium(&medium_);
  }
  Medium(const Medium&) = delete;
  Medium& operator=(const Medium&) = delete;

  HRESULT Get(IDataObject* data, CLIPFORMAT format) {
    FORMATETC request{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    const HRESULT result = data->GetData(&request, &medium_);
    held_ = SUCCEEDED(result);
    if (held_ && (medium_.tymed != TYMED_HGLOBAL || !medium_.hGlobal)) return DV_E_TYMED;
    return result;
  }
  HGLOBAL Global() const { return medium_.hGlobal; }

 private:
  STGMEDIUM medium_{};
  bool held_ = false;
};

// A locked global block with its size.
class GlobalView {
 public:
  explicit GlobalView(HGLOBAL global)
      : global_(global), data_(static_cast<const std::uint8_t*>(::GlobalLock(global))),
        size_(data_ ? ::GlobalSize(global) : 0) {}
  ~GlobalView() {
    if (data_) ::GlobalUnlock(global_);
  }
  GlobalView(const GlobalView&) = delete;
  GlobalView& operator=(const GlobalView&) = delete;
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  HGLOBAL global_;
  const std::uint8_t* data_;
  std::size_t size_;
};

// Text in a block up to its first zero unit, at most `limit` units: a
// source's block need not be terminated.
std::u16string TextIn(const GlobalView& view, std::size_t limit) {
  if (!view.data()) return {};
  const auto* units = reinterpret_cast<const char16_t*>(view.data());
  const std::size_t count = std::min(view.size() / sizeof(char16_t), limit);
  return std::u16string(units, std::find(units, units + count, u'\0'));
}

struct IdListFree {
  void operator()(ITEMIDLIST* list) const { ::ILFree(list); }
};
using IdList = std::unique_ptr<ITEMIDLIST, IdListFree>;

struct ComRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using ComRef = std::unique_ptr<T, ComRelease>;

bool Offers(IDataObject* data, CLIPFORMAT format) {
  FORMATETC request{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  return data->QueryGetData(&request) == S_OK;
}

CLIPFORMAT Registered(const wchar_t* name) { return static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(name)); }

// The parsing name of one entry of a shell list: its folder's id list and
// its own, joined.
std::optional<std::u16string> ShellPath(const ITEMIDLIST* parent, const ITEMIDLIST* child) {
  const IdList absolute(::ILCombine(parent, child));
  if (!absolute) return std::nullopt;
  IShellFolder* rawFolder = nullptr;
  PCUITEMID_CHILD last = nullptr;
  if (FAILED(::SHBindToParent(absolute.get(), IID_IShellFolder, reinterpret_cast<void**>(&rawFolder), &last)))
    return std::nullopt;
  const ComRef<IShellFolder> folder(rawFolder);
  STRRET name{};
  if (FAILED(folder->GetDisplayNameOf(last, SHGDN_FORPARSING, &name))) return std::nullopt;
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(::StrRetToBufW(&name, last, buffer, MAX_PATH))) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

// A "Shell IDList Array": the folder's list at offset 0, then one child
// list per entry, every offset checked against the block.
std::optional<std::vector<std::u16string>> ShellListPaths(IDataObject* data) {
  Medium medium;
  if (FAILED(medium.Get(data, Registered(L"Shell IDList Array")))) return std::nullopt;
  const GlobalView view(medium.Global());
  if (!view.data() || view.size() < sizeof(UINT)) return std::nullopt;
  const auto* array = reinterpret_cast<const CIDA*>(view.data());
  const std::size_t count = array->cidl;
  if (view.size() < sizeof(UINT) * (count + 2)) return std::nullopt;
  const auto at = [&](std::size_t i) -> const ITEMIDLIST* {
    const UINT offset = array->aoffset[i];
    return offset + sizeof(USHORT) <= view.size() ? reinterpret_cast<const ITEMIDLIST*>(view.data() + offset)
                                                   : nullptr;
  };
  const ITEMIDLIST* parent = at(0);
  if (!parent) return std::nullopt;
  std::vector<std::u16string> paths;
  for (std::size_t i = 1; i <= count; ++i)
    if (const ITEMIDLIST* child = at(i))
      if (std::optional<std::u16string> path = ShellPath(parent, child)) paths.push_back(std::move(*path));
  return paths;
}

std::optional<std::vector<std::u16string>> FileDropPaths(IDataObject* data) {
  Medium medium;
  if (FAILED(medium.Get(data, CF_HDROP))) return std::nullopt;
  return DroppedFilePaths(static_cast<HDROP>(medium.Global()));
}

KIzMTk* NoteWindowAt(ProgramContext& context, POINT screen) {
  KIzMTk* window = FindNoteWindow(context, ::WindowFromPoint(screen));
  return window && !window->closed ? window : nullptr;
}

// The descriptor's first file name; empty when there is none.
std::u16string ShortcutName(IDataObject* data) {
  Medium medium;
  if (FAILED(medium.Get(data, Registered(L"FileGroupDescriptorW")))) return {};
  const GlobalView view(medium.Global());
  if (!view.data() || view.size() < sizeof(FILEGROUPDESCRIPTORW)) return {};
  const auto* group = reinterpret_cast<const FILEGROUPDESCRIPTORW*>(view.data());
  if (group->cItems == 0) return {};
  const wchar_t* name = group->fgd[0].cFileName;
  return std::u16string(reinterpret_cast<const char16_t*>(name), std::find(name, name + MAX_PATH, L'\0') - name);
}

}  // namespace

std::vector<std::u16string> DroppedFilePaths(HDROP drop) {
  std::vector<std::u16string> paths;
  if (!drop) return paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    wchar_t path[MAX_PATH] = {};
    if (const UINT length = ::DragQueryFileW(drop, i, path, MAX_PATH); length > 0 && length < MAX_PATH)
      paths.emplace_back(reinterpret_cast<const char16_t*>(path), length);
  }
  return paths;
}

void MakeRunItems(ProgramContext& context, std::uint32_t note, const std::vector<std::u16string>& paths) {
  if (!context.items) return;
  for (const std::u16string& path : paths)
    if (!path.empty()) (void)context.items->CreateItem(note, actions::RunItemTitle(path), actions::RunItemContent(path), true);
  NotifyNoteChanged(context, note);
}

CDropTarget::CDropTarget(ProgramContext& context, ProgramRunner runProgram)
    : context_(context), runProgram_(std::move(runProgram)) {}

HRESULT CDropTarget::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CDropTarget::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG CDropTarget::Release() {
  // Never below the owner's own reference: the owner frees the object.
  const LONG left = ::InterlockedDecrement(&references_);
  return static_cast<ULONG>(std::max<LONG>(left, 0));
}

void CDropTarget::ChooseDropEffect(DWORD keyState, DWORD* effect) const {
  if (!effect) return;
  *effect = notes::ChooseDropEffect(accepted_, (keyState & MK_CONTROL) != 0, (keyState & MK_SHIFT) != 0, *effect);
}

HRESULT CDropTarget::DragEnter(IDataObject* data, DWORD keyState, POINTL, DWORD* effect) {
  accepted_ = data && Offers(data, CF_TEXT);
  ChooseDropEffect(keyState, effect);
  return S_OK;
}

HRESULT CDropTarget::DragOver(DWORD keyState, POINTL point, DWORD* effect) {
  if (KIzMTk* window = NoteWindowAt(context_, POINT{point.x, point.y})) {
    POINT client{point.x, point.y};
    ::ScreenToClient(window->hwnd, &client);
    ::PostMessageW(window->hwnd, WM_NOTE_DRAGOVER, 0, MAKELPARAM(client.x, client.y));
  }
  ChooseDropEffect(keyState, effect);
  return S_OK;
}

HRESULT CDropTarget::DragLeave() {
  accepted_ = false;
  return S_OK;
}

HRESULT CDropTarget::Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
  ChooseDropEffect(keyState, effect);
  DWORD none = DROPEFFECT_NONE;
  DWORD& result = effect ? *effect : none;
  KIzMTk* window = NoteWindowAt(context_, POINT{point.x, point.y});
  if (!window || !data || !context_.database || !context_.items) {
    result = DROPEFFECT_NONE;
    return S_OK;
  }

  std::uint32_t note = window->noteId;
  POINT client{point.x, point.y};
  ::ScreenToClient(window->hwnd, &client);
  DropOnItem on;
  if (const std::uint32_t item = window->ItemInCell(window->CellFromPoint(client.x, client.y)); item != 0)
    on = ClassifyDropOnItem(model::GetItemContent(*context_.database, note, item));
  if (on.kind == DropOnItem::Kind::OpenNote) {
    // An item that names no note leaves the drop with the window's own.
    if (on.note != 0) note = on.note;
    on = {};
  }
  const bool program = on.kind == DropOnItem::Kind::Program;

  std::optional<std::vector<std::u16string>> paths = ShellListPaths(data);
  if (!paths) paths = FileDropPaths(data);
  if (paths) {
    if (program) {
      ProgramArguments arguments(on.command);
      for (const std::u16string& path : *paths) (void)arguments.Add(path);
      if (runProgram_) runProgram_(arguments.RunText());
    } else {
      MakeRunItems(context_, note, *paths);
    }
    result = DROPEFFECT_LINK;
    return S_OK;
  }

  std::u16string title, content;
  if (Offers(data, Registered(L"FileGroupDescriptorW")) && Offers(data, Registered(L"UniformResourceLocatorW"))) {
    Medium url;
    if (const HRESULT failed = url.Get(data, Registered(L"UniformResourceLocatorW")); FAILED(failed)) {
      result = DROPEFFECT_NONE;
      return failed;
    }
    title = ShortcutTitle(ShortcutName(data));
    content = ShortcutContent(TextIn(GlobalView(url.Global()), kMaxUrlChars));
  } else {
    Medium text;
    if (const HRESULT failed = text.Get(data, CF_UNICODETEXT); FAILED(failed)) {
      result = DROPEFFECT_NONE;
      return failed;
    }
    DroppedText dropped = MakeTextItem(TextIn(GlobalView(text.Global()), kLongTextChars + 2));
    if (dropped.cut)
      ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(kTextCutMessage),
                    reinterpret_cast<const wchar_t*>(kTextCutCaption), MB_OK);
    title = std::move(dropped.title);
    content = std::move(dropped.content);
  }

  if (program) {
    // A link or text says nothing to the program: it is started alone.
    std::u16string_view alone = on.command;
    alone.remove_prefix(5);  // "<run>"
    alone.remove_suffix(1);  // "|"
    if (runProgram_) runProgram_(alone);
  } else if (context_.items->CreateItem(note, title, content, true) != 0) {
    NotifyNoteChanged(context_, note);
  }
  result = DROPEFFECT_NONE;
  return S_OK;
}

}  // namespace vellumo::notes
