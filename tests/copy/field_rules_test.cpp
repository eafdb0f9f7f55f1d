#include "copy/field_rules.h"

#include <gtest/gtest.h>

namespace copy {
namespace {

using dac::DateTime;
using dac::Decimal;
using dac::FieldType;
using dac::Value;

Value D(const char* s) { return *Decimal::Parse(s); }
Value T(const char* s) { return *DateTime::Parse(s); }

TEST(DotTrailingBlanks, Cases) {
  EXPECT_EQ(DotTrailingBlanks("ab  "), "ab..");
  EXPECT_EQ(DotTrailingBlanks("   "), " ..");
  EXPECT_EQ(DotTrailingBlanks("a b"), "a b");
  EXPECT_EQ(DotTrailingBlanks(" "), " ");
  EXPECT_EQ(DotTrailingBlanks(""), "");
}

TEST(ApplyFieldRules, Table) {
  const std::string s30 = std::string(29, 'x') + " ";
  const std::string s31 = std::string(30, 'x') + " ";
  struct Case {
    const char* name;
    FieldType type;
    Value in;
    Value out;
  };
  const Case cases[] = {
      {"money at the top", FieldType::ftCurrency, D("922337203685477"), D("922337203685477")},
      {"money above", FieldType::ftCurrency, D("922337203685477.0001"), D("922337203685477")},
      {"money far above", FieldType::ftCurrency, D("1E20"), D("922337203685477")},
      {"money at the bottom", FieldType::ftCurrency, D("-922337203685477"), D("-922337203685477")},
      {"money below", FieldType::ftCurrency, D("-922337203685477.5"), D("-922337203685477")},
      {"money as integer", FieldType::ftCurrency, Value(std::int64_t{1000000000000000}), D("922337203685477")},
      {"money exact", FieldType::ftCurrency, D("12.3456"), D("12.3456")},
      {"money NULL", FieldType::ftCurrency, Value(), Value()},
      {"tinyint negative", FieldType::ftWord, D("-1"), Value(std::int64_t{0})},
      {"tinyint negative fraction", FieldType::ftWord, D("-0.5"), Value(std::int64_t{0})},
      {"tinyint zero", FieldType::ftWord, D("0"), D("0")},
      {"tinyint above 255 passes", FieldType::ftWord, D("300"), D("300")},
      {"tinyint NULL", FieldType::ftWord, Value(), Value()},
      {"date before", FieldType::ftDateTime, T("1850-03-01"), T("1900-01-01")},
      {"date at the start", FieldType::ftDateTime, T("1900-01-01"), T("1900-01-01")},
      {"date just before", FieldType::ftDateTime, T("1899-12-31 23:59:59"), T("1900-01-01")},
      {"date at the end", FieldType::ftDateTime, T("2079-06-05"), T("2079-06-05")},
      {"date after the end", FieldType::ftDateTime, T("2079-06-05 10:00:00"), T("2079-06-05")},
      {"date far after", FieldType::ftDateTime, T("2100-01-01"), T("2079-06-05")},
      {"date the day before", FieldType::ftDateTime, T("2079-06-04 23:00:00"), T("2079-06-04 23:00:00")},
      {"date NULL", FieldType::ftDateTime, Value(), Value()},
      {"varchar NULL", FieldType::ftString, Value(), Value("")},
      {"varchar one blank", FieldType::ftString, Value(" "), Value(" ")},
      {"varchar one letter", FieldType::ftString, Value("a"), Value("a")},
      {"varchar two", FieldType::ftString, Value("a "), Value("a.")},
      {"varchar 30", FieldType::ftString, Value(s30), Value(std::string(29, 'x') + ".")},
      {"varchar 31", FieldType::ftString, Value(s31), Value(s31)},
      {"varchar 30 characters of two bytes", FieldType::ftString, Value("čččččččččččččččččččččččččččč "),
       Value("čččččččččččččččččččččččččččč.")},
      {"varchar inner blank", FieldType::ftString, Value("a b"), Value("a b")},
      {"int NULL stays", FieldType::ftInteger, Value(), Value()},
      {"memo blanks stay", FieldType::ftMemo, Value("a "), Value("a ")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApplyFieldRules(c.type, c.in), c.out) << c.name << ": " << ApplyFieldRules(c.type, c.in).ToText();
  }
}

}  // namespace
}  // namespace copy
