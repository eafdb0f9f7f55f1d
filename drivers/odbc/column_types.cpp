#include "drivers/odbc/column_types.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>

#include "platform/text.h"

namespace odbc {
namespace {

using dac::FieldType;

bool IsMoney(const std::string& type_name) {
  const std::string t = platform::CaseFold(type_name);
  return t == "money" || t == "smallmoney";
}

// Room for a value of `characters` UTF-16 units and the terminator; a
// character outside the basic plane takes two units.
std::size_t TextBytes(std::size_t characters) { return (2 * characters + 1) * sizeof(char16_t); }

void PlanText(ColumnPlan& p, const ColumnDescription& d, FieldType bounded, FieldType lob, bool long_type) {
  p.read_as = ReadAs::kText;
  p.column.size = static_cast<int>(std::min<std::size_t>(d.column_size, 0x7FFFFFFF));
  if (long_type || d.column_size == 0 || d.column_size > kMaxBoundCharacters) {
    p.column.type = lob;
    p.chunked = true;
  } else {
    p.column.type = bounded;
    p.buffer_bytes = TextBytes(d.column_size);
  }
}

void PlanBytes(ColumnPlan& p, const ColumnDescription& d, FieldType bounded, bool long_type) {
  p.read_as = ReadAs::kBytes;
  p.column.size = static_cast<int>(std::min<std::size_t>(d.column_size, 0x7FFFFFFF));
  if (long_type || d.column_size == 0 || d.column_size > 2 * kMaxBoundCharacters) {
    p.column.type = FieldType::ftBlob;
    p.chunked = true;
  } else {
    p.column.type = bounded;
    p.buffer_bytes = d.column_size;
  }
}

void PlanExact(ColumnPlan& p, const ColumnDescription& d, dac::ServerKind kind) {
  const int precision = static_cast<int>(d.column_size);
  const int scale = d.decimal_digits;
  p.column.precision = precision;
  p.column.scale = scale;
  // Sign, point and terminator around the digits; an Oracle NUMBER may also
  // come in exponent form. No driver describes fewer digits than it sends,
  // but some describe none at all.
  p.buffer_bytes = std::max<std::size_t>(static_cast<std::size_t>(precision) + 8, 64);
  p.read_as = ReadAs::kDecimalText;
  if (IsMoney(d.type_name)) {
    p.column.type = FieldType::ftCurrency;
  } else if (kind == dac::ServerKind::kOracle) {
    if (scale == 0 && precision > 0 && precision <= 18) {
      p.column.type = precision <= 9 ? FieldType::ftInteger : FieldType::ftLargeint;
      p.read_as = ReadAs::kInteger;
      p.buffer_bytes = sizeof(std::int64_t);
    } else {
      p.column.type = FieldType::ftFMTBcd;
    }
  } else {
    // What fits a currency-sized BCD travels as ftBCD; wider values need ftFMTBcd.
    p.column.type = precision <= 18 && scale <= 4 ? FieldType::ftBCD : FieldType::ftFMTBcd;
  }
}

void PlanInteger(ColumnPlan& p, const ColumnDescription& d, FieldType type) {
  p.column.type = type;
  p.column.precision = static_cast<int>(d.column_size);
  p.read_as = ReadAs::kInteger;
  p.buffer_bytes = sizeof(std::int64_t);
}

}  // namespace

ColumnPlan PlanColumn(const ColumnDescription& d, dac::ServerKind kind) {
  ColumnPlan p;
  p.column.name = d.name;
  p.column.nullable = d.nullable;
  p.column.identity = d.auto_increment;
  p.column.declared_type = d.type_name;
  switch (d.sql_type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
      PlanText(p, d, FieldType::ftString, FieldType::ftMemo, false);
      break;
    case SQL_LONGVARCHAR:
      PlanText(p, d, FieldType::ftString, FieldType::ftMemo, true);
      break;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
      PlanText(p, d, FieldType::ftWideString, FieldType::ftWideMemo, false);
      break;
    case SQL_WLONGVARCHAR:
      PlanText(p, d, FieldType::ftWideString, FieldType::ftWideMemo, true);
      break;
    case SQL_BINARY:
      PlanBytes(p, d, FieldType::ftBytes, false);
      break;
    case SQL_VARBINARY:
      PlanBytes(p, d, FieldType::ftVarBytes, false);
      break;
    case SQL_LONGVARBINARY:
      PlanBytes(p, d, FieldType::ftBlob, true);
      break;
    case SQL_BIT:
      p.column.type = FieldType::ftBoolean;
      p.read_as = ReadAs::kBoolean;
      p.buffer_bytes = 1;
      break;
    case SQL_TINYINT:
      PlanInteger(p, d, FieldType::ftWord);
      break;
    case SQL_SMALLINT:
      PlanInteger(p, d, FieldType::ftSmallint);
      break;
    case SQL_INTEGER:
      PlanInteger(p, d, FieldType::ftInteger);
      break;
    case SQL_BIGINT:
      PlanInteger(p, d, FieldType::ftLargeint);
      break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      PlanExact(p, d, kind);
      break;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      p.column.type = FieldType::ftFloat;
      p.column.precision = static_cast<int>(d.column_size);
      if (kind == dac::ServerKind::kOracle) {
        p.read_as = ReadAs::kDecimalText;
        p.buffer_bytes = 64;
      } else {
        p.read_as = ReadAs::kDouble;
        p.buffer_bytes = sizeof(double);
      }
      break;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      p.column.type = FieldType::ftDate;
      p.read_as = ReadAs::kDate;
      p.buffer_bytes = sizeof(SQL_DATE_STRUCT);
      break;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      p.column.type = FieldType::ftTime;
      p.read_as = ReadAs::kTime;
      p.buffer_bytes = sizeof(SQL_TIME_STRUCT);
      break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      p.column.type = FieldType::ftDateTime;
      p.column.scale = d.decimal_digits;
      p.read_as = ReadAs::kTimestamp;
      p.buffer_bytes = sizeof(SQL_TIMESTAMP_STRUCT);
      break;
    case SQL_GUID:
      p.column.type = FieldType::ftGuid;
      p.column.size = 38;
      p.read_as = ReadAs::kText;
      p.buffer_bytes = TextBytes(40);
      break;
    default:
      // A type this driver has no rule for (an interval, a time zone offset, a
      // server's own type) still arrives: as the driver's text form of it.
      PlanText(p, d, FieldType::ftString, FieldType::ftMemo, false);
      break;
  }
  return p;
}

}  // namespace odbc
