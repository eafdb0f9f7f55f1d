#include "verify/pad_text.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(PadText, Cases) {
  struct Case {
    const char* text;
    char pad;
    int width;
    bool left;
    const char* cell;
  };
  const Case cases[] = {
      {"  ab ", ' ', 5, false, "ab    "},
      {"  ab ", ' ', 5, true, "   ab "},
      {"abcdef", ' ', 3, false, "abcdef "},
      {"", '-', 30, false, "------------------------------ "},
      {"\tx\r\n", ' ', 3, true, "  x "},
      {"12", ' ', 6, true, "    12 "},
      {"čž", ' ', 4, false, "čž   "},
  };
  for (const auto& c : cases) EXPECT_EQ(PadText(c.text, c.pad, c.width, c.left), c.cell) << c.text;
}

}  // namespace
}  // namespace app
