// The Windows side of file_io. Paths are UTF-8 inside the program and go to
// the wide-character API here, so Japanese names work whatever the system's
// code page is.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <iostream>
#include <streambuf>

#include "io/file_io.h"
#include "io/interrupts.h"
#include "io/file_io_shared.h"
#include "io/utf16.h"
#include "messages/messages.h"

namespace kvtram {

using namespace file_io_shared;

namespace {

bool isFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(toWide(path.empty() ? "." : path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Closes a handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool close() {
    if (!valid()) return true;
    const bool ok = ::CloseHandle(h_) != 0;
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }

 private:
  HANDLE h_;
};

// The cause of a failed call, in the words the user reads.
std::string causeText(DWORD error, bool writing = true) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return writing ? msg::kCauseNoWritePermission : msg::kCauseNoReadPermission;
    case ERROR_WRITE_PROTECT: return msg::kCauseReadOnly;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return msg::kCauseDiskFull;
    case ERROR_FILENAME_EXCED_RANGE: return msg::kCauseNameTooLong;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DIRECTORY: return msg::kCauseNoFolder;
    case ERROR_CRC:
    case ERROR_IO_DEVICE: return msg::kCauseIoError;
    default: return msg::causeSystemError(static_cast<int>(error));
  }
}

// ReadFile and WriteFile move at most this much per call (a DWORD count).
constexpr std::size_t kMaxTransfer = 1u << 30;

}  // namespace

std::string FileBuffer::read(const std::string& path) {
  ++reads_;
  failureNamesFile_ = false;
  const std::wstring name = toWide(path);
  // Folders are refused before anything is opened.
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return msg::kCannotOpen;
  }
  Handle file(::CreateFileW(name.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    // A missing folder on the path is not "not found"; only a missing file
    // in an existing folder is.
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND && isFolder(folderOf(path))) {
      failureNamesFile_ = true;
      return msg::kFileNotFound;
    }
    return msg::kCannotOpen;
  }
  // Only files on a disk are read: a console, pipe or device could block or
  // never end.
  LARGE_INTEGER size{};
  if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size) ||
      size.QuadPart < 0) {
    length_ = 0;
    return msg::kCannotOpen;
  }
  if (static_cast<std::uint64_t>(size.QuadPart) > capacity()) {
    length_ = 0;
    failureNamesFile_ = true;
    return msg::fileTooLarge(capacity() / (1024 * 1024));
  }
  length_ = static_cast<std::size_t>(size.QuadPart);
  std::size_t got = 0;
  while (got < length_) {
    DWORD n = 0;
    const auto want = static_cast<DWORD>(std::min(length_ - got, kMaxTransfer));
    if (!::ReadFile(file.get(), bytes_.data() + got, want, &n, nullptr) || n == 0) break;
    got += n;
  }
  file.close();
  // The zero tail follows the data even after a short read: what earlier
  // files wrote beyond this one's bytes is cleared.
  bytes_.clearWrittenFrom(got);
  bytes_.markWritten(got);
  return got == length_ ? std::string() : std::string(msg::kReadError);
}

std::string writeWholeFile(const std::string& path, std::span<const std::uint8_t> data) {
  static std::atomic<unsigned> serial{0};
  // Only a regular file is ever replaced: a folder, a link or a device in
  // the way is not an earlier image.
  const std::wstring target = toWide(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return msg::withCause(msg::kCannotCreate,
                          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? msg::kCauseLinkInTheWay
                          : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? msg::kCauseFolderInTheWay
                                                                           : msg::kCauseSpecialFileInTheWay);
  }
  // The temporary name is short and fixed in length, so that it fits
  // wherever the target's own name does.
  const std::string folder = folderOf(path);
  DWORD error = 0;
  std::wstring temp;
  HANDLE created = INVALID_HANDLE_VALUE;
  // An interruption that ends the process at once removes the file (which
  // is shared for deletion so that it can).
  TemporaryFileMark mark;
  for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    const std::string name = folder + ".kvtram-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(serial++) + ".part";
    if (!mark.creating(name)) return msg::kCannotCreate;
    temp = toWide(name);
    created = ::CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    error = ::GetLastError();
    mark.tried(created != INVALID_HANDLE_VALUE);
    if (created == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS) break;
  }
  Handle file(created);
  if (!file.valid()) return msg::withCause(msg::kCannotCreate, causeText(error));

  // A reserved device name (NUL, CON ...) opens the device, not a file.
  error = 0;
  bool ok = ::GetFileType(file.get()) == FILE_TYPE_DISK;
  if (!ok) error = ERROR_ACCESS_DENIED;
  std::size_t done = 0;
  while (ok && done < data.size()) {
    DWORD n = 0;
    const auto want = static_cast<DWORD>(std::min(data.size() - done, kMaxTransfer));
    if (!::WriteFile(file.get(), data.data() + done, want, &n, nullptr)) ok = false, error = ::GetLastError();
    else if (n == 0) ok = false, error = ERROR_DISK_FULL;
    else done += n;
  }
  if (!file.close() && ok) ok = false, error = ::GetLastError();
  if (ok && !::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ok = false, error = ::GetLastError();
  }
  if (!ok) {
    ::DeleteFileW(temp.c_str());
    return msg::withCause(msg::kCannotCreate, causeText(error));
  }
  return {};
}

PathKind pathKind(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(toWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILENAME_EXCED_RANGE || error == ERROR_ACCESS_DENIED ? PathKind::Unreachable
                                                                                : PathKind::Missing;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return PathKind::Folder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return PathKind::Other;
  return PathKind::File;
}

std::string unreachableCause(const std::string& path) {
  if (::GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES) return {};
  return causeText(::GetLastError(), false);
}

namespace file_io_shared {

std::string readFolder(const std::string& folder, const FolderEntrySink& add) {
  std::string prefix = folder.empty() ? std::string(".\\") : folder;
  if (!isSeparator(prefix.back())) prefix += '\\';
  WIN32_FIND_DATAW entry{};
  HANDLE find = ::FindFirstFileW(toWide(prefix + "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND && pathKind(folder.empty() ? "." : folder) == PathKind::Folder) return {};
    return msg::withCause(msg::kCannotReadFolder, causeText(error, false));
  }
  do {
    std::string name = fromWide(entry.cFileName);
    const std::string path = (folder.empty() ? "" : prefix) + name;
    add(std::move(name), path, (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  return {};
}

std::string makeFolder(const std::string& part) {
  if (part.size() == 2 && part[1] == ':') return {};  // a drive
  if (!::CreateDirectoryW(toWide(part).c_str(), nullptr)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return causeText(error);
  }
  return {};
}

const char* causeOfMissingFolder() { return msg::kCauseNoFolder; }

}  // namespace file_io_shared

bool fileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(toWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::optional<std::string> fileNameFromShiftJis(const std::string& name) {
  // Japanese machines of the era wrote names in code page 932, whatever
  // code page this system uses for narrow text.
  return decodeShiftJis(name);
}

std::optional<std::string> decodeShiftJis(const std::string& name) {
  constexpr UINT kShiftJis = 932;
  if (name.empty()) return name;
  if (name.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const int size = static_cast<int>(name.size());
  const int length = ::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (::MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, name.data(), size, wide.data(), length) != length) {
    return std::nullopt;
  }
  return fromWide(wide);
}

std::string resolveNameIgnoringCase(const std::string& folder, const std::string& name) {
  std::string exact = folder + name;
  WIN32_FIND_DATAW entry{};
  // The file system ignores case already: the file that opens under `name`
  // is taken under its name on the disk, so that the same files give the
  // same paths as on systems whose names keep case. A wildcard in a name
  // from a song must not match other files.
  if (name.find_first_of("*?") == std::string::npos) {
    HANDLE same = ::FindFirstFileW(toWide(exact).c_str(), &entry);
    if (same != INVALID_HANDLE_VALUE) {
      ::FindClose(same);
      std::string onDisk = fromWide(entry.cFileName);
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
          equalIgnoringAsciiCase(name, onDisk.c_str())) {
        return folder + onDisk;
      }
    }
  }
  HANDLE find = ::FindFirstFileW(toWide((folder.empty() ? "." : folder) + "\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return exact;
  std::string best;
  do {
    std::string candidate = fromWide(entry.cFileName);
    if (equalIgnoringAsciiCase(name, candidate.c_str())) {
      if (best.empty() || candidate < best) best = candidate;
    }
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  if (best.empty()) return exact;
  return folder + best;
}

namespace {

bool isConsole(HANDLE h) {
  DWORD mode = 0;
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

// A stream buffer over a standard handle. A console gets whole characters
// through WriteConsoleW; anything else gets the UTF-8 bytes as they are.
class StandardHandleBuffer : public std::streambuf {
 public:
  explicit StandardHandleBuffer(DWORD which) : which_(which) { setp(buffer_, buffer_ + kSize); }
  ~StandardHandleBuffer() override { sync(); }

 protected:
  int_type overflow(int_type c) override {
    if (flush(false) != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return flush(true); }

 private:
  static constexpr std::size_t kSize = 4096;

  // Writes what is buffered. Towards a console a UTF-8 sequence cut at the
  // end of the buffer waits for its remaining bytes unless `all` is set.
  int flush(bool all) {
    const HANDLE h = ::GetStdHandle(which_);
    std::size_t count = static_cast<std::size_t>(pptr() - pbase());
    std::size_t keep = 0;
    bool ok = true;
    if (isConsole(h)) {
      if (!all) keep = incompleteTail(count);
      const std::u16string text = utf8ToUtf16(std::string_view(buffer_, count - keep));
      std::size_t done = 0;
      while (ok && done < text.size()) {
        DWORD n = 0;
        ok = ::WriteConsoleW(h, text.data() + done, static_cast<DWORD>(text.size() - done), &n,
                             nullptr) != 0 && n > 0;
        done += n;
      }
    } else if (h != nullptr && h != INVALID_HANDLE_VALUE) {
      std::size_t done = 0;
      while (ok && done < count) {
        DWORD n = 0;
        ok = ::WriteFile(h, buffer_ + done, static_cast<DWORD>(count - done), &n, nullptr) != 0 &&
             n > 0;
        done += n;
      }
    }
    std::copy(buffer_ + count - keep, buffer_ + count, buffer_);
    setp(buffer_, buffer_ + kSize);
    pbump(static_cast<int>(keep));
    return ok ? 0 : -1;
  }

  // The number of bytes at the end of the buffer that begin a UTF-8
  // sequence whose remaining bytes have not come yet.
  std::size_t incompleteTail(std::size_t count) const {
    for (std::size_t back = 1; back <= 3 && back <= count; ++back) {
      const auto c = static_cast<unsigned char>(buffer_[count - back]);
      if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
      const std::size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
      return need > back ? back : 0;
    }
    return 0;
  }

  DWORD which_;
  char buffer_[kSize];
};

}  // namespace

bool standardErrorIsTerminal() { return isConsole(::GetStdHandle(STD_ERROR_HANDLE)); }

bool standardOutputIsTerminal() { return isConsole(::GetStdHandle(STD_OUTPUT_HANDLE)); }

int processorCount() {
  const DWORD n = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return n > 0 ? static_cast<int>(n) : 1;
}

std::ostream& standardOutput() {
  static StandardHandleBuffer buffer(STD_OUTPUT_HANDLE);
  static std::ostream stream(&buffer);
  return stream;
}

std::ostream& standardError() {
  static StandardHandleBuffer buffer(STD_ERROR_HANDLE);
  static std::ostream stream(&buffer);
  stream.setf(std::ios::unitbuf);
  return stream;
}

}  // namespace kvtram
