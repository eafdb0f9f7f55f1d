#include "drivers/embedded/oracle_translate.h"

#include <gtest/gtest.h>

#include "dac/driver.h"

namespace embedded {
namespace {

// Stands in for the dictionary: every table is "SCHEMA.NAME" in SQLite, in
// the schema written or else in E; X does not exist.
std::string Resolve(const TableName& n) {
  if (n.name == "X") throw dac::DriverError("ORA-00942: table or view does not exist", "42S02", 942);
  return "\"" + n.schema.value_or("E") + "." + n.name + "\"";
}

TEST(TranslateStatement, RewritesWhatSqliteReadsDifferently) {
  struct Case {
    const char* oracle;
    const char* sqlite;
  };
  const Case cases[] = {
      {"select * from tA", "select * from \"E.TA\" AS \"TA\""},
      {"select a.x from tA a, s.tB, \"Mixed\" m where a.x = ''",
       "select a.x from \"E.TA\" a, \"S.TB\" AS \"TB\", \"E.Mixed\" m where a.x = NULL"},
      {"select 1 from tA left join (select y from tB) b on 1 = 1 join tC c using (k)",
       "select 1 from \"E.TA\" AS \"TA\" left join (select y from \"E.TB\" AS \"TB\") b on 1 = 1 join \"E.TC\" c using "
       "(k)"},
      {"select x from tA order by x, y desc, z desc nulls last, nvl(w, 0) asc",
       "select x from \"E.TA\" AS \"TA\" order by x NULLS LAST, y desc NULLS FIRST, z desc nulls last, nvl(w, 0) asc "
       "NULLS LAST"},
      {"select (select max(y) from tB order by 1 desc) from dual",
       "select (select max(y) from \"E.TB\" AS \"TB\" order by 1 desc NULLS FIRST) from \"E.DUAL\" AS \"DUAL\""},
      {"select sysdate, user, current_schema, s.tA.c from s.tA",
       "select SYSDATE(), SYS_CONTEXT('USERENV', 'SESSION_USER'), SYS_CONTEXT('USERENV', 'CURRENT_SCHEMA'), tA.c from "
       "\"S.TA\" AS \"TA\""},
      {"select * from tA where d > DATE '2020-01-31' and t < TIMESTAMP '2020-01-31 10:00:00.500'",
       "select * from \"E.TA\" AS \"TA\" where d > '2020-01-31 00:00:00' and t < '2020-01-31 10:00:00.5'"},
      {"select x from tA minus select x from tB",
       "select x from \"E.TA\" AS \"TA\" EXCEPT select x from \"E.TB\" AS \"TB\""},
      {"delete tA where x = 1", "delete FROM \"E.TA\" AS \"TA\" where x = 1"},
      {"update tA set x = 1", "update \"E.TA\" AS \"TA\" set x = 1"},
      {"insert into s.tA (x) select extract(year from d) from tB;",
       "insert into \"S.TA\" AS \"TA\" (x) select extract(year from d) from \"E.TB\" AS \"TB\""},
      {"with w as (select 1 k from tA) select * from w join tB on 1=1",
       "with w as (select 1 k from \"E.TA\" AS \"TA\") select * from w join \"E.TB\" AS \"TB\" on 1=1"},
      {"insert into tA (x) with g (n) as (select 1 from dual union all select n + 1 from g where n < 9) select n from g",
       "insert into \"E.TA\" AS \"TA\" (x) with g (n) as (select 1 from \"E.DUAL\" AS \"DUAL\" union all "
       "select n + 1 from g where n < 9) select n from g"},
  };
  for (const Case& c : cases) EXPECT_EQ(TranslateStatement(c.oracle, Resolve).text, c.sqlite) << c.oracle;
}

TEST(TranslateStatement, ReportsKindAndNamesWrittenQuoted) {
  const auto t = TranslateStatement("select a \"Mixed\", b from tA", Resolve);
  EXPECT_EQ(t.kind, StatementKind::kSelect);
  EXPECT_EQ(t.quoted_names, std::vector<std::string>{"Mixed"});
  EXPECT_EQ(TranslateStatement("delete from tA", Resolve).kind, StatementKind::kDelete);
}

TEST(TranslateStatement, FailsForUnknownTablesTwoStatementsAndBadDateLiterals) {
  EXPECT_THROW(TranslateStatement("select * from tA join X on 1=1", Resolve), dac::DriverError);
  EXPECT_THROW(TranslateStatement("select * from tA; select * from tB", Resolve), dac::DriverError);
  try {
    TranslateStatement("select DATE '2020-02-30' from dual", Resolve);
    ADD_FAILURE();
  } catch (const dac::DriverError& e) {
    EXPECT_EQ(e.ServerMessage(), "ORA-01861: literal does not match format string");
  }
}

}  // namespace
}  // namespace embedded
