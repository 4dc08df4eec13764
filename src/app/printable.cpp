#include "app/printable.h"

#include <cstdint>

namespace kvtram {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void escapeByte(std::string& out, std::uint8_t b) {
  out += "\\x";
  out += kHexDigits[b >> 4];
  out += kHexDigits[b & 15];
}

// The length of the valid UTF-8 sequence at `at` (0 when there is none) and
// its code point.
std::size_t utf8Sequence(std::string_view s, std::size_t at, char32_t& code) {
  const auto b = static_cast<std::uint8_t>(s[at]);
  std::size_t length = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
  if (length == 0 || at + length > s.size()) return 0;
  code = b & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<std::uint8_t>(s[at + k]);
    if ((c & 0xC0) != 0x80) return 0;
    code = (code << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and code points beyond U+10FFFF are no UTF-8.
  const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<std::uint8_t>(text[i]);
    if (b < 0x80) {
      if (b >= 0x20 && b != 0x7F) out += static_cast<char>(b);
      else if (b == '\n') out += "\\n";
      else if (b == '\r') out += "\\r";
      else if (b == '\t') out += "\\t";
      else escapeByte(out, b);
      ++i;
      continue;
    }
    char32_t code = 0;
    const std::size_t length = utf8Sequence(text, i, code);
    if (length == 0 || code <= 0x9F) {
      // A stray byte, or a C1 control by its two bytes.
      const std::size_t n = length == 0 ? 1 : length;
      for (std::size_t k = 0; k < n; ++k) escapeByte(out, static_cast<std::uint8_t>(text[i + k]));
      i += n;
      continue;
    }
    out.append(text.substr(i, length));
    i += length;
  }
  return out;
}

}  // namespace kvtram
