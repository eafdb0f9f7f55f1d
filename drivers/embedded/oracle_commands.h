// The statements of the embedded Oracle instance that are neither queries nor
// DML: CREATE USER / ROLE / TABLE (also GLOBAL TEMPORARY, and AS SELECT) /
// VIEW / MATERIALIZED VIEW / INDEX, DROP of each, ALTER USER, ALTER SESSION SET
// CURRENT_SCHEMA, ALTER TABLE ... ADD CONSTRAINT, GRANT and REVOKE of roles
// (and of SYSDBA), ANALYZE TABLE, TRUNCATE TABLE, COMMENT ON, COMMIT and
// ROLLBACK. Grants of system and object privileges are accepted and not
// enforced: every session may read every schema, as a stand-in for the
// privileges a migration account holds.
//
// Threads: runs on the thread of its session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "drivers/embedded/oracle_session.h"
#include "drivers/embedded/sql_lexer.h"

namespace embedded {

// Runs one statement (its tokens without a trailing ";"). Returns the rows it
// affected (0 for DDL). Throws dac::DriverError with Oracle's message, e.g.
// "ORA-00900: invalid SQL statement" for a statement the instance does not know.
std::int64_t ExecuteOracleCommand(OracleSession& session, const std::vector<Token>& tokens, const std::string& sql);

}  // namespace embedded
