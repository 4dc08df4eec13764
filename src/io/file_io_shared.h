// What the POSIX and the Windows side of file_io share: the name rules that
// do not depend on the operating system.
#pragma once

#include <string>

namespace kvtram::file_io_shared {

// '/' separates everywhere; on Windows builds '\\' does too.
bool isSeparator(char c);

bool equalIgnoringAsciiCase(const std::string& a, const char* b);

}  // namespace kvtram::file_io_shared
