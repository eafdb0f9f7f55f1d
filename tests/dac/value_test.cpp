#include "dac/value.h"

#include <gtest/gtest.h>

#include <limits>

namespace dac {
namespace {

TEST(Decimal, ParsesToCanonicalTextKeepingTheScale) {
  struct Case {
    const char* in;
    const char* out;  // nullptr: rejected
  };
  const Case cases[] = {
      {"0", "0"},
      {"-0", "0"},
      {"-0.00", "0.00"},
      {"007.50", "7.50"},
      {"+12", "12"},
      {".5", "0.5"},
      {"-.5", "-0.5"},
      {"5.", "5"},
      {"922337203685477.5807", "922337203685477.5807"},
      {"123456789012345678901234567890.123456789", "123456789012345678901234567890.123456789"},
      {"1E5", "100000"},
      {"-1.25e-3", "-0.00125"},
      {"1.5E+2", "150"},
      {"", nullptr},
      {"-", nullptr},
      {".", nullptr},
      {"1.2.3", nullptr},
      {"12a", nullptr},
      {"1e", nullptr},
      {" 1", nullptr},
  };
  for (const auto& c : cases) {
    const auto d = Decimal::Parse(c.in);
    if (!c.out) {
      EXPECT_FALSE(d) << c.in;
    } else {
      ASSERT_TRUE(d) << c.in;
      EXPECT_EQ(d->ToString(), c.out) << c.in;
    }
  }
}

TEST(Decimal, FromScaledPlacesThePointAndKeepsTheScale) {
  struct Case {
    std::int64_t unscaled;
    int scale;
    const char* out;
  };
  const Case cases[] = {
      {0, 0, "0"},
      {0, 2, "0.00"},
      {-5, 0, "-5"},
      {12345, 2, "123.45"},
      {-12345, 2, "-123.45"},
      {5, 3, "0.005"},
      {-5, 3, "-0.005"},
      {1200, 4, "0.1200"},
      {9223372036854775807, 4, "922337203685477.5807"},
      {std::numeric_limits<std::int64_t>::min(), 4, "-922337203685477.5808"},
      {1, 18, "0.000000000000000001"},
  };
  for (const auto& c : cases) {
    const Decimal d = Decimal::FromScaled(c.unscaled, c.scale);
    EXPECT_EQ(d.ToString(), c.out) << c.unscaled << " " << c.scale;
    EXPECT_EQ(d, *Decimal::Parse(c.out));
  }
}

TEST(Decimal, ComparesNumerically) {
  auto D = [](const char* s) { return *Decimal::Parse(s); };
  EXPECT_EQ(Decimal::Compare(D("1.50"), D("1.5")), 0);
  EXPECT_LT(D("-2"), D("-1.999"));
  EXPECT_LT(D("9.99"), D("10"));
  EXPECT_LT(D("-0.1"), D("0"));
  EXPECT_EQ(Decimal::Compare(D("0.00"), D("-0")), 0);
  EXPECT_LT(D("922337203685477"), D("922337203685477.0001"));
}

TEST(Decimal, RoundsHalfAwayFromZeroAndConverts) {
  auto D = [](const char* s) { return *Decimal::Parse(s); };
  EXPECT_EQ(D("1.2345").Rounded(2).ToString(), "1.23");
  EXPECT_EQ(D("1.235").Rounded(2).ToString(), "1.24");
  EXPECT_EQ(D("-9.995").Rounded(2).ToString(), "-10.00");
  EXPECT_EQ(D("99.5").Rounded(0).ToString(), "100");
  EXPECT_EQ(D("1.5").Rounded(4).ToString(), "1.5");
  EXPECT_EQ(D("-12.000").ToInt64(), -12);
  EXPECT_EQ(D("12.5").ToInt64(), std::nullopt);
  EXPECT_EQ(D("9223372036854775808").ToInt64(), std::nullopt);
  EXPECT_EQ(D("-0.05").IntegerDigits(), 0);
  EXPECT_EQ(D("-123.05").IntegerDigits(), 3);
  EXPECT_EQ(D("-123.050").Scale(), 3);
}

TEST(DateTime, ParsesAndPrintsWithFractions) {
  const auto d = DateTime::Parse("2024-02-29 23:59:58.1234");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->nanosecond, 123400000);
  EXPECT_EQ(d->ToString(), "2024-02-29 23:59:58.1234");
  EXPECT_EQ(DateTime::Parse("1753-01-01")->ToString(), "1753-01-01 00:00:00");
  for (const char* bad : {"2023-02-29", "2024-13-01", "2024-01-01 24:00:00", "2024-1-1", "2024-01-01 10:00",
                          "2024-01-01 10:00:00.", "x"}) {
    EXPECT_FALSE(DateTime::Parse(bad)) << bad;
  }
}

TEST(Value, TextForms) {
  EXPECT_EQ(Value().ToText(), "");
  EXPECT_EQ(Value(true).ToText(), "1");
  EXPECT_EQ(Value(std::int64_t{-5}).ToText(), "-5");
  EXPECT_EQ(Value(*Decimal::Parse("1.10")).ToText(), "1.10");
  EXPECT_EQ(Value(0.1).ToText(), "0.1");
  EXPECT_EQ(Value("x").ToText(), "x");
  EXPECT_TRUE(Value() == Value(nullptr));
  EXPECT_FALSE(Value(1) == Value(*Decimal::Parse("1")));
}

}  // namespace
}  // namespace dac
