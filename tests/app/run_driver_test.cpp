#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "app/headless_host.h"
#include "app/tf_main.h"
#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

// The window with its steps observed: each step records its call, and a test
// may make one of them fail or start a second run from inside.
class RecordingMain : public TfMain {
 public:
  using TfMain::TfMain;

  std::vector<std::string> calls;
  std::string failing_step;
  bool connections_open = false;
  bool reenter_in_copy = false;

 protected:
  void Step(const std::string& name) {
    calls.push_back(name);
    if (name == failing_step) throw std::runtime_error("QARNETH Error: " + name + " failed");
  }
  void ConnectOracle() override { Step("ConnectOracle"); }
  void ConnectSQLServer(bool to_master) override {
    Step(std::string("ConnectSQLServer ") + (to_master ? "master" : eSQLDatabase.text));
  }
  // A clear box ends the step before it reaches a server.
  bool CreateDatabase() override {
    Step("CreateDatabase");
    return cbCreateSQLDatabase.checked ? true : TfMain::CreateDatabase();
  }
  void CreateUsers() override { Step("CreateUsers"); }
  void CreateTables() override { Step("CreateTables"); }
  void CopyRows() override {
    Step("CopyRows");
    if (reenter_in_copy) bProcessClick();
  }
  void VerifyCounts() override { Step("VerifyCounts"); }
  void CreateSupportingObjects() override { Step("CreateSupportingObjects"); }
  bool MainConnectionsOpen() override { return connections_open; }
  std::string OracleIdentityLine() override { return "ORACLE connect as sys on orcl.ERP, Build: 1 Revision: 2"; }
  std::string SqlServerIdentityLine() override { return "MSSQL connect as AD on Localhost.Nortiva55"; }
};

struct Fixture {
  explicit Fixture(std::vector<std::string> params = {})
      : host(err), form(host, ProgramStart{dir / "migrator", std::move(params)}) {
    form.FormCreate();
  }
  std::vector<std::string> LogLines() const {
    return testing_support::LogLines(form.LastRunLogName());
  }
  TempDir dir;
  std::ostringstream err;
  HeadlessHost host;
  RecordingMain form;
};

const std::vector<std::string> kAllSteps = {
    "ConnectOracle",  "ConnectSQLServer master", "CreateDatabase", "ConnectSQLServer Nortiva55", "CreateUsers",
    "CreateTables",   "CopyRows",                "VerifyCounts",   "CreateSupportingObjects",
};

void ClearAllSteps(TfMain& f) {
  for (CheckBox* c : {&f.cbCreateSQLUser, &f.cbCreateSQLUserAll, &f.cbCreateSQLDatabase,
                      &f.cbMigrateTablesCreateTables, &f.cbMigrateTablesCopyRows, &f.cbMultiThread,
                      &f.cbMigrateTablesVerify, &f.cbMigrateProgramSQLObjects}) {
    c->checked = false;
  }
}

TEST(RunDriver, CompleteRunCallsEveryStepInOrder) {
  Fixture fx;
  fx.form.connections_open = true;
  fx.form.bProcessClick();

  EXPECT_EQ(fx.form.calls, kAllSteps);
  const auto name = fx.form.LastRunLogName();
  EXPECT_EQ(name.parent_path(), fx.dir.path());
  EXPECT_TRUE(name.filename().string().starts_with("MgrQARNETH_"));
  EXPECT_EQ(name.filename().string().size(), std::string("MgrQARNETH_20261211120000.log").size());

  const auto lines = fx.LogLines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "VORANTEX™5.5 ORACLE to MSSQL migrator - Nortiva, Build: 1");
  EXPECT_EQ(lines[1], "=====================");
  EXPECT_TRUE(lines[2].starts_with("QARNETH Process Start at: ")) << lines[2];
  EXPECT_EQ(lines[2].size(), std::string("QARNETH Process Start at: 11.12.2026 12:00:00").size());
  EXPECT_EQ(lines[4], "ORACLE connect as sys on orcl.ERP, Build: 1 Revision: 2");
  EXPECT_EQ(lines[5], "MSSQL connect as AD on Localhost.Nortiva55");
  EXPECT_TRUE(lines[7].starts_with("QARNETH Finish at: ")) << lines[7];

  EXPECT_EQ(fx.host.Messages(), std::vector<std::string>{"Database migration is finished!"});
  EXPECT_EQ(fx.form.LastOutcome(), RunOutcome::kFinished);
  EXPECT_EQ(fx.host.Cursor(), CursorKind::kDefault);
  EXPECT_FALSE(fx.form.RunInProgress());
}

TEST(RunDriver, VerifyOnlyRunSkipsTheDatabaseStep) {
  for (bool database_box : {false, true}) {
    Fixture fx;
    ClearAllSteps(fx.form);
    fx.form.cbMigrateTablesVerify.checked = true;
    fx.form.cbCreateSQLDatabase.checked = database_box;
    fx.form.cbMultiThread.checked = true;
    fx.form.bProcessClick();
    std::vector<std::string> expected = kAllSteps;
    expected.erase(expected.begin() + 2);
    EXPECT_EQ(fx.form.calls, expected);
    EXPECT_EQ(fx.host.Messages().size(), 1u);
    EXPECT_EQ(fx.form.LastOutcome(), RunOutcome::kFinished);
  }
}

TEST(RunDriver, ClearDatabaseBoxEndsTheRunEarly) {
  Fixture fx;
  fx.form.cbCreateSQLDatabase.checked = false;
  fx.form.cbSQLDatabase.checked = true;
  fx.form.bProcessClick();
  EXPECT_EQ(fx.form.calls, (std::vector<std::string>{"ConnectOracle", "ConnectSQLServer master", "CreateDatabase"}));
  EXPECT_FALSE(fx.form.cbSQLDatabase.checked);
  const auto lines = fx.LogLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_TRUE(lines[2].starts_with("QARNETH Process Start at: "));
  EXPECT_TRUE(lines[5].starts_with("QARNETH Finish at: "));
  EXPECT_TRUE(fx.host.Messages().empty());
  EXPECT_EQ(fx.form.LastOutcome(), RunOutcome::kEndedEarly);
  EXPECT_EQ(ExitStatus(fx.form.LastOutcome()), 2);
}

TEST(RunDriver, IdentityLinesOnlyWithBothConnectionsOpen) {
  Fixture fx;
  fx.form.bProcessClick();
  for (const auto& line : fx.LogLines()) EXPECT_FALSE(line.starts_with("ORACLE connect as")) << line;
}

TEST(RunDriver, AnErrorEndsTheRunWithoutFinishLineOrMessage) {
  Fixture fx;
  fx.form.failing_step = "CreateTables";
  fx.form.Dispatch([&] { fx.form.bProcessClick(); });
  EXPECT_EQ(fx.form.calls.back(), "CreateTables");
  EXPECT_EQ(fx.host.Errors(), std::vector<std::string>{"QARNETH Error: CreateTables failed"});
  EXPECT_TRUE(fx.host.Messages().empty());
  for (const auto& line : fx.LogLines()) EXPECT_FALSE(line.starts_with("QARNETH Finish at")) << line;
  EXPECT_EQ(fx.host.Cursor(), CursorKind::kDefault);
  EXPECT_FALSE(fx.form.RunInProgress());
  EXPECT_EQ(ExitStatus(fx.form.LastOutcome()), 1);
  EXPECT_THROW(fx.form.WriteLog(false, "", "after the run"), std::logic_error);  // the log is closed
}

TEST(RunDriver, LogThatCannotBeCreatedRunsNoStep) {
  TempDir dir;
  std::ostringstream err;
  HeadlessHost host(err);
  RecordingMain form(host, ProgramStart{dir / "missing" / "migrator", {}});
  form.FormCreate();
  form.Dispatch([&] { form.bProcessClick(); });
  EXPECT_TRUE(form.calls.empty());
  ASSERT_EQ(host.Errors().size(), 1u);
  EXPECT_NE(host.Errors()[0].find("MgrQARNETH_"), std::string::npos);
  EXPECT_EQ(form.LastOutcome(), RunOutcome::kFailed);
  EXPECT_EQ(host.Cursor(), CursorKind::kDefault);
}

TEST(RunDriver, SecondProcessDuringARunIsRefused) {
  Fixture fx;
  fx.form.reenter_in_copy = true;
  fx.form.bProcessClick();
  EXPECT_EQ(fx.form.calls, kAllSteps);
  EXPECT_EQ(fx.host.Messages().size(), 1u);
}

TEST(RunDriver, AutomaticModeRunsOnceOnTheFirstPaintAndCloses) {
  Fixture fx({"/a"});
  EXPECT_TRUE(fx.form.AutoRun);
  fx.form.FormPaint();
  fx.form.FormPaint();
  EXPECT_EQ(fx.form.calls, kAllSteps);
  EXPECT_TRUE(fx.host.Messages().empty());
  EXPECT_TRUE(fx.host.CloseRequested());
}

TEST(RunDriver, FailedAutomaticRunLeavesTheWindowOpen) {
  Fixture fx({"/A"});
  fx.form.failing_step = "ConnectOracle";
  fx.form.Dispatch([&] { fx.form.FormPaint(); });
  EXPECT_EQ(fx.host.Errors().size(), 1u);
  EXPECT_FALSE(fx.host.CloseRequested());
}

TEST(RunDriver, InteractivePaintDoesNotRun) {
  Fixture fx;
  fx.form.FormPaint();
  EXPECT_TRUE(fx.form.calls.empty());
  EXPECT_FALSE(fx.form.FirstPaint);
}

}  // namespace
}  // namespace app
