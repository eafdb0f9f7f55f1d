// Column types of the embedded Oracle instance: how a type written in a
// CREATE TABLE is understood, what the dictionary says about it, how its
// values are kept in SQLite and how they come back through the driver seam.
//
// Storage. SQLite has no exact decimal, and its NUMERIC affinity rounds long
// numbers to 15 digits, so NUMBER columns have no affinity and we choose each
// value's storage: a whole number inside int64 as an integer; a number whose
// shortest double text is the very same number as a double (so SQLite compares
// and sorts it as a number, and it reads back digit for digit); any other
// number as its canonical text. Dates and timestamps are "yyyy-mm-dd hh:nn:ss"
// texts (with the fraction of a timestamp), which sort as the values do.
//
// The SQLite declared type of every column carries the Oracle type, e.g.
// BLOB 'NUMBER(10,2) NOT NULL': the first word gives SQLite the affinity we
// want, the quoted part lets a result column be described from
// sqlite3_column_decltype alone, through views and subqueries.
//
// Pure functions and plain values; safe from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/sql_lexer.h"

namespace embedded {

enum class OracleTypeKind {
  kNumber,
  kFloat,
  kBinaryFloat,
  kBinaryDouble,
  kVarchar2,
  kNVarchar2,
  kChar,
  kNChar,
  kClob,
  kNClob,
  kLong,
  kDate,
  kTimestamp,
  kBlob,
  kRaw,
  kLongRaw,
};

struct OracleType {
  OracleTypeKind kind = OracleTypeKind::kVarchar2;
  // NUMBER: precision and scale as declared (NUMBER(*,2) has no precision,
  // INTEGER is NUMBER(*,0)); FLOAT: binary precision; TIMESTAMP: fraction digits.
  std::optional<int> precision;
  std::optional<int> scale;
  int length = 0;  // characters of a text type, bytes of RAW

  static OracleType Of(OracleTypeKind kind, int length = 0) {
    OracleType t;
    t.kind = kind;
    t.length = length;
    return t;
  }

  // As Oracle spells the type: "NUMBER(10,2)", "VARCHAR2(30)", "TIMESTAMP(6)".
  std::string Spelling() const;
  // all_tab_columns' view of the type.
  std::string DataType() const;  // "NUMBER", "VARCHAR2", "TIMESTAMP(6)"
  int DataLength() const;
  int CharLength() const;  // 0 for types that are not texts
  bool IsText() const;
  bool IsNumber() const { return kind == OracleTypeKind::kNumber; }
  // NUMBER(p,0) with p <= 18: its values come back as 64-bit integers.
  bool IsInteger() const;

  // The column as the seam describes it.
  dac::Column Describe(std::string name, bool nullable) const;

  friend bool operator==(const OracleType&, const OracleType&) = default;
};

// Reads a type as written in a column definition starting at tokens[i] and
// advances i past it. Throws dac::DriverError ORA-00902 for an unknown type.
OracleType ParseOracleType(const std::vector<Token>& tokens, std::size_t& i);
// The same for a type's text, e.g. a Spelling(); nothing when it is not one.
std::optional<OracleType> ParseOracleTypeText(std::string_view text);

// The SQLite declared type of a column (see the opening comment), and back.
std::string SqliteDeclaredType(const OracleType& type, bool nullable);
struct DeclaredColumnType {
  OracleType type;
  bool nullable = true;
};
std::optional<DeclaredColumnType> ParseSqliteDeclaredType(std::string_view declared);

// The storage form of a number (see the opening comment). The decimal's
// trailing fraction zeros are dropped first: Oracle keeps no scale per value.
dac::Value NumberStorage(const dac::Decimal& d);
// A stored number (integer, double or text) as an exact decimal; nothing for
// a text that is no number. A double reads as its shortest text; `scale`, the
// column's, only helps find it quicker.
std::optional<dac::Decimal> StoredNumber(const dac::Value& stored, std::optional<int> scale = std::nullopt);

// Names for the messages of a refused value: owner, table, column.
struct ColumnPath {
  std::string owner, table, column;
  std::string Quoted() const;  // "OWNER"."TABLE"."COLUMN"
};

// Converts a value to what a column of `type` keeps, as Oracle converts on an
// insert: numbers rounded to the scale, texts to numbers and dates, hex texts
// to bytes, '' to NULL. Throws dac::DriverError with Oracle's message for a
// value the column cannot take (ORA-01438, ORA-12899, ORA-01722, ORA-01861...).
dac::Value ToStored(const OracleType& type, const dac::Value& value, const ColumnPath& where);

// A stored value as the seam delivers it for a column of `type`: exact
// decimals (integers for IsInteger types), DateTime for dates, bytes, texts
// (CHAR padded to its length, as Oracle pads it). Values that do not fit the
// type (written by SQL that bypassed ToStored) come back as they are stored.
// Takes the value by value: most come back unchanged, without a copy.
dac::Value FromStored(const OracleType& type, dac::Value stored);

// The shortest text that reads back as the same double.
std::string ShortestDoubleText(double v);

}  // namespace embedded
