#include "gui/win32/dialog_template.h"

#include "io/utf16.h"

namespace kvtram::win32 {

namespace {

constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// The predefined window classes by their ordinals.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kListBoxClass = 0x0083;

struct ControlClass {
  WORD atom;
  DWORD style;
};

ControlClass classOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::ListBox:
      return {kListBoxClass, LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL};
    case ControlKind::PushButton:
      return {kButtonClass, BS_PUSHBUTTON};
    case ControlKind::Edit:
      return {kEditClass, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER};
    case ControlKind::Label:
      return {kStaticClass, SS_LEFT | WS_GROUP};
    case ControlKind::CheckBox:
      return {kButtonClass, BS_AUTOCHECKBOX};
  }
  return {kStaticClass, SS_LEFT};
}

class TemplateWriter {
 public:
  void word(WORD value) { words_.push_back(value); }
  void dword(DWORD value) {
    word(LOWORD(value));
    word(HIWORD(value));
  }
  void coordinate(int value) { word(static_cast<WORD>(static_cast<short>(value))); }
  void text(const std::string& utf8) {
    for (wchar_t c : toWide(utf8)) word(static_cast<WORD>(c));
    word(0);
  }
  void wideText(const std::wstring& text) {
    for (wchar_t c : text) word(static_cast<WORD>(c));
    word(0);
  }
  // Items start on a DWORD boundary.
  void alignToDword() {
    if (words_.size() % 2 != 0) word(0);
  }
  std::vector<WORD> take() { return std::move(words_); }

 private:
  std::vector<WORD> words_;
};

// Windows draws a face that is neither installed nor substituted with
// another one, whose name it then gives.
bool faceInstalled(const std::wstring& face) {
  LOGFONTW wanted{};
  wanted.lfHeight = -12;
  wanted.lfCharSet = DEFAULT_CHARSET;
  face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  const HFONT font = ::CreateFontIndirectW(&wanted);
  const HDC screen = ::GetDC(nullptr);
  const HGDIOBJ before = ::SelectObject(screen, font);
  wchar_t used[LF_FACESIZE] = {};
  ::GetTextFaceW(screen, LF_FACESIZE, used);
  ::SelectObject(screen, before);
  ::ReleaseDC(nullptr, screen);
  ::DeleteObject(font);
  return ::CompareStringOrdinal(face.c_str(), -1, used, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

DialogFace dialogFace(const DialogTemplate& dialog) {
  std::wstring face = toWide(dialog.fontFace);
  if (faceInstalled(face)) return {face, false};
  return {L"MS Shell Dlg", true};
}

int textRoom(HWND window, const ControlTemplate& control) {
  RECT r{0, 0, control.rect.width, control.rect.height};
  ::MapDialogRect(window, &r);
  switch (control.kind) {
    case ControlKind::CheckBox:
      return r.right - ::GetSystemMetrics(SM_CXMENUCHECK) - 4;
    case ControlKind::PushButton:
      return r.right - 4 * ::GetSystemMetrics(SM_CXEDGE);
    default:
      return r.right;
  }
}

bool textFits(HWND window, const ControlTemplate& control, HFONT font) {
  const std::wstring text = toWide(control.label());
  const HDC dc = ::GetDC(window);
  const HGDIOBJ before = ::SelectObject(dc, font);
  SIZE size{};
  const bool measured = ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size) != 0;
  ::SelectObject(dc, before);
  ::ReleaseDC(window, dc);
  return measured && size.cx <= textRoom(window, control);
}

std::vector<WORD> buildDialogTemplate(const DialogTemplate& dialog, const DialogFace& face) {
  TemplateWriter out;
  out.word(1);       // dlgVer
  out.word(0xFFFF);  // signature of the extended template
  out.dword(0);      // help id
  out.dword(WS_EX_APPWINDOW);
  out.dword(kDialogStyle | (face.systemFace ? DS_SHELLFONT : 0));
  out.word(static_cast<WORD>(dialog.controls.size()));
  out.coordinate(0);
  out.coordinate(0);
  out.coordinate(dialog.width);
  out.coordinate(dialog.height);
  out.word(0);  // no menu
  out.word(0);  // the dialog class
  out.text(dialog.caption.c_str());
  out.word(static_cast<WORD>(dialog.fontPointSize));
  out.word(0);  // weight: as the face has it
  out.word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // not italic; the charset byte follows
  out.wideText(face.name);

  for (const ControlTemplate& control : dialog.controls) {
    const ControlClass kind = classOf(control.kind);
    out.alignToDword();
    out.dword(0);  // help id
    out.dword(0);  // extended style
    out.dword(kChild | kind.style | (control.tabStop ? WS_TABSTOP : 0));
    out.coordinate(control.rect.x);
    out.coordinate(control.rect.y);
    out.coordinate(control.rect.width);
    out.coordinate(control.rect.height);
    out.dword(static_cast<DWORD>(control.id));
    out.word(0xFFFF);
    out.word(kind.atom);
    out.text(control.label());
    out.word(0);  // no creation data
  }
  return out.take();
}

}  // namespace kvtram::win32
