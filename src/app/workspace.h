// Everything one conversion works in, allocated once with its fixed
// capacities (some tens of MiB of address space) and reused file after file:
// the song's files (read once per conversion), the song and its interpreter,
// the frame record, the sample bank state and resamplers, the output image,
// the PCM channels' note events and the variant plan. Its large buffers are touched only as far as songs
// reach; what a file wrote is cleared by range before the next file reads
// it, so every file sees them as a fresh process would. One workspace per
// conversion thread; nothing in it is shared, so workspaces run side by side.
#pragma once

#include <cstddef>

#include "image/channel_event_log.h"
#include "image/output_image.h"
#include "image/pcm_streams.h"
#include "image/sample_layout.h"
#include "image/stream_framer.h"
#include "input/frame_output.h"
#include "input/interpreter.h"
#include "input/kv_song.h"
#include "samples/spectral_resampler.h"

namespace kvtram {

class Workspace {
 public:
  // spectralHelperThreads: threads that help the spectral resampler besides
  // the converting one (see SpectralResampler); 0 when every core already
  // has a conversion of its own.
  explicit Workspace(std::size_t spectralHelperThreads = SpectralResampler::defaultWorkerThreads())
      : spectral(spectralHelperThreads) {}
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  SongFiles files;
  KvSong song;
  SongInterpreter interpreter{song};
  FrameOutput frame;
  SampleBankState samples;
  SpectralResampler spectral;
  OutputImage image;
  StreamFramer framer;
  ChannelEventLog events;
  VariantPlan plan;
};

}  // namespace kvtram
