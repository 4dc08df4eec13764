// The writer and the decoder spell the image with the names of one format
// header: what the one writes, the other reads back field for field.
#include "image/image_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "image/output_image.h"
#include "image/stream_framer.h"
#include "image/trm_decoder.h"

namespace kvtram {
namespace {

TEST(ImageFormat, TheDecoderReadsWhatTheWriterWrites) {
  auto image = std::make_unique<OutputImage>();
  image->setUpHeader("TITLE");
  StreamFramer framer;

  // PSG stream: one write, 300 silent frames (a long wait), the end.
  image->putPointer(kPsgStreamPointer, image->address());
  framer.start();
  const std::uint8_t psg[] = {kPsgWriteCommand, 7, 0x38};
  ASSERT_TRUE(framer.frame(*image, psg, sizeof psg, false));
  for (int f = 0; f < 300; ++f) ASSERT_TRUE(framer.frame(*image, nullptr, 0, false));
  ASSERT_TRUE(framer.frame(*image, nullptr, 0, true));

  // FM stream in rhythm mode: the six-channel opening block and one write.
  image->putPointer(kFmStreamPointer, image->address());
  framer.start();
  std::uint8_t fm[64];
  std::size_t n = fmInitBlock(true, fm);
  fm[n++] = static_cast<std::uint8_t>(kFmWriteCommand + 0x0E);
  fm[n++] = 0x20;
  ASSERT_TRUE(framer.frame(*image, fm, n, true));

  // Eight channel streams in the slots of the SCC-I table.
  const std::array<int, 8> slots = channelSlots(8, true);
  for (int c = 0; c < 8; ++c) {
    image->putPointer(slots[static_cast<std::size_t>(c)], image->address());
    const std::uint8_t stream[] = {kWaitCommand, static_cast<std::uint8_t>(c + 1), kEndCommand};
    ASSERT_TRUE(placeFramedBytes(*image, stream, sizeof stream));
  }
  image->finish(nullptr, 0, true);

  TrmImage decoded;
  ASSERT_EQ(decodeTrm(image->bytes(), decoded), "");
  const TrmHeader& h = decoded.header;
  EXPECT_EQ(h.magic, kMagic);
  EXPECT_EQ(h.constants, kHeaderConstants);
  EXPECT_EQ(h.playerName, kPlayerName);
  EXPECT_EQ(h.title, "TITLE");
  EXPECT_EQ(h.rhythmMode, 1);
  EXPECT_EQ(h.strayBytes, 0);
  EXPECT_EQ(h.psg.address, kFirstBankedAddress);

  ASSERT_EQ(decoded.psg.commands.size(), 4u);
  EXPECT_EQ(decoded.psg.commands[0].kind, TrmCommandKind::PsgWrite);
  EXPECT_EQ(decoded.psg.commands[0].reg, 7);
  EXPECT_EQ(decoded.psg.commands[0].value, 0x38);
  EXPECT_EQ(decoded.psg.commands[2].kind, TrmCommandKind::Wait);
  EXPECT_EQ(decoded.psg.commands[2].count, 300);
  EXPECT_EQ(decoded.psg.commands[3].kind, TrmCommandKind::End);

  ASSERT_GE(decoded.fm.commands.size(), 2u);
  EXPECT_EQ(decoded.fm.commands[0].kind, TrmCommandKind::FmInit);
  EXPECT_EQ(decoded.fm.commands[0].count, 6);
  EXPECT_EQ(decoded.fm.commands[1].kind, TrmCommandKind::FmWrite);
  EXPECT_EQ(decoded.fm.commands[1].reg, 0x0E);

  ASSERT_EQ(decoded.channels.size(), 8u);
  for (int c = 0; c < 8; ++c) {
    const TrmStream& s = decoded.channels[static_cast<std::size_t>(c)];
    EXPECT_EQ(s.headerOffset, slots[static_cast<std::size_t>(c)]) << c;
    ASSERT_TRUE(s.complete) << c;
    EXPECT_EQ(s.commands[0].count, c + 1);
  }
}

TEST(ImageFormat, EverySlotTheWriterUsesIsOneTheDecoderReads) {
  for (bool sccI : {false, true}) {
    for (int channels = 0; channels <= 8; ++channels) {
      std::array<int, 8> slots = channelSlots(channels, sccI);
      for (int c = 0; c < channels; ++c) {
        int slot = slots[static_cast<std::size_t>(c)];
        EXPECT_NE(std::find(kChannelSlotOffsets.begin(), kChannelSlotOffsets.end(), slot), kChannelSlotOffsets.end())
            << slot;
        // No two channels share a slot.
        EXPECT_EQ(std::count(slots.begin(), slots.begin() + channels, slot), 1) << slot;
      }
    }
  }
}

TEST(ImageFormat, TheBufferHoldsTheHeaderAndEveryReachableBank) {
  EXPECT_EQ(kImageBytes, 576u + 256u * 16384u);
  auto image = std::make_unique<OutputImage>();
  image->setUpHeader("");
  while (image->address() < kMaxBanks * kBankBytes) image->put(0x11);
  EXPECT_FALSE(image->overflowed());
  EXPECT_EQ(image->bytes().size(), kImageBytes);
  image->put(0x22);
  EXPECT_TRUE(image->overflowed());
  EXPECT_EQ(image->bytes().size(), kImageBytes);
}

}  // namespace
}  // namespace kvtram
