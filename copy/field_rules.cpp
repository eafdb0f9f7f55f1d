#include "copy/field_rules.h"

#include <charconv>
#include <optional>

#include "platform/text.h"

namespace copy {
namespace {

// Whole-number clamps: the ERP keeps money within these, not within the money
// type's own limits with four decimals.
const dac::Decimal kMoneyMax = *dac::Decimal::Parse("922337203685477");
const dac::Decimal kMoneyMin = *dac::Decimal::Parse("-922337203685477");
// Day 2 and day 65536 of the date serial that starts at 1899-12-30.
constexpr dac::DateTime kDateMin{1900, 1, 1, 0, 0, 0, 0};
constexpr dac::DateTime kDateMax{2079, 6, 5, 0, 0, 0, 0};

constexpr std::size_t kDotMinChars = 2;
constexpr std::size_t kDotMaxChars = 30;

std::optional<dac::Decimal> AsDecimal(const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kInteger:
      return dac::Decimal::FromInt(v.AsInteger());
    case dac::ValueKind::kDecimal:
      return v.AsDecimal();
    case dac::ValueKind::kDouble:
    case dac::ValueKind::kText:
      return dac::Decimal::Parse(v.ToText());
    default:
      return std::nullopt;
  }
}

std::optional<dac::DateTime> AsDateTime(const dac::Value& v) {
  if (v.Kind() == dac::ValueKind::kDateTime) return v.AsDateTime();
  if (v.Kind() == dac::ValueKind::kText) return dac::DateTime::Parse(v.AsText());
  return std::nullopt;
}

}  // namespace

std::string DotTrailingBlanks(std::string_view text) {
  std::string out(text);
  for (std::size_t i = out.size(); i > 1 && out[i - 1] == ' '; --i) out[i - 1] = '.';
  return out;
}

dac::Value ApplyFieldRules(dac::FieldType target, const dac::Value& source) {
  using dac::FieldType;
  if (source.IsNull()) return target == FieldType::ftString ? dac::Value(std::string()) : source;

  switch (target) {
    case FieldType::ftCurrency:
      if (const auto d = AsDecimal(source)) {
        if (kMoneyMax < *d) return kMoneyMax;
        if (*d < kMoneyMin) return kMoneyMin;
      }
      break;
    case FieldType::ftWord:
      if (const auto d = AsDecimal(source); d && d->IsNegative() && !d->IsZero()) return dac::Value(std::int64_t{0});
      break;
    case FieldType::ftDateTime:
      if (const auto t = AsDateTime(source)) {
        if (*t < kDateMin) return kDateMin;
        if (*t > kDateMax) return kDateMax;
      }
      break;
    case FieldType::ftString:
      if (source.Kind() == dac::ValueKind::kText) {
        const std::string& s = source.AsText();
        const std::size_t n = platform::CharLength(s);
        if (n >= kDotMinChars && n <= kDotMaxChars && s.back() == ' ') return DotTrailingBlanks(s);
      }
      break;
    default:
      break;
  }
  return source;
}

}  // namespace copy
