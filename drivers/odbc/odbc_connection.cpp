#include "drivers/odbc/odbc_connection.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "drivers/odbc/connection_string.h"
#include "drivers/odbc/count_query.h"
#include "drivers/odbc/odbc_call.h"
#include "drivers/odbc/odbc_cursor.h"
#include "drivers/odbc/parameters.h"
#include "drivers/odbc/utf16.h"

namespace odbc {
namespace {

// Seconds a login may take before the driver gives up on an unreachable server.
constexpr SQLULEN kLoginTimeoutSeconds = 30;
// Parameter arrays of one batch stay within this many bytes; a batch of wide
// rows goes in several arrays.
constexpr std::size_t kMaxArrayBytes = 64u << 20;

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) out += separator;
    out += parts[i];
  }
  return out;
}

SQLWCHAR* Wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

class OdbcConnection final : public dac::Connection {
 public:
  explicit OdbcConnection(const dac::ConnectParams& p)
      : link_(std::make_shared<ServerLink>()), kind_(p.kind), family_(FamilyOf(p)) {
    link_->environment = Handle::Allocate(HandleType::kEnvironment, nullptr);
    Check(SQLSetEnvAttr(link_->environment.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                        0),
          link_->environment);
    link_->connection = Handle::Allocate(HandleType::kConnection, &link_->environment);
    Check(SQLSetConnectAttr(Dbc(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0),
          link_->connection);
    std::u16string text = ToUtf16(ConnectionString(p));
    SQLSMALLINT out_length = 0;
    // The connection string holds the password: it never goes into an error.
    Check(SQLDriverConnectW(Dbc(), nullptr, Wide(text), static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                            &out_length, SQL_DRIVER_NOPROMPT),
          link_->connection);
    link_->connected = true;
    SetUpSession(p);
    parameter_arrays_ = ProbeParameterArrays();
  }

  std::unique_ptr<dac::Cursor> Query(const std::string& sql, const std::vector<dac::Value>& params) override {
    Handle statement = NewStatement();
    auto bound = BindParameters(statement, params);
    std::u16string text = ToUtf16(sql);
    Check(SQLExecDirectW(statement.Get(), Wide(text), static_cast<SQLINTEGER>(text.size())), statement, sql);
    return OpenCursor(link_, std::move(statement), std::move(bound), kind_, sql);
  }

  std::int64_t Execute(const std::string& sql, const std::vector<dac::Value>& params) override {
    Handle statement = NewStatement();
    auto bound = BindParameters(statement, params);
    std::u16string text = ToUtf16(sql);
    std::int64_t affected = -1;
    const auto count = [&] {
      SQLLEN n = -1;
      Check(SQLRowCount(statement.Get(), &n), statement, sql);
      if (n >= 0) affected = std::max<std::int64_t>(affected, 0) + n;
    };
    // A searched update or delete that meets no row ends with SQL_NO_DATA.
    if (Check(SQLExecDirectW(statement.Get(), Wide(text), static_cast<SQLINTEGER>(text.size())), statement, sql) ==
        SQL_NO_DATA) {
      affected = 0;
    } else {
      count();
    }
    // A batch of several statements: the errors of the later ones surface
    // only as their results are reached.
    while (Check(SQLMoreResults(statement.Get()), statement, sql) != SQL_NO_DATA) count();
    return affected;
  }

  std::int64_t CountRows(const std::string& sql, const std::vector<dac::Value>& params) override {
    const std::string counting = CountQuery(sql, family_ == DriverFamily::kSqlServer);
    auto cursor = Query(counting, params);
    std::vector<dac::Row> rows;
    cursor->Fetch(rows, 1);
    if (rows.empty() || rows.front().empty()) throw dac::DriverError("The row count query returned no row", "HY000");
    const dac::Value& v = rows.front().front();
    switch (v.Kind()) {
      case dac::ValueKind::kInteger:
        return v.AsInteger();
      case dac::ValueKind::kDecimal:
        if (auto n = v.AsDecimal().ToInt64()) return *n;
        break;
      case dac::ValueKind::kDouble:
        return static_cast<std::int64_t>(v.AsDouble());
      default:
        break;
    }
    throw dac::DriverError("The row count query returned " + v.ToText() + " instead of a number", "HY000", 0);
  }

  InsertResult InsertRows(const std::string& table, const std::vector<std::string>& columns,
                          const std::vector<dac::Row>& rows, std::size_t first) override {
    InsertResult result;
    if (first >= rows.size() || columns.empty()) return result;
    std::string sql = "insert into " + table + " (" + Join(columns, ", ") + ") values (";
    for (std::size_t i = 0; i < columns.size(); ++i) sql += i ? ", ?" : "?";
    sql += ")";
    try {
      const std::vector<ParameterType>& targets = TargetTypes(table, columns);
      Handle statement = NewStatement();
      std::u16string text = ToUtf16(sql);
      Check(SQLPrepareW(statement.Get(), Wide(text), static_cast<SQLINTEGER>(text.size())), statement, sql);
      Batch batch{statement, sql, rows, targets, columns.size()};
      for (std::size_t pos = first; pos < rows.size();) {
        const Attempt a = RunInTransaction(batch, pos, rows.size() - pos);
        result.inserted += a.accepted;
        if (a.error) {
          result.error = a.error;
          return result;
        }
        pos += a.accepted;
      }
    } catch (const dac::DriverError& e) {
      // The statement could not be prepared or a transaction not ended: the
      // next row is the one that did not get in.
      result.error = e;
    }
    return result;
  }

  void StartTransaction() override {
    if (in_transaction_) throw dac::UsageError("A transaction is already active on this connection");
    SetAutocommit(false);
    in_transaction_ = true;
  }

  void Commit() override {
    if (!in_transaction_) throw dac::UsageError("No transaction is active on this connection");
    EndTransaction(true);
    in_transaction_ = false;
    SetAutocommit(true);
  }

  void Rollback() override {
    if (!in_transaction_) throw dac::UsageError("No transaction is active on this connection");
    EndTransaction(false);
    in_transaction_ = false;
    SetAutocommit(true);
  }

  bool InTransaction() const override { return in_transaction_; }

  std::string ServerVersion() override {
    std::u16string version(64, u'\0');
    SQLSMALLINT bytes = 0;
    Check(SQLGetInfoW(Dbc(), SQL_DBMS_VER, version.data(), static_cast<SQLSMALLINT>(version.size() * sizeof(char16_t)),
                      &bytes),
          link_->connection);
    const auto units = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) / 2,
                                             version.size() - 1);
    return ToUtf8(std::u16string_view(version.data(), units));
  }

  bool Supports(dac::Feature feature) const override {
    switch (feature) {
      case dac::Feature::kTransactions:
      case dac::Feature::kRecordCount:
        return true;
      case dac::Feature::kParameterArrays:
        return parameter_arrays_;
    }
    return false;
  }

 private:
  // The rows of one InsertRows call and what it needs to send them.
  struct Batch {
    const Handle& statement;
    const std::string& sql;
    const std::vector<dac::Row>& rows;
    const std::vector<ParameterType>& targets;
    std::size_t columns;
  };

  // Of rows[pos, pos + count): how many went in from pos on, and the error of
  // the next one when it was refused. `located` is false when the driver
  // reported a failure without saying exactly which row it was: `accepted`
  // rows are then known to be good, and the refused one is among the rest.
  struct Attempt {
    std::size_t accepted = 0;
    std::optional<dac::DriverError> error;
    bool located = true;
  };

  // Autocommit off for the life of one batch; the batch's rows are rolled
  // back unless committed, and autocommit comes back on either way.
  class BatchTransaction {
   public:
    explicit BatchTransaction(OdbcConnection& c) : c_(c) { c_.SetAutocommit(false); }
    BatchTransaction(const BatchTransaction&) = delete;
    BatchTransaction& operator=(const BatchTransaction&) = delete;
    ~BatchTransaction() {
      try {
        if (open_) c_.EndTransaction(false);
        c_.SetAutocommit(true);
      } catch (...) {
        // A destructor must not throw; a connection that cannot end its
        // transaction is broken, and its next use reports that.
      }
    }
    void End(bool commit) {
      open_ = false;
      c_.EndTransaction(commit);
    }
    void Begin() { open_ = true; }

   private:
    OdbcConnection& c_;
    bool open_ = true;
  };

  void* Dbc() const { return link_->connection.Get(); }

  Handle NewStatement() { return Handle::Allocate(HandleType::kStatement, &link_->connection); }

  void SetAutocommit(bool on) {
    Check(SQLSetConnectAttr(Dbc(), SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                            SQL_IS_UINTEGER),
          link_->connection);
  }

  void EndTransaction(bool commit) {
    Check(SQLEndTran(SQL_HANDLE_DBC, Dbc(), commit ? SQL_COMMIT : SQL_ROLLBACK), link_->connection);
  }

  void SetUpSession(const dac::ConnectParams& p) {
    if (p.kind != dac::ServerKind::kOracle || p.database.empty()) return;
    if (family_ == DriverFamily::kOracle) {
      // As the schema field is typed: Oracle takes an unquoted name in upper case.
      Execute("alter session set current_schema = " + p.database, {});
    } else if (family_ == DriverFamily::kPostgreSql) {
      // The schema of an Oracle source is its current schema: first on the
      // search path, in upper case as Oracle spells an unquoted name.
      Execute("select set_config('search_path', quote_ident(upper(?)) || ', ' || current_setting('search_path'), false)",
              {dac::Value(p.database)});
    }
  }

  bool ProbeParameterArrays() {
    Handle statement = NewStatement();
    std::vector<RowDiagnostic> refusal;
    // A driver without parameter arrays refuses the attribute (HYC00) or
    // quietly keeps 1 (01S02).
    const short rc =
        Collect(SQLSetStmtAttr(statement.Get(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(2), 0),
                statement, refusal);
    if (!SQL_SUCCEEDED(rc)) return false;
    SQLULEN size = 0;
    Check(SQLGetStmtAttr(statement.Get(), SQL_ATTR_PARAMSET_SIZE, &size, 0, nullptr), statement);
    return size == 2;
  }

  // The SQL types of the target columns, asked of the server once per table
  // and column list for the life of the connection (the copy empties its
  // tables; it never makes them anew between batches).
  const std::vector<ParameterType>& TargetTypes(const std::string& table, const std::vector<std::string>& columns) {
    const std::string key = table + "\n" + Join(columns, "\n");
    if (const auto it = target_types_.find(key); it != target_types_.end()) return it->second;
    const std::string sql = "select " + Join(columns, ", ") + " from " + table + " where 1=0";
    Handle statement = NewStatement();
    std::u16string text = ToUtf16(sql);
    Check(SQLExecDirectW(statement.Get(), Wide(text), static_cast<SQLINTEGER>(text.size())), statement, sql);
    std::vector<ParameterType> types;
    for (SQLUSMALLINT i = 1; i <= columns.size(); ++i) {
      SQLWCHAR name[2];
      SQLSMALLINT name_length = 0;
      SQLSMALLINT type = 0;
      SQLULEN size = 0;
      SQLSMALLINT digits = 0;
      SQLSMALLINT nullable = 0;
      // Only the type matters here; a long name is cut short (01004).
      Check(SQLDescribeColW(statement.Get(), i, name, 2, &name_length, &type, &size, &digits, &nullable), statement,
            sql);
      types.push_back({type, size, digits});
    }
    Check(SQLFreeStmt(statement.Get(), SQL_CLOSE), statement, sql);
    return target_types_.emplace(key, std::move(types)).first->second;
  }

  // rows[pos, pos + count) in a transaction of their own (unless the caller's
  // is open): either all of them go in, or exactly those before the first
  // refused one.
  Attempt RunInTransaction(const Batch& b, std::size_t pos, std::size_t count) {
    if (in_transaction_) {
      // Rows cannot be taken back here without undoing the caller's work:
      // when the driver does not say which row failed, none is counted.
      return Send(b, pos, count);
    }
    BatchTransaction transaction(*this);
    std::optional<dac::DriverError> refusal;
    for (std::size_t n = count;;) {
      Attempt a = Send(b, pos, n);
      if (!a.located) {
        // Which row? Undo, send the rows known to be good again, then the
        // others one by one until the server refuses one.
        transaction.End(false);
        transaction.Begin();
        const std::size_t good = a.accepted;
        a = Send(b, pos, good);
        if (!a.error && a.located) {
          Attempt rest = SendRowByRow(b, pos + good, n - good);
          a = {good + rest.accepted, std::move(rest.error), true};
        }
      }
      if (!a.error) {
        transaction.End(true);
        a.error = refusal;
        return a;
      }
      transaction.End(false);
      refusal = a.error;
      if (a.accepted == 0) return {0, refusal, true};
      // The driver may have gone on past the refused row (FreeTDS does, the
      // PostgreSQL driver fails the rest): send again only the rows before it.
      transaction.Begin();
      n = a.accepted;
    }
  }

  // rows[pos, pos + n) as parameter arrays, as many as the memory bound needs.
  Attempt Send(const Batch& b, std::size_t pos, std::size_t n) {
    if (!parameter_arrays_) return SendRowByRow(b, pos, n);
    Attempt total;
    while (total.accepted < n) {
      std::size_t size = n - total.accepted;
      std::vector<ParameterColumn> params = Build(b, pos + total.accepted, size);
      Attempt a = ExecuteArray(b, params, size);
      total.accepted += a.accepted;
      if (a.error || !a.located) {
        total.error = std::move(a.error);
        total.located = a.located;
        return total;
      }
    }
    return total;
  }

  Attempt SendRowByRow(const Batch& b, std::size_t pos, std::size_t n) {
    Attempt total;
    for (; total.accepted < n; ++total.accepted) {
      std::size_t one = 1;
      std::vector<ParameterColumn> params = Build(b, pos + total.accepted, one);
      Attempt a = ExecuteArray(b, params, 1);
      if (a.error) {
        total.error = std::move(a.error);
        return total;
      }
    }
    return total;
  }

  // Parameter columns for rows[pos, pos + size); `size` shrinks until they fit
  // the memory bound (never below one row).
  std::vector<ParameterColumn> Build(const Batch& b, std::size_t pos, std::size_t& size) {
    for (;;) {
      std::vector<ParameterColumn> params;
      params.reserve(b.columns);
      std::size_t bytes = 0;
      for (std::size_t c = 0; c < b.columns; ++c) {
        params.emplace_back(b.rows, pos, size, c, b.targets[c]);
        bytes += params.back().Bytes();
      }
      if (bytes <= kMaxArrayBytes || size == 1) return params;
      size = std::max<std::size_t>(size / 2, 1);
    }
  }

  // One SQLExecute of `size` rows.
  Attempt ExecuteArray(const Batch& b, std::vector<ParameterColumn>& params, std::size_t size) {
    const Handle& s = b.statement;
    for (std::size_t c = 0; c < params.size(); ++c) params[c].Bind(s, static_cast<unsigned short>(c + 1));
    std::vector<SQLUSMALLINT> status(size, SQL_PARAM_UNUSED);
    SQLULEN processed = 0;
    if (parameter_arrays_) {
      Check(SQLSetStmtAttr(s.Get(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(size), 0), s, b.sql);
      Check(SQLSetStmtAttr(s.Get(), SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0), s, b.sql);
      Check(SQLSetStmtAttr(s.Get(), SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0), s, b.sql);
    }
    std::vector<RowDiagnostic> records;
    short rc = Collect(SQLExecute(s.Get()), s, records);
    bool failed = rc == SQL_ERROR;
    if (rc != SQL_ERROR) {
      // Results of the rows after the first (FreeTDS answers row by row).
      for (short more; (more = Collect(SQLMoreResults(s.Get()), s, records)) != SQL_NO_DATA;) {
        if (more == SQL_ERROR) {
          failed = true;
          break;
        }
      }
    }
    Check(SQLFreeStmt(s.Get(), SQL_CLOSE), s, b.sql);
    if (parameter_arrays_) {
      // The status array must not outlive this call.
      Check(SQLSetStmtAttr(s.Get(), SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0), s, b.sql);
      Check(SQLSetStmtAttr(s.Get(), SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0), s, b.sql);
    }

    std::optional<std::size_t> refused;
    bool located = true;
    if (parameter_arrays_) {
      std::size_t refusals = 0;
      for (std::size_t i = 0; i < size; ++i) {
        if (status[i] != SQL_PARAM_ERROR) continue;
        if (!refused) refused = i;
        ++refusals;
      }
      // A driver that stops at the failing row counts it among the processed.
      if (!refused && failed && processed >= 1 && processed <= size) refused = processed - 1;
      if (!refused && failed) {
        refused = 0;
        located = size == 1;
      }
      // The PostgreSQL driver sends rows in chunks and marks every row of a
      // failed chunk: the first marked row is where the failure may start,
      // unless a record names its row.
      if (refusals > 1) {
        located = std::any_of(records.begin(), records.end(),
                              [&](const RowDiagnostic& r) { return r.row == static_cast<long>(*refused) + 1; });
      }
    } else if (failed) {
      refused = 0;
    }
    if (!refused) return {size, std::nullopt, true};
    // The records of the refused row; those of rows the driver failed after
    // it ("current transaction is aborted") would only bury its message.
    std::vector<dac::Diagnostic> own;
    std::vector<dac::Diagnostic> unplaced;
    for (auto& r : records) {
      if (r.row == static_cast<long>(*refused) + 1) {
        own.push_back(r.record);
      } else if (r.row <= 0) {
        unplaced.push_back(r.record);
      }
    }
    if (own.empty()) own = unplaced;
    if (own.empty()) {
      for (auto& r : records) own.push_back(r.record);
    }
    // Only errors: a warning of an accepted row is no reason.
    std::erase_if(own, [](const dac::Diagnostic& d) { return d.sqlstate.rfind("01", 0) == 0; });
    if (own.empty()) own.push_back({"HY000", 0, "The server refused the row without a message"});
    return {*refused, dac::DriverError(std::move(own), b.sql), located};
  }

  std::shared_ptr<ServerLink> link_;
  dac::ServerKind kind_;
  DriverFamily family_;
  bool in_transaction_ = false;
  bool parameter_arrays_ = false;
  std::map<std::string, std::vector<ParameterType>> target_types_;
};

}  // namespace

std::unique_ptr<dac::Connection> ConnectOdbc(const dac::ConnectParams& p) {
  return std::make_unique<OdbcConnection>(p);
}

}  // namespace odbc
