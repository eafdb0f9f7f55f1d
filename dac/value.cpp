#include "dac/value.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace dac {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Builds the canonical text from sign, integer digits and fraction digits.
std::string Canonical(bool negative, std::string_view int_digits, std::string_view frac_digits) {
  const std::size_t nz = int_digits.find_first_not_of('0');
  int_digits = nz == std::string_view::npos ? std::string_view("0") : int_digits.substr(nz);
  const bool zero = int_digits == "0" && frac_digits.find_first_not_of('0') == std::string_view::npos;
  std::string out;
  out.reserve(int_digits.size() + frac_digits.size() + 2);
  if (negative && !zero) out += '-';
  out += int_digits;
  if (!frac_digits.empty()) {
    out += '.';
    out += frac_digits;
  }
  return out;
}

std::size_t DigitsFrom(std::string_view s, std::size_t i) {
  while (i < s.size() && IsDigit(s[i])) ++i;
  return i;
}

}  // namespace

std::optional<Decimal> Decimal::Parse(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // The digits are read as spans of `s`; a string is built once, at the end.
  std::size_t end = DigitsFrom(s, i);
  const std::string_view int_span = s.substr(i, end - i);
  i = end;
  std::string_view frac_span;
  if (i < s.size() && s[i] == '.') {
    end = DigitsFrom(s, ++i);
    frac_span = s.substr(i, end - i);
    i = end;
  }
  if (int_span.empty() && frac_span.empty()) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    int exp = 0;
    const auto [p, ec] = std::from_chars(s.data() + i + (i < s.size() && s[i] == '+'), s.data() + s.size(), exp);
    if (ec != std::errc() || p != s.data() + s.size() || exp > 4000 || exp < -4000) return std::nullopt;
    // Move the point by the exponent.
    std::string all = std::string(int_span) + std::string(frac_span);
    long point = static_cast<long>(int_span.size()) + exp;
    if (point < 0) {
      all.insert(0, static_cast<std::size_t>(-point), '0');
      point = 0;
    }
    if (point > static_cast<long>(all.size())) all.append(static_cast<std::size_t>(point) - all.size(), '0');
    const std::string int_digits = all.substr(0, static_cast<std::size_t>(point));
    std::string frac_digits = all.substr(static_cast<std::size_t>(point));
    // An exponent says nothing about the scale: drop the zeros it made up.
    while (!frac_digits.empty() && frac_digits.back() == '0') frac_digits.pop_back();
    return Decimal(Canonical(negative, int_digits, frac_digits));
  }
  if (i != s.size()) return std::nullopt;
  return Decimal(Canonical(negative, int_span, frac_span));
}

Decimal Decimal::FromInt(std::int64_t v) { return Decimal(std::to_string(v)); }

Decimal Decimal::FromScaled(std::int64_t unscaled, int scale) {
  if (scale <= 0) return FromInt(unscaled);
  // The magnitude as unsigned, so that the lowest int64 has one too.
  const std::uint64_t magnitude = unscaled < 0 ? 0 - static_cast<std::uint64_t>(unscaled) : unscaled;
  char buf[24];
  char* end = std::to_chars(buf, buf + sizeof buf, magnitude).ptr;
  std::string digits(buf, end);
  const auto fraction = static_cast<std::size_t>(scale);
  if (digits.size() <= fraction) digits.insert(0, fraction + 1 - digits.size(), '0');
  const std::string_view all(digits);
  const std::size_t point = all.size() - fraction;
  return Decimal(Canonical(unscaled < 0, all.substr(0, point), all.substr(point)));
}

bool Decimal::IsZero() const { return text_.find_first_not_of("-0.") == std::string::npos; }

int Decimal::Scale() const {
  const auto dot = text_.find('.');
  return dot == std::string::npos ? 0 : static_cast<int>(text_.size() - dot - 1);
}

int Decimal::IntegerDigits() const {
  const std::size_t start = IsNegative() ? 1 : 0;
  const auto dot = text_.find('.');
  const std::size_t end = dot == std::string::npos ? text_.size() : dot;
  if (end - start == 1 && text_[start] == '0') return 0;
  return static_cast<int>(end - start);
}

std::optional<std::int64_t> Decimal::ToInt64() const {
  const auto dot = text_.find('.');
  if (dot != std::string::npos && text_.find_first_not_of('0', dot + 1) != std::string::npos) return std::nullopt;
  std::int64_t v = 0;
  const auto end = text_.data() + (dot == std::string::npos ? text_.size() : dot);
  const auto [p, ec] = std::from_chars(text_.data(), end, v);
  if (ec != std::errc() || p != end) return std::nullopt;
  return v;
}

Decimal Decimal::Rounded(int scale) const {
  if (scale < 0) scale = 0;
  if (Scale() <= scale) return *this;
  const bool negative = IsNegative();
  const auto dot = text_.find('.');
  std::string int_digits = text_.substr(negative ? 1 : 0, dot - (negative ? 1 : 0));
  std::string frac = text_.substr(dot + 1);
  const bool round_up = frac[static_cast<std::size_t>(scale)] >= '5';
  std::string digits = int_digits + frac.substr(0, static_cast<std::size_t>(scale));
  if (round_up) {
    int k = static_cast<int>(digits.size()) - 1;
    while (k >= 0 && digits[static_cast<std::size_t>(k)] == '9') digits[static_cast<std::size_t>(k--)] = '0';
    if (k < 0) {
      digits.insert(0, "1");
    } else {
      ++digits[static_cast<std::size_t>(k)];
    }
  }
  const std::size_t int_len = digits.size() - static_cast<std::size_t>(scale);
  return Decimal(Canonical(negative, digits.substr(0, int_len), digits.substr(int_len)));
}

int Decimal::Compare(const Decimal& a, const Decimal& b) {
  const bool an = a.IsNegative() && !a.IsZero();
  const bool bn = b.IsNegative() && !b.IsZero();
  if (an != bn) return an ? -1 : 1;
  auto magnitude = [](const Decimal& d) {
    const std::string& t = d.text_;
    const std::size_t start = d.IsNegative() ? 1 : 0;
    const auto dot = t.find('.');
    std::string i = t.substr(start, (dot == std::string::npos ? t.size() : dot) - start);
    std::string f = dot == std::string::npos ? "" : t.substr(dot + 1);
    return std::make_pair(i, f);
  };
  auto [ai, af] = magnitude(a);
  auto [bi, bf] = magnitude(b);
  int c = 0;
  if (ai.size() != bi.size()) {
    c = ai.size() < bi.size() ? -1 : 1;
  } else if (ai != bi) {
    c = ai < bi ? -1 : 1;
  } else {
    const std::size_t n = std::max(af.size(), bf.size());
    af.resize(n, '0');
    bf.resize(n, '0');
    c = af == bf ? 0 : (af < bf ? -1 : 1);
  }
  return an ? -c : c;
}

std::string DateTime::ToString() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  std::string out = buf;
  if (nanosecond != 0) {
    std::snprintf(buf, sizeof buf, ".%09d", nanosecond);
    std::string frac = buf;
    while (frac.back() == '0') frac.pop_back();
    out += frac;
  }
  return out;
}

bool DateTime::IsValid() const {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= days && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
         nanosecond >= 0 && nanosecond < 1000000000;
}

std::optional<DateTime> DateTime::Parse(std::string_view s) {
  auto number = [&](std::size_t pos, std::size_t len, int& out) {
    if (pos + len > s.size()) return false;
    out = 0;
    for (std::size_t k = pos; k < pos + len; ++k) {
      if (!IsDigit(s[k])) return false;
      out = out * 10 + (s[k] - '0');
    }
    return true;
  };
  DateTime d;
  if (!number(0, 4, d.year) || s.size() < 10 || s[4] != '-' || !number(5, 2, d.month) || s[7] != '-' ||
      !number(8, 2, d.day)) {
    return std::nullopt;
  }
  if (s.size() > 10) {
    if ((s[10] != ' ' && s[10] != 'T') || !number(11, 2, d.hour) || s.size() < 19 || s[13] != ':' ||
        !number(14, 2, d.minute) || s[16] != ':' || !number(17, 2, d.second)) {
      return std::nullopt;
    }
    if (s.size() > 19) {
      if (s[19] != '.' || s.size() == 20 || s.size() > 29) return std::nullopt;
      if (!number(20, s.size() - 20, d.nanosecond)) return std::nullopt;
      for (std::size_t k = s.size(); k < 29; ++k) d.nanosecond *= 10;
    }
  }
  if (!d.IsValid()) return std::nullopt;
  return d;
}

std::string Value::ToText() const {
  switch (Kind()) {
    case ValueKind::kNull:
      return {};
    case ValueKind::kBoolean:
      return AsBoolean() ? "1" : "0";
    case ValueKind::kInteger:
      return std::to_string(AsInteger());
    case ValueKind::kDecimal:
      return AsDecimal().ToString();
    case ValueKind::kDouble: {
      char buf[64];
      const auto [p, ec] = std::to_chars(buf, buf + sizeof buf, AsDouble());
      return std::string(buf, ec == std::errc() ? p : buf);
    }
    case ValueKind::kText:
      return AsText();
    case ValueKind::kBytes:
      return std::string(AsBytes().begin(), AsBytes().end());
    case ValueKind::kDateTime:
      return AsDateTime().ToString();
  }
  return {};
}

}  // namespace dac
