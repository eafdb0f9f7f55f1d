// A connection to a real server through unixODBC: the dac::Connection of the
// "odbc" driver. The server and the ODBC driver come from the ConnectParams
// (see connection_string.h).
//
// After the login: an Oracle session makes p.database its current schema; a
// PostgreSQL source (standing for Oracle) puts that schema first on its
// search path.
//
// InsertRows sends a batch as one parameter array (one SQLExecute, one round
// trip where the driver batches) inside a transaction of its own, unless the
// caller has one open. When the server refuses a row, that transaction is
// rolled back and the rows before the refused one are sent again and
// committed, so that exactly the rows before it stay, whatever the driver did
// with the rows after it. Inside the caller's transaction the rows before the
// refused one stay in that transaction; what the driver did with the rows after
// it is the caller's to roll back.
//
// Threads: a connection and its cursors belong to one thread at a time.
#pragma once

#include <memory>

#include "dac/driver.h"

namespace odbc {

// Throws dac::DriverError with the driver's own records when the login is
// refused or the server cannot be reached.
std::unique_ptr<dac::Connection> ConnectOdbc(const dac::ConnectParams& p);

}  // namespace odbc
