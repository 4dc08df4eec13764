// The frame protocol every pass over a song follows, written once: before each
// frame the frame record is cleared (and the pass may put bytes of its own in
// front), the interpreter plays one frame, the caller's frame counter gains one
// more on top of what the interpreter added, and the pass reads the frame. The
// frame in which the song ends is handed over too, and is the last.
#pragma once

#include "input/frame_output.h"
#include "input/interpreter.h"

namespace kvtram {

// Every frame the song goes on adds 2 to the frame counter, and the
// interpreter ends the song once the counter reaches the frame limit: no play
// has more frames than this.
inline constexpr int kMaxFramesPerPlay = kFrameLimit / 2 + 1;

// `onFrame(int frameIndex, bool songGoesOn, const FrameOutput&, int frameCounter)`
// gets every frame (frameIndex counting from 1); `beforeFrame(int frameIndex,
// FrameOutput&)` runs after the record is cleared and before the frame is played.
// Returns the number of frames played. The caller checks interpreter.failure().
template <class OnFrame, class BeforeFrame>
int playSong(SongInterpreter& interpreter, FrameOutput& out, int& frameCounter, OnFrame&& onFrame,
             BeforeFrame&& beforeFrame) {
  int frame = 0;
  for (;;) {
    ++frame;
    out.clear();
    beforeFrame(frame, out);
    int goesOn = interpreter.advanceFrames(1, frameCounter, out);
    frameCounter += 1;
    onFrame(frame, goesOn != 0, static_cast<const FrameOutput&>(out), frameCounter);
    if (goesOn == 0) return frame;
  }
}

template <class OnFrame>
int playSong(SongInterpreter& interpreter, FrameOutput& out, int& frameCounter, OnFrame&& onFrame) {
  return playSong(interpreter, out, frameCounter, static_cast<OnFrame&&>(onFrame),
                  [](int, FrameOutput&) {});
}

}  // namespace kvtram
