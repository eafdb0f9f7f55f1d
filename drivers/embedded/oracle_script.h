// Oracle-dialect scripts for the embedded Oracle instance, read as SQL*Plus
// reads them: a statement ends at a ";" outside quotes and comments, or at a
// line holding only "/" (which alone ends PL/SQL-like blocks: BEGIN, DECLARE,
// CREATE PROCEDURE...); a "/" line after a ";" adds nothing. SQL*Plus's own
// line commands (SET, PROMPT, REM, SPOOL, WHENEVER, EXIT...) are skipped.
//
// Threads: a reader belongs to one thread; RunOracleScript uses the
// connection on the caller's thread.
#pragma once

#include <cstddef>
#include <istream>
#include <stdexcept>
#include <string>

#include "dac/driver.h"

namespace embedded {

struct ScriptStatement {
  std::string text;  // without the ";" that ended it
  int line = 0;      // of the statement's first character, from 1
};

class OracleScriptReader {
 public:
  explicit OracleScriptReader(std::istream& in) : in_(in) {}
  // The next statement; false at the end of the script. The text of a
  // statement that the script leaves unterminated at its end counts as one.
  bool Next(ScriptStatement& statement);

 private:
  std::istream& in_;
  std::string pending_;  // the rest of a line after a ";"
  int pending_line_ = 0;
  int line_ = 0;
};

// A statement of a script failed; what() is "SOURCE:LINE: " and the server's message.
class OracleScriptError : public std::runtime_error {
 public:
  OracleScriptError(const std::string& source, int line, const dac::DriverError& cause);
  int Line() const { return line_; }
  const dac::DriverError& Cause() const { return cause_; }

 private:
  int line_;
  dac::DriverError cause_;
};

// Runs every statement of the script on `connection` in one transaction
// (COMMIT statements of the script are passed over: a bulk load commits once,
// at its end). Returns the number of statements run. On the first failure
// rolls the whole script back and throws OracleScriptError naming `source`.
std::size_t RunOracleScript(dac::Connection& connection, std::istream& script, const std::string& source);

}  // namespace embedded
