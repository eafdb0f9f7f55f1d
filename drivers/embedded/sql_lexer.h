// Splits SQL text into tokens for the embedded servers' statement handling.
// Both dialects: "double quoted" names, [bracketed] names (SQL Server), 'texts'
// with '' inside, N'texts', numbers, "?" and ":name" parameters, operators.
// Comments (-- to line end, /* */) and blanks are skipped; every token keeps its
// place in the text so that callers can cut and rewrite the original.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace embedded {

enum class TokenKind {
  kWord,        // a bare name or keyword
  kQuotedName,  // "name" or [name]; `text` holds the name without quotes
  kString,      // 'text'; `text` holds the value with '' undone
  kNumber,
  kParameter,   // ? or :name
  kSymbol,      // ( ) , ; . = < > <= >= <> != + - * / % || and the like
  kEnd,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;
  std::size_t begin = 0;  // offsets into the source text, end exclusive
  std::size_t end = 0;
  bool national = false;  // N'...'

  // A bare word equal to `keyword` without regard to ASCII case.
  bool Is(std::string_view keyword) const;
  bool IsSymbol(std::string_view symbol) const { return kind == TokenKind::kSymbol && text == symbol; }
};

// Throws std::runtime_error for an unterminated quote or comment, naming the offset.
std::vector<Token> Tokenize(std::string_view sql);

// 'text' with every ' doubled.
std::string QuoteSqlString(std::string_view text);

}  // namespace embedded
