// The texts of the converter dialog: its caption (also that of every message
// box) and the labels of its controls, as both dialogs show them. UTF-8.
//
// This header includes nothing of the project, so every layer may use it.
#pragma once

#include <string>

namespace kvtram::msg {

inline constexpr const char* kAppCaption = "Kv_TRAM";

inline constexpr const char* kLabelFileList = "KV ファイル（複数可）";
inline constexpr const char* kButtonConvert = "変換";
inline constexpr const char* kButtonExit = "終了";
inline constexpr const char* kLabelPsgVolume = "PSG 音量減";
inline constexpr const char* kLabelFmVolume = "FM 音量減";
inline constexpr const char* kLabelLoopCount = "ループ";
inline constexpr const char* kBoxUseSccI = "SCC-I 使用";
inline constexpr const char* kBoxStrictMid = "サンプリング計算厳密化(中音)";
inline constexpr const char* kBoxStrictMidHigh = "サンプリング計算厳密化(中高音)";
inline constexpr const char* kBoxStrictHigh = "サンプリング計算厳密化(高音)";
inline constexpr const char* kBoxHighQuality = "高音質化（中高音を有効）";

// The dialog program's own command line.
inline constexpr const char* kDialogUsage = "Usage: kvtram-gui [FILE|FOLDER]...";
inline constexpr const char* kDialogHelp =
    "Opens the converter's dialog. Drop KV files (.kv) or folders holding them onto it,\n"
    "set the options and press Convert: each song is written beside it as .trm, and one\n"
    "message box reports the outcome. The FILEs and FOLDERs given here start in the list\n"
    "(a folder stands for the .kv files directly in it).\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Exit status: 0, or 2 for an unknown option.";
inline constexpr const char* kDialogMoreHelp = "kvtram-gui --help tells more.";
inline std::string dialogVersion(const char* version) { return std::string("kvtram-gui ") + version; }

}  // namespace kvtram::msg
