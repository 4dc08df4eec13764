// The conversion's options: three numbers and five switches, with the
// dialog's start values as defaults.
#pragma once

#include <string>
#include <string_view>

#include "messages/messages.h"

namespace kvtram {

// The range of a numeric option and the text that tells a value outside it.
// The validation, the command line's parser and help, and the messages all
// read these, so a range is written once.
struct OptionRange {
  int low;
  int high;
  msg::Id outOfRangeText;

  bool contains(int value) const { return value >= low && value <= high; }
  std::string outOfRange() const { return msg::outOfRange(outOfRangeText, low, high); }
  std::string text() const { return std::to_string(low) + "-" + std::to_string(high); }  // "0-15"
};
inline constexpr OptionRange kPsgReductionRange{0, 15, msg::Id::PsgRange};
inline constexpr OptionRange kFmReductionRange{0, 15, msg::Id::FmRange};
inline constexpr OptionRange kLoopCountRange{1, 15, msg::Id::LoopRange};
// The most files converted side by side (each worker holds a workspace).
inline constexpr OptionRange kJobsRange{1, 64, msg::Id::JobsRange};

struct ConversionOptions {
  int psgVolumeReduction = 1;  // subtracted from PSG channel volumes, kPsgReductionRange
  int fmVolumeReduction = 1;   // added to FM attenuations, kFmReductionRange
  int loopCount = 2;           // times the song's loop is played, kLoopCountRange
  bool useSccI = false;        // chooses the channel slot table of the PCM streams
  bool strictMid = true;       // variant 1 by the spectral resampler instead of the linear one
  bool strictMidHigh = true;   // the same for variant 2
  bool strictHigh = false;     // the same for variant 3
  bool highQuality = false;    // pitch bytes 129-186 use variant 2 instead of variant 3
};

// Checks the three numbers in the order PSG, FM, loops and returns the
// message of the first one out of range, or "".
std::string validateOptions(const ConversionOptions& options);

// The dialog's reading of an edit's text: leading white space is skipped, then
// an optional sign and the digits up to the first other character are read;
// no digits give 0 ("abc" is 0, "7x" is 7). Values beyond the int range
// saturate (they are out of every option's range anyway).
int parseDialogInteger(std::string_view text);

}  // namespace kvtram
