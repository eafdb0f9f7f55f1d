// The column types of the embedded SQL Server instance: parsing a declared
// T-SQL type ("varchar(10)", "decimal(19, 4)", "varbinary(max)"), the field
// type a client sees for it, how its values are kept in SQLite, the
// conversions on the way in (with the server's refusals) and out, and the
// parts DATEPART takes from a date-time.
//
// Storage: integers (bit included) as SQLite integers, float and real as
// doubles, texts as texts, binaries as blobs; money and decimal values as
// their canonical decimal text (never a double, so no digit is lost) scaled to
// the column's scale; date-times as "yyyy-mm-dd hh:nn:ss[.fff]". Texts, exact
// numbers and date-times are compared through the collations of
// RegisterSqlServerCollations, so a filter or a sort on them behaves as on a
// real server.
//
// Pure functions and plain values; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dac/driver.h"

struct sqlite3;

namespace embedded::sqlserver {

enum class BaseType {
  kBit, kTinyint, kSmallint, kInt, kBigint,
  kFloat, kReal,
  kMoney, kSmallmoney, kDecimal, kNumeric,
  kChar, kVarchar, kText, kNchar, kNvarchar, kNtext,
  kBinary, kVarbinary, kImage,
  kDatetime, kSmalldatetime, kDate, kTime, kDatetime2,
  kUniqueidentifier,
};

struct SqlType {
  static constexpr int kMax = -1;  // the length of a (max) type

  BaseType base = BaseType::kInt;
  int length = 0;  // characters or bytes; kMax for (max); 0 where the type has none
  int precision = 0;
  int scale = 0;

  // Parses a declared type; a missing length or precision takes the server's
  // default (char 1, decimal(18, 0), float 53). Names compare without regard to
  // case; sysname is nvarchar(128). Returns nothing for an unknown name or bad
  // arguments.
  static std::optional<SqlType> Parse(std::string_view declared);

  // The server's own spelling: "varchar(10)", "decimal(19, 4)", "int".
  std::string ToString() const;
  // The name alone, as messages use it: "tinyint", "money", "numeric".
  std::string Name() const;

  bool IsInteger() const;
  bool IsExactNumber() const;  // money, smallmoney, decimal, numeric
  bool IsText() const;
  bool IsBinary() const;
  bool IsDateTime() const;

  // The column's SQLite declaration: its storage class and collation.
  std::string StorageDeclaration() const;

  // The client's view: field type, size, precision and scale; the caller
  // fills name, nullability and the identity flag.
  dac::Column Describe() const;

  // A value on its way into a column of this type, as SQLite keeps it.
  // NULL stays NULL (the caller checks nullability). Throws dac::DriverError
  // with the server's text where a server refuses the value: a text too long
  // ("String or binary data would be truncated."), a number outside the type's
  // range (arithmetic overflow), a date-time outside the type's range, a text
  // that is no number or date.
  dac::Value ToStored(const dac::Value& v) const;
  // ToStored would return `v` itself (a text or binary value that fits as it
  // is): the caller may bind `v` without making the copy.
  bool StoresAsIs(const dac::Value& v) const;

  // A stored value typed for the client: exact decimals for money and
  // decimal, DateTime for date-times, Booleans for bit.
  dac::Value FromStored(const dac::Value& stored) const;

  friend bool operator==(const SqlType&, const SqlType&) = default;
};

// The canonical name of a DATEPART unit ("yy" and "yyyy" are "year"), or
// nothing for a word the server does not take as one.
std::optional<std::string> DatePartName(std::string_view word);
// DATEPART of a date-time for a canonical unit; weeks start on Sunday, as
// under the default DATEFIRST 7.
std::int64_t DatePartOf(std::string_view part, const dac::DateTime& d);

// Names of the collations that StorageDeclaration uses.
inline constexpr const char* kTextCollation = "tsql_ci";
inline constexpr const char* kDecimalCollation = "tsql_decimal";
inline constexpr const char* kDateTimeCollation = "tsql_datetime";

// Registers the three collations on a SQLite handle: texts without regard to
// case and trailing blanks (a default collation's rules), decimal texts by
// value, date-time texts by time. Throws std::runtime_error when SQLite
// refuses.
void RegisterSqlServerCollations(sqlite3* db);

}  // namespace embedded::sqlserver
