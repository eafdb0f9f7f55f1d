#include "drivers/embedded/sqlserver_session.h"

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <random>
#include <stdexcept>
#include <vector>

#include "drivers/embedded/sqlserver_errors.h"
#include "platform/text.h"

namespace embedded::sqlserver {
namespace {

std::atomic<std::int64_t> next_spid{51};  // a server's first user session id

std::string TimeText(bool utc) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  if (utc) {
    gmtime_r(&t, &tm);
  } else {
    localtime_r(&t, &tm);
  }
  char buf[40];
  const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  std::snprintf(buf + n, sizeof buf - n, ".%03d", static_cast<int>(ms));
  return buf;
}

std::string ArgText(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string();
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// Byte offset of character `n` (0-based) of a UTF-8 text.
std::size_t CharOffset(const std::string& s, std::int64_t n) {
  std::size_t i = 0;
  for (std::int64_t k = 0; k < n && i < s.size(); ++k) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

void GetDate(sqlite3_context* ctx, int, sqlite3_value**) { ResultText(ctx, TimeText(false)); }
void GetUtcDate(sqlite3_context* ctx, int, sqlite3_value**) { ResultText(ctx, TimeText(true)); }

void ConstantText(sqlite3_context* ctx, int, sqlite3_value**) {
  ResultText(ctx, *static_cast<const std::string*>(sqlite3_user_data(ctx)));
}

void ServerProperty(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::string name = ArgText(argv[0]);
  if (platform::SameText(name, "ProductVersion")) return ResultText(ctx, kProductVersion);
  if (platform::SameText(name, "ProductLevel")) return ResultText(ctx, "RTM");
  if (platform::SameText(name, "Edition")) return ResultText(ctx, "Developer Edition (64-bit)");
  if (platform::SameText(name, "EngineEdition")) return sqlite3_result_int(ctx, 3);
  if (platform::SameText(name, "Collation")) return ResultText(ctx, "SQL_Latin1_General_CP1_CI_AS");
  sqlite3_result_null(ctx);
}

// LEN counts characters without the trailing blanks.
void Len(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  std::string s = ArgText(argv[0]);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(platform::CharLength(s)));
}

void DataLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
}

// CHARINDEX(find, text[, start]) compares as the default collation does: without regard to case.
void CharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    return sqlite3_result_null(ctx);
  }
  const std::string find = platform::CaseFold(ArgText(argv[0]));
  const std::string text = platform::CaseFold(ArgText(argv[1]));
  const std::int64_t start = argc > 2 ? std::max<std::int64_t>(sqlite3_value_int64(argv[2]), 1) : 1;
  const auto at = text.find(find, CharOffset(text, start - 1));
  sqlite3_result_int64(ctx, at == std::string::npos ? 0 : static_cast<sqlite3_int64>(platform::CharLength(text.substr(0, at))) + 1);
}

void Left(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string s = ArgText(argv[0]);
  ResultText(ctx, s.substr(0, CharOffset(s, std::max<std::int64_t>(sqlite3_value_int64(argv[1]), 0))));
}

void Right(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string s = ArgText(argv[0]);
  const auto total = static_cast<std::int64_t>(platform::CharLength(s));
  const std::int64_t n = std::clamp<std::int64_t>(sqlite3_value_int64(argv[1]), 0, total);
  ResultText(ctx, s.substr(CharOffset(s, total - n)));
}

void Space(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ResultText(ctx, std::string(static_cast<std::size_t>(std::clamp<std::int64_t>(sqlite3_value_int64(argv[0]), 0, 8000)), ' '));
}

void NewId(sqlite3_context* ctx, int, sqlite3_value**) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  char buf[40];
  const std::uint64_t a = random(), b = random();
  std::snprintf(buf, sizeof buf, "%08X-%04X-4%03X-%04X-%012llX", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFF),
                static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  ResultText(ctx, buf);
}

// YEAR, MONTH and DAY of a stored date-time text.
template <int kField>
void DatePart(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto d = dac::DateTime::Parse(platform::Trim(ArgText(argv[0])));
  if (!d) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, kField == 0 ? d->year : kField == 1 ? d->month : d->day);
}

// DATEPART(part, value); the translation hands over the part as its canonical name.
void DatePartCall(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto d = dac::DateTime::Parse(platform::Trim(ArgText(argv[1])));
  if (!d) {
    return sqlite3_result_error(ctx, "Conversion failed when converting date and/or time from character string.", -1);
  }
  sqlite3_result_int64(ctx, DatePartOf(ArgText(argv[0]), *d));
}

void DestroyText(void* p) { std::unique_ptr<std::string>(static_cast<std::string*>(p)); }

using CallStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// `sql` prepared on the handle of the function call; an empty statement after
// reporting the error to the call.
CallStatement PrepareForCall(sqlite3_context* ctx, const std::string& sql) {
  sqlite3* db = sqlite3_context_db_handle(ctx);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) {
    sqlite3_result_error(ctx, sqlite3_errmsg(db), -1);
  }
  return CallStatement(raw, sqlite3_finalize);
}

// Answers a function call with the first value of `st`; NULL when it has no row.
void AnswerWithFirstValue(sqlite3_context* ctx, sqlite3_stmt* st) {
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) return sqlite3_result_value(ctx, sqlite3_column_value(st, 0));
  if (rc != SQLITE_DONE) return sqlite3_result_error(ctx, sqlite3_errmsg(sqlite3_context_db_handle(ctx)), -1);
  sqlite3_result_null(ctx);
}

// A function answered from the server's catalogue (db_id, suser_sname, ...):
// the user data holds a query whose "?" markers take the arguments.
void CatalogueLookup(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const CallStatement st = PrepareForCall(ctx, *static_cast<const std::string*>(sqlite3_user_data(ctx)));
  if (!st) return;
  for (int i = 0; i < argc; ++i) sqlite3_bind_value(st.get(), i + 1, argv[i]);
  AnswerWithFirstValue(ctx, st.get());
}

// OBJECT_ID(name[, type]) for objects of the current database (the user data
// holds its name): "T", "dbo.T", "[dbo].[T]" or "Db.dbo.T", without regard
// to case. Like the server it answers NULL, not an error, for a name it
// cannot resolve; that covers other schemas, other databases and temporary
// objects.
void ObjectId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto& database = *static_cast<const std::string*>(sqlite3_user_data(ctx));
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(ArgText(argv[0]));
  } catch (const std::runtime_error&) {
    return sqlite3_result_null(ctx);
  }
  const auto name = ReadObjectName(tokens, 0);
  if (!name || tokens[name->end].kind != TokenKind::kEnd || name->parts.size() > 3) return sqlite3_result_null(ctx);
  const std::string schema = name->Schema();
  const std::string db = name->Database();
  if ((!schema.empty() && !platform::SameText(schema, "dbo")) || (!db.empty() && !platform::SameText(db, database))) {
    return sqlite3_result_null(ctx);
  }
  const bool typed = argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL;
  const CallStatement st = PrepareForCall(
      ctx, std::string("SELECT object_id FROM main.\"sys.objects\" WHERE name = ?1 COLLATE tsql_ci") +
               (typed ? " AND type = trim(?2) COLLATE tsql_ci" : ""));
  if (!st) return;
  const std::string& object = name->Object();
  sqlite3_bind_text64(st.get(), 1, object.data(), object.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (typed) sqlite3_bind_value(st.get(), 2, argv[1]);
  AnswerWithFirstValue(ctx, st.get());
}

// The exact number of rows of a table, for sys.partitions: the schema that
// holds it and its name.
void TableRows(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const CallStatement st = PrepareForCall(
      ctx, "SELECT count(*) FROM " + QuoteSqliteName(ArgText(argv[0])) + "." + QuoteSqliteName(ArgText(argv[1])));
  if (st) AnswerWithFirstValue(ctx, st.get());
}

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK) throw SqliteError(sqlite3_errmsg(db), rc);
}

void RegisterConstant(sqlite3* db, const char* name, const std::string& value) {
  auto holder = std::make_unique<std::string>(value);
  // SQLite owns the text from here on and frees it through DestroyText.
  Check(db, sqlite3_create_function_v2(db, name, 0, SQLITE_UTF8 | SQLITE_DETERMINISTIC, holder.get(), ConstantText,
                                       nullptr, nullptr, DestroyText));
  (void)holder.release();
}

void RegisterLookup(sqlite3* db, const char* name, int args, const std::string& sql) {
  auto holder = std::make_unique<std::string>(sql);
  // SQLite owns the query from here on and frees it through DestroyText.
  Check(db, sqlite3_create_function_v2(db, name, args, SQLITE_UTF8, holder.get(), CatalogueLookup, nullptr, nullptr,
                                       DestroyText));
  (void)holder.release();
}

void RegisterFunctions(sqlite3* db, const std::string& database, const std::string& login) {
  struct Entry {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
  };
  static constexpr Entry kFunctions[] = {
      {"getdate", 0, GetDate, false},       {"getutcdate", 0, GetUtcDate, false}, {"sysdatetime", 0, GetDate, false},
      {"serverproperty", 1, ServerProperty, true}, {"len", 1, Len, true},     {"datalength", 1, DataLength, true},
      {"charindex", 2, CharIndex, true},    {"charindex", 3, CharIndex, true},   {"tsql_left", 2, Left, true},
      {"tsql_right", 2, Right, true},       {"space", 1, Space, true},           {"newid", 0, NewId, false},
      {"year", 1, DatePart<0>, true},       {"month", 1, DatePart<1>, true},     {"day", 1, DatePart<2>, true},
      {"datepart", 2, DatePartCall, true},  {"tsql_table_rows", 2, TableRows, false},
  };
  for (const Entry& f : kFunctions) {
    Check(db, sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0),
                                         nullptr, f.fn, nullptr, nullptr, nullptr));
  }
  RegisterConstant(db, "db_name", database);
  RegisterConstant(db, "suser_sname", login);
  RegisterConstant(db, "suser_name", login);
  RegisterConstant(db, "user_name", "dbo");
  for (int args : {1, 2}) {
    auto holder = std::make_unique<std::string>(database);
    // SQLite owns the name from here on and frees it through DestroyText.
    Check(db, sqlite3_create_function_v2(db, "object_id", args, SQLITE_UTF8, holder.get(), ObjectId, nullptr, nullptr,
                                         DestroyText));
    (void)holder.release();
  }
  // master's catalogue is the main schema of a session in master, and attached as "master" elsewhere.
  const std::string server = platform::SameText(database, "master") ? "main" : "master";
  RegisterLookup(db, "db_id", 0,
                 "SELECT database_id FROM " + server + ".__tsql_databases WHERE name = " + QuoteSqlString(database));
  RegisterLookup(db, "db_id", 1, "SELECT database_id FROM " + server + ".__tsql_databases WHERE name = ?");
  RegisterLookup(db, "suser_sname", 1, "SELECT name FROM " + server + ".__tsql_logins WHERE sid = ?");
  RegisterLookup(db, "suser_sid", 1, "SELECT sid FROM " + server + ".__tsql_logins WHERE name = ?");
  RegisterLookup(db, "suser_sid", 0,
                 "SELECT sid FROM " + server + ".__tsql_logins WHERE name = " + QuoteSqlString(login));
}

std::string Folded(const std::string& database, const std::string& table) {
  return platform::CaseFold(database) + "." + platform::CaseFold(table);
}

}  // namespace

const TableColumn* TableDefinition::Find(const std::string& column) const {
  for (const auto& c : columns) {
    if (platform::SameText(c.name, column)) return &c;
  }
  return nullptr;
}

const TableColumn* TableDefinition::IdentityColumn() const {
  for (const auto& c : columns) {
    if (c.identity) return &c;
  }
  return nullptr;
}

Session::Session(SqlServerInstance instance, std::string login, const std::string& database)
    : instance_(std::move(instance)), login_(std::move(login)), spid_(next_spid++) {
  Use(database);
}

Session::~Session() {
  if (trancount_ > 0) {
    try {
      db_->Exec("ROLLBACK");
    } catch (...) {  // NOLINT(bugprone-empty-catch): closing the handle rolls back as well
    }
  }
}

std::shared_ptr<SqliteDb> Session::OpenDatabase(const std::string& database) {
  const auto canonical = instance_.FindDatabase(database);
  if (!canonical) throw DatabaseDoesNotExist(database);
  const auto file = instance_.DatabaseFile(*canonical);
  auto db = std::make_shared<SqliteDb>(SqliteDb::Open(file, false));
  sqlite3* h = db->Handle();
  RegisterSqlServerCollations(h);
  // A double-quoted name that matches nothing must fail as a name, not turn into a text.
  sqlite3_db_config(h, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(h, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  RegisterFunctions(h, *canonical, login_);
  if (!platform::SameText(*canonical, "master")) db->Attach(instance_.MasterFile(), "master");
  database_ = *canonical;
  gate_ = DatabaseWriteGate(file);
  return db;
}

void Session::Use(const std::string& database) {
  if (trancount_ > 0) throw NotSupported("USE inside a transaction");
  auto db = OpenDatabase(database);
  db_ = std::move(db);
  attached_.clear();
}

std::string Session::SchemaOfDatabase(const std::string& name) {
  const auto canonical = instance_.FindDatabase(name);
  if (!canonical) throw DatabaseDoesNotExist(name);
  if (platform::SameText(*canonical, database_)) return "main";
  if (platform::SameText(*canonical, "master")) return "master";
  const std::string key = platform::CaseFold(*canonical);
  if (const auto it = attached_.find(key); it != attached_.end()) return it->second;
  const std::string schema = "db" + std::to_string(attached_.size() + 1);
  db_->Attach(instance_.DatabaseFile(*canonical), schema);
  attached_[key] = schema;
  return schema;
}

std::string Session::ServerCatalogueSchema() { return platform::SameText(database_, "master") ? "main" : "master"; }

std::string Session::GlobalVariable(const std::string& name) {
  const std::string n = platform::CaseFold(name);
  if (n == "version") {
    return QuoteSqlString(std::string("SQL Server ") + kProductVersion + " - embedded stand-in on SQLite " +
                          sqlite3_libversion());
  }
  if (n == "spid") return std::to_string(spid_);
  if (n == "trancount") return std::to_string(trancount_);
  if (n == "rowcount") return std::to_string(rowcount_);
  if (n == "identity") return last_identity_ ? std::to_string(*last_identity_) : "NULL";
  if (n == "error") return "0";
  if (n == "servername") return QuoteSqlString(instance_.Dir().filename().string());
  if (n == "language") return "'us_english'";
  if (n == "max_precision") return "38";
  if (n == "datefirst") return "7";
  if (n == "textsize") return "2147483647";
  throw MustDeclareVariable("@@" + name);
}

std::string Session::LocalVariable(const std::string& name) { throw MustDeclareVariable("@" + name); }

std::optional<TableDefinition> Session::LoadTable(const std::string& schema, const std::string& table) {
  auto t = db_->Prepare("SELECT object_id, name FROM " + schema + ".__tsql_tables WHERE name = ?");
  t.Bind(1, dac::Value(table));
  if (!t.Step()) return std::nullopt;
  TableDefinition def;
  def.schema = schema;
  def.object_id = t.ColumnInt(0);
  def.name = t.ColumnText(1);
  def.database = database_;
  if (schema == "master") def.database = "master";
  for (const auto& [db, alias] : attached_) {
    if (alias == schema) def.database = *instance_.FindDatabase(db);
  }
  auto c = db_->Prepare(
      "SELECT c.name, c.column_id, c.declared_type, c.is_nullable, c.is_identity, c.identity_seed, "
      "c.identity_increment, d.definition, d.name FROM " +
      schema + ".__tsql_columns c LEFT JOIN " + schema +
      ".__tsql_defaults d ON d.parent_object_id = c.object_id AND d.parent_column_id = c.column_id "
      "WHERE c.object_id = ? ORDER BY c.column_id");
  c.Bind(1, dac::Value(def.object_id));
  while (c.Step()) {
    TableColumn col;
    col.name = c.ColumnText(0);
    col.column_id = static_cast<int>(c.ColumnInt(1));
    const auto type = SqlType::Parse(c.ColumnText(2));
    if (!type) throw std::runtime_error("Damaged catalogue: column " + col.name + " of " + def.name + " has type " + c.ColumnText(2));
    col.type = *type;
    col.nullable = c.ColumnInt(3) != 0;
    col.identity = c.ColumnInt(4) != 0;
    col.identity_seed = c.ColumnIsNull(5) ? 1 : c.ColumnInt(5);
    col.identity_increment = c.ColumnIsNull(6) ? 1 : c.ColumnInt(6);
    if (!c.ColumnIsNull(7)) {
      col.default_definition = c.ColumnText(7);
      col.default_name = c.ColumnText(8);
    }
    def.columns.push_back(std::move(col));
  }
  return def;
}

std::optional<TableDefinition> Session::FindTable(const ObjectName& name) {
  const auto& p = name.parts;
  if (p.size() > 3) return std::nullopt;
  std::string schema = "main";
  if (p.size() == 3 && !p[0].empty()) schema = SchemaOfDatabase(p[0]);
  if (p.size() >= 2 && !p[p.size() - 2].empty() && !platform::SameText(p[p.size() - 2], "dbo")) return std::nullopt;
  return LoadTable(schema, name.Object());
}

TableDefinition Session::RequireTable(const ObjectName& name) {
  auto t = FindTable(name);
  if (!t) throw InvalidObjectName(name.Written());
  return std::move(*t);
}

std::optional<dac::Column> Session::DescribeTableColumn(const std::string& table, const std::string& column,
                                                        const std::optional<TableDefinition>& def) {
  if (table.rfind("__tsql_", 0) == 0) {
    const auto declared = CatalogueColumnType(table, column);
    if (!declared) return std::nullopt;
    dac::Column c = SqlType::Parse(*declared)->Describe();
    c.name = column;
    c.nullable = false;
    return c;
  }
  if (!def) return std::nullopt;
  const TableColumn* col = def->Find(column);
  if (!col) return std::nullopt;
  dac::Column c = col->type.Describe();
  c.name = col->name;
  c.nullable = col->nullable;
  // An identity column keeps its integer type: with IDENTITY_INSERT on, a
  // client assigns it like any other field.
  c.identity = col->identity;
  return c;
}

void Session::BeginTransaction() {
  if (trancount_ == 0) db_->Exec("BEGIN");
  ++trancount_;
}

void Session::CommitTransaction() {
  if (trancount_ == 0) throw CommitWithoutBegin();
  if (trancount_ == 1) db_->Exec("COMMIT");
  --trancount_;
}

void Session::RollbackTransaction() {
  if (trancount_ == 0) throw RollbackWithoutBegin();
  trancount_ = 0;
  db_->Exec("ROLLBACK");
}

bool Session::IdentityInsertOn(const TableDefinition& table) const {
  return identity_insert_ && *identity_insert_ == Folded(table.database, table.name);
}

void Session::SetIdentityInsert(const TableDefinition& table, bool on) {
  if (!table.IdentityColumn()) throw NoIdentityProperty(table.name);
  const std::string key = Folded(table.database, table.name);
  if (on) {
    if (identity_insert_ && *identity_insert_ != key) throw IdentityInsertAlreadyOn(identity_insert_name_, table.name);
    identity_insert_ = key;
    identity_insert_name_ = table.ThreePartName();
  } else if (identity_insert_ == key) {
    identity_insert_.reset();
  }
}

StatementScope::StatementScope(Session& session) : session_(session) {
  if (session_.gate_users_++ == 0 && !session_.InTransaction()) gate_ = std::unique_lock(session_.WriteGate());
  try {
    session_.Db().Exec("SAVEPOINT tsql_statement");
  } catch (...) {
    --session_.gate_users_;
    throw;
  }
}

StatementScope::~StatementScope() {
  if (!done_) {
    try {
      session_.Db().Exec("ROLLBACK TO tsql_statement");
      session_.Db().Exec("RELEASE tsql_statement");
    } catch (...) {  // NOLINT(bugprone-empty-catch): the handle rolls back when it closes
    }
  }
  --session_.gate_users_;
}

void StatementScope::Commit() {
  session_.Db().Exec("RELEASE tsql_statement");
  done_ = true;
}

}  // namespace embedded::sqlserver
