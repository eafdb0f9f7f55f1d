#include "drivers/embedded/oracle_insert.h"

#include <charconv>

#include "drivers/embedded/oracle_datetime.h"
#include "drivers/embedded/oracle_error.h"
#include "drivers/embedded/oracle_query.h"
#include "platform/text.h"

namespace embedded {
namespace {

constexpr std::size_t kCacheLimit = 64;

bool IsName(const Token& t) { return t.kind == TokenKind::kWord || t.kind == TokenKind::kQuotedName; }

std::optional<dac::Value> NumberLiteral(const std::string& text, bool negative) {
  std::int64_t v = 0;
  const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec == std::errc() && p == text.data() + text.size()) return dac::Value(negative ? -v : v);
  auto d = dac::Decimal::Parse((negative ? "-" : "") + text);
  if (!d) return std::nullopt;
  return dac::Value(*d);
}

// One value of a VALUES list starting at t[i]; advances i past it. Nothing
// when it is an expression the general path must evaluate.
std::optional<dac::Value> LiteralValue(const std::vector<Token>& t, std::size_t& i,
                                       const std::vector<dac::Value>& params, std::size_t& next_param) {
  const Token& a = t[i];
  if (a.kind == TokenKind::kParameter) {
    if (next_param >= params.size()) return std::nullopt;
    ++i;
    return params[next_param++];
  }
  if (a.kind == TokenKind::kString) {
    ++i;
    return dac::Value(a.text);
  }
  if (a.kind == TokenKind::kNumber) {
    ++i;
    return NumberLiteral(a.text, false);
  }
  if ((a.IsSymbol("-") || a.IsSymbol("+")) && t[i + 1].kind == TokenKind::kNumber) {
    i += 2;
    return NumberLiteral(t[i - 1].text, a.IsSymbol("-"));
  }
  if (a.Is("NULL")) {
    ++i;
    return dac::Value();
  }
  if ((a.Is("DATE") || a.Is("TIMESTAMP")) && t[i + 1].kind == TokenKind::kString) {
    auto d = dac::DateTime::Parse(platform::Trim(t[i + 1].text));
    if (!d) throw OracleError(1861, "literal does not match format string");
    if (a.Is("DATE")) d->nanosecond = 0;
    i += 2;
    return dac::Value(*d);
  }
  // FUNCTION('text' [, 'text']) and EMPTY_BLOB().
  if (a.kind != TokenKind::kWord || !t[i + 1].IsSymbol("(")) return std::nullopt;
  if (a.Is("EMPTY_BLOB") && t[i + 2].IsSymbol(")")) {
    i += 3;
    return dac::Value(dac::Bytes{});
  }
  if (t[i + 2].kind != TokenKind::kString) return std::nullopt;
  const std::string& text = t[i + 2].text;
  std::optional<std::string> format;
  std::size_t close = i + 3;
  if (t[close].IsSymbol(",") && t[close + 1].kind == TokenKind::kString) {
    format = t[close + 1].text;
    close += 2;
  }
  if (!t[close].IsSymbol(")")) return std::nullopt;
  std::optional<dac::Value> v;
  if (a.Is("TO_DATE") || a.Is("TO_TIMESTAMP")) {
    dac::DateTime d = format ? ParseOracleDateTime(text, *format) : ParseDateText(text);
    if (a.Is("TO_DATE")) d.nanosecond = 0;
    v = dac::Value(d);
  } else if (a.Is("HEXTORAW") && !format) {
    v = ToStored(OracleType::Of(OracleTypeKind::kBlob), dac::Value(text), {});
  } else if (a.Is("TO_NUMBER") && !format) {
    auto d = dac::Decimal::Parse(platform::Trim(text));
    if (!d) throw OracleError(1722, "invalid number");
    v = dac::Value(*d);
  } else {
    return std::nullopt;
  }
  i = close + 1;
  return v;
}

}  // namespace

OracleInserter::Prepared& OracleInserter::StatementFor(const TableName& table, const std::vector<std::string>& columns,
                                                       std::size_t value_count) {
  const std::uint64_t generation = session_.Dictionary().Generation();
  if (generation != generation_ || cache_.size() > kCacheLimit) {
    cache_.clear();
    generation_ = generation;
  }
  std::string key = table.schema.value_or("") + "\x1f" + table.name + "\x1f" + session_.CurrentSchema();
  for (const auto& c : columns) key += "\x1f" + c;
  if (auto it = cache_.find(key); it != cache_.end()) {
    if (it->second.types.size() != value_count) {
      throw OracleError(value_count < it->second.types.size() ? 947 : 913,
                        value_count < it->second.types.size() ? "not enough values" : "too many values");
    }
    return it->second;
  }

  auto object = session_.Resolve(table);
  if (object->kind != ObjectKind::kTable) throw OracleError(1702, "a view is not appropriate here");
  std::vector<const CatalogueColumn*> targets;
  if (columns.empty()) {
    for (const auto& c : object->columns) targets.push_back(&c);
  } else {
    for (const auto& name : columns) {
      const CatalogueColumn* c = object->FindColumn(name);
      if (!c) throw OracleError(904, "\"" + name + "\": invalid identifier");
      for (const auto* seen : targets) {
        if (seen == c) throw OracleError(957, "duplicate column name");
      }
      targets.push_back(c);
    }
  }
  if (value_count != targets.size()) {
    throw OracleError(value_count < targets.size() ? 947 : 913,
                      value_count < targets.size() ? "not enough values" : "too many values");
  }
  std::string names, marks;
  std::vector<OracleType> types;
  std::vector<ColumnPath> paths;
  for (const auto* c : targets) {
    names += (names.empty() ? "" : ", ") + QuoteSqliteName(c->name);
    marks += marks.empty() ? "?" : ", ?";
    types.push_back(c->type);
    paths.push_back({object->owner, object->name, c->name});
  }
  SqliteStatement st =
      session_.Db().Prepare("INSERT INTO " + object->sqlite_name + " (" + names + ") VALUES (" + marks + ")");
  return cache_.emplace(key, Prepared{std::move(st), std::move(types), std::move(paths)}).first->second;
}

void OracleInserter::Insert(const TableName& table, const std::vector<std::string>& columns, const dac::Row& values,
                            const std::string& sql) {
  Prepared& p = StatementFor(table, columns, values.size());
  p.statement.Reset();
  for (std::size_t k = 0; k < values.size(); ++k) {
    p.statement.Bind(static_cast<int>(k + 1), BindForm(ToStored(p.types[k], values[k], p.paths[k])));
  }
  try {
    p.statement.Step();
  } catch (const SqliteError& e) {
    p.statement.Reset();
    throw session_.Error(e, sql);
  }
  p.statement.Reset();
}

std::optional<std::int64_t> OracleInserter::TryExecute(const std::vector<Token>& t,
                                                       const std::vector<dac::Value>& params, const std::string& sql) {
  // INSERT INTO [schema.]table [(columns)] VALUES (values)
  if (!t[0].Is("INSERT") || !t[1].Is("INTO") || !IsName(t[2])) return std::nullopt;
  std::size_t i = 3;
  TableName table;
  table.name = OracleName(t[2]);
  if (t[i].IsSymbol(".") && IsName(t[i + 1])) {
    table.schema = table.name;
    table.name = OracleName(t[i + 1]);
    i += 2;
  }
  std::vector<std::string> columns;
  if (t[i].IsSymbol("(")) {
    ++i;
    while (IsName(t[i])) {
      columns.push_back(OracleName(t[i++]));
      if (!t[i].IsSymbol(",")) break;
      ++i;
    }
    if (!t[i].IsSymbol(")")) return std::nullopt;
    ++i;
  }
  if (!t[i].Is("VALUES") || !t[i + 1].IsSymbol("(")) return std::nullopt;
  i += 2;
  dac::Row values;
  std::size_t next_param = 0;
  for (;;) {
    auto v = LiteralValue(t, i, params, next_param);
    if (!v) return std::nullopt;
    values.push_back(std::move(*v));
    if (t[i].IsSymbol(",")) {
      ++i;
      continue;
    }
    if (!t[i].IsSymbol(")")) return std::nullopt;
    ++i;
    break;
  }
  if (t[i].kind != TokenKind::kEnd || next_param != params.size()) return std::nullopt;
  Insert(table, columns, values, sql);
  return 1;
}

}  // namespace embedded
