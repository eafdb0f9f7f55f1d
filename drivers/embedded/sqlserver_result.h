// The rows of one statement of an embedded SQL Server session, as a client
// sees them: columns typed by the declared T-SQL types of the table columns
// they come from (or by the form of an expression, or else by the first
// value), values converted from their stored form.
//
// Threads: a result set belongs to its connection's thread. It keeps the
// SQLite handle it reads alive, so it may outlive a USE of its session.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/sqlserver_session.h"

namespace embedded::sqlserver {

class ResultSet {
 public:
  virtual ~ResultSet() = default;
  virtual const std::vector<dac::Column>& Columns() const = 0;
  // Fills `row` with the next row; false when none is left. Throws
  // dac::DriverError when the server fails while producing it.
  virtual bool Next(dac::Row& row) = 0;
  // True once Next has nothing more to give.
  virtual bool AtEnd() const = 0;
};

// Prepares and starts `translation` on the session's database, binding
// `params` to its "?" markers. Throws dac::DriverError (an unknown table or
// column, a failure on the first row).
std::unique_ptr<ResultSet> OpenResult(Session& session, const Translation& translation,
                                      const std::vector<dac::Value>& params);

// Runs a translated statement that returns no rows; returns SQLite's count
// of changed rows.
std::int64_t RunTranslated(Session& session, const Translation& translation, const std::vector<dac::Value>& params);

}  // namespace embedded::sqlserver
