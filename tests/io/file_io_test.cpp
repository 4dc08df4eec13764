#include "io/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include "support/temp_dir.h"

namespace kvtram {
namespace {

TEST(FileBuffer, ReadsDataFollowedByZeroTail) {
  TempDir dir;
  std::string path = dir.write("a.bin", {1, 2, 3});
  FileBuffer buffer(16, 8);
  ASSERT_EQ(buffer.read(path), "");
  EXPECT_EQ(buffer.length(), 3u);
  EXPECT_EQ(buffer.readable(), 11u);
  const std::uint8_t* d = buffer.data();
  EXPECT_EQ(d[0], 1);
  EXPECT_EQ(d[2], 3);
  for (std::size_t i = 3; i < 11; ++i) EXPECT_EQ(d[i], 0) << i;
}

TEST(FileBuffer, EmptyFileIsOnlyTheTail) {
  TempDir dir;
  std::string path = dir.write("empty.kv", {});
  FileBuffer buffer(16, 4);
  ASSERT_EQ(buffer.read(path), "");
  EXPECT_EQ(buffer.length(), 0u);
  EXPECT_EQ(buffer.readable(), 4u);
}

TEST(FileBuffer, RereadZeroesTheTailLeftByALongerFile) {
  TempDir dir;
  FileBuffer buffer(16, 4);
  ASSERT_EQ(buffer.read(dir.write("long", {9, 9, 9, 9, 9, 9})), "");
  ASSERT_EQ(buffer.read(dir.write("short", {7})), "");
  for (std::size_t i = 1; i < 5; ++i) EXPECT_EQ(buffer.data()[i], 0) << i;
}

TEST(FileBuffer, FailureTexts) {
  TempDir dir;
  FileBuffer buffer(4, 4);
  std::string missing = dir.path() + "/missing.kv";
  // The reasons alone; whoever reports the failure puts the path in front.
  EXPECT_EQ(buffer.read(missing), "ファイルが見つかりません");
  EXPECT_TRUE(buffer.failureNamesFile());
  EXPECT_EQ(buffer.read(dir.path() + "/nofolder/x.kv"), "ファイルをオープンできません");
  EXPECT_FALSE(buffer.failureNamesFile());
  EXPECT_EQ(buffer.read(dir.path()), "ファイルをオープンできません");
  EXPECT_FALSE(buffer.failureNamesFile());
  std::string big = dir.write("big.kv", std::vector<std::uint8_t>(5, 1));
  EXPECT_EQ(buffer.read(big).rfind("ファイルが大きすぎます", 0), 0u);
  EXPECT_TRUE(buffer.failureNamesFile());
}

TEST(FileBuffer, RefusesWhatIsNoRegularFileWithoutBlocking) {
  // Nobody writes to the FIFO: an open that waited for a writer would hang.
#ifdef _WIN32
  GTEST_SKIP() << "no FIFOs on Windows (devices: FileIo.DevicesAreNeitherReadNorReplaced)";
#elif defined(__EMSCRIPTEN__)
  GTEST_SKIP() << "node shows the WebAssembly build no FIFOs: its file layer opens them as it opens files";
#else
  TempDir dir;
  std::string fifo = dir.path() + "/pipe.kvp";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FileBuffer buffer(4, 4);
  EXPECT_EQ(buffer.read(fifo), "ファイルをオープンできません");
  EXPECT_EQ(buffer.read("/dev/null"), "ファイルをオープンできません");
#endif
}

TEST(WriteWholeFile, WritesAndReplacesAtomically) {
  TempDir dir;
  std::string path = dir.path() + "/out.trm";
  std::vector<std::uint8_t> first{1, 2, 3, 4};
  ASSERT_EQ(writeWholeFile(path, first), "");
  std::vector<std::uint8_t> second{5};
  ASSERT_EQ(writeWholeFile(path, second), "");
  EXPECT_EQ(dir.read("out.trm"), second);
  // Nothing but the target is left in the folder.
  int entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(WriteWholeFile, RefusesMissingFolderAndNonRegularTargets) {
  TempDir dir;
  std::vector<std::uint8_t> data{1};
  EXPECT_EQ(writeWholeFile(dir.path() + "/no/such.trm", data), "ファイルを作成できませんでした (フォルダがありません)");
  // A folder in the way is not replaced.
  std::filesystem::create_directory(dir.path() + "/taken.trm");
  EXPECT_EQ(writeWholeFile(dir.path() + "/taken.trm", data), "ファイルを作成できませんでした (同じ名前のフォルダがあります)");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/taken.trm"));
}

TEST(Folders, ListedByNameWithWhatTheyHoldAndMadeWithTheirParents) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need privileges, and names ignore case, on Windows";
#endif
  TempDir dir;
  std::filesystem::create_directory(dir.path() + "/sub");
  dir.write("b.kv", {1});
  dir.write("B.kv", {1});
  std::filesystem::create_symlink(dir.path() + "/sub", dir.path() + "/link");
  std::vector<FolderEntry> entries;
  ASSERT_EQ(listFolder(dir.path(), entries), "");
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "B.kv");
  EXPECT_EQ(entries[1].name, "b.kv");
  EXPECT_EQ(entries[2].name, "link");
  EXPECT_TRUE(entries[2].kind == PathKind::Folder && entries[2].link);
  EXPECT_TRUE(entries[3].kind == PathKind::Folder && !entries[3].link);
  EXPECT_EQ(listFolder(dir.path() + "/none", entries), "フォルダを読めません (フォルダがありません)");

  EXPECT_EQ(createFolders(dir.path() + "/x/y/z"), "");
  EXPECT_EQ(pathKind(dir.path() + "/x/y/z"), PathKind::Folder);
  EXPECT_EQ(createFolders(dir.path() + "/b.kv"), "フォルダを作成できませんでした (同じ名前のファイルがあります)");
  // A link in the image's place is not followed.
  std::vector<std::uint8_t> data{1};
  EXPECT_EQ(writeWholeFile(dir.path() + "/link", data),
            "ファイルを作成できませんでした (同じ名前のシンボリックリンクがあります)");
}

TEST(FileIo, JapaneseNamesAndBothSeparators) {
  TempDir dir;
  const std::string folder = dir.path() + "/曲";
  std::filesystem::create_directory(std::filesystem::path(
      std::u8string(reinterpret_cast<const char8_t*>(folder.data()), folder.size())));
  std::string path = folder + "/ドラム.trm";
#ifdef _WIN32
  path = folder + "\\ドラム.trm";
#endif
  const std::vector<std::uint8_t> data{1, 2, 3};
  ASSERT_EQ(writeWholeFile(path, data), "");
  FileBuffer buffer(16, 4);
  ASSERT_EQ(buffer.read(path), "");
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.data(), buffer.data() + buffer.length()), data);
  EXPECT_EQ(resolveNameIgnoringCase(folderOf(path), "ドラム.TRM"), path);
  const std::string missing = folder + "/無い.kv";
  EXPECT_EQ(buffer.read(missing), "ファイルが見つかりません");
  EXPECT_TRUE(buffer.failureNamesFile());
}

TEST(FileIo, DevicesAreNeitherReadNorReplaced) {
#ifdef _WIN32
  const char* device = "NUL";
#else
  const char* device = "/dev/null";
#endif
  FileBuffer buffer(16, 4);
  EXPECT_EQ(buffer.read(device), "ファイルをオープンできません");
  EXPECT_EQ(writeWholeFile(device, std::vector<std::uint8_t>{1}).rfind("ファイルを作成できませんでした", 0), 0u);
}

TEST(ResolveNameIgnoringCase, PrefersExactThenAnyCase) {
  TempDir dir;
  std::string folder = dir.path() + "/";
  dir.write("SONG.KVP", {1});
  EXPECT_EQ(resolveNameIgnoringCase(folder, "song.kvp"), folder + "SONG.KVP");
  EXPECT_EQ(resolveNameIgnoringCase(folder, "other.kvp"), folder + "other.kvp");
  EXPECT_EQ(resolveNameIgnoringCase(folder, "*.kvp"), folder + "*.kvp");
  EXPECT_EQ(folderOf("a/b/c.kv"), "a/b/");
  EXPECT_EQ(folderOf("c.kv"), "");
#ifdef _WIN32
  EXPECT_EQ(folderOf("a\\b/c\\d.kv"), "a\\b/c\\");
#endif
  // Where names that differ only in case are two files, the exact one wins.
  if (std::filesystem::exists(folder + "song.kvp")) return;
  dir.write("song.kvp", {2});
  EXPECT_EQ(resolveNameIgnoringCase(folder, "song.kvp"), folder + "song.kvp");
}

}  // namespace
}  // namespace kvtram
