// The project's own T-SQL scripts (sql/*.sql) run on the embedded server as
// they are written, batch by batch, as the client splits them at "go" lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/text.h"
#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

std::vector<std::string> Batches(const std::string& script) {
  std::vector<std::string> out(1);
  std::istringstream in(script);
  for (std::string line; std::getline(in, line);) {
    if (platform::SameText(platform::Trim(line), "go")) {
      out.emplace_back();
    } else {
      out.back() += line + "\n";
    }
  }
  std::erase_if(out, [](const std::string& b) { return platform::Trim(b).empty(); });
  return out;
}

std::string Script(const std::string& name) {
  return testing_support::ReadFile(std::filesystem::path(MIGRATOR_SOURCE_DIR) / "sql" / name);
}

class SqlServerScriptsTest : public SqlServerInstanceTest {
 protected:
  void SetUp() override {
    SqlServerInstanceTest::SetUp();
    c_ = Connect();
  }

  void RunScript(const std::string& name) {
    for (const std::string& batch : Batches(Script(name))) {
      ASSERT_NO_THROW(c_->Execute(batch)) << name << ":\n" << batch;
    }
  }

  std::unique_ptr<dac::Connection> c_;
};

TEST_F(SqlServerScriptsTest, VerifyPreparationCreatesTheCountTableOnceAndEmptiesIt) {
  RunScript("MigrateVerifyB.sql");
  c_->Execute("insert into tMG_TableCounts (acTableName, anNumberOfRecords, anTotalColunms) values ('tHE_Item', 1, 2)");
  EXPECT_FALSE(Scalar(*c_, "select adCounted from tMG_TableCounts").IsNull());
  RunScript("MigrateVerifyB.sql");
  EXPECT_EQ(Scalar(*c_, "select count(*) from tMG_TableCounts").AsInteger(), 0);
  EXPECT_EQ(Scalar(*c_, "select count(*) from sys.tables where name = 'tMG_TableCounts'").AsInteger(), 1);
}

TEST_F(SqlServerScriptsTest, VerifyReportsEachCountedTableWorstFirst) {
  RunScript("MigrateVerifyB.sql");
  c_->Execute(
      "create table tHE_Item (acIdent varchar(16), anQty int)\n"
      "insert into tHE_Item values ('A', 1), ('B', 2)\n"
      "create table tHE_Short (acIdent varchar(16))\n"
      "create table tVX_SysRef (anId int)\n"
      "insert into tMG_TableCounts (acTableName, anNumberOfRecords, anTotalColunms) values "
      "('tHE_Item', 2, 2), ('THE_SHORT', 4, 1), ('tHE_Gone', 7, 3), ('tVX_SysRef', 9, 9), ('tHE_Wide', 0, 1)");
  const auto rows = Rows(*c_, Script("MigrateVerifyA.sql"));
  struct Want {
    const char* table;
    const char* status;
    std::int64_t oracle_rows, target_rows, oracle_columns, target_columns;
  };
  const Want want[] = {
      {"tHE_Gone", "MISSING", 7, 0, 3, 0},
      {"tHE_Wide", "MISSING", 0, 0, 1, 0},
      {"THE_SHORT", "DIFFERENT", 4, 0, 1, 1},
      {"tVX_SysRef", "FILTERED", 9, 0, 9, 1},
      {"tHE_Item", "OK", 2, 2, 2, 2},
  };
  ASSERT_EQ(rows.size(), std::size(want));
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const Want& w = want[k];
    ASSERT_EQ(rows[k].size(), 6u);
    EXPECT_EQ(rows[k][0].AsText(), w.table) << k;
    EXPECT_EQ(rows[k][1].AsText(), w.status) << w.table;
    EXPECT_EQ(rows[k][2].AsInteger(), w.oracle_rows) << w.table;
    EXPECT_EQ(rows[k][3].AsInteger(), w.target_rows) << w.table;
    EXPECT_EQ(rows[k][4].AsInteger(), w.oracle_columns) << w.table;
    EXPECT_EQ(rows[k][5].AsInteger(), w.target_columns) << w.table;
  }
}

TEST_F(SqlServerScriptsTest, SupportObjectsRecordEachRunInOneTable) {
  c_->Execute(
      "create table tHE_Item (acIdent varchar(16))\n"
      "insert into tHE_Item values ('A'), ('B'), ('C')\n"
      "create table tHE_Empty (anId int)");
  RunScript("MigrateVerifyB.sql");
  c_->Execute("insert into tMG_TableCounts (acTableName, anNumberOfRecords, anTotalColunms) values ('tHE_Item', 3, 1)");
  RunScript("MigrateSupportObjects.sql");
  c_->Execute("insert into tHE_Empty values (1)");
  RunScript("MigrateSupportObjects.sql");

  const auto rows =
      Rows(*c_, "select anMigration, acSourceSchema, anTables, anRows, adMigrated from tMG_Migration order by anMigration");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].AsInteger(), 1);
  EXPECT_EQ(rows[0][1].AsText(), "Erp");
  EXPECT_EQ(rows[0][2].AsInteger(), 2);
  EXPECT_EQ(rows[0][3].AsInteger(), 3);
  EXPECT_FALSE(rows[0][4].IsNull());
  EXPECT_EQ(rows[1][0].AsInteger(), 2);
  EXPECT_EQ(rows[1][3].AsInteger(), 4);
  EXPECT_EQ(Scalar(*c_, "select count(*) from sys.tables where name = 'tMG_Migration'").AsInteger(), 1);
}

}  // namespace
}  // namespace embedded::testing
