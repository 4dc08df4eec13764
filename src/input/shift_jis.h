// Shift-JIS (code page 932) text, as the KV title, a KV header's sample file
// name and the TRAM header hold it, turned into UTF-8 for display.
//
// Decoded: ASCII, the half-width katakana (0xA1-0xDF), and of the double-byte
// characters the JIS X 0208 rows that need no large table: row 1 and 2
// (punctuation and symbols, with the code page's own choices such as
// U+FF5E for 0x8160), row 3 (full-width digits and Latin letters), row 4
// (hiragana), row 5 (katakana), row 6 (Greek), row 7 (Cyrillic) and, of the
// code page's extensions, the circled numbers 1-20 and Roman numerals I-X
// (0x8740-0x875D). Everything else -- the kanji above all -- is shown as
// \xHH escapes of its bytes, as are control characters, lone lead bytes and
// bytes that no character begins with, so the display never hides a byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvtram {

std::string shiftJisToUtf8(std::string_view bytes);

// The byte ranges of the double-byte characters: a lead byte followed by a
// trail byte is one character, whatever the trail byte (0x5C, the path
// separator '\\' in ASCII, is the second byte of ソ and 表).
inline bool isShiftJisLeadByte(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
inline bool isShiftJisTrailByte(std::uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace kvtram
