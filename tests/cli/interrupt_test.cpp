// The command line as a process of its own, interrupted as a user or the
// system interrupts it: it starts no new file, leaves no temporary file,
// keeps its listing and ends with the summary and 128 + the signal.
#include <gtest/gtest.h>

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/kv_song_builder.h"
#include "support/temp_dir.h"

extern char** environ;
#endif

namespace kvtram {
namespace {

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
std::uint8_t wobble(std::size_t i) { return static_cast<std::uint8_t>(128 + ((i * 37) % 61) - 30); }

// Songs that each take a moment (every variant by the spectral resampler).
std::string writeSongs(const TempDir& dir, int count) {
  const std::string folder = dir.path() + "/songs";
  std::filesystem::create_directories(folder);
  KvSongBuilder song;
  song.version(1).pcmChannels(1).pcmMask(0x01).sampleOfBlocks(24, wobble);
  song.stream({0xA0, 0x3C, 0x00, 0x64, 0xFF, 0xA0, 0x3C, 0x00, 0xA0, 0xFF, 0xA0, 0x3C, 0x00, 0xC8, 0xFF, 0xFE});
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "s%03d", i);
    song.sampleFileName(name).write(folder, name);
  }
  return folder;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int countLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

struct Leftovers {
  int images = 0, temporary = 0;
};
Leftovers leftovers(const std::string& folder) {
  Leftovers found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && name.substr(name.size() - 4) == ".trm") ++found.images;
    if (name.find(".part") != std::string::npos) ++found.temporary;
  }
  return found;
}

// Starts kvtram with standard output into `out` (a file or a pipe's end).
pid_t start(const std::vector<std::string>& args, int outFd, int errFd) {
  std::vector<char*> argv;
  std::vector<std::string> all{KVTRAM_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
  // The signals as a shell leaves them, whatever this process does with them.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t standard;
  sigemptyset(&standard);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&standard, s);
  posix_spawnattr_setsigdefault(&attributes, &standard);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  // The texts compared are the Japanese ones, whatever the machine's locale.
  std::vector<std::string> variables{"LANG=ja_JP.UTF-8"};
  for (char** v = environ; *v != nullptr; ++v) {
    const std::string variable = *v;
    bool language = false;
    for (const char* name : {"LANGUAGE=", "LC_ALL=", "LC_MESSAGES=", "LANG="}) language = language || variable.rfind(name, 0) == 0;
    if (!language) variables.push_back(variable);
  }
  std::vector<char*> environment;
  for (std::string& v : variables) environment.push_back(v.data());
  environment.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn(&pid, KVTRAM_BINARY, &actions, &attributes, argv.data(), environment.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits until the file holds at least `lines` lines (or ten seconds passed).
void awaitLines(const std::string& path, int lines) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (countLines(readText(path)) < lines && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int waitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

TEST(Interruption, SignalsEndTheBatchCleanly) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX signals";
#elif defined(__EMSCRIPTEN__)
  GTEST_SKIP() << "the WebAssembly build starts no processes to signal";
#else
  const struct {
    int signal;
    int times;     // a second Ctrl-C ends at once
    const char* jobs;
  } cases[] = {{SIGINT, 1, "2"}, {SIGTERM, 1, "1"}, {SIGHUP, 1, "2"}, {SIGINT, 2, "2"}};
  for (const auto& c : cases) {
    TempDir dir;
    const std::string folder = writeSongs(dir, 200);
    const std::string outPath = dir.path() + "/out.txt", errPath = dir.path() + "/err.txt";
    const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const pid_t pid = start({"convert", "-j", c.jobs, folder}, outFd, errFd);
    ::close(outFd);
    ::close(errFd);
    ASSERT_GT(pid, 0);
    awaitLines(outPath, 3);  // each listing line leaves as its image is done
    for (int k = 0; k < c.times; ++k) ::kill(pid, c.signal);
    const int status = waitFor(pid);
    const std::string out = readText(outPath);

    SCOPED_TRACE(std::to_string(c.signal) + " x" + std::to_string(c.times) + "\n" + out + readText(errPath));
    EXPECT_EQ(status, 128 + c.signal);
    const Leftovers found = leftovers(folder);
    EXPECT_EQ(found.temporary, 0);
    EXPECT_LT(found.images, 200);
    EXPECT_GE(found.images, 3);
    if (c.times == 1) {
      // Every image written is listed, and the summary says so.
      EXPECT_EQ(countLines(out), found.images + 1);
      EXPECT_NE(out.find("終了しました: 変換 " + std::to_string(found.images) + "、失敗 0、スキップ 0\n"),
                std::string::npos);
    }
  }
#endif
}

TEST(Interruption, AClosedPipeLeavesNoTemporaryFile) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX pipes";
#elif defined(__EMSCRIPTEN__)
  GTEST_SKIP() << "the WebAssembly build starts no processes to pipe from";
#else
  TempDir dir;
  const std::string folder = writeSongs(dir, 60);
  int pipeFds[2];
  ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);  // the child holds no reading end
  const int errFd = ::open((dir.path() + "/err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t pid = start({"convert", "-j", "2", folder}, pipeFds[1], errFd);
  ::close(pipeFds[1]);
  ::close(errFd);
  // As `| head -1`: one line, then the reader is gone.
  char c = 0;
  while (::read(pipeFds[0], &c, 1) == 1 && c != '\n') {
  }
  ::close(pipeFds[0]);
  EXPECT_EQ(waitFor(pid), 128 + SIGPIPE);
  EXPECT_EQ(leftovers(folder).temporary, 0);
#endif
}

}  // namespace
}  // namespace kvtram
