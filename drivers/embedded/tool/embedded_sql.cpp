// embedded-sql: sets up and queries the embedded stand-in servers without
// writing C++. Creates an Oracle or SQL Server instance in a folder, loads an
// Oracle-dialect script into an Oracle instance (one transaction per file),
// and runs a query or a statement against either kind, printing the rows
// tab-separated under a header, NULL as NULL.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "dac/driver.h"
#include "drivers/embedded/oracle_catalogue.h"
#include "drivers/embedded/oracle_connection.h"
#include "drivers/embedded/oracle_script.h"
#include "drivers/embedded/sqlserver_connection.h"
#include "drivers/embedded/sqlserver_instance.h"

namespace {

constexpr const char* kUsage = R"(Usage:
  embedded-sql oracle-init DIR --sys-password PW
      Makes DIR a new Oracle instance with the users SYS and SYSTEM (password PW)
      and the roles CONNECT, RESOURCE and DBA.
  embedded-sql oracle DIR [LOGIN] load FILE.sql...
      Runs each Oracle-dialect script ("-" reads standard input) in one
      transaction: statements end at ";" or at a line holding only "/".
  embedded-sql oracle DIR [LOGIN] query "select ..."
  embedded-sql oracle DIR [LOGIN] exec "statement"
      LOGIN: --user U --password P [--sysdba]; without it the instance's owner
      works as SYS. --schema S makes S the current schema.
  embedded-sql sqlserver-init DIR --sa-password PW
      Makes DIR a new SQL Server instance whose login sa has the password PW.
  embedded-sql sqlserver DIR [--database DB] [--user U --password P] query "select ..."
  embedded-sql sqlserver DIR [--database DB] [--user U --password P] exec "batch"
      Without --user the instance's owner works as sa.

query prints a header line and one line per row, values separated by tabs,
NULL as NULL and binary values in hexadecimal.
)";

struct Options {
  std::string kind;  // oracle, oracle-init, sqlserver, sqlserver-init
  std::string dir;
  std::optional<std::string> user, password, schema, database, init_password;
  bool sysdba = false;
  std::string command;  // load, query, exec
  std::vector<std::string> arguments;
};

class UsageProblem : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Options ParseArguments(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  Options o;
  if (a.size() < 2) throw UsageProblem("Too few arguments");
  o.kind = a[0];
  o.dir = a[1];
  if (o.kind != "oracle" && o.kind != "oracle-init" && o.kind != "sqlserver" && o.kind != "sqlserver-init") {
    throw UsageProblem("Unknown kind \"" + o.kind + "\"");
  }
  std::size_t i = 2;
  auto value = [&](const std::string& option) {
    if (i + 1 >= a.size()) throw UsageProblem(option + " needs a value");
    i += 2;
    return a[i - 1];
  };
  while (i < a.size() && a[i].rfind("--", 0) == 0) {
    const std::string& option = a[i];
    if (option == "--user") {
      o.user = value(option);
    } else if (option == "--password") {
      o.password = value(option);
    } else if (option == "--schema") {
      o.schema = value(option);
    } else if (option == "--database") {
      o.database = value(option);
    } else if (option == "--sys-password" || option == "--sa-password") {
      o.init_password = value(option);
    } else if (option == "--sysdba") {
      o.sysdba = true;
      ++i;
    } else {
      throw UsageProblem("Unknown option " + option);
    }
  }
  if (o.kind.ends_with("-init")) {
    if (!o.init_password)
      throw UsageProblem(o.kind + " needs " + (o.kind == "oracle-init" ? "--sys-password" : "--sa-password"));
    if (i != a.size()) throw UsageProblem("Unexpected argument " + a[i]);
    return o;
  }
  if (i >= a.size()) throw UsageProblem("No command given");
  o.command = a[i++];
  o.arguments.assign(a.begin() + static_cast<std::ptrdiff_t>(i), a.end());
  if (o.command == "load" ? (o.kind != "oracle" || o.arguments.empty())
                          : ((o.command != "query" && o.command != "exec") || o.arguments.size() != 1)) {
    throw UsageProblem("Unknown command or wrong arguments: " + o.command);
  }
  if (o.user.has_value() != o.password.has_value()) throw UsageProblem("--user and --password go together");
  return o;
}

std::unique_ptr<dac::Connection> Connect(const Options& o) {
  if (o.kind == "oracle") {
    if (!o.user) return embedded::ConnectOracleInstanceAsSysDba(o.dir, o.schema.value_or(""));
    dac::ConnectParams p;
    p.kind = dac::ServerKind::kOracle;
    p.instance_dir = o.dir;
    p.user = *o.user;
    p.password = *o.password;
    p.database = o.schema.value_or("");
    p.mode = o.sysdba ? dac::ConnectMode::kSysDba : dac::ConnectMode::kNormal;
    return embedded::ConnectOracleInstance(p);
  }
  if (!o.user) return embedded::ConnectSqlServerInstanceAsOwner(o.dir, o.database.value_or(""));
  dac::ConnectParams p;
  p.kind = dac::ServerKind::kSqlServer;
  p.instance_dir = o.dir;
  p.user = *o.user;
  p.password = *o.password;
  p.database = o.database.value_or("");
  return embedded::ConnectSqlServerInstance(p);
}

std::string Printable(const dac::Value& v) {
  switch (v.Kind()) {
    case dac::ValueKind::kNull:
      return "NULL";
    case dac::ValueKind::kBytes: {
      static const char* const kDigits = "0123456789ABCDEF";
      std::string out;
      for (std::uint8_t b : v.AsBytes()) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
      }
      return out;
    }
    default:
      return v.ToText();
  }
}

void PrintQuery(dac::Connection& c, const std::string& sql) {
  auto cursor = c.Query(sql);
  std::string line;
  for (const auto& column : cursor->Columns()) line += (line.empty() ? "" : "\t") + column.name;
  std::cout << line << '\n';
  std::vector<dac::Row> rows;
  bool more = true;
  while (more) {
    rows.clear();
    more = cursor->Fetch(rows, 1000);
    for (const auto& row : rows) {
      line.clear();
      for (std::size_t k = 0; k < row.size(); ++k) line += (k ? "\t" : "") + Printable(row[k]);
      std::cout << line << '\n';
    }
  }
}

int Run(const Options& o) {
  if (o.kind == "oracle-init") {
    embedded::OracleInstance::Create(o.dir, *o.init_password);
    return 0;
  }
  if (o.kind == "sqlserver-init") {
    embedded::SqlServerInstance::Create(o.dir, *o.init_password);
    return 0;
  }
  auto connection = Connect(o);
  if (o.command == "query") {
    PrintQuery(*connection, o.arguments[0]);
  } else if (o.command == "exec") {
    connection->Execute(o.arguments[0]);
  } else {
    for (const auto& file : o.arguments) {
      std::size_t count = 0;
      if (file == "-") {
        count = embedded::RunOracleScript(*connection, std::cin, "stdin");
      } else {
        std::ifstream in(file);
        if (!in) throw std::runtime_error("Cannot read " + file);
        count = embedded::RunOracleScript(*connection, in, file);
      }
      std::cerr << file << ": " << count << " statements\n";
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // --help before the command; what follows the command is SQL or file names.
  for (int k = 1; k < argc; ++k) {
    const std::string a = argv[k];
    if (a == "load" || a == "query" || a == "exec") break;
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
  }
  try {
    return Run(ParseArguments(argc, argv));
  } catch (const UsageProblem& e) {
    std::cerr << "embedded-sql: " << e.what() << "\n\n" << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "embedded-sql: " << e.what() << '\n';
    return 1;
  }
}
