// TcString: token extraction from delimited texts, such as the major number of
// a server's version text. A class of static operations only; pure, and safe
// to call from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvdatabase {

class TcString {
 public:
  TcString() = delete;

  // Token `n` (1 for the first) of `text` split at `separator`. Separators
  // between two `quote` characters do not split, and the quotes stay in the
  // token. Tokens may be empty (two separators in a row); a text with fewer
  // than `n` tokens gives an empty text, and `n` below 1 the whole text.
  // Separator and quote are ASCII, so UTF-8 texts split on character bounds.
  static std::string GetToken(std::string_view text, int n, char separator, std::optional<char> quote);
};

}  // namespace nvdatabase
