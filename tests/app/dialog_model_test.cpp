#include "app/dialog_model.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

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

// --- Window template ------------------------------------------------------

TEST(DialogTemplate, EveryIdOnceAndTabStopsOnExactlyTheIdControls) {
  const DialogTemplate& dialog = converterDialogTemplate();
  std::set<int> ids;
  int labels = 0;
  for (const ControlTemplate& control : dialog.controls) {
    if (control.id == kNoControlId) {
      ++labels;
      EXPECT_EQ(control.kind, ControlKind::Label);
      EXPECT_FALSE(control.tabStop) << control.text;
    } else {
      EXPECT_TRUE(ids.insert(control.id).second) << control.id;
      EXPECT_TRUE(control.tabStop) << control.id;
    }
  }
  EXPECT_EQ(ids, (std::set<int>{1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010}));
  EXPECT_EQ(labels, 4);
}

TEST(DialogTemplate, EveryControlLiesInsideTheDialog) {
  const DialogTemplate& dialog = converterDialogTemplate();
  for (const ControlTemplate& control : dialog.controls) {
    EXPECT_LE(control.rect.x + control.rect.width, dialog.width) << control.text;
    EXPECT_LE(control.rect.y + control.rect.height, dialog.height) << control.text;
  }
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

TEST(FileList, DropKeepsItsOrderAndReplacesTheEarlierDrop) {
  FileList files;
  EXPECT_EQ(files.replace({"/a/1.kv", "/a/2.kv", "/a/3.kv"}), "");
  EXPECT_EQ(files.replace({"/b/z.kv"}), "");
  EXPECT_EQ(files.conversionOrder(), (std::vector<std::string>{"/b/z.kv"}));
  EXPECT_EQ(files.size(), 1u);
}

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
  EXPECT_EQ(files.replace(numberedPaths(10000)), kTooManyFilesMessage);
  EXPECT_TRUE(files.empty());
  EXPECT_TRUE(files.displayOrder().empty());
}

TEST(DialogModel, TooLargeADropShowsItsMessageOnceAndEmptiesTheList) {
  RecordingSink sink;
  DialogModel model(sink);
  model.drop({"/x/a.kv"});
  EXPECT_TRUE(sink.messages.empty());
  model.drop(numberedPaths(10001));
  EXPECT_EQ(sink.messages, (std::vector<std::string>{"ファイルが多過ぎます"}));
  EXPECT_TRUE(model.files().empty());
}

// --- Option controls ------------------------------------------------------------

TEST(OptionControls, StartStatesAreTheDefaults) {
  const OptionControls start = startOptionControls();
  EXPECT_EQ(start.psgVolumeText, "1");
  EXPECT_EQ(start.fmVolumeText, "1");
  EXPECT_EQ(start.loopCountText, "2");
  EXPECT_FALSE(start.useSccI);
  EXPECT_TRUE(start.strictMid);
  EXPECT_FALSE(start.strictHigh);
  EXPECT_TRUE(start.strictMidHigh);
  EXPECT_FALSE(start.highQuality);
}

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

TEST(OptionControls, ProgressCountsFromOne) {
  EXPECT_EQ(progressText(0, 3, "/m/a.kv"), "変換中 1 / 3 : /m/a.kv");
  EXPECT_EQ(progressText(2, 3, "/m/c.kv"), "変換中 3 / 3 : /m/c.kv");
}

// --- Convert ------------------------------------------------------------------

struct ConvertFixture : ::testing::Test {
  RecordingSink sink;
  DialogModel model{sink};
  TempDir dir;
  OptionControls controls = startOptionControls();

  std::string missing(const std::string& name) const { return dir.path() + "/" + name; }
};

TEST_F(ConvertFixture, EmptyListIsDoneWithoutLookingAtTheEdits) {
  controls.loopCountText = "0";
  controls.psgVolumeText = "99";
  BatchOutcome outcome = model.convert(controls);
  EXPECT_EQ(sink.messages, (std::vector<std::string>{"終了しました"}));
  EXPECT_FALSE(outcome.stoppedByOptions);
}

TEST_F(ConvertFixture, AnOptionOutOfRangeIsTheOnlyMessageAndNoFileIsTried) {
  struct Case {
    std::string psg, fm, loop;
    const char* message;
  };
  const Case cases[] = {
      {"16", "1", "2", "PSG 補整音量が範囲外です ( 0-15 )"},
      {"-1", "1", "2", "PSG 補整音量が範囲外です ( 0-15 )"},
      {"1", "16", "2", "FM音源 補整音量が範囲外です ( 0-15 )"},
      {"1", "-1", "2", "FM音源 補整音量が範囲外です ( 0-15 )"},
      {"1", "1", "0", "ループ数 が範囲外です ( 1-15 )"},
      {"1", "1", "16", "ループ数 が範囲外です ( 1-15 )"},
      {"1", "1", "abc", "ループ数 が範囲外です ( 1-15 )"},
      // Checked in the order PSG, FM, loops.
      {"99", "99", "0", "PSG 補整音量が範囲外です ( 0-15 )"},
      {"0", "99", "0", "FM音源 補整音量が範囲外です ( 0-15 )"},
  };
  model.drop({missing("a.kv"), missing("b.kv"), missing("c.kv")});
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

TEST_F(ConvertFixture, FilesAreConvertedInDropOrderNotInDisplayOrder) {
  model.drop({missing("b.kv"), missing("notes.txt"), missing("a.kv")});
  BatchOutcome outcome = model.convert(controls);
  ASSERT_EQ(outcome.failures.size(), 2u);
  EXPECT_EQ(outcome.failures[0].rfind(missing("b.kv"), 0), 0u) << outcome.failures[0];
  EXPECT_EQ(outcome.failures[1].rfind(missing("a.kv"), 0), 0u) << outcome.failures[1];
  EXPECT_EQ(outcome.skipped, (std::vector<std::string>{missing("notes.txt")}));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], outcome.failures[0] + "\n" + outcome.failures[1]);
}

TEST_F(ConvertFixture, ARefusedDropLeavesNothingToConvert) {
  model.drop({missing("a.kv")});
  model.drop(numberedPaths(10000));
  sink.messages.clear();
  BatchOutcome outcome = model.convert(controls);
  EXPECT_EQ(sink.messages, (std::vector<std::string>{"終了しました"}));
  EXPECT_TRUE(outcome.failures.empty());
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

}  // namespace
}  // namespace kvtram
