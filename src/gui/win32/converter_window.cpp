#include "gui/win32/converter_window.h"

#include <shellapi.h>

#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_model.h"
#include "gui/win32/resource.h"
#include "io/utf16.h"

namespace kvtram::win32 {

static_assert(KVTRAM_IDC_FILE_LIST == kIdFileList && KVTRAM_IDC_CONVERT == kIdConvert &&
              KVTRAM_IDC_EXIT == kIdExit && KVTRAM_IDC_PSG_VOLUME == kIdPsgVolume &&
              KVTRAM_IDC_FM_VOLUME == kIdFmVolume && KVTRAM_IDC_USE_SCC_I == kIdUseSccI &&
              KVTRAM_IDC_STRICT_MID == kIdStrictMid && KVTRAM_IDC_STRICT_HIGH == kIdStrictHigh &&
              KVTRAM_IDC_STRICT_MID_HIGH == kIdStrictMidHigh &&
              KVTRAM_IDC_HIGH_QUALITY == kIdHighQuality && KVTRAM_IDC_LOOP_COUNT == kIdLoopCount);

namespace {

// Where the progress line sits, in dialog units: in the free strip under the
// buttons, as in the Qt dialog. It is shown only while a batch runs.
constexpr RECT kProgressRect{20, 188, 20 + 260, 188 + 8};

// A message box shows at most this many lines of a message; a longer one
// ends in a line that says how many more there are.
constexpr std::size_t kMaxShownLines = 20;

constexpr std::array<int, 11> kControlIds{kIdFileList,  kIdConvert,     kIdExit,
                                          kIdPsgVolume, kIdFmVolume,    kIdUseSccI,
                                          kIdStrictMid, kIdStrictHigh,  kIdStrictMidHigh,
                                          kIdHighQuality, kIdLoopCount};

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
    std::string shown = text;
    std::size_t lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\n') continue;
      if (lines == kMaxShownLines) {
        std::size_t rest = 1;
        for (std::size_t j = i + 1; j < text.size(); ++j) rest += text[j] == '\n' ? 1 : 0;
        shown = text.substr(0, i) + "\n… (+" + std::to_string(rest) + ")";
        break;
      }
      ++lines;
    }
    ::MessageBoxW(owner_, toWide(shown).c_str(), toWide(kAppCaption).c_str(), MB_OK);
  }

 private:
  HWND owner_ = nullptr;
};

// Hands the batch's progress from the worker thread to the dialog's thread.
class ProgressRelay : public BatchObserver {
 public:
  explicit ProgressRelay(HWND dialog) : dialog_(dialog) {}
  void fileStarting(std::size_t index, std::size_t count, const std::string& path) override {
    auto* line = new std::string(progressText(index, count, path));
    if (!::PostMessageW(dialog_, kProgressMessage, 0, reinterpret_cast<LPARAM>(line))) delete line;
  }

 private:
  HWND dialog_;
};

// Everything one open dialog holds; lives in the window's user data.
struct ConverterWindow {
  explicit ConverterWindow(HWND window) : dialog(window), model(boxes), relay(window) {
    boxes.setOwner(window);
  }
  ~ConverterWindow() {
    if (worker.joinable()) worker.join();
  }

  HWND dialog;
  MessageBoxSink boxes;
  DialogModel model;
  ProgressRelay relay;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HWND progress = nullptr;
  HWND focusBefore = nullptr;
  std::thread worker;

  bool converting() const { return worker.joinable(); }
  void initialise();
  void takeDrop(HDROP drop);
  void startConvert();
  void showProgress(std::unique_ptr<std::string> line);
  void finishConvert(std::unique_ptr<BatchOutcome> outcome);
  void setControlsEnabled(bool enabled);
  OptionControls readControls() const;
};

void ConverterWindow::initialise() {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  icon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(KVTRAM_IDI_APPLICATION), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0));
  smallIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(KVTRAM_IDI_APPLICATION), IMAGE_ICON,
                                              ::GetSystemMetrics(SM_CXSMICON),
                                              ::GetSystemMetrics(SM_CYSMICON), 0));
  ::SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  ::SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  ::DragAcceptFiles(dialog, TRUE);

  const OptionControls start = startOptionControls();
  ::SetDlgItemTextW(dialog, kIdPsgVolume, toWide(start.psgVolumeText).c_str());
  ::SetDlgItemTextW(dialog, kIdFmVolume, toWide(start.fmVolumeText).c_str());
  ::SetDlgItemTextW(dialog, kIdLoopCount, toWide(start.loopCountText).c_str());
  const std::array<std::pair<int, bool>, 5> boxes{{{kIdUseSccI, start.useSccI},
                                                   {kIdStrictMid, start.strictMid},
                                                   {kIdStrictHigh, start.strictHigh},
                                                   {kIdStrictMidHigh, start.strictMidHigh},
                                                   {kIdHighQuality, start.highQuality}}};
  for (const auto& [id, checked] : boxes) ::CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);

  RECT r = kProgressRect;
  ::MapDialogRect(dialog, &r);
  progress = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_LEFT | SS_PATHELLIPSIS | SS_NOPREFIX,
                               r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdProgress)), instance, nullptr);
  ::SendMessageW(progress, WM_SETFONT, ::SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
}

void ConverterWindow::takeDrop(HDROP drop) {
  if (converting()) {
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

  const HWND list = ::GetDlgItem(dialog, kIdFileList);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  model.drop(std::move(paths));
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (const std::string& path : model.files().displayOrder()) {
    ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(path).c_str()));
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

OptionControls ConverterWindow::readControls() const {
  OptionControls controls;
  controls.psgVolumeText = controlText(dialog, kIdPsgVolume);
  controls.fmVolumeText = controlText(dialog, kIdFmVolume);
  controls.loopCountText = controlText(dialog, kIdLoopCount);
  controls.useSccI = ::IsDlgButtonChecked(dialog, kIdUseSccI) == BST_CHECKED;
  controls.strictMid = ::IsDlgButtonChecked(dialog, kIdStrictMid) == BST_CHECKED;
  controls.strictHigh = ::IsDlgButtonChecked(dialog, kIdStrictHigh) == BST_CHECKED;
  controls.strictMidHigh = ::IsDlgButtonChecked(dialog, kIdStrictMidHigh) == BST_CHECKED;
  controls.highQuality = ::IsDlgButtonChecked(dialog, kIdHighQuality) == BST_CHECKED;
  return controls;
}

void ConverterWindow::startConvert() {
  if (converting()) return;
  ConvertJob job = model.startConvert(readControls());
  Workspace& workspace = model.workspace();
  focusBefore = ::GetFocus();
  setControlsEnabled(false);
  ::SetWindowTextW(progress, L"");
  ::ShowWindow(progress, SW_SHOW);
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));

  const HWND target = dialog;
  ProgressRelay* observer = &relay;
  worker = std::thread([target, job = std::move(job), &workspace, observer] {
    auto outcome = std::make_unique<BatchOutcome>(runConvertJob(workspace, job, observer));
    ::PostMessageW(target, kFinishedMessage, 0, reinterpret_cast<LPARAM>(outcome.release()));
  });
}

void ConverterWindow::showProgress(std::unique_ptr<std::string> line) {
  if (converting()) ::SetWindowTextW(progress, toWide(*line).c_str());
}

void ConverterWindow::finishConvert(std::unique_ptr<BatchOutcome> outcome) {
  if (worker.joinable()) worker.join();
  ::ShowWindow(progress, SW_HIDE);
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  setControlsEnabled(true);
  if (focusBefore != nullptr) ::SetFocus(focusBefore);
  model.finishConvert(*outcome);
}

void ConverterWindow::setControlsEnabled(bool enabled) {
  for (int id : kControlIds) ::EnableWindow(::GetDlgItem(dialog, id), enabled ? TRUE : FALSE);
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
      window->initialise();
      return TRUE;
    }
    case WM_DROPFILES:
      if (window != nullptr) window->takeDrop(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_COMMAND: {
      if (window == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      if (id == kIdConvert && HIWORD(wParam) == BN_CLICKED) {
        window->startConvert();
        return TRUE;
      }
      // 終了, Enter (no button is the default) and Escape or the close box
      // close the dialog, but not while a batch runs.
      if (id == kIdExit || id == IDOK || id == IDCANCEL) {
        if (!window->converting()) ::EndDialog(dialog, id == IDCANCEL ? IDCANCEL : IDOK);
        return TRUE;
      }
      return FALSE;
    }
    case WM_SETCURSOR:
      if (window != nullptr && window->converting()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case kProgressMessage: {
      std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(lParam));
      if (window != nullptr) window->showProgress(std::move(line));
      return TRUE;
    }
    case kFinishedMessage: {
      std::unique_ptr<BatchOutcome> outcome(reinterpret_cast<BatchOutcome*>(lParam));
      if (window != nullptr) window->finishConvert(std::move(outcome));
      return TRUE;
    }
    case WM_QUERYDRAGICON:
      return window != nullptr ? reinterpret_cast<INT_PTR>(window->icon) : FALSE;
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
        ::DrawIcon(dc, x, y, window->icon);
        ::EndPaint(dialog, &paint);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (window != nullptr) {
        ::DragAcceptFiles(dialog, FALSE);
        if (window->icon != nullptr) ::DestroyIcon(window->icon);
        if (window->smallIcon != nullptr) ::DestroyIcon(window->smallIcon);
        ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
        delete window;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void runConverterDialog(HINSTANCE instance) {
  ::DialogBoxParamW(instance, MAKEINTRESOURCEW(KVTRAM_IDD_CONVERTER), nullptr, dialogProc, 0);
}

}  // namespace kvtram::win32
