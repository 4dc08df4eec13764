#include "io/file_io.h"
#include "io/file_io_shared.h"
#include "io/interrupts.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iostream>

#include <dirent.h>
#include <iconv.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#include "messages/messages.h"

namespace kvtram {

using namespace file_io_shared;

namespace {

// The cause of a failed call, in the words the user reads.
std::string causeText(int error, bool writing = true) {
  switch (error) {
    case EACCES:
    case EPERM: return writing ? msg::kCauseNoWritePermission : msg::kCauseNoReadPermission;
    case EROFS: return msg::kCauseReadOnly;
    case ENOSPC:
    case EDQUOT: return msg::kCauseDiskFull;
    case EISDIR: return msg::kCauseFolderInTheWay;
    case ENAMETOOLONG: return msg::kCauseNameTooLong;
    case ENOENT:
    case ENOTDIR: return msg::kCauseNoFolder;
    case EIO: return msg::kCauseIoError;
    default: return msg::causeSystemError(error);
  }
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string FileBuffer::read(const std::string& path) {
  ++reads_;
  failureNamesFile_ = false;
  // Opening a FIFO or a device for reading can block until another process
  // opens its other end, and a stat before the open could be raced: open
  // without blocking, then ask the descriptor itself what it is. Regular
  // files ignore O_NONBLOCK, so their reads below are unaffected.
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    // ENOENT also stands for a missing folder on the path; only a missing
    // file in an existing folder is "not found".
    if (errno == ENOENT && isFolder(folderOf(path))) {
      failureNamesFile_ = true;
      return msg::kFileNotFound;
    }
    return msg::kCannotOpen;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    length_ = 0;
    return msg::kCannotOpen;
  }
  if (static_cast<std::uint64_t>(st.st_size) > capacity()) {
    ::close(fd);
    length_ = 0;
    failureNamesFile_ = true;
    return msg::fileTooLarge(capacity() / (1024 * 1024));
  }
  length_ = static_cast<std::size_t>(st.st_size);
  std::size_t got = 0;
  while (got < length_) {
    ssize_t n = ::read(fd, bytes_.data() + got, length_ - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  // The zero tail follows the data even after a short read: what earlier
  // files wrote beyond this one's bytes is cleared.
  bytes_.clearWrittenFrom(got);
  bytes_.markWritten(got);
  return got == length_ ? std::string() : std::string(msg::kReadError);
}

std::string writeWholeFile(const std::string& path, std::span<const std::uint8_t> data) {
  static std::atomic<unsigned> serial{0};
  // Only a regular file is ever replaced: renaming over a device, a folder or
  // a link's target would destroy something that is not an earlier image.
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    return msg::withCause(msg::kCannotCreate, S_ISDIR(st.st_mode)   ? msg::kCauseFolderInTheWay
                                              : S_ISLNK(st.st_mode) ? msg::kCauseLinkInTheWay
                                                                    : msg::kCauseSpecialFileInTheWay);
  }
  // The temporary name is short and fixed in length, so that it fits
  // wherever the target's own name does.
  const std::string folder = folderOf(path);
  std::string temp;
  int fd = -1;
  int error = 0;
  // An interruption that ends the process at once removes the file.
  TemporaryFileMark mark;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + ".kvtram-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".part";
    if (!mark.creating(temp)) return msg::kCannotCreate;
    // Mode 0666 lets the umask decide, as for any newly created file.
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    error = errno;
    mark.tried(fd >= 0);
    if (fd < 0 && error != EEXIST) break;
  }
  if (fd < 0) return msg::withCause(msg::kCannotCreate, causeText(error));

  error = 0;
  std::size_t done = 0;
  while (error == 0 && done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    else if (n == 0) error = ENOSPC;
    else done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return msg::withCause(msg::kCannotCreate, causeText(error));
  }
  return {};
}

PathKind pathKind(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? PathKind::Missing : PathKind::Unreachable;
  }
  if (S_ISREG(st.st_mode)) return PathKind::File;
  if (S_ISDIR(st.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

std::string unreachableCause(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? std::string() : causeText(errno, false);
}

namespace file_io_shared {

std::string readFolder(const std::string& folder, const FolderEntrySink& add) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return msg::withCause(msg::kCannotReadFolder, causeText(errno, false));
  std::string prefix = folder;
  if (!prefix.empty() && !isSeparator(prefix.back())) prefix += '/';
  while (const dirent* entry = ::readdir(dir)) {
    const std::string path = prefix + entry->d_name;
    struct stat st {};
    add(entry->d_name, path, ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  }
  ::closedir(dir);
  return {};
}

std::string makeFolder(const std::string& part) {
  if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return causeText(errno);
  return {};
}

const char* causeOfMissingFolder() { return msg::kCauseFileInTheWay; }

}  // namespace file_io_shared

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

#ifdef __EMSCRIPTEN__
// The WebAssembly build's C library has no code page 932: the host's
// Shift_JIS decoder (node's and every browser's follow code page 932's table)
// writes the text into `out`. Returns its UTF-8 length, or -1 for bytes that
// are no Shift-JIS text.
EM_JS(int, hostDecodeShiftJis, (const char* bytes, int length, char* out, int capacity), {
  let text;
  try {
    text = new TextDecoder("shift_jis", {fatal: true}).decode(HEAPU8.subarray(bytes, bytes + length));
  } catch (e) {
    return -1;
  }
  if (lengthBytesUTF8(text) >= capacity) return -1;
  return stringToUTF8(text, out, capacity);
});

// Under node the host's names are bytes; a browser names files in Unicode.
EM_JS(int, hostNamesAreBytes, (), { return typeof process === "object" ? 1 : 0; });

std::optional<std::string> decodeShiftJis(const std::string& bytes) {
  if (bytes.empty()) return bytes;
  // A Shift-JIS character of one or two bytes is at most three in UTF-8.
  std::string decoded(bytes.size() * 3 + 1, '\0');
  const int length = hostDecodeShiftJis(bytes.data(), static_cast<int>(bytes.size()), decoded.data(),
                                        static_cast<int>(decoded.size()));
  if (length < 0) return std::nullopt;
  decoded.resize(static_cast<std::size_t>(length));
  return decoded;
}

std::optional<std::string> fileNameFromShiftJis(const std::string& name) {
  if (hostNamesAreBytes()) return name;
  return decodeShiftJis(name);
}

// The WebAssembly runtime calls its own standard streams terminals whatever
// they are: node knows what they are on the host; a browser has none.
EM_JS(int, hostStreamIsTerminal, (int fd), {
  return typeof process === "object" && require("tty").isatty(fd) ? 1 : 0;
});

bool standardErrorIsTerminal() { return hostStreamIsTerminal(STDERR_FILENO) != 0; }

bool standardOutputIsTerminal() { return hostStreamIsTerminal(STDOUT_FILENO) != 0; }
#else
// Names are bytes here: a name from a song's header is taken as it stands.
std::optional<std::string> fileNameFromShiftJis(const std::string& name) { return name; }

std::optional<std::string> decodeShiftJis(const std::string& bytes) {
  iconv_t decoder = ::iconv_open("UTF-8", "CP932");
  if (decoder == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // A character of code page 932 takes at most 3 bytes in UTF-8.
  std::string out(3 * bytes.size(), '\0');
  std::string in = bytes;
  char* from = in.data();
  std::size_t fromLeft = in.size();
  char* to = out.data();
  std::size_t toLeft = out.size();
  const std::size_t result = ::iconv(decoder, &from, &fromLeft, &to, &toLeft);
  ::iconv_close(decoder);
  if (result == static_cast<std::size_t>(-1) || fromLeft != 0) return std::nullopt;
  out.resize(out.size() - toLeft);
  return out;
}

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) != 0; }
#endif

int processorCount() {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  // A WebAssembly build without threads converts on the calling thread alone.
  return 1;
#else
  // The processors this process may run on, which a container or a
  // `taskset` may hold below the machine's count.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
#endif
}

std::ostream& standardOutput() { return std::cout; }
std::ostream& standardError() { return std::cerr; }

std::string resolveNameIgnoringCase(const std::string& folder, const std::string& name) {
  std::string exact = folder + name;
  if (fileExists(exact)) return exact;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return exact;
  std::string best;
  while (const dirent* entry = ::readdir(dir)) {
    if (equalIgnoringAsciiCase(name, entry->d_name)) {
      std::string candidate = entry->d_name;
      if (best.empty() || candidate < best) best = candidate;
    }
  }
  ::closedir(dir);
  if (best.empty()) return exact;
  return folder + best;
}

}  // namespace kvtram
