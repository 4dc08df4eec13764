// The POSIX side of the interrupt watch: signal handlers.
#include "io/interrupts.h"
#include "io/interrupts_shared.h"

#include <csignal>
#include <ctime>

#include <unistd.h>

namespace kvtram::interrupts_shared {

namespace {

constexpr int kCaught[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void removeFile(const char* path) { ::unlink(path); }

void pauseBriefly() {
  timespec pause{0, 1000000};
  ::nanosleep(&pause, nullptr);
}

// Only async-signal-safe calls from here on.
void onSignal(int signal) {
  Registry* registry = current.load();
  int none = 0;
  // A closed pipe cannot take the summary either: end at once.
  if (registry != nullptr && signal != SIGPIPE && registry->signal.compare_exchange_strong(none, signal)) return;
  if (registry != nullptr) removeTemporaryFiles(*registry, removeFile, pauseBriefly);
  ::_exit(128 + signal);
}

}  // namespace

void installHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : kCaught) sigaddset(&action.sa_mask, signal);
  for (int signal : kCaught) {
    // A signal ignored by whoever started the program (nohup, a background
    // job) stays ignored.
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

void removeHandlers() {
  for (int signal : kCaught) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler != onSignal) continue;
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
  }
}

}  // namespace kvtram::interrupts_shared
