// Shift-JIS (code page 932) text, as the KV title and the TRAM header hold it,
// turned into UTF-8 for display.
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

#include <string>
#include <string_view>

namespace kvtram {

std::string shiftJisToUtf8(std::string_view bytes);

}  // namespace kvtram
