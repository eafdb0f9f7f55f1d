// The SQL Server default constraint for one NOT NULL Oracle column, as a batch
// of its own ("alter table ... add constraint [DF_T_C] default ... for [C]"
// followed by a "go" line), or an empty text. Pure: safe from any thread.
#pragma once

#include <string>

#include "schema/column_row.h"

namespace schema {

std::string BuildDefaultConstraint(const ColumnRow& row);

}  // namespace schema
