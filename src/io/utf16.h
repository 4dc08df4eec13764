// UTF-8 <-> UTF-16 for the Windows boundary: paths and texts are UTF-8 inside
// the program and UTF-16 in the Windows API. Plain code, no system calls, so
// it is tested on every platform.
#pragma once

#include <string>
#include <string_view>

namespace kvtram {

// Malformed input (a bad or cut-short UTF-8 sequence, a lone surrogate)
// becomes U+FFFD; nothing is dropped silently.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// Appends one code point as UTF-8 (other decoders, such as the Shift-JIS
// one, build their UTF-8 with it).
void appendUtf8(std::string& out, char32_t c);

#ifdef _WIN32
// The same with the Windows API's wide strings (UTF-16 in wchar_t there).
inline std::wstring toWide(std::string_view text) {
  const std::u16string u = utf8ToUtf16(text);
  return std::wstring(u.begin(), u.end());
}
inline std::string fromWide(std::wstring_view text) {
  return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
#endif

}  // namespace kvtram
