// The native dialog, driven from the outside as the desktop would: opened on
// a thread of its own, checked against the window template, given a
// WM_DROPFILES with a drop handle built here, and its Convert button clicked.
#include "gui/win32/converter_window.h"
#include "gui/win32/dialog_template.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/convert_file.h"
#include "app/dialog_model.h"
#include "app/workspace.h"
#include "io/file_io.h"
#include "io/utf16.h"
#include "messages/messages.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

std::string windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return fromWide(text);
}

std::string className(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return fromWide(name);
}

// Waits up to `seconds` for `found` to give a window.
template <typename Find>
HWND waitFor(Find found, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    if (HWND window = found(); window != nullptr) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}

// A drop handle as the shell makes one: DROPFILES, then the wide paths, each
// ended by a zero, and one more zero.
HDROP makeDrop(const std::vector<std::string>& paths) {
  std::wstring names;
  for (const std::string& path : paths) names += toWide(path) + L'\0';
  names += L'\0';
  const std::size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
  HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
  auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

struct TextsOfChildren {
  std::string statics;
};

BOOL CALLBACK collectStatics(HWND child, LPARAM data) {
  auto* texts = reinterpret_cast<TextsOfChildren*>(data);
  if (className(child) == "Static") texts->statics += windowText(child);
  return TRUE;
}

class ConverterWindowTest : public ::testing::Test {
 protected:
  // The texts below are compared in Japanese unless a test says otherwise.
  void SetUp() override { open(msg::Language::Japanese); }
  void TearDown() override { close(); }

  void open(msg::Language language) {
    msg::setLanguage(language);
    worker_ = std::thread([] { win32::runConverterDialog(::GetModuleHandleW(nullptr)); });
    // Visible once its controls are made and initialised.
    dialog_ = waitFor(
        [] {
          HWND window = ::FindWindowW(L"#32770", L"Kv_TRAM");
          return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
        },
        60);
    ASSERT_NE(dialog_, nullptr) << "the dialog did not open";
  }
  void close() {
    if (dialog_ != nullptr) ::PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(kIdExit, BN_CLICKED), 0);
    if (worker_.joinable()) worker_.join();
    dialog_ = nullptr;
  }
  HWND item(int id) const { return ::GetDlgItem(dialog_, id); }

  HWND dialog_ = nullptr;
  std::thread worker_;
};

TEST_F(ConverterWindowTest, OpensAsTheTemplateSays) {
  EXPECT_EQ(windowText(dialog_), "Kv_TRAM");
  const DialogTemplate& spec = converterDialogTemplate();
  RECT client{0, 0, spec.width, spec.height};
  ::MapDialogRect(dialog_, &client);
  RECT actual;
  ::GetClientRect(dialog_, &actual);
  EXPECT_EQ(actual.right, client.right);
  EXPECT_EQ(actual.bottom, client.bottom);
  // The template's face, or the system's dialog face where that is missing.
  LOGFONTW font{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(dialog_, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_EQ(font.lfFaceName, win32::dialogFace(spec).name);
  EXPECT_NE(::GetWindowLongPtrW(dialog_, GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  EXPECT_NE(::SendMessageW(dialog_, WM_GETICON, ICON_BIG, 0), 0);

  // Every control with an id at its place, with its text; the tab stops in
  // template order.
  std::vector<HWND> tabOrder;
  for (const ControlTemplate& control : spec.controls) {
    if (control.id == kNoControlId) continue;
    HWND window = item(control.id);
    ASSERT_NE(window, nullptr) << control.id;
    // Windows maps the position and the size each on its own.
    RECT expected{control.rect.x, control.rect.y, control.rect.width, control.rect.height};
    ::MapDialogRect(dialog_, &expected);
    expected.right += expected.left;
    expected.bottom += expected.top;
    RECT r;
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, dialog_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, expected.left) << control.id;
    EXPECT_EQ(r.top, expected.top) << control.id;
    EXPECT_EQ(r.right, expected.right) << control.id;
    EXPECT_EQ(r.bottom, expected.bottom) << control.id;
    if (control.kind != ControlKind::Edit) {
      EXPECT_EQ(windowText(window), control.label()) << control.id;
    }
    if (control.tabStop) tabOrder.push_back(window);
  }
  HWND next = tabOrder.front();
  for (std::size_t i = 1; i < tabOrder.size(); ++i) {
    next = ::GetNextDlgTabItem(dialog_, next, FALSE);
    EXPECT_EQ(next, tabOrder[i]) << i;
  }
  EXPECT_NE(::GetWindowLongPtrW(item(kIdFileList), GWL_STYLE) & LBS_SORT, 0);

  const OptionControls start = startOptionControls();
  EXPECT_EQ(windowText(item(kIdPsgVolume)), start.psgVolumeText);
  EXPECT_EQ(windowText(item(kIdFmVolume)), start.fmVolumeText);
  EXPECT_EQ(windowText(item(kIdLoopCount)), start.loopCountText);
  EXPECT_EQ(::IsDlgButtonChecked(dialog_, kIdStrictMid), BST_CHECKED);
  EXPECT_EQ(::IsDlgButtonChecked(dialog_, kIdStrictMidHigh), BST_CHECKED);
  EXPECT_EQ(::IsDlgButtonChecked(dialog_, kIdStrictHigh), BST_UNCHECKED);
  EXPECT_EQ(::IsDlgButtonChecked(dialog_, kIdUseSccI), BST_UNCHECKED);
  EXPECT_EQ(::IsDlgButtonChecked(dialog_, kIdHighQuality), BST_UNCHECKED);
}

// In each language, each text, in the font its control draws it with, is no
// wider than the room the control gives it. The children come in template
// order.
TEST_F(ConverterWindowTest, EveryTextFitsItsControl) {
  for (const msg::Language language : {msg::Language::Japanese, msg::Language::English}) {
    close();
    open(language);
    HWND child = ::GetWindow(dialog_, GW_CHILD);
    for (const ControlTemplate& control : converterDialogTemplate().controls) {
      ASSERT_NE(child, nullptr);
      if (control.kind != ControlKind::Edit) {
        EXPECT_EQ(windowText(child), control.label());
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0));
        EXPECT_TRUE(win32::textFits(dialog_, control, font)) << control.label();
      }
      child = ::GetWindow(child, GW_HWNDNEXT);
    }
  }
}

TEST_F(ConverterWindowTest, DroppedSongsAreConvertedAndTheOutcomeShown) {
  TempDir dir;
  // Two songs (one under a Japanese name, one with samples) and a missing one.
  KvSongBuilder plain;
  plain.stream({0x07, 0x38, 0xFF, 0xFE});
  KvSongBuilder pcm;
  pcm.pcmChannels(1).sampleFileName("DRUMS").sample(Bytes(512, 200)).stream({0xA0, 0x80, 0x00, 0x0F, 0xFF, 0xFE});
  const std::string first = dir.path() + "\\曲.kv";
  const std::string second = dir.path() + "\\drums.kv";
  const std::string missing = dir.path() + "\\無い.kv";
  ASSERT_EQ(writeWholeFile(first, plain.musicBytes()), "");
  ASSERT_EQ(writeWholeFile(second, pcm.musicBytes()), "");
  ASSERT_EQ(writeWholeFile(dir.path() + "\\DRUMS.kvp", pcm.sampleBytes()), "");

  ::SendMessageW(dialog_, WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop({second, missing, first})), 0);
  ASSERT_EQ(::SendMessageW(item(kIdFileList), LB_GETCOUNT, 0, 0), 3);

  ::SendMessageW(item(kIdConvert), BM_CLICK, 0, 0);
  HWND box = waitFor(
      [this] {
        HWND w = nullptr;
        while ((w = ::FindWindowExW(nullptr, w, L"#32770", L"Kv_TRAM")) != nullptr) {
          if (w != dialog_) return w;
        }
        return HWND{};
      },
      120);
  ASSERT_NE(box, nullptr) << "no message box";
  TextsOfChildren texts;
  ::EnumChildWindows(box, collectStatics, reinterpret_cast<LPARAM>(&texts));
  EXPECT_EQ(texts.statics, missing + " : ファイルが見つかりません");
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_NE(waitFor([this] { return ::IsWindowEnabled(item(kIdConvert)) ? item(kIdConvert) : nullptr; }, 30),
            nullptr);

  // The images are those of a conversion in this process.
  auto workspace = std::make_unique<Workspace>();
  FileBuffer written;
  FileBuffer expected;
  for (const std::string& song : {first, second}) {
    const std::string image = song.substr(0, song.size() - 3) + ".trm";
    const std::string reference = dir.path() + "\\reference.trm";
    ASSERT_EQ(convertFile(*workspace, song, reference, ConversionOptions{}), "");
    ASSERT_EQ(written.read(image), "") << image;
    ASSERT_EQ(expected.read(reference), "");
    EXPECT_EQ(std::vector<std::uint8_t>(written.data(), written.data() + written.length()),
              std::vector<std::uint8_t>(expected.data(), expected.data() + expected.length()));
  }
}

}  // namespace
}  // namespace kvtram
