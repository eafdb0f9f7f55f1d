#include "dac/sql_text.h"

#include <gtest/gtest.h>

namespace dac {
namespace {

TEST(MarkParameters, TurnsNamesIntoMarkersOutsideQuotesAndComments) {
  struct Case {
    const char* sql;
    const char* marked;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"insert into T(a,b) values(:a,:b)", "insert into T(a,b) values(?,?)", {"a", "b"}},
      {"update T set a=:a where a=:OLD_a and b = :a", "update T set a=? where a=? and b = ?", {"a", "OLD_a", "a"}},
      {"select ':x', \":y\", [:z] from T -- :c\r\nwhere d = :d /* :e */", nullptr, {"d"}},
      {"select x::int, y := 1, 'it''s :q' from T", "select x::int, y := 1, 'it''s :q' from T", {}},
  };
  for (const auto& c : cases) {
    const auto m = MarkParameters(c.sql);
    if (c.marked) {
      EXPECT_EQ(m.sql, c.marked) << c.sql;
    }
    EXPECT_EQ(m.names, c.names) << c.sql;
  }
}

TEST(TableFromSelect, NamesTheFirstTableAfterFrom) {
  struct Case {
    const char* sql;
    const char* table;
  };
  const Case cases[] = {
      {"select * from tMG_TableCounts where 1=2", "tMG_TableCounts"},
      {"SELECT *\r\nFROM dbo.tHE_Move\r\n", "dbo.tHE_Move"},
      {"select * from [dbo].[t x], tY", "[dbo].[t x]"},
      {"select 'from nowhere' as a from\ttVX_Reports where ACREPORT > 'A' ", "tVX_Reports"},
      {"select 1", ""},
      {"select fromage from T", "T"},
  };
  for (const auto& c : cases) EXPECT_EQ(TableFromSelect(c.sql), c.table) << c.sql;
}

TEST(BracketName, BracketsEachPartOnce) {
  EXPECT_EQ(BracketName("tX"), "[tX]");
  EXPECT_EQ(BracketName("dbo.tX"), "[dbo].[tX]");
  EXPECT_EQ(BracketName("[dbo].tX"), "[dbo].[tX]");
  EXPECT_EQ(BracketName("odd]name"), "[odd]]name]");
}

}  // namespace
}  // namespace dac
