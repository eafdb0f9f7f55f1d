#include "platform/text.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cwctype>
#include <limits>
#include <locale.h>

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Decodes one code point at `i`; returns its byte length, or 0 for invalid UTF-8.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  std::size_t len = b0 < 0x80 ? 1 : (b0 >> 5) == 0x6 ? 2 : (b0 >> 4) == 0xE ? 3 : (b0 >> 3) == 0x1E ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  if (len == 1) {
    cp = b0;
    return 1;
  }
  cp = b0 & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b >> 6) != 0x2) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  return len;
}

void EncodeUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// glibc's C.UTF-8 locale carries the Unicode case tables; the process locale
// stays untouched, so folding does not depend on the user's environment.
locale_t FoldingLocale() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return l ? l : newlocale(LC_CTYPE_MASK, "C", locale_t{});
  }();
  return loc;
}

}  // namespace

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

std::string TrimControls(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string CaseFold(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  const locale_t loc = FoldingLocale();
  for (std::size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(s, i, cp);
    if (len == 0) {
      out += s[i++];
      continue;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + 32 : cp);
    } else {
      EncodeUtf8(static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), loc)), out);
    }
    i += len;
  }
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  // Plain ASCII compares in place: names are compared on every row of a copy.
  if (a.size() == b.size()) {
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
      const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if (x >= 0x80 || y >= 0x80) break;
      if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y)) return false;
    }
    if (i == a.size()) return true;
  } else if (std::all_of(a.begin(), a.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }) &&
             std::all_of(b.begin(), b.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return false;
  }
  return CaseFold(a) == CaseFold(b);
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

std::size_t CharLength(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++n) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {  // the common case, without decoding
      ++i;
      continue;
    }
    char32_t cp = 0;
    const std::size_t len = DecodeUtf8(s, i, cp);
    i += len == 0 ? 1 : len;
  }
  return n;
}

bool TryParseInt(std::string_view s, int& out) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  }
  if (i >= s.size()) return false;
  std::int64_t value = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    value = value * base + digit;
    // Hexadecimal values may spell a negative int32 by its bit pattern.
    const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : std::numeric_limits<int>::max() + std::int64_t{negative};
    if (value > limit) return false;
  }
  if (base == 16 && value > std::numeric_limits<int>::max()) value -= 0x100000000LL;
  out = static_cast<int>(negative ? -value : value);
  return true;
}

}  // namespace platform
