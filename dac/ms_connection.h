// The SQL Server connection: a connection to a SQL Server (or to the embedded
// stand-in) on Server and Database with a SQL Server login.
// Authentication, IsolationLevel and the Options are kept for the library's
// connection component, which sets them; the driver seam logs in with the
// user name and password and leaves the server's default isolation.
// Errors and threads: as DAConnection.
#pragma once

#include <string>

#include "dac/da_connection.h"

namespace dac {

enum class MSAuthentication { auServer, auWindows };
enum class IsolationLevel { ilReadCommitted, ilReadUnCommitted, ilRepeatableRead, ilIsolated, ilSnapshot };

class MSConnection : public DAConnection {
 public:
  struct ConnectionOptions {
    bool MultipleActiveResultSets = false;
    bool AutoTranslate = true;
  };

  MSConnection() = default;
  ~MSConnection() override;

  std::string Database;
  MSAuthentication Authentication = MSAuthentication::auServer;
  dac::IsolationLevel IsolationLevel = dac::IsolationLevel::ilReadCommitted;
  ConnectionOptions Options;

 protected:
  ConnectParams MakeConnectParams() const override;
};

}  // namespace dac
