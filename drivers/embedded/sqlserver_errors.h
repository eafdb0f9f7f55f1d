// The errors of the embedded SQL Server instance, with the message texts,
// SQLSTATEs and error numbers a real server sends, so that code above the
// driver seam (which looks for "Login failed for user" and logs what the
// server wrote) meets the same texts as against a real server.
//
// Errors that end a statement, not only a row, carry a second record "The
// statement has been terminated." (3621), as a real server sends it.
// Pure functions; safe to call from any thread.
#pragma once

#include <functional>
#include <string>

#include "dac/driver.h"
#include "drivers/embedded/sqlite_db.h"

namespace embedded::sqlserver {

dac::DriverError ServerError(int number, const std::string& sqlstate, const std::string& message,
                             bool statement_terminated = false);

dac::DriverError LoginFailed(const std::string& login);
dac::DriverError CannotOpenDatabase(const std::string& database, const std::string& login);
dac::DriverError CannotOpenDefaultDatabase(const std::string& login);
dac::DriverError ServerUnreachable(const std::string& instance_dir);
dac::DriverError DatabaseDoesNotExist(const std::string& database);
dac::DriverError DatabaseExists(const std::string& database);
dac::DriverError LoginExists(const std::string& login);
dac::DriverError NotAValidLogin(const std::string& login);
dac::DriverError InvalidObjectName(const std::string& name);
dac::DriverError InvalidColumnName(const std::string& name);
dac::DriverError ObjectExists(const std::string& name);
dac::DriverError CannotDropTable(const std::string& name);
dac::DriverError IncorrectSyntax(const std::string& near);
dac::DriverError IncorrectSyntaxAtEnd();
dac::DriverError UnknownType(int column_number, const std::string& type);
dac::DriverError DuplicateColumn(const std::string& column, const std::string& table);
dac::DriverError MustDeclareVariable(const std::string& name);
dac::DriverError ProcedureNotFound(const std::string& name);
dac::DriverError ValueCountMismatch();
dac::DriverError NotSupported(const std::string& what);

// CREATE DATABASE refusing the data file it was given: the cause (5105 for a
// name that is no full path, 5133 for a missing folder, 5170 for a file that
// exists, 5123 for one that cannot be made) and "CREATE DATABASE failed."
// (1802), as a server sends the pair. `file` is the name as given.
dac::DriverError FileNameNotAFullPath(const std::string& file);
dac::DriverError DirectoryLookupFailed(const std::string& file);
dac::DriverError FileAlreadyExists(const std::string& file);
dac::DriverError FileNotCreated(const std::string& file);
// ALTER DATABASE on a database that is missing or not the caller's (5011, 5069).
dac::DriverError CannotAlterDatabase(const std::string& database);
// ALTER DATABASE master SET RECOVERY: master stays in the simple model (5058, 5069).
dac::DriverError RecoveryOptionOnMaster();

// Database principals.
dac::DriverError PrincipalExists(const std::string& name);
dac::DriverError LoginHasAnotherUser();
dac::DriverError CannotAlterRole(const std::string& role);
dac::DriverError CannotAddPrincipal(const std::string& member);
dac::DriverError SpecialPrincipal(const std::string& name);
dac::DriverError CannotFindPrincipal(const std::string& name);
dac::DriverError OwnerIsAlreadyAUser();
dac::DriverError CannotChangeSystemDatabaseOwner();
dac::DriverError NotInATransaction(const std::string& procedure);

// Default constraints; all but the first end with "Could not create
// constraint or index. See previous errors." (1750). `table` as written.
dac::DriverError CannotFindObject(const std::string& table);
dac::DriverError InvalidDefaultColumn(const std::string& column, const std::string& table);
dac::DriverError ColumnHasDefault();
dac::DriverError DefaultOnIdentity(const std::string& table, const std::string& column);
dac::DriverError ConstraintNameTaken(const std::string& name);
dac::DriverError ColumnNameInDefault(const std::string& name);
dac::DriverError SubqueryInDefault();

// Rows refused on insert. `table` is the three-part name the server reports
// ("db.dbo.T") where it reports one.
dac::DriverError NullNotAllowed(const std::string& column, const std::string& table);
dac::DriverError WouldBeTruncated();
dac::DriverError ArithmeticOverflowForType(const std::string& type, const std::string& value);
dac::DriverError ArithmeticOverflowConverting(const std::string& from, const std::string& type);
dac::DriverError ConversionFailed(const std::string& value, const std::string& type);
dac::DriverError ErrorConverting(const std::string& from, const std::string& to);
dac::DriverError DateTimeOutOfRange(const std::string& from, const std::string& to);
dac::DriverError DateTimeSyntax();
dac::DriverError ImplicitConversion(const std::string& from, const std::string& to);
dac::DriverError IdentityInsertOff(const std::string& table);
dac::DriverError NoIdentityProperty(const std::string& table);
dac::DriverError IdentityInsertAlreadyOn(const std::string& on_table, const std::string& table);

dac::DriverError CommitWithoutBegin();
dac::DriverError RollbackWithoutBegin();
dac::DriverError LockTimeout();

// SQLite's refusal of a translated statement, in the server's words where the
// two mean the same thing ("no such table: T" is "Invalid object name 'T'.").
// `written` maps a table name SQLite reports back to the name as the
// statement wrote it ("dbo.T" for [dbo].[T]); it may be empty.
using WrittenNames = std::function<std::string(const std::string& sqlite_name)>;
dac::DriverError FromSqlite(const SqliteError& e, const WrittenNames& written = {});

}  // namespace embedded::sqlserver
