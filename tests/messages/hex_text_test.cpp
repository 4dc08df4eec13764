#include "messages/hex_text.h"

#include <gtest/gtest.h>

#include <array>

namespace kvtram {
namespace {

// The one hexadecimal spelling: printf's %0NX with 0x in front for numbers.
TEST(HexText, NumbersAndBytes) {
  struct Case {
    std::uint64_t value;
    int digits;
    const char* text;
  };
  const Case cases[] = {{0, 2, "0x00"},         {0xAD, 2, "0xAD"},       {0x3000, 4, "0x3000"},
                        {0x4000, 6, "0x004000"}, {0x1234567, 6, "0x1234567"}, {0xFFFFFFFF, 6, "0xFFFFFFFF"}};
  for (const Case& c : cases) EXPECT_EQ(hex::number(c.value, c.digits), c.text);
  EXPECT_EQ(hex::digits(0x7, 2), "07");
  const std::array<std::uint8_t, 3> bytes = {0x83, 0x5C, 0x00};
  EXPECT_EQ(hex::bytes(bytes), "83 5C 00");
  EXPECT_EQ(hex::bytes(std::string_view("ab")), "61 62");
  EXPECT_EQ(hex::bytes(std::string_view()), "");
}

}  // namespace
}  // namespace kvtram
