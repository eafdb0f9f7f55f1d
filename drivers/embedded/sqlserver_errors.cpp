#include "drivers/embedded/sqlserver_errors.h"

#include <sqlite3.h>

#include <string_view>

namespace embedded::sqlserver {
namespace {

std::string After(std::string_view text, std::string_view prefix) {
  const auto at = text.find(prefix);
  return at == std::string_view::npos ? std::string() : std::string(text.substr(at + prefix.size()));
}

// SQLite names a table as "schema.T" when the statement named its schema.
std::string LastPart(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(dot + 1);
}

}  // namespace

dac::DriverError ServerError(int number, const std::string& sqlstate, const std::string& message,
                             bool statement_terminated) {
  std::vector<dac::Diagnostic> records{{sqlstate, number, message}};
  if (statement_terminated) records.push_back({"01000", 3621, "The statement has been terminated."});
  return dac::DriverError(std::move(records));
}

dac::DriverError LoginFailed(const std::string& login) {
  return ServerError(18456, "28000", "Login failed for user '" + login + "'.");
}

dac::DriverError CannotOpenDatabase(const std::string& database, const std::string& login) {
  // A real server sends the failed login as a second record.
  return dac::DriverError(std::vector<dac::Diagnostic>{
      {"42000", 4060, "Cannot open database \"" + database + "\" requested by the login. The login failed."},
      {"28000", 18456, "Login failed for user '" + login + "'."}});
}

dac::DriverError CannotOpenDefaultDatabase(const std::string& login) {
  return dac::DriverError(std::vector<dac::Diagnostic>{
      {"42000", 4064, "Cannot open user default database. Login failed."},
      {"28000", 18456, "Login failed for user '" + login + "'."}});
}

dac::DriverError ServerUnreachable(const std::string& instance_dir) {
  return dac::DriverError(std::vector<dac::Diagnostic>{
      {"08001", 53,
       "A network-related or instance-specific error has occurred while establishing a connection to SQL "
       "Server. Server is not found or not accessible. Check if instance name is correct and if SQL Server is "
       "configured to allow remote connections."},
      {"08001", 2, "No embedded SQL Server instance in the folder '" + instance_dir + "'."}});
}

dac::DriverError DatabaseDoesNotExist(const std::string& database) {
  return ServerError(911, "42000",
                     "Database '" + database + "' does not exist. Make sure that the name is entered correctly.");
}

dac::DriverError DatabaseExists(const std::string& database) {
  return ServerError(1801, "42000", "Database '" + database + "' already exists. Choose a different database name.");
}

dac::DriverError LoginExists(const std::string& login) {
  return ServerError(15025, "42000", "The server principal '" + login + "' already exists.");
}

dac::DriverError NotAValidLogin(const std::string& login) {
  return ServerError(15007, "42000", "'" + login + "' is not a valid login or you do not have permission.");
}

dac::DriverError InvalidObjectName(const std::string& name) {
  return ServerError(208, "42S02", "Invalid object name '" + name + "'.");
}

dac::DriverError InvalidColumnName(const std::string& name) {
  return ServerError(207, "42S22", "Invalid column name '" + name + "'.");
}

dac::DriverError ObjectExists(const std::string& name) {
  return ServerError(2714, "42S01", "There is already an object named '" + name + "' in the database.");
}

dac::DriverError CannotDropTable(const std::string& name) {
  return ServerError(3701, "42S02",
                     "Cannot drop the table '" + name + "', because it does not exist or you do not have permission.");
}

dac::DriverError IncorrectSyntax(const std::string& near) {
  return ServerError(102, "42000", "Incorrect syntax near '" + near + "'.");
}

dac::DriverError IncorrectSyntaxAtEnd() {
  return ServerError(102, "42000", "Incorrect syntax near the end of the statement.");
}

dac::DriverError UnknownType(int column_number, const std::string& type) {
  return ServerError(2715, "42000",
                     "Column, parameter, or variable #" + std::to_string(column_number) + ": Cannot find data type " +
                         type + ".");
}

dac::DriverError DuplicateColumn(const std::string& column, const std::string& table) {
  return ServerError(2705, "42S21",
                     "Column names in each table must be unique. Column name '" + column + "' in table '" + table +
                         "' is specified more than once.");
}

dac::DriverError MustDeclareVariable(const std::string& name) {
  return ServerError(137, "42000", "Must declare the scalar variable \"" + name + "\".");
}

dac::DriverError ProcedureNotFound(const std::string& name) {
  return ServerError(2812, "42000", "Could not find stored procedure '" + name + "'.");
}

dac::DriverError ValueCountMismatch() {
  return ServerError(213, "21S01", "Column name or number of supplied values does not match table definition.");
}

dac::DriverError NotSupported(const std::string& what) {
  return ServerError(40000, "42000", "The embedded SQL Server does not support " + what + ".");
}

namespace {

dac::DriverError WithSecond(int number, const std::string& sqlstate, const std::string& message, int second,
                            const std::string& second_message) {
  return dac::DriverError(std::vector<dac::Diagnostic>{{sqlstate, number, message}, {"42000", second, second_message}});
}

dac::DriverError DatabaseFileFailure(int number, const std::string& message) {
  return WithSecond(number, "42000", message, 1802,
                    "CREATE DATABASE failed. Some file names listed could not be created. Check related errors.");
}

dac::DriverError ConstraintFailure(int number, const std::string& sqlstate, const std::string& message) {
  return WithSecond(number, sqlstate, message, 1750, "Could not create constraint or index. See previous errors.");
}

}  // namespace

dac::DriverError FileNameNotAFullPath(const std::string& file) {
  return DatabaseFileFailure(5105, "A file activation error occurred. The physical file name '" + file +
                                       "' may be incorrect. Diagnose and correct additional errors, and retry the "
                                       "operation.");
}

dac::DriverError DirectoryLookupFailed(const std::string& file) {
  // SQL Server on Linux reports a missing folder as error 2, where Windows says 3.
  return DatabaseFileFailure(5133, "Directory lookup for the file \"" + file +
                                       "\" failed with the operating system error 2(The system cannot find the file "
                                       "specified.).");
}

dac::DriverError FileAlreadyExists(const std::string& file) {
  return DatabaseFileFailure(5170, "Cannot create file '" + file +
                                       "' because it already exists. Change the file path or the file name, and retry "
                                       "the operation.");
}

dac::DriverError FileNotCreated(const std::string& file) {
  return DatabaseFileFailure(5123, "CREATE FILE encountered operating system error 5(Access is denied.) while "
                                   "attempting to open or create the physical file '" + file + "'.");
}

dac::DriverError CannotAlterDatabase(const std::string& database) {
  return WithSecond(5011, "42000",
                    "User does not have permission to alter database '" + database +
                        "', the database does not exist, or the database is not in a state that allows access checks.",
                    5069, "ALTER DATABASE statement failed.");
}

dac::DriverError RecoveryOptionOnMaster() {
  return WithSecond(5058, "42000", "Option 'RECOVERY' cannot be set in database 'master'.", 5069,
                    "ALTER DATABASE statement failed.");
}

dac::DriverError PrincipalExists(const std::string& name) {
  return ServerError(15023, "42000", "User, group, or role '" + name + "' already exists in the current database.");
}

dac::DriverError LoginHasAnotherUser() {
  return ServerError(15063, "42000", "The login already has an account under a different user name.");
}

dac::DriverError CannotAlterRole(const std::string& role) {
  return ServerError(15151, "42000",
                     "Cannot alter the role '" + role + "', because it does not exist or you do not have permission.");
}

dac::DriverError CannotAddPrincipal(const std::string& member) {
  return ServerError(15151, "42000",
                     "Cannot add the principal '" + member +
                         "', because it does not exist or you do not have permission.");
}

dac::DriverError SpecialPrincipal(const std::string& name) {
  return ServerError(15405, "42000", "Cannot use the special principal '" + name + "'.");
}

dac::DriverError CannotFindPrincipal(const std::string& name) {
  return ServerError(
      15151, "42000",
      "Cannot find the principal '" + name + "', because it does not exist or you do not have permission.");
}

dac::DriverError OwnerIsAlreadyAUser() {
  return ServerError(15110, "42000", "The proposed new database owner is already a user or aliased in the database.");
}

dac::DriverError CannotChangeSystemDatabaseOwner() {
  return ServerError(15109, "42000", "Cannot change the owner of the master, model, tempdb or distribution database.");
}

dac::DriverError NotInATransaction(const std::string& procedure) {
  return ServerError(15002, "42000", "The procedure '" + procedure + "' cannot be executed within a transaction.");
}

dac::DriverError CannotFindObject(const std::string& table) {
  return ServerError(
      4902, "42000",
      "Cannot find the object \"" + table + "\" because it does not exist or you do not have permissions.");
}

dac::DriverError InvalidDefaultColumn(const std::string& column, const std::string& table) {
  return ConstraintFailure(1752, "42000",
                           "Column '" + column + "' in table '" + table +
                               "' is invalid for creating a default constraint.");
}

dac::DriverError ColumnHasDefault() {
  return ConstraintFailure(1781, "42000", "Column already has a DEFAULT bound to it.");
}

dac::DriverError DefaultOnIdentity(const std::string& table, const std::string& column) {
  return ConstraintFailure(1754, "42000",
                           "Defaults cannot be created on columns with an IDENTITY attribute. Table '" + table +
                               "', column '" + column + "'.");
}

dac::DriverError ConstraintNameTaken(const std::string& name) {
  return ConstraintFailure(2714, "42S01", "There is already an object named '" + name + "' in the database.");
}

dac::DriverError ColumnNameInDefault(const std::string& name) {
  return ServerError(128, "42000",
                     "The name \"" + name +
                         "\" is not permitted in this context. Valid expressions are constants, constant expressions, "
                         "and (in some contexts) variables. Column names are not permitted.");
}

dac::DriverError SubqueryInDefault() {
  return ServerError(1046, "42000", "Subqueries are not allowed in this context. Only scalar expressions are allowed.");
}

dac::DriverError NullNotAllowed(const std::string& column, const std::string& table) {
  return ServerError(515, "23000",
                     "Cannot insert the value NULL into column '" + column + "', table '" + table +
                         "'; column does not allow nulls. INSERT fails.",
                     true);
}

dac::DriverError WouldBeTruncated() {
  return ServerError(8152, "22001", "String or binary data would be truncated.", true);
}

dac::DriverError ArithmeticOverflowForType(const std::string& type, const std::string& value) {
  return ServerError(220, "22003", "Arithmetic overflow error for data type " + type + ", value = " + value + ".",
                     true);
}

dac::DriverError ArithmeticOverflowConverting(const std::string& from, const std::string& type) {
  return ServerError(8115, "22003", "Arithmetic overflow error converting " + from + " to data type " + type + ".",
                     true);
}

dac::DriverError ConversionFailed(const std::string& value, const std::string& type) {
  return ServerError(245, "22018",
                     "Conversion failed when converting the varchar value '" + value + "' to data type " + type + ".");
}

dac::DriverError ErrorConverting(const std::string& from, const std::string& to) {
  return ServerError(8114, "42000", "Error converting data type " + from + " to " + to + ".");
}

dac::DriverError DateTimeOutOfRange(const std::string& from, const std::string& to) {
  return ServerError(242, "22007",
                     "The conversion of a " + from + " data type to a " + to +
                         " data type resulted in an out-of-range value.",
                     true);
}

dac::DriverError DateTimeSyntax() {
  return ServerError(241, "22007", "Conversion failed when converting date and/or time from character string.");
}

dac::DriverError ImplicitConversion(const std::string& from, const std::string& to) {
  return ServerError(257, "42000",
                     "Implicit conversion from data type " + from + " to " + to +
                         " is not allowed. Use the CONVERT function to run this query.");
}

dac::DriverError IdentityInsertOff(const std::string& table) {
  return ServerError(544, "23000",
                     "Cannot insert explicit value for identity column in table '" + table +
                         "' when IDENTITY_INSERT is set to OFF.");
}

dac::DriverError NoIdentityProperty(const std::string& table) {
  return ServerError(8106, "42000",
                     "Table '" + table + "' does not have the identity property. Cannot perform SET operation.");
}

dac::DriverError IdentityInsertAlreadyOn(const std::string& on_table, const std::string& table) {
  return ServerError(8107, "42000",
                     "IDENTITY_INSERT is already ON for table '" + on_table + "'. Cannot perform SET operation for table '" +
                         table + "'.");
}

dac::DriverError CommitWithoutBegin() {
  return ServerError(3902, "25000", "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

dac::DriverError RollbackWithoutBegin() {
  return ServerError(3903, "25000", "The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

dac::DriverError LockTimeout() { return ServerError(1222, "HYT00", "Lock request time out period exceeded."); }

dac::DriverError FromSqlite(const SqliteError& e, const WrittenNames& written) {
  const std::string message = e.what();
  auto spelled = [&](const std::string& sqlite_name) {
    const std::string w = written ? written(sqlite_name) : std::string();
    return w.empty() ? LastPart(sqlite_name) : w;
  };
  const int primary = e.Code() & 0xFF;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) return LockTimeout();
  if (const auto t = After(message, "no such table: "); !t.empty()) return InvalidObjectName(spelled(t));
  if (const auto c = After(message, "no such column: "); !c.empty()) return InvalidColumnName(LastPart(c));
  if (const auto c = After(message, "ambiguous column name: "); !c.empty()) {
    return ServerError(209, "42000", "Ambiguous column name '" + LastPart(c) + "'.");
  }
  if (const auto f = After(message, "no such function: "); !f.empty()) {
    return ServerError(195, "42000", "'" + f + "' is not a recognized built-in function name.");
  }
  if (message.find("syntax error") != std::string::npos) {
    // SQLite writes: near "X": syntax error
    const auto open = message.find('"');
    const auto close = open == std::string::npos ? open : message.find('"', open + 1);
    if (close != std::string::npos) return IncorrectSyntax(message.substr(open + 1, close - open - 1));
    return IncorrectSyntaxAtEnd();
  }
  if (message.find("incomplete input") != std::string::npos) return IncorrectSyntaxAtEnd();
  if (e.Code() == SQLITE_CONSTRAINT_UNIQUE || e.Code() == SQLITE_CONSTRAINT_PRIMARYKEY) {
    return ServerError(2627, "23000", "Violation of UNIQUE KEY constraint. Cannot insert duplicate key. (" + message + ")",
                       true);
  }
  return ServerError(0, "HY000", message);
}

}  // namespace embedded::sqlserver
