#include "drivers/odbc/count_query.h"

#include <cctype>

namespace odbc {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#'; }

bool KeywordAt(std::string_view s, std::size_t i, std::string_view word) {
  if (i + word.size() > s.size()) return false;
  if (i > 0 && IsWordChar(s[i - 1])) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(s[i + k])) != word[k]) return false;
  }
  return i + word.size() == s.size() || !IsWordChar(s[i + word.size()]);
}

// Where the last ORDER BY at parenthesis depth 0 starts, outside quotes,
// brackets and comments; npos when there is none.
std::size_t TopLevelOrderBy(std::string_view s) {
  std::size_t found = std::string_view::npos;
  int depth = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      for (++i; i < s.size() && s[i] != close; ++i) {
      }
    } else if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const auto end = s.find("*/", i + 2);
      i = end == std::string_view::npos ? s.size() : end + 1;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (depth == 0 && KeywordAt(s, i, "order")) {
      std::size_t j = i + 5;
      while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
      if (j > i + 5 && KeywordAt(s, j, "by")) found = i;
    }
  }
  return found;
}

}  // namespace

std::string CountQuery(std::string_view sql, bool drop_order_by) {
  while (!sql.empty() && (std::isspace(static_cast<unsigned char>(sql.back())) || sql.back() == ';')) {
    sql.remove_suffix(1);
  }
  if (drop_order_by) {
    const auto order = TopLevelOrderBy(sql);
    // Paging (ORDER BY ... OFFSET ... FETCH) decides which rows come back.
    bool pages = false;
    for (std::size_t i = order; order != std::string_view::npos && i < sql.size(); ++i) {
      pages = pages || KeywordAt(sql, i, "offset");
    }
    if (order != std::string_view::npos && !pages) sql = sql.substr(0, order);
  }
  return "select count(*) from (\n" + std::string(sql) + "\n) counted";
}

}  // namespace odbc
