#include "io/zeroed_memory.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace kvtram {

ZeroPages::ZeroPages(std::size_t bytes) : size_(bytes) {
  if (bytes == 0) return;
#ifdef _WIN32
  // Committed pages are zero and take memory only when first touched.
  data_ = ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data_ == nullptr) throw std::bad_alloc();
#else
  // Anonymous private pages are mapped, zero, on first touch.
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  data_ = p;
#endif
}

ZeroPages::~ZeroPages() {
  if (data_ == nullptr) return;
#ifdef _WIN32
  ::VirtualFree(data_, 0, MEM_RELEASE);
#else
  ::munmap(data_, size_);
#endif
}

}  // namespace kvtram
