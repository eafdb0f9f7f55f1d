// A running query of the embedded Oracle instance: prepares a translated
// statement, describes its result columns in Oracle's terms and hands out its
// rows one at a time, straight from SQLite (nothing is read ahead beyond one
// row, so a result of any size streams).
//
// Columns are described from the Oracle type that every table column carries
// in its SQLite declared type (see oracle_types.h), through views and
// subqueries. A computed column has none; its type is inferred from its
// first value: an integer is a NUMBER of whole numbers, a double a NUMBER, a
// text in the stored form of a date a DATE, other texts a VARCHAR2.
//
// Threads: belongs to the thread of its session, which must outlive it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/oracle_session.h"

namespace embedded {

// A value as it is bound to SQLite: numbers in their storage form (see
// oracle_types.h), so that a decimal parameter meets a NUMBER column as a number.
dac::Value BindForm(const dac::Value& v);

class OracleQuery {
 public:
  // Prepares, binds and runs up to the first row. Throws dac::DriverError.
  OracleQuery(OracleSession& session, const TranslatedSql& sql, const std::vector<dac::Value>& params,
              std::string original_sql);

  const std::vector<dac::Column>& Columns() const { return columns_; }
  // The Oracle type of column i, when it comes from a table column.
  const std::optional<OracleType>& TypeOf(std::size_t i) const { return types_[i]; }
  // Moves to the next row and fills `row`; false when no row is left.
  bool Next(dac::Row& row);
  // True while a row is left for Next.
  bool HasRow() const { return has_row_; }

 private:
  bool Step();
  dac::Value Convert(std::size_t i) const;

  OracleSession& session_;
  SqliteStatement statement_;
  std::string sql_;
  std::vector<dac::Column> columns_;
  std::vector<std::optional<OracleType>> types_;
  bool has_row_ = false;  // the statement stands on a row not yet handed out
};

}  // namespace embedded
