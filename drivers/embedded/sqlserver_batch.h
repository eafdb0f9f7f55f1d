// Splits a T-SQL batch into its statements. A batch may hold several
// statements with or without ";" between them; a new statement starts at a
// statement keyword at the top level (outside parentheses and CASE ... END),
// unless the statement under way continues with it (the SELECT of an
// INSERT ... SELECT or of a UNION, the SET of an UPDATE or ALTER, the IF
// EXISTS of a DROP). IF and WHILE take the next statement as their body, BEGIN
// ... END holds a block; CREATE PROCEDURE, FUNCTION, VIEW and TRIGGER take the
// rest of the batch, as the server requires of them.
//
// Pure functions over tokens; safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/embedded/sql_lexer.h"

namespace embedded::sqlserver {

enum class StatementKind {
  kSelect,
  kInsert,
  kUpdate,
  kDelete,
  kMerge,
  kCreateTable,
  kCreateDatabase,
  kCreateLogin,
  kCreateUser,
  kCreateModule,  // procedure, function, view, trigger: the rest of the batch
  kCreateOther,   // index, schema, role, ...
  kAlterDatabase,
  kAlterTable,
  kAlterLogin,
  kAlterOther,
  kDropTable,
  kDropOther,
  kTruncate,
  kUse,
  kSet,
  kExec,
  kIf,
  kWhile,
  kBlock,  // BEGIN ... END
  kBeginTransaction,
  kCommit,
  kRollback,
  kSaveTransaction,
  kDeclare,
  kPrint,
  kReturn,
  kGrant,  // grant, revoke, deny
  kWith,   // a common table expression before a statement
  kOther,
};

struct Statement {
  StatementKind kind = StatementKind::kOther;
  // Tokens of the statement, without a closing ";": [begin, end).
  std::size_t begin = 0;
  std::size_t end = 0;
  // IF and WHILE: the condition's tokens.
  std::size_t condition_begin = 0;
  std::size_t condition_end = 0;
  // IF: the body and, when present, the ELSE statement. WHILE: the body.
  // BEGIN ... END: the statements of the block.
  std::vector<Statement> children;
  bool has_else = false;
  // kExec without the word EXEC: a procedure named first in a batch.
  bool implicit_exec = false;
};

// Throws dac::DriverError "Incorrect syntax near ..." (102) where the batch's
// structure is broken (an END without BEGIN, an IF without a body). The tokens
// end with the kEnd token.
std::vector<Statement> SplitBatch(const std::vector<Token>& tokens);

// The statement's text as written, from its first to its last token.
std::string StatementText(std::string_view batch, const std::vector<Token>& tokens, const Statement& s);

}  // namespace embedded::sqlserver
