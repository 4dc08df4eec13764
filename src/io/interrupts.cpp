// The portable part of the interrupt watch: the registry of temporary files.
#include "io/interrupts.h"

#include <cstring>

#include "io/interrupts_shared.h"

namespace kvtram {

namespace interrupts_shared {

std::atomic<Registry*> current{nullptr};

void removeTemporaryFiles(Registry& registry, void (*removeFile)(const char*), void (*pause)()) {
  // A writer that saw no end yet may be creating its file: wait for it (it
  // may also be the very thread this runs on, so not for ever), then remove.
  registry.ending.store(1);
  for (Slot& slot : registry.slots) {
    for (int wait = 0; wait < 200 && slot.state.load() == Creating; ++wait) pause();
    const int state = slot.state.load();
    if (state == Creating || state == Created) removeFile(slot.path);
  }
}

}  // namespace interrupts_shared

using namespace interrupts_shared;

InterruptWatch::InterruptWatch() : registry_(std::make_unique<Registry>()) {
  current.store(registry_.get());
  installHandlers();
}

InterruptWatch::~InterruptWatch() {
  removeHandlers();
  current.store(nullptr);
}

int InterruptWatch::signal() const { return registry_->signal.load(); }

TemporaryFileMark::TemporaryFileMark() : registry_(current.load()) {
  if (registry_ == nullptr) return;
  for (int i = 0; i < kSlots; ++i) {
    int expected = Free;
    if (registry_->slots[i].state.compare_exchange_strong(expected, Claimed)) {
      slot_ = i;
      return;
    }
  }
}

TemporaryFileMark::~TemporaryFileMark() {
  if (slot_ >= 0) registry_->slots[slot_].state.store(Free);
}

bool TemporaryFileMark::creating(const std::string& path) {
  if (registry_ == nullptr) return true;
  if (slot_ >= 0 && path.size() < kPathBytes) {
    Slot& slot = registry_->slots[slot_];
    slot.state.store(Claimed);
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    slot.state.store(Creating);
  }
  // Either the handler sees Creating and removes the file, or this sees the
  // end and does not create it (both stores and loads are sequentially
  // consistent).
  return registry_->ending.load() == 0;
}

void TemporaryFileMark::tried(bool created) {
  if (slot_ >= 0) registry_->slots[slot_].state.store(created ? Created : Claimed);
}

}  // namespace kvtram
