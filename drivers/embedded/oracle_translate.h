// Rewrites Oracle-dialect statements (queries and DML) into SQLite's dialect
// for the embedded Oracle instance. What changes:
// - table references become the SQLite tables of the dictionary, resolved by
//   the caller (unknown ones raise ORA-00942), keeping the name the statement
//   used as the alias, so that "T.col" and "schema.T.col" still work;
// - ORDER BY terms get Oracle's order of NULLs (last ascending, first
//   descending; SQLite's is the opposite) unless they name one;
// - SYSDATE, SYSTIMESTAMP, USER, CURRENT_SCHEMA, DATE '...', TIMESTAMP '...',
//   '' (NULL in Oracle) and MINUS become their SQLite forms;
// - "DELETE t" gains its FROM.
// Everything else passes as written: SQLite understands most of the SQL that
// this system sends, and the functions it lacks are registered by
// oracle_functions.h.
// Pure functions; safe from any thread.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/embedded/sql_lexer.h"

namespace embedded {

enum class StatementKind { kSelect, kInsert, kUpdate, kDelete, kOther };

// A name as Oracle stores it: upper case unless written in double quotes.
std::string OracleName(const Token& token);

struct TableName {
  std::optional<std::string> schema;
  std::string name;
};

// Gives the SQLite name (quoted) of a table reference, or throws.
using TableResolver = std::function<std::string(const TableName&)>;

struct TranslatedSql {
  std::string text;
  StatementKind kind = StatementKind::kOther;
  // Names the statement wrote in double quotes; result columns named so keep
  // their letter case, all others are reported upper case as Oracle does.
  std::vector<std::string> quoted_names;
  // The statement's bare words, upper case: a result column whose name has
  // lower-case letters and is not among them came from a "*" and keeps its case.
  std::set<std::string> words;
};

StatementKind KindOf(const std::vector<Token>& tokens);

// Throws dac::DriverError: ORA-00942 from the resolver, ORA-01861 for a bad
// date literal, ORA-00900 for text the lexer cannot read.
TranslatedSql TranslateStatement(std::string_view sql, const TableResolver& resolve);

// An expression without table references (a column's DEFAULT).
std::string TranslateExpression(std::string_view expression);

// The tokens of one statement, without a trailing ";". Throws ORA-00900 (or
// ORA-01756 for an unterminated quote) when the text cannot be read.
std::vector<Token> StatementTokens(std::string_view sql);

}  // namespace embedded
