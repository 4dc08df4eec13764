// The texts of the converter dialog: its caption (also that of every message
// box), the labels of its controls and its program's own command line, in
// the user's language (their wording is in the catalog, po/ja.po).
//
// This header includes nothing of the project but the catalog, so every
// layer may use it.
#pragma once

#include <string>

#include "messages/messages.h"

namespace kvtram::msg {

inline constexpr Text kAppCaption{Id::AppCaption};

inline constexpr Text kLabelFileList{Id::LabelFileList};
inline constexpr Text kButtonConvert{Id::ButtonConvert};
inline constexpr Text kButtonExit{Id::ButtonExit};
inline constexpr Text kLabelPsgVolume{Id::LabelPsgVolume};
inline constexpr Text kLabelFmVolume{Id::LabelFmVolume};
inline constexpr Text kLabelLoopCount{Id::LabelLoopCount};
inline constexpr Text kBoxUseSccI{Id::BoxUseSccI};
inline constexpr Text kBoxStrictMid{Id::BoxStrictMid};
inline constexpr Text kBoxStrictMidHigh{Id::BoxStrictMidHigh};
inline constexpr Text kBoxStrictHigh{Id::BoxStrictHigh};
inline constexpr Text kBoxHighQuality{Id::BoxHighQuality};

// The dialog program's own command line.
inline constexpr Text kDialogUsage{Id::DialogUsage};
inline constexpr Text kDialogHelp{Id::DialogHelp};
inline constexpr Text kDialogMoreHelp{Id::DialogMoreHelp};
inline std::string dialogVersion(const char* version) { return std::string("kvtram-gui ") + version; }

}  // namespace kvtram::msg
