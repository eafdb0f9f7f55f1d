#include "drivers/embedded/sqlserver_result.h"

#include <sqlite3.h>

#include <limits>
#include <map>
#include <utility>

#include "drivers/embedded/sqlserver_errors.h"
#include "platform/text.h"

namespace embedded::sqlserver {
namespace {

struct Finalizer {
  void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, Finalizer>;

dac::DriverError Failure(sqlite3* db, int rc, const Translation& translation) {
  return FromSqlite(SqliteError(sqlite3_errmsg(db), sqlite3_extended_errcode(db) ? sqlite3_extended_errcode(db) : rc),
                    [&](const std::string& n) { return translation.WrittenName(n); });
}

dac::Value StoredValue(sqlite3_stmt* s, int i) {
  switch (sqlite3_column_type(s, i)) {
    case SQLITE_INTEGER:
      return dac::Value(static_cast<std::int64_t>(sqlite3_column_int64(s, i)));
    case SQLITE_FLOAT:
      return dac::Value(sqlite3_column_double(s, i));
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
      return dac::Value(std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, i))));
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, i));
      return dac::Value(dac::Bytes(p, p + sqlite3_column_bytes(s, i)));
    }
    default:
      return dac::Value();
  }
}

// The type a server would give a value of unknown origin, judged by the value.
SqlType TypeOfValue(sqlite3_stmt* s, int i, bool have_row) {
  const int kind = have_row ? sqlite3_column_type(s, i) : SQLITE_NULL;
  switch (kind) {
    case SQLITE_INTEGER: {
      const auto v = sqlite3_column_int64(s, i);
      const bool fits = v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
      return *SqlType::Parse(fits ? "int" : "bigint");
    }
    case SQLITE_FLOAT:
      return *SqlType::Parse("float");
    case SQLITE_TEXT: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
      const std::size_t n = platform::CharLength({p, static_cast<std::size_t>(sqlite3_column_bytes(s, i))});
      SqlType t = *SqlType::Parse("varchar");
      t.length = static_cast<int>(std::clamp<std::size_t>(n, 1, 8000));
      return t;
    }
    case SQLITE_BLOB:
      return *SqlType::Parse("varbinary(max)");
    default:
      return *SqlType::Parse("int");  // a server types a bare NULL as int
  }
}

class SqliteResult : public ResultSet {
 public:
  SqliteResult(Session& session, const Translation& translation, const std::vector<dac::Value>& params)
      : db_(session.SharedDb()) {
    sqlite3* h = db_->Handle();
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(h, translation.sql.c_str(), static_cast<int>(translation.sql.size()), &raw, nullptr);
    stmt_.reset(raw);
    if (rc != SQLITE_OK) throw Failure(h, rc, translation);
    for (std::size_t k = 0; k < params.size() && static_cast<int>(k) < sqlite3_bind_parameter_count(raw); ++k) {
      if (const int bound = BindSqliteValue(raw, static_cast<int>(k + 1), params[k], false); bound != SQLITE_OK) {
        throw Failure(h, bound, translation);
      }
    }
    Advance(translation);
    Describe(session, translation);
  }

  const std::vector<dac::Column>& Columns() const override { return columns_; }
  bool AtEnd() const override { return !have_row_; }

  bool Next(dac::Row& row) override {
    if (!have_row_) return false;
    sqlite3_stmt* s = stmt_.get();
    row.clear();
    row.reserve(columns_.size());
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
      dac::Value v = StoredValue(s, i);
      row.push_back(read_types_[static_cast<std::size_t>(i)].FromStored(v));
    }
    Advance(Translation{});
    return true;
  }

 private:
  void Advance(const Translation& translation) {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) {
      have_row_ = true;
      return;
    }
    have_row_ = false;
    if (rc != SQLITE_DONE) throw Failure(db_->Handle(), rc, translation);
  }

  void Describe(Session& session, const Translation& translation) {
    sqlite3_stmt* s = stmt_.get();
    const int n = sqlite3_column_count(s);
    const bool hinted = translation.columns && static_cast<int>(translation.columns->size()) == n;
    // The catalogue is read once per table of the result, not once per column.
    std::map<std::pair<std::string, std::string>, std::optional<TableDefinition>> tables;
    for (int i = 0; i < n; ++i) {
      const char* schema = sqlite3_column_database_name(s, i);
      const char* table = sqlite3_column_table_name(s, i);
      const char* origin = sqlite3_column_origin_name(s, i);
      const char* name = sqlite3_column_name(s, i);
      std::optional<dac::Column> column;
      SqlType read_type;
      if (schema && table && origin) {
        auto [at, added] = tables.try_emplace({schema, table});
        if (added) at->second = session.LoadTable(schema, table);
        column = session.DescribeTableColumn(table, origin, at->second);
        if (column) read_type = *SqlType::Parse(column->declared_type);
      }
      if (!column) {
        const auto* hint = hinted ? &(*translation.columns)[static_cast<std::size_t>(i)] : nullptr;
        read_type = hint && hint->type ? *hint->type : TypeOfValue(s, i, have_row_);
        column = read_type.Describe();
        // A server leaves an expression without an alias unnamed.
        if (hint && !hint->named && !origin) name = "";
      }
      column->name = name ? name : "";
      columns_.push_back(std::move(*column));
      read_types_.push_back(read_type);
    }
  }

  std::shared_ptr<SqliteDb> db_;
  StatementHandle stmt_;
  bool have_row_ = false;
  std::vector<dac::Column> columns_;
  std::vector<SqlType> read_types_;
};

}  // namespace

std::unique_ptr<ResultSet> OpenResult(Session& session, const Translation& translation,
                                      const std::vector<dac::Value>& params) {
  return std::make_unique<SqliteResult>(session, translation, params);
}

std::int64_t RunTranslated(Session& session, const Translation& translation, const std::vector<dac::Value>& params) {
  try {
    auto st = session.Db().Prepare(translation.sql);
    for (std::size_t k = 0; k < params.size() && static_cast<int>(k) < st.ParameterCount(); ++k) {
      st.Bind(static_cast<int>(k + 1), params[k]);
    }
    while (st.Step()) {
    }
    return session.Db().Changes();
  } catch (const SqliteError& e) {
    throw FromSqlite(e, [&](const std::string& n) { return translation.WrittenName(n); });
  }
}

}  // namespace embedded::sqlserver
