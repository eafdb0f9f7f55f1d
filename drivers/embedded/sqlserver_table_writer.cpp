#include "drivers/embedded/sqlserver_table_writer.h"

#include <sqlite3.h>

#include "drivers/embedded/sql_lexer.h"
#include "drivers/embedded/sqlserver_errors.h"
#include "drivers/embedded/sqlserver_result.h"
#include "platform/text.h"

namespace embedded::sqlserver {
namespace {

// The value of a default definition such as "(0)", "('')" or "(getdate())".
dac::Value EvaluateDefault(Session& session, const std::string& definition) {
  const std::string text = "select " + definition;
  const auto tokens = Tokenize(text);
  auto result = OpenResult(session, session.Translate(tokens, 0, tokens.size() - 1), {});
  dac::Row row;
  result->Next(row);
  return row.empty() ? dac::Value() : row[0];
}

[[noreturn]] void Fail(sqlite3* db) { throw SqliteError(sqlite3_errmsg(db), sqlite3_extended_errcode(db)); }

}  // namespace

void TableWriter::Finalizer::operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }

TableWriter::TableWriter(Session& session, TableDefinition table, const std::vector<std::string>& columns)
    : session_(session), table_(std::move(table)) {
  for (const auto& name : columns) {
    const TableColumn* c = table_.Find(name);
    if (!c) throw InvalidColumnName(name);
    if (c->identity) {
      if (!session_.IdentityInsertOn(table_)) throw IdentityInsertOff(table_.name);
      explicit_identity_ = c;
      explicit_identity_index_ = given_.size();
    }
    given_.push_back(c);
  }
  std::string names, marks;
  auto add = [&](const TableColumn& c) {
    names += (names.empty() ? "" : ", ") + QuoteSqliteName(c.name);
    marks += marks.empty() ? "?" : ", ?";
  };
  for (const auto* c : given_) add(*c);
  for (const auto& c : table_.columns) {
    bool listed = false;
    for (const auto* g : given_) listed = listed || g == &c;
    if (listed) continue;
    if (c.identity) {
      identity_ = &c;
      add(c);
    } else if (c.default_definition) {
      filled_.push_back(&c);
      add(c);
    } else if (!c.nullable && !missing_not_null_) {
      missing_not_null_ = &c;
    }
  }
  const std::string sql = names.empty() ? "INSERT INTO " + table_.SqliteRef() + " DEFAULT VALUES"
                                        : "INSERT INTO " + table_.SqliteRef() + " (" + names + ") VALUES (" + marks + ")";
  sqlite3* db = session_.Db().Handle();
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr);
  insert_.reset(raw);
  if (rc != SQLITE_OK) throw FromSqlite(SqliteError(sqlite3_errmsg(db), sqlite3_extended_errcode(db)));
  stored_count_ = given_.size() + (identity_ ? 1 : 0) + filled_.size();
}

void TableWriter::Start() {
  fill_values_.clear();
  for (const auto* c : filled_) fill_values_.push_back(c->type.ToStored(EvaluateDefault(session_, *c->default_definition)));
  last_identity_.reset();
  identity_moved_ = false;
  const TableColumn* id = identity_ ? identity_ : explicit_identity_;
  if (!id) return;
  auto st = session_.Db().Prepare("SELECT identity_last FROM " + table_.schema +
                                  ".__tsql_columns WHERE object_id = ? AND column_id = ?");
  st.BindAll({dac::Value(table_.object_id), dac::Value(id->column_id)});
  if (st.Step() && !st.ColumnIsNull(0)) last_identity_ = st.ColumnInt(0);
}

void TableWriter::Insert(const dac::Row& values) {
  auto row = Convert(values);
  Write(row);
}

TableWriter::ConvertedRow TableWriter::Convert(const dac::Row& values) const {
  if (values.size() != given_.size()) throw ValueCountMismatch();
  if (missing_not_null_) throw NullNotAllowed(missing_not_null_->name, table_.ThreePartName());
  ConvertedRow row;
  // Reserved in full, so that `bound` may point into `stored` as it grows.
  row.stored.reserve(stored_count_);
  row.bound.reserve(stored_count_);
  for (std::size_t k = 0; k < values.size(); ++k) {
    const TableColumn& c = *given_[k];
    if (values[k].IsNull() && !c.nullable) throw NullNotAllowed(c.name, table_.ThreePartName());
    row.bound.push_back(c.type.StoresAsIs(values[k]) ? &values[k] : &row.stored.emplace_back(c.type.ToStored(values[k])));
  }
  return row;
}

void TableWriter::Write(ConvertedRow& row) {
  sqlite3* db = session_.Db().Handle();
  sqlite3_stmt* st = insert_.get();
  std::optional<std::int64_t> drawn;
  if (identity_) {
    drawn = last_identity_ ? *last_identity_ + identity_->identity_increment : identity_->identity_seed;
    row.bound.push_back(&row.stored.emplace_back(*drawn));
  }
  for (const auto& v : fill_values_) row.bound.push_back(&v);
  // The stored values stay where they are until the step.
  for (std::size_t k = 0; k < row.bound.size(); ++k) {
    if (BindSqliteValue(st, static_cast<int>(k + 1), *row.bound[k], true) != SQLITE_OK) Fail(db);
  }
  const int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) {
    const SqliteError e(sqlite3_errmsg(db), sqlite3_extended_errcode(db));
    if (e.Code() == SQLITE_CONSTRAINT_NOTNULL) {
      const std::string message = e.what();
      const auto dot = message.rfind('.');
      throw NullNotAllowed(dot == std::string::npos ? message : message.substr(dot + 1), table_.ThreePartName());
    }
    throw FromSqlite(e);
  }
  if (drawn) {
    last_identity_ = drawn;
    identity_moved_ = true;
    session_.SetLastIdentity(*drawn);
  } else if (explicit_identity_) {
    // An explicit value beyond the counter moves it, as on a server.
    const dac::Value& v = *row.bound[explicit_identity_index_];
    if (v.Kind() == dac::ValueKind::kInteger &&
        (!last_identity_ || (explicit_identity_->identity_increment > 0 ? v.AsInteger() > *last_identity_
                                                                        : v.AsInteger() < *last_identity_))) {
      last_identity_ = v.AsInteger();
      identity_moved_ = true;
    }
  }
}

void TableWriter::Finish() {
  if (!identity_moved_) return;
  const TableColumn* id = identity_ ? identity_ : explicit_identity_;
  auto st = session_.Db().Prepare("UPDATE " + table_.schema +
                                  ".__tsql_columns SET identity_last = ? WHERE object_id = ? AND column_id = ?");
  st.BindAll({dac::Value(*last_identity_), dac::Value(table_.object_id), dac::Value(id->column_id)});
  st.Step();
  identity_moved_ = false;
}

}  // namespace embedded::sqlserver
