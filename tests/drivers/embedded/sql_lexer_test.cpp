#include "drivers/embedded/sql_lexer.h"

#include <gtest/gtest.h>

namespace embedded {
namespace {

TEST(Tokenize, BothDialects) {
  const auto t = Tokenize("select [a]]b], \"x\"\"y\", N'it''s', 'x', 1.5e-3, ?, :p -- c\n/* d */ from t where a<>b");
  std::vector<std::pair<TokenKind, std::string>> got;
  for (const auto& tok : t) got.emplace_back(tok.kind, tok.text);
  const std::vector<std::pair<TokenKind, std::string>> want = {
      {TokenKind::kWord, "select"},    {TokenKind::kQuotedName, "a]b"}, {TokenKind::kSymbol, ","},
      {TokenKind::kQuotedName, "x\"y"}, {TokenKind::kSymbol, ","},      {TokenKind::kString, "it's"},
      {TokenKind::kSymbol, ","},       {TokenKind::kString, "x"},       {TokenKind::kSymbol, ","},
      {TokenKind::kNumber, "1.5e-3"},  {TokenKind::kSymbol, ","},       {TokenKind::kParameter, "?"},
      {TokenKind::kSymbol, ","},       {TokenKind::kParameter, ":p"},   {TokenKind::kWord, "from"},
      {TokenKind::kWord, "t"},         {TokenKind::kWord, "where"},     {TokenKind::kWord, "a"},
      {TokenKind::kSymbol, "<>"},      {TokenKind::kWord, "b"},         {TokenKind::kEnd, ""},
  };
  EXPECT_EQ(got, want);
  EXPECT_TRUE(t[5].national);
  EXPECT_TRUE(t[0].Is("SELECT"));
}

TEST(Tokenize, UnterminatedQuotesAreErrors) {
  for (const char* bad : {"select 'x", "select [x", "select \"x", "/* x"}) {
    EXPECT_THROW(Tokenize(bad), std::runtime_error) << bad;
  }
}

TEST(QuoteSqlString, DoublesApostrophes) { EXPECT_EQ(QuoteSqlString("O'Brien"), "'O''Brien'"); }

}  // namespace
}  // namespace embedded
