#include "drivers/odbc/parameters.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "drivers/odbc/utf16.h"

namespace odbc {
namespace {

static_assert(std::is_same_v<SQLLEN, long>, "ParameterColumn keeps its lengths as SQLLEN");

// The C form a marker's values are sent in.
enum class Form { kNull, kBit, kBigint, kDecimalText, kDouble, kWideText, kBinary, kTimestamp };

bool IsTextType(short t) {
  return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR || t == SQL_WCHAR || t == SQL_WVARCHAR ||
         t == SQL_WLONGVARCHAR;
}
bool IsBinaryType(short t) { return t == SQL_BINARY || t == SQL_VARBINARY || t == SQL_LONGVARBINARY; }
bool IsLongType(short t) { return t == SQL_LONGVARCHAR || t == SQL_WLONGVARCHAR || t == SQL_LONGVARBINARY; }
bool IsTimestampType(short t) { return t == SQL_TYPE_TIMESTAMP || t == SQL_TIMESTAMP; }

Form FormOf(const std::vector<const dac::Value*>& values) {
  unsigned kinds = 0;
  for (const dac::Value* v : values) {
    if (!v->IsNull()) kinds |= 1u << static_cast<unsigned>(v->Kind());
  }
  const auto bit = [](dac::ValueKind k) { return 1u << static_cast<unsigned>(k); };
  const unsigned integral = bit(dac::ValueKind::kInteger) | bit(dac::ValueKind::kBoolean);
  if (kinds == 0) return Form::kNull;
  if (kinds == bit(dac::ValueKind::kBoolean)) return Form::kBit;
  if ((kinds & ~integral) == 0) return Form::kBigint;
  // Integers beside decimals go as decimal text too: exact either way.
  if ((kinds & ~(integral | bit(dac::ValueKind::kDecimal))) == 0) return Form::kDecimalText;
  if (kinds == bit(dac::ValueKind::kDouble)) return Form::kDouble;
  if (kinds == bit(dac::ValueKind::kBytes)) return Form::kBinary;
  if (kinds == bit(dac::ValueKind::kDateTime)) return Form::kTimestamp;
  // Texts, and any mix the cases above do not cover, go as text: the server
  // converts it to the column's type or refuses the row with its own message.
  return Form::kWideText;
}

// Fraction digits a date-time needs (0 to 9).
short FractionDigits(const dac::DateTime& d) {
  if (d.nanosecond <= 0) return 0;
  short digits = 9;
  for (int ns = d.nanosecond; ns % 10 == 0; ns /= 10) --digits;
  return digits;
}

int TruncatedNanoseconds(int ns, short digits) {
  int unit = 1;
  for (int i = digits; i < 9; ++i) unit *= 10;
  return ns - ns % unit;
}

std::string DecimalText(const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kDecimal: return v.AsDecimal().ToString();
    case dac::ValueKind::kInteger: return std::to_string(v.AsInteger());
    case dac::ValueKind::kBoolean: return v.AsBoolean() ? "1" : "0";
    default: return v.ToText();
  }
}

}  // namespace

ParameterColumn::ParameterColumn(const std::vector<dac::Row>& rows, std::size_t first, std::size_t count,
                                 std::size_t index, const std::optional<ParameterType>& target) {
  std::vector<const dac::Value*> values;
  values.reserve(count);
  for (std::size_t r = first; r < first + count; ++r) values.push_back(&rows[r].at(index));
  Fill(values, target);
}

ParameterColumn::ParameterColumn(const dac::Value& value, const std::optional<ParameterType>& target) {
  Fill({&value}, target);
}

void ParameterColumn::Fill(const std::vector<const dac::Value*>& values, const std::optional<ParameterType>& target) {
  const std::size_t n = values.size();
  lengths_.assign(std::max<std::size_t>(n, 1), SQL_NULL_DATA);
  const Form form = FormOf(values);
  // Widest value, in the units column sizes count (characters or bytes).
  std::size_t widest = 1;

  switch (form) {
    case Form::kNull:
      c_type_ = target && IsBinaryType(target->sql_type) ? SQL_C_BINARY : SQL_C_CHAR;
      element_bytes_ = 1;
      data_.assign(lengths_.size(), 0);
      sql_type_ = target ? target->sql_type : SQL_VARCHAR;
      break;

    case Form::kBit:
      c_type_ = SQL_C_BIT;
      element_bytes_ = 1;
      data_.assign(n, 0);
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        data_[i] = values[i]->AsBoolean() ? 1 : 0;
        lengths_[i] = 1;
      }
      sql_type_ = SQL_BIT;
      break;

    case Form::kBigint:
      c_type_ = SQL_C_SBIGINT;
      element_bytes_ = sizeof(std::int64_t);
      data_.assign(n * element_bytes_, 0);
      for (std::size_t i = 0; i < n; ++i) {
        const dac::Value& v = *values[i];
        if (v.IsNull()) continue;
        const std::int64_t x = v.Kind() == dac::ValueKind::kBoolean ? (v.AsBoolean() ? 1 : 0) : v.AsInteger();
        std::memcpy(&data_[i * element_bytes_], &x, sizeof x);
        lengths_[i] = sizeof x;
      }
      sql_type_ = SQL_BIGINT;
      widest = 19;
      break;

    case Form::kDecimalText: {
      c_type_ = SQL_C_CHAR;
      std::vector<std::string> texts(n);
      int integer_digits = 1;
      int scale = 0;
      element_bytes_ = 2;
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        texts[i] = DecimalText(*values[i]);
        element_bytes_ = std::max(element_bytes_, texts[i].size() + 1);
        if (values[i]->Kind() == dac::ValueKind::kDecimal) {
          integer_digits = std::max(integer_digits, values[i]->AsDecimal().IntegerDigits());
          scale = std::max(scale, values[i]->AsDecimal().Scale());
        } else {
          integer_digits = std::max(integer_digits, static_cast<int>(texts[i].size()));
        }
      }
      data_.assign(n * element_bytes_, 0);
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        std::memcpy(&data_[i * element_bytes_], texts[i].data(), texts[i].size());
        lengths_[i] = static_cast<long>(texts[i].size());
      }
      sql_type_ = SQL_DECIMAL;
      widest = static_cast<std::size_t>(integer_digits + scale);
      decimal_digits_ = static_cast<short>(scale);
      break;
    }

    case Form::kDouble:
      c_type_ = SQL_C_DOUBLE;
      element_bytes_ = sizeof(double);
      data_.assign(n * element_bytes_, 0);
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        const double x = values[i]->AsDouble();
        std::memcpy(&data_[i * element_bytes_], &x, sizeof x);
        lengths_[i] = sizeof x;
      }
      sql_type_ = SQL_DOUBLE;
      widest = 15;
      break;

    case Form::kWideText: {
      c_type_ = SQL_C_WCHAR;
      std::vector<std::u16string> texts(n);
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        const dac::Value& v = *values[i];
        texts[i] = ToUtf16(v.Kind() == dac::ValueKind::kText ? v.AsText() : v.ToText());
        widest = std::max(widest, texts[i].size());
      }
      element_bytes_ = (widest + 1) * sizeof(char16_t);
      data_.assign(n * element_bytes_, 0);
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        std::memcpy(&data_[i * element_bytes_], texts[i].data(), texts[i].size() * sizeof(char16_t));
        lengths_[i] = static_cast<long>(texts[i].size() * sizeof(char16_t));
      }
      sql_type_ = widest > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
      break;
    }

    case Form::kBinary:
      c_type_ = SQL_C_BINARY;
      for (const dac::Value* v : values) {
        if (!v->IsNull()) widest = std::max(widest, v->AsBytes().size());
      }
      element_bytes_ = widest;
      data_.assign(n * element_bytes_, 0);
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        const dac::Bytes& b = values[i]->AsBytes();
        if (!b.empty()) std::memcpy(&data_[i * element_bytes_], b.data(), b.size());
        lengths_[i] = static_cast<long>(b.size());
      }
      sql_type_ = widest > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
      break;

    case Form::kTimestamp: {
      c_type_ = SQL_C_TYPE_TIMESTAMP;
      short digits = 0;
      if (target && IsTimestampType(target->sql_type)) {
        // Drivers refuse a fraction finer than the column keeps (SQL Server's
        // "Datetime field overflow"); the server would drop those digits anyway.
        digits = std::clamp<short>(target->decimal_digits, 0, 9);
      } else {
        for (const dac::Value* v : values) {
          if (!v->IsNull()) digits = std::max(digits, FractionDigits(v->AsDateTime()));
        }
      }
      element_bytes_ = sizeof(SQL_TIMESTAMP_STRUCT);
      data_.assign(n * element_bytes_, 0);
      for (std::size_t i = 0; i < n; ++i) {
        if (values[i]->IsNull()) continue;
        const dac::DateTime& d = values[i]->AsDateTime();
        SQL_TIMESTAMP_STRUCT ts{};
        ts.year = static_cast<SQLSMALLINT>(d.year);
        ts.month = static_cast<SQLUSMALLINT>(d.month);
        ts.day = static_cast<SQLUSMALLINT>(d.day);
        ts.hour = static_cast<SQLUSMALLINT>(d.hour);
        ts.minute = static_cast<SQLUSMALLINT>(d.minute);
        ts.second = static_cast<SQLUSMALLINT>(d.second);
        ts.fraction = static_cast<SQLUINTEGER>(TruncatedNanoseconds(d.nanosecond, digits));
        std::memcpy(&data_[i * element_bytes_], &ts, sizeof ts);
        lengths_[i] = sizeof ts;
      }
      sql_type_ = SQL_TYPE_TIMESTAMP;
      widest = digits ? 20u + static_cast<std::size_t>(digits) : 19u;
      decimal_digits_ = digits;
      break;
    }
  }

  if (data_.empty()) data_.assign(element_bytes_, 0);
  column_size_ = widest;
  if (target) {
    sql_type_ = target->sql_type;
    decimal_digits_ = target->decimal_digits;
    if (IsTextType(target->sql_type) || IsBinaryType(target->sql_type)) {
      // Declared no narrower than the widest value, so that a value too long
      // for the column reaches the server and is refused there, in its words,
      // rather than cut short by the driver.
      column_size_ = IsLongType(target->sql_type) || target->column_size == 0
                         ? widest
                         : std::max(target->column_size, widest);
    } else {
      column_size_ = target->column_size ? target->column_size : widest;
    }
  }
}

void ParameterColumn::Bind(const Handle& statement, unsigned short number) {
  Check(SQLBindParameter(statement.Get(), number, SQL_PARAM_INPUT, c_type_, sql_type_, column_size_, decimal_digits_,
                         data_.data(), static_cast<SQLLEN>(element_bytes_), lengths_.data()),
        statement);
}

std::vector<ParameterColumn> BindParameters(const Handle& statement, const std::vector<dac::Value>& params) {
  std::vector<ParameterColumn> columns;
  columns.reserve(params.size());
  for (const dac::Value& v : params) columns.emplace_back(v);
  for (std::size_t i = 0; i < columns.size(); ++i) columns[i].Bind(statement, static_cast<unsigned short>(i + 1));
  return columns;
}

}  // namespace odbc
