// copy_throughput SOURCE_DIR --threads N        the row copy of a generated source
// copy_throughput SOURCE_DIR --floor            SQLite copying the same rows itself
// copy_throughput SOURCE_DIR --floor-rows       the same, made to decode and encode every row
// Prints one line of figures: rows, seconds, rows per second, peak resident memory.
// The source folder is only read; the target lives in a temporary folder.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "app/headless_host.h"
#include "app/tf_main.h"
#include "drivers/embedded/embedded_driver.h"
#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/sqlserver_instance.h"
#include "platform/ini_file.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kSysPassword = "Fenwirk";
constexpr const char* kSaPassword = "sa-secret";

// Peak resident set of this process, in megabytes.
double PeakMegabytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

class TimedForm : public app::TfMain {
 public:
  using TfMain::TfMain;
  double copy_seconds = 0;

 protected:
  void CopyRows() override {
    const auto start = Clock::now();
    TfMain::CopyRows();
    copy_seconds = std::chrono::duration<double>(Clock::now() - start).count();
  }
};

struct Scratch {
  Scratch() {
    path = std::filesystem::temp_directory_path() / ("migrator-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path path;
};

void Check(int rc, sqlite3* db, const std::string& what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(what + ": " + sqlite3_errmsg(db));
  }
}

// INSERT INTO ... SELECT of every generated table into a second file whose
// tables carry the same declarations: what SQLite itself needs to move the rows.
// Into an empty table of the same declarations SQLite moves the stored records
// without reading their values; a WHERE clause rules that transfer out, and
// the per_row floor is SQLite decoding and encoding each row as a copy must.
int Floor(const std::filesystem::path& source, const std::filesystem::path& scratch, bool per_row) {
  const auto source_file = embedded::OracleInstance::DatabaseFile(source);
  const auto target_file = scratch / "floor.db";
  sqlite3* db = nullptr;
  Check(sqlite3_open(target_file.string().c_str(), &db), db, "open");
  const auto exec = [&](const std::string& sql) { Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql); };
  exec("ATTACH DATABASE '" + source_file.string() + "' AS src");
  std::vector<std::pair<std::string, std::string>> tables;
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v2(db, "select name, sql from src.sqlite_master where type = 'table' and name like '%TGEN%'", -1,
                           &stmt, nullptr),
        db, "list");
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)),
                        reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
  }
  sqlite3_finalize(stmt);
  for (const auto& [name, sql] : tables) exec(sql);  // same declarations, created in main
  const auto start = Clock::now();
  std::int64_t rows = 0;
  for (const auto& [name, sql] : tables) {
    exec("BEGIN");
    exec("INSERT INTO main.\"" + name + "\" SELECT * FROM src.\"" + name + "\"" + (per_row ? " WHERE 1" : ""));
    rows += sqlite3_changes(db);
    exec("COMMIT");
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  sqlite3_close(db);
  std::printf("%s: rows %lld tables %zu seconds %.2f rows/s %.0f peak_mb %.1f\n",
              per_row ? "floor, per row" : "floor", static_cast<long long>(rows), tables.size(), seconds,
              rows / seconds, PeakMegabytes());
  return 0;
}

int Copy(const std::filesystem::path& source, const std::filesystem::path& scratch, int threads) {
  embedded::RegisterEmbeddedDriver();
  const auto sqlserver = scratch / "sqlserver";
  embedded::SqlServerInstance::Create(sqlserver, kSaPassword);
  {
    platform::IniFile ini(scratch / "migrator.ini");
    ini.WriteString("Connect", "ORAHost", source.string());
    ini.WriteString("Connect", "ORAUsername", "sys");
    ini.WriteString("Connect", "ORAPassword", kSysPassword);
    ini.WriteString("Connect", "SQLServer", sqlserver.string());
    ini.WriteString("Connect", "SQLUsername", "sa");
    ini.WriteString("Connect", "SQLPassword", kSaPassword);
    ini.WriteString("Drivers", "Oracle", "embedded");
    ini.WriteString("Drivers", "SQLServer", "embedded");
  }
  std::ostringstream err;
  app::HeadlessHost host(err);
  TimedForm form(host, app::ProgramStart{scratch / "migrator", {}});
  form.FormCreate();
  form.AutoRun = true;
  for (app::CheckBox* c : {&form.cbCreateSQLUser, &form.cbCreateSQLUserAll, &form.cbMigrateTablesVerify,
                           &form.cbMigrateProgramSQLObjects}) {
    c->checked = false;
  }
  form.cbCreateSQLDatabase.checked = true;
  form.cbMigrateTablesCreateTables.checked = true;
  form.cbMigrateTablesCopyRows.checked = true;
  form.cbMultiThread.checked = threads > 1;
  form.Dispatch([&] { form.bProcessClick(); });
  if (!form.cbMigrateTablesCopyRowsDone.checked) {
    std::cerr << "the copy did not finish\n" << err.str();
    return 1;
  }
  std::int64_t rows = 0;
  {
    dac::ConnectParams p;
    p.kind = dac::ServerKind::kSqlServer;
    p.instance_dir = sqlserver.string();
    p.database = "Nortiva55";
    p.user = "sa";
    p.password = kSaPassword;
    auto target = dac::FindDriver("embedded")->Connect(p);
    auto cursor = target->Query("select name from sys.tables where name like 'TGEN%'");
    std::vector<dac::Row> names;
    while (cursor->Fetch(names, 1000)) {
    }
    for (const auto& n : names) {
      auto count = target->Query("select count(*) from [" + n[0].AsText() + "]");
      std::vector<dac::Row> r;
      count->Fetch(r, 1);
      rows += r.at(0).at(0).AsInteger();
    }
  }
  std::printf("copy: threads %d rows %lld seconds %.2f rows/s %.0f peak_mb %.1f\n", threads,
              static_cast<long long>(rows), form.copy_seconds, rows / form.copy_seconds, PeakMegabytes());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: copy_throughput SOURCE_DIR (--threads N | --floor | --floor-rows)\n";
    return 2;
  }
  try {
    Scratch scratch;
    const std::filesystem::path source = std::filesystem::absolute(argv[1]);
    if (std::string(argv[2]) == "--floor") return Floor(source, scratch.path, false);
    if (std::string(argv[2]) == "--floor-rows") return Floor(source, scratch.path, true);
    if (std::string(argv[2]) == "--threads" && argc > 3) return Copy(source, scratch.path, std::stoi(argv[3]));
    std::cerr << "usage: copy_throughput SOURCE_DIR (--threads N | --floor | --floor-rows)\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
