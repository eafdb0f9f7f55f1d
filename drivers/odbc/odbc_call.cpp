#include "drivers/odbc/odbc_call.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "drivers/odbc/utf16.h"

namespace odbc {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is a UTF-16 unit");
static_assert(static_cast<short>(HandleType::kEnvironment) == SQL_HANDLE_ENV);
static_assert(static_cast<short>(HandleType::kConnection) == SQL_HANDLE_DBC);
static_assert(static_cast<short>(HandleType::kStatement) == SQL_HANDLE_STMT);

std::string TrimLineEnds(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

Handle Handle::Allocate(HandleType type, const Handle* parent) {
  SQLHANDLE h = SQL_NULL_HANDLE;
  const SQLRETURN rc =
      SQLAllocHandle(static_cast<SQLSMALLINT>(type), parent ? parent->Get() : SQL_NULL_HANDLE, &h);
  if (!SQL_SUCCEEDED(rc)) {
    if (parent) Check(rc, *parent);
    throw dac::DriverError("The ODBC driver manager could not allocate a handle", "HY001");
  }
  Handle out;
  out.type_ = type;
  out.handle_ = h;
  return out;
}

Handle::Handle(Handle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    Free();
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

Handle::~Handle() { Free(); }

void Handle::Free() noexcept {
  if (handle_) SQLFreeHandle(static_cast<SQLSMALLINT>(type_), handle_);
  handle_ = nullptr;
}

namespace {

std::vector<RowDiagnostic> ReadRecords(const Handle& handle) {
  std::vector<RowDiagnostic> records;
  if (!handle) return records;
  const auto type = static_cast<SQLSMALLINT>(handle.Type());
  std::u16string message(512, u'\0');
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle.Get(), i, state, &native, reinterpret_cast<SQLWCHAR*>(message.data()),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      message.assign(static_cast<std::size_t>(length) + 1, u'\0');
      rc = SQLGetDiagRecW(type, handle.Get(), i, state, &native, reinterpret_cast<SQLWCHAR*>(message.data()),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    RowDiagnostic r;
    const auto shown = std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                             message.size() - 1);
    r.record = {ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(state), 5)), static_cast<int>(native),
                TrimLineEnds(ToUtf8(std::u16string_view(message.data(), shown)))};
    if (handle.Type() == HandleType::kStatement) {
      SQLLEN row = 0;
      if (SQL_SUCCEEDED(SQLGetDiagField(type, handle.Get(), i, SQL_DIAG_ROW_NUMBER, &row, SQL_IS_INTEGER, nullptr))) {
        r.row = static_cast<long>(row);
      }
    }
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace

std::vector<dac::Diagnostic> Diagnostics(const Handle& handle) {
  std::vector<dac::Diagnostic> out;
  for (auto& r : ReadRecords(handle)) out.push_back(std::move(r.record));
  return out;
}

short Check(short rc, const Handle& handle, const std::string& sql) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA || rc == SQL_NEED_DATA) return rc;
  if (rc == SQL_INVALID_HANDLE) throw dac::DriverError("Invalid ODBC handle", "HY000");
  auto records = Diagnostics(handle);
  if (records.empty()) records.push_back({"HY000", 0, "The ODBC driver reported an error without a message"});
  throw dac::DriverError(std::move(records), sql);
}

short Collect(short rc, const Handle& handle, std::vector<RowDiagnostic>& records) {
  if (rc == SQL_INVALID_HANDLE) throw dac::DriverError("Invalid ODBC handle", "HY000");
  if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO) {
    auto more = ReadRecords(handle);
    records.insert(records.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  }
  return rc;
}

ServerLink::~ServerLink() {
  if (connected && connection && !SQL_SUCCEEDED(SQLDisconnect(connection.Get()))) {
    // A driver refuses to disconnect in the middle of a transaction (25000):
    // whatever the owner left open is rolled back, as closing a session does.
    SQLEndTran(SQL_HANDLE_DBC, connection.Get(), SQL_ROLLBACK);
    SQLDisconnect(connection.Get());
  }
  // The connection handle must go before the environment it was allocated in.
  connection = Handle();
  environment = Handle();
}

}  // namespace odbc
