#include "io/zeroed_memory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kvtram {
namespace {

TEST(ZeroedArray, ReadsZeroUntilWrittenAndClearsOnlyWhatWasMarked) {
  ZeroedArray<std::uint32_t> a(100000);
  ASSERT_EQ(a.size(), 100000u);
  for (std::size_t i = 0; i < a.size(); i += 997) ASSERT_EQ(a[i], 0u);

  for (std::size_t i = 0; i < 50; ++i) a[i] = 7;
  a.markWritten(50);
  a.markWritten(20);  // a lower mark does not lower it
  EXPECT_EQ(a.written(), 50u);

  // Entries from 30 on go back to zero; below stays for the caller.
  a.clearWrittenFrom(30);
  EXPECT_EQ(a.written(), 30u);
  EXPECT_EQ(a[29], 7u);
  EXPECT_EQ(a[30], 0u);
  EXPECT_EQ(a[49], 0u);
  a.clearWrittenFrom(40);  // nothing written from there
  EXPECT_EQ(a.written(), 30u);

  a.clearWritten();
  EXPECT_EQ(a.written(), 0u);
  for (std::size_t i = 0; i < 50; ++i) ASSERT_EQ(a[i], 0u) << i;
}

TEST(ZeroedArray, EmptyArrayIsUsable) {
  ZeroedArray<double> a(0);
  EXPECT_EQ(a.size(), 0u);
  a.clearWritten();
  EXPECT_EQ(a.begin(), a.end());
}

}  // namespace
}  // namespace kvtram
