#include "app/dialog_model.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "messages/messages.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

class RecordingSink : public MessageSink {
 public:
  void showMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

std::vector<std::string> numberedPaths(std::size_t count) {
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < count; ++i) paths.push_back("/music/" + std::to_string(i) + ".kv");
  return paths;
}

// --- Dialog units -----------------------------------------------------------

TEST(DialogUnits, BaseWidthIsTheRoundedAverageOfTheFiftyTwoLetters) {
  struct Case {
    int advance;
    int expected;
  };
  // 312 / 52 = 6 exactly; 337 / 52 = 6.48; 338 / 52 = 6.5 rounds up;
  // 369 / 52 = 7.10 (IPAPGothic at 12 px).
  for (const Case c : {Case{312, 6}, Case{337, 6}, Case{338, 7}, Case{363, 7}, Case{369, 7},
                       Case{364, 7}, Case{389, 7}, Case{390, 8}}) {
    EXPECT_EQ(baseUnitsFromFontMetrics(c.advance, 13).width, c.expected) << c.advance;
  }
  EXPECT_EQ(baseUnitsFromFontMetrics(369, 13).height, 13);
}

TEST(DialogUnits, EachValueScalesOnItsOwnAndRoundsHalfUp) {
  const DialogBaseUnits units{7, 13};
  // 301 * 7 / 4 = 526.75, 200 * 13 / 8 = 325, 1 * 7 / 4 = 1.75, 3 * 13 / 8 = 4.875,
  // 2 * 7 / 4 = 3.5, 4 * 13 / 8 = 6.5, 5 * 13 / 8 = 8.125.
  EXPECT_EQ(horizontalDluToPixels(301, units), 527);
  EXPECT_EQ(verticalDluToPixels(200, units), 325);
  EXPECT_EQ(horizontalDluToPixels(1, units), 2);
  EXPECT_EQ(verticalDluToPixels(3, units), 5);
  EXPECT_EQ(horizontalDluToPixels(2, units), 4);
  EXPECT_EQ(verticalDluToPixels(4, units), 7);
  EXPECT_EQ(verticalDluToPixels(5, units), 8);
  EXPECT_EQ(horizontalDluToPixels(0, units), 0);
  EXPECT_EQ(horizontalDluToPixels(-2, units), -4);

  EXPECT_EQ(dluToPixels({130, 125, 45, 8}, {6, 12}), (UnitRect{195, 188, 68, 12}));
  // The right edge of a control is x and width mapped one by one, not x +
  // width mapped as one value: 1.5 + 1.5 rounds to 4, 3 to 3.
  EXPECT_EQ(dluToPixels({1, 1, 1, 1}, {6, 12}), (UnitRect{2, 2, 2, 2}));
  EXPECT_EQ(horizontalDluToPixels(2, {6, 12}), 3);
}

// --- File list ----------------------------------------------------------------

TEST(FileList, DisplayIsSortedWithoutCaseWhileConversionKeepsTheDropOrder) {
  FileList files;
  files.replace({"/m/b.kv", "/m/a.kv", "/m/C.kv", "/m/B.kv", "/m/a.KV"});
  EXPECT_EQ(files.conversionOrder(),
            (std::vector<std::string>{"/m/b.kv", "/m/a.kv", "/m/C.kv", "/m/B.kv", "/m/a.KV"}));
  EXPECT_EQ(files.displayOrder(),
            (std::vector<std::string>{"/m/a.KV", "/m/a.kv", "/m/B.kv", "/m/b.kv", "/m/C.kv"}));
}

TEST(FileList, NineThousandNineHundredNinetyNineAreTakenTenThousandAreNot) {
  FileList files;
  EXPECT_EQ(files.replace(numberedPaths(9999)), "");
  EXPECT_EQ(files.size(), 9999u);
  EXPECT_EQ(files.replace(numberedPaths(10000)), "ファイルが多過ぎます");
  EXPECT_TRUE(files.empty());
  EXPECT_TRUE(files.displayOrder().empty());
}

// --- Option controls ------------------------------------------------------------

TEST(OptionControls, EveryControlReachesItsOwnOption) {
  OptionControls controls;
  controls.psgVolumeText = " 3";
  controls.fmVolumeText = "7x";
  controls.loopCountText = "+12";
  ConversionOptions read = readOptionControls(controls);
  EXPECT_EQ(read.psgVolumeReduction, 3);
  EXPECT_EQ(read.fmVolumeReduction, 7);
  EXPECT_EQ(read.loopCount, 12);

  // One box at a time, so that two swapped boxes cannot pass.
  using Flag = bool OptionControls::*;
  using Option = bool ConversionOptions::*;
  const std::pair<Flag, Option> boxes[] = {
      {&OptionControls::useSccI, &ConversionOptions::useSccI},
      {&OptionControls::strictMid, &ConversionOptions::strictMid},
      {&OptionControls::strictHigh, &ConversionOptions::strictHigh},
      {&OptionControls::strictMidHigh, &ConversionOptions::strictMidHigh},
      {&OptionControls::highQuality, &ConversionOptions::highQuality},
  };
  for (const auto& [checked, _] : boxes) {
    OptionControls one;
    one.*checked = true;
    ConversionOptions options = readOptionControls(one);
    for (const auto& [box, option] : boxes) EXPECT_EQ(options.*option, box == checked);
  }
}

// --- Convert ------------------------------------------------------------------

struct ConvertFixture : ::testing::Test {
  RecordingSink sink;
  DialogModel model{sink};
  TempDir dir;
  OptionControls controls = startOptionControls();

  std::string missing(const std::string& name) const { return dir.path() + "/" + name; }
};

TEST_F(ConvertFixture, OptionsAreCheckedInTheOrderPsgFmLoops) {
  struct Case {
    std::string psg, fm, loop;
    const char* message;
  };
  const Case cases[] = {
      {"99", "99", "0", "PSG 補整音量が範囲外です ( 0-15 )"},
      {"0", "-1", "abc", "FM音源 補整音量が範囲外です ( 0-15 )"},
      {"15", "0", "16", "ループ数 が範囲外です ( 1-15 )"},
  };
  model.drop({missing("a.kv"), missing("b.kv")});
  for (const Case& c : cases) {
    sink.messages.clear();
    controls.psgVolumeText = c.psg;
    controls.fmVolumeText = c.fm;
    controls.loopCountText = c.loop;
    BatchOutcome outcome = model.convert(controls);
    EXPECT_EQ(sink.messages, (std::vector<std::string>{c.message})) << c.psg << c.fm << c.loop;
    EXPECT_TRUE(outcome.stoppedByOptions);
    EXPECT_TRUE(outcome.failures.empty());
  }
}

TEST_F(ConvertFixture, EditTextsAtTheEdgesOfTheirRangesPass) {
  const std::vector<std::string> texts[] = {
      {"0", "0", "1"}, {"15", "15", "15"}, {"abc", "abc", "7x"}, {"  +4", "\t5 ", "15abc"}};
  model.drop({missing("a.txt")});
  for (const auto& t : texts) {
    sink.messages.clear();
    controls.psgVolumeText = t[0];
    controls.fmVolumeText = t[1];
    controls.loopCountText = t[2];
    BatchOutcome outcome = model.convert(controls);
    EXPECT_FALSE(outcome.stoppedByOptions) << t[0] << "|" << t[1] << "|" << t[2];
    EXPECT_EQ(sink.messages, (std::vector<std::string>{"終了しました"}));
  }
}

// A name cannot forge a line of the list or of the message box.
TEST_F(ConvertFixture, ControlCharactersInNamesAreShownEscaped) {
  model.drop({missing("a\x1B[2J\nb.kv")});
  EXPECT_EQ(model.files().displayOrder(), (std::vector<std::string>{missing("a\\x1B[2J\\nb.kv")}));
  model.convert(controls);
  // (Not found here, a name no file may have on Windows.)
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0].rfind(missing("a\\x1B[2J\\nb.kv") + " : ", 0), 0u) << sink.messages[0];
}

TEST_F(ConvertFixture, TheJobIsTakenWhenConvertIsPressed) {
  model.drop({missing("a.kv")});
  controls.loopCountText = "5";
  controls.highQuality = true;
  ConvertJob job = model.startConvert(controls);
  // A later drop or edit does not change a job already taken.
  model.drop({missing("b.kv")});
  controls.loopCountText = "0";
  EXPECT_EQ(job.paths, (std::vector<std::string>{missing("a.kv")}));
  EXPECT_EQ(job.options.loopCount, 5);
  EXPECT_TRUE(job.options.highQuality);
  // The workspace is made once and kept.
  EXPECT_EQ(&model.workspace(), &model.workspace());
}

// --- Convert in a front end -----------------------------------------------------

// A front end that logs what the model asks of it; posted tasks wait in a
// queue until the test runs them, as a window's event loop would.
class LoggingView : public DialogView, public MessageSink {
 public:
  OptionControls controls = startOptionControls();
  std::vector<std::string> log;

  OptionControls readControls() const override { return controls; }
  void showFiles(const std::vector<std::string>& paths) override {
    log.push_back("files " + std::to_string(paths.size()));
  }
  void setControlsEnabled(bool enabled) override { log.push_back(enabled ? "enable" : "disable"); }
  void showBusy(bool busy) override { log.push_back(busy ? "busy" : "idle"); }
  void showProgress(const std::string& line) override { log.push_back(line); }
  void saveFocus() override { log.push_back("save focus"); }
  void restoreFocus() override { log.push_back("restore focus"); }
  void batchFinished() override { log.push_back("finished"); }
  void showMessage(const std::string& text) override { log.push_back("message " + text); }
  void post(std::function<void()> task) override {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
  }

  // Runs posted tasks on this thread until the batch has ended.
  void runUntilFinished(DialogModel& model) {
    while (model.converting()) {
      std::function<void()> task;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tasks_.empty()) {
          std::this_thread::yield();
          continue;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
};

TEST(DialogModelInAFrontEnd, ConvertDisablesShowsProgressAndGivesEverythingBackBeforeTheMessage) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  GTEST_SKIP() << "the WebAssembly build has no threads to run a batch off the window's";
#endif
  TempDir dir;
  LoggingView view;
  DialogModel model(view, &view);
  model.drop({dir.path() + "/a.kv", dir.path() + "/b.txt"});
  view.log.clear();

  model.pressConvert();
  EXPECT_TRUE(model.converting());
  EXPECT_FALSE(model.mayClose());
  // A second press and a drop while the batch runs are ignored.
  model.pressConvert();
  model.drop({dir.path() + "/c.kv"});
  view.runUntilFinished(model);
  EXPECT_TRUE(model.mayClose());
  EXPECT_EQ(model.files().conversionOrder().size(), 2u);

  const std::vector<std::string> expected{
      "save focus", "disable", "busy",
      msg::converting(0, 2, dir.path() + "/a.kv"),
      "idle", "enable", "restore focus",
      "message " + dir.path() + "/a.kv : ファイルが見つかりません",
      "finished"};
  EXPECT_EQ(view.log, expected);
}

TEST(DialogModel, MessageBoxesShowTwentyLinesAndCountTheRest) {
  auto lines = [](int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += (i > 1 ? "\n" : "") + std::to_string(i);
    return text;
  };
  EXPECT_EQ(messageBoxText("終了しました"), "終了しました");
  EXPECT_EQ(messageBoxText(lines(20)), lines(20));
  EXPECT_EQ(messageBoxText(lines(21)), lines(20) + "\n… (+1)");
  EXPECT_EQ(messageBoxText(lines(25)), lines(20) + "\n… (+5)");
}

TEST(DialogArguments, OptionsAreHelpVersionOrRefusedAndTheRestArePaths) {
  using Action = DialogArguments::Action;
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {{}, Action::Open, {}},
      {{"a.kv", "songs"}, Action::Open, {"a.kv", "songs"}},
      {{"--help"}, Action::Help, {}},
      {{"a.kv", "--version", "--bogus"}, Action::Version, {}},
      {{"--bogus", "--help"}, Action::Refuse, {}},
      {{"-"}, Action::Refuse, {}},
      {{"-h"}, Action::Refuse, {}},
      {{"--", "-x.kv", "--help"}, Action::Open, {"-x.kv", "--help"}},
  };
  for (const Case& c : cases) {
    const DialogArguments parsed = parseDialogArguments(c.args);
    EXPECT_EQ(parsed.action, c.action) << ::testing::PrintToString(c.args);
    EXPECT_EQ(parsed.paths, c.paths) << ::testing::PrintToString(c.args);
  }
  const std::string refusal = parseDialogArguments({"--bogus"}).text;
  EXPECT_EQ(refusal.substr(0, refusal.find('\n')), "--bogus : そのようなオプションはありません");
}

}  // namespace
}  // namespace kvtram
