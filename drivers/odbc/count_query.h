// The statement that makes a server count the rows of a query, for
// Connection::CountRows. Pure function, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace odbc {

// "select count(*) from (" + sql + ") counted", on lines of their own so that
// a line comment at the end of `sql` ends before the closing parenthesis, and
// without a trailing ";". With `drop_order_by` a trailing ORDER BY at the top
// level of `sql` is left out: SQL Server refuses one in a derived table, and
// the order never changes the count.
std::string CountQuery(std::string_view sql, bool drop_order_by);

}  // namespace odbc
