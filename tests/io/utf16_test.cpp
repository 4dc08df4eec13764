#include "io/utf16.h"

#include <gtest/gtest.h>

namespace kvtram {
namespace {

TEST(Utf16, RoundTripsAndReplacesWhatIsMalformed) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"", u""},
      {"song.kv", u"song.kv"},
      {"曲\\ドラム.kvp", u"曲\\ドラム.kvp"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xF0\x9F\x8E\xB5", u"\U0001F3B5"},  // beyond the BMP: a surrogate pair
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
  }
  // Bad UTF-8: a stray continuation byte, a cut-short sequence, an overlong
  // form, an encoded surrogate.
  EXPECT_EQ(utf8ToUtf16("a\x80" "b"), u"a\uFFFDb");
  EXPECT_EQ(utf8ToUtf16("\xE6\x9B"), u"\uFFFD\uFFFD");
  EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"\uFFFD");
  EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");
  // A lone surrogate in UTF-16.
  EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

}  // namespace
}  // namespace kvtram
