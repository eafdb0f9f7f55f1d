// One row of the Oracle column catalogue that table creation reads: what the
// type mapping and the default constraints need to know about a column.
#pragma once

#include <string>

namespace schema {

struct ColumnRow {
  std::string table_name;   // as the catalogue query delivers it (dictionary or upper-case spelling)
  std::string column_name;
  std::string data_type;    // as read, e.g. "NUMBER", "varchar2", "TIMESTAMP(6)"
  int char_length = 0;      // empty values read as 0
  int data_precision = 0;
  int data_scale = 0;
  std::string nullable;     // "N" for NOT NULL
  std::string data_default; // the Oracle default expression, empty when none
};

// True for the two counter columns that become identity columns.
bool IsIdentityColumn(const ColumnRow& row);

}  // namespace schema
