// Oracle's SQL functions for the embedded Oracle instance, registered on a
// SQLite handle: NVL, NVL2, DECODE, SYS_CONTEXT('USERENV', ...), SYSDATE and
// SYSTIMESTAMP (called with "()"; the translation adds them), TO_DATE,
// TO_TIMESTAMP, TO_CHAR, TO_NUMBER, HEXTORAW, RAWTOHEX, EMPTY_BLOB, EMPTY_CLOB,
// LPAD, RPAD, CONCAT, GREATEST, LEAST, and Oracle's own versions of SUBSTR,
// INSTR, ROUND, TRUNC and MOD (exact on numbers, 1-based as Oracle counts).
// Errors are raised in Oracle's words ("ORA-01722: invalid number").
//
// Threads: the functions run on the thread of the handle they are registered
// on; `context` is read by them and must outlive the handle's statements.
#pragma once

#include <string>

#include "drivers/embedded/sqlite_db.h"

namespace embedded {

// What SYS_CONTEXT('USERENV', ...) reports for a session.
struct OracleSessionContext {
  std::string session_user;
  std::string current_schema;
};

void RegisterOracleFunctions(SqliteDb& db, const OracleSessionContext* context);

}  // namespace embedded
