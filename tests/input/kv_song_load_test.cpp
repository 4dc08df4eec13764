// Loading KV music files and their sample files: the version-dependent layout,
// the title and sample-file name, wave sets, the sample store, the block index
// table with its loop markers, the macro table, and the files that are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "input/interpreter.h"
#include "input/kv_song.h"
#include "messages/messages.h"
#include "support/kv_song_builder.h"
#include "support/recorded_play.h"
#include "support/temp_dir.h"

namespace kvtram {
namespace {

Bytes fullWidthSpaces(int count) {
  Bytes b;
  for (int i = 0; i < count; ++i) {
    b.push_back(0x81);
    b.push_back(0x40);
  }
  return b;
}

std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes ascii(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A sample of `blocks` blocks whose every byte tells its sample and position.
Bytes markedSample(int sample, int blocks) {
  Bytes b(static_cast<std::size_t>(blocks) * 256);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8) * 3 + sample * 101 + 1);
  return b;
}

class KvSongLoad : public ::testing::Test {
 protected:
  std::string load(const KvSongBuilder& builder, const std::string& name = "song") {
    path = builder.write(dir.path(), name);
    return readSong(path);
  }
  std::string loadBytes(const Bytes& music, const std::string& name = "raw.kv") {
    path = dir.write(name, music);
    return readSong(path);
  }
  // The load's failure as its reporter shows it: the path in front of the reason.
  std::string readSong(const std::string& songPath) {
    std::string reason = loadSong(songPath, *files, *song);
    return reason.empty() ? reason : msg::failureLine(songPath, reason);
  }
  Bytes blockTable(std::size_t count) const {
    return Bytes(song->blockIndexTable.begin(), song->blockIndexTable.begin() + static_cast<std::ptrdiff_t>(count));
  }
  Bytes storeBlock(int block) const {
    auto begin = song->store.begin() + static_cast<std::ptrdiff_t>(block) * 256;
    return Bytes(begin, begin + 256);
  }
  static Bytes blockOf(const Bytes& data, int block) {
    auto begin = data.begin() + static_cast<std::ptrdiff_t>(block) * 256;
    return Bytes(begin, begin + 256);
  }
  // The refusal text names the file and gives a reason.
  void expectRefused(const std::string& failure, const std::string& file) {
    ASSERT_GT(failure.size(), file.size() + 3) << failure;
    EXPECT_EQ(failure.substr(0, file.size() + 3), file + " : ") << failure;
  }

  TempDir dir;
  std::unique_ptr<SongFiles> files = std::make_unique<SongFiles>();
  std::unique_ptr<KvSong> song = std::make_unique<KvSong>();
  std::string path;
};

TEST_F(KvSongLoad, LayoutFollowsTheFormatVersion) {
  // Two samples (1 and 3 blocks); version 3 and later patch sample 1's end
  // marker into a 3-block loop, version 4 and later set the rows instrument,
  // version 2 and later have one macro. Unused bytes are 0xEE so that a field
  // read from the wrong place shows.
  struct Case {
    int version;
    std::size_t streamStart;
    int rowsInstrument;
    int macros;
  };
  const Case cases[] = {
      {0, 71, 15, 0}, {1, 73, 15, 0}, {2, 79, 15, 1}, {3, 84, 15, 1},
      {4, 85, 0x5A, 1}, {5, 85, 0x5A, 1}, {15, 85, 0x5A, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    KvSongBuilder b;
    b.version(c.version).pcmChannels(3).mixMask(0x81).pcmMask(0x42).filler(0xEE).title("T");
    b.sample(markedSample(0, 1)).sample(markedSample(1, 3));
    if (c.version >= 3) b.loop(1, 3);
    if (c.version >= 4) b.rowsInstrument(0x5A);
    if (c.version >= 2) b.macro({0x40, 0x03}).stream({0xE0, 0xFF, 0xFE});
    else b.stream({0x40, 0x03, 0xFF, 0xFE});
    ASSERT_EQ(load(b), "");
    EXPECT_EQ(song->formatVersion, c.version);
    EXPECT_EQ(song->pcmChannelCount, 3);
    EXPECT_EQ(song->mixChannelMask, 0x81);
    EXPECT_EQ(song->pcmChannelMask, 0x42);
    EXPECT_EQ(song->title, "T");  // the builder pads the field with zero bytes
    EXPECT_EQ(song->sampleCount, 2);
    EXPECT_EQ(song->samples[0].blocks, 1);
    EXPECT_EQ(song->samples[1].blocks, 3);
    EXPECT_EQ(song->loopBase, c.streamStart);
    EXPECT_EQ(song->rowsInstrument, c.rowsInstrument);
    EXPECT_EQ(song->macroCount, c.macros);
    Bytes table = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    if (c.version >= 3) {
      // (0x10003 - 0xFFFD) / 2 = 3 blocks.
      table[13] = 0xFE;
      table[14] = 0xFD;
      table[15] = 0xFF;
    }
    EXPECT_EQ(blockTable(18), table + Bytes(2, 0));

    RecordedPlay play = recordSong(path);
    ASSERT_EQ(play.frames.size(), 2u);
    EXPECT_EQ(play.frames[0].psg, (Bytes{0x8F, 0x00, 0x03}));
    EXPECT_EQ(play.failure, "");
  }
}

TEST_F(KvSongLoad, SongWithoutSamplesStartsItsStreamAt57) {
  for (int version : {0, 1}) {
    SCOPED_TRACE(version);
    // No sample file exists under the header's name; none is read.
    KvSongBuilder b;
    b.version(version).sampleFileName("NOFILE").stream({0x41, 0x09, 0xFF});
    ASSERT_EQ(load(b), "");
    EXPECT_EQ(song->loopBase, 57u);
    EXPECT_EQ(song->sampleCount, 0);
    EXPECT_EQ(song->waveCount, 0);
    EXPECT_EQ(song->samplePath, "");
    RecordedPlay play = recordSong(path);
    ASSERT_FALSE(play.frames.empty());
    EXPECT_EQ(play.frames[0].psg, (Bytes{0x8F, 0x01, 0x09}));
  }
}

TEST_F(KvSongLoad, FilesShorterThanTheHeaderAreNoKvSongs) {
  const std::string shortFile = dir.path() + "/short.kv : ";
  EXPECT_EQ(loadBytes({}, "short.kv"), shortFile + "KV ファイルではありません (空のファイルです)");
  EXPECT_EQ(loadBytes({0x43}, "short.kv"), shortFile + "KV ファイルではありません (1 バイトしかありません)");
  EXPECT_EQ(loadBytes(Bytes(56, 0), "short.kv"), shortFile + "KV ファイルではありません (56 バイトしかありません)");

  // The fixed header alone: version 4 with 3 PCM channels and no samples;
  // the later fields, like the rows-instrument byte, are zeros of the tail.
  Bytes header(57, 0);
  header[0] = 0x43;
  ASSERT_EQ(loadBytes(header, "header.kv"), "");
  EXPECT_EQ(song->formatVersion, 4);
  EXPECT_EQ(song->pcmChannelCount, 3);
  EXPECT_EQ(song->rowsInstrument, 0);
  EXPECT_EQ(song->macroCount, 0);
  EXPECT_EQ(song->loopBase, 60u);
  // Its stream is the zero tail: FM writes of register 0 that never end a
  // frame, which is refused instead of running on.
  RecordedPlay play = recordSong(path);
  ASSERT_EQ(play.frames.size(), 1u);
  EXPECT_EQ(play.frames[0].result, 0);
  EXPECT_NE(play.failure, "");
}

TEST_F(KvSongLoad, TitleLosesTrailingFullWidthSpacesAtEvenOffsets) {
  struct Case {
    const char* what;
    Bytes field;  // padded with zero bytes to 42 by the builder
    Bytes title;
  };
  const Bytes x38 = ascii(std::string(38, 'x'));
  const Case cases[] = {
      {"only full-width spaces", fullWidthSpaces(21), {}},
      {"two letters then spaces", ascii("AB") + fullWidthSpaces(20), ascii("AB")},
      {"a space in the middle stays", ascii("AB") + fullWidthSpaces(1) + ascii("CD") + fullWidthSpaces(18),
       ascii("AB") + fullWidthSpaces(1) + ascii("CD")},
      {"spaces at odd offsets stay", ascii("ABC") + fullWidthSpaces(19),
       ascii("ABC") + fullWidthSpaces(19)},
      {"ASCII character and space at 40", ascii(std::string(40, 'q')) + ascii("Z "),
       ascii(std::string(40, 'q')) + ascii("Z ")},
      {"trimming stops at the first other pair", x38 + Bytes{0x81, 0x41} + fullWidthSpaces(1), x38 + Bytes{0x81, 0x41}},
      {"zero padding ends the title", ascii("ABC") + Bytes(39, 0), ascii("ABC")},
      {"zero ends the title after trimming", ascii("AB") + fullWidthSpaces(1) + Bytes(38, 0),
       ascii("AB") + fullWidthSpaces(1)},
      {"zero inside the trimmed title", ascii("AB") + Bytes{0} + ascii("D") + fullWidthSpaces(19), ascii("AB")},
      {"all 42 bytes", ascii(std::string(42, 'k')), ascii(std::string(42, 'k'))},
      {"Shift-JIS text", Bytes{0x82, 0xA0, 0x82, 0xA2} + fullWidthSpaces(19), Bytes{0x82, 0xA0, 0x82, 0xA2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(load(KvSongBuilder().title(text(c.field)).stream({0xFE})), "");
    EXPECT_EQ(song->title, text(c.title));
    // The title field is followed by the name and the sample count at 56:
    // nothing shifted (version 4: patch count, rows instrument, macro count).
    EXPECT_EQ(song->loopBase, 60u);
  }
}

TEST_F(KvSongLoad, SampleFileNameEndsAtItsFirstSpaceOrZero) {
  struct Case {
    std::string field;  // 8 bytes
    std::string file;   // the sample file that must be read
  };
  const Case cases[] = {
      {"abcde   ", "abcde.kvp"},
      {"ABCDEFGH", "ABCDEFGH.kvp"},
      {"ab cdefg", "ab.kvp"},
      {std::string("ab\0cdefg", 8), "ab.kvp"},
      {"x       ", "x.kvp"},
      {"        ", ".kvp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir here;
    KvSongBuilder b;
    b.version(1).sampleFileName(c.field).sample(markedSample(3, 1)).stream({0xFE});
    std::string music = here.write("m.kv", b.musicBytes());
    here.write(c.file, b.sampleBytes());
    ASSERT_EQ(readSong(music), "");
    EXPECT_EQ(song->samplePath, here.path() + "/" + c.file);
    EXPECT_EQ(storeBlock(0), markedSample(3, 1));
  }
}

TEST_F(KvSongLoad, SampleFileIsFoundIgnoringCaseWhenTheExactNameIsMissing) {
  KvSongBuilder b;
  b.sampleFileName("Drums").sample(markedSample(5, 1)).stream({0xFE});
  std::string music = dir.write("m.kv", b.musicBytes());
  dir.write("DRUMS.KVP", b.sampleBytes());
  ASSERT_EQ(readSong(music), "");
  EXPECT_EQ(song->samplePath, dir.path() + "/DRUMS.KVP");
  EXPECT_EQ(storeBlock(0), markedSample(5, 1));

  // The exact name wins when it exists (where names that differ only in
  // case can be two files at all).
  if (std::filesystem::exists(dir.path() + "/Drums.kvp")) GTEST_SKIP() << "file names ignore case here";
  Bytes other = markedSample(6, 1);
  dir.write("Drums.kvp", other);
  ASSERT_EQ(readSong(music), "");
  EXPECT_EQ(song->samplePath, dir.path() + "/Drums.kvp");
  EXPECT_EQ(storeBlock(0), other);
}

TEST_F(KvSongLoad, SampleFileNameLeadingOutOfTheFolderIsRefused) {
  // Layout: <dir>/A/m.kv, a decoy <dir>/B/S.kvp next door, and decoys where
  // an absolute name or a song given without a folder would lead.
  std::filesystem::create_directories(dir.path() + "/A");
  std::filesystem::create_directories(dir.path() + "/B");
  const Bytes decoy = markedSample(9, 1);
  dir.write("B/S.kvp", decoy);
  dir.write("A/S.kvp", decoy);
  const std::string names[] = {"../B/S", dir.path().substr(0, 8), "..\\B\\S", "C:S", "c:", "/S", "\x81/S"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    KvSongBuilder b;
    b.sampleFileName(name).sample(markedSample(1, 1)).stream({0xFE});
    std::string music = dir.write("A/m.kv", b.musicBytes());
    std::string failure = readSong(music);
    // Shown in UTF-8: bytes that are no Shift-JIS text as escapes.
    const std::string shown = name == "\x81/S" ? "\\x81/S" : name;
    EXPECT_EQ(failure, music + " : サンプルファイル名にフォルダが含まれています (" + shown + ")");
    EXPECT_EQ(song->samplePath, "");
  }
  // A Shift-JIS name whose trail byte is 0x5C ("ソ" is 0x83 0x5C) is a base name.
  const std::string so = "\x83\x5C";
  dir.write("A/" + fileNameHere(so, "ソ") + ".kvp", decoy);
  KvSongBuilder b;
  b.sampleFileName(so).sample(markedSample(1, 1)).stream({0xFE});
  ASSERT_EQ(readSong(dir.write("A/m.kv", b.musicBytes())), "");
  EXPECT_EQ(storeBlock(0), decoy);
}

TEST_F(KvSongLoad, MissingSampleFileIsReportedWithItsPath) {
  KvSongBuilder b;
  b.sampleFileName("gone").sample(markedSample(0, 1)).stream({0xFE});
  std::string music = dir.write("m.kv", b.musicBytes());
  EXPECT_EQ(readSong(music), music + " : " + dir.path() + "/gone.kvp : ファイルが見つかりません");
  std::string missing = dir.path() + "/none.kv";
  EXPECT_EQ(readSong(missing), missing + " : ファイルが見つかりません");
}

TEST_F(KvSongLoad, ShiftJisSampleFileNameIsSpelledAsTheFileSystemSpellsIt) {
  // A missing file is named in UTF-8 on every system, never by raw bytes.
  const std::string kick = "\x83\x4C\x83\x62\x83\x4E";
  KvSongBuilder b;
  b.sampleFileName(kick).sample(markedSample(0, 1)).stream({0xFE});
  std::string music = dir.write("m.kv", b.musicBytes());
  EXPECT_EQ(readSong(music), music + " : " + dir.path() + "/キック.kvp : ファイルが見つかりません");
  // Found under either spelling: as stored (on Windows, the decoding), or in
  // UTF-8 as a copy to a system of UTF-8 names leaves it.
  for (const std::string& onDisk : {fileNameHere(kick, "キック") + ".kvp", std::string("キック.KVP")}) {
    dir.write(onDisk, markedSample(3, 1));
    ASSERT_EQ(readSong(music), "") << onDisk;
    EXPECT_EQ(storeBlock(0), markedSample(3, 1));
    std::filesystem::remove(dir.path() + "/" + onDisk);
  }

  // Bytes that are no Shift-JIS text (a lead byte without a trail byte) name
  // no file on Windows; elsewhere the bytes are the name.
  for (const std::string& name : {std::string("ab\x83"), std::string("\x81\x7F")}) {
    b.sampleFileName(name);
    music = dir.write("m.kv", b.musicBytes());
#ifdef _WIN32
    EXPECT_EQ(readSong(music), music + " : サンプルファイル名が Shift-JIS の文字列ではありません (" +
                                   (name == "ab\x83" ? "61 62 83" : "81 7F") + ")");
#else
    dir.write(name + ".kvp", markedSample(2, 1));
    ASSERT_EQ(readSong(music), "");
    EXPECT_EQ(storeBlock(0), markedSample(2, 1));
#endif
  }
}

TEST_F(KvSongLoad, WaveSetTagCountsOnlyOnSampleZero) {
  struct Case {
    std::string tag0;
    std::string tag1;
    bool waveSet;
  };
  const Case cases[] = {
      {"SCC ", "PCM ", true},  {"scc ", "PCM ", true},  {"Sine", "PCM ", true},
      {"sine", "PCM ", true},  {"SCCX", "PCM ", false}, {std::string("SCC\0", 4), "PCM ", false},
      {"SCC_", "PCM ", false}, {"Scc ", "PCM ", false}, {"SINE", "PCM ", false},
      {"sin ", "PCM ", false}, {"PCM ", "SCC ", false}, {"PCM ", "sine", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag0 + "/" + c.tag1);
    KvSongBuilder b;
    b.sample(markedSample(0, 2), c.tag0).sample(markedSample(1, 1), c.tag1).stream({0xFE});
    ASSERT_EQ(load(b), "");
    EXPECT_EQ(song->waveCount, c.waveSet ? 2 : 0);
    EXPECT_EQ(song->samples[0].blocks, 2);
    EXPECT_EQ(song->samples[0].sampleBlocks, c.waveSet ? 0 : 2);
    EXPECT_EQ(song->samples[1].sampleBlocks, 1);
    // The wave set's blocks keep their place in the store and the index table.
    EXPECT_EQ(song->samples[1].storeSlot, 8 + 2 * 2);
    EXPECT_EQ(storeBlock(0), blockOf(markedSample(0, 2), 0));
    EXPECT_EQ(storeBlock(1), blockOf(markedSample(0, 2), 1));
    EXPECT_EQ(storeBlock(12), markedSample(1, 1));
    EXPECT_EQ(blockTable(14), (Bytes{0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  }
}

TEST_F(KvSongLoad, WaveBytesAreEveryEighthByteLess128) {
  Bytes data(3 * 256);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 13 + 5);
  data[0] = 0;      // -128
  data[8] = 128;    // 0
  data[16] = 255;   // 127
  data[24] = 127;   // -1
  ASSERT_EQ(load(KvSongBuilder().sample(data, "SCC ").stream({0xFE})), "");
  ASSERT_EQ(song->waveCount, 3);
  EXPECT_EQ(song->waveSet[0], -128);
  EXPECT_EQ(song->waveSet[1], 0);
  EXPECT_EQ(song->waveSet[2], 127);
  EXPECT_EQ(song->waveSet[3], -1);
  for (int w = 0; w < 3; ++w) {
    for (int j = 0; j < 32; ++j) {
      std::uint8_t byte = data[static_cast<std::size_t>(w * 256 + 8 * j)];
      EXPECT_EQ(song->waveSet[static_cast<std::size_t>(w * 32 + j)], static_cast<std::int8_t>(byte ^ 0x80))
          << "wave " << w << " byte " << j;
    }
  }
}

TEST_F(KvSongLoad, SamplesAreCopiedToTheirStoreSlotsAndIndexed) {
  // Lengths 2, 300 (a 16-bit length) and 1: slots 8i + 2R = 0, 12, 620.
  KvSongBuilder b;
  b.filler(0x77).sample(markedSample(0, 2)).sample(markedSample(1, 300)).sample(markedSample(2, 1)).stream({0xFE});
  ASSERT_EQ(load(b), "");
  Bytes file = b.sampleBytes();
  const int lengths[] = {2, 300, 1};
  const int slots[] = {0, 12, 620};
  const int firstBlock[] = {0, 2, 302};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(song->samples[static_cast<std::size_t>(i)].blocks, lengths[i]);
    EXPECT_EQ(song->samples[static_cast<std::size_t>(i)].sampleBlocks, lengths[i]);
    EXPECT_EQ(song->samples[static_cast<std::size_t>(i)].storeSlot, slots[i]);
    for (int k = 0; k < lengths[i]; ++k) {
      ASSERT_EQ(storeBlock(slots[i] + k), blockOf(file, firstBlock[i] + k)) << "block " << k;
    }
    // The blocks behind the copy (as many again plus 8) hold nothing.
    for (int k = lengths[i]; k < 2 * lengths[i] + 8; ++k) {
      ASSERT_EQ(storeBlock(slots[i] + k), Bytes(256, 0)) << "reserve block " << k;
    }
  }
  // Index table: each block's number in the sample file, then FF FF FF FF.
  Bytes table;
  for (int i = 0; i < 3; ++i) {
    for (int k = 0; k < lengths[i]; ++k) {
      int block = firstBlock[i] + k;
      table.push_back(static_cast<std::uint8_t>(block & 0xFF));
      table.push_back(static_cast<std::uint8_t>(block >> 8));
    }
    table.insert(table.end(), 4, 0xFF);
  }
  ASSERT_EQ(table.size(), 618u);
  EXPECT_EQ(table[612], 0x2E);  // block 302 of sample 2
  EXPECT_EQ(table[613], 0x01);
  EXPECT_EQ(blockTable(620), table + Bytes(2, 0));
}

TEST_F(KvSongLoad, SampleFileShorterThanItsDirectoryReadsZeros) {
  KvSongBuilder b;
  b.sample(markedSample(0, 1)).stream({0xFE});
  std::string music = dir.write("m.kv", KvSongBuilder().sample(markedSample(0, 3)).stream({0xFE}).musicBytes());
  dir.write("SAMPLES.kvp", b.sampleBytes());
  ASSERT_EQ(readSong(music), "");
  EXPECT_EQ(song->samples[0].blocks, 3);
  EXPECT_EQ(storeBlock(0), markedSample(0, 1));
  EXPECT_EQ(storeBlock(1), Bytes(256, 0));
  EXPECT_EQ(storeBlock(2), Bytes(256, 0));
}

TEST_F(KvSongLoad, PatchesWriteFeAndTwoBytesOverTheIndexTable) {
  KvSongBuilder b;
  b.sample(markedSample(0, 2)).sample(markedSample(1, 4));
  b.loop(0, 2);                  // FF FE FF FF at the end of sample 0
  b.loop(1, 4);                  // (0x10003 - 0xFFFB) / 2 = 4
  b.patch(0x3000, 0x12, 0x34);   // first bytes of the table
  b.patch(0x3FFD, 0x56, 0x78);   // last three bytes
  b.patch(0x3001, 0x9A, 0xBC);   // applied after the first, over part of it
  b.stream({0xFE});
  ASSERT_EQ(load(b), "");
  EXPECT_EQ(b.endMarkerOffset(1), 8 + 8);
  EXPECT_EQ(blockTable(20), (Bytes{0xFE, 0xFE, 0x9A, 0xBC, 0xFF, 0xFE, 0xFF, 0xFF, 0x02, 0x00, 0x03, 0x00, 0x04,
                                   0x00, 0x05, 0x00, 0xFF, 0xFE, 0xFB, 0xFF}));
  EXPECT_EQ(song->blockIndexTable[0xFFC], 0);
  EXPECT_EQ(song->blockIndexTable[0xFFD], 0xFE);
  EXPECT_EQ(song->blockIndexTable[0xFFE], 0x56);
  EXPECT_EQ(song->blockIndexTable[0xFFF], 0x78);
}

TEST_F(KvSongLoad, MacrosMayOverlapAndLieInAnyOrder) {
  // Eight macro bytes (the lengths add up to 8); macro 0 is bytes 2-5, macro 1
  // bytes 0-3, macro 2 is empty with a meaningless address.
  KvSongBuilder b;
  b.macroEntry(4, 0x6302).macroEntry(4, 0x6300).macroEntry(0, 0x0000);
  b.macroBytes({0x40, 0x01, 0x40, 0x02, 0x40, 0x03, 0x40, 0x04});
  b.stream({0xE0, 0xE2, 0xE1, 0xFF, 0xFE});
  ASSERT_EQ(load(b), "");
  EXPECT_EQ(song->macroCount, 3);
  EXPECT_EQ(song->macroOffset[0], 2);
  EXPECT_EQ(song->macroOffset[1], 0);
  EXPECT_EQ(song->macroLength[1], 4);
  EXPECT_EQ(song->loopBase, 57u + 1 + 1 + 1 + 9 + 8);
  RecordedPlay play = recordSong(path);
  ASSERT_EQ(play.frames.size(), 2u);
  EXPECT_EQ(play.frames[0].psg, (Bytes{0x8F, 0, 0x02, 0x8F, 0, 0x03, 0x8F, 0, 0x01, 0x8F, 0, 0x02}));
  EXPECT_EQ(play.failure, "");
}

TEST_F(KvSongLoad, MacroBytesUpTo8192AreAccepted) {
  for (int extra : {0, 1}) {
    SCOPED_TRACE(extra);
    KvSongBuilder b;
    for (int i = 0; i < 33; ++i) b.macro(Bytes(248, 0xF0));
    b.macro(Bytes(static_cast<std::size_t>(8 + extra), 0xF0)).stream({0xFE});
    std::string failure = load(b);
    if (extra == 0) {
      EXPECT_EQ(failure, "");
      EXPECT_EQ(song->macroCount, 34);
    } else {
      expectRefused(failure, path);
    }
  }
}

TEST_F(KvSongLoad, MacroOutsideItsBytesIsRefused) {
  // A first macro of 5 bytes and a second one as given: the file holds
  // 5 + length macro bytes, offsets 0 to 4 + length.
  struct Case {
    int length;
    int address;
    bool accepted;
  };
  const Case cases[] = {
      {5, 0x6300, true},   // the first five bytes again
      {1, 0x6305, true},   // the last byte
      {3, 0x6305, true},   // the last three bytes
      {1, 0x6306, false},  // one byte beyond
      {3, 0x6306, false},
      {2, 0x62FF, false},  // one byte before
      {1, 0x0000, false},
      {0, 0x0000, true},   // an empty macro may point anywhere
      {0, 0xFFFF, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.length << " bytes at " << c.address);
    KvSongBuilder b;
    b.macroEntry(5, 0x6300).macroEntry(c.length, c.address);
    b.macroBytes(Bytes(static_cast<std::size_t>(5 + c.length), 0xF0));
    b.stream({0xE1, 0xFF, 0xFE});
    std::string failure = load(b);
    if (c.accepted) {
      EXPECT_EQ(failure, "");
      RecordedPlay play = recordSong(path);
      EXPECT_EQ(play.frames.size(), 2u);
      EXPECT_EQ(play.failure, "");
    } else {
      expectRefused(failure, path);
    }
  }
}

TEST_F(KvSongLoad, FilesBeyondTheTablesAreRefused) {
  struct Case {
    const char* what;
    KvSongBuilder builder;
    bool accepted;
  };
  std::vector<Case> cases;
  cases.push_back({"8 PCM channels", KvSongBuilder().pcmChannels(8).stream({0xFE}), true});
  cases.push_back({"9 PCM channels", KvSongBuilder().pcmChannels(9).stream({0xFE}), false});
  cases.push_back({"15 PCM channels", KvSongBuilder().pcmChannels(15).stream({0xFE}), false});
  cases.push_back({"patch at 0x2FFF", KvSongBuilder().patch(0x2FFF, 1, 2).stream({0xFE}), false});
  cases.push_back({"patch at 0x3FFE", KvSongBuilder().patch(0x3FFE, 1, 2).stream({0xFE}), false});
  cases.push_back({"patch at 0xFFFF", KvSongBuilder().patch(0xFFFF, 1, 2).stream({0xFE}), false});
  cases.push_back({"patch at 0x0000", KvSongBuilder().patch(0x0000, 1, 2).stream({0xFE}), false});
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string failure = load(c.builder);
    if (c.accepted) {
      EXPECT_EQ(failure, "");
    } else {
      expectRefused(failure, path);
    }
  }
}

// Writes a music file whose directory gives the lengths, with a sample file
// of one block; the loader reads the missing blocks as zeros.
std::string writeWithLengths(const TempDir& dir, const std::vector<int>& lengths, const std::string& tag0) {
  KvSongBuilder b;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    b.sample(Bytes(static_cast<std::size_t>(lengths[i]) * 256, 0x80), i == 0 ? tag0 : "PCM ");
  }
  b.stream({0xFE});
  std::string music = dir.write("long.kv", b.musicBytes());
  dir.write("SAMPLES.kvp", markedSample(0, 1));
  return music;
}

TEST_F(KvSongLoad, TooManyWavesOrIndexedBlocksAreRefused) {
  struct Case {
    const char* what;
    std::vector<int> lengths;
    std::string tag0;
    bool accepted;
  };
  const Case cases[] = {
      {"256 waves", {256}, "SCC ", true},
      {"257 waves", {257}, "SCC ", false},
      {"257 blocks of samples", {257}, "PCM ", true},
      {"index table of 4096 bytes", {2046}, "PCM ", true},
      {"index table of 4098 bytes", {2047}, "PCM ", false},
      {"two samples filling the index table", {1000, 1044}, "PCM ", true},
      {"two samples beyond the index table", {1000, 1045}, "PCM ", false},
      {"many empty samples", std::vector<int>(255, 0), "PCM ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string music = writeWithLengths(dir, c.lengths, c.tag0);
    std::string failure = readSong(music);
    if (c.accepted) {
      EXPECT_EQ(failure, "");
      if (c.lengths[0] > 0) {
        EXPECT_EQ(storeBlock(0), markedSample(0, 1));
      }
      if (c.lengths[0] > 1) {
        EXPECT_EQ(storeBlock(1), Bytes(256, 0));
      }
    } else {
      expectRefused(failure, music);
    }
  }
}

TEST_F(KvSongLoad, FilesAbove8MiBAreRefused) {
  const std::uintmax_t limit = 8u * 1024 * 1024;
  // A music file of exactly 8 MiB (zeros: version 0, no samples) loads.
  std::string music = dir.write("big.kv", {});
  std::filesystem::resize_file(music, limit);
  EXPECT_EQ(readSong(music), "");
  std::filesystem::resize_file(music, limit + 1);
  expectRefused(readSong(music), music);

  KvSongBuilder b;
  b.sample(markedSample(0, 1)).stream({0xFE});
  std::string withSamples = b.write(dir.path(), "s");
  std::string samples = dir.path() + "/SAMPLES.kvp";
  std::filesystem::resize_file(samples, limit);
  EXPECT_EQ(readSong(withSamples), "");
  std::filesystem::resize_file(samples, limit + 1);
  std::string failure = readSong(withSamples);
  expectRefused(failure, withSamples);
  expectRefused(failure.substr(withSamples.size() + 3), samples);
}

TEST_F(KvSongLoad, ParsingFromMemoryGivesWhatReadingTheFilesGives) {
  KvSongBuilder b;
  b.version(4).pcmChannels(2).pcmMask(0x03).rowsInstrument(0x30).title("MEMORY")
      .sample(markedSample(0, 2), "SCC ").sample(markedSample(1, 3)).loop(1, 2)
      .macro({0x40, 0x01}).stream({0xE0, 0xFF, 0xFE});
  ASSERT_EQ(load(b), "");
  auto files2 = std::make_unique<SongFiles>();
  auto fromMemory = std::make_unique<KvSong>();
  ASSERT_EQ(parseInMemory(b, *files2, *fromMemory), "");
  EXPECT_EQ(songDifference(*song, *fromMemory), "");
  EXPECT_EQ(files2->music.reads(), 0);

  // The refusals are the reasons alone; the path is the reader's to add.
  KvSongBuilder tooMany;
  tooMany.pcmChannels(9).stream({0xFE});
  EXPECT_EQ(parseInMemory(tooMany, *files2, *fromMemory), "KV ファイルではありません (PCM チャンネル数が多すぎます (9))");
}

TEST_F(KvSongLoad, NothingOfAnEarlierSongRemains) {
  KvSongBuilder first;
  first.version(4).rowsInstrument(0x50).title("FIRST").sample(markedSample(0, 2), "SCC ")
      .sample(markedSample(1, 3)).loop(1, 2).macro({0x40, 0x01, 0x40, 0x02}).stream({0xFE});
  ASSERT_EQ(load(first, "first"), "");
  ASSERT_EQ(song->waveCount, 2);
  ASSERT_EQ(song->rowsInstrument, 0x50);
  ASSERT_EQ(song->macroCount, 1);

  KvSongBuilder second;
  second.version(3).title("SECOND").stream({0xFE});
  ASSERT_EQ(load(second, "second"), "");
  EXPECT_EQ(song->rowsInstrument, 15);
  EXPECT_EQ(song->waveCount, 0);
  EXPECT_EQ(song->sampleCount, 0);
  EXPECT_EQ(song->macroCount, 0);
  EXPECT_EQ(song->title, "SECOND");
  EXPECT_EQ(song->samplePath, "");
  for (std::size_t i = 0; i < song->blockIndexTable.size(); ++i) ASSERT_EQ(song->blockIndexTable[i], 0) << i;
  for (std::size_t i = 0; i < song->macroBytes.size(); ++i) ASSERT_EQ(song->macroBytes[i], 0) << i;
  for (std::size_t i = 0; i < 32u * 256u; ++i) ASSERT_EQ(song->store[i], 0) << i;

  // A song of version 1 calling macro 0 finds no macro (the first song's
  // table is gone) and is stopped.
  KvSongBuilder third;
  third.version(1).stream({0xE0, 0xFF, 0xFE});
  RecordedPlay play = recordSong(third.write(dir.path(), "third"));
  ASSERT_EQ(play.frames.size(), 1u);
  EXPECT_EQ(play.frames[0].result, 0);
  EXPECT_NE(play.failure, "");
}

}  // namespace
}  // namespace kvtram
