#include "input/shift_jis.h"

#include <gtest/gtest.h>

namespace kvtram {
namespace {

TEST(ShiftJis, DecodesTheRowsItKnows) {
  struct Case {
    const char* sjis;
    const char* utf8;
  };
  const Case cases[] = {
      {"Song 1 - ABC", "Song 1 - ABC"},
      {"\x82\x75\x82\x60\x82\x6D\x82\x73\x82\x6E\x82\x71\x82\x60", "ＶＡＮＴＯＲＡ"},  // the player name
      {"\x81\x40\x81\x42\x81\x5B\x81\x60\x81\x75\x81\x76\x81\x7E\x81\x80\x81\x8F\x81\x9E",
       "\u3000。ー～「」×÷￥◇"},                                          // row 1, both trail ranges
      {"\x81\x9F\x81\xA7\x81\xB8\x81\xF4\x81\xFC", "◆〒∈♪◯"},              // row 2
      {"\x82\x4F\x82\x58\x82\x60\x82\x79\x82\x81\x82\x9A", "０９ＡＺａｚ"},  // row 3
      {"\x82\x9F\x82\xA0\x82\xF1", "ぁあん"},                                // row 4
      {"\x83\x40\x83\x7E\x83\x80\x83\x96", "ァミムヶ"},                      // row 5, around the missing 0x7F
      {"\x83\x9F\x83\xAF\x83\xB0\x83\xB6\x83\xBF\x83\xCF\x83\xD0\x83\xD6", "ΑΡΣΩαρσω"},  // row 6
      {"\x84\x40\x84\x45\x84\x46\x84\x47\x84\x60\x84\x70\x84\x76\x84\x91", "АЕЁЖЯаёя"},  // row 7
      {"\x87\x40\x87\x53\x87\x54\x87\x5D", "①⑳ⅠⅩ"},                        // code page extensions
      {"\xB1\xDD\xDE\xDF\xA1", "ｱﾝﾞﾟ｡"},                                    // half-width katakana
  };
  for (const Case& c : cases) EXPECT_EQ(shiftJisToUtf8(c.sjis), c.utf8) << c.utf8;
}

TEST(ShiftJis, ShowsWhatItCannotDecodeAsEscapes) {
  EXPECT_EQ(shiftJisToUtf8("\x8A\xBF\x8E\x9A"), "\\x8A\\xBF\\x8E\\x9A");  // kanji
  EXPECT_EQ(shiftJisToUtf8("\x81\xAD"), "\\x81\\xAD");                  // a gap in row 2
  EXPECT_EQ(shiftJisToUtf8("\x83\x97"), "\\x83\\x97");                  // behind the katakana
  EXPECT_EQ(shiftJisToUtf8("A\x82"), "A\\x82");                         // a lead byte at the end
  EXPECT_EQ(shiftJisToUtf8("\x82\x7F"), "\\x82\\x7F");                  // no trail byte
  EXPECT_EQ(shiftJisToUtf8(std::string("\x00\x0A\x80\xA0\xFD", 5)), "\\x00\\x0A\\x80\\xA0\\xFD");
}

}  // namespace
}  // namespace kvtram
