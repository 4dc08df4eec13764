// Inputs that once cost too much or reached too far, for the tests and for
// the fuzz reproducers: built here once so both use the same bytes.
#pragma once

#include "support/kv_song_builder.h"

namespace kvtram {

// 340 bytes that keep the macro queue full: macro 0 queues macro 1 (the
// filler, 255 bytes) fourteen times, queues itself again and ends the frame,
// so every frame reads about 3,600 bytes until the frame limit. Eight PCM
// channels, no samples.
KvSongBuilder queueFloodSong(const Bytes& filler);
Bytes ignoredBytesFiller();      // 255 x 0xF0
Bytes sccNotesFiller();          // 51 SCC notes of 5 bytes on channels 0-7

// A well-formed long song: `frames` frames of 75 bytes, each with a note on
// every one of eight PCM channels, 18 FM and 3 PSG writes.
KvSongBuilder longDenseSong(int frames);

// A TRAM image whose `slots` channel slots all point at one PCM channel stream
// of `commands` one-byte commands (0x64), laid over as many banks as it needs.
Bytes sharedStreamImage(int commands, int slots);

}  // namespace kvtram
