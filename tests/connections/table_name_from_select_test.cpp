#include "connections/table_name_from_select.h"

#include <gtest/gtest.h>

namespace connections {
namespace {

TEST(TableNameFromSelect, Cases) {
  struct Case {
    const char* sql;
    const char* table;
  };
  const Case cases[] = {
      {"select * from tMG_TableCounts where 1=2", "tMG_TableCounts"},
      {"select * from tHE_SetItem where 1=2\r\n", "tHE_SetItem"},
      {"select *\r\nfrom\r\ntHE_Move where 1=2", "tHE_Move"},
      {"SELECT a, b FROM [dbo].[T],U", "[dbo].[T]"},
      {"select * FrOm   Mixed", "Mixed"},
      {"select 1", ""},
      {"select * from", ""},
      {"delete from T", "T"},
      {"select*from T", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TableNameFromSelect(c.sql), c.table) << c.sql;
}

}  // namespace
}  // namespace connections
