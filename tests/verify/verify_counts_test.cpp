#include <gtest/gtest.h>

#include "tests/support/embedded_run.h"

namespace app {
namespace {

using testing_support::EmbeddedRun;
using testing_support::WriteFile;

constexpr const char* kPrepare =
    "create table tMG_TableCounts (acTableName varchar(128) not null, anNumberOfRecords int not null, "
    "anTotalColunms int not null)\r\ngo\r\ndelete from tMG_TableCounts\r\n";

struct Verify : EmbeddedRun {
  Verify() {
    form.AutoRun = true;
    servers.CreateTargetDatabase("Nortiva55");
    TickOnly({&form.cbMigrateTablesVerify});
    WriteFile(dir / "MigrateVerifyB.sql", kPrepare);
    WriteFile(dir / "MigrateVerifyA.sql",
              "select acTableName, anTotalColunms as nCols from tMG_TableCounts\r\n"
              "where acTableName in ('tHE_SetSubjContact', 'TVX_REPORTS') order by acTableName");
  }
  // The text of the banner entry after "Verify Start at:".
  std::vector<std::string> Report() const {
    const auto log = Log();
    std::vector<std::string> out;
    auto it = std::find_if(log.begin(), log.end(), [](const std::string& l) { return l.starts_with("Verify Start at: "); });
    if (it == log.end()) return out;
    it += 3;  // the start entry's closing rule and the report's opening rule
    for (; it != log.end() && *it != "====================="; ++it) out.push_back(*it);
    return out;
  }
};

TEST(VerifyCounts, WritesExactCountsAndTheReport) {
  Verify r;
  std::vector<std::string> panel;
  r.host.on_repaint = [&] { panel.push_back(r.form.sb.panels[1].text); };
  r.Run();
  ASSERT_EQ(r.form.LastOutcome(), RunOutcome::kFinished) << testing_support::ReadFile(r.form.LastRunLogName());
  EXPECT_TRUE(r.form.cbMigrateTablesVerifyDone.checked);

  const auto counts = r.Rows("Nortiva55",
                             "select acTableName, anNumberOfRecords, anTotalColunms from tMG_TableCounts "
                             "where acTableName in ('tHE_SetItem', 'tHE_SetSubjContact', 'TVX_REPORTS') "
                             "order by acTableName");
  EXPECT_EQ(counts, (std::vector<std::vector<std::string>>{
                        {"tHE_SetItem", "1", "25"}, {"tHE_SetSubjContact", "8", "3"}, {"TVX_REPORTS", "1", "2"}}));
  // Nine permanent tables (not the materialized view, the temporary table or the three system tables).
  EXPECT_EQ(r.Rows("Nortiva55", "select count(*) from tMG_TableCounts")[0][0], "9");

  EXPECT_EQ(r.Report(), (std::vector<std::string>{
                            "acTableName                    nCols ",
                            "------------------------------ ----- ",
                            "tHE_SetSubjContact                 3 ",
                            "TVX_REPORTS                        2 ",
                        }));
  // The counter runs on from the nine tables into the two report rows.
  EXPECT_NE(std::find(panel.begin(), panel.end(), "11"), panel.end());
  EXPECT_FALSE(r.form.sb.visible);
}

TEST(VerifyCounts, AnEmptyResultGivesAnEmptyReport) {
  Verify r;
  WriteFile(r.dir / "MigrateVerifyA.sql", "select acTableName from tMG_TableCounts where 1=2");
  r.Run();
  EXPECT_TRUE(r.form.cbMigrateTablesVerifyDone.checked);
  EXPECT_EQ(r.Report(), std::vector<std::string>{""});
}

TEST(VerifyCounts, ReportLayoutOfLongValuesNullsAndUnicodeTexts) {
  Verify r;
  WriteFile(r.dir / "MigrateVerifyB.sql",
            std::string(kPrepare) +
                "go\r\ncreate table tR (acLong varchar(60), anNull int, acWide nvarchar(10), anBig int)\r\ngo\r\n"
                "insert into tR values ('a text that is longer than thirty characters', null, N'čžš', 1234567)\r\n");
  WriteFile(r.dir / "MigrateVerifyA.sql", "select acLong, anNull, acWide, anBig from tR");
  r.Run();
  EXPECT_EQ(r.Report(), (std::vector<std::string>{
                            "acLong                         anNull acWide anBig ",
                            "------------------------------ ------ ------ ----- ",
                            // Too long for their widths: written whole, pushing the rest right.
                            "a text that is longer than thirty characters           čžš 1234567 ",
                        }));
}

TEST(VerifyCounts, AMissingScriptEndsTheRun) {
  Verify r;
  std::filesystem::remove(r.dir / "MigrateVerifyA.sql");
  r.Run();
  EXPECT_EQ(r.form.LastOutcome(), RunOutcome::kFailed);
  EXPECT_FALSE(r.form.cbMigrateTablesVerifyDone.checked);
  EXPECT_FALSE(r.LogHas("Verify Finish at"));
  ASSERT_EQ(r.host.Errors().size(), 1u);
  EXPECT_NE(r.host.Errors()[0].find("MigrateVerifyA.sql"), std::string::npos);
}

TEST(VerifyCounts, NothingWhenNotTicked) {
  Verify r;
  r.TickOnly({&r.form.cbCreateSQLDatabase});
  r.servers.CreateTargetDatabase("Other");
  r.Run();
  EXPECT_FALSE(r.LogHas("Verify"));
  EXPECT_FALSE(r.form.cbMigrateTablesVerifyDone.checked);
}

TEST(CreateSupportingObjects, RunsTheScriptAndGoesOnPastAFailure) {
  Verify r;
  r.TickOnly({&r.form.cbCreateSQLDatabase, &r.form.cbMigrateTablesVerify, &r.form.cbMigrateProgramSQLObjects});
  WriteFile(r.dir / "MigrateSupportObjects.sql",
            "create table tMG_First (a int)\r\ngo\r\nselect * from tMG_NoSuchTable\r\ngo\r\ncreate table tMG_Third (a int)\r\n");
  r.Run();
  EXPECT_TRUE(r.form.cbMigrateProgramSQLObjectsDone.checked);
  const auto log = r.Log();
  const auto at = std::find(log.begin(), log.end(), "select * from tMG_NoSuchTable");
  ASSERT_NE(at, log.end());
  EXPECT_EQ(*(at + 1), "Invalid object name 'tMG_NoSuchTable'.");
  EXPECT_TRUE(r.LogHas("Supporting Objects Finish at: "));
  EXPECT_EQ(r.Rows("Nortiva55", "select name from sys.tables where name like 'tMG_Th%'"),
            (std::vector<std::vector<std::string>>{{"tMG_Third"}}));
}

TEST(CreateSupportingObjects, AnEmptyFileStillFinishes) {
  Verify r;
  r.TickOnly({&r.form.cbCreateSQLDatabase, &r.form.cbMigrateTablesVerify, &r.form.cbMigrateProgramSQLObjects});
  WriteFile(r.dir / "MigrateSupportObjects.sql", "");
  r.Run();
  EXPECT_TRUE(r.LogHas("Supporting Objects Start at: "));
  EXPECT_TRUE(r.LogHas("Supporting Objects Finish at: "));
  EXPECT_TRUE(r.form.cbMigrateProgramSQLObjectsDone.checked);
}

}  // namespace
}  // namespace app
