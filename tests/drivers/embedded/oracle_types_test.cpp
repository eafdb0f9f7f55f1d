#include "drivers/embedded/oracle_types.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace embedded {
namespace {

std::string Read(const dac::Value& stored, std::optional<int> scale) {
  const auto d = StoredNumber(stored, scale);
  return d ? d->ToString() : "(none)";
}

std::string Shortest(const dac::Value& stored) {
  return dac::Decimal::Parse(ShortestDoubleText(stored.AsDouble()))->ToString();
}

// Whatever the column's scale, a double reads as its shortest text.
TEST(StoredNumber, ADoubleReadsAsItsShortestTextWhateverTheColumnsScale) {
  const std::vector<std::optional<int>> scales = {std::nullopt, 0, 1, 2, 4, 5, 9, 15, 18};
  std::vector<double> doubles = {0.0,      -0.0,           0.1,    0.1 + 0.2, 1.0 / 3, 123.4567, -922337203685477.58,
                                 1e-5,     1.5e-7,         5e-324, 1e300,     0.5,     -0.005,   9007199254740993.0,
                                 1125899906842623.0, 1125899906842624.0, 112589990684262.35};
  std::mt19937_64 random(20261211);
  std::uniform_int_distribution<std::int64_t> digits(-99999999999999999, 99999999999999999);
  for (int scale : {0, 1, 2, 4, 5, 9, 15, 18}) {
    for (int i = 0; i < 3000; ++i) {
      // Decimals as a NUMBER(p, scale) column keeps them, stored as the server stores them.
      const dac::Value stored = NumberStorage(dac::Decimal::FromScaled(digits(random) >> (i % 40), scale));
      if (stored.Kind() != dac::ValueKind::kDouble) continue;
      ASSERT_EQ(Read(stored, scale), Shortest(stored)) << stored.ToText() << " scale " << scale;
      ASSERT_EQ(Read(stored, std::nullopt), Shortest(stored)) << stored.ToText();
    }
  }
  for (int i = 0; i < 20000; ++i) {
    const double v = std::bit_cast<double>(random());
    if (std::isfinite(v)) doubles.push_back(v);
    doubles.push_back(std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 60)));
  }
  for (int scale = 0; scale <= 18; ++scale) {
    const double power = std::pow(10.0, scale);
    for (double edge : {0x1p50, 0x1p50 - 1, 0x1p50 + 1}) {
      doubles.push_back(edge / power);
      doubles.push_back(std::nextafter(edge / power, 0.0));
      doubles.push_back(-edge / power);
    }
  }
  for (const auto scale : scales) {
    for (double v : doubles) {
      ASSERT_EQ(Read(dac::Value(v), scale), Shortest(dac::Value(v))) << v << " scale " << scale.value_or(-1);
    }
  }
}

}  // namespace
}  // namespace embedded
