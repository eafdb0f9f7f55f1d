// Owners of ODBC handles, and the call-and-check helper that every ODBC call of
// this driver goes through. sql.h stays in the .cpp files: a handle travels as
// the void* that SQLHANDLE is under unixODBC.
//
// A failed call becomes a dac::DriverError carrying every diagnostic record the
// driver left on the handle (message, SQLSTATE, native code), not only the
// first: FreeTDS, for one, puts "Login failed for user" in a later record than
// its own "Unable to connect".
//
// Threads: a handle belongs to one thread at a time, as its connection does.
#pragma once

#include <string>
#include <vector>

#include "dac/driver.h"

namespace odbc {

// The values of SQL_HANDLE_ENV, SQL_HANDLE_DBC and SQL_HANDLE_STMT.
enum class HandleType : short { kEnvironment = 1, kConnection = 2, kStatement = 3 };

// One ODBC handle; frees it in its destructor. Move-only.
class Handle {
 public:
  Handle() noexcept = default;
  // Allocates a handle under `parent` (nullptr for an environment).
  // Throws dac::DriverError.
  static Handle Allocate(HandleType type, const Handle* parent);

  Handle(Handle&& other) noexcept;
  Handle& operator=(Handle&& other) noexcept;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle();

  void* Get() const { return handle_; }
  HandleType Type() const { return type_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void Free() noexcept;

  HandleType type_ = HandleType::kStatement;
  void* handle_ = nullptr;
};

// Every diagnostic record the last call on `handle` left, in order.
std::vector<dac::Diagnostic> Diagnostics(const Handle& handle);

// A diagnostic record and the row of a parameter array it concerns (from 1;
// 0 or less when the driver does not say).
struct RowDiagnostic {
  long row = 0;
  dac::Diagnostic record;
};

// The call-and-check helper. Returns `rc` when the call succeeded (also with
// information) or ended with no data or a request for data; throws
// dac::DriverError with every diagnostic record of `handle` and `sql` as
// context when it failed.
short Check(short rc, const Handle& handle, const std::string& sql = {});

// The same helper for a call whose failure the caller handles itself (a batch
// insert's refused row): returns `rc` and appends the records of an error or a
// warning to `records` instead of throwing. Throws only for an invalid handle.
short Collect(short rc, const Handle& handle, std::vector<RowDiagnostic>& records);

// The environment and connection handles of one server connection. Its
// destructor disconnects (when connected) and frees both. Cursors share it, so
// that a cursor its caller keeps too long never reads through freed handles.
struct ServerLink {
  ServerLink() = default;
  ServerLink(const ServerLink&) = delete;
  ServerLink& operator=(const ServerLink&) = delete;
  ~ServerLink();

  Handle environment;
  Handle connection;
  bool connected = false;
};

}  // namespace odbc
