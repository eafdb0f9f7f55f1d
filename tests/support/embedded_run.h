// A window model set up against embedded instances loaded with a fixture ERP
// source, for tests that run the steps as a run does and read back what the
// servers hold.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless_host.h"
#include "app/tf_main.h"
#include "drivers/embedded/sqlserver_connection.h"
#include "tests/support/embedded_servers.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

inline std::string ReadFixture(const std::string& name) {
  return ReadFile(std::filesystem::path(MIGRATOR_SOURCE_DIR) / "tests" / "fixtures" / name);
}

// Records what a person would see: focus moves and, at every repaint, what the
// test asks to look at.
class WatchingHost : public app::HeadlessHost {
 public:
  using HeadlessHost::HeadlessHost;
  void FocusControl(const std::string& name) override { focused.push_back(name); }
  void ProcessMessages() override {
    if (on_repaint) on_repaint();
  }
  std::vector<std::string> focused;
  std::function<void()> on_repaint;
};

struct EmbeddedRun {
  explicit EmbeddedRun(const std::string& oracle_script = ReadFixture("oracle/erp_source.sql"))
      : servers(dir.path(), oracle_script), host(err), form(host, app::ProgramStart{dir / "migrator", {}}) {
    servers.WriteSettings(dir / "migrator.ini");
    form.FormCreate();
  }

  // Ticks exactly the given check boxes of the steps.
  void TickOnly(std::initializer_list<app::CheckBox*> boxes) {
    for (app::CheckBox* c : {&form.cbCreateSQLUser, &form.cbCreateSQLUserAll, &form.cbCreateSQLDatabase,
                             &form.cbMigrateTablesCreateTables, &form.cbMigrateTablesCopyRows, &form.cbMultiThread,
                             &form.cbMigrateTablesVerify, &form.cbMigrateProgramSQLObjects}) {
      c->checked = false;
    }
    for (app::CheckBox* c : boxes) c->checked = true;
  }

  void Run() { form.Dispatch([&] { form.bProcessClick(); }); }

  // The marks that every step of a whole run ticks when it is done.
  std::vector<app::CheckBox*> DoneMarks() {
    return {&form.cbSQLDatabase, &form.cbSQLUser, &form.cbSQLUserAll, &form.cbMigrateTablesCreateTablesDone,
            &form.cbMigrateTablesCopyRowsDone, &form.cbMigrateTablesVerifyDone, &form.cbMigrateProgramSQLObjectsDone};
  }

  std::vector<std::string> Log() const {
    return testing_support::LogLines(form.LastRunLogName());
  }
  bool LogHas(const std::string& text) const { return testing_support::AnyLineHas(Log(), text); }

  // The target server as sa, on `database`.
  std::unique_ptr<dac::Connection> Target(const std::string& database = "master") const {
    dac::ConnectParams p;
    p.kind = dac::ServerKind::kSqlServer;
    p.instance_dir = servers.sqlserver_dir.string();
    p.database = database;
    p.user = "sa";
    p.password = EmbeddedServers::kSaPassword;
    return embedded::ConnectSqlServerInstance(p);
  }
  // Every row of a query on the target, each value in its text form.
  std::vector<std::vector<std::string>> Rows(const std::string& database, const std::string& sql) const {
    auto cursor = Target(database)->Query(sql);
    std::vector<dac::Row> rows;
    while (cursor->Fetch(rows, 1000)) {
    }
    std::vector<std::vector<std::string>> out;
    for (const auto& r : rows) {
      std::vector<std::string> texts;
      for (const auto& v : r) texts.push_back(v.IsNull() ? "NULL" : v.ToText());
      out.push_back(std::move(texts));
    }
    return out;
  }

  TempDir dir;
  EmbeddedServers servers;
  std::ostringstream err;
  WatchingHost host;
  app::TfMain form;
};

}  // namespace testing_support
