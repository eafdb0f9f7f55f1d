#include <gtest/gtest.h>

#include <chrono>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

class SqlServerQueryTest : public SqlServerInstanceTest {
 protected:
  void SetUp() override {
    SqlServerInstanceTest::SetUp();
    c_ = Connect();
    c_->Execute(
        "create table [dbo].[tHE_Item] ([acIdent] varchar(16) not null, [anQty] int, [acNote] varchar(20))\n"
        "insert into tHE_Item values ('B', 2, null), ('A', 1, 'first'), ('C', 3, 'third')");
  }
  std::unique_ptr<dac::Connection> c_;
};

TEST_F(SqlServerQueryTest, NameFormsReachTheSameTable) {
  for (const char* sql :
       {"select count(*) from tHE_Item", "select count(*) from THE_ITEM", "select count(*) from [tHE_Item]",
        "select count(*) from \"tHE_Item\"", "select count(*) from dbo.tHE_Item", "select count(*) from [dbo].[tHE_Item]",
        "select count(*) from [Erp].[dbo].[tHE_Item]", "select count(*) from Erp..tHE_Item",
        "select count(*) from tHE_Item with (nolock)", "select count([I].[anQty]) from [dbo].[tHE_Item] I"}) {
    EXPECT_EQ(Scalar(*c_, sql).AsInteger(), 3) << sql;
  }
}

TEST_F(SqlServerQueryTest, SelectForms) {
  auto rows = Rows(*c_, "select top 2 acIdent, isnull(acNote, '-') as Note from tHE_Item order by acIdent desc");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].AsText(), "C");
  EXPECT_EQ(rows[1][1].AsText(), "-");

  rows = Rows(*c_, "select acIdent from tHE_Item where anQty in (select top (1) anQty from tHE_Item order by anQty)");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsText(), "A");

  EXPECT_EQ(Scalar(*c_, "select Label = 'x' + acIdent from tHE_Item where anQty = 3").AsText(), "xC");

  // A server compares texts of a default collation without regard to case
  // and to trailing blanks.
  EXPECT_EQ(Scalar(*c_, "select anQty from tHE_Item where acNote = 'FIRST   '").AsInteger(), 1);
}

TEST_F(SqlServerQueryTest, ExpressionsAreTypedAndUnnamedAsOnAServer) {
  auto cursor = c_->Query("select count(*), getdate() as Now, convert(varchar(4), 'abcdef') from tHE_Item");
  const auto& cols = cursor->Columns();
  ASSERT_EQ(cols.size(), 3u);
  EXPECT_EQ(cols[0].name, "");
  EXPECT_EQ(cols[0].type, dac::FieldType::ftInteger);
  EXPECT_EQ(cols[1].name, "Now");
  EXPECT_EQ(cols[1].type, dac::FieldType::ftDateTime);
  EXPECT_EQ(cols[2].type, dac::FieldType::ftString);
  EXPECT_EQ(cols[2].size, 4);
  std::vector<dac::Row> rows;
  cursor->Fetch(rows, 1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsInteger(), 3);
  ASSERT_EQ(rows[0][1].Kind(), dac::ValueKind::kDateTime);
  const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  localtime_r(&now, &tm);
  EXPECT_EQ(rows[0][1].AsDateTime().year, tm.tm_year + 1900);
  EXPECT_EQ(rows[0][2].AsText(), "abcd");
}

// The copy opens "select * from T where 1=2" to learn the target's columns.
TEST_F(SqlServerQueryTest, EmptyResultStillReportsDeclaredColumns) {
  c_->Execute(
      "create table [dbo].[tAll] ([c1] char(1) not null, [c2] varchar(30), [c3] text, [c4] image, "
      "[c5] varbinary(max), [c6] datetime, [c7] float, [c8] bit, [c9] tinyint, [c10] smallint, "
      "[c11] int identity(1,1) not null, [c12] bigint, [c13] money, [c14] decimal(10, 2), [c15] decimal(28, 6))");
  auto cursor = c_->Query("select * from tAll where 1=2");
  struct Want {
    const char* name;
    dac::FieldType type;
    int size, precision, scale;
    const char* declared;
  };
  using F = dac::FieldType;
  const Want want[] = {
      {"c1", F::ftString, 1, 0, 0, "char(1)"},          {"c2", F::ftString, 30, 0, 0, "varchar(30)"},
      {"c3", F::ftMemo, 0, 0, 0, "text"},               {"c4", F::ftBlob, 0, 0, 0, "image"},
      {"c5", F::ftBlob, 0, 0, 0, "varbinary(max)"},     {"c6", F::ftDateTime, 0, 0, 0, "datetime"},
      {"c7", F::ftFloat, 0, 53, 0, "float"},            {"c8", F::ftBoolean, 0, 0, 0, "bit"},
      {"c9", F::ftWord, 0, 0, 0, "tinyint"},            {"c10", F::ftSmallint, 0, 0, 0, "smallint"},
      {"c11", F::ftInteger, 0, 0, 0, "int"},            {"c12", F::ftLargeint, 0, 0, 0, "bigint"},
      {"c13", F::ftCurrency, 0, 19, 4, "money"},        {"c14", F::ftBCD, 0, 10, 2, "decimal(10, 2)"},
      {"c15", F::ftFMTBcd, 0, 28, 6, "decimal(28, 6)"},
  };
  const auto& cols = cursor->Columns();
  ASSERT_EQ(cols.size(), std::size(want));
  for (std::size_t i = 0; i < cols.size(); ++i) {
    EXPECT_EQ(cols[i].name, want[i].name);
    EXPECT_EQ(dac::FieldTypeName(cols[i].type), std::string(dac::FieldTypeName(want[i].type))) << want[i].name;
    EXPECT_EQ(cols[i].size, want[i].size) << want[i].name;
    EXPECT_EQ(cols[i].precision, want[i].precision) << want[i].name;
    EXPECT_EQ(cols[i].scale, want[i].scale) << want[i].name;
    EXPECT_EQ(cols[i].declared_type, want[i].declared) << want[i].name;
  }
  EXPECT_FALSE(cols[0].nullable);
  EXPECT_TRUE(cols[1].nullable);
  EXPECT_TRUE(cols[10].identity);
  std::vector<dac::Row> rows;
  EXPECT_FALSE(cursor->Fetch(rows, 50));
  EXPECT_TRUE(rows.empty());
}

TEST_F(SqlServerQueryTest, UnknownNamesAreTheServersErrors) {
  struct Case {
    const char* sql;
    int native;
    const char* message;
  };
  const Case cases[] = {
      {"select * from Nope", 208, "Invalid object name 'Nope'."},
      {"select * from [dbo].[Nope]", 208, "Invalid object name 'dbo.Nope'."},
      {"select * from Erp.dbo.Nope", 208, "Invalid object name 'Erp.dbo.Nope'."},
      {"insert into Nope values (1)", 208, "Invalid object name 'Nope'."},
      {"select * from NoDb.dbo.tHE_Item", 911,
       "Database 'NoDb' does not exist. Make sure that the name is entered correctly."},
      {"select acNope from tHE_Item", 207, "Invalid column name 'acNope'."},
      // SQLite would take a double-quoted name that matches nothing for a text.
      {"select \"acNope\" from tHE_Item", 207, "Invalid column name 'acNope'."},
      {"insert into tHE_Item (acIdent, acNope) values ('x', 1)", 207, "Invalid column name 'acNope'."},
      {"select @@nope", 137, "Must declare the scalar variable \"@@nope\"."},
      {"select * from tHE_Item where", 102, "Incorrect syntax near the end of the statement."},
      {"select 'abc", 105, "Unclosed quotation mark after the character string 'abc'."},
  };
  for (const Case& c : cases) {
    const auto e = CaughtDriverError([&] { Rows(*c_, c.sql); });
    EXPECT_EQ(e.NativeError(), c.native) << c.sql;
    EXPECT_EQ(e.ServerMessage(), c.message) << c.sql;
  }
}

TEST_F(SqlServerQueryTest, ParametersBindInOrder) {
  const auto rows = Rows(*c_, "select acIdent from tHE_Item where anQty >= ? and acIdent <> ? order by acIdent",
                         {dac::Value(2), dac::Value("C")});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsText(), "B");
  EXPECT_EQ(c_->CountRows("select * from tHE_Item where anQty > ?", {dac::Value(1)}), 2);
}

TEST_F(SqlServerQueryTest, FetchGoesInBlocks) {
  auto cursor = c_->Query("select acIdent from tHE_Item order by acIdent");
  std::vector<dac::Row> rows;
  EXPECT_TRUE(cursor->Fetch(rows, 2));
  EXPECT_EQ(rows.size(), 2u);
  EXPECT_FALSE(cursor->Fetch(rows, 2));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][0].AsText(), "C");
}

}  // namespace
}  // namespace embedded::testing
