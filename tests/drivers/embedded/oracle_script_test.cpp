#include "drivers/embedded/oracle_script.h"

#include <gtest/gtest.h>

#include <sstream>

#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_connection.h"
#include "tests/support/temp_dir.h"

namespace embedded {
namespace {

std::vector<std::pair<int, std::string>> Split(const std::string& script) {
  std::istringstream in(script);
  OracleScriptReader reader(in);
  std::vector<std::pair<int, std::string>> out;
  ScriptStatement s;
  while (reader.Next(s)) out.emplace_back(s.line, s.text);
  return out;
}

TEST(OracleScriptReader, SplitsAsSqlPlusDoes) {
  using Got = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(Split("select 1 from dual; select 2 from dual;\nselect 3\n  from dual\n"),
            (Got{{1, "select 1 from dual"}, {1, " select 2 from dual"}, {2, "select 3\n  from dual\n"}}));
  // A ";" inside texts, names and comments ends nothing; a "/" line ends a
  // statement, and after a ";" adds nothing.
  EXPECT_EQ(
      Split("insert into t values ('a;b', \"c;d\") -- e;f\n/* g;\nh */;\n/\ncreate table t (x number)\n/\n"),
      (Got{{1, "insert into t values ('a;b', \"c;d\") -- e;f\n/* g;\nh */"}, {5, "create table t (x number)\n"}}));
  // SQL*Plus's own commands are passed over; blocks end only at "/".
  EXPECT_EQ(Split("SET DEFINE OFF\nprompt loading;\nbegin\n  null;\nend;\n/\nrem done\n"),
            (Got{{3, "begin\n  null;\nend;\n"}}));
  EXPECT_EQ(Split("-- nothing but a comment\n\n"), Got{});
}

class OracleScriptRun : public ::testing::Test {
 protected:
  void SetUp() override {
    OracleInstance::Create(dir_.path(), "pw");
    sys_ = ConnectOracleInstanceAsSysDba(dir_.path());
  }
  std::int64_t Count(const std::string& sql) { return sys_->CountRows(sql); }

  testing_support::TempDir dir_;
  std::unique_ptr<dac::Connection> sys_;
};

TEST_F(OracleScriptRun, RunsAllOrNothingAndNamesTheFailingLine) {
  std::istringstream good(
      "create user u identified by p;\ncreate table u.t (x number);\ninsert into u.t values (1);\ncommit;\n");
  EXPECT_EQ(RunOracleScript(*sys_, good, "good.sql"), 3u);
  EXPECT_EQ(Count("select * from u.t"), 1);

  std::istringstream bad("insert into u.t values (2);\n\ninsert into u.nothing values (3);\n");
  try {
    RunOracleScript(*sys_, bad, "bad.sql");
    ADD_FAILURE() << "the script ran";
  } catch (const OracleScriptError& e) {
    EXPECT_STREQ(e.what(), "bad.sql:3: ORA-00942: table or view does not exist");
    EXPECT_EQ(e.Line(), 3);
  }
  EXPECT_EQ(Count("select * from u.t"), 1);
  EXPECT_FALSE(sys_->InTransaction());
}

TEST_F(OracleScriptRun, UnderstandsTheLiteralsAndDefinitionsOfSetUpScripts) {
  std::istringstream script(R"(
create user erp identified by p;
alter session set current_schema = ERP;
create table tA (
  anId number(*,0) not null,
  anAmt number(*,2) default 0 not null,
  acCode char(3),
  adWhen date default sysdate,
  abRaw raw(4)
) tablespace users;
insert into tA (anId, anAmt, acCode, adWhen, abRaw) values (1, 1.005, 'ab', to_date('05/03/2021 14:30', 'DD/MM/YYYY HH24:MI'), hextoraw('0a0B'));
insert into tA (anId) values (-2);
create materialized view mvA as select anId, acCode from tA where anId > 0;
create table tB as select anId, anAmt * 2 doubled from tA;
create view vA as select anId, acCode code from tA where abRaw is not null;
analyze table tA compute statistics;
)");
  RunOracleScript(*sys_, script, "setup.sql");
  auto c = sys_->Query("select anId, anAmt, acCode, adWhen, abRaw from erp.tA order by anId");
  std::vector<dac::Row> rows;
  c->Fetch(rows, 10);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][1].AsDecimal().ToString(), "1.01");  // rounded to the scale on the way in
  EXPECT_EQ(rows[1][2], dac::Value("ab "));              // CHAR pads
  EXPECT_EQ(rows[1][3].AsDateTime(), (dac::DateTime{2021, 3, 5, 14, 30, 0, 0}));
  EXPECT_EQ(rows[1][4], dac::Value(dac::Bytes{0x0A, 0x0B}));
  EXPECT_EQ(rows[0][1].AsDecimal().ToString(), "0");  // the default
  EXPECT_EQ(Count("select * from all_mviews where owner = 'ERP' and mview_name = 'MVA'"), 1);
  EXPECT_EQ(Count("select * from erp.mvA"), 1);
  EXPECT_EQ(Count("select * from all_tables where owner = 'ERP' and table_name = 'TA' and num_rows = 2"), 1);
  EXPECT_EQ(Count("select * from all_tab_columns where owner = 'ERP' and table_name = 'TB'"), 2);
  EXPECT_EQ(Count("select * from all_tab_columns where owner = 'ERP' and table_name = 'VA' and column_name = 'CODE'"),
            1);
  EXPECT_EQ(Count("select code from erp.va where code = 'ab'"), 1);
}

}  // namespace
}  // namespace embedded
