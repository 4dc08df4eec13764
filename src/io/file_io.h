// Whole-file input and output: the only component that talks to the operating
// system's file API. Failures are message texts ("" means success), worded as
// the user will see them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/byte_reader.h"
#include "io/zeroed_memory.h"

namespace kvtram {

// Readers of the KV formats run past the end of the data without bounds
// checks of their own; a run of zero bytes behind every file read makes that
// safe and gives the format its "missing bytes read as zero" behaviour.
inline constexpr std::size_t kZeroTailBytes = 1048576;

// The largest music or sample file accepted. The formats address far less
// (the sample store is 4 MiB, a loop jump reaches about 4 MiB past the
// stream's start), so larger files are refused instead of being read.
inline constexpr std::size_t kMaxInputFileBytes = 8u * 1024 * 1024;

// One reusable buffer for a whole file plus its zero tail. It is allocated
// once with its full capacity and refilled by every read, so nothing is
// allocated per file. Its memory is touched only as far as files reach: the
// bytes behind a file's data are zero because they were never written, or
// because a read clears what an earlier, longer file left there.
class FileBuffer {
 public:
  explicit FileBuffer(std::size_t maxFileBytes = kMaxInputFileBytes,
                      std::size_t tailBytes = kZeroTailBytes);

  // Reads the file at `path`; on success the data are followed by the zero
  // tail. Returns "" or the reason (messages.h), without the path:
  // kFileNotFound when the folder exists and the file does not, kCannotOpen
  // for any other open failure, fileTooLarge above the capacity, kReadError
  // for a short read (the zero tail is written behind what was read even then).
  std::string read(const std::string& path);
  // Whether the last failed read's reason is about the file itself (it is
  // missing or too large) rather than the act of reading it: a report of
  // another file's failure names this file for those reasons.
  bool failureNamesFile() const { return failureNamesFile_; }

  // Holds `data` as if a file of these bytes had been read: the same data and
  // zero tail, without the disk. Returns false (and holds nothing) when the
  // bytes exceed the capacity.
  bool assign(std::span<const std::uint8_t> data);

  // Forgets the data (the buffer itself stays allocated).
  void clear() { length_ = 0; }

  // The bytes as the format's readers see them (valid until the next read).
  LoadedBytes bytes() const { return {bytes_.data(), length_, length_ + tail_}; }
  // How often read() went to the disk with this buffer.
  int reads() const { return reads_; }

  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t length() const { return length_; }
  // Bytes that may be read: the data and the zero tail behind them.
  std::size_t readable() const { return length_ + tail_; }
  std::size_t capacity() const { return bytes_.size() - tail_; }

 private:
  ZeroedArray<std::uint8_t> bytes_;
  std::size_t tail_;
  std::size_t length_ = 0;
  int reads_ = 0;
  bool failureNamesFile_ = false;
};

// Writes `data` to `path`, replacing an existing file. The bytes go to a
// temporary file in the same folder, every write and the close are checked,
// and only a complete file is renamed over the target: a full disk or a
// failed write leaves any earlier file untouched and no partial file behind.
// The temporary name is short, so a target name near the file system's limit
// still fits. Returns "" or msg::kCannotCreate with the cause in parentheses
// ("ファイルを作成できませんでした (書き込み権限がありません)").
std::string writeWholeFile(const std::string& path, std::span<const std::uint8_t> data);

// What a path names. Unreachable: something may be there, but the system
// will not say (the path is too long, a folder on it is not searchable).
enum class PathKind { Missing, File, Folder, Other, Unreachable };
// Follows symbolic links.
PathKind pathKind(const std::string& path);
// Why an Unreachable path cannot be looked at, in the user's words.
std::string unreachableCause(const std::string& path);

struct FolderEntry {
  std::string name;
  PathKind kind;       // of what the entry names, links followed
  bool link = false;   // the entry itself is a symbolic link
};
// The entries of a folder other than "." and "..", sorted by name in byte
// order. Returns "" or msg::kCannotReadFolder with the cause.
std::string listFolder(const std::string& folder, std::vector<FolderEntry>& entries);

// Creates a folder and any missing parents. Returns "" or
// msg::kCannotCreateFolder with the cause.
std::string createFolders(const std::string& folder);

// The folder part of a path, up to and including its last separator ("" when
// the path has none). On Windows builds a backslash also separates.
std::string folderOf(const std::string& path);

// Music files are often made on systems whose file names ignore case. Returns
// `folder + name` when that file exists, else the first entry of `folder`
// (in byte order) whose name equals `name` ignoring ASCII case, else
// `folder + name` unchanged (so that its read reports it missing).
std::string resolveNameIgnoringCase(const std::string& folder, const std::string& name);

// A file name held as Shift-JIS bytes (code page 932), as a KV song's header
// holds it, spelled the way this platform's file system names files. Windows
// and a browser name files in Unicode: there the bytes are decoded and the
// name comes back in UTF-8, as every path inside the program; std::nullopt
// when they are no code page 932 text. Elsewhere names are bytes and come
// back unchanged.
std::optional<std::string> fileNameFromShiftJis(const std::string& name);
// Shift-JIS bytes (code page 932, all of it) in UTF-8; std::nullopt when they
// are no code page 932 text. Names from Japanese songs copied to a system
// whose names are UTF-8 are spelled so.
std::optional<std::string> decodeShiftJis(const std::string& bytes);

bool fileExists(const std::string& path);

// Whether standard error / output is a terminal (progress lines are shown
// only there, listings only elsewhere).
bool standardErrorIsTerminal();
bool standardOutputIsTerminal();

// The number of threads the machine runs at once (at least 1).
int processorCount();

// The command line's standard output and error, taking UTF-8 text. On Windows
// a console gets the text through its UTF-16 interface, so Japanese shows
// whatever the console's code page; a file or pipe gets the UTF-8 bytes.
std::ostream& standardOutput();
std::ostream& standardError();

}  // namespace kvtram
