#include "shell/appearance_page.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

#include "manager/appearance_controls.h"
#include "model/notes.h"
#include "notes/note_shared.h"
#include "notes/note_window.h"
#include "platform/bytes.h"
#include "resources/resource.h"
#include "shell/app.h"

namespace vellumo::shell {

namespace {

using B = model::AppearanceBlock;
namespace field = model::note_field;
constexpr std::size_t kComboUnits = 99;
constexpr std::size_t kFaceChars = 30;
constexpr std::uint32_t kDefaultSchemeNote = 0xFFFFFFFFu;

}  // namespace

HWND AppearancePage::Create(HWND container) {
  ::CreateDialogParamW(app_.context.Instance(), MAKEINTRESOURCEW(IDD_APPEARANCE_PAGE), container,
                       &AppearancePage::DialogProcedure, reinterpret_cast<LPARAM>(this));
  return hwnd;
}

int AppearancePage::Tell(const wchar_t* text, const wchar_t* caption, UINT type) {
  ModalScope modal(app_);
  return ::MessageBoxW(app_.MainWindowHandle(), text, caption, type);
}

std::u16string AppearancePage::ComboText() const {
  wchar_t text[kComboUnits + 1] = {};
  ::GetDlgItemTextW(hwnd, IDC_LOOK_SCHEME, text, kComboUnits + 1);
  const std::wstring wide(text);
  return std::u16string(wide.begin(), wide.end());
}

void AppearancePage::SetComboText(std::u16string_view text) {
  ::SetDlgItemTextW(hwnd, IDC_LOOK_SCHEME, Wide(text).c_str());
}

void AppearancePage::OnInit() {
  Ku& db = *app_.database;
  const HWND combo = ::GetDlgItem(hwnd, IDC_LOOK_SCHEME);
  for (const std::u16string& name : model::ListSchemes(db))
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  model::AppearanceSource source = model::AppearanceSource::Legacy;
  working_ = model::LoadAppearance(db, note_, &source);
  if (source == model::AppearanceSource::NoteScheme) SetComboText(model::GetNoteText(db, note_, field::kSchemeName));
  if (source == model::AppearanceSource::OwnBlock) SetComboText(manager::kSeparateConfiguration);
  for (const int spin : {IDC_LOOK_TITLE_OFFSET_SPIN, IDC_LOOK_ICON_OFFSET_SPIN})
    ::SendDlgItemMessageW(hwnd, spin, UDM_SETRANGE32, static_cast<WPARAM>(-100), 100);
  stored_ = working_;
  Show();
  ready_ = true;
}

void AppearancePage::Show() {
  const bool wasReady = ready_;
  ready_ = false;  // what is shown here is no edit
  for (const manager::NumberControl& c : manager::NumberControls())
    ::SetDlgItemInt(hwnd, c.id, static_cast<UINT>(working_.I16(c.offset)), TRUE);
  for (const manager::FlagControl& c : manager::FlagControls()) {
    const std::uint32_t value = c.behaviour ? working_.U32(B::kBehaviourFlags) : working_.U16(B::kLayoutFlags);
    const bool set = (value & c.bit) != 0;
    ::CheckDlgButton(hwnd, c.id, set == c.setWhenChecked ? BST_CHECKED : BST_UNCHECKED);
  }
  const manager::IconText text = manager::IconTextOf(working_);
  ::CheckRadioButton(hwnd, manager::kTextRightRadio, manager::kNoTextRadio,
                     text == manager::IconText::Right   ? manager::kTextRightRadio
                     : text == manager::IconText::Below ? manager::kTextBelowRadio
                                                        : manager::kNoTextRadio);
  for (const auto& [id, offset] : {std::pair{IDC_LOOK_TITLE_FONT, B::kTitleFontFace}, {IDC_LOOK_ICON_FONT, B::kIconFontFace}}) {
    const std::u16string face = working_.FontFace(offset);
    ::SetDlgItemTextW(hwnd, id, face.empty() ? L"选择..." : Wide(face).c_str());
  }
  ::InvalidateRect(hwnd, nullptr, TRUE);
  ready_ = wasReady;
}

bool AppearancePage::ReadControl(int id, int code) {
  for (const manager::NumberControl& c : manager::NumberControls()) {
    if (c.id != id) continue;
    if (code != EN_CHANGE) return false;
    BOOL ok = FALSE;
    const int value = static_cast<int>(::GetDlgItemInt(hwnd, id, &ok, TRUE));
    // No range check here: the clamps apply when a block is loaded, so
    // what is typed is what is stored.
    working_.SetI16(c.offset, static_cast<std::int16_t>(ok ? value : 0));
    return true;
  }
  for (const manager::FlagControl& c : manager::FlagControls()) {
    if (c.id != id) continue;
    const bool checked = ::IsDlgButtonChecked(hwnd, id) == BST_CHECKED;
    if (c.behaviour) {
      std::uint32_t flags = working_.U32(B::kBehaviourFlags);
      flags = checked == c.setWhenChecked ? (flags | c.bit) : (flags & ~c.bit);
      working_.SetU32(B::kBehaviourFlags, flags);
    } else {
      auto flags = static_cast<std::uint32_t>(working_.U16(B::kLayoutFlags));
      if (!checked) return false;  // a radio pair: the checked one decides
      flags = c.setWhenChecked ? (flags | c.bit) : (flags & ~c.bit);
      working_.SetU16(B::kLayoutFlags, static_cast<std::uint16_t>(flags));
    }
    return true;
  }
  if (id == manager::kTextRightRadio || id == manager::kTextBelowRadio || id == manager::kNoTextRadio) {
    manager::SetIconText(working_, id == manager::kTextRightRadio   ? manager::IconText::Right
                                   : id == manager::kTextBelowRadio ? manager::IconText::Below
                                                                    : manager::IconText::None);
    return true;
  }
  for (const manager::ColourControl& c : manager::ColourControls()) {
    if (c.id != id) continue;
    PickColour(c.offset);
    return true;
  }
  if (id == IDC_LOOK_TITLE_FONT || id == IDC_LOOK_ICON_FONT) {
    PickFont(id == IDC_LOOK_TITLE_FONT);
    return true;
  }
  return false;
}

void AppearancePage::PickColour(std::size_t offset) {
  Ku& db = *app_.database;
  std::array<COLORREF, 16> custom{};
  std::array<std::uint8_t, 64> bytes{};
  (void)model::GetNoteBytes(db, record_keys::kCustomColoursNote, field::kCustomColours, bytes.data(), 64);
  for (std::size_t i = 0; i < 16; ++i) custom[i] = LoadU32LE(bytes.data() + 4 * i);
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = hwnd;
  choose.rgbResult = working_.U32(offset);
  choose.lpCustColors = custom.data();
  choose.Flags = CC_RGBINIT | CC_FULLOPEN;
  bool chosen = false;
  {
    ModalScope modal(app_);
    chosen = ::ChooseColorW(&choose) != 0;
  }
  // Custom colours made in the dialog are kept even when it was cancelled.
  for (std::size_t i = 0; i < 16; ++i) StoreU32LE(bytes.data() + 4 * i, custom[i]);
  (void)model::PutNoteBytes(db, record_keys::kCustomColoursNote, field::kCustomColours, bytes.data(), 64);
  if (chosen) working_.SetU32(offset, choose.rgbResult);
}

void AppearancePage::PickFont(bool title) {
  const std::size_t faceOffset = title ? B::kTitleFontFace : B::kIconFontFace;
  const std::size_t sizeOffset = title ? B::kTitleFontSize : B::kIconFontSize;
  const std::size_t weightOffset = title ? B::kTitleFontWeight : B::kIconFontWeight;
  LOGFONTW font{};
  const std::u16string face = working_.FontFace(faceOffset);
  if (face.empty()) {
    // No face stored: the note draws with the default font, so the dialog
    // starts from that one rather than from whatever it lists first.
    font = notes::DefaultNoteLogFont();
  } else {
    std::copy_n(face.begin(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1), font.lfFaceName);
    font.lfHeight = -working_.I16(sizeOffset);
    font.lfWeight = working_.I16(weightOffset);
    font.lfCharSet = DEFAULT_CHARSET;
  }
  CHOOSEFONTW choose{};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = hwnd;
  choose.lpLogFont = &font;
  choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
  {
    ModalScope modal(app_);
    if (!::ChooseFontW(&choose)) return;
  }
  const std::wstring chosen(font.lfFaceName);
  working_.SetFontFace(faceOffset, std::u16string(chosen.begin(), chosen.begin() + std::min(chosen.size(), kFaceChars)));
  working_.SetI16(sizeOffset, static_cast<std::int16_t>(-font.lfHeight));
  working_.SetI16(weightOffset, static_cast<std::int16_t>(font.lfWeight));
}

void AppearancePage::Changed() { notes::RecreateNoteWindows(app_.context, note_); }

void AppearancePage::StoreIfChanged() {
  if (working_.bytes == stored_.bytes) return;
  Ku& db = *app_.database;
  (void)model::PutNoteBytes(db, note_, field::kSchemeName, nullptr, 0);
  (void)model::PutNoteBytes(db, note_, field::kOwnAppearance, working_.bytes.data(),
                            static_cast<std::uint32_t>(working_.bytes.size()));
  stored_ = working_;
  const bool wasReady = ready_;
  ready_ = false;
  SetComboText(manager::kSeparateConfiguration);
  ready_ = wasReady;
  Show();
  Changed();
}

void AppearancePage::LoadScheme() {
  Ku& db = *app_.database;
  const std::u16string name = ComboText();
  if (manager::IsSchemeName(name)) {
    model::AppearanceBlock block;
    if (!model::ReadScheme(db, name, &block)) {
      Tell(L"方案数据不存在！", L"加载失败", MB_ICONERROR | MB_OK);
      return;
    }
    working_ = stored_ = block;
    (void)model::PutNoteText(db, note_, field::kSchemeName, name);
    (void)model::PutNoteBytes(db, note_, field::kOwnAppearance, nullptr, 0);
  } else {
    if (Tell(L"没有选择方案名称，是否载入默认方案？", L"提示", MB_YESNO) != IDYES) return;
    (void)model::PutNoteBytes(db, note_, field::kSchemeName, nullptr, 0);
    (void)model::PutNoteBytes(db, note_, field::kOwnAppearance, nullptr, 0);
    working_ = stored_ = model::LoadAppearance(db, note_);
    SetComboText(u"");
  }
  Show();
  Changed();
}

void AppearancePage::SaveScheme(bool asDefault) {
  Ku& db = *app_.database;
  const std::u16string name = ComboText();
  if (!manager::IsSchemeName(name)) {
    Tell(L"请选择或输入方案名称！", L"错误", MB_ICONERROR | MB_OK);
    SetComboText(u"");
    ::SetFocus(::GetDlgItem(hwnd, IDC_LOOK_SCHEME));
    return;
  }
  if (model::WriteScheme(db, name, working_.bytes) != 0) return;
  const HWND combo = ::GetDlgItem(hwnd, IDC_LOOK_SCHEME);
  if (::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Wide(name).c_str())) ==
      CB_ERR)
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(name).c_str()));
  SetComboText(name);
  (void)model::PutNoteBytes(db, note_, field::kOwnAppearance, nullptr, 0);
  if (asDefault) {
    (void)model::PutNoteText(db, kDefaultSchemeNote, field::kSchemeName, name);
    (void)model::PutNoteBytes(db, note_, field::kSchemeName, nullptr, 0);
  } else {
    (void)model::PutNoteText(db, note_, field::kSchemeName, name);
  }
  stored_ = working_;
  Changed();
}

void AppearancePage::DeleteScheme() {
  Ku& db = *app_.database;
  const std::u16string name = ComboText();
  if (name.empty()) {
    Tell(L"请选择或输入方案名称！", L"错误", MB_ICONERROR | MB_OK);
    return;
  }
  (void)model::DeleteScheme(db, name);
  const HWND combo = ::GetDlgItem(hwnd, IDC_LOOK_SCHEME);
  const LRESULT at =
      ::SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Wide(name).c_str()));
  if (at == CB_ERR) {
    Tell(L"方案数据不存在！", L"删除失败", MB_ICONERROR | MB_OK);
    return;
  }
  ::SendMessageW(combo, CB_DELETESTRING, static_cast<WPARAM>(at), 0);
  SetComboText(u"");
}

void AppearancePage::OnCommand(int id, int code) {
  if (!ready_ || !app_.database) return;
  switch (id) {
    case IDC_LOOK_LOAD:
      LoadScheme();
      return;
    case IDC_LOOK_SAVE:
    case IDC_LOOK_SAVE_DEFAULT:
      SaveScheme(id == IDC_LOOK_SAVE_DEFAULT);
      return;
    case IDC_LOOK_DELETE:
      DeleteScheme();
      return;
    default:
      if (ReadControl(id, code)) StoreIfChanged();
      return;
  }
}

INT_PTR AppearancePage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      if (app_.database) OnInit();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_DRAWITEM: {
      // Colour buttons are swatches of their colour.
      const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      for (const manager::ColourControl& c : manager::ColourControls()) {
        if (static_cast<int>(draw.CtlID) != c.id) continue;
        const platform::BrushHandle brush(::CreateSolidBrush(static_cast<COLORREF>(working_.U32(c.offset))));
        ::FillRect(draw.hDC, &draw.rcItem, brush.get());
        ::DrawEdge(draw.hDC, const_cast<RECT*>(&draw.rcItem), EDGE_RAISED, BF_RECT);
        return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      ready_ = false;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace vellumo::shell
