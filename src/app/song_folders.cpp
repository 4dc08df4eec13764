#include "app/song_folders.h"

#include "app/batch.h"
#include "io/file_io.h"
#include "messages/messages.h"

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
    const std::string path = prefix + entry.name;
    if (entry.kind == PathKind::Unreachable) {
      // Beyond the path limit or behind a folder that may not be searched:
      // it may hold songs, so the user is told.
      if (recursive || hasKvExtension(entry.name)) {
        out.failures.push_back(msg::failureLine(path, msg::withCause(msg::kCannotReach, unreachableCause(path))));
      }
    } else if (entry.kind == PathKind::Folder) {
      if (recursive && !entry.link) addSongsOf(path, true, out);
    } else if (hasKvExtension(entry.name)) {
      // Also a FIFO, a device or a broken link: the batch reports it as it
      // does when it is given by name.
      out.paths.push_back(path);
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
