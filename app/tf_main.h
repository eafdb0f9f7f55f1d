// TfMain: the main window of the migrator as a model. It owns every setting of
// a run (as controls), the settings file, the run log and the operations of the
// migration steps. The Qt window (ui/) and the headless host show it and feed
// it events; nothing here knows which one does.
//
// Threads: everything runs on the window's thread, except WriteLog, which the
// copy workers call too (RunLog serialises the entries).
#pragma once

#include <array>
#include <atomic>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/controls.h"
#include "app/run_log.h"
#include "app/ui_host.h"
#include "dac/ms_connection.h"
#include "dac/ms_query.h"
#include "dac/ms_script.h"
#include "dac/ora_query.h"
#include "dac/ora_session.h"

namespace platform {
class IniFile;
}

namespace app {

extern const char* const kApplicationTitle;

// What the program was started as.
struct ProgramStart {
  std::filesystem::path program_file;  // the run log and the SQL scripts live beside it
  std::vector<std::string> params;     // command-line parameters, without the program name
};

// How the last run ended; the program's exit status for schedulers.
enum class RunOutcome {
  kNone,        // no run yet
  kFinished,    // every step returned
  kEndedEarly,  // the database step returned false: no error, but the run stopped
  kFailed,      // an error ended the run
};
int ExitStatus(RunOutcome outcome);

// The current local time as run log lines write it.
std::string TimeNow();

class TfMain {
 public:
  TfMain(UiHost& host, ProgramStart start);
  virtual ~TfMain();
  TfMain(const TfMain&) = delete;
  TfMain& operator=(const TfMain&) = delete;

  // Window events.
  void FormCreate();
  void FormPaint();
  void FormClose();
  void bExitClick();
  void bProcessClick();
  void cbMigrateTablesCopyRowsClick();

  // Calls an event operation as the application's event loop does: an error that
  // escapes it is shown in the standard error box and goes no further.
  void Dispatch(const std::function<void()>& event);

  std::string BuildText() const;
  void WriteLog(bool Banner, std::string_view Caption, std::string_view Text);
  // A step's banner line: "<step> Start at: <time>" or "<step> Finish at: <time>".
  void WriteStepBanner(std::string_view step, bool start);

  // False while a run is in progress: the window must not close under it.
  bool CanClose() const { return !run_in_progress_; }
  bool RunInProgress() const { return run_in_progress_; }
  RunOutcome LastOutcome() const { return last_outcome_; }
  const std::filesystem::path& LastRunLogName() const { return last_run_log_name_; }
  std::string LastLogEntry() const { return RunLog_.LastLogEntry(); }
  const std::filesystem::path& ProgramFile() const { return start_.program_file; }
  UiHost& Host() { return host_; }

  // True when "Verify" is the only step ticked (the database check box and
  // "Multithreading" do not count).
  bool VerifyOnly() const;

  // Window.
  std::string Caption;
  GroupBox gbORA, gbSQL, gbSQLDatabase, gbSQLUsers, gbTables, gbNavigation;

  // Settings.
  TextEdit eSQLServer, eSQLDatabase, eSQLUsername, eSQLPassword;
  TextEdit eORAHost, eORAPort, eORASID;
  RadioGroup rgORAConnectionType;
  TextEdit eORAUsername, eORAPassword, eORADatabaseName;
  CheckBox cbCreateSQLUser, cbCreateSQLUserAll, cbCreateSQLDatabase;
  TextEdit eSQLUserUsername, eSQLUserPassword;
  CheckBox cbMigrateTablesCreateTables, cbMigrateTablesCopyRows, cbMultiThread;
  CheckBox cbMigrateTablesVerify, cbMigrateProgramSQLObjects;

  // Marks.
  CheckBox cbORAOpen, cbSQLOpen, cbSQLDatabase, cbSQLUser, cbSQLUserAll;
  CheckBox cbMigrateTablesCreateTablesDone, cbMigrateTablesCopyRowsDone;
  CheckBox cbMigrateTablesVerifyDone, cbMigrateProgramSQLObjectsDone;

  StatusBar sb;
  ProgressBar pb, pbDet;
  Button bProcess, bExit;
  Label lNortiva;

  // Which driver reaches each server: the settings file's [Drivers] section.
  // "odbc" reaches a real server; "embedded" a stand-in instance whose folder is
  // the "Host" (Oracle) or "Server" (SQL Server) field.
  struct DriverSettings {
    std::string Oracle = "odbc";
    std::string SQLServer = "odbc";
    std::string OracleOdbcDriver = "Oracle 21 ODBC driver";
    std::string SQLServerOdbcDriver = "FreeTDS";
  } Drivers;

  // Window fields.
  std::string IniFileName;
  std::string DatabaseFolder;
  bool AutoRun = false;
  bool FirstPaint = true;

  // Data-access objects of the window. The per-worker pairs (slots 1 to 7;
  // element 0 is unused) exist only while the row copy runs.
  static constexpr int kWorkerSlots = 7;
  dac::OraSession orasORA;
  dac::MSConnection mscSQL;
  std::array<std::unique_ptr<dac::OraSession>, kWorkerSlots + 1> OracleSessions;
  std::array<std::unique_ptr<dac::MSConnection>, kWorkerSlots + 1> SqlServerConnections;
  dac::OraQuery orasqQuery, orasqQuery1;
  dac::MSQuery msqQuery;
  dac::MSScript msScript;

  // True when the latest msScript statement ran and no row insert failed since.
  // Copy workers clear it too.
  std::atomic<bool> SqlServerStepOk{false};
  // "Multithreading" as it stood when the run started: the worker pairs and the
  // copy must agree for the whole row copy even if the box changes meanwhile.
  bool MultiThreadRun = false;

  // The row copy. Workers share these with the window's thread: each worker
  // clears its own slot's WorkerBusy entry and counts TablesDone; slot 1 also
  // reports its current table's rows.
  std::array<std::atomic<bool>, kWorkerSlots + 1> WorkerBusy{};
  std::atomic<int> TablesDone{0};
  std::atomic<std::int64_t> DetailTotal{0};
  std::atomic<std::int64_t> DetailDone{0};
  // Copies one table on a worker slot (1 to 7); logs its problems, raises nothing.
  virtual void CopyTable(int WorkerSlot, const std::string& TableName);
  bool AnyWorkerBusy() const;

  // The exact row count of one Oracle table, through orasqQuery1.
  std::int64_t CountRows(const std::string& TableName);

  // Connections and their events. The two connect operations are the run's
  // first steps (a test may stand in for them).
  virtual void ConnectOracle();
  virtual void ConnectSQLServer(bool ToMaster);
  void OpenThreadConnections();
  void CloseThreadConnections();
  void orasORAConnectChange(dac::OraSession& Sender, bool Connected);
  void mscSQLConnectStatus(dac::DAConnection& Sender);
  std::string ErpBuildText();

  // The settings of the queries that read the source and write the target,
  // shared by the window's own queries and the copy's.
  void SetUpSourceQuery(dac::OraQuery& query, dac::OraSession& session);
  void SetUpTargetQuery(dac::MSQuery& query, dac::MSConnection& connection);

  // Replaces the whole text of msScript with `text` and executes it.
  void ExecuteScript(const std::string& text);
  void CreateLogin(const std::string& Name, const std::string& Password, bool SysAdmin, bool SecurityAdmin);

  // Errors of statements and row inserts: logged, never raised.
  void msScriptBeforeExecute(dac::MSScript& Sender, std::string& SQL, bool& Omit);
  void msScriptError(dac::MSScript& Sender, const std::exception& E, const std::string& SQL,
                     dac::ErrorAction& Action);
  void msqQueryPostError(dac::DataSet& DataSet, const std::exception& E, dac::DataAction& Action);
  void orasqQueryPostError(dac::DataSet& DataSet, const std::exception& E, dac::DataAction& Action);

 protected:
  // The migration steps, in the order a run calls them. Each decides by its own
  // check boxes whether it does anything.
  virtual bool CreateDatabase();
  virtual void CreateUsers();
  virtual void CreateTables();
  virtual void CopyRows();
  virtual void VerifyCounts();
  virtual void CreateSupportingObjects();

  // The main connections, as the run driver needs them.
  virtual bool MainConnectionsOpen();
  virtual std::string OracleIdentityLine();
  virtual std::string SqlServerIdentityLine();
  void CloseMainConnections();

 private:
  void RunSteps(bool& finished);
  void SetUpDataAccessObjects();

  UiHost& host_;
  ProgramStart start_;
  std::unique_ptr<platform::IniFile> settings_;
  RunLog RunLog_;
  bool run_in_progress_ = false;
  RunOutcome last_outcome_ = RunOutcome::kNone;
  std::filesystem::path last_run_log_name_;
};

}  // namespace app
