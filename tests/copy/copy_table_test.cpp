#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "drivers/embedded/oracle_connection.h"
#include "platform/text.h"
#include "tests/copy/copy_run.h"

namespace app {
namespace {

using copy_testing::CopyRun;
using copy_testing::Inserts;
using copy_testing::kBareSource;

std::string Numbered(const std::string& table, int rows) {
  return "CREATE TABLE " + table + " (anId NUMBER(10) NOT NULL, acName VARCHAR2(20));\n" +
         Inserts(table, rows, [](int i) { return std::to_string(i) + ", 'row " + std::to_string(i) + "'"; });
}

TEST(CopyTable, SendsTheCacheEveryTwoThousandRows) {
  struct Case {
    int rows;
    std::vector<std::size_t> batches;
  };
  // The cache left empty by the last full batch sends nothing at the end.
  for (const Case& c : {Case{2000, {2000}}, Case{4000, {2000, 2000}}, Case{5000, {2000, 2000, 1000}}}) {
    CopyRun r(kBareSource + Numbered("TBATCH", c.rows));
    r.CreateAndCopy();
    std::vector<std::size_t> sent;
    for (const auto& b : r.journal->BatchesOf("TBATCH")) sent.push_back(b.rows);
    EXPECT_EQ(sent, c.batches) << c.rows << " rows";
    EXPECT_EQ(r.Count("TBATCH"), c.rows);
    EXPECT_FALSE(r.LogHas("TBATCH Copied")) << "a clean copy leaves no entry";
    EXPECT_TRUE(r.form.cbMigrateTablesCopyRowsDone.checked);
  }
}

TEST(CopyTable, RowRefusedByTheServerEndsItsTableAndKeepsEarlierBatches) {
  // NUMBER(3) becomes tinyint, which refuses 300 on row 3000 of 5000.
  std::string source = kBareSource;
  source += "CREATE TABLE TREFUSE (anId NUMBER(10) NOT NULL, anSmall NUMBER(3));\n";
  source += Inserts("TREFUSE", 5000, [](int i) { return std::to_string(i) + ", " + (i == 3000 ? "300" : "7"); });
  source += Numbered("TAFTER", 3);
  CopyRun r(source);
  r.CreateAndCopy();
  EXPECT_TRUE(r.LogHas("TREFUSE Copied  4000 of 5000 records")) << ::testing::PrintToString(r.Log());
  // No transaction of the copy's own: the first batch and the second's rows
  // before the refused one stay.
  EXPECT_EQ(r.Count("TREFUSE"), 2999);
  EXPECT_EQ(r.Column("select max(anId) from TREFUSE"), std::vector<std::string>{"2999"});
  EXPECT_EQ(r.Count("TAFTER"), 3) << "the step goes on with the next table";
  EXPECT_TRUE(r.form.cbMigrateTablesCopyRowsDone.checked);
}

// Lets a test change the target between table creation and the row copy.
class MarkingForm : public TfMain {
 public:
  using TfMain::TfMain;
  std::function<void()> before_copy;

 protected:
  void CopyRows() override {
    if (before_copy) before_copy();
    TfMain::CopyRows();
  }
};

// Runs once with the four register tables carrying acUserDef, once without.
class RegisterTables : public ::testing::TestWithParam<bool> {};

TEST_P(RegisterTables, OnlyTheCustomersOwnRowsOrNotTouchedAtAll) {
  const bool user_def = GetParam();
  const std::string column = user_def ? ", acUserDef CHAR(1) NOT NULL" : "";
  const auto flag = [&](const char* f) { return user_def ? std::string(", '") + f + "'" : std::string(); };
  std::string source =
      "CREATE USER NORTIVA55 IDENTIFIED BY erp;\nALTER SESSION SET CURRENT_SCHEMA = NORTIVA55;\n"
      "CREATE TABLE tVX_SysParamSys (anBuildNo NUMBER(10), anRevision NUMBER(5));\n"
      "INSERT INTO tVX_SysParamSys VALUES (5500, 12);\n";
  source += "CREATE TABLE tVX_SysTables (acTableName VARCHAR2(30) NOT NULL" + column + ");\n";
  source += "CREATE TABLE tVX_SysTableStr (acTableName VARCHAR2(30), acFieldName VARCHAR2(30), anSeqNo NUMBER(5)" +
            column + ");\n";
  source += "CREATE TABLE tVX_SysRef (acTableName VARCHAR2(30)" + column + ");\n";
  source += "CREATE TABLE tVX_SysIndex (acTableName VARCHAR2(30)" + column + ");\n";
  source += "INSERT INTO tVX_SysTables VALUES ('tOwn'" + flag("T") + ");\n";
  source += "INSERT INTO tVX_SysTables VALUES ('tErp'" + flag("F") + ");\n";
  source += "INSERT INTO tVX_SysTableStr VALUES ('tOwn', 'acA', 1" + flag("T") + ");\n";
  source += "INSERT INTO tVX_SysTableStr VALUES ('tErp', 'acB', 1" + flag("F") + ");\n";
  for (const char* t : {"tVX_SysRef", "tVX_SysIndex"}) {
    source += std::string("INSERT INTO ") + t + " VALUES ('tOwn'" + flag("T") + ");\n";
    source += std::string("INSERT INTO ") + t + " VALUES ('tErp'" + flag("F") + ");\n";
  }
  CopyRun<MarkingForm> r(source);
  // A row the copy would delete if it touched the table.
  const char* tables[] = {"TVX_SYSTABLES", "TVX_SYSTABLESTR", "TVX_SYSREF", "TVX_SYSINDEX"};
  r.form.before_copy = [&] {
    for (const char* t : tables) {
      r.Target()->Execute(std::string("insert into ") + t + " (acTableName" + (user_def ? ", acUserDef" : "") +
                          ") values ('tKept'" + (user_def ? ", 'T'" : "") + ")");
    }
  };
  r.CreateAndCopy();
  for (const char* t : tables) {
    auto names = r.Column(std::string("select acTableName from ") + t);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, user_def ? std::vector<std::string>{"tOwn"} : std::vector<std::string>{"tKept"}) << t;
    EXPECT_FALSE(r.LogHas(std::string(t) + " Copied")) << t;
  }
  EXPECT_TRUE(r.form.cbMigrateTablesCopyRowsDone.checked);
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutUserDef, RegisterTables, ::testing::Bool());

TEST(CopyTable, ReportsAboveA) {
  std::string source = kBareSource;
  source += "CREATE TABLE tVX_Reports (acReport VARCHAR2(20) NOT NULL, acTitle VARCHAR2(60));\n";
  for (const char* report : {"A", "AB", "INVOICE", "0X", "a1", " Z", "@"}) {
    source += std::string("INSERT INTO tVX_Reports VALUES ('") + report + "', 't');\n";
  }
  CopyRun r(source);
  r.CreateAndCopy();
  auto reports = r.Column("select acReport from TVX_REPORTS");
  std::sort(reports.begin(), reports.end());
  EXPECT_EQ(reports, (std::vector<std::string>{"AB", "INVOICE", "a1"})) << ::testing::PrintToString(r.Log());
}

constexpr const char* kIdentitySource =
    "CREATE TABLE tVX_SysUpgradeTimeLog (anSeq NUMBER(10) NOT NULL, acText VARCHAR2(100));\n"
    "INSERT INTO tVX_SysUpgradeTimeLog VALUES (5, 'five');\n"
    "INSERT INTO tVX_SysUpgradeTimeLog VALUES (7, 'seven');\n"
    "INSERT INTO tVX_SysUpgradeTimeLog VALUES (100, 'hundred');\n"
    "CREATE TABLE tVX_SysConstraintErrLog (anOrder NUMBER(10) NOT NULL, acText VARCHAR2(100));\n"
    "INSERT INTO tVX_SysConstraintErrLog VALUES (3, 'three');\n"
    "INSERT INTO tVX_SysConstraintErrLog VALUES (9, 'nine');\n";

TEST(CopyTable, IdentityTablesKeepTheirValuesAndSwitchIdentityInsertOff) {
  CopyRun r(std::string(kBareSource) + kIdentitySource);
  r.CreateAndCopy();
  EXPECT_EQ(r.Column("select anSeq from TVX_SYSUPGRADETIMELOG order by anSeq"),
            (std::vector<std::string>{"5", "7", "100"}));
  EXPECT_EQ(r.Column("select anOrder from TVX_SYSCONSTRAINTERRLOG order by anOrder"),
            (std::vector<std::string>{"3", "9"}));
  for (const char* t : {"TVX_SYSUPGRADETIMELOG", "TVX_SYSCONSTRAINTERRLOG"}) {
    const std::string name = t;
    auto executed = r.journal->ExecutedOn(name);
    executed.erase(executed.begin());  // the table's creation
    EXPECT_EQ(executed,
              (std::vector<std::string>{"delete from " + name, "set identity_insert [dbo].[" + name + "] on",
                                        "set identity_insert [dbo].[" + name + "] off "}));
  }
  // The server numbers new rows on from the copied values.
  r.Target()->Execute("insert into TVX_SYSUPGRADETIMELOG (acText) values ('new')");
  EXPECT_EQ(r.Column("select anSeq from TVX_SYSUPGRADETIMELOG where acText = 'new'"),
            std::vector<std::string>{"101"});
}

TEST(CopyTable, IdentityInsertSwitchedOffAfterAFailedBatch) {
  CopyRun r(std::string(kBareSource) + kIdentitySource);
  r.journal->on_batch = [](const copy_testing::Journal::Batch& b) -> std::optional<dac::DriverError> {
    if (b.table.find("TVX_SYSUPGRADETIMELOG") == std::string::npos) return std::nullopt;
    return dac::DriverError("Connection is busy", "HY000", 0);
  };
  r.CreateAndCopy();
  EXPECT_TRUE(r.LogHas("TVX_SYSUPGRADETIMELOG Copied  3 of 3 records")) << ::testing::PrintToString(r.Log());
  EXPECT_EQ(r.journal->ExecutedOn("TVX_SYSUPGRADETIMELOG").back(),
            "set identity_insert [dbo].[TVX_SYSUPGRADETIMELOG] off ");
  // Both tables share the window's connection, where only one table at a
  // time may have identity insert on.
  EXPECT_EQ(r.Count("TVX_SYSCONSTRAINTERRLOG"), 2);
  EXPECT_FALSE(r.LogHas("TVX_SYSCONSTRAINTERRLOG Copied"));
}

// Slot 1 reports its table's size and its progress every 100 rows; watched
// here whenever a batch leaves.
TEST(CopyTable, SlotOneReportsDetailProgress) {
  CopyRun r(kBareSource + Numbered("TDETAIL", 4550));
  std::vector<std::pair<std::int64_t, std::int64_t>> seen;
  r.journal->on_batch = [&](const copy_testing::Journal::Batch& b) -> std::optional<dac::DriverError> {
    if (b.table.find("TDETAIL") != std::string::npos) seen.emplace_back(r.form.DetailTotal, r.form.DetailDone);
    return std::nullopt;
  };
  r.CreateAndCopy();
  using P = std::pair<std::int64_t, std::int64_t>;
  EXPECT_EQ(seen, (std::vector<P>{{4550, 2000}, {4550, 4000}, {4550, 4500}}));
  // The last table of the list is the small parameter table.
  EXPECT_EQ(r.form.DetailDone, r.form.DetailTotal);
}

// --- fidelity: every value arrives as it left, except where a field rule or
// the target's type says otherwise.

std::string Q(const std::string& s) { return "'" + s + "'"; }

// Row i of a table holding every type the mapping knows. Rows 1 to 9 hold the
// values the clamps and the blank rule exist for; every 7th row has NULLs.
std::string FidelityRow(int i) {
  const bool nulls = i % 7 == 0;
  const auto or_null = [&](const std::string& v) { return nulls ? std::string("NULL") : v; };
  std::string price = std::to_string(i * 37 % 100000) + "." + std::to_string(1000 + i % 9000).substr(0, 4);
  if (i == 1) price = "999999999999999.9999";
  if (i == 2) price = "-922337203685478";
  if (i == 3) price = "922337203685477";
  std::string small = std::to_string(i % 256);
  if (i == 4) small = "-5";
  std::string date = "DATE '" + std::to_string(1990 + i % 30) + "-0" + std::to_string(1 + i % 9) + "-1" +
                     std::to_string(i % 10) + "'";
  if (i == 5) date = "DATE '1850-03-01'";
  if (i == 6) date = "TIMESTAMP '2100-01-01 10:00:00'";
  if (i == 8) date = "TIMESTAMP '1900-01-01 00:00:00'";
  std::string name = "name " + std::to_string(i);
  if (i == 9) name = "ab  ";
  if (i == 10) name = std::string(30, 'x') + " ";
  return std::to_string(i) + ", " + or_null(Q(name)) + ", " + Q(i % 2 ? "K" : "Z") + ", " + or_null(Q("P" + std::to_string(10 + i % 90))) +
         ", " + price + ", " + or_null(std::to_string(i) + ".25") + ", " + or_null("0.0000" + std::to_string(1 + i % 9)) + ", " +
         or_null(std::to_string(i % 2)) + ", " + or_null(small) + ", " + or_null(std::to_string(i * 3 % 32000)) + ", " +
         std::to_string(i * 1000003 % 2000000000) + ", " + or_null(std::to_string(12345678901LL * i)) + ", " +
         or_null(std::to_string(i) + ".5") + ", " + or_null("0.1") + ", " + or_null(date) + ", " +
         or_null("TIMESTAMP '2024-01-16 10:11:" + std::to_string(10 + i % 50) + ".5'") + ", " +
         or_null(Q("note " + std::string(static_cast<std::size_t>(i % 50), 'n'))) + ", " +
         or_null("HEXTORAW('00FF" + std::string(i % 2 ? "AB" : "") + "')") + ", " + or_null("HEXTORAW('DEADBEEF')");
}

constexpr const char* kFidelityTable =
    "CREATE TABLE TALL (anId NUMBER(10) NOT NULL, acName VARCHAR2(40), acCode VARCHAR2(1) NOT NULL, acFixed CHAR(3), "
    "anPrice NUMBER(19,4) NOT NULL, anQty NUMBER(*,2), anRate NUMBER(2,5), anFlag NUMBER(1), anSmall NUMBER(3), "
    "anShort NUMBER(5), anInt NUMBER(10) NOT NULL, anBig NUMBER(38), anFloat FLOAT, anNum NUMBER, adDate DATE, "
    "adStamp TIMESTAMP(6), acNote CLOB, abImage BLOB, abRaw RAW(16));\n";

bool SameNumber(const dac::Value& a, const dac::Value& b) {
  const auto da = dac::Decimal::Parse(a.ToText());
  const auto db = dac::Decimal::Parse(b.ToText());
  return da && db && *da == *db;
}

// The source value as the target's type holds it.
bool Arrived(const dac::Value& source, const dac::Value& target, const dac::Column& column) {
  if (source.IsNull() || target.IsNull()) return source.IsNull() && target.IsNull();
  switch (target.Kind()) {
    case dac::ValueKind::kDouble:
      return std::stod(source.ToText()) == target.AsDouble();
    case dac::ValueKind::kBoolean:
      return SameNumber(source, dac::Value(std::int64_t{target.AsBoolean() ? 1 : 0}));
    case dac::ValueKind::kInteger:
    case dac::ValueKind::kDecimal:
      return SameNumber(source, target);
    case dac::ValueKind::kBytes:
      return source.Kind() == dac::ValueKind::kBytes && source.AsBytes() == target.AsBytes();
    case dac::ValueKind::kDateTime:
      return source.Kind() == dac::ValueKind::kDateTime && source.AsDateTime() == target.AsDateTime();
    default:
      break;
  }
  std::string s = source.ToText();
  std::string t = target.ToText();
  // char(n) pads with blanks.
  if (column.declared_type.rfind("char(", 0) == 0) {
    s.erase(s.find_last_not_of(' ') + 1);
    t.erase(t.find_last_not_of(' ') + 1);
  }
  return s == t;
}

std::vector<dac::Row> SourceRows(const testing_support::EmbeddedServers& servers, const std::string& sql,
                                 std::vector<dac::Column>& columns) {
  dac::ConnectParams p;
  p.kind = dac::ServerKind::kOracle;
  p.instance_dir = servers.oracle_dir.string();
  p.user = "sys";
  p.password = testing_support::EmbeddedServers::kSysPassword;
  p.mode = dac::ConnectMode::kSysDba;
  auto cursor = embedded::ConnectOracleInstance(p)->Query(sql);
  columns = cursor->Columns();
  std::vector<dac::Row> rows;
  while (cursor->Fetch(rows, 4096)) {
  }
  return rows;
}

TEST(CopyTable, EveryValueArrivesAsItLeftSaveTheRules) {
  constexpr int kRows = 300;
  CopyRun r(kBareSource + std::string(kFidelityTable) + Inserts("TALL", kRows, FidelityRow));
  r.CreateAndCopy();
  ASSERT_FALSE(r.LogHas("TALL")) << ::testing::PrintToString(r.Log());

  std::vector<dac::Column> source_columns;
  const auto source = SourceRows(r.servers, "select * from NORTIVA55.TALL order by anId", source_columns);
  auto cursor = r.Target()->Query("select * from TALL order by anId");
  const std::vector<dac::Column> target_columns = cursor->Columns();
  std::vector<dac::Row> target;
  while (cursor->Fetch(target, 4096)) {
  }
  ASSERT_EQ(source.size(), static_cast<std::size_t>(kRows));
  ASSERT_EQ(target.size(), source.size());
  ASSERT_EQ(target_columns.size(), source_columns.size());

  // (row, column) -> what the rules make of the source value there.
  const auto T = [](const char* s) { return dac::Value(*dac::DateTime::Parse(s)); };
  const auto D = [](const char* s) { return dac::Value(*dac::Decimal::Parse(s)); };
  const std::map<std::pair<int, std::string>, dac::Value> ruled = {
      {{1, "ANPRICE"}, D("922337203685477")},   {{2, "ANPRICE"}, D("-922337203685477")},
      {{4, "ANSMALL"}, D("0")},                 {{5, "ADDATE"}, T("1900-01-01")},
      {{6, "ADDATE"}, T("2079-06-05")},         {{9, "ACNAME"}, dac::Value("ab..")},
  };
  int compared = 0;
  for (std::size_t row = 0; row < source.size(); ++row) {
    const int id = static_cast<int>(row) + 1;
    for (std::size_t t = 0; t < target_columns.size(); ++t) {
      const auto& column = target_columns[t];
      const auto s = std::find_if(source_columns.begin(), source_columns.end(), [&](const dac::Column& c) {
        return platform::SameText(c.name, column.name);
      });
      ASSERT_NE(s, source_columns.end()) << column.name;
      dac::Value expected = source[row][static_cast<std::size_t>(s - source_columns.begin())];
      const std::string upper = platform::UpperAscii(column.name);
      if (auto it = ruled.find({id, upper}); it != ruled.end()) expected = it->second;
      // Texts of the varchar and char targets never arrive as NULL.
      if (expected.IsNull() && column.declared_type.find("char(") != std::string::npos) expected = dac::Value("");
      EXPECT_TRUE(Arrived(expected, target[row][t], column))
          << "row " << id << " column " << column.name << " (" << column.declared_type << "): expected "
          << (expected.IsNull() ? "NULL" : expected.ToText()) << ", got "
          << (target[row][t].IsNull() ? "NULL" : target[row][t].ToText());
      ++compared;
    }
  }
  EXPECT_EQ(compared, kRows * 19);
}

}  // namespace
}  // namespace app
