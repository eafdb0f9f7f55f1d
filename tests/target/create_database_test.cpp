#include <gtest/gtest.h>

#include "tests/support/embedded_run.h"

namespace app {
namespace {

using testing_support::EmbeddedRun;

TEST(CreateDatabase, CreatesTheDatabaseInSimpleRecovery) {
  EmbeddedRun r;
  r.TickOnly({&r.form.cbCreateSQLDatabase});
  r.Run();
  EXPECT_TRUE(r.form.cbSQLDatabase.checked);
  EXPECT_EQ(r.form.LastOutcome(), RunOutcome::kFinished);
  EXPECT_EQ(r.Rows("master", "select name, recovery_model_desc from sys.databases where name = 'Nortiva55'"),
            (std::vector<std::vector<std::string>>{{"Nortiva55", "SIMPLE"}}));
  EXPECT_FALSE(r.LogHas("create database"));  // nothing failed
  EXPECT_FALSE(r.LogHas("alter database"));
}

TEST(CreateDatabase, DataFileGoesIntoTheFolderWithOneBackslash) {
  for (const char* tail : {"", "\\"}) {
    SCOPED_TRACE(tail);
    EmbeddedRun r;
    const auto folder = r.dir / "data";
    std::filesystem::create_directory(folder);
    r.form.DatabaseFolder = folder.string() + tail;
    r.TickOnly({&r.form.cbCreateSQLDatabase});
    r.Run();
    EXPECT_TRUE(r.form.cbSQLDatabase.checked);
    EXPECT_EQ(r.form.DatabaseFolder, folder.string() + "\\");
    EXPECT_TRUE(std::filesystem::exists(folder / "Nortiva55.mdf"));
  }
}

TEST(CreateDatabase, StatementNamesTheFolderAsWindowsWritesIt) {
  for (const char* folder : {"E:\\SQL", "E:\\SQL\\"}) {
    SCOPED_TRACE(folder);
    EmbeddedRun r;
    r.form.AutoRun = true;
    r.form.DatabaseFolder = folder;
    r.TickOnly({&r.form.cbCreateSQLDatabase});
    r.Run();
    // No such folder here: the statement fails and is logged under its own text.
    EXPECT_TRUE(r.LogHas("create database [Nortiva55] on (NAME = Nortiva55, FILENAME = 'E:\\SQL\\Nortiva55.mdf')"));
    EXPECT_FALSE(r.form.cbSQLDatabase.checked);
    EXPECT_EQ(r.host.focused, std::vector<std::string>{"eSQLDatabase"});
    EXPECT_EQ(r.form.LastOutcome(), RunOutcome::kEndedEarly);
  }
}

TEST(CreateDatabase, AnExistingDatabaseIsStillDone) {
  EmbeddedRun r;
  r.servers.CreateTargetDatabase("Nortiva55");
  r.TickOnly({&r.form.cbCreateSQLDatabase});
  r.Run();
  const auto log = r.Log();
  const auto at = std::find(log.begin(), log.end(), "create database [Nortiva55]");
  ASSERT_NE(at, log.end());
  EXPECT_EQ(*(at + 1), "Database 'Nortiva55' already exists. Choose a different database name.");
  EXPECT_EQ(*(at + 2), "");
  // Interactive: the operator sees the refusal, and the run goes on.
  EXPECT_EQ(r.host.Errors().size(), 1u);
  EXPECT_TRUE(r.form.cbSQLDatabase.checked);
  EXPECT_EQ(r.form.LastOutcome(), RunOutcome::kFinished);
}

TEST(CreateDatabase, ANameWithAClosingBracketStaysOneName) {
  EmbeddedRun r;
  r.form.eSQLDatabase.text = "Nor]tiva's";
  r.TickOnly({&r.form.cbCreateSQLDatabase});
  r.Run();
  EXPECT_TRUE(r.form.cbSQLDatabase.checked);
  EXPECT_EQ(r.Rows("master", "select name from sys.databases where name = 'Nor]tiva''s'").size(), 1u);
}

}  // namespace
}  // namespace app
