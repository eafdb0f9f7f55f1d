#include "component/nvdatabase/nv_string.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace nvdatabase {
namespace {

struct TokenCase {
  std::string text;
  int n;
  char separator;
  std::optional<char> quote;
  std::string expected;
};

TEST(TcStringTest, GetToken) {
  const TokenCase cases[] = {
      // A server version text, as the connection reads its major number.
      {"10.50.1600.1", 1, '.', std::nullopt, "10"},
      {"10.50.1600.1", 2, '.', std::nullopt, "50"},
      {"10.50.1600.1", 4, '.', std::nullopt, "1"},
      {"10.50.1600.1", 5, '.', std::nullopt, ""},
      {"10.50.1600.1", 0, '.', std::nullopt, "10.50.1600.1"},
      {"10.50.1600.1", -3, '.', std::nullopt, "10.50.1600.1"},
      // Separators inside quotes do not split; the quotes stay.
      {"a;'b;c';d", 2, ';', '\'', "'b;c'"},
      {"a;'b;c';d", 3, ';', '\'', "d"},
      {"a;'b;c';d", 3, ';', std::nullopt, "c'"},
      // An unclosed quote runs to the end of the text.
      {"a;'b;c", 2, ';', '\'', "'b;c"},
      {"a;'b;c", 3, ';', '\'', ""},
      // Empty tokens.
      {";x", 1, ';', std::nullopt, ""},
      {";x", 2, ';', std::nullopt, "x"},
      {"a;;b", 2, ';', std::nullopt, ""},
      {"a;;b", 3, ';', std::nullopt, "b"},
      {"a;", 2, ';', std::nullopt, ""},
      {"a;", 3, ';', std::nullopt, ""},
      {"", 1, ';', std::nullopt, ""},
      {"", 2, ';', std::nullopt, ""},
      {"abc", 1, ';', std::nullopt, "abc"},
      // Multi-byte characters pass whole.
      {"Čas;Žaba", 2, ';', std::nullopt, "Žaba"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TcString::GetToken(c.text, c.n, c.separator, c.quote), c.expected)
        << "text \"" << c.text << "\", token " << c.n << ", quote " << (c.quote ? std::string(1, *c.quote) : "none");
  }
}

}  // namespace
}  // namespace nvdatabase
