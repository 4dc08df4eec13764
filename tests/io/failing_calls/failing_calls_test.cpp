// The failure paths of the file layer, provoked without root, mounts or a
// particular file system: this test program is linked with the linker's
// --wrap for the system calls that file_io makes (tests/CMakeLists.txt), so
// every call of the product goes through the __wrap_ functions below, which
// pass it on to the real one unless a test has armed a failure for it. The
// product itself is built and linked as ever: the seam lives in this
// program's link alone, and its state (the armed failure) in this file.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <filesystem>
#include <sstream>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/song_folders.h"
#include "cli/commands.h"
#include "io/file_io.h"
#include "messages/messages.h"
#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

using namespace kvtram;

namespace {

enum class Call { Open, Write, Close, Rename, Mkdir, Opendir };

// The next call of `call` whose path holds `pathPart` ("" for any, and for
// write and close, which take no path) fails with `error`.
struct ArmedFailure {
  Call call = Call::Open;
  int error = 0;
  std::string pathPart;
  bool armed = false;
};
thread_local ArmedFailure next;

void failNext(Call call, int error, const std::string& pathPart = "") { next = {call, error, pathPart, true}; }

bool takeFailure(Call call, const char* path) {
  if (!next.armed || next.call != call) return false;
  if (!next.pathPart.empty() && (path == nullptr || std::string(path).find(next.pathPart) == std::string::npos)) {
    return false;
  }
  next.armed = false;
  errno = next.error;
  return true;
}

}  // namespace

extern "C" {
int __real_open(const char* path, int flags, ...);
ssize_t __real_write(int fd, const void* data, size_t size);
int __real_close(int fd);
int __real_rename(const char* from, const char* to);
int __real_mkdir(const char* path, mode_t mode);
DIR* __real_opendir(const char* path);

int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (flags & O_CREAT) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (takeFailure(Call::Open, path)) return -1;
  return __real_open(path, flags, mode);
}
ssize_t __wrap_write(int fd, const void* data, size_t size) {
  if (takeFailure(Call::Write, nullptr)) return -1;
  return __real_write(fd, data, size);
}
int __wrap_close(int fd) {
  // The descriptor is closed all the same, as a failed close leaves it.
  const int result = __real_close(fd);
  if (takeFailure(Call::Close, nullptr)) return -1;
  return result;
}
int __wrap_rename(const char* from, const char* to) {
  if (takeFailure(Call::Rename, to)) return -1;
  return __real_rename(from, to);
}
int __wrap_mkdir(const char* path, mode_t mode) {
  if (takeFailure(Call::Mkdir, path)) return -1;
  return __real_mkdir(path, mode);
}
DIR* __wrap_opendir(const char* path) {
  if (takeFailure(Call::Opendir, path)) return nullptr;
  return __real_opendir(path);
}
}

namespace {

struct Cause {
  int error;
  const char* text;
};
// What the user reads for each cause of a failed write or folder creation.
const Cause kWriteCauses[] = {
    {EACCES, msg::kCauseNoWritePermission}, {EPERM, msg::kCauseNoWritePermission},
    {EIO, msg::kCauseIoError},              {ENOSPC, msg::kCauseDiskFull},
    {EROFS, msg::kCauseReadOnly},
};

class FailingCalls : public ::testing::Test {
 protected:
  void TearDown() override { next.armed = false; }
  std::vector<std::string> folderEntries(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    return names;
  }
  TempDir dir;
};

TEST_F(FailingCalls, EveryStepOfAWriteReportsItsCauseAndKeepsTheEarlierFile) {
  const std::string image = dir.write("song.trm", {1, 2, 3});
  const std::vector<std::uint8_t> bytes(5000, 0x5A);
  for (Call call : {Call::Open, Call::Write, Call::Close, Call::Rename}) {
    for (const Cause& cause : kWriteCauses) {
      SCOPED_TRACE(::testing::Message() << "call " << static_cast<int>(call) << ", errno " << cause.error);
      failNext(call, cause.error);
      EXPECT_EQ(writeWholeFile(image, bytes), msg::withCause(msg::kCannotCreate, cause.text));
      EXPECT_FALSE(next.armed) << "the write never made that call";
      EXPECT_EQ(dir.read("song.trm"), std::vector<std::uint8_t>({1, 2, 3}));
      EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"song.trm"}) << "a temporary file is left";
    }
  }
  EXPECT_EQ(writeWholeFile(image, bytes), "");
  EXPECT_EQ(dir.read("song.trm"), bytes);
}

TEST_F(FailingCalls, AnUnreadableSubFolderIsReportedAndTheWalkGoesOn) {
  KvSongBuilder song;
  song.stream({0xFF, 0xFE});
  std::filesystem::create_directories(dir.path() + "/a/locked");
  std::filesystem::create_directories(dir.path() + "/b");
  song.write(dir.path() + "/a/locked", "hidden");
  song.write(dir.path() + "/b", "open");
  const Cause causes[] = {{EACCES, msg::kCauseNoReadPermission}, {EIO, msg::kCauseIoError}};
  for (const Cause& cause : causes) {
    SCOPED_TRACE(cause.error);
    failNext(Call::Opendir, cause.error, "locked");
    const FolderExpansion found = expandSongFolders({dir.path()}, true);
    EXPECT_EQ(found.paths, std::vector<std::string>{dir.path() + "/b/open.kv"});
    EXPECT_EQ(found.failures, std::vector<std::string>{dir.path() + "/a/locked : " +
                                                       msg::withCause(msg::kCannotReadFolder, cause.text)});
  }

  // The command line: the failure is printed, the other song converted, exit 1.
  ConvertArgs args;
  args.recursive = true;
  args.quiet = true;
  args.files = {dir.path()};
  std::ostringstream out, err;
  failNext(Call::Opendir, EACCES, "locked");
  EXPECT_EQ(runConvert(args, out, err), kExitFileFailed);
  EXPECT_EQ(err.str(), dir.path() + "/a/locked : " +
                           msg::withCause(msg::kCannotReadFolder, msg::kCauseNoReadPermission) + "\n");
  EXPECT_TRUE(dir.exists("b/open.trm"));
}

TEST_F(FailingCalls, AnOutputFolderThatCannotBeMadeStopsTheBatchBeforeAnySong) {
  KvSongBuilder song;
  song.stream({0xFF, 0xFE});
  const std::string kv = song.write(dir.path(), "song");
  dir.write("plain-file", {0});
  struct Case {
    const char* what;
    std::string output;
    int error;  // 0: nothing armed
    const char* cause;
  };
  const Case cases[] = {
      {"no permission", dir.path() + "/out/images", EACCES, msg::kCauseNoWritePermission},
      {"read-only", dir.path() + "/out/images", EROFS, msg::kCauseReadOnly},
      {"disk full", dir.path() + "/out/images", ENOSPC, msg::kCauseDiskFull},
      {"a file in the way", dir.path() + "/plain-file", 0, msg::kCauseFileInTheWay},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ConvertArgs args;
    args.outputFolder = c.output;
    args.files = {kv};
    std::ostringstream out, err;
    if (c.error != 0) failNext(Call::Mkdir, c.error, "images");
    EXPECT_EQ(runConvert(args, out, err), kExitFileFailed);
    EXPECT_EQ(err.str(), c.output + " : " + msg::withCause(msg::kCannotCreateFolder, c.cause) + "\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(dir.exists("song.trm"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/out/images"));
  }
}

}  // namespace
