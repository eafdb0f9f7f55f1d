// Row inserts into one table of an embedded SQL Server database, the one path
// that both INSERT statements and the connection's InsertRows take: each value
// is converted to its column's declared type with the server's refusals
// (sqlserver_types.h), NULLs are refused where the column does not allow them,
// identity values are drawn (or, with IDENTITY_INSERT on, taken from the row),
// and defaults fill the columns a row leaves out.
//
// One prepared SQLite statement is reused for every row. The writer works
// inside a transaction its caller holds (a StatementScope or the caller's own)
// and must Finish() inside it, which keeps the identity counter.
//
// Threads: belongs to its session's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/sqlite_db.h"
#include "drivers/embedded/sqlserver_session.h"

struct sqlite3_stmt;

namespace embedded::sqlserver {

class TableWriter {
 public:
  // `columns` name the values of each row, in order, without regard to case.
  // Throws dac::DriverError: "Invalid column name" (207), an explicit
  // identity value with IDENTITY_INSERT off (544).
  TableWriter(Session& session, TableDefinition table, const std::vector<std::string>& columns);

  // Reads the identity counter and evaluates the defaults; call once per
  // transaction before the first Insert.
  void Start();
  // Inserts one row (values in the order of the constructor's columns).
  // Throws dac::DriverError with the server's text when the row is refused;
  // the writer stays usable for the next row.
  void Insert(const dac::Row& values);
  // Insert in two steps. Convert applies the server's conversions and
  // refusals to one row without touching the database, so a caller can run
  // it before taking the write gate; Write then inserts the converted row.
  // Both throw as Insert does. A converted row points into `values` (texts
  // and bytes that go in as they are), which must outlive it.
  struct ConvertedRow {
    std::vector<dac::Value> stored;         // values that needed converting
    std::vector<const dac::Value*> bound;   // one per parameter of the insert
  };
  ConvertedRow Convert(const dac::Row& values) const;
  void Write(ConvertedRow& row);
  // Keeps the identity counter; call before the transaction commits.
  void Finish();

  const TableDefinition& Table() const { return table_; }
  std::size_t ColumnCount() const { return given_.size(); }

 private:
  Session& session_;
  TableDefinition table_;
  std::vector<const TableColumn*> given_;   // per value of a row
  std::vector<const TableColumn*> filled_;  // defaults of left-out columns
  std::vector<dac::Value> fill_values_;
  const TableColumn* identity_ = nullptr;   // drawn by the writer, when not given
  const TableColumn* explicit_identity_ = nullptr;
  std::size_t explicit_identity_index_ = 0;
  const TableColumn* missing_not_null_ = nullptr;  // left out, no default, NULL refused
  std::optional<std::int64_t> last_identity_;
  bool identity_moved_ = false;
  struct Finalizer {
    void operator()(sqlite3_stmt* s) const noexcept;
  };
  std::unique_ptr<sqlite3_stmt, Finalizer> insert_;
  std::size_t stored_count_ = 0;  // values bound per row: given, drawn identity, defaults
};

}  // namespace embedded::sqlserver
