// The driver seam: the one place where the data-access components meet a
// server. A driver (ODBC, or the embedded stand-ins) turns these calls into its
// server's protocol. Callers ask a connection what it can do (Supports) rather
// than testing which driver it is.
//
// Threads: a Connection and its Cursors belong to one thread at a time; each
// copy worker has its own connections. The registry is safe to use from any
// thread once the drivers are registered at start-up.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dac/value.h"

namespace dac {

enum class FieldType {
  ftUnknown,
  ftString,
  ftWideString,
  ftFixedChar,
  ftMemo,
  ftWideMemo,
  ftSmallint,
  ftInteger,
  ftWord,
  ftLargeint,
  ftAutoInc,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftFMTBcd,
  ftDate,
  ftTime,
  ftDateTime,
  ftTimeStamp,
  ftBlob,
  ftBytes,
  ftVarBytes,
  ftGuid,
};

const char* FieldTypeName(FieldType t);

struct Column {
  std::string name;
  FieldType type = FieldType::ftUnknown;
  int size = 0;       // characters of a text column, bytes of a binary one
  int precision = 0;  // digits of a number
  int scale = 0;
  bool nullable = true;
  bool key = false;
  bool identity = false;
  std::string declared_type;  // the server's own spelling, e.g. "VARCHAR2(30)" or "decimal(19, 4)"
};

// One diagnostic record of a failed call.
struct Diagnostic {
  std::string sqlstate;
  int native_error = 0;
  std::string message;
};

// A server refused a call. what() is the server's own text (all records, one
// per line), with the failing SQL text added as context where known.
class DriverError : public std::runtime_error {
 public:
  DriverError(std::vector<Diagnostic> records, std::string sql = {});
  explicit DriverError(const std::string& message, std::string sqlstate = "HY000", int native_error = 0);

  const std::vector<Diagnostic>& Records() const { return records_; }
  const std::string& SqlState() const { return records_.front().sqlstate; }
  int NativeError() const { return records_.front().native_error; }
  // The server's message without context.
  const std::string& ServerMessage() const { return server_message_; }
  const std::string& Sql() const { return sql_; }

 private:
  std::vector<Diagnostic> records_;
  std::string server_message_;
  std::string sql_;
};

// A programming error in the use of an API (wrong state, bad argument): not a
// server's refusal, and never to be retried.
class UsageError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Rows of a query, fetched forward only in blocks.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual const std::vector<Column>& Columns() const = 0;
  // Appends up to `max_rows` rows to `rows`. Returns false once no row is left
  // (possibly after appending the last ones).
  virtual bool Fetch(std::vector<Row>& rows, std::size_t max_rows) = 0;
};

enum class ServerKind { kOracle, kSqlServer };
enum class ConnectMode { kNormal, kSysDba };

struct ConnectParams {
  ServerKind kind = ServerKind::kSqlServer;
  std::string server;    // Oracle: "host:port:sid" (direct) or "host:port/sid"; SQL Server: the server name
  std::string database;  // SQL Server: the database; Oracle: the schema to make current (may be empty)
  std::string user;
  std::string password;
  ConnectMode mode = ConnectMode::kNormal;
  bool direct = true;        // Oracle: direct mode, without a client installation
  std::string charset;       // Oracle: client character set, empty for the default
  std::string odbc_driver;   // ODBC: the driver name from the settings
  std::string instance_dir;  // embedded: the folder of the instance
};

enum class Feature {
  kTransactions,
  kParameterArrays,  // InsertRows sends a batch in one round trip
  kRecordCount,      // Query can tell the row count of its result before fetching
};

class Connection {
 public:
  virtual ~Connection() = default;

  // Runs a query; `params` bind the "?" markers in order.
  // Throws DriverError when the server refuses it.
  virtual std::unique_ptr<Cursor> Query(const std::string& sql, const std::vector<Value>& params = {}) = 0;
  // Runs a statement or a batch of statements; returns the rows affected
  // (-1 when not known). Throws DriverError.
  virtual std::int64_t Execute(const std::string& sql, const std::vector<Value>& params = {}) = 0;
  // The number of rows `sql` returns, counted by the server.
  virtual std::int64_t CountRows(const std::string& sql, const std::vector<Value>& params = {}) = 0;

  // Inserts rows[first..] one by one (each a single-row insert of `columns` into
  // `table`, a name as the server spells it, quoted by the caller where needed),
  // stopping at the first row the server refuses. Values are bound, never pasted.
  struct InsertResult {
    std::size_t inserted = 0;          // rows inserted, counted from `first`
    std::optional<DriverError> error;  // set when row first + inserted was refused
  };
  virtual InsertResult InsertRows(const std::string& table, const std::vector<std::string>& columns,
                                  const std::vector<Row>& rows, std::size_t first = 0) = 0;

  virtual void StartTransaction() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;

  virtual std::string ServerVersion() = 0;
  virtual bool Supports(Feature feature) const = 0;
};

class Driver {
 public:
  virtual ~Driver() = default;
  virtual std::string Name() const = 0;
  // Throws DriverError when the server refuses the login or cannot be reached.
  virtual std::unique_ptr<Connection> Connect(const ConnectParams& params) = 0;
};

// Drivers by name ("odbc", "embedded"). Register at start-up.
void RegisterDriver(std::shared_ptr<Driver> driver);
// Throws UsageError for an unknown name.
std::shared_ptr<Driver> FindDriver(const std::string& name);
std::vector<std::string> DriverNames();

}  // namespace dac
