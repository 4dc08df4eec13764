#include "input/shift_jis.h"

#include <cstdint>

#include "io/utf16.h"
#include "messages/hex_text.h"

namespace kvtram {

namespace {

// JIS X 0208 row 1, cells 1-94, as code page 932 maps them.
constexpr char16_t kRow1[94] = {
    0x3000, 0x3001, 0x3002, 0xFF0C, 0xFF0E, 0x30FB, 0xFF1A, 0xFF1B, 0xFF1F, 0xFF01,  // 1-10
    0x309B, 0x309C, 0x00B4, 0xFF40, 0x00A8, 0xFF3E, 0xFFE3, 0xFF3F, 0x30FD, 0x30FE,  // 11-20
    0x309D, 0x309E, 0x3003, 0x4EDD, 0x3005, 0x3006, 0x3007, 0x30FC, 0x2015, 0x2010,  // 21-30
    0xFF0F, 0xFF3C, 0xFF5E, 0x2225, 0xFF5C, 0x2026, 0x2025, 0x2018, 0x2019, 0x201C,  // 31-40
    0x201D, 0xFF08, 0xFF09, 0x3014, 0x3015, 0xFF3B, 0xFF3D, 0xFF5B, 0xFF5D, 0x3008,  // 41-50
    0x3009, 0x300A, 0x300B, 0x300C, 0x300D, 0x300E, 0x300F, 0x3010, 0x3011, 0xFF0B,  // 51-60
    0xFF0D, 0x00B1, 0x00D7, 0x00F7, 0xFF1D, 0x2260, 0xFF1C, 0xFF1E, 0x2266, 0x2267,  // 61-70
    0x221E, 0x2234, 0x2642, 0x2640, 0x00B0, 0x2032, 0x2033, 0x2103, 0xFFE5, 0xFF04,  // 71-80
    0xFFE0, 0xFFE1, 0xFF05, 0xFF03, 0xFF06, 0xFF0A, 0xFF20, 0x00A7, 0x2606, 0x2605,  // 81-90
    0x25CB, 0x25CF, 0x25CE, 0x25C7,                                                  // 91-94
};

// Row 2, cells 1-94; 0 where the row has no character.
constexpr char16_t kRow2[94] = {
    0x25C6, 0x25A1, 0x25A0, 0x25B3, 0x25B2, 0x25BD, 0x25BC, 0x203B, 0x3012, 0x2192,  // 1-10
    0x2190, 0x2191, 0x2193, 0x3013, 0,      0,      0,      0,      0,      0,       // 11-20
    0,      0,      0,      0,      0,      0x2208, 0x220B, 0x2286, 0x2287, 0x2282,  // 21-30
    0x2283, 0x222A, 0x2229, 0,      0,      0,      0,      0,      0,      0,       // 31-40
    0,      0x2227, 0x2228, 0xFFE2, 0x21D2, 0x21D4, 0x2200, 0x2203, 0,      0,       // 41-50
    0,      0,      0,      0,      0,      0,      0,      0,      0,      0x2220,  // 51-60
    0x22A5, 0x2312, 0x2202, 0x2207, 0x2261, 0x2252, 0x226A, 0x226B, 0x221A, 0x223D,  // 61-70
    0x221D, 0x2235, 0x222B, 0x222C, 0,      0,      0,      0,      0,      0,       // 71-80
    0,      0x212B, 0x2030, 0x266F, 0x266D, 0x266A, 0x2020, 0x2021, 0x00B6, 0,       // 81-90
    0,      0,      0,      0x25EF,                                                  // 91-94
};

// The character of row `row`, cell `cell` (both from 1), or 0.
char32_t jisCharacter(int row, int cell) {
  switch (row) {
    case 1: return kRow1[cell - 1];
    case 2: return kRow2[cell - 1];
    case 3:
      if (cell >= 16 && cell <= 25) return U'\uFF10' + static_cast<char32_t>(cell - 16);  // ０-９
      if (cell >= 33 && cell <= 58) return U'\uFF21' + static_cast<char32_t>(cell - 33);  // Ａ-Ｚ
      if (cell >= 65 && cell <= 90) return U'\uFF41' + static_cast<char32_t>(cell - 65);  // ａ-ｚ
      return 0;
    case 4:
      return cell <= 83 ? U'\u3041' + static_cast<char32_t>(cell - 1) : 0;  // ぁ-ん
    case 5:
      return cell <= 86 ? U'\u30A1' + static_cast<char32_t>(cell - 1) : 0;  // ァ-ヶ
    case 6:
      // Greek: 24 capitals and 24 small letters; Unicode has a gap at
      // U+03A2 (and puts the final sigma, which JIS lacks, at U+03C2).
      if (cell >= 1 && cell <= 24) return U'\u0391' + static_cast<char32_t>(cell - 1 + (cell >= 18 ? 1 : 0));
      if (cell >= 33 && cell <= 56) return U'\u03B1' + static_cast<char32_t>(cell - 33 + (cell >= 50 ? 1 : 0));
      return 0;
    case 7: {
      // Cyrillic: 33 capitals and 33 small letters, Ё/ё after Е/е.
      auto letter = [](int i, char32_t base, char32_t yo) -> char32_t {
        if (i < 6) return base + static_cast<char32_t>(i);
        if (i == 6) return yo;
        return base + static_cast<char32_t>(i - 1);
      };
      if (cell >= 1 && cell <= 33) return letter(cell - 1, U'\u0410', U'\u0401');
      if (cell >= 49 && cell <= 81) return letter(cell - 49, U'\u0430', U'\u0451');
      return 0;
    }
    case 13:
      if (cell >= 1 && cell <= 20) return U'\u2460' + static_cast<char32_t>(cell - 1);   // ①-⑳
      if (cell >= 21 && cell <= 30) return U'\u2160' + static_cast<char32_t>(cell - 21);  // Ⅰ-Ⅹ
      return 0;
    default: return 0;
  }
}

void appendEscape(std::string& out, std::uint8_t byte) { out += "\\x" + hex::digits(byte, 2); }

}  // namespace

std::string shiftJisToUtf8(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(bytes[i]);
    if (b >= 0x20 && b < 0x7F) {
      out += static_cast<char>(b);
      continue;
    }
    if (b >= 0xA1 && b <= 0xDF) {  // half-width katakana
      appendUtf8(out, U'\uFF61' + static_cast<char32_t>(b - 0xA1));
      continue;
    }
    if (isShiftJisLeadByte(b) && i + 1 < bytes.size() && isShiftJisTrailByte(static_cast<std::uint8_t>(bytes[i + 1]))) {
      const auto t = static_cast<std::uint8_t>(bytes[i + 1]);
      // Each lead byte covers two rows: trail bytes 0x40-0x9E the odd one,
      // 0x9F-0xFC the even one.
      int rowPair = b <= 0x9F ? (b - 0x81) * 2 + 1 : (b - 0xE0) * 2 + 63;
      int row = t <= 0x9E ? rowPair : rowPair + 1;
      int cell = t <= 0x7E ? t - 0x3F : t <= 0x9E ? t - 0x40 : t - 0x9E;
      if (char32_t c = jisCharacter(row, cell); c != 0) {
        appendUtf8(out, c);
      } else {
        appendEscape(out, b);
        appendEscape(out, t);
      }
      ++i;
      continue;
    }
    appendEscape(out, b);  // control character, lone lead byte or no character's first byte
  }
  return out;
}

}  // namespace kvtram
