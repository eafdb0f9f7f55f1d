#include "connections/database_password.h"

#include <gtest/gtest.h>

#include <cctype>

namespace connections {
namespace {

bool IsUpperHex(std::string_view s) {
  for (char c : s) {
    if (!std::isxdigit(static_cast<unsigned char>(c)) || std::islower(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

TEST(DeriveDatabasePassword, FormsByLength) {
  struct Case {
    std::string password;
    std::size_t scrambled_length;
    std::size_t hex_digits;  // hexadecimal digits after the lead letter
  };
  const Case cases[] = {
      {"", 15, 14},
      {"abcd", 27, 22},  // 15 + 3 × 4: 22 digits and the 4 characters
      {"abcde", 30, 24},
      {"abcdefghijklmnopqrstuvwxy", 30, 9},  // 25 characters: the last 9 digits and the first 20 characters
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.password);
    const std::string plain = DeriveDatabasePassword(c.password, false);
    EXPECT_EQ(plain, "Vorx" + c.password + "dbp");

    const std::string s = DeriveDatabasePassword(c.password, true);
    ASSERT_EQ(s.size(), c.scrambled_length);
    EXPECT_EQ(s.substr(0, 1), "V");
    EXPECT_TRUE(IsUpperHex(s.substr(1, c.hex_digits))) << s;
    const std::string hex = ScrambleToHex(plain, 0x5A3C);
    EXPECT_EQ(s.substr(1, c.hex_digits), hex.substr(hex.size() - c.hex_digits));
    EXPECT_EQ(s.substr(1 + c.hex_digits), c.password.substr(0, 20));
    EXPECT_EQ(DeriveDatabasePassword(c.password, true), s);  // the same every time
  }
}

TEST(ScrambleString, RunningHashAndHexForm) {
  // seed 0x0100: first byte XOR 0x01; then h = (0x0100 + out) * 52845 + 22719 mod 65536.
  const std::string out = ScrambleString(std::string("\x41\x41", 2), 0x0100);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(out[0]), 0x40);
  const std::uint16_t h = static_cast<std::uint16_t>((0x0100 + 0x40) * 52845 + 22719);
  EXPECT_EQ(static_cast<unsigned char>(out[1]), 0x41 ^ (h >> 8));
  EXPECT_EQ(ScrambleToHex("AA", 0x0100).size(), 4u);
  EXPECT_EQ(ScrambleToHex("AA", 0x0100).substr(0, 2), "40");
  EXPECT_EQ(ScrambleString("", 7), "");
}

}  // namespace
}  // namespace connections
