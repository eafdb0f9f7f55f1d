// The rows of one query, read forward only: the dac::Cursor of the "odbc"
// driver.
//
// Columns of bounded size are bound to row arrays, and the driver fills a
// whole block of rows per SQLFetch (SQL_ATTR_ROW_ARRAY_SIZE, as many rows as
// Fetch asks for, within a memory bound). A result with a LOB column is read a
// row at a time instead, each LOB in chunks with SQLGetData: drivers need not
// allow SQLGetData inside a block. The cursor closes its result as soon as the
// last row is read, so that the connection is free for the next statement
// (FreeTDS serves one result at a time).
//
// Threads: the cursor belongs to its connection's thread. It shares the
// connection's handles, so destroying it after the connection is safe.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/odbc/odbc_call.h"
#include "drivers/odbc/parameters.h"

namespace odbc {

// Takes over `statement`, already executed, and the parameters bound to it.
// Throws dac::DriverError when the driver cannot describe the result.
std::unique_ptr<dac::Cursor> OpenCursor(std::shared_ptr<ServerLink> link, Handle statement,
                                        std::vector<ParameterColumn> params, dac::ServerKind kind, std::string sql);

}  // namespace odbc
