#include "schema/column_row.h"

#include "platform/text.h"

namespace schema {

bool IsIdentityColumn(const ColumnRow& row) {
  using platform::SameText;
  return (SameText(row.table_name, "tVX_SysUpgradeTimeLog") && SameText(row.column_name, "anSeq")) ||
         (SameText(row.table_name, "tVX_SysConstraintErrLog") && SameText(row.column_name, "anOrder"));
}

}  // namespace schema
