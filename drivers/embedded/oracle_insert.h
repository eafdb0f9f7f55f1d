// Single-row inserts into the embedded Oracle instance's tables, the bulk of
// a loaded script and of Connection::InsertRows. Values are converted here as
// Oracle converts them on an insert (oracle_types.h ToStored), so that a
// NUMBER keeps every digit and a too long text is refused with Oracle's
// message; statements are prepared once per table and column list and reused
// while the dictionary stays the same.
//
// Threads: belongs to the thread of its session, which must outlive it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dac/value.h"
#include "drivers/embedded/oracle_session.h"

namespace embedded {

class OracleInserter {
 public:
  explicit OracleInserter(OracleSession& session) : session_(session) {}

  // Runs an "INSERT INTO t [(columns)] VALUES (...)" whose values are
  // literals (numbers, texts, NULL, DATE '...', TIMESTAMP '...', TO_DATE,
  // TO_TIMESTAMP, TO_NUMBER, HEXTORAW, EMPTY_BLOB) and parameters; returns the
  // rows inserted. Returns nothing, having done nothing, for any other
  // statement: the general path runs it. Throws dac::DriverError.
  std::optional<std::int64_t> TryExecute(const std::vector<Token>& tokens, const std::vector<dac::Value>& params,
                                         const std::string& sql);

  // Inserts one row; `columns` are Oracle names (empty: all, in order).
  // Throws dac::DriverError.
  void Insert(const TableName& table, const std::vector<std::string>& columns, const dac::Row& values,
              const std::string& sql);

 private:
  struct Prepared {
    SqliteStatement statement;
    std::vector<OracleType> types;
    std::vector<ColumnPath> paths;
  };
  Prepared& StatementFor(const TableName& table, const std::vector<std::string>& columns, std::size_t value_count);

  OracleSession& session_;
  std::uint64_t generation_ = 0;
  std::unordered_map<std::string, Prepared> cache_;
};

}  // namespace embedded
