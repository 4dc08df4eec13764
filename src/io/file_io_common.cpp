// The operating-system-free part of file_io; the system calls live in
// file_io_posix.cpp and file_io_windows.cpp.
#include "io/file_io.h"

#include <algorithm>
#include <cstring>

#include "io/file_io_shared.h"
#include "messages/messages.h"

namespace kvtram {

namespace file_io_shared {

bool isSeparator(char c) {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

namespace {
char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool equalIgnoringAsciiCase(const std::string& a, const char* b) {
  std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace file_io_shared

FileBuffer::FileBuffer(std::size_t maxFileBytes, std::size_t tailBytes)
    : bytes_(maxFileBytes + tailBytes), tail_(tailBytes) {}

bool FileBuffer::assign(std::span<const std::uint8_t> data) {
  length_ = 0;
  if (data.size() > capacity()) return false;
  std::copy(data.begin(), data.end(), bytes_.begin());
  length_ = data.size();
  // The zero tail: what earlier files wrote beyond these bytes is cleared.
  bytes_.clearWrittenFrom(length_);
  bytes_.markWritten(length_);
  return true;
}

std::string listFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  std::string failure =
      file_io_shared::readFolder(folder, [&entries](std::string name, const std::string& path, bool link) {
        if (name == "." || name == "..") return;
        entries.push_back({std::move(name), pathKind(path), link});
      });
  if (!failure.empty()) return failure;
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return {};
}

std::string createFolders(const std::string& folder) {
  // Each missing folder of the path in turn, from the outermost.
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && !file_io_shared::isSeparator(folder[i])) continue;
    if (std::string cause = file_io_shared::makeFolder(folder.substr(0, i)); !cause.empty()) {
      return msg::withCause(msg::kCannotCreateFolder, cause);
    }
  }
  const PathKind kind = pathKind(folder);
  if (kind != PathKind::Folder) {
    return msg::withCause(msg::kCannotCreateFolder, kind == PathKind::Missing ? file_io_shared::causeOfMissingFolder()
                                                                              : msg::kCauseFileInTheWay);
  }
  return {};
}

std::string folderOf(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (file_io_shared::isSeparator(path[i - 1])) return path.substr(0, i);
  }
  return {};
}

}  // namespace kvtram
