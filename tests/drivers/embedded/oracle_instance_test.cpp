// The embedded Oracle instance after loading the small ERP fixture script:
// the dictionary views, values, sorting and fetching as the migration reads them.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_connection.h"
#include "drivers/embedded/oracle_script.h"
#include "tests/support/temp_dir.h"

namespace embedded {
namespace {

const std::filesystem::path kFixture =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "fixtures/oracle/erp_small.sql";

class OracleInstanceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<testing_support::TempDir>();
    OracleInstance::Create(dir_->path(), "Manager1");
    auto sys = ConnectOracleInstanceAsSysDba(dir_->path());
    std::ifstream script(kFixture);
    ASSERT_TRUE(script) << kFixture;
    RunOracleScript(*sys, script, kFixture.string());
  }
  static void TearDownTestSuite() { dir_.reset(); }

  void SetUp() override { erp_ = Connect(); }

  static std::unique_ptr<dac::Connection> Connect() {
    dac::ConnectParams p;
    p.kind = dac::ServerKind::kOracle;
    p.instance_dir = dir_->path().string();
    p.user = "nortiva55";
    p.password = "Secret55";
    return ConnectOracleInstance(p);
  }

  static std::vector<dac::Row> All(dac::Connection& c, const std::string& sql,
                                   const std::vector<dac::Value>& params = {}) {
    auto cursor = c.Query(sql, params);
    std::vector<dac::Row> rows;
    while (cursor->Fetch(rows, 100)) {
    }
    return rows;
  }

  // Each row's values in text form, NULL as "NULL".
  static std::vector<std::string> Lines(dac::Connection& c, const std::string& sql) {
    std::vector<std::string> out;
    for (const auto& row : All(c, sql)) {
      std::string line;
      for (const auto& v : row) line += (line.empty() ? "" : "|") + (v.IsNull() ? std::string("NULL") : v.ToText());
      out.push_back(line);
    }
    return out;
  }

  static std::unique_ptr<testing_support::TempDir> dir_;
  std::unique_ptr<dac::Connection> erp_;
};

std::unique_ptr<testing_support::TempDir> OracleInstanceTest::dir_;

TEST_F(OracleInstanceTest, AllTablesListsTheSchemaUpperCaseWithStatisticsOnlyAfterAnalyze) {
  EXPECT_EQ(Lines(*erp_,
                  "select table_name, temporary, num_rows from all_tables where owner = 'NORTIVA55' "
                  "order by table_name"),
            (std::vector<std::string>{"MV_ACTIVE|N|NULL", "THE_SETSUBJCONTACT|N|4", "TVX_SYSPARAMSYS|N|NULL",
                                      "TVX_SYSTABLES|N|NULL", "TVX_SYSTABLESTR|N|NULL", "TVX_TMPLIST|Y|NULL",
                                      "TVX_VALUES|N|NULL"}));
  EXPECT_EQ(Lines(*erp_, "select owner, mview_name from all_mviews"),
            (std::vector<std::string>{"NORTIVA55|MV_ACTIVE"}));
}

TEST_F(OracleInstanceTest, AllTabColumnsDescribesTypesAndKeepsDefaultsAsWritten) {
  EXPECT_EQ(Lines(*erp_,
                  "select column_name, data_type, data_length, char_length, data_precision, data_scale, "
                  "nullable, column_id, data_default from all_tab_columns "
                  "where owner = 'NORTIVA55' and table_name = 'THE_SETSUBJCONTACT' order by column_id"),
            (std::vector<std::string>{
                "ANQID|NUMBER|22|0|9|0|N|1|NULL",
                "ACUSERID|VARCHAR2|30|30|NULL|NULL|N|2|' ' ",
                "ACACTIVE|CHAR|1|1|NULL|NULL|Y|3|'T'",
                "ANLIMIT|NUMBER|22|0|NULL|2|Y|4|NULL",
                "ADCHANGED|DATE|7|0|NULL|NULL|Y|5|sysdate",
            }));
  EXPECT_EQ(Lines(*erp_,
                  "select data_default from all_tab_columns where table_name = 'TVX_SYSPARAMSYS' "
                  "and column_name = 'ACNAME'"),
            (std::vector<std::string>{"(SYS_CONTEXT('USERENV','CURRENT_SCHEMA')) "}));
}

TEST_F(OracleInstanceTest, RolePrivilegesAreListedByGrantee) {
  EXPECT_EQ(Lines(*erp_,
                  "select grantee, granted_role from dba_role_privs where grantee in ('AD', 'NORTIVA55') "
                  "order by grantee, granted_role"),
            (std::vector<std::string>{"AD|RVX_ADMIN_USER", "AD|RVX_SECURITY_USER", "NORTIVA55|CONNECT",
                                      "NORTIVA55|RESOURCE"}));
}

TEST_F(OracleInstanceTest, NamesAreFoundWhateverTheirCaseUnlessQuoted) {
  for (const char* sql :
       {"select anBuildNo, anRevision from tVX_SysParamSys", "select ANBUILDNO, anrevision from TVX_SYSPARAMSYS",
        "select p.anBuildNo, tvx_sysparamsys.anRevision from NORTIVA55.tVX_SysParamSys p, tvx_sysparamsys",
        "select nortiva55.tvx_sysparamsys.anbuildno, 17 from nortiva55.tvx_sysparamsys"}) {
    EXPECT_EQ(Lines(*erp_, sql), std::vector<std::string>{"5500|17"}) << sql;
  }
  auto cursor = erp_->Query(
      "select anBuildNo, anRevision as \"Rev\", count(*) n from tVX_SysParamSys group by anBuildNo, anRevision");
  std::vector<std::string> names;
  for (const auto& c : cursor->Columns()) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::string>{"ANBUILDNO", "Rev", "N"}));
  EXPECT_THROW(All(*erp_, "select * from \"tVX_SysParamSys\""), dac::DriverError);
  // Values are not names: they compare by case, in LIKE too, as in Oracle.
  EXPECT_EQ(
      Lines(*erp_,
            "select count(*) from tVX_SysTables where acTableName like 'THE%' or acTableName = 'THE_SETSUBJCONTACT'"),
      std::vector<std::string>{"0"});
}

TEST_F(OracleInstanceTest, UnknownNamesAreOracleErrors) {
  for (const char* sql : {"select * from tVX_Nothing", "select * from nobody.tVX_SysParamSys",
                          "select * from tVX_SysTables t join tVX_Nothing n on 1 = 1"}) {
    try {
      All(*erp_, sql);
      ADD_FAILURE() << sql;
    } catch (const dac::DriverError& e) {
      EXPECT_EQ(e.ServerMessage(), "ORA-00942: table or view does not exist") << sql;
      EXPECT_EQ(e.NativeError(), 942);
      EXPECT_EQ(e.Sql(), sql);
    }
  }
  try {
    All(*erp_, "select acFoo from tVX_SysTables");
    ADD_FAILURE() << "an unknown column was read";
  } catch (const dac::DriverError& e) {
    EXPECT_EQ(e.Records().front().message, "ORA-00904: \"ACFOO\": invalid identifier");
  }
}

TEST_F(OracleInstanceTest, SessionValuesAndDual) {
  EXPECT_EQ(Lines(*erp_, "select sys_context('USERENV','CURRENT_SCHEMA'), user, nvl(null, 'x'), dummy from dual"),
            (std::vector<std::string>{"NORTIVA55|NORTIVA55|x|X"}));
  EXPECT_EQ(Lines(*erp_, "select count(*) from all_tables where owner = current_schema"),
            Lines(*erp_, "select count(*) from all_tables where owner = 'NORTIVA55'"));
  erp_->Execute("alter session set current_schema = AD");
  EXPECT_EQ(Lines(*erp_, "select sys_context('USERENV','CURRENT_SCHEMA') from dual"), (std::vector<std::string>{"AD"}));
  EXPECT_THROW(All(*erp_, "select * from tVX_SysParamSys"), dac::DriverError);
}

TEST_F(OracleInstanceTest, NullsComeLastAscendingAndFirstDescending) {
  EXPECT_EQ(Lines(*erp_, "select anQId from tHE_SetSubjContact order by anLimit desc, anQId"),
            (std::vector<std::string>{"2", "4", "1", "3"}));
  EXPECT_EQ(Lines(*erp_, "select anQId from tHE_SetSubjContact order by anLimit, anQId desc"),
            (std::vector<std::string>{"3", "1", "4", "2"}));
  EXPECT_EQ(Lines(*erp_, "select anQId from tHE_SetSubjContact order by anLimit desc nulls last, 1"),
            (std::vector<std::string>{"1", "3", "2", "4"}));
  EXPECT_EQ(Lines(*erp_,
                  "select table_name from all_tables where owner = 'NORTIVA55' and table_name like 'THE%' "
                  "or table_name = 'TVX_SYSTABLES' order by num_rows desc"),
            (std::vector<std::string>{"TVX_SYSTABLES", "THE_SETSUBJCONTACT"}));
}

TEST_F(OracleInstanceTest, NumbersDatesAndBytesComeBackExactly) {
  const auto rows = All(*erp_,
                        "select anId, anAmount, anMoney, anRate, acText, acMemo, abData, abKey, adStamp "
                        "from tVX_Values order by anId");
  ASSERT_EQ(rows.size(), 2u);
  const dac::Row& r = rows[0];
  EXPECT_EQ(r[0], dac::Value(std::int64_t{1}));
  EXPECT_EQ(r[1].AsDecimal().ToString(), "12345678901234567890.123456789");
  EXPECT_EQ(r[2].AsDecimal().ToString(), "922337203685477.5807");
  EXPECT_EQ(r[3], dac::Value(0.5));
  EXPECT_EQ(r[4], dac::Value("it's"));
  EXPECT_EQ(r[5], dac::Value("long text"));
  EXPECT_EQ(r[6], dac::Value(dac::Bytes{0x00, 0xFF, 0x10}));
  EXPECT_EQ(r[7], dac::Value(dac::Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(r[8].AsDateTime(), (dac::DateTime{2021, 6, 30, 12, 34, 56, 123456000}));
  EXPECT_EQ(rows[1][1].AsDecimal().ToString(), "-0.001");
  EXPECT_EQ(rows[1][3], dac::Value(1250.0));

  const auto dates = All(*erp_, "select adChanged from tHE_SetSubjContact where anQId in (1, 2) order by anQId");
  EXPECT_EQ(dates[0][0].AsDateTime(), (dac::DateTime{2020, 2, 29, 0, 0, 0, 0}));
  EXPECT_EQ(dates[1][0].AsDateTime(), (dac::DateTime{1999, 12, 31, 23, 59, 58, 0}));
}

TEST_F(OracleInstanceTest, ColumnsAreDescribedInOracleTerms) {
  auto cursor = erp_->Query("select t.*, anId + 1 as next_id, acText || 'x' as t2 from tVX_Values t where 1=2");
  struct Want {
    const char* name;
    dac::FieldType type;
    int size, precision, scale;
    bool nullable;
    const char* declared;
  };
  using F = dac::FieldType;
  const Want want[] = {
      {"ANID", F::ftLargeint, 0, 10, 0, false, "NUMBER(10)"},
      {"ANAMOUNT", F::ftFMTBcd, 0, 38, 0, true, "NUMBER"},
      {"ANMONEY", F::ftFMTBcd, 0, 19, 4, true, "NUMBER(19,4)"},
      {"ANRATE", F::ftFloat, 0, 15, 0, true, "FLOAT(126)"},
      {"ACTEXT", F::ftString, 100, 0, 0, true, "VARCHAR2(100)"},
      {"ACMEMO", F::ftMemo, 0, 0, 0, true, "CLOB"},
      {"ABDATA", F::ftBlob, 0, 0, 0, true, "BLOB"},
      {"ABKEY", F::ftVarBytes, 16, 0, 0, true, "RAW(16)"},
      {"ADSTAMP", F::ftDateTime, 0, 0, 6, true, "TIMESTAMP(6)"},
      {"NEXT_ID", F::ftString, 4000, 0, 0, true, "VARCHAR2(4000)"},  // no row to infer from
      {"T2", F::ftString, 4000, 0, 0, true, "VARCHAR2(4000)"},
  };
  const auto& columns = cursor->Columns();
  ASSERT_EQ(columns.size(), std::size(want));
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const dac::Column& c = columns[i];
    EXPECT_EQ(c.name, want[i].name);
    EXPECT_EQ(c.type, want[i].type) << c.name << " is " << dac::FieldTypeName(c.type);
    EXPECT_EQ(c.size, want[i].size) << c.name;
    EXPECT_EQ(c.precision, want[i].precision) << c.name;
    EXPECT_EQ(c.scale, want[i].scale) << c.name;
    EXPECT_EQ(c.nullable, want[i].nullable) << c.name;
    EXPECT_EQ(c.declared_type, want[i].declared) << c.name;
  }
  // Computed columns take their type from their first value.
  auto computed = erp_->Query("select count(*), max(adChanged), sum(anLimit) from tHE_SetSubjContact");
  EXPECT_EQ(computed->Columns()[0].type, F::ftLargeint);
  EXPECT_EQ(computed->Columns()[1].type, F::ftDateTime);
  EXPECT_EQ(computed->Columns()[2].type, F::ftFMTBcd);
  std::vector<dac::Row> rows;
  computed->Fetch(rows, 10);
  EXPECT_EQ(rows.at(0)[0], dac::Value(std::int64_t{4}));
  EXPECT_EQ(rows[0][2].AsDecimal().ToString(), "100.49");
}

TEST_F(OracleInstanceTest, InsertedNumbersKeepEveryDigitAndCompareAsNumbers) {
  auto sys = ConnectOracleInstanceAsSysDba(dir_->path(), "AD");  // keeps NORTIVA55 as loaded
  sys->Execute("create table tT_Exact (anKey number(5), anValue number)");
  const char* const values[] = {"12345678901234567890.123456789",
                                "-0.001",
                                "0.1",
                                "100",
                                "-922337203685477.5807",
                                "99999999999999999999999999999999999999",
                                "0.000000000000000000000000000001"};
  std::vector<dac::Row> rows;
  int key = 0;
  for (const char* v : values) rows.push_back({dac::Value(++key), dac::Value(*dac::Decimal::Parse(v))});
  const auto result = sys->InsertRows("tT_Exact", {"anKey", "anValue"}, rows);
  ASSERT_FALSE(result.error) << result.error->what();
  EXPECT_EQ(result.inserted, rows.size());

  const auto back = All(*erp_, "select anValue from ad.tT_Exact order by anKey");
  ASSERT_EQ(back.size(), rows.size());
  for (std::size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i][0].AsDecimal().ToString(), values[i]);

  // Decimal parameters meet NUMBER columns as numbers, in the order of numbers.
  EXPECT_EQ(Lines(*erp_, "select anKey from ad.tT_Exact where anValue > 0.05 and anValue < 101 order by anValue desc"),
            (std::vector<std::string>{"4", "3"}));
  EXPECT_EQ(All(*erp_, "select anKey from ad.tT_Exact where anValue = ?", {dac::Value(*dac::Decimal::Parse("100.00"))})
                .at(0)[0],
            dac::Value(std::int64_t{4}));
}

TEST_F(OracleInstanceTest, InsertRowsStopsAtTheFirstRefusedRowWithOraclesMessage) {
  auto sys = ConnectOracleInstanceAsSysDba(dir_->path(), "AD");  // keeps NORTIVA55 as loaded
  sys->Execute(
      "create table tT_Checked (anId number(3) primary key, acName varchar2(5) not null, anAmount number(5,2))");
  struct Case {
    dac::Row row;
    const char* message;
  };
  const Case cases[] = {
      {{1, "abcdef", 1},
       "ORA-12899: value too large for column \"AD\".\"TT_CHECKED\".\"ACNAME\" (actual: 6, maximum: 5)"},
      {{1, "ab", *dac::Decimal::Parse("1000")},
       "ORA-01438: value larger than specified precision allowed for this column"},
      {{1, "", 1}, "ORA-01400: cannot insert NULL into (\"AD\".\"TT_CHECKED\".\"ACNAME\")"},
      {{1, "ab", "x1"}, "ORA-01722: invalid number"},
      {{7, "ab", 1}, "ORA-00001: unique constraint (AD.SYS_C"},
  };
  ASSERT_FALSE(sys->InsertRows("tT_Checked", {"anId", "acName", "anAmount"}, {{7, "seven", 1}}).error);
  for (const Case& c : cases) {
    const auto result = sys->InsertRows("tT_Checked", {"anId", "acName", "anAmount"},
                                        {{2, "ok", *dac::Decimal::Parse("999.994")}, c.row}, 0);
    EXPECT_EQ(result.inserted, 1u);
    ASSERT_TRUE(result.error) << c.message;
    EXPECT_EQ(result.error->ServerMessage().rfind(c.message, 0), 0u) << result.error->ServerMessage();
    sys->Execute("delete from tT_Checked where anId = 2");
  }
  EXPECT_EQ(Lines(*erp_, "select anAmount from ad.tT_Checked"), (std::vector<std::string>{"1"}));
}

TEST_F(OracleInstanceTest, AScaleBeyondThePrecisionHoldsOnlySmallFractions) {
  auto sys = ConnectOracleInstanceAsSysDba(dir_->path(), "AD");
  sys->Execute("create table tT_Rate (anRate number(2,5))");
  for (const char* fits : {"0.00012", "0.00099", "-0.000994", "0"}) {
    EXPECT_NO_THROW(sys->Execute(std::string("insert into tT_Rate values (") + fits + ")")) << fits;
  }
  for (const char* too_large : {"0.001", "1", "-0.0012"}) {
    EXPECT_THROW(sys->Execute(std::string("insert into tT_Rate values (") + too_large + ")"), dac::DriverError)
        << too_large;
  }
  EXPECT_EQ(Lines(*erp_, "select anRate from ad.tT_Rate order by anRate"),
            (std::vector<std::string>{"-0.00099", "0", "0.00012", "0.00099"}));
}

TEST_F(OracleInstanceTest, CursorsFetchForwardInBlocks) {
  auto sys = ConnectOracleInstanceAsSysDba(dir_->path(), "AD");  // keeps NORTIVA55 as loaded
  sys->Execute("create table tT_Many (anId number(10))");
  sys->StartTransaction();
  for (int i = 0; i < 2500; ++i) sys->Execute("insert into tT_Many values (?)", {i});
  sys->Commit();

  EXPECT_EQ(erp_->CountRows("select * from ad.tT_Many where anId >= ?", {500}), 2000);
  auto cursor = erp_->Query("select anId from ad.tT_Many order by anId");
  std::vector<dac::Row> rows;
  std::vector<std::size_t> blocks;
  bool more = true;
  while (more) {
    const std::size_t before = rows.size();
    more = cursor->Fetch(rows, 1000);
    blocks.push_back(rows.size() - before);
  }
  EXPECT_EQ(blocks, (std::vector<std::size_t>{1000, 1000, 500}));
  EXPECT_EQ(rows.back()[0], dac::Value(std::int64_t{2499}));
  EXPECT_FALSE(cursor->Fetch(rows, 1000));

  // A cursor keeps reading after its connection is gone.
  auto reader = Connect();
  auto open = reader->Query("select anId from ad.tT_Many where anId < 3 order by anId");
  reader.reset();
  rows.clear();
  EXPECT_FALSE(open->Fetch(rows, 10));
  EXPECT_EQ(rows.size(), 3u);
}

TEST_F(OracleInstanceTest, ConnectionsReadTheInstanceOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  std::vector<std::int64_t> counts(kThreads, -1);
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &counts, &errors] {
      try {
        auto c = Connect();
        std::int64_t n = 0;
        for (int round = 0; round < 20; ++round) {
          auto cursor = c->Query(
              "select * from all_tab_columns c join all_tables t on t.owner = c.owner "
              "and t.table_name = c.table_name where c.owner = 'NORTIVA55'");
          std::vector<dac::Row> rows;
          while (cursor->Fetch(rows, 7)) {
          }
          n = static_cast<std::int64_t>(rows.size());
        }
        counts[static_cast<std::size_t>(t)] = n;
      } catch (const std::exception& e) {
        errors[static_cast<std::size_t>(t)] = e.what();
      }
    });
  }
  for (auto& th : threads) th.join();
  const std::int64_t expected = erp_->CountRows("select * from all_tab_columns where owner = 'NORTIVA55'");
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(errors[static_cast<std::size_t>(t)], "");
    EXPECT_EQ(counts[static_cast<std::size_t>(t)], expected);
  }
}

}  // namespace
}  // namespace embedded
