// Runs T-SQL batches on an embedded SQL Server session: splits the batch into
// statements (sqlserver_batch.h) and hands each to the handler of its kind.
// Handlers translate what SQLite can run as it is (SELECT, UPDATE, DELETE)
// and carry out the rest themselves against the instance's catalogue (CREATE
// TABLE with its declared types and defaults, ALTER TABLE ... ADD DEFAULT,
// INSERT through the table writer, CREATE DATABASE with its data file, ALTER
// DATABASE ... SET RECOVERY, USE, SET, IF, transactions, logins and users, and
// the procedures for server roles, database roles, the database owner and
// statistics). A statement kind without a handler fails with a message that
// names it.
//
// Statements run in order; the first that fails ends the batch and its error
// rises, with the statement's text as context.
//
// Threads: belongs to its session's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/sqlserver_result.h"
#include "drivers/embedded/sqlserver_session.h"

namespace embedded::sqlserver {

struct BatchOutcome {
  // The first result set of the batch, when one was asked for.
  std::unique_ptr<ResultSet> result;
  // Rows changed by the last statement that changes rows; -1 when none did.
  std::int64_t rows_affected = -1;
};

// Runs `batch`; `params` bind the "?" markers of its statements in order.
// With `want_result`, the first statement that returns rows becomes the
// outcome's result set (the statements after it still run). Throws
// dac::DriverError.
BatchOutcome RunBatch(Session& session, const std::string& batch, const std::vector<dac::Value>& params,
                      bool want_result);

}  // namespace embedded::sqlserver
