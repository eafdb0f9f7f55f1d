// The "odbc" driver: real Oracle and SQL Server servers (and the PostgreSQL
// server of the tests) through unixODBC, with the ODBC driver the settings
// name. See README.md beside this file for installing and naming the drivers.
//
// Threads: the driver object is stateless and may connect from any thread;
// each connection then belongs to the thread that uses it.
#pragma once

#include <memory>

#include "dac/driver.h"

namespace odbc {

inline constexpr char kOdbcDriverName[] = "odbc";

std::shared_ptr<dac::Driver> MakeOdbcDriver();

// Registers the driver under "odbc" with dac's registry. Call at start-up;
// calling it again replaces the entry with an equal one.
void RegisterOdbcDriver();

}  // namespace odbc
