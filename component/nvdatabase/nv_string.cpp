#include "component/nvdatabase/nv_string.h"

#include <cstddef>

namespace nvdatabase {

std::string TcString::GetToken(std::string_view text, int n, char separator, std::optional<char> quote) {
  // Positions are 1-based; a start of 0 is "before the first character".
  bool quoted = false;
  long long count = 1;
  std::size_t start = 0;
  std::size_t end = 0;
  for (std::size_t pos = 1; pos <= text.size(); ++pos) {
    const char c = text[pos - 1];
    if (quote && c == *quote) {
      quoted = !quoted;
      continue;
    }
    if (!quoted && c == separator) {
      ++count;
      if (count == n) start = pos;
      if (count == static_cast<long long>(n) + 1) {
        end = pos;
        break;
      }
    }
  }
  if (start == 0 && end == 0 && n > 1) return {};
  if (end == 0) end = text.size() + 1;
  return std::string(text.substr(start, end - 1 - start));
}

}  // namespace nvdatabase
