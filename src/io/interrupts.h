// Interruption by the user or the system (Ctrl-C, a closed terminal, a
// request to terminate), and the temporary files that must not outlive it.
#pragma once

#include <memory>
#include <string>

namespace kvtram {

namespace interrupts_shared {
struct Registry;
}

// While a watch lives, SIGINT, SIGTERM and SIGHUP are caught (on Windows:
// Ctrl-C, Ctrl-Break and the closing of the console). The first one asks the
// program to stop, which it learns from signal(); a second one, or a closed
// pipe (SIGPIPE), ends the process at once with 128 + its number, after
// removing every temporary file being written. Closing the console on
// Windows also ends it at once, since Windows ends it soon anyway. One watch
// at a time.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // 0, or the number of the signal that asked to stop (SIGINT = 2; on
  // Windows 2 for Ctrl-C, 21 for Ctrl-Break, 1 for the console's closing).
  int signal() const;
  bool stopRequested() const { return signal() != 0; }

 private:
  std::unique_ptr<interrupts_shared::Registry> registry_;
};

// Held by a writer for as long as its temporary file may exist, so that an
// immediate end removes the file. Without a watch it does nothing.
class TemporaryFileMark {
 public:
  TemporaryFileMark();
  ~TemporaryFileMark();
  TemporaryFileMark(const TemporaryFileMark&) = delete;
  TemporaryFileMark& operator=(const TemporaryFileMark&) = delete;

  // Call before creating the file at `path`; false when the process is
  // ending: the file must not be created then.
  bool creating(const std::string& path);
  // The file's creation has been tried (`created`: it exists now).
  void tried(bool created);

 private:
  interrupts_shared::Registry* registry_;
  int slot_ = -1;
};

}  // namespace kvtram
