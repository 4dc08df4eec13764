// What the portable part of the interrupt watch shares with the POSIX and
// the Windows side: the registry that a signal handler reads. Everything in
// it is a lock-free atomic or plain memory written before an atomic store,
// so a handler may read it at any moment.
#pragma once

#include <atomic>
#include <cstddef>

namespace kvtram::interrupts_shared {

// More than the most writers at once (one per file worker).
inline constexpr int kSlots = 128;
inline constexpr std::size_t kPathBytes = 4096;

enum SlotState : int { Free, Claimed, Creating, Created };

struct Slot {
  std::atomic<int> state{Free};
  char path[kPathBytes];  // zero-terminated; valid from Creating on
};

struct Registry {
  std::atomic<int> signal{0};  // the first signal that asked to stop
  std::atomic<int> ending{0};  // set once the process ends at once
  Slot slots[kSlots];
};

// The registry of the living watch, for the handlers and the writers.
extern std::atomic<Registry*> current;

// Marks the process as ending, waits a moment for files being created and
// removes every registered one (removeFile is the platform's own,
// async-signal-safe on POSIX). Returns when done; the caller ends the process.
void removeTemporaryFiles(Registry& registry, void (*removeFile)(const char* path), void (*pause)());

// The platform side.
void installHandlers();
void removeHandlers();

}  // namespace kvtram::interrupts_shared
