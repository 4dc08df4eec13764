// The example songs in examples/, built with the KV song builder. The
// generator in tools/ writes them, and a test regenerates them and compares
// the bytes with the files checked in.
#pragma once

#include <string>
#include <vector>

#include "support/kv_song_builder.h"

namespace kvtram {

// FM (user instrument, register writes, row mode), PSG and SCC notes on
// two note channels, a macro and a loop jump; no samples.
KvSongBuilder fmPsgSccExample();

// Two PCM channels: a wave set as sample 0, a looped and an unlooped sample,
// notes across the pitch ranges of all three variants with volume and pitch
// changes, and SCC notes on a PCM channel.
KvSongBuilder pcmExample();

struct ExampleSong {
  std::string name;        // base name of the .kv file
  std::string sampleName;  // base name of its .kvp file, as its header names it ("" without samples)
  KvSongBuilder song;
};
std::vector<ExampleSong> exampleSongs();

// Writes every example song (and its sample file) into `folder`, which must
// exist. Returns "" or the failure text; `written` receives the paths.
std::string writeExampleSongs(const std::string& folder, std::vector<std::string>* written = nullptr);

}  // namespace kvtram
