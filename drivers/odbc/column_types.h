// From what an ODBC driver says of a result column (SQLDescribeCol,
// SQLColAttribute) to the dac::Column the data-access components see, and to
// the way the cursor reads the column's values.
//
// Exact numbers are read as their text and become dac::Decimal, never a
// double: a migration that rounds a value has lost data. Columns without a
// bounded size (LOBs: CLOB, BLOB, text, image, the (max) types) are read in
// chunks with SQLGetData; all others are bound to row arrays.
//
// Pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <string>

#include "dac/driver.h"

namespace odbc {

// What the driver said of one column; sql_type is an SQL_... type code.
struct ColumnDescription {
  std::string name;
  short sql_type = 0;
  std::size_t column_size = 0;
  short decimal_digits = 0;
  bool nullable = true;
  bool auto_increment = false;
  std::string type_name;  // the server's own name: "varchar", "money", "NUMBER"
};

// The C form a column's values are fetched in.
enum class ReadAs {
  kInteger,      // SQL_C_SBIGINT
  kBoolean,      // SQL_C_BIT
  kDouble,       // SQL_C_DOUBLE
  kDecimalText,  // SQL_C_CHAR holding the exact number
  kText,         // SQL_C_WCHAR
  kBytes,        // SQL_C_BINARY
  kTimestamp,    // SQL_C_TYPE_TIMESTAMP
  kDate,         // SQL_C_TYPE_DATE
  kTime,         // SQL_C_TYPE_TIME
};

struct ColumnPlan {
  dac::Column column;
  ReadAs read_as = ReadAs::kText;
  bool chunked = false;          // a LOB: read with SQLGetData, chunk by chunk
  std::size_t buffer_bytes = 0;  // one value's room in a row array (bound columns)
};

// Texts longer than this many characters are read as LOBs.
inline constexpr std::size_t kMaxBoundCharacters = 4000;

// `kind` is the server the connection stands for: from an Oracle source a
// NUMBER of scale 0 and up to 18 digits is an integer, any other NUMBER an
// ftFMTBcd, and approximate numbers are read as text too, because Oracle's
// driver describes an unconstrained NUMBER as a floating-point column.
ColumnPlan PlanColumn(const ColumnDescription& d, dac::ServerKind kind);

}  // namespace odbc
