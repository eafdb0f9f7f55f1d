// Connections to an embedded SQL Server instance (see sqlserver_instance.h):
// the dac::Connection that the "embedded" driver hands out for SQL Server.
// A connection logs in against master's logins, works in one database at a
// time (`use` switches it) and runs T-SQL batches, translated statement by
// statement onto the database's SQLite file.
//
// Threads: a connection and its cursors belong to one thread at a time, as the
// seam says. Any number of connections may work on one database at once from
// different threads; their writes are serialised inside the instance.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "dac/driver.h"

namespace embedded {

// Logs in with p.user and p.password and opens p.database (the login's
// default database, normally master, when empty) in the instance folder
// p.instance_dir. Throws dac::DriverError with the real server's texts:
// "Login failed for user 'NAME'." (SQLSTATE 28000, native 18456) for a wrong
// name, password or a disabled login; "Cannot open database "N" requested by
// the login. The login failed." (native 4060) for a database the instance does
// not hold; a network-style error (SQLSTATE 08001) when the folder holds no
// instance.
std::unique_ptr<dac::Connection> ConnectSqlServerInstance(const dac::ConnectParams& p);

// Connects as the instance's owner (the login sa) without a password, as a
// trusted operating-system login would: whoever may read the folder owns the
// instance. For the loader tool and test set-up; `database` empty means master.
// Throws as ConnectSqlServerInstance does for a missing folder or database.
std::unique_ptr<dac::Connection> ConnectSqlServerInstanceAsOwner(const std::filesystem::path& dir,
                                                                 const std::string& database = {});

}  // namespace embedded
