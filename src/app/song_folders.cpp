#include "app/song_folders.h"

#include "app/batch.h"
#include "io/file_io.h"

namespace kvtram {

namespace {

// Adds the KV files of `folder` to `out`; returns false when the folder
// cannot be read (with its failure line added).
bool addSongsOf(const std::string& folder, bool recursive, FolderExpansion& out) {
  std::vector<FolderEntry> entries;
  if (std::string reason = listFolder(folder, entries); !reason.empty()) {
    out.failures.push_back(folder + " : " + reason);
    return false;
  }
  const std::string prefix = folderOf(folder) == folder ? folder : folder + "/";
  for (const FolderEntry& entry : entries) {
    if (entry.kind == PathKind::File && hasKvExtension(entry.name)) {
      out.paths.push_back(prefix + entry.name);
    } else if (recursive && entry.kind == PathKind::Folder && !entry.link) {
      addSongsOf(prefix + entry.name, true, out);
    }
  }
  return true;
}

}  // namespace

FolderExpansion expandSongFolders(const std::vector<std::string>& paths, bool recursive) {
  FolderExpansion out;
  for (const std::string& path : paths) {
    if (pathKind(path) != PathKind::Folder) {
      out.paths.push_back(path);
      continue;
    }
    const std::size_t before = out.paths.size();
    if (addSongsOf(path, recursive, out) && out.paths.size() == before) out.emptyFolders.push_back(path);
  }
  return out;
}

}  // namespace kvtram
