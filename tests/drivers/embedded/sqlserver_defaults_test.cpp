#include <gtest/gtest.h>

#include <chrono>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

int ThisYear() {
  const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm.tm_year + 1900;
}

class SqlServerDefaultsTest : public SqlServerInstanceTest {
 protected:
  void SetUp() override {
    SqlServerInstanceTest::SetUp();
    c_ = Connect();
  }

  // The records of the error `sql` raises, as "number: message" lines.
  std::vector<std::string> Refusal(const std::string& sql) { return RefusalRecords(*c_, sql); }

  std::unique_ptr<dac::Connection> c_;
};

// The defaults the ERP's NOT NULL columns get.
TEST_F(SqlServerDefaultsTest, DefaultsFillColumnsThatInsertsLeaveOut) {
  struct Case {
    const char* column;      // name and declaration
    const char* expression;  // as the ALTER TABLE gives it
    const char* kept;        // sys.default_constraints.definition
    dac::Value value;        // what a row that leaves the column out gets; NULL: checked below
  };
  const Case cases[] = {
      {"[anQty] int not null", "(0)", "((0))", dac::Value(0)},
      {"[anFlag] bit not null", "1", "((1))", dac::Value(true)},
      {"[anSign] smallint not null", "-1", "((-1))", dac::Value(-1)},
      {"[anPrice] money not null", "(-2.5)", "((-2.5))", dac::Value(*dac::Decimal::Parse("-2.5000"))},
      {"[anRate] decimal(10, 2) not null", "(0)", "((0))", dac::Value(*dac::Decimal::Parse("0.00"))},
      {"[acName] varchar(20) not null", "('')", "('')", dac::Value("")},
      {"[acNote] varchar(20) not null", "''", "('')", dac::Value("")},
      {"[acType] char(2) not null", "('TX')", "('TX')", dac::Value("TX")},
      {"[acQuote] varchar(10) not null", "'it''s'", "('it''s')", dac::Value("it's")},
      {"[acSchema] varchar(30) not null", "(db_name())", "(db_name())", dac::Value("Erp")},
      {"[anYear] int not null", "(datepart(year,getdate()))", "(datepart(year,getdate()))", dac::Value(ThisYear())},
      {"[adDate] datetime not null", "(getdate())", "(getdate())", dac::Value()},
  };
  std::string create = "create table [dbo].[tHE_Doc] ([acKey] char(13) not null";
  for (const Case& c : cases) create += std::string(", ") + c.column;
  c_->Execute(create + ")");
  for (const Case& c : cases) {
    const std::string column = std::string(c.column).substr(1, std::string(c.column).find(']') - 1);
    c_->Execute("alter table [dbo].[tHE_Doc] add constraint [DF_tHE_Doc_" + column + "] default " + c.expression +
                " for [" + column + "]");
  }

  c_->Execute("insert into tHE_Doc (acKey) values ('A')");
  EXPECT_EQ(c_->InsertRows("[dbo].[tHE_Doc]", {"acKey"}, {{"B"}, {"C"}}).inserted, 2u);
  // The key has no default to fill it.
  EXPECT_EQ(CaughtDriverError([&] { c_->Execute("insert into tHE_Doc default values"); }).NativeError(), 515);
  const auto rows = Rows(*c_, "select * from tHE_Doc order by acKey");
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& row : rows) {
    for (std::size_t k = 0; k < std::size(cases); ++k) {
      if (cases[k].value.IsNull()) continue;
      EXPECT_EQ(row[k + 1].ToText(), cases[k].value.ToText()) << cases[k].column;
    }
    ASSERT_EQ(row.back().Kind(), dac::ValueKind::kDateTime);
    EXPECT_EQ(row.back().AsDateTime().year, ThisYear());
  }
  for (const Case& c : cases) {
    const std::string column = std::string(c.column).substr(1, std::string(c.column).find(']') - 1);
    EXPECT_EQ(Scalar(*c_,
                     "select d.definition from sys.default_constraints d join sys.columns c on c.object_id = "
                     "d.parent_object_id and c.column_id = d.parent_column_id where c.name = '" +
                         column + "'")
                  .AsText(),
              c.kept)
        << c.column;
  }
}

TEST_F(SqlServerDefaultsTest, DefaultsThatCannotBeCreatedFailAsOnAServer) {
  c_->Execute(
      "create table [dbo].[T] ([id] int identity(1,1) not null, [a] int not null, [b] varchar(5) not null "
      "constraint [DF_T_b] default ('x'))");
  const std::string kSeeErrors = "1750: Could not create constraint or index. See previous errors.";
  struct Case {
    std::string sql;
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {"alter table [dbo].[T] add constraint [DF_T_zz] default (0) for [zz]",
       {"1752: Column 'zz' in table 'dbo.T' is invalid for creating a default constraint.", kSeeErrors}},
      {"alter table [dbo].[Nope] add constraint [DF_Nope_a] default (0) for [a]",
       {"4902: Cannot find the object \"dbo.Nope\" because it does not exist or you do not have permissions."}},
      {"alter table [dbo].[T] add constraint [DF_T_id] default (0) for [id]",
       {"1754: Defaults cannot be created on columns with an IDENTITY attribute. Table 'T', column 'id'.", kSeeErrors}},
      {"alter table [dbo].[T] add constraint [DF_T_b2] default ('y') for [b]",
       {"1781: Column already has a DEFAULT bound to it.", kSeeErrors}},
      {"alter table [dbo].[T] add constraint [df_t_B] default (0) for [a]",
       {"2714: There is already an object named 'df_t_B' in the database.", kSeeErrors}},
      {"alter table [dbo].[T] add constraint [T] default (0) for [a]",
       {"2714: There is already an object named 'T' in the database.", kSeeErrors}},
      {"alter table [dbo].[T] add constraint [DF_T_a] default (0 for [a]",
       {"102: Incorrect syntax near the end of the statement."}},
      {"alter table [dbo].[T] add constraint [DF_T_a] default for [a]", {"102: Incorrect syntax near 'for'."}},
      {"alter table [dbo].[T] add constraint [DF_T_a] default sysdate for [a]",
       {"128: The name \"sysdate\" is not permitted in this context. Valid expressions are constants, constant "
        "expressions, and (in some contexts) variables. Column names are not permitted."}},
      {"alter table [dbo].[T] add constraint [DF_T_a] default (sys_guid()) for [a]",
       {"195: 'sys_guid' is not a recognized built-in function name."}},
      {"alter table [dbo].[T] add constraint [DF_T_a] default (select 1) for [a]",
       {"1046: Subqueries are not allowed in this context. Only scalar expressions are allowed."}},
      {"alter table [dbo].[T] add constraint [DF_T_a] default (datepart(yr,getdate())) for [a]",
       {"155: 'yr' is not a recognized datepart option."}},
  };
  for (const Case& c : cases) EXPECT_EQ(Refusal(c.sql), c.records) << c.sql;
  EXPECT_EQ(Scalar(*c_, "select count(*) from sys.default_constraints").AsInteger(), 1);

  // A refused constraint leaves the column without a default.
  EXPECT_EQ(Refusal("insert into T (b) values ('q')"),
            (std::vector<std::string>{
                "515: Cannot insert the value NULL into column 'a', table 'Erp.dbo.T'; column does not allow nulls. "
                "INSERT fails.",
                "3621: The statement has been terminated."}));
}

TEST_F(SqlServerDefaultsTest, ConstraintsInCreateTableAreNamedAndKept) {
  c_->Execute(
      "create table [dbo].[tHE_SetItem] ([acIdent] varchar(16) not null constraint [DF_Item_Ident] default ('-'), "
      "[anQty] int not null default 0)");
  const auto rows = Rows(*c_, "select name, definition from sys.default_constraints order by parent_column_id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].AsText(), "DF_Item_Ident");
  EXPECT_EQ(rows[0][1].AsText(), "('-')");
  EXPECT_EQ(rows[1][0].AsText().rfind("DF__tHE_SetIt__anQty__", 0), 0u) << rows[1][0].AsText();
  EXPECT_EQ(rows[1][1].AsText(), "((0))");
  EXPECT_EQ(Scalar(*c_,
                   "select count(*) from sys.objects where type = 'D' and parent_object_id = "
                   "(select object_id from sys.tables where name = 'tHE_SetItem')")
                .AsInteger(),
            2);

  // A constraint's name is an object's name: no table may take it, and it goes with its table.
  EXPECT_EQ(Refusal("create table [DF_Item_Ident] (a int)"),
            std::vector<std::string>{"2714: There is already an object named 'DF_Item_Ident' in the database."});
  c_->Execute("drop table tHE_SetItem");
  EXPECT_EQ(Scalar(*c_, "select count(*) from sys.objects").AsInteger(), 0);
  c_->Execute("create table [DF_Item_Ident] (a int)");
}

TEST_F(SqlServerDefaultsTest, TableNamesMayHoldClosingBrackets) {
  c_->Execute("create table [dbo].[tA]]B] ([acX]]] varchar(3) not null, [anY] int not null)");
  c_->Execute("alter table [dbo].[tA]]B] add constraint [DF_tA]]B_anY] default (4) for [anY]");
  c_->Execute("insert into [dbo].[tA]]B] ([acX]]]) values ('a')");
  EXPECT_EQ(c_->InsertRows("[dbo].[tA]]B]", {"[acX]]]"}, {{"b"}}).inserted, 1u);
  EXPECT_EQ(Scalar(*c_, "select name from sys.tables").AsText(), "tA]B");
  EXPECT_EQ(Scalar(*c_, "select name from sys.default_constraints").AsText(), "DF_tA]B_anY");
  EXPECT_EQ(Scalar(*c_, "select sum(anY) from [tA]]B]").AsInteger(), 8);
  EXPECT_EQ(Refusal("create table [dbo].[TA]]b] (a int)"),
            std::vector<std::string>{"2714: There is already an object named 'TA]b' in the database."});
}

TEST_F(SqlServerDefaultsTest, DatePartReadsItsUnits) {
  struct Case {
    const char* unit;
    int value;
  };
  // 2024-03-05 14:07:09.250 was a Tuesday in the tenth week of a leap year.
  const Case cases[] = {{"year", 2024},    {"yy", 2024}, {"quarter", 1}, {"month", 3},   {"mm", 3},
                        {"dayofyear", 65}, {"day", 5},   {"week", 10},   {"weekday", 3}, {"dw", 3},
                        {"hour", 14},      {"mi", 7},    {"second", 9},  {"ms", 250}};
  for (const Case& c : cases) {
    EXPECT_EQ(Scalar(*c_, std::string("select datepart(") + c.unit + ", '2024-03-05 14:07:09.250')").AsInteger(),
              c.value)
        << c.unit;
  }
}

}  // namespace
}  // namespace embedded::testing
