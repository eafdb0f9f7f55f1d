// Runs of the row copy against embedded instances, with a window model of the
// test's choosing (a subclass may watch or hold CopyTable) and a target driver
// that records what reaches the SQL Server instance and can refuse it.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "tests/dac/connection_wrapper.h"
#include "tests/support/embedded_run.h"

namespace copy_testing {

using testing_support::EmbeddedServers;
using testing_support::TempDir;
using testing_support::WatchingHost;

// The least a source needs: the schema, the parameter table the run reads,
// the column dictionary and the table register (which the table list joins).
inline constexpr const char* kBareSource =
    "CREATE USER NORTIVA55 IDENTIFIED BY erp;\nALTER SESSION SET CURRENT_SCHEMA = NORTIVA55;\n"
    "CREATE TABLE tVX_SysParamSys (anBuildNo NUMBER(10), anRevision NUMBER(5));\n"
    "INSERT INTO tVX_SysParamSys VALUES (5500, 12);\n"
    "CREATE TABLE tVX_SysTableStr (acTableName VARCHAR2(30), acFieldName VARCHAR2(30), anSeqNo NUMBER(5));\n"
    "CREATE TABLE tVX_SysTables (acTableName VARCHAR2(30) NOT NULL, acUserDef CHAR(1) NOT NULL);\n";

// `rows` INSERTs into `table`; `row(i)` gives the value list of row i (from 1).
inline std::string Inserts(const std::string& table, int rows, const std::function<std::string(int)>& row) {
  std::string out;
  for (int i = 1; i <= rows; ++i) out += "INSERT INTO " + table + " VALUES (" + row(i) + ");\n";
  return out;
}

// What the target side was asked to do, in order, from every connection.
struct Journal {
  struct Batch {
    std::string table;
    std::size_t rows = 0;
    std::size_t first = 0;
  };
  std::mutex mutex;
  std::vector<std::string> executed;
  std::vector<Batch> batches;
  int sqlserver_connects = 0;
  // Set by a test: the SQL Server connect (counted from 1) that is refused.
  int refuse_connect = 0;
  // Set by a test: called for every batch, before it reaches the server; a
  // DriverError it returns refuses the batch's first row.
  std::function<std::optional<dac::DriverError>(const Batch&)> on_batch;

  std::vector<Batch> BatchesOf(const std::string& table) {
    std::lock_guard lock(mutex);
    std::vector<Batch> out;
    for (const auto& b : batches) {
      if (b.table.find(table) != std::string::npos) out.push_back(b);
    }
    return out;
  }
  // Statements naming `table`, without their line ends.
  std::vector<std::string> ExecutedOn(const std::string& table) {
    std::lock_guard lock(mutex);
    std::vector<std::string> out;
    for (std::string s : executed) {
      if (s.find(table) == std::string::npos) continue;
      while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
      out.push_back(s);
    }
    return out;
  }
};

class WatchedConnection : public dac::testing::ConnectionWrapper {
 public:
  WatchedConnection(std::unique_ptr<dac::Connection> target, std::shared_ptr<Journal> journal)
      : ConnectionWrapper(std::move(target)), journal_(std::move(journal)) {}

  std::int64_t Execute(const std::string& sql, const std::vector<dac::Value>& params) override {
    {
      std::lock_guard lock(journal_->mutex);
      journal_->executed.push_back(sql);
    }
    return ConnectionWrapper::Execute(sql, params);
  }
  InsertResult InsertRows(const std::string& table, const std::vector<std::string>& columns,
                          const std::vector<dac::Row>& rows, std::size_t first) override {
    const Journal::Batch batch{table, rows.size() - first, first};
    std::function<std::optional<dac::DriverError>(const Journal::Batch&)> on_batch;
    {
      std::lock_guard lock(journal_->mutex);
      journal_->batches.push_back(batch);
      on_batch = journal_->on_batch;
    }
    if (on_batch) {
      if (auto refusal = on_batch(batch)) return InsertResult{0, std::move(refusal)};
    }
    return ConnectionWrapper::InsertRows(table, columns, rows, first);
  }

 private:
  std::shared_ptr<Journal> journal_;
};

// Stands for "embedded" on the SQL Server side; connections are watched.
class WatchDriver : public dac::Driver {
 public:
  static constexpr const char* kName = "embedded-watched";
  WatchDriver(std::filesystem::path instance_dir, std::shared_ptr<Journal> journal)
      : instance_dir_(std::move(instance_dir)), journal_(std::move(journal)) {}
  std::string Name() const override { return kName; }
  std::unique_ptr<dac::Connection> Connect(const dac::ConnectParams& params) override {
    {
      std::lock_guard lock(journal_->mutex);
      if (++journal_->sqlserver_connects == journal_->refuse_connect) {
        throw dac::DriverError("Login timeout expired", "HYT00", 0);
      }
    }
    dac::ConnectParams p = params;
    p.instance_dir = instance_dir_.string();
    return std::make_unique<WatchedConnection>(dac::FindDriver("embedded")->Connect(p), journal_);
  }

 private:
  std::filesystem::path instance_dir_;
  std::shared_ptr<Journal> journal_;
};

// Both instances loaded with `source`, a window model of type Form on a
// headless host, run without questions; the target side goes through a
// WatchDriver. Steps are ticked by the test.
template <class Form = app::TfMain>
struct CopyRun {
  explicit CopyRun(const std::string& source)
      : servers(dir.path(), source), host(err), form(host, app::ProgramStart{dir / "migrator", {}}) {
    servers.WriteSettings(dir / "migrator.ini");
    form.FormCreate();
    form.AutoRun = true;
    dac::RegisterDriver(std::make_shared<WatchDriver>(servers.sqlserver_dir, journal));
    form.Drivers.SQLServer = WatchDriver::kName;
  }

  // Creates the target tables and copies the rows.
  void CreateAndCopy(bool multi_thread = false) {
    Tick({&form.cbCreateSQLDatabase, &form.cbMigrateTablesCreateTables, &form.cbMigrateTablesCopyRows}, multi_thread);
    Run();
  }
  void Tick(std::initializer_list<app::CheckBox*> boxes, bool multi_thread) {
    for (app::CheckBox* c : {&form.cbCreateSQLUser, &form.cbCreateSQLUserAll, &form.cbCreateSQLDatabase,
                             &form.cbMigrateTablesCreateTables, &form.cbMigrateTablesCopyRows, &form.cbMultiThread,
                             &form.cbMigrateTablesVerify, &form.cbMigrateProgramSQLObjects}) {
      c->checked = false;
    }
    for (app::CheckBox* c : boxes) c->checked = true;
    form.cbMultiThread.checked = multi_thread;
  }
  void Run() { form.Dispatch([&] { form.bProcessClick(); }); }

  std::vector<std::string> Log() const { return testing_support::LogLines(form.LastRunLogName()); }
  bool LogHas(const std::string& text) const { return testing_support::AnyLineHas(Log(), text); }

  // The target database as sa.
  std::unique_ptr<dac::Connection> Target() const {
    dac::ConnectParams p;
    p.kind = dac::ServerKind::kSqlServer;
    p.instance_dir = servers.sqlserver_dir.string();
    p.database = "Nortiva55";
    p.user = "sa";
    p.password = EmbeddedServers::kSaPassword;
    return embedded::ConnectSqlServerInstance(p);
  }
  std::vector<dac::Row> Rows(const std::string& sql) const {
    auto cursor = Target()->Query(sql);
    std::vector<dac::Row> rows;
    while (cursor->Fetch(rows, 4096)) {
    }
    return rows;
  }
  // The values of a query's first column, in text form.
  std::vector<std::string> Column(const std::string& sql) const {
    std::vector<std::string> out;
    for (const auto& r : Rows(sql)) out.push_back(r[0].IsNull() ? "NULL" : r[0].ToText());
    return out;
  }
  std::int64_t Count(const std::string& table) const {
    return Rows("select count(*) from " + table).at(0).at(0).AsInteger();
  }

  TempDir dir;
  EmbeddedServers servers;
  std::ostringstream err;
  WatchingHost host;
  Form form;
  std::shared_ptr<Journal> journal = std::make_shared<Journal>();
};

}  // namespace copy_testing
