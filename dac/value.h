// Values as they travel between a server and the program. NUMBER and money
// values are exact decimals (never doubles); date-times keep their fractions.
// A migration that rounds a value has lost data.
// Plain value types: safe to copy between threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace dac {

// An exact decimal number held as its canonical text: an optional "-", digits
// without leading zeros (one "0" before the point), and an optional fraction
// whose trailing zeros are kept (they carry the scale).
class Decimal {
 public:
  Decimal() : text_("0") {}
  // Accepts "[+-]digits[.digits]" and "[+-].digits", and an exponent ("1E5",
  // "-1.5e-3") as Oracle writes big and small numbers. Returns nothing otherwise.
  static std::optional<Decimal> Parse(std::string_view text);
  static Decimal FromInt(std::int64_t v);
  // unscaled × 10^-scale, with exactly `scale` fraction digits; scale is 0 or more.
  static Decimal FromScaled(std::int64_t unscaled, int scale);

  const std::string& ToString() const { return text_; }
  bool IsNegative() const { return text_.front() == '-'; }
  bool IsZero() const;
  // Digits after the point.
  int Scale() const;
  // Digits before the point, without leading zeros (0 for |x| < 1).
  int IntegerDigits() const;
  // The value when it is a whole number inside int64.
  std::optional<std::int64_t> ToInt64() const;
  // Rounded half away from zero to `scale` fraction digits.
  Decimal Rounded(int scale) const;

  // Numeric comparison (not textual): -1, 0, 1.
  static int Compare(const Decimal& a, const Decimal& b);
  friend bool operator==(const Decimal& a, const Decimal& b) { return Compare(a, b) == 0; }
  friend bool operator<(const Decimal& a, const Decimal& b) { return Compare(a, b) < 0; }

 private:
  explicit Decimal(std::string canonical) : text_(std::move(canonical)) {}
  std::string text_;
};

struct DateTime {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
  int nanosecond = 0;

  // "yyyy-mm-dd hh:nn:ss" with ".fffffffff" (trailing zeros dropped) when there is a fraction.
  std::string ToString() const;
  // Accepts "yyyy-mm-dd", "yyyy-mm-dd hh:nn:ss[.f...]" and the "T" separator.
  static std::optional<DateTime> Parse(std::string_view text);
  bool IsValid() const;
  friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

using Bytes = std::vector<std::uint8_t>;

enum class ValueKind { kNull, kBoolean, kInteger, kDecimal, kDouble, kText, kBytes, kDateTime };

class Value {
 public:
  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool v) : v_(v) {}
  Value(int v) : v_(std::int64_t{v}) {}
  Value(std::int64_t v) : v_(v) {}
  Value(Decimal v) : v_(std::move(v)) {}
  Value(double v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(const char* v) : v_(std::string(v)) {}
  Value(Bytes v) : v_(std::move(v)) {}
  Value(DateTime v) : v_(v) {}

  ValueKind Kind() const { return static_cast<ValueKind>(v_.index()); }
  bool IsNull() const { return Kind() == ValueKind::kNull; }

  bool AsBoolean() const { return std::get<bool>(v_); }
  std::int64_t AsInteger() const { return std::get<std::int64_t>(v_); }
  const Decimal& AsDecimal() const { return std::get<Decimal>(v_); }
  double AsDouble() const { return std::get<double>(v_); }
  const std::string& AsText() const { return std::get<std::string>(v_); }
  const Bytes& AsBytes() const { return std::get<Bytes>(v_); }
  const DateTime& AsDateTime() const { return std::get<DateTime>(v_); }

  // The value's text form, as a dataset field's AsString gives it: "" for NULL,
  // "1"/"0" for Booleans, decimals exactly, doubles in shortest round-trip form,
  // bytes as raw characters, date-times as DateTime::ToString.
  std::string ToText() const;

  friend bool operator==(const Value& a, const Value& b) = default;

 private:
  std::variant<std::monostate, bool, std::int64_t, Decimal, double, std::string, Bytes, DateTime> v_;
};

using Row = std::vector<Value>;

}  // namespace dac
