// Connections to an embedded Oracle instance (see oracle_catalogue.h): the
// dac::Connection that the "embedded" driver hands out for Oracle. A session
// logs in against the instance's users, works in a current schema, and runs
// Oracle-dialect statements one at a time, translated onto the instance's
// SQLite file. Queries stream: a cursor reads its rows from SQLite as they are
// fetched.
//
// Outside StartTransaction every statement commits on its own. DDL inside a
// transaction stays part of it (a real server would commit first).
//
// Threads: a connection and its cursors belong to one thread at a time, as the
// seam says. Any number of connections may read one instance at once from
// different threads or processes; writes are serialised by SQLite.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "dac/driver.h"

namespace embedded {

// Logs in with p.user and p.password to the instance folder p.instance_dir
// and makes p.database (when not empty) the current schema. Throws
// dac::DriverError with the real server's texts:
// "ORA-01017: invalid username/password; logon denied" for an unknown user or
// a wrong password; "ORA-28009: connection as SYS should be as SYSDBA or
// SYSOPER" for SYS in normal mode; "ORA-01031: insufficient privileges" for
// SYSDBA by a user without it; "ORA-01435: user does not exist" for an unknown
// schema; "ORA-12541: TNS:no listener" when the folder holds no instance.
std::unique_ptr<dac::Connection> ConnectOracleInstance(const dac::ConnectParams& p);

// Connects as SYS with SYSDBA without a password, as the owner of an Oracle
// installation does locally ("/ as sysdba"): whoever may read the folder owns
// the instance. For the loader tool and test set-up; `schema` empty means SYS.
// Throws as ConnectOracleInstance does for a missing folder or schema.
std::unique_ptr<dac::Connection> ConnectOracleInstanceAsSysDba(const std::filesystem::path& dir,
                                                               const std::string& schema = {});

}  // namespace embedded
