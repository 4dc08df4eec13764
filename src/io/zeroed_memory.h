// Large working buffers straight from the system's page allocator. Their
// pages read as zero and cost memory, and a page fault, only where they are
// first touched: a workspace with fixed capacities costs what a song uses.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace kvtram {

// Fresh zero pages for at least `bytes` bytes, released by the destructor.
// Throws std::bad_alloc when the system has no address space to give (as a
// std::vector of that size would).
class ZeroPages {
 public:
  explicit ZeroPages(std::size_t bytes);
  ~ZeroPages();
  ZeroPages(const ZeroPages&) = delete;
  ZeroPages& operator=(const ZeroPages&) = delete;

  void* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

// A fixed-capacity array on zero pages that remembers how far it may have
// been written (its high-water mark). Every entry reads as zero until
// written; clearWritten() makes the array as a fresh one again, touching
// only what was used. Writers report what they wrote with markWritten().
template <class T>
class ZeroedArray {
  static_assert(std::is_trivially_copyable_v<T>, "entries are cleared with memset");

 public:
  explicit ZeroedArray(std::size_t capacity) : pages_(capacity * sizeof(T)), size_(capacity) {}

  T* data() { return static_cast<T*>(pages_.data()); }
  const T* data() const { return static_cast<const T*>(pages_.data()); }
  std::size_t size() const { return size_; }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }

  // Entries [0, end) may have been written.
  void markWritten(std::size_t end) {
    if (end > written_) written_ = end;
  }
  std::size_t written() const { return written_; }

  // Sets the entries written from `from` on back to zero; the high-water
  // mark becomes `from` (the caller rewrites or marks what lies below).
  void clearWrittenFrom(std::size_t from) {
    if (written_ <= from) return;
    std::memset(data() + from, 0, (written_ - from) * sizeof(T));
    written_ = from;
  }
  void clearWritten() { clearWrittenFrom(0); }

 private:
  ZeroPages pages_;
  std::size_t size_;
  std::size_t written_ = 0;
};

}  // namespace kvtram
