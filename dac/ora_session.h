// The Oracle session: a connection to an Oracle server (or to the embedded
// stand-in) with the settings of an Oracle login. The server string is
// "host:port:sid" in direct mode and "host:port/sid" through a client
// installation; Schema, when set, becomes the session's current schema.
//
// OnConnectChange tells after every connect (true) and disconnect (false).
// Errors and threads: as DAConnection.
#pragma once

#include <functional>
#include <string>

#include "dac/da_connection.h"

namespace dac {

enum class OraConnectMode { cmNormal, cmSysDBA };

class OraSession : public DAConnection {
 public:
  struct SessionOptions {
    bool Direct = false;
    std::string Charset;  // empty: the driver's default character set
  };
  using ConnectChangeEvent = std::function<void(OraSession& sender, bool connected)>;

  OraSession() = default;
  ~OraSession() override;

  SessionOptions Options;
  std::string Schema;
  OraConnectMode ConnectMode = OraConnectMode::cmNormal;
  ConnectChangeEvent OnConnectChange;

 protected:
  ConnectParams MakeConnectParams() const override;
  void ConnectChanged(bool connected) override;
};

}  // namespace dac
