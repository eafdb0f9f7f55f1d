#include "schema/default_constraint.h"

#include <gtest/gtest.h>

namespace schema {
namespace {

ColumnRow Row(const char* type, const char* nullable, const char* def, const char* table = "TA",
              const char* column = "CB") {
  ColumnRow r;
  r.table_name = table;
  r.column_name = column;
  r.data_type = type;
  r.nullable = nullable;
  r.data_default = def;
  return r;
}

TEST(BuildDefaultConstraint, Table) {
  struct Case {
    ColumnRow row;
    const char* expression;  // nullptr: no constraint
  };
  const Case cases[] = {
      {Row("NUMBER", "N", ""), "(0)"},
      {Row("FLOAT", "N", ""), "(0)"},
      {Row("VARCHAR2", "N", ""), "('')"},
      {Row("VARCHAR2", "N", "' '"), "''"},
      {Row("DATE", "N", "(SYSDATE)"), "(getdate())"},
      {Row("DATE", "N", " (sysdate)\n"), "(getdate())"},
      {Row("DATE", "N", "sysdate"), nullptr},
      {Row("DATE", "N", "(trunc(sysdate))"), nullptr},
      {Row("DATE", "N", ""), nullptr},
      {Row("NUMBER", "N", "(to_number(to_char(sysdate,'YYYY')))"), "(datepart(year,getdate()))"},
      {Row("VARCHAR2", "N", "(SYS_CONTEXT('USERENV','CURRENT_SCHEMA'))"), "(db_name())"},
      {Row("VARCHAR2", "N", "(sys_context('userenv','current_schema'))"), "(db_name())"},
      {Row("NUMBER", "N", "1\r\n"), "1"},
      {Row("number", "N", "7"), "7"},
      {Row("NUMBER", "Y", "1"), nullptr},
      {Row("CHAR", "N", "'x'"), nullptr},
      {Row("CLOB", "N", ""), nullptr},
      {Row("BLOB", "N", ""), nullptr},
      {Row("RAW", "N", ""), nullptr},
      {Row("TIMESTAMP(6)", "N", ""), nullptr},
      {Row("NUMBER", "N", "", "tVX_SysUpgradeTimeLog", "anSeq"), nullptr},
      {Row("NUMBER", "N", "", "TVX_SYSCONSTRAINTERRLOG", "ANORDER"), nullptr},
  };
  for (const auto& c : cases) {
    const std::string got = BuildDefaultConstraint(c.row);
    if (!c.expression) {
      EXPECT_EQ(got, "") << c.row.data_type << " " << c.row.data_default;
    } else {
      EXPECT_EQ(got, std::string("alter table [dbo].[TA] add constraint [DF_TA_CB] default ") + c.expression +
                         " for [CB]\r\ngo\r\n")
          << c.row.data_type << " " << c.row.data_default;
    }
  }
}

TEST(BuildDefaultConstraint, NamesWithClosingBracketsStayNames) {
  const std::string got = BuildDefaultConstraint(Row("NUMBER", "N", "", "T]x", "C]y"));
  EXPECT_EQ(got, "alter table [dbo].[T]]x] add constraint [DF_T]]x_C]]y] default (0) for [C]]y]\r\ngo\r\n");
}

}  // namespace
}  // namespace schema
