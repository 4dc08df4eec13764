// How the texts spell numbers and bytes in hexadecimal: upper-case digits,
// "0x" in front of a number, bytes separated by spaces. One spelling for the
// messages, `info` and `dump`.
//
// Like messages.h, this header includes nothing of the project.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kvtram::hex {

// At least `minDigits` digits, more when the value needs them (as printf's %0NX).
inline std::string digits(std::uint64_t value, int minDigits) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(text.size()) < minDigits) text.insert(0, static_cast<std::size_t>(minDigits) - text.size(), '0');
  return text;
}

// "0x" and the digits: number(0x3F, 2) is "0x3F", number(0x4000, 6) "0x004000".
inline std::string number(std::uint64_t value, int minDigits) { return "0x" + digits(value, minDigits); }

// Each byte as two digits, separated by spaces ("83 5C").
inline std::string bytes(std::span<const std::uint8_t> data) {
  std::string text;
  for (std::uint8_t b : data) {
    if (!text.empty()) text += ' ';
    text += digits(b, 2);
  }
  return text;
}
inline std::string bytes(std::string_view data) {
  return bytes({reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
}

}  // namespace kvtram::hex
