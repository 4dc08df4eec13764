#include "app/printable.h"

#include <gtest/gtest.h>

namespace kvtram {
namespace {

TEST(Printable, EscapesControlsAndStrayBytesAndKeepsTheRest) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"songs/a.kv", "songs/a.kv"},
      {"C:\\songs\\ドラム.kv", "C:\\songs\\ドラム.kv"},
      {"a\x1B[2Jb", "a\\x1B[2Jb"},
      {"x\ny\rz\t\x7F", "x\\ny\\rz\\t\\x7F"},
      {"c1 \xC2\x9B" "2J", "c1 \\xC2\\x9B2J"},      // U+009B, a CSI to some terminals
      {"sjis \x83\x68", "sjis \\x83h"},             // no UTF-8
      {"cut \xE3\x83", "cut \\xE3\\x83"},           // a sequence broken off
      {"overlong \xC0\xAF", "overlong \\xC0\\xAF"},
      {"surrogate \xED\xA0\x80", "surrogate \\xED\\xA0\\x80"},
      {"emoji \xF0\x9F\x8E\xB5", "emoji \xF0\x9F\x8E\xB5"},
  };
  for (const auto& c : cases) EXPECT_EQ(printable(c.in), c.out) << c.out;
}

}  // namespace
}  // namespace kvtram
