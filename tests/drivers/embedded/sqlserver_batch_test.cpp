#include "drivers/embedded/sqlserver_batch.h"

#include <gtest/gtest.h>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::sqlserver {
namespace {

// Statement kinds of a batch, with the children of IF and BEGIN ... END in
// brackets: "If[CreateLogin] Exec".
std::string Shape(const std::vector<Statement>& statements);

std::string KindName(StatementKind k) {
  switch (k) {
    case StatementKind::kSelect: return "Select";
    case StatementKind::kInsert: return "Insert";
    case StatementKind::kUpdate: return "Update";
    case StatementKind::kDelete: return "Delete";
    case StatementKind::kCreateTable: return "CreateTable";
    case StatementKind::kCreateLogin: return "CreateLogin";
    case StatementKind::kCreateModule: return "CreateModule";
    case StatementKind::kAlterDatabase: return "AlterDatabase";
    case StatementKind::kAlterTable: return "AlterTable";
    case StatementKind::kDropTable: return "DropTable";
    case StatementKind::kSet: return "Set";
    case StatementKind::kExec: return "Exec";
    case StatementKind::kIf: return "If";
    case StatementKind::kBlock: return "Block";
    case StatementKind::kBeginTransaction: return "Begin";
    case StatementKind::kCommit: return "Commit";
    case StatementKind::kUse: return "Use";
    case StatementKind::kGrant: return "Grant";
    default: return "Other";
  }
}

std::string Shape(const std::vector<Statement>& statements) {
  std::string out;
  for (const auto& s : statements) {
    out += (out.empty() ? "" : " ") + KindName(s.kind);
    if (!s.children.empty()) out += "[" + Shape(s.children) + "]";
  }
  return out;
}

TEST(SplitBatch, StatementsStartAtTopLevelKeywords) {
  struct Case {
    const char* batch;
    const char* shape;
  };
  const Case cases[] = {
      {"select 1 select 2", "Select Select"},
      {"select 1; ;select 2;", "Select Select"},
      {"insert into T select * from U; select 1", "Insert Select"},
      {"insert into T (a) values (1) select 1", "Insert Select"},
      {"select a from T union all select b from U", "Select"},
      {"update T set a = 1 where b in (select b from U) delete from T", "Update Delete"},
      {"update T set a = 1 set nocount on", "Update Set"},
      {"alter database [X] set recovery simple", "AlterDatabase"},
      {"alter table [dbo].[T] add constraint [DF_T_a] default (0) for [a]", "AlterTable"},
      {"drop table if exists T create table T (a int)", "DropTable CreateTable"},
      {"select case when a = 1 then 'x' end from T select 2", "Select Select"},
      {"if not exists(select * from sys.sql_logins where name = 'x')   create login [x] with password = 'p', "
       "Check_Policy = OFF exec sp_addrolemember 'db_owner', 'x'",
       "If[CreateLogin] Exec"},
      {"if 1=2 select 1; else select 2; select 3", "If[Select Select] Select"},
      {"if 1=1 begin select 1 select case when 1=1 then 2 end end", "If[Block[Select Select]]"},
      {"begin tran insert into T values (1) commit", "Begin Insert Commit"},
      {"set identity_insert [dbo].[T] on insert into T (a) values (1) set identity_insert [dbo].[T] off ",
       "Set Insert Set"},
      {"grant select, insert, update on T to u", "Grant"},
      {"sp_who", "Exec"},
      {"use [Erp] select db_name()", "Use Select"},
      {"create procedure p as select 1 select 2", "CreateModule"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Shape(SplitBatch(Tokenize(c.batch))), c.shape) << c.batch;
  }
}

TEST(SplitBatch, BrokenStructureIsASyntaxError) {
  for (const char* batch : {"end", "select 1 else select 2", "if 1=1", "begin select 1"}) {
    const auto e = embedded::testing::CaughtDriverError([&] { SplitBatch(Tokenize(batch)); });
    EXPECT_EQ(e.NativeError(), 102) << batch;
  }
}

TEST(StatementText, IsTheStatementAsWritten) {
  const std::string batch = "select 1\n  insert into T values ('a;b');  select 2";
  const auto tokens = Tokenize(batch);
  const auto statements = SplitBatch(tokens);
  ASSERT_EQ(statements.size(), 3u);
  EXPECT_EQ(StatementText(batch, tokens, statements[1]), "insert into T values ('a;b')");
}

}  // namespace
}  // namespace embedded::sqlserver

namespace embedded::testing {
namespace {

TEST_F(SqlServerInstanceTest, BatchRunsItsStatementsInOrder) {
  auto c = Connect();
  const auto affected = c->Execute(
      "create table [dbo].[T] ([a] int not null, [b] varchar(10))\n"
      "insert into T (a, b) values (1, 'one')\n"
      "insert into [dbo].[T] values (2, 'two'), (3, 'three');\n"
      "update T set b = upper(b) where a > 1");
  EXPECT_EQ(affected, 2);
  const auto rows = Rows(*c, "select a, b from T order by a");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][1].AsText(), "THREE");
}

TEST_F(SqlServerInstanceTest, FailingStatementEndsTheBatch) {
  auto c = Connect();
  c->Execute("create table T (a int)");
  const auto e = CaughtDriverError([&] {
    c->Execute("insert into T values (1)\ninsert into Missing values (2)\ninsert into T values (3)");
  });
  EXPECT_EQ(e.ServerMessage(), "Invalid object name 'Missing'.");
  EXPECT_EQ(e.NativeError(), 208);
  EXPECT_EQ(e.Sql(), "insert into Missing values (2)");
  const auto rows = Rows(*c, "select a from T");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsInteger(), 1);
}

TEST_F(SqlServerInstanceTest, QueryReturnsTheFirstResultOfABatch) {
  auto c = Connect();
  auto cursor = c->Query("set nocount on\ncreate table T (a int)\ninsert into T values (7)\nselect a from T\nselect 1");
  std::vector<dac::Row> rows;
  EXPECT_FALSE(cursor->Fetch(rows, 10));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsInteger(), 7);
}

TEST_F(SqlServerInstanceTest, StatementsWithoutAHandlerNameThemselves) {
  auto c = Connect();
  const auto e = CaughtDriverError([&] { c->Execute("create view V as select 1 as x"); });
  EXPECT_NE(std::string(e.what()).find("CREATE VIEW"), std::string::npos) << e.what();
}

}  // namespace
}  // namespace embedded::testing
