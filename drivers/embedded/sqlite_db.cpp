#include "drivers/embedded/sqlite_db.h"

#include <sqlite3.h>

namespace embedded {
namespace {

[[noreturn]] void Fail(sqlite3* db, int rc) {
  throw SqliteError(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc), rc);
}

}  // namespace

void SqliteDb::Closer::operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
void SqliteStatement::Finalizer::operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }

SqliteDb::SqliteDb(sqlite3* db) : db_(db) {}
SqliteDb::SqliteDb(SqliteDb&&) noexcept = default;
SqliteDb& SqliteDb::operator=(SqliteDb&&) noexcept = default;
SqliteDb::~SqliteDb() = default;

SqliteDb SqliteDb::Open(const std::filesystem::path& file, bool create) {
  sqlite3* raw = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  const int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  SqliteDb db(raw);
  if (rc != SQLITE_OK) Fail(raw, rc);
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, 60000);
  db.Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF;");
  return db;
}

void SqliteDb::Exec(const std::string& sql) {
  char* err = nullptr;
  const int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::string message = err ? err : sqlite3_errstr(rc);
    sqlite3_free(err);
    throw SqliteError(message, rc);
  }
}

SqliteStatement SqliteDb::Prepare(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(db_.get(), rc);
  return SqliteStatement(db_.get(), stmt);
}

std::int64_t SqliteDb::Changes() const { return sqlite3_changes64(db_.get()); }
std::int64_t SqliteDb::LastInsertRowid() const { return sqlite3_last_insert_rowid(db_.get()); }

void SqliteDb::Attach(const std::filesystem::path& file, const std::string& schema) {
  auto st = Prepare("ATTACH DATABASE ? AS " + QuoteSqliteName(schema));
  st.Bind(1, dac::Value(file.string()));
  st.Step();
}

int BindSqliteValue(sqlite3_stmt* s, int index, const dac::Value& v, bool borrow) {
  const auto keep = borrow ? SQLITE_STATIC : SQLITE_TRANSIENT;
  switch (v.Kind()) {
    case dac::ValueKind::kNull:
      return sqlite3_bind_null(s, index);
    case dac::ValueKind::kBoolean:
      return sqlite3_bind_int64(s, index, v.AsBoolean() ? 1 : 0);
    case dac::ValueKind::kInteger:
      return sqlite3_bind_int64(s, index, v.AsInteger());
    case dac::ValueKind::kDouble:
      return sqlite3_bind_double(s, index, v.AsDouble());
    case dac::ValueKind::kBytes:
      return sqlite3_bind_blob64(s, index, v.AsBytes().data(), v.AsBytes().size(), keep);
    case dac::ValueKind::kText:
      return sqlite3_bind_text64(s, index, v.AsText().data(), v.AsText().size(), keep, SQLITE_UTF8);
    case dac::ValueKind::kDecimal:
    case dac::ValueKind::kDateTime:
      break;
  }
  // The text form is made here, so SQLite keeps its own copy.
  const std::string text = v.ToText();
  return sqlite3_bind_text64(s, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqliteStatement::Bind(int index, const dac::Value& v) {
  const int rc = BindSqliteValue(stmt_.get(), index, v, false);
  if (rc != SQLITE_OK) Fail(db_, rc);
}

void SqliteStatement::BindAll(const std::vector<dac::Value>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) Bind(static_cast<int>(i + 1), values[i]);
}

bool SqliteStatement::Step() {
  const int rc = sqlite3_step(stmt_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(db_, rc);
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_.get());
  sqlite3_clear_bindings(stmt_.get());
}

int SqliteStatement::ColumnCount() const { return sqlite3_column_count(stmt_.get()); }

std::string SqliteStatement::ColumnName(int i) const {
  const char* n = sqlite3_column_name(stmt_.get(), i);
  return n ? n : "";
}

std::string SqliteStatement::ColumnDeclType(int i) const {
  const char* t = sqlite3_column_decltype(stmt_.get(), i);
  return t ? t : "";
}

dac::Value SqliteStatement::ColumnValue(int i) const {
  sqlite3_stmt* s = stmt_.get();
  switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER:
      return dac::Value(static_cast<std::int64_t>(sqlite3_column_int64(s, i)));
    case SQLITE_FLOAT:
      return dac::Value(sqlite3_column_double(s, i));
    case SQLITE_TEXT:
      return dac::Value(ColumnText(i));
    case SQLITE_BLOB: {
      const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, i));
      return dac::Value(dac::Bytes(p, p + sqlite3_column_bytes(s, i)));
    }
    default:
      return dac::Value();
  }
}

std::string SqliteStatement::ColumnText(int i) const {
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), i));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), i))) : std::string();
}

bool SqliteStatement::ColumnIsNull(int i) const { return sqlite3_column_type(stmt_.get(), i) == SQLITE_NULL; }
std::int64_t SqliteStatement::ColumnInt(int i) const { return sqlite3_column_int64(stmt_.get(), i); }
bool SqliteStatement::ReadOnly() const { return sqlite3_stmt_readonly(stmt_.get()) != 0; }
int SqliteStatement::ParameterCount() const { return sqlite3_bind_parameter_count(stmt_.get()); }

std::string QuoteSqliteName(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace embedded
