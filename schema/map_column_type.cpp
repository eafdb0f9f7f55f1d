#include "schema/map_column_type.h"

#include "platform/text.h"

namespace schema {
namespace {

std::string NumberType(int p, int s) {
  if (p == 0 && s != 0) p = 19;
  if (s > p) p = s;
  if (p == 0 && s == 0) return "float";
  if (s == 0) {
    if (p == 1) return "bit";
    if (p <= 3) return "tinyint";
    if (p <= 5) return "smallint";
    if (p <= 10) return "int";
    return "bigint";
  }
  if (p == 19 && s == 4) return "money";
  return "decimal(" + std::to_string(p) + ", " + std::to_string(s) + ")";
}

std::string BaseType(const ColumnRow& row) {
  const std::string t = platform::UpperAscii(row.data_type);
  const std::string n = std::to_string(row.char_length);
  if (t == "BLOB") return "image";
  if (t == "CHAR") return "char(" + n + ")";
  if (t == "CLOB") return "text";
  if (t == "DATE" || t == "TIMESTAMP(6)") return "datetime";
  if (t == "FLOAT") return "float";
  if (t == "NUMBER") return NumberType(row.data_precision, row.data_scale);
  if (t == "RAW") return "varbinary(max)";
  if (t == "VARCHAR2") {
    // One-character codes and the 13-character keys are fixed width in the ERP.
    const bool fixed = row.char_length == 1 || (row.char_length == 13 && platform::SameText(row.column_name, "acKey"));
    return (fixed ? "char(" : "varchar(") + n + ")";
  }
  return {};
}

}  // namespace

std::string MapColumnType(const ColumnRow& row) {
  const std::string type = BaseType(row);
  if (type.empty()) return {};
  if (row.nullable != "N") return type;
  return type + (IsIdentityColumn(row) ? " identity(1,1) not null" : " not null");
}

}  // namespace schema
