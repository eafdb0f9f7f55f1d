#include "drivers/odbc/connection_string.h"

#include "platform/text.h"

namespace odbc {
namespace {

bool NeedsBraces(std::string_view v) {
  if (v.empty()) return false;
  if (v.front() == ' ' || v.back() == ' ') return true;
  return v.find_first_of(";{}=") != std::string_view::npos;
}

// The PostgreSQL driver's server, port and database from the server string:
// an Oracle-style address when the connection stands for an Oracle source,
// else SQL Server's "host,port" form with the database given apart.
struct PostgreSqlAddress {
  std::string host;
  std::string port = "5432";
  std::string database;
};

PostgreSqlAddress PostgreSqlAddressOf(const dac::ConnectParams& p) {
  PostgreSqlAddress a;
  if (p.kind == dac::ServerKind::kOracle) {
    if (const auto o = ParseOracleServer(p.server)) {
      a.host = o->host;
      a.port = o->port;
      a.database = o->name;
    } else {
      a.host = platform::Trim(p.server);
    }
    return a;
  }
  const std::string server = platform::Trim(p.server);
  const auto comma = server.find(',');
  a.host = platform::Trim(server.substr(0, comma));
  if (comma != std::string::npos) a.port = platform::Trim(server.substr(comma + 1));
  a.database = p.database;
  return a;
}

std::string OracleDbq(const std::string& server) {
  const auto o = ParseOracleServer(server);
  if (!o) return server;  // a TNS alias or a full descriptor: the driver resolves it
  if (o->service) return o->host + ":" + o->port + "/" + o->name;
  // An easy-connect string names a service; a SID needs a descriptor.
  return "(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=" + o->host + ")(PORT=" + o->port +
         "))(CONNECT_DATA=(SID=" + o->name + ")))";
}

}  // namespace

std::string DriverName(const dac::ConnectParams& p) {
  if (!platform::Trim(p.odbc_driver).empty()) return platform::Trim(p.odbc_driver);
  return p.kind == dac::ServerKind::kOracle ? kDefaultOracleDriver : kDefaultSqlServerDriver;
}

DriverFamily FamilyOf(const dac::ConnectParams& p) {
  if (platform::CaseFold(DriverName(p)).find("postgres") != std::string::npos) return DriverFamily::kPostgreSql;
  return p.kind == dac::ServerKind::kOracle ? DriverFamily::kOracle : DriverFamily::kSqlServer;
}

std::optional<OracleAddress> ParseOracleServer(std::string_view server) {
  OracleAddress a;
  std::string_view rest = server;
  const auto first = rest.find(':');
  if (first == std::string_view::npos) return std::nullopt;
  a.host = platform::Trim(rest.substr(0, first));
  rest.remove_prefix(first + 1);
  const auto second = rest.find_first_of(":/");
  if (second == std::string_view::npos) return std::nullopt;
  a.port = platform::Trim(rest.substr(0, second));
  a.service = rest[second] == '/';
  a.name = platform::Trim(rest.substr(second + 1));
  if (a.host.empty() || a.port.empty() || a.name.empty()) return std::nullopt;
  if (a.port.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return a;
}

std::string ConnectionAttribute(std::string_view key, std::string_view value) {
  std::string out(key);
  out += '=';
  if (NeedsBraces(value)) {
    out += '{';
    for (char c : value) {
      out += c;
      if (c == '}') out += '}';
    }
    out += '}';
  } else {
    out += value;
  }
  out += ';';
  return out;
}

std::string ConnectionString(const dac::ConnectParams& p) {
  // The driver's name always goes in braces: names like "ODBC Driver 18 for
  // SQL Server" carry blanks, and the driver manager expects them so.
  std::string s = "Driver={" + DriverName(p) + "};";
  switch (FamilyOf(p)) {
    case DriverFamily::kSqlServer:
      s += ConnectionAttribute("Server", p.server);
      if (!p.database.empty()) s += ConnectionAttribute("Database", p.database);
      break;
    case DriverFamily::kOracle:
      // Oracle's driver has no keyword for SYSDBA: a SYS login goes in the
      // normal mode and the server answers for it.
      s += ConnectionAttribute("DBQ", OracleDbq(p.server));
      break;
    case DriverFamily::kPostgreSql: {
      const auto a = PostgreSqlAddressOf(p);
      s += ConnectionAttribute("Server", a.host);
      s += ConnectionAttribute("Port", a.port);
      s += ConnectionAttribute("Database", a.database);
      // A server-side cursor read in blocks instead of the whole result at
      // once; bytea as a binary LOB and booleans as bits, as other servers
      // describe them; no trace files (Debian registers the driver with
      // CommLog on); a whole batch of inserts per round trip.
      s += "UseDeclareFetch=1;Fetch=" + std::to_string(kPostgreSqlFetchRows) + ";";
      s += "ByteaAsLongVarBinary=1;BoolsAsChar=0;CommLog=0;Debug=0;";
      s += "BatchSize=" + std::to_string(kPostgreSqlBatchRows) + ";";
      break;
    }
  }
  s += ConnectionAttribute("UID", p.user);
  s += ConnectionAttribute("PWD", p.password);
  return s;
}

}  // namespace odbc
