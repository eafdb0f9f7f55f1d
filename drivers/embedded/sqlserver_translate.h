// Translation of one T-SQL statement (a range of tokens) into SQLite's
// dialect for the embedded SQL Server instance: [bracketed] and "quoted"
// names, dbo. schema prefixes, three-part names of other databases, the sys
// catalogue views, TOP n (as LIMIT), ISNULL, CONVERT and CAST with T-SQL
// types, DATEPART's unit words, + between texts, table hints, @@ variables,
// N'texts' and 0x binary literals. Functions with T-SQL names that SQLite
// lacks (getdate, db_name, len, datepart, ...) are registered on the SQLite
// handle by the session instead.
//
// Pure functions apart from the scope's callbacks; one translation belongs to
// one thread.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "drivers/embedded/sql_lexer.h"
#include "drivers/embedded/sqlserver_types.h"

namespace embedded::sqlserver {

// What a translation needs to know of the session that runs it.
class TranslationScope {
 public:
  virtual ~TranslationScope() = default;
  // The SQLite schema that holds database `name` ("main" for the current
  // one); attaches others as needed. Throws dac::DriverError (911) for a
  // database the instance does not hold.
  virtual std::string SchemaOfDatabase(const std::string& name) = 0;
  // The SQLite schema that holds the server's catalogue views (master's).
  virtual std::string ServerCatalogueSchema() = 0;
  // A SQL literal with the value of @@name (name without the @@). Throws
  // dac::DriverError "Must declare the scalar variable" (137) when unknown.
  virtual std::string GlobalVariable(const std::string& name) = 0;
  // The same for a local variable @name.
  virtual std::string LocalVariable(const std::string& name) = 0;
};

// A name of one to four parts as written: [db].[dbo].[T], dbo.T, T.
struct ObjectName {
  std::vector<std::string> parts;  // as written, without brackets; an empty part for "db..T"
  std::size_t begin = 0;           // its tokens
  std::size_t end = 0;

  const std::string& Object() const { return parts.back(); }
  // The parts joined by ".", as the server's messages quote a name.
  std::string Written() const;
  // The database part of a three-part name, else "".
  std::string Database() const { return parts.size() >= 3 ? parts[parts.size() - 3] : std::string(); }
  // The schema part, else "".
  std::string Schema() const { return parts.size() >= 2 ? parts[parts.size() - 2] : std::string(); }
};

// Reads the name that starts at tokens[pos]. Returns nothing when no name
// stands there.
std::optional<ObjectName> ReadObjectName(const std::vector<Token>& tokens, std::size_t pos);

// What the translation learned of the outermost select list, item by item,
// where the items can be told apart (no "*").
struct ResultColumnHint {
  bool named = false;                // an alias or a column reference names the column
  std::optional<SqlType> type;       // the type the server gives it, when known from its form
};

struct Translation {
  std::string sql;
  int parameters = 0;  // "?" markers, in order
  std::optional<std::vector<ResultColumnHint>> columns;
  // SQLite's name of each table the statement names, folded, to its name as
  // written (for "Invalid object name 'dbo.T'.").
  std::map<std::string, std::string> written;

  // The written name for a table name SQLite reports ("main.T", "T"), or "".
  std::string WrittenName(const std::string& sqlite_name) const;
};

// Translates tokens[begin, end). Throws dac::DriverError for what has no
// translation (a TOP ... PERCENT, an unknown type in CAST).
Translation TranslateStatement(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                               TranslationScope& scope);

// The SQLite reference to a table of the current database, quoted.
std::string SqliteTableRef(const std::string& schema, const std::string& table);

}  // namespace embedded::sqlserver
