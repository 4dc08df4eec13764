#include "gui/win32/converter_window.h"

#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_model.h"
#include "gui/win32/dialog_template.h"
#include "gui/win32/resource.h"
#include "io/utf16.h"
#include "messages/dialog_texts.h"

namespace kvtram::win32 {

namespace {

std::string controlText(HWND dialog, int id) {
  const HWND control = ::GetDlgItem(dialog, id);
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return fromWide(text);
}

class MessageBoxSink : public MessageSink {
 public:
  void setOwner(HWND owner) { owner_ = owner; }
  void showMessage(const std::string& text) override {
    ::MessageBoxW(owner_, toWide(text).c_str(), toWide(msg::kAppCaption.c_str()).c_str(), MB_OK);
  }

 private:
  HWND owner_ = nullptr;
};

// Everything one open dialog holds; lives in the window's user data.
class ConverterWindow : private DialogView {
 public:
  explicit ConverterWindow(HWND window) : dialog_(window), model_(boxes_, this) { boxes_.setOwner(window); }
  ~ConverterWindow() override { model_.waitForBatch(); }

  DialogModel& model() { return model_; }
  HICON icon() const { return icon_; }
  void initialise(const std::vector<std::string>& paths);
  void takeDrop(HDROP drop);
  void destroy();

 private:
  void fitTexts();

  // DialogView
  OptionControls readControls() const override;
  void showFiles(const std::vector<std::string>& paths) override;
  void setControlsEnabled(bool enabled) override;
  void showBusy(bool busy) override;
  void showProgress(const std::string& line) override {
    ::SetWindowTextW(progress_, toWide(line).c_str());
  }
  void saveFocus() override { focusBefore_ = ::GetFocus(); }
  void restoreFocus() override {
    if (focusBefore_ != nullptr) ::SetFocus(focusBefore_);
  }
  void post(std::function<void()> task) override {
    auto* posted = new std::function<void()>(std::move(task));
    if (!::PostMessageW(dialog_, kTaskMessage, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
  }

  HWND dialog_;
  MessageBoxSink boxes_;
  DialogModel model_;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HWND progress_ = nullptr;
  HWND focusBefore_ = nullptr;
  HFONT smallerFont_ = nullptr;
};

void ConverterWindow::initialise(const std::vector<std::string>& paths) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(dialog_, GWLP_HINSTANCE));
  icon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(KVTRAM_IDI_APPLICATION), IMAGE_ICON,
                                          ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(KVTRAM_IDI_APPLICATION), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON),
                                               ::GetSystemMetrics(SM_CYSMICON), 0));
  ::SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  ::SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  ::DragAcceptFiles(dialog_, TRUE);

  const OptionControls start = startOptionControls();
  ::SetDlgItemTextW(dialog_, kIdPsgVolume, toWide(start.psgVolumeText).c_str());
  ::SetDlgItemTextW(dialog_, kIdFmVolume, toWide(start.fmVolumeText).c_str());
  ::SetDlgItemTextW(dialog_, kIdLoopCount, toWide(start.loopCountText).c_str());
  const std::pair<int, bool> boxes[] = {{kIdUseSccI, start.useSccI},
                                        {kIdStrictMid, start.strictMid},
                                        {kIdStrictHigh, start.strictHigh},
                                        {kIdStrictMidHigh, start.strictMidHigh},
                                        {kIdHighQuality, start.highQuality}};
  for (const auto& [id, checked] : boxes) ::CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);

  const UnitRect line = converterDialogTemplate().progressLine;
  RECT r{line.x, line.y, line.x + line.width, line.y + line.height};
  ::MapDialogRect(dialog_, &r);
  progress_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_PATHELLIPSIS | SS_NOPREFIX,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, dialog_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdProgress)), instance, nullptr);
  ::SendMessageW(progress_, WM_SETFONT, ::SendMessageW(dialog_, WM_GETFONT, 0, 0), FALSE);
  fitTexts();

  if (!paths.empty()) model_.drop(paths);
}

BOOL CALLBACK setFont(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

// The layout stays in dialog units whatever the face, but where the face in
// use is not the template's, a text may be wider beside its letters than the
// template's face made it (Japanese in a face with narrow Latin letters):
// then every control gets the largest smaller size of the face with which
// every text fits, down to two thirds of it.
void ConverterWindow::fitTexts() {
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(dialog_, WM_GETFONT, 0, 0));
  auto allFit = [this](HFONT candidate) {
    for (const ControlTemplate& control : converterDialogTemplate().controls) {
      if (control.text != nullptr && !textFits(dialog_, control, candidate)) return false;
    }
    return true;
  };
  if (font == nullptr || allFit(font)) return;
  LOGFONTW face{};
  ::GetObjectW(font, sizeof face, &face);
  const LONG full = face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
  const LONG sign = face.lfHeight < 0 ? -1 : 1;
  for (LONG height = full - 1; height >= full * 2 / 3; --height) {
    face.lfHeight = sign * height;
    const HFONT smaller = ::CreateFontIndirectW(&face);
    if (allFit(smaller) || height == full * 2 / 3) {
      smallerFont_ = smaller;
      ::EnumChildWindows(dialog_, setFont, reinterpret_cast<LPARAM>(smaller));
      return;
    }
    ::DeleteObject(smaller);
  }
}

void ConverterWindow::takeDrop(HDROP drop) {
  if (model_.converting()) {
    ::DragFinish(drop);
    return;
  }
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::vector<std::string> paths;
  // A drop that is too large is refused by the model, which needs only its size.
  if (count < kDropFileLimit) {
    paths.reserve(count);
    for (UINT i = 0; i < count; ++i) {
      std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
      path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
      paths.push_back(fromWide(path));
    }
  } else {
    paths.resize(count);
  }
  ::DragFinish(drop);
  model_.drop(paths);
}

void ConverterWindow::showFiles(const std::vector<std::string>& paths) {
  const HWND list = ::GetDlgItem(dialog_, kIdFileList);
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& path : paths) {
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(path).c_str()));
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

OptionControls ConverterWindow::readControls() const {
  OptionControls controls;
  controls.psgVolumeText = controlText(dialog_, kIdPsgVolume);
  controls.fmVolumeText = controlText(dialog_, kIdFmVolume);
  controls.loopCountText = controlText(dialog_, kIdLoopCount);
  controls.useSccI = ::IsDlgButtonChecked(dialog_, kIdUseSccI) == BST_CHECKED;
  controls.strictMid = ::IsDlgButtonChecked(dialog_, kIdStrictMid) == BST_CHECKED;
  controls.strictHigh = ::IsDlgButtonChecked(dialog_, kIdStrictHigh) == BST_CHECKED;
  controls.strictMidHigh = ::IsDlgButtonChecked(dialog_, kIdStrictMidHigh) == BST_CHECKED;
  controls.highQuality = ::IsDlgButtonChecked(dialog_, kIdHighQuality) == BST_CHECKED;
  return controls;
}

void ConverterWindow::setControlsEnabled(bool enabled) {
  for (const ControlTemplate& control : converterDialogTemplate().controls) {
    if (control.id != kNoControlId) ::EnableWindow(::GetDlgItem(dialog_, control.id), enabled ? TRUE : FALSE);
  }
}

void ConverterWindow::showBusy(bool busy) {
  ::SetWindowTextW(progress_, L"");
  ::ShowWindow(progress_, busy ? SW_SHOW : SW_HIDE);
  ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void ConverterWindow::destroy() {
  ::DragAcceptFiles(dialog_, FALSE);
  if (icon_ != nullptr) ::DestroyIcon(icon_);
  if (smallIcon_ != nullptr) ::DestroyIcon(smallIcon_);
  if (smallerFont_ != nullptr) ::DeleteObject(smallerFont_);
}

ConverterWindow* windowOf(HWND dialog) {
  return reinterpret_cast<ConverterWindow*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  ConverterWindow* window = windowOf(dialog);
  switch (message) {
    case WM_INITDIALOG: {
      window = new ConverterWindow(dialog);
      ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(window));
      window->initialise(*reinterpret_cast<const std::vector<std::string>*>(lParam));
      return TRUE;
    }
    case WM_DROPFILES:
      if (window != nullptr) window->takeDrop(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_COMMAND: {
      if (window == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      if (id == kIdConvert && HIWORD(wParam) == BN_CLICKED) {
        window->model().pressConvert();
        return TRUE;
      }
      // 終了, Enter (no button is the default) and Escape or the close box
      // close the dialog, but not while a batch runs.
      if (id == kIdExit || id == IDOK || id == IDCANCEL) {
        if (window->model().mayClose()) ::EndDialog(dialog, id == IDCANCEL ? IDCANCEL : IDOK);
        return TRUE;
      }
      return FALSE;
    }
    case WM_SETCURSOR:
      if (window != nullptr && window->model().converting()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case kTaskMessage: {
      std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
      if (window != nullptr) (*task)();
      return TRUE;
    }
    case WM_QUERYDRAGICON:
      return window != nullptr ? reinterpret_cast<INT_PTR>(window->icon()) : FALSE;
    case WM_PAINT:
      if (window != nullptr && ::IsIconic(dialog)) {
        // Minimised: the icon centred in the client area.
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(dialog, &paint);
        ::SendMessageW(dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client;
        ::GetClientRect(dialog, &client);
        const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, window->icon());
        ::EndPaint(dialog, &paint);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (window != nullptr) {
        window->destroy();
        ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
        delete window;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void runConverterDialog(HINSTANCE instance, const std::vector<std::string>& paths) {
  const DialogTemplate& dialog = converterDialogTemplate();
  const std::vector<WORD> words = buildDialogTemplate(dialog, dialogFace(dialog));
  ::DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), nullptr, dialogProc,
                            reinterpret_cast<LPARAM>(&paths));
}

}  // namespace kvtram::win32
