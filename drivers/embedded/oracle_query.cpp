#include "drivers/embedded/oracle_query.h"

#include "drivers/embedded/oracle_error.h"
#include "platform/text.h"

namespace embedded {
namespace {

// "yyyy-mm-dd hh:nn:ss" with an optional fraction: how DATE values are kept.
bool LooksLikeStoredDate(const std::string& s) {
  if (s.size() < 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return false;
  return dac::DateTime::Parse(s).has_value();
}

bool HasLowerCase(const std::string& s) {
  for (char c : s) {
    if (c >= 'a' && c <= 'z') return true;
  }
  return false;
}

// Oracle reports unquoted names upper case. A name the statement quoted keeps
// its case, and so does a column reached through "*" (its name is the
// table's, already as Oracle stores it).
std::string ReportedName(const std::string& name, const TranslatedSql& sql) {
  for (const auto& q : sql.quoted_names) {
    if (q == name) return name;
  }
  const std::string upper = platform::UpperAscii(name);
  const bool plain_name =
      name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_$#") == std::string::npos;
  if (plain_name && HasLowerCase(name) && !sql.words.count(upper)) return name;
  return upper;
}

}  // namespace

dac::Value BindForm(const dac::Value& v) {
  if (v.Kind() == dac::ValueKind::kDecimal) return NumberStorage(v.AsDecimal());
  if (v.Kind() == dac::ValueKind::kText && v.AsText().empty()) return dac::Value();  // '' is NULL
  return v;
}

OracleQuery::OracleQuery(OracleSession& session, const TranslatedSql& sql, const std::vector<dac::Value>& params,
                         std::string original_sql)
    : session_(session),
      statement_([&] {
        try {
          return session.Db().Prepare(sql.text);
        } catch (const SqliteError& e) {
          throw session.Error(e, original_sql);
        }
      }()),
      sql_(std::move(original_sql)) {
  if (static_cast<std::size_t>(statement_.ParameterCount()) != params.size()) {
    throw OracleError(1008, "not all variables bound", sql_);
  }
  for (std::size_t i = 0; i < params.size(); ++i) statement_.Bind(static_cast<int>(i + 1), BindForm(params[i]));
  has_row_ = Step();

  const int n = statement_.ColumnCount();
  for (int i = 0; i < n; ++i) {
    const std::string name = ReportedName(statement_.ColumnName(i), sql);
    if (auto declared = ParseSqliteDeclaredType(statement_.ColumnDeclType(i))) {
      columns_.push_back(declared->type.Describe(name, declared->nullable));
      types_.push_back(declared->type);
      continue;
    }
    dac::Column c;
    c.name = name;
    const dac::Value first = has_row_ ? statement_.ColumnValue(i) : dac::Value();
    switch (first.Kind()) {
      case dac::ValueKind::kInteger:
        c.type = dac::FieldType::ftLargeint;
        c.precision = 19;
        c.declared_type = "NUMBER";
        break;
      case dac::ValueKind::kDouble:
        c.type = dac::FieldType::ftFMTBcd;
        c.precision = 38;
        c.declared_type = "NUMBER";
        break;
      case dac::ValueKind::kBytes:
        c.type = dac::FieldType::ftBlob;
        c.declared_type = "BLOB";
        break;
      default:
        if (first.Kind() == dac::ValueKind::kText && LooksLikeStoredDate(first.AsText())) {
          c.type = dac::FieldType::ftDateTime;
          c.declared_type = "DATE";
        } else {
          c.type = dac::FieldType::ftString;
          c.size = 4000;
          c.declared_type = "VARCHAR2(4000)";
        }
    }
    columns_.push_back(std::move(c));
    types_.emplace_back();
  }
}

bool OracleQuery::Step() {
  try {
    return statement_.Step();
  } catch (const SqliteError& e) {
    throw session_.Error(e, sql_);
  }
}

dac::Value OracleQuery::Convert(std::size_t i) const {
  dac::Value stored = statement_.ColumnValue(static_cast<int>(i));
  if (stored.IsNull()) return stored;
  if (types_[i]) return FromStored(*types_[i], std::move(stored));
  switch (columns_[i].type) {
    case dac::FieldType::ftLargeint:
      if (stored.Kind() == dac::ValueKind::kInteger) return stored;
      [[fallthrough]];
    case dac::FieldType::ftFMTBcd:
      if (auto d = StoredNumber(stored)) return dac::Value(*d);
      return stored;
    case dac::FieldType::ftDateTime:
      if (stored.Kind() == dac::ValueKind::kText) {
        if (auto d = dac::DateTime::Parse(stored.AsText())) return dac::Value(*d);
      }
      return stored;
    case dac::FieldType::ftString:
      if (stored.Kind() == dac::ValueKind::kDouble) return dac::Value(ShortestDoubleText(stored.AsDouble()));
      return stored;
    default:
      return stored;
  }
}

bool OracleQuery::Next(dac::Row& row) {
  if (!has_row_) return false;
  row.clear();
  row.reserve(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) row.push_back(Convert(i));
  has_row_ = Step();
  return true;
}

}  // namespace embedded
