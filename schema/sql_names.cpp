#include "schema/sql_names.h"

namespace schema {
namespace {

std::string Doubled(std::string_view s, char quote) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    out += c;
    if (c == quote) out += quote;
  }
  return out;
}

}  // namespace

std::string BracketName(std::string_view name) { return Doubled(name, ']'); }
std::string QuoteText(std::string_view text) { return Doubled(text, '\''); }

}  // namespace schema
