// The conversion's options: three numbers and five switches, with the
// dialog's start values as defaults.
#pragma once

#include <string>
#include <string_view>

namespace kvtram {

struct ConversionOptions {
  int psgVolumeReduction = 1;  // subtracted from PSG channel volumes, 0-15
  int fmVolumeReduction = 1;   // added to FM attenuations, 0-15
  int loopCount = 2;           // times the song's loop is played, 1-15
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
