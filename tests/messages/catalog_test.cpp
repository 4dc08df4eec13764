#include "messages/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/options.h"

namespace kvtram::msg {
namespace {

// Sets the process's language for one test and puts Japanese back after it.
class LanguageScope {
 public:
  explicit LanguageScope(Language language) { setLanguage(language); }
  ~LanguageScope() { setLanguage(Language::Japanese); }
};

TEST(LanguageTest, FollowsLanguageLcAllLcMessagesAndLangInThatOrder) {
  const char* unset = nullptr;
  struct Case {
    const char *language, *lcAll, *lcMessages, *lang;
    Language expected;
  } cases[] = {
      {unset, unset, unset, unset, Language::English},
      {unset, unset, unset, "C", Language::English},
      {unset, unset, unset, "POSIX", Language::English},
      {unset, unset, unset, "ja_JP.UTF-8", Language::Japanese},
      {unset, unset, unset, "ja", Language::Japanese},
      {unset, unset, unset, "en_US.UTF-8", Language::English},
      {unset, "C", unset, "ja_JP.UTF-8", Language::English},
      {unset, "ja_JP.eucJP", unset, "C", Language::Japanese},
      {unset, unset, "ja_JP.UTF-8", "en_GB", Language::Japanese},
      {unset, "en_US.UTF-8", "ja_JP.UTF-8", unset, Language::English},
      {"ja:en", unset, unset, "C.UTF-8", Language::Japanese},
      {"en:ja", unset, unset, "ja_JP.UTF-8", Language::English},
      {"", "", "", "ja_JP.UTF-8", Language::Japanese},  // empty counts as unset
      {unset, unset, unset, "jam", Language::Japanese},
      {unset, unset, unset, "j", Language::English},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(languageFromEnvironment(c.language, c.lcAll, c.lcMessages, c.lang), c.expected)
        << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
        << (c.lcMessages ? c.lcMessages : "-") << " " << (c.lang ? c.lang : "-");
  }
}

// The placeholders of a text in order of number: "{2} x {1}" gives "12".
std::string placeholders(const std::string& text) {
  std::string found;
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    if (text[i] == '{' && text[i + 1] >= '1' && text[i + 1] <= '9' && text[i + 2] == '}') found += text[i + 1];
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(CatalogTest, EveryTextHasBothLanguagesWithTheSamePlaceholders) {
  for (int i = 0; i < kTextCount; ++i) {
    const Id id = static_cast<Id>(i);
    const std::string english = text(id, Language::English);
    const std::string japanese = text(id, Language::Japanese);
    EXPECT_FALSE(english.empty()) << textName(id);
    EXPECT_FALSE(japanese.empty()) << textName(id);
    EXPECT_EQ(placeholders(english), placeholders(japanese)) << textName(id);
    // Numbered from 1 without gaps: a translator sees every value.
    const std::string numbers = placeholders(english);
    for (std::size_t n = 0; n < numbers.size(); ++n) EXPECT_LE(numbers[n], '1' + static_cast<int>(n)) << textName(id);
    bool ascii = std::all_of(english.begin(), english.end(), [](char c) { return (c & 0x80) == 0; });
    EXPECT_TRUE(ascii) << "English holds nothing Japanese: " << textName(id);
  }
}

TEST(CatalogTest, FillPutsEachValueInItsPlace) {
  EXPECT_EQ(fill("{2} before {1}, {1} again", {"a", "b"}), "b before a, a again");
  EXPECT_EQ(fill("{3} and {x} stay", {"a"}), "{3} and {x} stay");
  EXPECT_EQ(fill("{1}", {"{2}", "z"}), "{2}") << "values are not filled again";
  EXPECT_EQ(fill("ends in {", {}), "ends in {");
}

// The Japanese catalog is the program's own wording as it stood before the
// catalog: each text here is copied from the code of that time.
TEST(CatalogTest, JapaneseIsTheProgramsOwnWording) {
  LanguageScope japanese(Language::Japanese);
  const std::vector<std::pair<std::string, std::string>> texts{
      {kBatchDone, "終了しました"},
      {kPsgReductionRange.outOfRange(), "PSG 補整音量が範囲外です ( 0-15 )"},
      {kFmReductionRange.outOfRange(), "FM音源 補整音量が範囲外です ( 0-15 )"},
      {kLoopCountRange.outOfRange(), "ループ数 が範囲外です ( 1-15 )"},
      {kJobsRange.outOfRange(), "並列数が範囲外です ( 1-64 )"},
      {kNotAWholeNumber, "整数ではありません"},
      {kNoSuchOption, "そのようなオプションはありません"},
      {kNoSuchCommand, "そのようなコマンドはありません (convert, info, dump のどれか)"},
      {kTooManyFiles, "ファイルが多過ぎます"},
      {kNotKvFile, ".kv ファイルではないので飛ばしました"},
      {kNoKvFileInFolder, "KV ファイルがありません"},
      {imageTakenBy("o/a.trm", "x/a.kv"), "出力ファイル o/a.trm は x/a.kv の出力と重なるので変換しません"},
      {imageListed("a.trm", 49728), "a.trm : 49728 バイト"},
      {batchSummary(2, 1, 0), "終了しました: 変換 2、失敗 1、スキップ 0"},
      {converting(0, 3, "a.kv"), "変換中 1 / 3 : a.kv"},
      {failureLine("a.kv", kFileNotFound), "a.kv : ファイルが見つかりません"},
      {kCannotOpen, "ファイルをオープンできません"},
      {kReadError, "読込エラー"},
      {withCause(kCannotCreate, kCauseReadOnly), "ファイルを作成できませんでした (読み取り専用のファイルシステムです)"},
      {kCannotReadFolder, "フォルダを読めません"},
      {kCannotCreateFolder, "フォルダを作成できませんでした"},
      {kCauseNoWritePermission, "書き込み権限がありません"},
      {kCauseNoReadPermission, "読み取り権限がありません"},
      {kCauseDiskFull, "ディスクの空きが足りません"},
      {kCauseFolderInTheWay, "同じ名前のフォルダがあります"},
      {kCauseFileInTheWay, "同じ名前のファイルがあります"},
      {kCauseLinkInTheWay, "同じ名前のシンボリックリンクがあります"},
      {kCauseSpecialFileInTheWay, "同じ名前の特殊ファイルがあります"},
      {kCauseNameTooLong, "名前が長すぎます"},
      {kCauseNoFolder, "フォルダがありません"},
      {kCauseIoError, "入出力エラー"},
      {causeSystemError(5), "システムエラー 5"},
      {fileTooLarge(64), "ファイルが大きすぎます (上限 64 MiB)"},
      {notKvSong(onlyBytes(0)), "KV ファイルではありません (空のファイルです)"},
      {onlyBytes(1), "1 バイトしかありません"},
      {onlyBytes(9), "9 バイトしかありません"},
      {macroBytesTooMany(16384, 16385), "マクロデータが 16384 バイトを超えます (16385 バイト)"},
      {macroOutsideArea(3), "マクロ 3 のデータがマクロ領域の外にあります"},
      {kHeaderPastEnd, "ヘッダーがファイルの終わりを越えています"},
      {tooManyPcmChannels(9), "PCM チャンネル数が多すぎます (9)"},
      {tooManyWaves(600), "波形の数が多すぎます (600)"},
      {blockTableTooLarge(4096, 370560), "ブロック表が 4096 バイトを超えます (370560 バイト)"},
      {patchOutOfRange("0x1234"), "パッチのアドレスが範囲外です (0x1234)"},
      {sampleNameWithFolder("a/b.kvp"), "サンプルファイル名にフォルダが含まれています (a/b.kvp)"},
      {sampleNameNotShiftJis("61 62 81"), "サンプルファイル名が Shift-JIS の文字列ではありません (61 62 81)"},
      {kStreamPastEnd, "演奏データがファイルの終わりを越えました"},
      {queueOverflow(4096), "マクロの展開が 4096 バイトを超えました"},
      {kNoSuchMacro, "定義されていないマクロを呼び出しました"},
      {tooManyRowChannels(8), "行モードのチャンネル数が 8 を超えます"},
      {kEndlessFrame, "1 フレームの演奏データが終わりません"},
      {kEndlessSong, "演奏データの処理量が上限を超えました"},
      {kFrameTooBig, "1 フレームのコマンドが多すぎます"},
      {kNoEndMarker, "ブロック表の終端記号が見つかりません"},
      {kPointerTableTooLarge, "サンプルポインタ表がバンク 0 に収まりません"},
      {sampleLoopTooLong(2), "サンプル 2 のループがサンプルより長いです"},
      {sampleTooLong(2), "サンプル 2 が長すぎます"},
      {sampleNotResampled(2), "サンプル 2 をリサンプルできませんでした"},
      {kFrameTooLongForBank, "1 フレームのデータが 1 バンクに収まりません"},
      {imageBeyondBanks(256), "出力イメージが 256 バンクを超えます"},
      {kInternalError, "内部エラー"},
  };
  for (const auto& [made, expected] : texts) EXPECT_EQ(made, expected);
}

TEST(CatalogTest, EnglishKeepsTheShapeOfEachMessage) {
  LanguageScope english(Language::English);
  EXPECT_EQ(failureLine("a.kv", kFileNotFound), "a.kv : not found");
  EXPECT_EQ(failureLine("--loops 16", kLoopCountRange.outOfRange()), "--loops 16 : loop count is out of range (1-15)");
  EXPECT_EQ(batchSummary(2, 1, 0), "Done: 2 converted, 1 failed, 0 skipped");
  EXPECT_EQ(imageListed("a.trm", 49728), "a.trm : 49728 bytes");
  EXPECT_EQ(notKvSong(onlyBytes(0)), "not a KV song (empty file)");
  EXPECT_EQ(withCause(kCannotCreate, kCauseReadOnly), "cannot create the file (read-only file system)");
}

}  // namespace
}  // namespace kvtram::msg
