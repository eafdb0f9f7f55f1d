#include "platform/text.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(TryParseInt, AcceptsDecimalAndHexAndRejectsTheRest) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {
      {"0", true, 0},          {"2", true, 2},           {"-1", true, -1},         {"+7", true, 7},
      {"0x10", true, 16},      {"0XfF", true, 255},      {"$1A", true, 26},        {"0xFFFFFFFF", true, -1},
      {"2147483647", true, 2147483647},                  {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0}, {"0x100000000", false, 0}, {"yes", false, 0},      {"", false, 0},
      {"1.5", false, 0},       {"0x", false, 0},         {"12a", false, 0},        {"-", false, 0},
  };
  for (const auto& c : cases) {
    int v = 12345;
    EXPECT_EQ(TryParseInt(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 12345) << c.text;
  }
}

TEST(SameText, IgnoresCaseBeyondAscii) {
  EXPECT_TRUE(SameText("tHE_SetItem", "The_SETITEM"));
  EXPECT_TRUE(SameText("ČŠŽ_Ä", "čšž_ä"));
  EXPECT_FALSE(SameText("abc", "abd"));
  EXPECT_FALSE(SameText("abc", "abc "));
  EXPECT_FALSE(SameText("a@", "a`"));  // '@' and '`' differ only in the case bit
}

TEST(CharLength, CountsCodePoints) {
  EXPECT_EQ(CharLength(""), 0u);
  EXPECT_EQ(CharLength("abc"), 3u);
  EXPECT_EQ(CharLength("čšž"), 3u);
  EXPECT_EQ(CharLength("\xFF\xFE"), 2u);
}

TEST(Trim, RemovesBlanksAtBothEnds) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(Trim("   "), "");
}

}  // namespace
}  // namespace platform
