// Walking UTF-8 text one code point at a time (private to the core library).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::core::utf8 {

// Decodes the code point starting at s[i] and returns its length in bytes. A byte that starts
// no valid sequence decodes as itself, length 1 (the reader refuses invalid UTF-8; this only
// guards text built by code).
inline std::size_t decode(std::string_view s, std::size_t i, char32_t& cp) {
  auto u = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = u(i);
  std::size_t n = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xE  ? 3
                  : (c >> 3) == 0x1E ? 4
                                     : 1;
  if (i + n > s.size()) n = 1;
  for (std::size_t k = 1; k < n; ++k) {
    if ((u(i + k) & 0xC0) != 0x80) n = 1;
  }
  if (n == 1) {
    cp = c;
    return 1;
  }
  cp = c & (0xFFu >> (n + 1));
  for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (u(i + k) & 0x3Fu);
  return n;
}

// Whether the bytes are well-formed UTF-8: no overlong form, surrogate or value past U+10FFFF.
inline bool valid(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp;
    const std::size_t n = decode(s, i, cp);
    if (n == 1 && cp >= 0x80) return false;
    constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    i += n;
  }
  return true;
}

// ASCII letters folded to lower case; every other byte (UTF-8 sequences included) kept.
inline std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace tarnwick::core::utf8
