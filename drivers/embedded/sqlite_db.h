// A thin RAII layer over SQLite for the embedded servers. sqlite3.h stays in
// the .cpp. A SqliteDb and its statements belong to one thread at a time; the
// files are opened in WAL mode with a busy timeout so that several connections
// (one per copy worker) can share a database file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dac/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace embedded {

// SQLite refused a call; the message is SQLite's own.
class SqliteError : public std::runtime_error {
 public:
  SqliteError(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
  int Code() const { return code_; }

 private:
  int code_;
};

class SqliteStatement;

class SqliteDb {
 public:
  // Opens (and creates, when `create`) a database file. Throws SqliteError.
  static SqliteDb Open(const std::filesystem::path& file, bool create);

  SqliteDb(SqliteDb&&) noexcept;
  SqliteDb& operator=(SqliteDb&&) noexcept;
  ~SqliteDb();

  // Runs one or more statements without results.
  void Exec(const std::string& sql);
  SqliteStatement Prepare(const std::string& sql);
  std::int64_t Changes() const;
  std::int64_t LastInsertRowid() const;
  // ATTACH a file under a schema name (the name is quoted here).
  void Attach(const std::filesystem::path& file, const std::string& schema);
  sqlite3* Handle() const { return db_.get(); }

 private:
  struct Closer {
    void operator()(sqlite3* db) const noexcept;
  };
  explicit SqliteDb(sqlite3* db);
  std::unique_ptr<sqlite3, Closer> db_;
};

class SqliteStatement {
 public:
  SqliteStatement(SqliteStatement&&) noexcept = default;
  SqliteStatement& operator=(SqliteStatement&&) noexcept = default;
  ~SqliteStatement() = default;

  // Binds a value to the 1-based parameter `index`. Decimals bind as text,
  // date-times as "yyyy-mm-dd hh:nn:ss[.f]".
  void Bind(int index, const dac::Value& value);
  void BindAll(const std::vector<dac::Value>& values);
  // Advances; true while a row is available. Throws SqliteError.
  bool Step();
  void Reset();

  int ColumnCount() const;
  std::string ColumnName(int i) const;
  // The declared type of a result column that comes straight from a table, else "".
  std::string ColumnDeclType(int i) const;
  // The value as SQLite stores it: NULL, integer, double, text or bytes.
  dac::Value ColumnValue(int i) const;
  std::string ColumnText(int i) const;
  bool ColumnIsNull(int i) const;
  std::int64_t ColumnInt(int i) const;
  bool ReadOnly() const;
  int ParameterCount() const;

 private:
  friend class SqliteDb;
  struct Finalizer {
    void operator()(sqlite3_stmt* s) const noexcept;
  };
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  sqlite3* db_;
  std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

// Binds a value to the 1-based parameter `index` of a raw statement and
// returns SQLite's result code. Decimals and date-times bind as text. With
// `borrow`, texts and blobs are not copied: the value must outlive the step.
int BindSqliteValue(sqlite3_stmt* statement, int index, const dac::Value& value, bool borrow);

// "name" with every " doubled, for SQLite identifiers.
std::string QuoteSqliteName(const std::string& name);

}  // namespace embedded
