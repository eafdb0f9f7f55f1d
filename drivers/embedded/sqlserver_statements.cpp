#include "drivers/embedded/sqlserver_statements.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>

#include "drivers/embedded/sql_lexer.h"
#include "drivers/embedded/sqlserver_batch.h"
#include "drivers/embedded/sqlserver_errors.h"
#include "drivers/embedded/sqlserver_principals.h"
#include "drivers/embedded/sqlserver_table_writer.h"
#include "platform/text.h"

namespace embedded::sqlserver {
namespace {

struct Context {
  Session& session;
  const std::string& batch;
  const std::vector<Token>& tokens;
  const std::vector<dac::Value>& params;
  std::size_t next_param = 0;
  bool want_result = false;
  BatchOutcome& outcome;

  const Token& T(std::size_t i) const { return tokens[i]; }

  // The values of the "?" markers in tokens[b, e), taken in order.
  std::vector<dac::Value> TakeParams(std::size_t b, std::size_t e) {
    std::vector<dac::Value> out;
    for (std::size_t i = b; i < e; ++i) {
      if (tokens[i].kind != TokenKind::kParameter) continue;
      if (next_param >= params.size()) throw dac::UsageError("Fewer parameter values than \"?\" markers in: " + batch);
      out.push_back(params[next_param++]);
    }
    return out;
  }

  std::string Source(std::size_t b, std::size_t e) const {
    if (e <= b) return {};
    return batch.substr(tokens[b].begin, tokens[e - 1].end - tokens[b].begin);
  }
};

using Handler = void (*)(Context&, const Statement&);

void Run(Context& ctx, const Statement& s);

[[noreturn]] void SyntaxErrorAt(const Context& ctx, std::size_t i) {
  if (ctx.T(i).kind == TokenKind::kEnd) throw IncorrectSyntaxAtEnd();
  throw IncorrectSyntax(ctx.T(i).text);
}

void Expect(const Context& ctx, std::size_t i, const char* symbol) {
  if (!ctx.T(i).IsSymbol(symbol)) SyntaxErrorAt(ctx, i);
}

std::size_t Matching(const Context& ctx, std::size_t open, std::size_t e) {
  int depth = 0;
  for (std::size_t i = open; i < e; ++i) {
    if (ctx.T(i).IsSymbol("(")) ++depth;
    if (ctx.T(i).IsSymbol(")") && --depth == 0) return i;
  }
  throw IncorrectSyntaxAtEnd();
}

// Splits tokens[b, e) at the commas of its own level.
std::vector<std::pair<std::size_t, std::size_t>> SplitList(const Context& ctx, std::size_t b, std::size_t e) {
  std::vector<std::pair<std::size_t, std::size_t>> items;
  int depth = 0;
  std::size_t start = b;
  for (std::size_t i = b; i < e; ++i) {
    if (ctx.T(i).IsSymbol("(")) ++depth;
    if (ctx.T(i).IsSymbol(")")) --depth;
    if (depth == 0 && ctx.T(i).IsSymbol(",")) {
      items.emplace_back(start, i);
      start = i + 1;
    }
  }
  if (start < e || !items.empty()) items.emplace_back(start, e);
  return items;
}

ObjectName RequireName(const Context& ctx, std::size_t i) {
  const auto name = ReadObjectName(ctx.tokens, i);
  if (!name) SyntaxErrorAt(ctx, i);
  return *name;
}

void RequireEnd(const Context& ctx, std::size_t i, const Statement& s) {
  if (i < s.end) SyntaxErrorAt(ctx, i);
}

void RequireServerRole(Session& session, std::initializer_list<const char*> roles) {
  for (const char* role : roles) {
    if (session.Instance().IsServerRoleMember(role, session.Login())) return;
  }
  throw ServerError(15247, "42000", "User does not have permission to perform this action.");
}

// Database-level permissions: a sysadmin, the database's owner and the members
// of `roles` have them.
void RequireDatabaseRole(Session& session, std::initializer_list<const char*> roles) {
  SqlServerInstance& instance = session.Instance();
  if (instance.IsServerRoleMember("sysadmin", session.Login())) return;
  if (const auto login = instance.FindLogin(session.Login())) {
    if (instance.DatabaseOwnerSid(session.Database()) == login->sid) return;
    DatabasePrincipals principals(session.Db(), "main");
    for (const char* role : roles) {
      if (principals.IsRoleMemberBySid(role, login->sid)) return;
    }
  }
  throw ServerError(15247, "42000", "User does not have permission to perform this action.");
}

dac::Value NumberValue(const std::string& text, bool negative) {
  const std::string signed_text = (negative ? "-" : "") + text;
  if (text.find_first_of("eE") != std::string::npos) return dac::Value(std::stod(signed_text));
  if (text.find('.') != std::string::npos) return dac::Value(*dac::Decimal::Parse(signed_text));
  std::int64_t v = 0;
  const auto [p, ec] = std::from_chars(signed_text.data(), signed_text.data() + signed_text.size(), v);
  if (ec != std::errc() || p != signed_text.data() + signed_text.size()) {
    return dac::Value(*dac::Decimal::Parse(signed_text));  // beyond bigint: a numeric literal
  }
  return dac::Value(v);
}

// A literal as the server reads it (numbers with a point stay exact), or
// nothing when tokens[b, e) is an expression.
std::optional<dac::Value> Literal(Context& ctx, std::size_t b, std::size_t e) {
  const Token& t = ctx.T(b);
  if (e - b == 1) {
    if (t.kind == TokenKind::kString) return dac::Value(t.text);
    if (t.kind == TokenKind::kNumber) return NumberValue(t.text, false);
    if (t.Is("null")) return dac::Value();
    if (t.kind == TokenKind::kParameter) return ctx.TakeParams(b, e).at(0);
  }
  if (e - b == 2 && (t.IsSymbol("-") || t.IsSymbol("+")) && ctx.T(b + 1).kind == TokenKind::kNumber) {
    return NumberValue(ctx.T(b + 1).text, t.IsSymbol("-"));
  }
  if (e - b == 2 && t.kind == TokenKind::kNumber && t.text == "0" && ctx.T(b + 1).kind == TokenKind::kWord &&
      ctx.T(b + 1).begin == t.end && (ctx.T(b + 1).text[0] == 'x' || ctx.T(b + 1).text[0] == 'X')) {
    std::string hex = ctx.T(b + 1).text.substr(1);
    if (hex.size() % 2) hex.insert(0, "0");
    dac::Bytes bytes;
    for (std::size_t k = 0; k < hex.size(); k += 2) {
      std::uint8_t byte = 0;
      const auto [p, ec] = std::from_chars(hex.data() + k, hex.data() + k + 2, byte, 16);
      if (ec != std::errc() || p != hex.data() + k + 2) throw IncorrectSyntax(ctx.T(b + 1).text);
      bytes.push_back(byte);
    }
    return dac::Value(std::move(bytes));
  }
  return std::nullopt;
}

// Evaluates an expression through SQLite: "select <expression>".
dac::Value Evaluate(Context& ctx, std::size_t b, std::size_t e) {
  if (auto v = Literal(ctx, b, e)) return *v;
  Translation tr = ctx.session.Translate(ctx.tokens, b, e);
  tr.sql = "SELECT " + tr.sql;
  tr.columns.reset();
  auto result = OpenResult(ctx.session, tr, ctx.TakeParams(b, e));
  dac::Row row;
  result->Next(row);
  return row.at(0);
}

bool Condition(Context& ctx, std::size_t b, std::size_t e) {
  Translation tr = ctx.session.Translate(ctx.tokens, b, e);
  tr.sql = "SELECT CASE WHEN " + tr.sql + " THEN 1 ELSE 0 END";
  tr.columns.reset();
  auto result = OpenResult(ctx.session, tr, ctx.TakeParams(b, e));
  dac::Row row;
  return result->Next(row) && row.at(0).Kind() == dac::ValueKind::kInteger && row[0].AsInteger() == 1;
}

void SetRowsAffected(Context& ctx, std::int64_t n) {
  ctx.outcome.rows_affected = n;
  ctx.session.SetRowCount(n);
}

void RunSelect(Context& ctx, const Statement& s) {
  const auto params = ctx.TakeParams(s.begin, s.end);
  const Translation tr = ctx.session.Translate(ctx.tokens, s.begin, s.end);
  auto result = OpenResult(ctx.session, tr, params);
  if (ctx.want_result && !ctx.outcome.result) ctx.outcome.result = std::move(result);
}

void RunChange(Context& ctx, const Statement& s) {
  const auto params = ctx.TakeParams(s.begin, s.end);
  const Translation tr = ctx.session.Translate(ctx.tokens, s.begin, s.end);
  StatementScope scope(ctx.session);
  const std::int64_t n = RunTranslated(ctx.session, tr, params);
  scope.Commit();
  SetRowsAffected(ctx, n);
}

void RunTruncate(Context& ctx, const Statement& s) {
  if (!ctx.T(s.begin + 1).Is("table")) SyntaxErrorAt(ctx, s.begin + 1);
  const ObjectName name = RequireName(ctx, s.begin + 2);
  RequireEnd(ctx, name.end, s);
  const TableDefinition table = ctx.session.RequireTable(name);
  StatementScope scope(ctx.session);
  ctx.session.Db().Exec("DELETE FROM " + table.SqliteRef());
  // TRUNCATE starts the identity over from its seed.
  ctx.session.Db().Exec("UPDATE " + table.schema + ".__tsql_columns SET identity_last = NULL WHERE object_id = " +
                        std::to_string(table.object_id));
  scope.Commit();
}

void RunInsert(Context& ctx, const Statement& s) {
  std::size_t i = s.begin + 1;
  if (ctx.T(i).Is("into")) ++i;
  const ObjectName name = RequireName(ctx, i);
  const TableDefinition table = ctx.session.RequireTable(name);
  i = name.end;
  std::vector<std::string> columns;
  if (ctx.T(i).IsSymbol("(")) {
    const std::size_t close = Matching(ctx, i, s.end);
    for (const auto& [b, e] : SplitList(ctx, i + 1, close)) {
      if (e - b != 1) SyntaxErrorAt(ctx, b);
      columns.push_back(ctx.T(b).text);
    }
    i = close + 1;
  } else {
    if (table.IdentityColumn() && ctx.session.IdentityInsertOn(table)) {
      throw ServerError(8101, "42000",
                        "An explicit value for the identity column in table '" + table.name +
                            "' can only be specified when a column list is used and IDENTITY_INSERT is ON.");
    }
    for (const auto& c : table.columns) {
      if (!c.identity) columns.push_back(c.name);
    }
  }

  std::vector<dac::Row> rows;
  if (ctx.T(i).Is("values")) {
    ++i;
    for (;;) {
      Expect(ctx, i, "(");
      const std::size_t close = Matching(ctx, i, s.end);
      const auto items = SplitList(ctx, i + 1, close);
      if (items.size() > columns.size()) {
        throw ServerError(110, "21S01",
                          "There are fewer columns in the INSERT statement than values specified in the VALUES "
                          "clause. The number of values in the VALUES clause must match the number of columns "
                          "specified in the INSERT statement.");
      }
      if (items.size() < columns.size()) {
        throw ServerError(109, "21S01",
                          "There are more columns in the INSERT statement than values specified in the VALUES "
                          "clause. The number of values in the VALUES clause must match the number of columns "
                          "specified in the INSERT statement.");
      }
      dac::Row row;
      for (const auto& [b, e] : items) {
        if (b == e) SyntaxErrorAt(ctx, e);
        row.push_back(Evaluate(ctx, b, e));
      }
      rows.push_back(std::move(row));
      i = close + 1;
      if (!ctx.T(i).IsSymbol(",")) break;
      ++i;
    }
    RequireEnd(ctx, i, s);
  } else if (ctx.T(i).Is("select") || ctx.T(i).Is("with")) {
    const Translation tr = ctx.session.Translate(ctx.tokens, i, s.end);
    auto result = OpenResult(ctx.session, tr, ctx.TakeParams(i, s.end));
    // All rows are read before the first goes in, so that a table copied into
    // itself does not see its own new rows.
    for (dac::Row row; result->Next(row);) {
      if (row.size() != columns.size()) {
        throw ServerError(row.size() < columns.size() ? 120 : 121, "21S01",
                          std::string("The select list for the INSERT statement contains ") +
                              (row.size() < columns.size() ? "fewer" : "more") +
                              " items than the insert list. The number of SELECT values must match the number of "
                              "INSERT columns.");
      }
      rows.push_back(row);
    }
  } else if (ctx.T(i).Is("default") && ctx.T(i + 1).Is("values")) {
    RequireEnd(ctx, i + 2, s);
    columns.clear();
    rows.emplace_back();
  } else {
    if (ctx.T(i).Is("exec") || ctx.T(i).Is("execute")) throw NotSupported("INSERT ... EXEC");
    SyntaxErrorAt(ctx, i);
  }

  StatementScope scope(ctx.session);
  TableWriter writer(ctx.session, table, columns);
  writer.Start();
  for (const auto& row : rows) writer.Insert(row);
  writer.Finish();
  scope.Commit();
  SetRowsAffected(ctx, static_cast<std::int64_t>(rows.size()));
}

// Checks a default's expression as the server does when it creates the
// constraint: constants, functions and expressions of them, no columns and no
// subqueries. Throws dac::DriverError (102, 128, 195, 1046).
void CheckDefaultExpression(Context& ctx, std::size_t b, std::size_t e) {
  if (b >= e) SyntaxErrorAt(ctx, e);
  for (std::size_t k = b; k < e; ++k) {
    if (ctx.T(k).Is("select")) throw SubqueryInDefault();
  }
  try {
    (void)Evaluate(ctx, b, e);
  } catch (const dac::DriverError& error) {
    if (error.NativeError() != 207) throw;
    // "Invalid column name 'X'." names the column.
    const std::string& message = error.ServerMessage();
    const auto open = message.find('\'');
    const auto close = message.rfind('\'');
    throw ColumnNameInDefault(message.substr(open + 1, close - open - 1));
  }
}

// A default's expression as the server keeps it (sys.default_constraints):
// inside one pair of parentheses, a number inside two, whatever pairs the
// statement wrapped it in: "0", "(0)" -> "((0))"; "''" -> "('')";
// "(getdate())" -> "(getdate())".
std::string KeptDefinition(const Context& ctx, std::size_t b, std::size_t e) {
  while (e - b > 2 && ctx.T(b).IsSymbol("(") && Matching(ctx, b, e) == e - 1) {
    ++b;
    --e;
  }
  const bool number = (e - b == 1 && ctx.T(b).kind == TokenKind::kNumber) ||
                      (e - b == 2 && (ctx.T(b).IsSymbol("-") || ctx.T(b).IsSymbol("+")) &&
                       ctx.T(b + 1).kind == TokenKind::kNumber);
  const std::string text = ctx.Source(b, e);
  return number ? "((" + text + "))" : "(" + text + ")";
}

// Tables and constraints share one namespace per database, as objects do on a server.
bool ObjectNameTaken(SqliteDb& db, const std::string& schema, const std::string& name) {
  auto st = db.Prepare("SELECT 1 FROM " + schema + ".__tsql_tables WHERE name = ?1 UNION ALL SELECT 1 FROM " + schema +
                       ".__tsql_defaults WHERE name = ?1");
  st.Bind(1, dac::Value(name));
  return st.Step();
}

std::int64_t NextObjectId(SqliteDb& db, const std::string& schema) {
  auto st = db.Prepare("SELECT max(ifnull((SELECT max(object_id) FROM " + schema +
                       ".__tsql_tables), 0), ifnull((SELECT max(object_id) FROM " + schema +
                       ".__tsql_defaults), 0)) + 1");
  st.Step();
  return st.ColumnInt(0);
}

std::string FirstChars(const std::string& text, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t k = 0; k < n && i < text.size(); ++k) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return text.substr(0, i);
}

// Records a default constraint; an unnamed one gets a name made as the server
// makes it, DF__<table>__<column>__<object id in hex>. Throws dac::DriverError
// (2714, 1750) for a name another object has.
void AddDefaultConstraint(SqliteDb& db, const std::string& schema, std::optional<std::string> name,
                          std::int64_t table_id, const std::string& table, const TableColumn& column,
                          const std::string& definition) {
  const std::int64_t object_id = NextObjectId(db, schema);
  if (!name) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08llX", static_cast<unsigned long long>(object_id));
    name = "DF__" + FirstChars(table, 9) + "__" + FirstChars(column.name, 5) + "__" + hex;
  }
  if (ObjectNameTaken(db, schema, *name)) throw ConstraintNameTaken(*name);
  auto st = db.Prepare("INSERT INTO " + schema +
                       ".__tsql_defaults (object_id, name, parent_object_id, parent_column_id, definition, "
                       "create_date) VALUES (?, ?, ?, ?, ?, getdate())");
  st.BindAll({dac::Value(object_id), dac::Value(*name), dac::Value(table_id), dac::Value(column.column_id),
              dac::Value(definition)});
  st.Step();
}

struct ColumnClauses {
  TableColumn column;
  std::string sqlite_constraints;
  std::optional<std::string> default_name;  // CONSTRAINT name DEFAULT ...
};

bool IsColumnConstraintWord(const Token& t) {
  for (const char* w : {"constraint", "not", "null", "primary", "unique", "identity", "check", "references",
                        "collate", "default", "foreign"}) {
    if (t.Is(w)) return true;
  }
  return false;
}

ColumnClauses ParseColumn(Context& ctx, std::size_t b, std::size_t e, int ordinal) {
  ColumnClauses out;
  TableColumn& c = out.column;
  if (ReadObjectName(ctx.tokens, b) == std::nullopt) SyntaxErrorAt(ctx, b);
  c.name = ctx.T(b).text;
  std::size_t k = b + 1;
  if (k >= e || ctx.T(k).kind != TokenKind::kWord) SyntaxErrorAt(ctx, k);
  const std::size_t type_begin = k++;
  if (k < e && ctx.T(k).IsSymbol("(")) k = Matching(ctx, k, e) + 1;
  const auto type = SqlType::Parse(ctx.Source(type_begin, k));
  if (!type) throw UnknownType(ordinal, ctx.T(type_begin).text);
  c.type = *type;
  while (k < e) {
    const Token& t = ctx.T(k);
    if (t.Is("identity")) {
      c.identity = true;
      ++k;
      if (k < e && ctx.T(k).IsSymbol("(")) {
        const std::size_t close = Matching(ctx, k, e);
        const auto args = SplitList(ctx, k + 1, close);
        if (args.size() != 2) SyntaxErrorAt(ctx, close);
        auto number = [&](std::pair<std::size_t, std::size_t> r) {
          const dac::Value v = NumberValue(ctx.T(r.second - 1).text, r.second - r.first == 2 && ctx.T(r.first).IsSymbol("-"));
          if (v.Kind() != dac::ValueKind::kInteger) SyntaxErrorAt(ctx, r.first);
          return v.AsInteger();
        };
        c.identity_seed = number(args[0]);
        c.identity_increment = number(args[1]);
        k = close + 1;
      }
    } else if (t.Is("not") && k + 1 < e && ctx.T(k + 1).Is("null")) {
      c.nullable = false;
      k += 2;
    } else if (t.Is("null")) {
      c.nullable = true;
      ++k;
    } else if (t.Is("constraint")) {
      if (k + 1 >= e || !ReadObjectName(ctx.tokens, k + 1)) SyntaxErrorAt(ctx, k + 1);
      if (k + 2 < e && ctx.T(k + 2).Is("default")) out.default_name = ctx.T(k + 1).text;
      k += 2;
    } else if (t.Is("default")) {
      const std::size_t from = ++k;
      int depth = 0;
      for (; k < e; ++k) {
        if (ctx.T(k).IsSymbol("(")) ++depth;
        if (ctx.T(k).IsSymbol(")")) --depth;
        if (depth == 0 && k > from && IsColumnConstraintWord(ctx.T(k))) break;
      }
      CheckDefaultExpression(ctx, from, k);
      c.default_definition = KeptDefinition(ctx, from, k);
    } else if (t.Is("primary") && k + 1 < e && ctx.T(k + 1).Is("key")) {
      out.sqlite_constraints += " PRIMARY KEY";
      c.nullable = false;
      k += 2;
      if (k < e && (ctx.T(k).Is("clustered") || ctx.T(k).Is("nonclustered"))) ++k;
    } else if (t.Is("unique")) {
      out.sqlite_constraints += " UNIQUE";
      ++k;
      if (k < e && (ctx.T(k).Is("clustered") || ctx.T(k).Is("nonclustered"))) ++k;
    } else if (t.Is("collate")) {
      k += 2;
    } else if (t.Is("check") || t.Is("references") || t.Is("foreign")) {
      throw NotSupported("column " + platform::UpperAscii(t.text) + " constraints");
    } else {
      SyntaxErrorAt(ctx, k);
    }
  }
  if (c.identity) {
    const bool whole = c.type.IsInteger() || ((c.type.base == BaseType::kDecimal || c.type.base == BaseType::kNumeric) &&
                                              c.type.scale == 0);
    if (!whole || c.type.base == BaseType::kBit) {
      throw ServerError(2749, "42000",
                        "Identity column '" + c.name +
                            "' must be of data type int, bigint, smallint, tinyint, or decimal or numeric with a "
                            "scale of 0, and constrained to be nonnullable.");
    }
    c.nullable = false;
  }
  return out;
}

void RunCreateTable(Context& ctx, const Statement& s) {
  const ObjectName name = RequireName(ctx, s.begin + 2);
  const std::string& object = name.Object();
  if (!name.Schema().empty() && !platform::SameText(name.Schema(), "dbo")) throw NotSupported("schemas other than dbo");
  if (object[0] == '#') throw NotSupported("temporary tables");
  const std::string schema = name.Database().empty() ? "main" : ctx.session.SchemaOfDatabase(name.Database());
  if (ObjectNameTaken(ctx.session.Db(), schema, object)) throw ObjectExists(object);
  std::size_t i = name.end;
  Expect(ctx, i, "(");
  const std::size_t close = Matching(ctx, i, s.end);
  // Storage clauses after the list (ON [PRIMARY], TEXTIMAGE_ON ...) place files; there is one file here.
  if (close + 1 < s.end && !ctx.T(close + 1).Is("on") && !ctx.T(close + 1).Is("textimage_on")) {
    SyntaxErrorAt(ctx, close + 1);
  }

  std::vector<TableColumn> columns;
  std::vector<std::optional<std::string>> default_names;
  std::string sqlite_columns, table_constraints;
  for (const auto& [b, e] : SplitList(ctx, i + 1, close)) {
    if (b == e) SyntaxErrorAt(ctx, e);
    std::size_t k = b;
    if (ctx.T(k).Is("constraint")) k += 2;
    if (ctx.T(k).Is("primary") || ctx.T(k).Is("unique")) {
      const bool primary = ctx.T(k).Is("primary");
      k += primary ? 2 : 1;
      if (ctx.T(k).Is("clustered") || ctx.T(k).Is("nonclustered")) ++k;
      Expect(ctx, k, "(");
      const std::size_t list_end = Matching(ctx, k, e);
      std::string keys;
      for (const auto& [kb, ke] : SplitList(ctx, k + 1, list_end)) {
        keys += (keys.empty() ? "" : ", ") + QuoteSqliteName(ctx.T(kb).text);
        if (ke - kb == 2 && (ctx.T(kb + 1).Is("asc") || ctx.T(kb + 1).Is("desc"))) continue;
        if (ke - kb != 1) SyntaxErrorAt(ctx, kb + 1);
      }
      table_constraints += std::string(", ") + (primary ? "PRIMARY KEY (" : "UNIQUE (") + keys + ")";
      continue;
    }
    if (ctx.T(k).Is("check") || ctx.T(k).Is("foreign")) throw NotSupported("table " + ctx.T(k).text + " constraints");
    ColumnClauses parsed = ParseColumn(ctx, b, e, static_cast<int>(columns.size()) + 1);
    for (const auto& c : columns) {
      if (platform::SameText(c.name, parsed.column.name)) throw DuplicateColumn(parsed.column.name, object);
    }
    parsed.column.column_id = static_cast<int>(columns.size()) + 1;
    sqlite_columns += (sqlite_columns.empty() ? "" : ", ") + QuoteSqliteName(parsed.column.name) + " " +
                      parsed.column.type.StorageDeclaration() + (parsed.column.nullable ? "" : " NOT NULL") +
                      parsed.sqlite_constraints;
    columns.push_back(std::move(parsed.column));
    default_names.push_back(std::move(parsed.default_name));
  }
  if (columns.empty()) SyntaxErrorAt(ctx, close);

  StatementScope scope(ctx.session);
  SqliteDb& db = ctx.session.Db();
  db.Exec("CREATE TABLE " + SqliteTableRef(schema, object) + " (" + sqlite_columns + table_constraints + ")");
  const std::int64_t object_id = NextObjectId(db, schema);
  auto table = db.Prepare("INSERT INTO " + schema +
                          ".__tsql_tables (object_id, name, create_date) VALUES (?, ?, getdate())");
  table.BindAll({dac::Value(object_id), dac::Value(object)});
  table.Step();
  auto insert = db.Prepare("INSERT INTO " + schema +
                           ".__tsql_columns (object_id, column_id, name, declared_type, is_nullable, is_identity, "
                           "identity_seed, identity_increment) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  for (const auto& c : columns) {
    insert.BindAll({dac::Value(object_id), dac::Value(c.column_id), dac::Value(c.name), dac::Value(c.type.ToString()),
                    dac::Value(c.nullable), dac::Value(c.identity),
                    c.identity ? dac::Value(c.identity_seed) : dac::Value(),
                    c.identity ? dac::Value(c.identity_increment) : dac::Value()});
    insert.Step();
    insert.Reset();
  }
  for (std::size_t k = 0; k < columns.size(); ++k) {
    if (!columns[k].default_definition) continue;
    AddDefaultConstraint(db, schema, default_names[k], object_id, object, columns[k], *columns[k].default_definition);
  }
  scope.Commit();
}

// ALTER TABLE T ADD [CONSTRAINT name] DEFAULT expression FOR column [WITH VALUES]:
// the one form of ALTER TABLE that scripts of this system send.
void RunAlterTable(Context& ctx, const Statement& s) {
  const ObjectName name = RequireName(ctx, s.begin + 2);
  std::size_t i = name.end;
  if (!ctx.T(i).Is("add")) throw NotSupported("ALTER TABLE ... " + platform::UpperAscii(ctx.T(i).text));
  ++i;
  std::optional<std::string> constraint;
  if (ctx.T(i).Is("constraint")) {
    if (!ReadObjectName(ctx.tokens, i + 1)) SyntaxErrorAt(ctx, i + 1);
    constraint = ctx.T(i + 1).text;
    i += 2;
  }
  if (!ctx.T(i).Is("default")) {
    throw NotSupported(constraint ? "ALTER TABLE ... ADD CONSTRAINT other than DEFAULT"
                                  : "ALTER TABLE ... ADD columns");
  }
  const std::size_t from = ++i;
  std::size_t for_at = from;
  for (int depth = 0; for_at < s.end; ++for_at) {
    if (ctx.T(for_at).IsSymbol("(")) ++depth;
    if (ctx.T(for_at).IsSymbol(")")) --depth;
    if (depth == 0 && ctx.T(for_at).Is("for")) break;
  }
  if (for_at == s.end || for_at == from) SyntaxErrorAt(ctx, for_at);
  const Token& column_token = ctx.T(for_at + 1);
  if (column_token.kind != TokenKind::kWord && column_token.kind != TokenKind::kQuotedName) {
    SyntaxErrorAt(ctx, for_at + 1);
  }
  std::size_t end = for_at + 2;
  if (ctx.T(end).Is("with") && ctx.T(end + 1).Is("values")) end += 2;
  RequireEnd(ctx, end, s);
  CheckDefaultExpression(ctx, from, for_at);

  const auto table = ctx.session.FindTable(name);
  if (!table) throw CannotFindObject(name.Written());
  const TableColumn* column = table->Find(column_token.text);
  if (!column) throw InvalidDefaultColumn(column_token.text, name.Written());
  if (column->identity) throw DefaultOnIdentity(table->name, column->name);
  if (column->default_definition) throw ColumnHasDefault();
  StatementScope scope(ctx.session);
  AddDefaultConstraint(ctx.session.Db(), table->schema, constraint, table->object_id, table->name, *column,
                       KeptDefinition(ctx, from, for_at));
  scope.Commit();
}

void RunDropTable(Context& ctx, const Statement& s) {
  std::size_t i = s.begin + 2;
  bool if_exists = false;
  if (ctx.T(i).Is("if") && ctx.T(i + 1).Is("exists")) {
    if_exists = true;
    i += 2;
  }
  std::vector<TableDefinition> tables;
  for (const auto& [b, e] : SplitList(ctx, i, s.end)) {
    const ObjectName name = RequireName(ctx, b);
    if (name.end < e) SyntaxErrorAt(ctx, name.end);
    auto table = ctx.session.FindTable(name);
    if (!table && !if_exists) throw CannotDropTable(name.Written());
    if (table) tables.push_back(std::move(*table));
  }
  StatementScope scope(ctx.session);
  for (const auto& t : tables) {
    ctx.session.Db().Exec("DROP TABLE " + t.SqliteRef());
    const std::string id = std::to_string(t.object_id);
    ctx.session.Db().Exec("DELETE FROM " + t.schema + ".__tsql_columns WHERE object_id = " + id);
    ctx.session.Db().Exec("DELETE FROM " + t.schema + ".__tsql_defaults WHERE parent_object_id = " + id);
    ctx.session.Db().Exec("DELETE FROM " + t.schema + ".__tsql_tables WHERE object_id = " + id);
  }
  scope.Commit();
}

// A data file of CREATE DATABASE ... ON: NAME and FILENAME; the sizes
// place nothing here and are read past.
DatabaseFileSpec ReadFileSpec(const Context& ctx, std::size_t b, std::size_t e) {
  DatabaseFileSpec spec;
  bool named = false, filed = false;
  for (const auto& [ib, ie] : SplitList(ctx, b, e)) {
    if (ie - ib < 3 || !ctx.T(ib + 1).IsSymbol("=")) SyntaxErrorAt(ctx, std::min(ib + 1, ie));
    const Token& key = ctx.T(ib);
    const Token& value = ctx.T(ib + 2);
    if (key.Is("name")) {
      const bool name = value.kind == TokenKind::kWord || value.kind == TokenKind::kQuotedName ||
                        value.kind == TokenKind::kString;
      if (!name) SyntaxErrorAt(ctx, ib + 2);
      if (ie - ib != 3) SyntaxErrorAt(ctx, ib + 3);
      spec.logical_name = value.text;
      named = true;
    } else if (key.Is("filename")) {
      if (value.kind != TokenKind::kString) SyntaxErrorAt(ctx, ib + 2);
      if (ie - ib != 3) SyntaxErrorAt(ctx, ib + 3);
      spec.file_name = value.text;
      filed = true;
    } else if (key.Is("size") || key.Is("maxsize") || key.Is("filegrowth")) {
      const bool amount = value.kind == TokenKind::kNumber || value.Is("unlimited");
      if (!amount) SyntaxErrorAt(ctx, ib + 2);
      if (ie - ib > 4 || (ie - ib == 4 && ctx.T(ib + 3).kind != TokenKind::kWord && !ctx.T(ib + 3).IsSymbol("%"))) {
        SyntaxErrorAt(ctx, ib + 3);
      }
    } else {
      SyntaxErrorAt(ctx, ib);
    }
  }
  if (!named || !filed) SyntaxErrorAt(ctx, e);
  return spec;
}

void RunCreateDatabase(Context& ctx, const Statement& s) {
  const ObjectName name = RequireName(ctx, s.begin + 2);
  if (name.parts.size() != 1) SyntaxErrorAt(ctx, name.begin + 1);
  std::optional<DatabaseFileSpec> file;
  std::size_t i = name.end;
  if (ctx.T(i).Is("on")) {
    ++i;
    if (ctx.T(i).Is("primary")) ++i;
    Expect(ctx, i, "(");
    const std::size_t close = Matching(ctx, i, s.end);
    file = ReadFileSpec(ctx, i + 1, close);
    i = close + 1;
    if (ctx.T(i).IsSymbol(",")) throw NotSupported("CREATE DATABASE with more than one data file");
  }
  if (ctx.T(i).Is("log")) throw NotSupported("CREATE DATABASE ... LOG ON");
  if (i < s.end) throw NotSupported("CREATE DATABASE with option clauses");
  RequireServerRole(ctx.session, {"sysadmin", "dbcreator"});
  ctx.session.Instance().CreateDatabase(name.Object(), file, ctx.session.Login());
}

// ALTER DATABASE name|CURRENT SET RECOVERY SIMPLE|FULL|BULK_LOGGED [WITH ...].
void RunAlterDatabase(Context& ctx, const Statement& s) {
  std::size_t i = s.begin + 2;
  std::string database;
  if (ctx.T(i).Is("current")) {
    database = ctx.session.Database();
    ++i;
  } else {
    const ObjectName name = RequireName(ctx, i);
    if (name.parts.size() != 1) SyntaxErrorAt(ctx, name.begin + 1);
    database = name.Object();
    i = name.end;
  }
  if (!ctx.T(i).Is("set")) throw NotSupported("ALTER DATABASE ... " + platform::UpperAscii(ctx.T(i).text));
  ++i;
  if (!ctx.T(i).Is("recovery")) throw NotSupported("ALTER DATABASE ... SET " + platform::UpperAscii(ctx.T(i).text));
  const Token& model = ctx.T(i + 1);
  if (!model.Is("simple") && !model.Is("full") && !model.Is("bulk_logged")) SyntaxErrorAt(ctx, i + 1);
  i += 2;
  // Terminations (NO_WAIT, ROLLBACK IMMEDIATE) end other sessions' work first; there is none to end here.
  if (ctx.T(i).Is("with")) {
    if (i + 1 >= s.end) SyntaxErrorAt(ctx, i + 1);
    i = s.end;
  }
  RequireEnd(ctx, i, s);

  SqlServerInstance& instance = ctx.session.Instance();
  const auto canonical = instance.FindDatabase(database);
  if (!canonical) throw CannotAlterDatabase(database);
  const bool allowed = instance.IsServerRoleMember("sysadmin", ctx.session.Login()) ||
                       instance.IsServerRoleMember("dbcreator", ctx.session.Login()) ||
                       platform::SameText(instance.DatabaseOwner(*canonical), ctx.session.Login());
  if (!allowed) throw CannotAlterDatabase(database);
  if (platform::SameText(*canonical, "master")) throw RecoveryOptionOnMaster();
  instance.SetRecoveryModel(*canonical, platform::UpperAscii(model.text));
}

void RunCreateLogin(Context& ctx, const Statement& s) {
  const ObjectName name = RequireName(ctx, s.begin + 2);
  if (name.parts.size() != 1) SyntaxErrorAt(ctx, name.begin + 1);
  std::size_t i = name.end;
  if (ctx.T(i).Is("from")) throw NotSupported("logins from Windows or certificates");
  if (!ctx.T(i).Is("with")) SyntaxErrorAt(ctx, i);
  std::optional<std::string> password;
  std::string default_database = "master";
  bool check_policy = true;
  for (const auto& [b, e] : SplitList(ctx, i + 1, s.end)) {
    if (e - b < 3 || !ctx.T(b + 1).IsSymbol("=")) SyntaxErrorAt(ctx, b);
    const Token& key = ctx.T(b);
    const Token& value = ctx.T(b + 2);
    if (key.Is("password")) {
      if (value.kind != TokenKind::kString) SyntaxErrorAt(ctx, b + 2);
      password = value.text;
      // HASHED, MUST_CHANGE and the like may follow the password.
    } else if (key.Is("default_database")) {
      default_database = value.text;
    } else if (key.Is("check_policy")) {
      if (!value.Is("on") && !value.Is("off")) SyntaxErrorAt(ctx, b + 2);
      check_policy = value.Is("on");
    } else if (!(key.Is("check_expiration") || key.Is("default_language") ||
                 key.Is("sid") || key.Is("credential"))) {
      SyntaxErrorAt(ctx, b);
    }
  }
  if (!password) SyntaxErrorAt(ctx, i);
  RequireServerRole(ctx.session, {"sysadmin", "securityadmin"});
  ctx.session.Instance().CreateLogin(name.Object(), *password, default_database, check_policy);
}

// CREATE USER name [FOR|FROM LOGIN login | WITHOUT LOGIN] [WITH DEFAULT_SCHEMA = s].
// Without a login clause the user stands for the login of its own name.
void RunCreateUser(Context& ctx, const Statement& s) {
  const ObjectName name = RequireName(ctx, s.begin + 2);
  if (name.parts.size() != 1) SyntaxErrorAt(ctx, name.begin + 1);
  std::size_t i = name.end;
  std::optional<std::string> login = name.Object();
  if ((ctx.T(i).Is("for") || ctx.T(i).Is("from")) && ctx.T(i + 1).Is("login")) {
    const ObjectName login_name = RequireName(ctx, i + 2);
    if (login_name.parts.size() != 1) SyntaxErrorAt(ctx, login_name.begin + 1);
    login = login_name.Object();
    i = login_name.end;
  } else if (ctx.T(i).Is("without") && ctx.T(i + 1).Is("login")) {
    login.reset();
    i += 2;
  } else if (ctx.T(i).Is("for") || ctx.T(i).Is("from")) {
    throw NotSupported("users for certificates, keys and external providers");
  }
  if (ctx.T(i).Is("with")) {
    // Every user's objects are dbo's here, so a default schema changes nothing.
    for (const auto& [b, e] : SplitList(ctx, i + 1, s.end)) {
      if (e - b != 3 || !ctx.T(b).Is("default_schema") || !ctx.T(b + 1).IsSymbol("=")) SyntaxErrorAt(ctx, b);
    }
    i = s.end;
  }
  RequireEnd(ctx, i, s);
  RequireDatabaseRole(ctx.session, {"db_owner", "db_accessadmin"});
  dac::Bytes sid;
  if (login) {
    const auto l = ctx.session.Instance().FindLogin(*login);
    if (!l) throw NotAValidLogin(*login);
    sid = l->sid;
  }
  StatementScope scope(ctx.session);
  DatabasePrincipals(ctx.session.Db(), "main").CreateUser(name.Object(), sid);
  scope.Commit();
}

void RunUse(Context& ctx, const Statement& s) {
  const ObjectName name = RequireName(ctx, s.begin + 1);
  if (name.parts.size() != 1) SyntaxErrorAt(ctx, name.begin + 1);
  RequireEnd(ctx, name.end, s);
  ctx.session.Use(name.Object());
}

void RunSet(Context& ctx, const Statement& s) {
  const Token& option = ctx.T(s.begin + 1);
  if (option.Is("identity_insert")) {
    const ObjectName name = RequireName(ctx, s.begin + 2);
    const Token& state = ctx.T(name.end);
    if (!state.Is("on") && !state.Is("off")) SyntaxErrorAt(ctx, name.end);
    RequireEnd(ctx, name.end + 1, s);
    ctx.session.SetIdentityInsert(ctx.session.RequireTable(name), state.Is("on"));
    return;
  }
  if (option.kind == TokenKind::kWord && option.text[0] == '@') throw NotSupported("variables");
  // Session options that change nothing this stand-in does.
  static constexpr const char* kAccepted[] = {
      "nocount",      "ansi_nulls",   "ansi_padding",    "ansi_warnings", "ansi_null_dflt_on", "quoted_identifier",
      "arithabort",   "arithignore",  "concat_null_yields_null", "numeric_roundabort", "xact_abort",
      "implicit_transactions", "dateformat", "datefirst", "language", "lock_timeout", "deadlock_priority",
      "textsize",     "transaction",  "statistics",      "fmtonly",       "nocount",           "cursor_close_on_commit",
      "ansi_defaults", "context_info", "query_governor_cost_limit"};
  for (const char* name : kAccepted) {
    if (option.Is(name)) return;
  }
  if (option.Is("rowcount")) {
    if (ctx.T(s.begin + 2).text == "0") return;
    throw NotSupported("SET ROWCOUNT");
  }
  throw ServerError(195, "42000", "'" + option.text + "' is not a recognized SET option.");
}

struct Argument {
  std::string name;  // "@loginame", or "" for a positional argument
  dac::Value value;
};

std::vector<Argument> ReadArguments(Context& ctx, std::size_t b, std::size_t e) {
  std::vector<Argument> args;
  for (const auto& [ab, ae] : SplitList(ctx, b, e)) {
    Argument a;
    std::size_t k = ab;
    if (ae - ab >= 3 && ctx.T(ab).kind == TokenKind::kWord && ctx.T(ab).text[0] == '@' && ctx.T(ab + 1).IsSymbol("=")) {
      a.name = ctx.T(ab).text;
      k = ab + 2;
    }
    std::size_t end = ae;
    if (end - k >= 2 && (ctx.T(end - 1).Is("output") || ctx.T(end - 1).Is("out"))) --end;
    // A bare word passes as a text, as the server reads procedure arguments.
    if (end - k == 1 && (ctx.T(k).kind == TokenKind::kWord || ctx.T(k).kind == TokenKind::kQuotedName) &&
        ctx.T(k).text[0] != '@' && !ctx.T(k).Is("null") && !ctx.T(k).Is("default")) {
      a.value = dac::Value(ctx.T(k).text);
    } else if (end > k) {
      a.value = Evaluate(ctx, k, end);
    } else {
      SyntaxErrorAt(ctx, k);
    }
    args.push_back(std::move(a));
  }
  return args;
}

// The argument named `name` (or standing at `position`), as text.
std::string ArgumentText(const std::vector<Argument>& args, const char* name, std::size_t position,
                         const std::string& procedure) {
  for (const auto& a : args) {
    if (platform::SameText(a.name, name)) return a.value.ToText();
  }
  if (position < args.size() && args[position].name.empty()) return args[position].value.ToText();
  throw ServerError(201, "42000",
                    "Procedure or function '" + procedure + "' expects parameter '" + name + "', which was not supplied.");
}

using Procedure = void (*)(Context&, const std::vector<Argument>&);

void SpAddSrvRoleMember(Context& ctx, const std::vector<Argument>& args) {
  const std::string login = ArgumentText(args, "@loginame", 0, "sp_addsrvrolemember");
  const std::string role = ArgumentText(args, "@rolename", 1, "sp_addsrvrolemember");
  RequireServerRole(ctx.session, {"sysadmin", "securityadmin"});
  ctx.session.Instance().AddServerRoleMember(role, login);
}

void SpDropSrvRoleMember(Context& ctx, const std::vector<Argument>& args) {
  const std::string login = ArgumentText(args, "@loginame", 0, "sp_dropsrvrolemember");
  const std::string role = ArgumentText(args, "@rolename", 1, "sp_dropsrvrolemember");
  RequireServerRole(ctx.session, {"sysadmin", "securityadmin"});
  ctx.session.Instance().DropServerRoleMember(role, login);
}

void SpAddRoleMember(Context& ctx, const std::vector<Argument>& args) {
  const std::string role = ArgumentText(args, "@rolename", 0, "sp_addrolemember");
  const std::string member = ArgumentText(args, "@membername", 1, "sp_addrolemember");
  if (ctx.session.InTransaction()) throw NotInATransaction("sys.sp_addrolemember");
  RequireDatabaseRole(ctx.session, {"db_owner", "db_securityadmin"});
  StatementScope scope(ctx.session);
  DatabasePrincipals(ctx.session.Db(), "main").AddRoleMember(role, member);
  scope.Commit();
}

// Makes a login the owner of the current database; dbo then stands for it.
void SpChangeDbOwner(Context& ctx, const std::vector<Argument>& args) {
  const std::string login = ArgumentText(args, "@loginame", 0, "sp_changedbowner");
  if (ctx.session.InTransaction()) throw NotInATransaction("sys.sp_changedbowner");
  const std::string database = ctx.session.Database();
  if (platform::SameText(database, "master")) throw CannotChangeSystemDatabaseOwner();
  SqlServerInstance& instance = ctx.session.Instance();
  const auto l = instance.FindLogin(login);
  if (!l) throw CannotFindPrincipal(login);
  RequireServerRole(ctx.session, {"sysadmin"});
  StatementScope scope(ctx.session);
  DatabasePrincipals principals(ctx.session.Db(), "main");
  if (const auto user = principals.FindBySid(l->sid); user && user->principal_id != kDboPrincipalId) {
    throw OwnerIsAlreadyAUser();
  }
  principals.SetOwner(l->sid);
  instance.SetDatabaseOwnerSid(database, l->sid);
  scope.Commit();
}

// Refreshes the optimizer's statistics of every table of the current
// database: SQLite's ANALYZE. The server's report of each table it visited
// is informational and does not reach the client here. Like the server it
// asks for sysadmin or the database's ownership; @resample is accepted.
void SpUpdateStats(Context& ctx, const std::vector<Argument>&) {
  RequireDatabaseRole(ctx.session, {});
  StatementScope scope(ctx.session);
  ctx.session.Db().Exec("ANALYZE main");
  scope.Commit();
}

struct ProcedureEntry {
  const char* name;
  Procedure run;
};

constexpr ProcedureEntry kProcedures[] = {
    {"sp_addsrvrolemember", SpAddSrvRoleMember},
    {"sp_dropsrvrolemember", SpDropSrvRoleMember},
    {"sp_addrolemember", SpAddRoleMember},
    {"sp_changedbowner", SpChangeDbOwner},
    {"sp_updatestats", SpUpdateStats},
};

void RunExec(Context& ctx, const Statement& s) {
  std::size_t i = s.implicit_exec ? s.begin : s.begin + 1;
  if (ctx.T(i).IsSymbol("(")) {
    // EXEC ('...'): the text, joined where "+" joins its pieces, runs as a batch of its own.
    const std::size_t close = Matching(ctx, i, s.end);
    std::string text;
    for (std::size_t k = i + 1; k < close; ++k) {
      if (ctx.T(k).kind == TokenKind::kString) {
        text += ctx.T(k).text;
      } else if (!ctx.T(k).IsSymbol("+")) {
        throw NotSupported("EXEC of an expression other than texts");
      }
    }
    RequireEnd(ctx, close + 1, s);
    BatchOutcome inner = RunBatch(ctx.session, text, {}, ctx.want_result && !ctx.outcome.result);
    if (inner.result) ctx.outcome.result = std::move(inner.result);
    if (inner.rows_affected >= 0) SetRowsAffected(ctx, inner.rows_affected);
    return;
  }
  if (ctx.T(i).kind == TokenKind::kWord && ctx.T(i).text[0] == '@') throw NotSupported("EXEC @variable");
  const ObjectName name = RequireName(ctx, i);
  const auto args = ReadArguments(ctx, name.end, s.end);
  // System procedures are found from any database and under any schema prefix.
  for (const auto& p : kProcedures) {
    if (platform::SameText(name.Object(), p.name)) return p.run(ctx, args);
  }
  throw ProcedureNotFound(name.Written());
}

void RunIf(Context& ctx, const Statement& s) {
  if (Condition(ctx, s.condition_begin, s.condition_end)) {
    Run(ctx, s.children[0]);
  } else if (s.has_else) {
    Run(ctx, s.children[1]);
  }
}

void RunWhile(Context& ctx, const Statement& s) {
  const std::size_t first_param = ctx.next_param;
  for (;;) {
    ctx.next_param = first_param;
    if (!Condition(ctx, s.condition_begin, s.condition_end)) break;
    Run(ctx, s.children[0]);
  }
}

void RunBlock(Context& ctx, const Statement& s) {
  for (const auto& child : s.children) Run(ctx, child);
}

void RunBeginTransaction(Context& ctx, const Statement&) { ctx.session.BeginTransaction(); }
void RunCommit(Context& ctx, const Statement&) { ctx.session.CommitTransaction(); }
void RunRollback(Context& ctx, const Statement&) { ctx.session.RollbackTransaction(); }
void RunPrint(Context& ctx, const Statement& s) { (void)ctx.TakeParams(s.begin, s.end); }

struct HandlerEntry {
  StatementKind kind;
  Handler run;
};

constexpr HandlerEntry kHandlers[] = {
    {StatementKind::kSelect, RunSelect},
    {StatementKind::kWith, RunSelect},
    {StatementKind::kInsert, RunInsert},
    {StatementKind::kUpdate, RunChange},
    {StatementKind::kDelete, RunChange},
    {StatementKind::kTruncate, RunTruncate},
    {StatementKind::kCreateTable, RunCreateTable},
    {StatementKind::kCreateDatabase, RunCreateDatabase},
    {StatementKind::kCreateLogin, RunCreateLogin},
    {StatementKind::kCreateUser, RunCreateUser},
    {StatementKind::kAlterDatabase, RunAlterDatabase},
    {StatementKind::kAlterTable, RunAlterTable},
    {StatementKind::kDropTable, RunDropTable},
    {StatementKind::kUse, RunUse},
    {StatementKind::kSet, RunSet},
    {StatementKind::kExec, RunExec},
    {StatementKind::kIf, RunIf},
    {StatementKind::kWhile, RunWhile},
    {StatementKind::kBlock, RunBlock},
    {StatementKind::kBeginTransaction, RunBeginTransaction},
    {StatementKind::kCommit, RunCommit},
    {StatementKind::kRollback, RunRollback},
    {StatementKind::kPrint, RunPrint},
};

void Dispatch(Context& ctx, const Statement& s) {
  for (const auto& h : kHandlers) {
    if (h.kind == s.kind) return h.run(ctx, s);
  }
  std::string words = platform::UpperAscii(ctx.T(s.begin).text);
  if (s.begin + 1 < s.end && ctx.T(s.begin + 1).kind == TokenKind::kWord) {
    words += " " + platform::UpperAscii(ctx.T(s.begin + 1).text);
  }
  throw NotSupported(words);
}

void Run(Context& ctx, const Statement& s) {
  const bool leaf = s.kind != StatementKind::kIf && s.kind != StatementKind::kWhile && s.kind != StatementKind::kBlock;
  try {
    Dispatch(ctx, s);
  } catch (const dac::DriverError& e) {
    if (!leaf || !e.Sql().empty()) throw;
    throw dac::DriverError(e.Records(), StatementText(ctx.batch, ctx.tokens, s));
  } catch (const SqliteError& e) {
    throw dac::DriverError(FromSqlite(e).Records(), StatementText(ctx.batch, ctx.tokens, s));
  }
}

std::vector<Token> TokenizeBatch(const std::string& batch) {
  try {
    return Tokenize(batch);
  } catch (const std::runtime_error& e) {
    const std::string message = e.what();
    if (message.find("comment") != std::string::npos) throw ServerError(113, "42000", "Missing end comment mark '*/'.");
    const auto at = message.rfind(' ');
    std::size_t offset = 0;
    std::from_chars(message.data() + at + 1, message.data() + message.size(), offset);
    const std::size_t start = std::min(batch.size(), offset + 1);
    throw ServerError(105, "42000", "Unclosed quotation mark after the character string '" + batch.substr(start) + "'.");
  }
}

}  // namespace

BatchOutcome RunBatch(Session& session, const std::string& batch, const std::vector<dac::Value>& params,
                      bool want_result) {
  BatchOutcome outcome;
  const std::vector<Token> tokens = TokenizeBatch(batch);
  const std::vector<Statement> statements = SplitBatch(tokens);
  Context ctx{session, batch, tokens, params, 0, want_result, outcome};
  for (const auto& s : statements) Run(ctx, s);
  return outcome;
}

}  // namespace embedded::sqlserver
