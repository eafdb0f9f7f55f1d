#include "schema/map_column_type.h"

#include <gtest/gtest.h>

namespace schema {
namespace {

ColumnRow Row(const char* type, int len, int p, int s, const char* nullable = "Y", const char* column = "acCol",
              const char* table = "tHE_Item") {
  ColumnRow r;
  r.table_name = table;
  r.column_name = column;
  r.data_type = type;
  r.char_length = len;
  r.data_precision = p;
  r.data_scale = s;
  r.nullable = nullable;
  return r;
}

TEST(MapColumnType, Table) {
  struct Case {
    ColumnRow row;
    const char* type;
  };
  const Case cases[] = {
      {Row("NUMBER", 0, 0, 0), "float"},
      {Row("NUMBER", 0, 1, 0), "bit"},
      {Row("NUMBER", 0, 2, 0), "tinyint"},
      {Row("NUMBER", 0, 3, 0), "tinyint"},
      {Row("NUMBER", 0, 4, 0), "smallint"},
      {Row("NUMBER", 0, 5, 0), "smallint"},
      {Row("NUMBER", 0, 6, 0), "int"},
      {Row("NUMBER", 0, 10, 0), "int"},
      {Row("NUMBER", 0, 11, 0), "bigint"},
      {Row("NUMBER", 0, 38, 0), "bigint"},
      {Row("NUMBER", 0, 19, 4), "money"},
      {Row("NUMBER", 0, 0, 4), "money"},
      {Row("NUMBER", 0, 0, 2), "decimal(19, 2)"},
      {Row("NUMBER", 0, 2, 5), "decimal(5, 5)"},
      {Row("NUMBER", 0, 10, 2, "N"), "decimal(10, 2) not null"},
      {Row("number", 0, 10, 0), "int"},
      {Row("VARCHAR2", 1, 0, 0), "char(1)"},
      {Row("VARCHAR2", 13, 0, 0, "Y", "ACKEY"), "char(13)"},
      {Row("VARCHAR2", 13, 0, 0), "varchar(13)"},
      {Row("VARCHAR2", 4000, 0, 0, "N"), "varchar(4000) not null"},
      {Row("CHAR", 3, 0, 0), "char(3)"},
      {Row("CLOB", 0, 0, 0), "text"},
      {Row("BLOB", 0, 0, 0), "image"},
      {Row("DATE", 0, 0, 0), "datetime"},
      {Row("TIMESTAMP(6)", 0, 0, 0), "datetime"},
      {Row("FLOAT", 0, 126, 0), "float"},
      {Row("RAW", 16, 0, 0), "varbinary(max)"},
      {Row("NUMBER", 0, 10, 0, "N", "anSeq", "tVX_SysUpgradeTimeLog"), "int identity(1,1) not null"},
      {Row("NUMBER", 0, 10, 0, "N", "ANORDER", "TVX_SYSCONSTRAINTERRLOG"), "int identity(1,1) not null"},
      {Row("NUMBER", 0, 10, 0, "Y", "anSeq", "tVX_SysUpgradeTimeLog"), "int"},
      {Row("NVARCHAR2", 10, 0, 0, "N"), ""},
      {Row("LONG", 0, 0, 0), ""},
      {Row("NCHAR", 1, 0, 0), ""},
      {Row("TIMESTAMP(3)", 0, 0, 0), ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapColumnType(c.row), c.type) << c.row.data_type << "(" << c.row.char_length << ","
                                            << c.row.data_precision << "," << c.row.data_scale << ") "
                                            << c.row.column_name << " " << c.row.nullable;
  }
}

}  // namespace
}  // namespace schema
