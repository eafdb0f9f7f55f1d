#include "dac/da_connection.h"

#include <algorithm>

#include "platform/abort.h"

namespace dac {

DAConnection::~DAConnection() {
  for (auto* client : std::vector<ConnectionClient*>(clients_)) client->ConnectionGone();
  if (handle_) {
    try {
      if (handle_->InTransaction()) handle_->Rollback();
    } catch (...) {
      // The server has the last word on an unfinished transaction.
    }
  }
}

std::shared_ptr<Driver> DAConnection::GetDriver() const { return driver_ ? driver_ : FindDriver(DriverName); }

void DAConnection::SetConnected(bool connected) {
  if (connected) {
    Open();
  } else {
    Close();
  }
}

void DAConnection::Open() {
  if (handle_) return;
  Fire(BeforeConnect);
  const auto driver = GetDriver();
  try {
    handle_ = driver->Connect(MakeConnectParams());
  } catch (const DriverError& e) {
    bool fail = true;
    if (OnError) OnError(*this, e, fail);
    if (fail) throw;
    throw platform::EAbort();
  }
  Fire(AfterConnect);
  ConnectChanged(true);
}

void DAConnection::Close() {
  if (!handle_) return;
  Fire(BeforeDisconnect);
  for (auto* client : std::vector<ConnectionClient*>(clients_)) {
    try {
      client->ConnectionClosing();
    } catch (...) {
      // A dataset that cannot close cleanly still loses its connection now.
    }
  }
  try {
    if (handle_->InTransaction()) handle_->Rollback();
  } catch (...) {
    // Closing the connection ends the transaction on the server anyway.
  }
  handle_.reset();
  Fire(AfterDisconnect);
  ConnectChanged(false);
}

Connection& DAConnection::Handle() {
  if (!handle_) throw DatabaseError("Connection is not open");
  return *handle_;
}

void DAConnection::StartTransaction() { Handle().StartTransaction(); }
void DAConnection::Commit() { Handle().Commit(); }
void DAConnection::Rollback() { Handle().Rollback(); }

std::string DAConnection::ServerVersion() { return handle_ ? handle_->ServerVersion() : std::string(); }

std::int64_t DAConnection::ExecSQL(const std::string& sql, const std::vector<Value>& params) {
  return Handle().Execute(sql, params);
}

void DAConnection::AddClient(ConnectionClient* client) {
  if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) clients_.push_back(client);
}

void DAConnection::RemoveClient(ConnectionClient* client) { std::erase(clients_, client); }

}  // namespace dac
