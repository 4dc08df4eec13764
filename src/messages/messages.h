// Every message text the converter shows its user, in one place: the reasons
// a file is refused or fails, the outcome of a batch and the option errors.
// A reason says what was wrong and never names the file: whoever reports a
// failure (the batch, `kvtram info`, `kvtram dump`) puts the path and " : " in
// front of it, once. Texts are UTF-8 here; the Windows front end converts
// them for display.
//
// This header includes nothing of the project, so every layer may use it.
#pragma once

#include <cstddef>
#include <string>

namespace kvtram::msg {

// ---- The batch and the options -------------------------------------------------
inline constexpr const char* kBatchDone = "終了しました";
inline constexpr const char* kPsgRange = "PSG 補整音量が範囲外です ( 0-15 )";
inline constexpr const char* kFmRange = "FM音源 補整音量が範囲外です ( 0-15 )";
inline constexpr const char* kLoopRange = "ループ数 が範囲外です ( 1-15 )";
inline constexpr const char* kTooManyFiles = "ファイルが多過ぎます";
inline constexpr const char* kNotKvFile = ".kv ファイルではないので飛ばしました";
inline std::string converting(std::size_t index, std::size_t count, const std::string& path) {
  return "変換中 " + std::to_string(index + 1) + " / " + std::to_string(count) + " : " + path;
}

// The path of a file in front of what is said about it (a failure's reason).
inline std::string failureLine(const std::string& path, const std::string& reason) {
  return path + " : " + reason;
}

// ---- Files ---------------------------------------------------------------------------
inline constexpr const char* kFileNotFound = "ファイルが見つかりません";
inline constexpr const char* kCannotOpen = "ファイルをオープンできません";
inline constexpr const char* kReadError = "読込エラー";
inline constexpr const char* kCannotCreate = "ファイルを作成できませんでした";
inline std::string fileTooLarge(std::size_t limitMiB) {
  return "ファイルが大きすぎます (上限 " + std::to_string(limitMiB) + " MiB)";
}

// ---- The KV music file and its sample file -----------------------------------------------
inline std::string macroBytesTooMany(std::size_t capacity, std::size_t count) {
  return "マクロデータが " + std::to_string(capacity) + " バイトを超えます (" + std::to_string(count) + " バイト)";
}
inline std::string macroOutsideArea(int macro) {
  return "マクロ " + std::to_string(macro) + " のデータがマクロ領域の外にあります";
}
inline constexpr const char* kHeaderPastEnd = "ヘッダーがファイルの終わりを越えています";
inline std::string tooManyPcmChannels(int count) {
  return "PCM チャンネル数が多すぎます (" + std::to_string(count) + ")";
}
inline std::string tooManyWaves(int count) { return "波形の数が多すぎます (" + std::to_string(count) + ")"; }
inline std::string blockTableTooLarge(std::size_t capacity, std::size_t bytes) {
  return "ブロック表が " + std::to_string(capacity) + " バイトを超えます (" + std::to_string(bytes) + " バイト)";
}
inline std::string samplesBeyondStore(std::size_t blocks, std::size_t capacity) {
  return "サンプルがサンプル領域に収まりません (" + std::to_string(blocks) + " / " + std::to_string(capacity) +
         " ブロック)";
}
// `address` as 0x and four hexadecimal digits.
inline std::string patchOutOfRange(const std::string& address) {
  return "パッチのアドレスが範囲外です (" + address + ")";
}
inline constexpr const char* kSampleDataPastEnd = "サンプルデータがサンプルファイルの終わりを 1 MiB 以上越えています";

// ---- Playing the song ------------------------------------------------------------------------
inline constexpr const char* kStreamPastEnd = "演奏データがファイルの終わりを越えました";
inline constexpr const char* kQueueOverflow = "マクロの展開が 4096 バイトを超えました";
inline constexpr const char* kNoSuchMacro = "定義されていないマクロを呼び出しました";
inline constexpr const char* kTooManyRowChannels = "行モードのチャンネル数が 8 を超えます";
inline constexpr const char* kEndlessFrame = "1 フレームの演奏データが終わりません";
inline constexpr const char* kEndlessSong = "演奏データの処理量が上限を超えました";
inline constexpr const char* kFrameTooBig = "1 フレームのコマンドが多すぎます";

// ---- Building the image ---------------------------------------------------------------------------
inline constexpr const char* kNoEndMarker = "ブロック表の終端記号が見つかりません";
inline constexpr const char* kPointerTableTooLarge = "サンプルポインタ表がバンク 0 に収まりません";
inline std::string sampleLoopTooLong(int sample) {
  return "サンプル " + std::to_string(sample) + " のループがサンプルより長いです";
}
inline std::string sampleTooLong(int sample) { return "サンプル " + std::to_string(sample) + " が長すぎます"; }
inline std::string sampleNotResampled(int sample) {
  return "サンプル " + std::to_string(sample) + " をリサンプルできませんでした";
}
inline constexpr const char* kFrameTooLongForBank = "1 フレームのデータが 1 バンクに収まりません";
inline constexpr const char* kImageBeyondBanks = "出力イメージが 256 バンクを超えます";
inline constexpr const char* kInternalError = "内部エラー";

}  // namespace kvtram::msg
