// Folders among the paths of a batch: each is replaced by the KV files in it,
// so that a folder of songs converts like the list of its songs.
#pragma once

#include <string>
#include <vector>

namespace kvtram {

struct FolderExpansion {
  // The paths in the given order, every folder replaced by the entries named
  // ".kv" (any case) that are no folder, in name order; paths that are no
  // folder stay as they are.
  std::vector<std::string> paths;
  // Folders that hold no KV file (with `recursive`: none in any sub-folder).
  std::vector<std::string> emptyFolders;
  // Folders that could not be read, and what a scan could not reach: the
  // path, " : ", the reason.
  std::vector<std::string> failures;
};

// With `recursive`, sub-folders are searched too, each at its place in the
// name order; folders reached through a symbolic link are not entered then,
// so that a link back up cannot make the search endless.
FolderExpansion expandSongFolders(const std::vector<std::string>& paths, bool recursive);

}  // namespace kvtram
