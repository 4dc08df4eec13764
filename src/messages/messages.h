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
// The command line's own: each follows the option and its value ("--loops x : ...").
inline std::string jobsRange(int most) { return "並列数が範囲外です ( 1-" + std::to_string(most) + " )"; }
inline constexpr const char* kNotAWholeNumber = "整数ではありません";
inline constexpr const char* kNoSuchOption = "そのようなオプションはありません";
inline constexpr const char* kNoSuchCommand = "そのようなコマンドはありません (convert, info, dump のどれか)";
inline constexpr const char* kTooManyFiles = "ファイルが多過ぎます";
inline constexpr const char* kNotKvFile = ".kv ファイルではないので飛ばしました";
inline constexpr const char* kNoKvFileInFolder = "KV ファイルがありません";
// A second song whose image path an earlier song of the batch already takes.
inline std::string imageTakenBy(const std::string& image, const std::string& firstSong) {
  return "出力ファイル " + image + " は " + firstSong + " の出力と重なるので変換しません";
}
// The command line's listing of a written image and its closing line.
inline std::string imageListed(const std::string& image, std::size_t bytes) {
  return image + " : " + std::to_string(bytes) + " バイト";
}
inline std::string batchSummary(std::size_t converted, std::size_t failed, std::size_t skipped) {
  return std::string(kBatchDone) + ": 変換 " + std::to_string(converted) + "、失敗 " + std::to_string(failed) +
         "、スキップ " + std::to_string(skipped);
}
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
inline constexpr const char* kCannotReadFolder = "フォルダを読めません";
inline constexpr const char* kCannotCreateFolder = "フォルダを作成できませんでした";
// Something a folder scan met but the system will not look at (a path beyond
// its length limit, a folder without search permission), with the cause.
inline constexpr const char* kCannotReach = "パスをたどれません";
// What failed, and why in parentheses: "ファイルを作成できませんでした (読み取り専用のファイルシステムです)".
inline std::string withCause(const char* what, const std::string& cause) {
  return std::string(what) + " (" + cause + ")";
}
// The causes the operating system gives, in the user's words.
inline constexpr const char* kCauseNoWritePermission = "書き込み権限がありません";
inline constexpr const char* kCauseNoReadPermission = "読み取り権限がありません";
inline constexpr const char* kCauseReadOnly = "読み取り専用のファイルシステムです";
inline constexpr const char* kCauseDiskFull = "ディスクの空きが足りません";
inline constexpr const char* kCauseFolderInTheWay = "同じ名前のフォルダがあります";
inline constexpr const char* kCauseFileInTheWay = "同じ名前のファイルがあります";
inline constexpr const char* kCauseLinkInTheWay = "同じ名前のシンボリックリンクがあります";
inline constexpr const char* kCauseSpecialFileInTheWay = "同じ名前の特殊ファイルがあります";
inline constexpr const char* kCauseNameTooLong = "名前が長すぎます";
inline constexpr const char* kCauseNoFolder = "フォルダがありません";
inline constexpr const char* kCauseIoError = "入出力エラー";
inline std::string causeSystemError(int code) { return "システムエラー " + std::to_string(code); }
inline std::string fileTooLarge(std::size_t limitMiB) {
  return "ファイルが大きすぎます (上限 " + std::to_string(limitMiB) + " MiB)";
}

// ---- The KV music file and its sample file -----------------------------------------------
// A music file too short for the header, or with an impossible header: the
// detail (one of the reasons below, or onlyBytes) in parentheses.
inline std::string notKvSong(const std::string& detail) { return "KV ファイルではありません (" + detail + ")"; }
// What `info` says of a file it is given that is no song.
inline constexpr const char* kTramImageForDump = "TRAM イメージです。kvtram dump で読めます";
inline constexpr const char* kNoKvExtension = "拡張子が .kv ではありません";
inline std::string onlyBytes(std::size_t length) {
  return length == 0 ? "空のファイルです" : std::to_string(length) + " バイトしかありません";
}
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
// `address` as 0x and four hexadecimal digits.
inline std::string patchOutOfRange(const std::string& address) {
  return "パッチのアドレスが範囲外です (" + address + ")";
}
// `name` as the file system spells the header's name (fileNameFromShiftJis),
// or the header's bytes where that has no spelling.
inline std::string sampleNameWithFolder(const std::string& name) {
  return "サンプルファイル名にフォルダが含まれています (" + name + ")";
}
// On Windows, whose file names are Unicode, a sample file name that is no
// Shift-JIS text names no file: its bytes in hexadecimal ("61 62 81").
inline std::string sampleNameNotShiftJis(const std::string& bytes) {
  return "サンプルファイル名が Shift-JIS の文字列ではありません (" + bytes + ")";
}
// A warning, not a failure: the song is converted with the missing bytes
// read as zeros, as the format defines. Follows the sample file's path.
inline std::string sampleFileShort(std::size_t missingBytes) {
  return "サンプルファイルが曲の指定より " + std::to_string(missingBytes) +
         " バイト短いです (足りない部分は 0 として変換します)";
}

// ---- Playing the song ------------------------------------------------------------------------
inline constexpr const char* kStreamPastEnd = "演奏データがファイルの終わりを越えました";
inline std::string queueOverflow(int queueBytes) {
  return "マクロの展開が " + std::to_string(queueBytes) + " バイトを超えました";
}
inline constexpr const char* kNoSuchMacro = "定義されていないマクロを呼び出しました";
inline std::string tooManyRowChannels(int rowChannels) {
  return "行モードのチャンネル数が " + std::to_string(rowChannels) + " を超えます";
}
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
inline std::string imageBeyondBanks(int banks) { return "出力イメージが " + std::to_string(banks) + " バンクを超えます"; }
inline constexpr const char* kInternalError = "内部エラー";

// ---- Reading an image back (kvtram dump) -----------------------------------------------------------
// An image that is none, or ends early: `headerBytes`, `offset` and `magic` are the format's.
inline std::string imageShorterThanHeader(int headerBytes, std::size_t length) {
  return "TRAM イメージではありません (ヘッダーの " + std::to_string(headerBytes) + " バイトに足りません: " +
         std::to_string(length) + " バイト)";
}
inline std::string imageWithoutMagic(int offset, const std::string& magic) {
  return "TRAM イメージではありません (オフセット " + std::to_string(offset) + " に " + magic + " がありません)";
}
inline std::string imageEndsInBankZero(std::size_t length) {
  return "TRAM イメージが途中で終わっています (バンク 0 の途中、" + std::to_string(length) + " バイト)";
}
inline constexpr const char* kNoSamplePointerTable =
    "バンク 0 にサンプルポインタ表が見つかりません (波形数を指定すれば読めます)";
// The streams, as the faults below name them.
inline constexpr const char* kPsgStreamName = "PSG ストリーム";
inline constexpr const char* kFmStreamName = "FM ストリーム";
inline std::string pcmStreamName(int channel, int headerOffset) {
  return "PCM チャンネル " + std::to_string(channel) + " のストリーム (ヘッダー " + std::to_string(headerOffset) + ")";
}
// `pointer` as its three bytes in hexadecimal ("0x01 0x00 0x40").
inline std::string badStartPointer(const std::string& stream, const std::string& pointer) {
  return stream + " : 開始ポインタ " + pointer + " が不正です";
}
// A fault in a stream: the stream, the address (0x and six hexadecimal
// digits), then one of the texts below, which goes on from the address.
inline std::string streamFault(const std::string& stream, const std::string& address, const std::string& what) {
  return stream + " : " + address + " " + what;
}
inline constexpr const char* kStreamCutOff = "でファイルが終わっています";
inline std::string longFormShortWait(int count) {
  return "の待ち数 " + std::to_string(count) + " が長い形式で書かれています";
}
inline constexpr const char* kFmInitBlockBroken = "の FM 初期化ブロックが壊れています";
inline std::string psgRegisterBeyond(int reg, int last) {
  return "の PSG レジスタ番号 " + std::to_string(reg) + " は " + std::to_string(last) + " を超えます";
}
// `command` as 0x and two hexadecimal digits, here and below.
inline std::string noFmInitBlock(const std::string& command) {
  return "に FM 初期化ブロック (" + command + ") がありません";
}
inline std::string noOpeningWait(const std::string& command) { return "に最初の待ち (" + command + ") がありません"; }
inline std::string badSampleSelection(const std::string& command) {
  return "のサンプル選択 (" + command + ") のオペランドが不正です";
}
inline constexpr const char* kTooManyCommands = "までにコマンドが多すぎます";
inline constexpr const char* kNotZeroBehindNextBank = "は次バンクコマンドの後ろなのに 0 ではありません";
inline std::string unknownCommand(const std::string& command) { return "に不明なコマンド " + command + " があります"; }
inline constexpr const char* kCommandAcrossBanks = "のコマンドがバンク境界をまたいでいます";

}  // namespace kvtram::msg
