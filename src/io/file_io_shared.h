// What the POSIX and the Windows side of file_io share: the name rules that
// do not depend on the operating system.
#pragma once

#include <functional>
#include <string>

namespace kvtram::file_io_shared {

// '/' separates everywhere; on Windows builds '\\' does too.
bool isSeparator(char c);

bool equalIgnoringAsciiCase(const std::string& a, const char* b);

// Each system's own half of listFolder and createFolders (file_io_common.cpp
// holds the rest).

// Calls `add` with every entry of `folder` ("." and ".." included): its name,
// its path, whether it is a symbolic link. Returns "" or the failure text.
using FolderEntrySink = std::function<void(std::string name, const std::string& path, bool link)>;
std::string readFolder(const std::string& folder, const FolderEntrySink& add);

// Makes the folder `part` (one step of a path, the outer ones made already)
// unless it is there. Returns "" or the cause.
std::string makeFolder(const std::string& part);

// The cause given when a path is still no folder after all its steps were
// made and nothing said why.
const char* causeOfMissingFolder();

}  // namespace kvtram::file_io_shared
