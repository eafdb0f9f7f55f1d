#include "drivers/embedded/oracle_commands.h"

#include <algorithm>
#include <optional>
#include <set>

#include "drivers/embedded/oracle_error.h"
#include "drivers/embedded/oracle_query.h"
#include "drivers/embedded/oracle_translate.h"
#include "platform/text.h"

namespace embedded {
namespace {

[[noreturn]] void Invalid() { throw OracleError(900, "invalid SQL statement"); }
[[noreturn]] void InsufficientPrivileges() { throw OracleError(1031, "insufficient privileges"); }

bool IsName(const Token& t) { return t.kind == TokenKind::kWord || t.kind == TokenKind::kQuotedName; }

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, const std::string& sql) : t_(tokens), sql_(sql) {}

  const Token& Peek(std::size_t k = 0) const { return t_[std::min(i_ + k, t_.size() - 1)]; }
  const Token& Next() {
    const Token& t = Peek();
    if (i_ < t_.size() - 1) ++i_;
    return t;
  }
  bool Accept(std::string_view word) {
    if (!Peek().Is(word)) return false;
    ++i_;
    return true;
  }
  bool AcceptSymbol(std::string_view symbol) {
    if (!Peek().IsSymbol(symbol)) return false;
    ++i_;
    return true;
  }
  void Expect(std::string_view word) {
    if (!Accept(word)) Invalid();
  }
  void ExpectSymbol(std::string_view symbol) {
    if (AcceptSymbol(symbol)) return;
    if (symbol == "(") throw OracleError(906, "missing left parenthesis");
    if (symbol == ")") throw OracleError(907, "missing right parenthesis");
    Invalid();
  }
  bool AtEnd() const { return Peek().kind == TokenKind::kEnd; }
  std::string Name(int code = 904, const char* text = "invalid identifier") {
    if (!IsName(Peek())) throw OracleError(code, code == 904 ? "\"" + Peek().text + "\": " + text : text);
    return OracleName(Next());
  }
  TableName Qualified(int code = 903, const char* text = "invalid table name") {
    TableName n;
    n.name = Name(code, text);
    if (Peek().IsSymbol(".") && IsName(Peek(1))) {
      Next();
      n.schema = std::move(n.name);
      n.name = Name(code, text);
    }
    return n;
  }
  // Skips to the token after the ")" that closes the "(" just read.
  void SkipParenthesised() {
    int depth = 1;
    while (depth > 0 && !AtEnd()) {
      const Token& t = Next();
      if (t.IsSymbol("(")) ++depth;
      if (t.IsSymbol(")")) --depth;
    }
  }
  // Skips a clause up to the next "," or ")" at this depth (not consumed).
  void SkipClause() {
    while (!AtEnd() && !Peek().IsSymbol(",") && !Peek().IsSymbol(")")) {
      if (Next().IsSymbol("(")) SkipParenthesised();
    }
  }
  std::vector<std::string> NameList() {
    ExpectSymbol("(");
    std::vector<std::string> names;
    do {
      names.push_back(Name());
    } while (AcceptSymbol(","));
    ExpectSymbol(")");
    return names;
  }
  // The rest of the statement's text from the current token on.
  std::string_view Rest() const { return std::string_view(sql_).substr(Peek().begin); }
  OracleType Type() { return ParseOracleType(t_, i_); }
  const std::string& Sql() const { return sql_; }

 private:
  const std::vector<Token>& t_;
  const std::string& sql_;
  std::size_t i_ = 0;
};

void Run(OracleSession& s, const std::string& sql) {
  try {
    s.Db().Exec(sql);
  } catch (const SqliteError& e) {
    throw s.Error(e, sql);
  }
}

std::int64_t CountOf(OracleSession& s, const std::string& sqlite_name) {
  auto st = s.Db().Prepare("SELECT COUNT(*) FROM " + sqlite_name);
  st.Step();
  return st.ColumnInt(0);
}

void RequireAdministrator(OracleSession& s) {
  if (!s.MayAdminister()) InsufficientPrivileges();
}

void RequireUser(OracleSession& s, const std::string& name) {
  if (!s.Dictionary().FindUser(name)) throw OracleError(1918, "user '" + name + "' does not exist");
}

// An object's name must be free in its schema, and (SQLite names being
// without regard to case) its SQLite name must be free too.
void RequireFreeName(OracleSession& s, const std::string& owner, const std::string& name) {
  auto st = s.Db().Prepare("SELECT 1 FROM sqlite_master WHERE name = ? COLLATE NOCASE");
  st.BindAll({owner + "." + name});
  if (s.Dictionary().Find(owner, name) || st.Step()) {
    throw OracleError(955, "name is already used by an existing object");
  }
}

std::string Quoted(const std::string& name) { return QuoteSqliteName(name); }

std::string JoinQuoted(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ", ";
    out += Quoted(n);
  }
  return out;
}

std::string Password(Parser& p) {
  const Token& t = p.Next();
  if (t.kind == TokenKind::kEnd || t.kind == TokenKind::kSymbol)
    throw OracleError(988, "missing or invalid password(s)");
  return t.text;  // passwords are compared as written
}

// --- users, roles, grants ----------------------------------------------------

std::int64_t CreateUser(OracleSession& s, Parser& p) {
  RequireAdministrator(s);
  const std::string name = p.Name(922, "missing or invalid option");
  p.Expect("IDENTIFIED");
  p.Expect("BY");
  const std::string password = Password(p);
  // DEFAULT TABLESPACE, QUOTA, PROFILE, ACCOUNT ... change nothing here.
  if (s.Dictionary().FindUser(name) || s.Dictionary().RoleExists(name)) {
    throw OracleError(1920, "user name '" + name + "' conflicts with another user or role name");
  }
  s.Dictionary().AddUser(name, password);
  return 0;
}

std::int64_t AlterUser(OracleSession& s, Parser& p) {
  const std::string name = p.Name(922, "missing or invalid option");
  if (name != s.User()) RequireAdministrator(s);
  RequireUser(s, name);
  if (p.Accept("IDENTIFIED")) {
    p.Expect("BY");
    s.Dictionary().SetPassword(name, Password(p));
  }
  return 0;
}

std::int64_t CreateRole(OracleSession& s, Parser& p) {
  RequireAdministrator(s);
  const std::string name = p.Name(922, "missing or invalid option");
  if (s.Dictionary().FindUser(name) || s.Dictionary().RoleExists(name)) {
    throw OracleError(1921, "role name '" + name + "' conflicts with another user or role name");
  }
  s.Dictionary().AddRole(name);
  return 0;
}

// GRANT and REVOKE: "items [ON object] TO|FROM grantees [WITH ADMIN OPTION]".
std::int64_t GrantOrRevoke(OracleSession& s, Parser& p, bool grant) {
  RequireAdministrator(s);
  std::vector<std::vector<std::string>> items;
  items.emplace_back();
  bool on_object = false;
  while (!p.AtEnd() && !p.Peek().Is(grant ? "TO" : "FROM")) {
    const Token& t = p.Next();
    if (t.IsSymbol(",")) {
      items.emplace_back();
    } else if (t.Is("ON")) {
      on_object = true;
    } else if (!on_object && t.kind != TokenKind::kSymbol) {
      items.back().push_back(OracleName(t));
    }
  }
  if (!p.Accept(grant ? "TO" : "FROM")) Invalid();
  std::vector<std::string> grantees;
  do {
    grantees.push_back(p.Name(987, "missing or invalid username(s)"));
  } while (p.AcceptSymbol(","));
  const bool admin = p.Accept("WITH") && p.Accept("ADMIN");
  if (on_object) return 0;  // object privileges are not enforced

  for (const auto& g : grantees) {
    if (g != "PUBLIC" && !s.Dictionary().FindUser(g) && !s.Dictionary().RoleExists(g)) {
      throw OracleError(1917, "user or role '" + g + "' does not exist");
    }
  }
  for (const auto& item : items) {
    if (item.size() != 1) continue;  // a system privilege such as CREATE SESSION: not enforced
    const std::string& what = item[0];
    if (what == "SYSDBA") {
      for (const auto& g : grantees) s.Dictionary().SetSysDba(g, grant);
      continue;
    }
    if (what == "SYSOPER") continue;
    if (!s.Dictionary().RoleExists(what)) throw OracleError(1919, "role '" + what + "' does not exist");
    for (const auto& g : grantees) {
      if (g == "PUBLIC") continue;
      if (grant) {
        s.Dictionary().GrantRole(g, what, admin);
      } else {
        if (!s.Dictionary().HasRole(g, what)) {
          throw OracleError(1951, "ROLE '" + what + "' not granted to '" + g + "'");
        }
        s.Dictionary().RevokeRole(g, what);
      }
    }
  }
  return 0;
}

// --- tables --------------------------------------------------------------------

struct ColumnDefinition {
  CatalogueColumn column;
  std::string sqlite_default;  // the DEFAULT as SQLite evaluates it
};

struct TableConstraint {
  std::string name;
  char type;  // 'P' or 'U'
  std::vector<std::string> columns;
};

// The DEFAULT clause: Oracle keeps its text as written, up to the next
// clause, blanks and line breaks included.
void ReadDefault(Parser& p, ColumnDefinition& d) {
  const std::size_t begin = p.Peek().begin;
  int depth = 0;
  bool first = true;
  while (!p.AtEnd()) {
    const Token& t = p.Peek();
    if (depth == 0 && !first &&
        (t.IsSymbol(",") || t.IsSymbol(")") || t.Is("NOT") || t.Is("NULL") || t.Is("CONSTRAINT") || t.Is("PRIMARY") ||
         t.Is("UNIQUE") || t.Is("CHECK") || t.Is("REFERENCES") || t.Is("ENABLE") || t.Is("DISABLE"))) {
      break;
    }
    if (depth == 0 && first && (t.IsSymbol(",") || t.IsSymbol(")"))) throw OracleError(936, "missing expression");
    if (t.IsSymbol("(")) ++depth;
    if (t.IsSymbol(")")) --depth;
    p.Next();
    first = false;
  }
  const std::size_t end = p.Peek().kind == TokenKind::kEnd ? p.Sql().size() : p.Peek().begin;
  d.column.data_default = p.Sql().substr(begin, end - begin);
  d.sqlite_default = TranslateExpression(platform::Trim(d.column.data_default));
}

// Column constraints after the type and default: NOT NULL, NULL, PRIMARY KEY,
// UNIQUE (kept); CHECK and REFERENCES (accepted, not enforced).
void ReadColumnConstraints(OracleSession& s, Parser& p, ColumnDefinition& d,
                           std::vector<TableConstraint>& constraints) {
  while (!p.AtEnd() && !p.Peek().IsSymbol(",") && !p.Peek().IsSymbol(")")) {
    std::string name;
    if (p.Accept("CONSTRAINT")) name = p.Name();
    if (p.Accept("NOT")) {
      p.Expect("NULL");
      d.column.nullable = false;
    } else if (p.Accept("NULL")) {
      d.column.nullable = true;
    } else if (p.Accept("PRIMARY")) {
      p.Expect("KEY");
      d.column.nullable = false;
      constraints.push_back({name.empty() ? s.Dictionary().NewConstraintName() : name, 'P', {d.column.name}});
    } else if (p.Accept("UNIQUE")) {
      constraints.push_back({name.empty() ? s.Dictionary().NewConstraintName() : name, 'U', {d.column.name}});
    } else if (p.Accept("CHECK")) {
      p.ExpectSymbol("(");
      p.SkipParenthesised();
    } else if (p.Accept("REFERENCES")) {
      p.Qualified();
      if (p.AcceptSymbol("(")) p.SkipParenthesised();
      if (p.Accept("ON")) {
        p.Expect("DELETE");
        if (!p.Accept("CASCADE")) {
          p.Expect("SET");
          p.Expect("NULL");
        }
      }
    } else if (p.Accept("DEFAULT")) {
      ReadDefault(p, d);
    } else if (p.Accept("ENABLE") || p.Accept("DISABLE") || p.Accept("VISIBLE") || p.Accept("INVISIBLE") ||
               p.Accept("SORT") || p.Accept("NOVALIDATE") || p.Accept("VALIDATE")) {
    } else {
      throw OracleError(907, "missing right parenthesis");
    }
  }
}

void ReadTableConstraint(OracleSession& s, Parser& p, std::vector<TableConstraint>& constraints) {
  std::string name;
  if (p.Accept("CONSTRAINT")) name = p.Name();
  if (p.Accept("PRIMARY")) {
    p.Expect("KEY");
    constraints.push_back({name.empty() ? s.Dictionary().NewConstraintName() : name, 'P', p.NameList()});
  } else if (p.Accept("UNIQUE")) {
    constraints.push_back({name.empty() ? s.Dictionary().NewConstraintName() : name, 'U', p.NameList()});
  } else if (!p.Accept("CHECK") && !p.Accept("FOREIGN")) {
    Invalid();
  }
  p.SkipClause();  // USING INDEX ..., REFERENCES ..., the CHECK's condition
}

void AddConstraints(OracleSession& s, const std::string& owner, const std::string& table,
                    const std::vector<TableConstraint>& constraints) {
  for (const auto& c : constraints) s.Dictionary().AddConstraint(owner, c.name, table, c.type, c.columns);
}

std::string SqliteColumn(const CatalogueColumn& c, const std::string& sqlite_default) {
  std::string out = Quoted(c.name) + " " + SqliteDeclaredType(c.type, c.nullable);
  if (!c.nullable) out += " NOT NULL";
  if (!sqlite_default.empty()) out += " DEFAULT (" + sqlite_default + ")";
  return out;
}

// The columns of a query's result, as a CREATE TABLE ... AS SELECT makes them.
std::vector<CatalogueColumn> ColumnsOfQuery(OracleSession& s, const TranslatedSql& select, const std::string& sql) {
  OracleQuery q(s, select, {}, sql);
  std::vector<CatalogueColumn> columns;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < q.Columns().size(); ++i) {
    const dac::Column& c = q.Columns()[i];
    if (!seen.insert(c.name).second) throw OracleError(957, "duplicate column name");
    CatalogueColumn col;
    col.name = c.name;
    col.nullable = c.nullable;
    if (q.TypeOf(i)) {
      col.type = *q.TypeOf(i);
    } else if (c.type == dac::FieldType::ftLargeint || c.type == dac::FieldType::ftFMTBcd) {
      col.type = OracleType::Of(OracleTypeKind::kNumber);
    } else if (c.type == dac::FieldType::ftDateTime) {
      col.type = OracleType::Of(OracleTypeKind::kDate);
    } else if (c.type == dac::FieldType::ftBlob) {
      col.type = OracleType::Of(OracleTypeKind::kBlob);
    } else {
      col.type = OracleType::Of(OracleTypeKind::kVarchar2, 4000);
    }
    columns.push_back(std::move(col));
  }
  return columns;
}

// CREATE TABLE ... AS SELECT and the container of a materialized view: the
// rows pass through SQLite as they are stored, so nothing is converted twice.
std::int64_t CreateTableAsSelect(OracleSession& s, const std::string& owner, const std::string& name,
                                 std::string_view select_text, bool temporary, bool mview, const std::string& sql) {
  const TranslatedSql select = s.Translate(select_text);
  if (select.kind != StatementKind::kSelect) throw OracleError(928, "missing SELECT keyword");
  CatalogueObject table{owner, name,  SqliteObjectName(owner, name), ObjectKind::kTable, temporary,
                        mview, false, ColumnsOfQuery(s, select, sql)};
  std::string create = "CREATE TABLE " + table.sqlite_name + " (";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    create += (i ? ", " : "") + SqliteColumn(table.columns[i], {});
  }
  Run(s, create + ")");
  Run(s, "INSERT INTO " + table.sqlite_name + " " + select.text);
  const std::int64_t rows = s.Db().Changes();
  s.Dictionary().AddObject(table, mview ? std::string(select_text) : std::string());
  return rows;
}

std::int64_t CreateTable(OracleSession& s, Parser& p, bool temporary) {
  const TableName n = p.Qualified();
  const std::string owner = n.schema.value_or(s.CurrentSchema());
  RequireUser(s, owner);
  RequireFreeName(s, owner, n.name);
  if (p.Accept("AS")) return CreateTableAsSelect(s, owner, n.name, p.Rest(), temporary, false, p.Sql());

  p.ExpectSymbol("(");
  std::vector<ColumnDefinition> columns;
  std::vector<TableConstraint> constraints;
  do {
    const Token& t = p.Peek();
    if (t.Is("CONSTRAINT") || t.Is("PRIMARY") || t.Is("UNIQUE") || t.Is("CHECK") || t.Is("FOREIGN")) {
      ReadTableConstraint(s, p, constraints);
      continue;
    }
    ColumnDefinition d;
    d.column.name = p.Name();
    for (const auto& c : columns) {
      if (c.column.name == d.column.name) throw OracleError(957, "duplicate column name");
    }
    d.column.type = p.Type();
    ReadColumnConstraints(s, p, d, constraints);
    columns.push_back(std::move(d));
  } while (p.AcceptSymbol(","));
  p.ExpectSymbol(")");
  // ON COMMIT ... ROWS, TABLESPACE, STORAGE (...) and the like change nothing here.

  if (columns.empty()) throw OracleError(904, "\"\": invalid identifier");
  for (const auto& c : constraints) {
    for (const auto& name : c.columns) {
      auto it = std::find_if(columns.begin(), columns.end(), [&](const auto& d) { return d.column.name == name; });
      if (it == columns.end()) throw OracleError(904, "\"" + name + "\": invalid identifier");
      if (c.type == 'P') it->column.nullable = false;
    }
  }
  CatalogueObject table{owner, n.name, SqliteObjectName(owner, n.name), ObjectKind::kTable, temporary, false,
                        false, {}};
  std::string create = "CREATE TABLE " + table.sqlite_name + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    create += (i ? ", " : "") + SqliteColumn(columns[i].column, columns[i].sqlite_default);
    table.columns.push_back(columns[i].column);
  }
  for (const auto& c : constraints) {
    create += std::string(c.type == 'P' ? ", PRIMARY KEY (" : ", UNIQUE (") + JoinQuoted(c.columns) + ")";
  }
  Run(s, create + ")");
  s.Dictionary().AddObject(table);
  AddConstraints(s, owner, n.name, constraints);
  return 0;
}

// CREATE MATERIALIZED VIEW name [build and refresh options] AS select
std::int64_t CreateMaterializedView(OracleSession& s, Parser& p) {
  const TableName n = p.Qualified();
  const std::string owner = n.schema.value_or(s.CurrentSchema());
  RequireUser(s, owner);
  RequireFreeName(s, owner, n.name);
  while (!p.AtEnd() && !p.Peek().Is("AS")) {
    if (p.Next().IsSymbol("(")) p.SkipParenthesised();
  }
  if (!p.Accept("AS")) throw OracleError(905, "missing keyword");
  return CreateTableAsSelect(s, owner, n.name, p.Rest(), false, true, p.Sql());
}

// CREATE [OR REPLACE] [[NO]FORCE] VIEW name [(columns)] AS select
std::int64_t CreateView(OracleSession& s, Parser& p, bool replace) {
  const TableName n = p.Qualified();
  const std::string owner = n.schema.value_or(s.CurrentSchema());
  RequireUser(s, owner);
  if (replace) {
    if (auto old = s.Dictionary().Find(owner, n.name); old && old->kind == ObjectKind::kView) {
      Run(s, "DROP VIEW " + old->sqlite_name);
      s.Dictionary().DropObject(owner, n.name);
    }
  }
  RequireFreeName(s, owner, n.name);
  std::vector<std::string> names;
  if (p.Peek().IsSymbol("(")) names = p.NameList();
  p.Expect("AS");
  std::string_view select_text = p.Rest();
  // WITH READ ONLY and WITH CHECK OPTION end the text of a view.
  for (std::size_t k = 0; p.Peek(k).kind != TokenKind::kEnd; ++k) {
    if (p.Peek(k).Is("WITH") && (p.Peek(k + 1).Is("READ") || p.Peek(k + 1).Is("CHECK"))) {
      select_text = select_text.substr(0, p.Peek(k).begin - p.Peek().begin);
      break;
    }
  }
  const TranslatedSql select = s.Translate(select_text);
  if (select.kind != StatementKind::kSelect) throw OracleError(928, "missing SELECT keyword");
  const std::string sqlite_name = SqliteObjectName(owner, n.name);
  Run(s, "CREATE VIEW " + sqlite_name + (names.empty() ? "" : " (" + JoinQuoted(names) + ")") + " AS " + select.text);
  CatalogueObject view{owner, n.name, sqlite_name, ObjectKind::kView, false, false, false, {}};
  // The view's columns are named as its query names them.
  TranslatedSql all = select;
  all.text = "SELECT * FROM " + sqlite_name;
  for (const auto& name : names) all.quoted_names.push_back(name);
  try {
    view.columns = ColumnsOfQuery(s, all, p.Sql());
  } catch (...) {
    Run(s, "DROP VIEW " + sqlite_name);
    throw;
  }
  s.Dictionary().AddObject(view, std::string(platform::Trim(select_text)));
  return 0;
}

// CREATE [UNIQUE] INDEX name ON table (column [ASC|DESC], ...)
std::int64_t CreateIndex(OracleSession& s, Parser& p, bool unique) {
  const TableName index = p.Qualified(953, "invalid index name");
  p.Expect("ON");
  const TableName table_name = p.Qualified();
  auto table = s.Resolve(table_name);
  if (table->kind != ObjectKind::kTable) throw OracleError(1702, "a view is not appropriate here");
  const std::string owner = index.schema.value_or(table->owner);
  RequireFreeName(s, owner, index.name);
  p.ExpectSymbol("(");
  std::vector<std::string> columns;
  std::string list;
  do {
    if (!IsName(p.Peek()) ||
        !(p.Peek(1).IsSymbol(",") || p.Peek(1).IsSymbol(")") || p.Peek(1).Is("ASC") || p.Peek(1).Is("DESC"))) {
      return 0;  // an index on expressions only speeds queries up: the stand-in goes without
    }
    columns.push_back(p.Name());
    if (!table->FindColumn(columns.back())) throw OracleError(904, "\"" + columns.back() + "\": invalid identifier");
    list += (list.empty() ? "" : ", ") + Quoted(columns.back());
    if (p.Accept("DESC")) {
      list += " DESC";
    } else {
      p.Accept("ASC");
    }
  } while (p.AcceptSymbol(","));
  p.ExpectSymbol(")");
  Run(s, std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " + SqliteObjectName(owner, index.name) + " ON " +
             table->sqlite_name + " (" + list + ")");
  if (unique) s.Dictionary().AddConstraint(table->owner, index.name, table->name, 'I', columns);
  return 0;
}

// ALTER TABLE t ADD [CONSTRAINT n] PRIMARY KEY|UNIQUE (columns): a unique
// index; other constraints are accepted and not enforced.
std::int64_t AlterTable(OracleSession& s, Parser& p) {
  auto table = s.Resolve(p.Qualified());
  if (!p.Accept("ADD")) Invalid();
  std::vector<TableConstraint> constraints;
  ReadTableConstraint(s, p, constraints);
  for (const auto& c : constraints) {
    for (const auto& column : c.columns) {
      if (!table->FindColumn(column)) throw OracleError(904, "\"" + column + "\": invalid identifier");
    }
    Run(s, "CREATE UNIQUE INDEX " + SqliteObjectName(table->owner, c.name) + " ON " + table->sqlite_name + " (" +
               JoinQuoted(c.columns) + ")");
  }
  AddConstraints(s, table->owner, table->name, constraints);
  return 0;
}

void DropObject(OracleSession& s, const CatalogueObject& o) {
  Run(s, std::string(o.kind == ObjectKind::kView ? "DROP VIEW " : "DROP TABLE ") + o.sqlite_name);
  s.Dictionary().DropObject(o.owner, o.name);
}

std::int64_t Drop(OracleSession& s, Parser& p) {
  if (p.Accept("USER")) {
    RequireAdministrator(s);
    const std::string name = p.Name(987, "missing or invalid username(s)");
    RequireUser(s, name);
    if (name == "SYS" || name == "SYSTEM" || name == s.User())
      throw OracleError(1940, "cannot drop a user that is currently connected");
    const bool cascade = p.Accept("CASCADE");
    const auto objects = s.Dictionary().ObjectsOf(name);
    if (!objects.empty() && !cascade) throw OracleError(1922, "CASCADE must be specified to drop '" + name + "'");
    for (const auto& o : objects) {
      if (auto object = s.Dictionary().Find(name, o)) DropObject(s, *object);
    }
    s.Dictionary().DropUser(name);
    return 0;
  }
  if (p.Accept("ROLE")) {
    RequireAdministrator(s);
    const std::string name = p.Name();
    if (!s.Dictionary().RoleExists(name)) throw OracleError(1919, "role '" + name + "' does not exist");
    s.Dictionary().DropRole(name);
    return 0;
  }
  if (p.Accept("INDEX")) {
    const TableName n = p.Qualified(953, "invalid index name");
    const std::string owner = n.schema.value_or(s.CurrentSchema());
    {
      auto st = s.Db().Prepare("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?");
      st.BindAll({owner + "." + n.name});
      if (!st.Step()) throw OracleError(1418, "specified index does not exist");
    }
    Run(s, "DROP INDEX " + SqliteObjectName(owner, n.name));
    auto forget = s.Db().Prepare("DELETE FROM \"ORA$CONSTRAINTS\" WHERE OWNER = ? AND CONSTRAINT_NAME = ?");
    forget.BindAll({owner, n.name});
    forget.Step();
    return 0;
  }
  const bool mview = p.Accept("MATERIALIZED");
  const bool view = p.Accept("VIEW");
  if (!mview && !view && !p.Accept("TABLE")) Invalid();
  const TableName n = p.Qualified();
  auto object = s.Dictionary().Find(n.schema.value_or(s.CurrentSchema()), n.name);
  const bool wanted = object && (mview  ? object->mview
                                 : view ? object->kind == ObjectKind::kView
                                        : object->kind == ObjectKind::kTable);
  if (!wanted) {
    if (mview)
      throw OracleError(12003, "materialized view \"" + n.schema.value_or(s.CurrentSchema()) + "\".\"" + n.name +
                                   "\" does not exist");
    throw OracleError(942, "table or view does not exist");
  }
  if (!mview && object->mview) {
    throw OracleError(12083,
                      "must use DROP MATERIALIZED VIEW to drop \"" + object->owner + "\".\"" + object->name + "\"");
  }
  DropObject(s, *object);
  return 0;
}

std::int64_t Analyze(OracleSession& s, Parser& p) {
  if (!p.Accept("TABLE")) Invalid();
  auto table = s.Resolve(p.Qualified());
  if (table->kind != ObjectKind::kTable) throw OracleError(942, "table or view does not exist");
  if (p.Accept("DELETE")) {
    s.Dictionary().SetStatistics(table->owner, table->name, std::nullopt);
  } else if (p.Accept("COMPUTE") || p.Accept("ESTIMATE")) {
    s.Dictionary().SetStatistics(table->owner, table->name, CountOf(s, table->sqlite_name));
  } else {
    Invalid();
  }
  return 0;
}

}  // namespace

std::int64_t ExecuteOracleCommand(OracleSession& s, const std::vector<Token>& tokens, const std::string& sql) {
  Parser p(tokens, sql);
  if (p.AtEnd()) return 0;
  if (p.Accept("CREATE")) {
    bool replace = false;
    if (p.Accept("OR")) {
      p.Expect("REPLACE");
      replace = true;
    }
    if (!p.Accept("NOFORCE")) p.Accept("FORCE");
    if (!p.Accept("EDITIONABLE")) p.Accept("NONEDITIONABLE");
    if (p.Accept("USER")) return CreateUser(s, p);
    if (p.Accept("ROLE")) return CreateRole(s, p);
    if (p.Accept("TABLE")) return CreateTable(s, p, false);
    if (p.Accept("GLOBAL")) {
      p.Expect("TEMPORARY");
      p.Expect("TABLE");
      return CreateTable(s, p, true);
    }
    if (p.Accept("VIEW")) return CreateView(s, p, replace);
    if (p.Accept("MATERIALIZED")) {
      p.Expect("VIEW");
      return CreateMaterializedView(s, p);
    }
    if (p.Accept("UNIQUE")) {
      p.Expect("INDEX");
      return CreateIndex(s, p, true);
    }
    if (p.Accept("INDEX")) return CreateIndex(s, p, false);
    Invalid();
  }
  if (p.Accept("DROP")) return Drop(s, p);
  if (p.Accept("GRANT")) return GrantOrRevoke(s, p, true);
  if (p.Accept("REVOKE")) return GrantOrRevoke(s, p, false);
  if (p.Accept("ANALYZE")) return Analyze(s, p);
  if (p.Accept("ALTER")) {
    if (p.Accept("SESSION")) {
      p.Expect("SET");
      if (p.Accept("CURRENT_SCHEMA")) {
        p.ExpectSymbol("=");
        const std::string schema = p.Name();
        if (!s.Dictionary().FindUser(schema)) throw OracleError(1435, "user does not exist");
        s.SetCurrentSchema(schema);
      }
      return 0;  // NLS settings and the like: the stand-in keeps its own
    }
    if (p.Accept("USER")) return AlterUser(s, p);
    if (p.Accept("TABLE")) return AlterTable(s, p);
    Invalid();
  }
  if (p.Accept("TRUNCATE")) {
    p.Expect("TABLE");
    auto table = s.Resolve(p.Qualified());
    if (table->kind != ObjectKind::kTable) throw OracleError(942, "table or view does not exist");
    Run(s, "DELETE FROM " + table->sqlite_name);
    return 0;
  }
  if (p.Accept("COMMENT")) return 0;
  if (p.Accept("COMMIT")) {
    s.Commit();
    return 0;
  }
  if (p.Accept("ROLLBACK")) {
    s.Rollback();
    return 0;
  }
  if (p.Accept("SET") && p.Accept("TRANSACTION")) return 0;
  Invalid();
}

}  // namespace embedded
