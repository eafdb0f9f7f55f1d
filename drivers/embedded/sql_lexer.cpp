#include "drivers/embedded/sql_lexer.h"

#include <cctype>
#include <stdexcept>

namespace embedded {
namespace {

bool IsNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == '@' || c == '#' || c >= 0x80; }
bool IsNameChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c == '@' || c >= 0x80; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void Unterminated(const char* what, std::size_t at) {
  throw std::runtime_error(std::string("Unterminated ") + what + " at offset " + std::to_string(at));
}

}  // namespace

bool Token::Is(std::string_view keyword) const {
  if (kind != TokenKind::kWord || text.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(keyword[i]))) {
      return false;
    }
  }
  return true;
}

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {
      while (i < s.size() && s[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
      const std::size_t close = s.find("*/", i + 2);
      if (close == std::string_view::npos) Unterminated("comment", i);
      i = close + 2;
      continue;
    }
    Token t;
    t.begin = i;
    const bool national = (c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'';
    if (c == '\'' || national) {
      t.kind = TokenKind::kString;
      t.national = national;
      std::size_t k = i + (national ? 2 : 1);
      for (;;) {
        if (k >= s.size()) Unterminated("text", i);
        if (s[k] == '\'') {
          if (k + 1 < s.size() && s[k + 1] == '\'') {
            t.text += '\'';
            k += 2;
            continue;
          }
          ++k;
          break;
        }
        t.text += s[k++];
      }
      i = k;
    } else if (c == '"' || c == '[') {
      const char close = c == '"' ? '"' : ']';
      t.kind = TokenKind::kQuotedName;
      std::size_t k = i + 1;
      for (;;) {
        if (k >= s.size()) Unterminated("name", i);
        if (s[k] == close) {
          if (k + 1 < s.size() && s[k + 1] == close) {
            t.text += close;
            k += 2;
            continue;
          }
          ++k;
          break;
        }
        t.text += s[k++];
      }
      i = k;
    } else if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      t.kind = TokenKind::kNumber;
      std::size_t k = i;
      while (k < s.size() && (IsDigit(s[k]) || s[k] == '.')) ++k;
      if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
        std::size_t e = k + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < s.size() && IsDigit(s[e])) {
          k = e;
          while (k < s.size() && IsDigit(s[k])) ++k;
        }
      }
      t.text = std::string(s.substr(i, k - i));
      i = k;
    } else if (IsNameStart(static_cast<unsigned char>(c))) {
      t.kind = TokenKind::kWord;
      std::size_t k = i + 1;
      while (k < s.size() && IsNameChar(static_cast<unsigned char>(s[k]))) ++k;
      t.text = std::string(s.substr(i, k - i));
      i = k;
    } else if (c == '?' || (c == ':' && i + 1 < s.size() && IsNameStart(static_cast<unsigned char>(s[i + 1])))) {
      t.kind = TokenKind::kParameter;
      std::size_t k = i + 1;
      if (c == ':') {
        while (k < s.size() && IsNameChar(static_cast<unsigned char>(s[k]))) ++k;
      }
      t.text = std::string(s.substr(i, k - i));
      i = k;
    } else {
      t.kind = TokenKind::kSymbol;
      static const char* const kTwo[] = {"<=", ">=", "<>", "!=", "||", "=>", "::"};
      std::size_t len = 1;
      for (const char* two : kTwo) {
        if (s.substr(i, 2) == two) len = 2;
      }
      t.text = std::string(s.substr(i, len));
      i += len;
    }
    t.end = i;
    out.push_back(std::move(t));
  }
  Token end;
  end.begin = end.end = s.size();
  out.push_back(end);
  return out;
}

std::string QuoteSqlString(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

}  // namespace embedded
