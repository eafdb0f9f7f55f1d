#include "dac/sql_text.h"

#include <cctype>

#include "platform/text.h"

namespace dac {
namespace {

bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '#' || c == '@' || c == '$' || u >= 0x80;
}

// Index just past a quoted part or comment that starts at i, or i when none does.
std::size_t SkipQuotedOrComment(std::string_view s, std::size_t i) {
  const char c = s[i];
  if (c == '\'' || c == '"' || c == '[') {
    const char close = c == '[' ? ']' : c;
    std::size_t j = i + 1;
    while (j < s.size()) {
      if (s[j] == close) {
        // A doubled closing character is part of the text, not its end.
        if (j + 1 < s.size() && s[j + 1] == close) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return s.size();
  }
  if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
    const auto end = s.find('\n', i);
    return end == std::string_view::npos ? s.size() : end + 1;
  }
  if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
    const auto end = s.find("*/", i + 2);
    return end == std::string_view::npos ? s.size() : end + 2;
  }
  return i;
}

}  // namespace

MarkedStatement MarkParameters(std::string_view sql) {
  MarkedStatement out;
  std::size_t i = 0;
  while (i < sql.size()) {
    const std::size_t skipped = SkipQuotedOrComment(sql, i);
    if (skipped != i) {
      out.sql.append(sql.substr(i, skipped - i));
      i = skipped;
      continue;
    }
    if (sql[i] == ':') {
      if (i + 1 < sql.size() && (sql[i + 1] == ':' || sql[i + 1] == '=')) {
        out.sql.append(sql.substr(i, 2));
        i += 2;
        continue;
      }
      std::size_t j = i + 1;
      while (j < sql.size() && IsNameChar(sql[j])) ++j;
      if (j > i + 1) {
        out.names.emplace_back(sql.substr(i + 1, j - i - 1));
        out.sql += '?';
        i = j;
        continue;
      }
    }
    out.sql += sql[i];
    ++i;
  }
  return out;
}

std::string TableFromSelect(std::string_view sql) {
  std::size_t i = 0;
  while (i < sql.size()) {
    const std::size_t skipped = SkipQuotedOrComment(sql, i);
    if (skipped != i) {
      i = skipped;
      continue;
    }
    if (!IsNameChar(sql[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < sql.size() && IsNameChar(sql[j])) ++j;
    if (!platform::SameText(sql.substr(i, j - i), "from")) {
      i = j;
      continue;
    }
    while (j < sql.size() && std::isspace(static_cast<unsigned char>(sql[j]))) ++j;
    // The name runs over name characters, quoted parts and the dots between them.
    const std::size_t start = j;
    while (j < sql.size()) {
      const std::size_t q = SkipQuotedOrComment(sql, j);
      if (q != j && sql[j] != '-' && sql[j] != '/') {
        j = q;
      } else if (IsNameChar(sql[j]) || sql[j] == '.') {
        ++j;
      } else {
        break;
      }
    }
    return std::string(sql.substr(start, j - start));
  }
  return {};
}

std::string BracketName(std::string_view name) {
  std::string out;
  std::size_t i = 0;
  while (true) {
    // One part: a quoted part as written, or a plain one up to the next dot.
    std::size_t end = i;
    if (end < name.size() && (name[end] == '[' || name[end] == '"')) {
      end = SkipQuotedOrComment(name, end);
      out.append(name.substr(i, end - i));
    } else {
      end = name.find('.', i);
      if (end == std::string_view::npos) end = name.size();
      out += '[';
      for (const char c : name.substr(i, end - i)) {
        out += c;
        if (c == ']') out += ']';
      }
      out += ']';
    }
    if (end >= name.size() || name[end] != '.') break;
    out += '.';
    i = end + 1;
  }
  return out;
}

}  // namespace dac
