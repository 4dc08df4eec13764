#include "app/song_folders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace kvtram {
namespace {

TEST(SongFolders, NameOrderDepthAndLinksBackUp) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need privileges on Windows";
#endif
  TempDir dir;
  const std::string d = dir.path();
  std::filesystem::create_directories(d + "/top/a/deep");
  for (const char* name : {"top/z.kv", "top/a.KV", "top/a/deep/x.kv", "top/a/m.kv", "top/readme.txt"}) {
    dir.write(name, {1});
  }
  std::filesystem::create_directory(d + "/top/c.kv");  // a folder, whatever its name
  std::filesystem::create_directory(d + "/empty");
  // A link back to the top would make the search endless if it were followed.
  std::filesystem::create_directory_symlink(d + "/top", d + "/top/a/up");

  FolderExpansion flat = expandSongFolders({d + "/top", "song.kv", d + "/empty"}, false);
  EXPECT_EQ(flat.paths, (std::vector<std::string>{d + "/top/a.KV", d + "/top/z.kv", "song.kv"}));
  EXPECT_EQ(flat.emptyFolders, std::vector<std::string>{d + "/empty"});

  // Sub-folders take their place in the name order ("a" before "a.KV").
  FolderExpansion deep = expandSongFolders({d + "/top/"}, true);
  EXPECT_EQ(deep.paths, (std::vector<std::string>{d + "/top/a/deep/x.kv", d + "/top/a/m.kv", d + "/top/a.KV",
                                                  d + "/top/z.kv"}));
  EXPECT_TRUE(deep.failures.empty());
}

}  // namespace
}  // namespace kvtram
