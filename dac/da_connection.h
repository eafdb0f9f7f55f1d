// The part the Oracle session and the SQL Server connection share: the driver
// that reaches the server (chosen by name or given), opening and closing with
// their events, transactions, and the datasets and scripts bound to the
// connection (closed with it, told when it goes away).
//
// Settings are plain public members, so that a second connection can be set
// up as a copy of the first (the per-worker pairs do so); the open server
// connection itself is never copied.
//
// Errors: a refused login throws the driver's DriverError (after OnError,
// which may turn it into the silent platform::EAbort); using a closed
// connection throws DatabaseError "Connection is not open".
//
// Threads: a connection, and everything bound to it, is used by one thread at
// a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dac/database_error.h"
#include "dac/driver.h"

namespace dac {

// A dataset or script bound to a connection.
class ConnectionClient {
 public:
  // The connection is about to close: let go of any open result.
  virtual void ConnectionClosing() = 0;
  // The connection object is being destroyed: forget it.
  virtual void ConnectionGone() noexcept = 0;

 protected:
  ~ConnectionClient() = default;
};

class DAConnection {
 public:
  using NotifyEvent = std::function<void(DAConnection& sender)>;
  // `fail` starts true; a handler that clears it turns the error into the
  // silent abort.
  using ErrorEvent = std::function<void(DAConnection& sender, const DriverError& error, bool& fail)>;

  DAConnection(const DAConnection&) = delete;
  DAConnection& operator=(const DAConnection&) = delete;
  // Closes without events; bound datasets are closed and forget it.
  virtual ~DAConnection();

  // The driver: the one given to SetDriver, else the registered one named
  // DriverName (FindDriver; UsageError for an unknown name).
  void SetDriver(std::shared_ptr<Driver> driver) { driver_ = std::move(driver); }
  std::shared_ptr<Driver> GetDriver() const;

  bool Connected() const { return handle_ != nullptr; }
  void SetConnected(bool connected);
  // BeforeConnect, the driver's login, AfterConnect. Nothing when open.
  void Open();
  // BeforeDisconnect, the bound datasets close, an open transaction is rolled
  // back, AfterDisconnect. Nothing when closed.
  void Close();

  void StartTransaction();
  void Commit();
  void Rollback();
  bool InTransaction() const { return handle_ && handle_->InTransaction(); }
  // The server's version text; "" while closed.
  std::string ServerVersion();
  // Runs one statement (a batch on SQL Server); returns the rows affected.
  std::int64_t ExecSQL(const std::string& sql, const std::vector<Value>& params = {});
  bool Supports(Feature feature) const { return handle_ && handle_->Supports(feature); }

  // The open server connection, for the components bound to this one.
  Connection& Handle();

  // Settings.
  std::string DriverName = "odbc";
  std::string OdbcDriver;   // the ODBC driver's name, for the "odbc" driver
  std::string InstanceDir;  // the instance folder, for the "embedded" driver
  std::string Server;
  std::string Username;
  std::string Password;
  // There is no login dialog in this system; the setting is kept for the
  // components that copy it.
  bool LoginPrompt = true;

  NotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
  ErrorEvent OnError;

  void AddClient(ConnectionClient* client);
  void RemoveClient(ConnectionClient* client);

 protected:
  DAConnection() = default;
  // The login the driver receives.
  virtual ConnectParams MakeConnectParams() const = 0;
  // After a connect (true) or a disconnect (false).
  virtual void ConnectChanged(bool) {}

 private:
  void Fire(const NotifyEvent& event) {
    if (event) event(*this);
  }

  std::shared_ptr<Driver> driver_;
  std::unique_ptr<Connection> handle_;
  std::vector<ConnectionClient*> clients_;
};

}  // namespace dac
