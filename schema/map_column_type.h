// The SQL Server column definition for one Oracle column: the text that follows
// the column name in "create table" (type, identity clause, not-null clause).
// Pure: safe from any thread.
#pragma once

#include <string>

#include "schema/column_row.h"

namespace schema {

// Empty when the Oracle type has no SQL Server counterpart here.
std::string MapColumnType(const ColumnRow& row);

}  // namespace schema
