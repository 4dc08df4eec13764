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

}  // namespace

std::vector<WORD> buildDialogTemplate(const DialogTemplate& dialog, const std::wstring& fontFace) {
  TemplateWriter out;
  out.word(1);       // dlgVer
  out.word(0xFFFF);  // signature of the extended template
  out.dword(0);      // help id
  out.dword(WS_EX_APPWINDOW);
  out.dword(kDialogStyle);
  out.word(static_cast<WORD>(dialog.controls.size()));
  out.coordinate(0);
  out.coordinate(0);
  out.coordinate(dialog.width);
  out.coordinate(dialog.height);
  out.word(0);  // no menu
  out.word(0);  // the dialog class
  out.text(dialog.caption);
  out.word(static_cast<WORD>(dialog.fontPointSize));
  out.word(0);  // weight: as the face has it
  out.word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // not italic; the charset byte follows
  out.wideText(fontFace);

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
    out.text(control.text);
    out.word(0);  // no creation data
  }
  return out.take();
}

}  // namespace kvtram::win32
