// A dataset over a SQL text on a server connection: the part the Oracle and
// SQL Server datasets share. It opens its SQL through the driver seam and
// fetches the result in blocks of FetchRows (all at once with FetchAll),
// asks the server for the row count at open when Options.QueryRecCount is
// set, and writes records with the statement kinds:
//   stInsert  SQLInsert when given, else a single-row insert of the written
//             fields into the updating table (Connection::InsertRows; cached
//             inserts go in one call per run of records);
//   stUpdate  SQLUpdate, else "update T set <changed columns> where <key>";
//   stDelete  SQLDelete, else "delete from T where <key>";
//   stRefresh SQLRefresh, else "select * from T where <key>";
//   stLock    SQLLock when given, else nothing.
// In SQLInsert and the other texts ":name" is the field's new value and
// ":OLD_name" its old value; other names come from Params. The key is the
// columns the server marks as key or identity, else every column but blobs.
// The updating table is UpdatingTable, else the table the SQL selects from.
//
// Errors: server refusals are DriverErrors; with Options.StrictUpdate an
// update or delete that touches other than one row throws DatabaseError.
// Threads: one thread at a time, the thread of its connection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dac/da_connection.h"
#include "dac/dataset.h"
#include "dac/params.h"
#include "dac/sql_text.h"
#include "dac/text_lines.h"

namespace dac {

class SqlDataSet : public DataSet, private ConnectionClient {
 public:
  struct DataSetOptions {
    bool QueryRecCount = false;  // RecordCount is the server's count of the result
    bool TrimFixedChar = true;   // drop trailing blanks of fetched char values
    bool TrimVarChar = false;    // drop trailing blanks of fetched varchar values
    bool StrictUpdate = true;    // an update or delete must touch exactly one row
    // NOT NULL columns make required fields, checked at Post. Off unless
    // asked for: the seam does not tell whether such a column has a default
    // that the server would fill in, so by default the server judges.
    bool RequiredFields = false;
    bool UpdateAllFields = false;
    bool ReturnParams = false;
  };
  using UpdateExecuteEvent = std::function<void(DataSet& sender, StatementTypes kinds, dac::Params& params)>;
  using ExecuteEvent = std::function<void(DataSet& sender, bool result)>;

  ~SqlDataSet() override;

  // Changing the SQL closes the dataset and re-reads its parameters.
  TextLines SQL;
  TextLines SQLInsert, SQLUpdate, SQLDelete, SQLRefresh, SQLLock;
  // The statement text of one kind (SQL for stQuery; stBatchUpdate has none).
  TextLines& SQLText(StatementType kind);

  dac::Params& Params() { return params_; }
  Param& ParamByName(std::string_view name) { return params_.ParamByName(name); }
  bool ParamCheck = true;

  int FetchRows() const { return fetch_rows_; }
  // At least 1; UsageError otherwise.
  void SetFetchRows(int rows);
  bool FetchAll() const { return fetch_all_; }
  virtual void SetFetchAll(bool fetch_all) { fetch_all_ = fetch_all; }
  std::string UpdatingTable;

  // Runs the SQL as a statement; RowsAffected tells what it did.
  virtual void Execute();
  std::int64_t RowsAffected() const { return rows_affected_; }

  // The server's count with QueryRecCount (plus local inserts, minus
  // deletes), else the records fetched so far.
  std::int64_t RecordCount() const override;

  DAConnection* UsedConnection() const { return connection_; }

  UpdateExecuteEvent BeforeUpdateExecute, AfterUpdateExecute;
  ExecuteEvent AfterExecute;

 protected:
  explicit SqlDataSet(bool fetch_all);

  void SetConnectionObject(DAConnection* connection);
  virtual DataSetOptions& BaseOptions() = 0;
  const DataSetOptions& BaseOptions() const { return const_cast<SqlDataSet*>(this)->BaseOptions(); }
  // Names as the generated statements write them.
  virtual std::string QuoteTableName(std::string_view name) const { return std::string(name); }
  virtual std::string QuoteColumnName(std::string_view name) const { return std::string(name); }
  // The table the writes go to; DatabaseError when the SQL names none.
  std::string UpdateTableName() const;
  // The open server connection; DatabaseError without one.
  dac::Connection& ServerConnection() const;

  void InternalOpen() override;
  void InternalClose() override;
  void InitFieldDefs() override;
  bool FetchBlock(std::vector<Row>& rows) override;
  bool FetchAllOnOpen() const override { return fetch_all_; }
  bool RequiredByDef(const Column& def) const override;
  bool PerformSQL(StatementTypes kinds) override;
  bool BatchInserts() const override;
  dac::Connection::InsertResult InsertBatch(const std::vector<Field*>& fields, const std::vector<Row>& rows,
                                            std::size_t first) override;
  // Around every write statement; the handlers may change the values.
  virtual void DoBeforeUpdateExecute(StatementTypes kinds, dac::Params& params);
  virtual void DoAfterUpdateExecute(StatementTypes kinds, dac::Params& params);

 private:
  void ConnectionClosing() override;
  void ConnectionGone() noexcept override;
  void SqlChanged();
  // The SQL with its markers and the values bound to them.
  MarkedStatement Marked(const std::string& text, std::vector<Value>& values) const;
  Value MarkerValue(const std::string& name) const;
  bool RunText(StatementType kind, StatementTypes kinds, const TextLines& text);
  bool InsertRecord(StatementTypes kinds);
  bool UpdateRecord(StatementTypes kinds);
  bool DeleteRecord(StatementTypes kinds);
  bool RefreshFromServer(StatementTypes kinds);
  // "<key> = ? and ..." for the active record's old values.
  std::string WhereKey(std::vector<Value>& values);
  void CheckRowsAffected(StatementType kind, std::int64_t rows) const;
  void TrimRows(std::vector<Row>& rows, std::size_t from) const;

  DAConnection* connection_ = nullptr;
  std::unique_ptr<Cursor> cursor_;
  dac::Params params_;
  int fetch_rows_ = 25;
  bool fetch_all_;
  std::int64_t server_count_ = -1;
  std::int64_t rows_affected_ = -1;
  std::vector<std::size_t> trimmed_columns_;  // columns whose fetched texts lose trailing blanks
};

}  // namespace dac
