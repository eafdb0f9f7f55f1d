#include <gtest/gtest.h>

#include "platform/abort.h"
#include "tests/connections/connections_fixture.h"

namespace app {
namespace {

using connections_testing::Fixture;
using connections_testing::HookedMain;

constexpr const char* kRefusal = "Database 'Nortiva55' already exists. Choose a different database name.";

void RunScript(HookedMain& f, const std::string& sql) {
  f.msScript.SQL = sql;
  f.msScript.Execute();
}

TEST(ScriptErrors, CreateDatabaseIsShownOnlyInAnInteractiveRun) {
  struct Case {
    bool auto_run;
    const char* statement;
    bool shown;
  };
  const Case cases[] = {
      {false, "create database [Nortiva55]", true},
      {true, "create database [Nortiva55]", false},
      {false, "CREATE DATABASE [Nortiva55]", false},
      {false, " create database [Nortiva55]", true},  // the error event receives the text trimmed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statement);
    Fixture fx;
    fx.form.AutoRun = c.auto_run;
    fx.server.refuse_statement = [](const std::string& sql) -> std::optional<std::string> {
      if (sql.find("atabase") != std::string::npos || sql.find("ATABASE") != std::string::npos) return std::string(kRefusal);
      return std::nullopt;
    };
    bool step_ok = true;
    fx.form.during_run = [&](HookedMain& f) {
      RunScript(f, std::string(c.statement) + "\r\ngo\r\nselect 1");
      step_ok = f.SqlServerStepOk;
    };
    fx.form.bProcessClick();
    const std::string trimmed = c.statement[0] == ' ' ? std::string(c.statement + 1) : std::string(c.statement);
    const auto log = fx.Log();
    const auto at = std::find(log.begin(), log.end(), trimmed);
    ASSERT_NE(at, log.end());
    ASSERT_LT(at + 2, log.end());
    EXPECT_EQ(*(at + 1), kRefusal);
    EXPECT_EQ(*(at + 2), "");
    EXPECT_EQ(fx.host.Errors().size(), c.shown ? 1u : 0u);
    EXPECT_TRUE(step_ok);  // the next statement ran and succeeded
    EXPECT_EQ(fx.server.statements.back(), "select 1");
  }
}

TEST(ScriptErrors, StepOkFollowsTheLastStatement) {
  Fixture fx;
  fx.server.refuse_statement = [](const std::string& sql) -> std::optional<std::string> {
    if (sql.starts_with("bad")) return std::string("Incorrect syntax near 'bad'.");
    return std::nullopt;
  };
  std::vector<bool> seen;
  fx.form.during_run = [&](HookedMain& f) {
    RunScript(f, "bad");
    seen.push_back(f.SqlServerStepOk);
    RunScript(f, "good");
    seen.push_back(f.SqlServerStepOk);
  };
  fx.form.bProcessClick();
  EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

TEST(PostErrors, CaptionNamesTheTableOrTheWholeText) {
  struct Case {
    const char* sql;
    std::vector<std::string> entry;
  };
  const Case cases[] = {
      {"select * from tHE_Item where 1=2", {"tHE_Item", "Violation", ""}},
      {"select * from tHE_Item", {"select * from tHE_Item", "", "Violation", ""}},
      {"select 1 where 1=2", {"Violation", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    Fixture fx;
    fx.server.AddTable("tHE_Item", {dac::testing::Col("acIdent", dac::FieldType::ftString, 16)});
    dac::DataAction action = dac::DataAction::daFail;
    bool step_ok = true;
    fx.form.during_run = [&](HookedMain& f) {
      f.SqlServerStepOk = true;
      f.msqQuery.SQL = c.sql;
      f.msqQueryPostError(f.msqQuery, std::runtime_error("Violation"), action);
      step_ok = f.SqlServerStepOk;
    };
    fx.form.bProcessClick();
    EXPECT_EQ(action, dac::DataAction::daAbort);
    EXPECT_FALSE(step_ok);
    const auto log = fx.Log();
    const auto at = std::search(log.begin(), log.end(), c.entry.begin(), c.entry.end());
    EXPECT_NE(at, log.end());
  }
}

TEST(PostErrors, OracleQueryErrorAborts) {
  Fixture fx;
  dac::DataAction action = dac::DataAction::daFail;
  fx.form.during_run = [&](HookedMain& f) {
    f.orasqQuery1.SQL = "select * from tHE_Move";
    f.orasqQueryPostError(f.orasqQuery1, std::runtime_error("ORA-01722: invalid number"), action);
  };
  fx.form.bProcessClick();
  EXPECT_EQ(action, dac::DataAction::daAbort);
  EXPECT_TRUE(fx.LogHas("ORA-01722: invalid number"));
  EXPECT_TRUE(fx.LogHas("select * from tHE_Move"));
}

}  // namespace
}  // namespace app
