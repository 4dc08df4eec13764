#include "app/size_report.h"

#include <gtest/gtest.h>

namespace kvtram {
namespace {

constexpr int kLimit = 256 * 16384;

SizeReport reportEndingAt(int psgEnd, int fmEnd) {
  SizeReport r;
  r.variants.push_back({0, 1, 1000, true, 0x4000, 0x4000 + 1200});
  r.parts.push_back({ImagePart::Kind::Samples, 0, 0x4000, 0x4000 + 1200});
  r.parts.push_back({ImagePart::Kind::PsgStream, 0, 0x4000 + 1200, psgEnd});
  r.parts.push_back({ImagePart::Kind::FmStream, 0, psgEnd, fmEnd});
  r.end = fmEnd;
  return r;
}

TEST(SizeReport, TotalsFreeSpaceAndTheFirstPartBeyondTheBanks) {
  struct Case {
    int psgEnd, fmEnd;
    const char* lastLine;
  };
  const Case cases[] = {
      {0x4000 + 1300, 0x8000, "    free                    4161536 bytes of 256 banks\n"},
      {0x4000 + 1300, kLimit, "    free                    0 bytes of 256 banks\n"},
      {0x4000 + 1300, kLimit + 10, "    does not fit: 10 bytes beyond the 256 banks, from FM stream on\n"},
      {kLimit + 1, kLimit + 5000, "    does not fit: 5000 bytes beyond the 256 banks, from PSG stream on\n"},
  };
  for (const Case& c : cases) {
    SizeReport r = reportEndingAt(c.psgEnd, c.fmEnd);
    EXPECT_EQ(r.imageBytes(), 576L + c.fmEnd);
    EXPECT_EQ(r.banks(), (c.fmEnd + 16383) / 16384);
    std::string text = describeSize(r, "  ");
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), c.lastLine) << text;
  }
  std::string text = describeSize(reportEndingAt(0x4000 + 1300, 0x8000), "");
  EXPECT_EQ(text,
            "image           33344 bytes in 2 banks (header and bank 0 included)\n"
            "  samples                 1200 bytes\n"
            "    sample 0 variant 1    1200 bytes (1000 samples, spectral resampler)\n"
            "  PSG stream              100 bytes\n"
            "  FM stream               15084 bytes\n"
            "  free                    4161536 bytes of 256 banks\n");
}

}  // namespace
}  // namespace kvtram
