#include "drivers/embedded/sqlserver_translate.h"

#include <array>

#include "drivers/embedded/sqlite_db.h"
#include "drivers/embedded/sqlserver_errors.h"
#include "platform/text.h"

namespace embedded::sqlserver {
namespace {

// The sys views that live in master; every other sys view is per database.
constexpr std::array kServerViews = {"databases",           "sql_logins", "server_principals",
                                     "server_role_members", "master_files", "syslogins",
                                     "sysdatabases"};

constexpr std::array kTableHints = {"nolock",   "readuncommitted", "readcommitted", "rowlock",   "tablock",
                                    "tablockx", "updlock",         "holdlock",      "paglock",   "xlock",
                                    "index",    "noexpand",        "serializable",  "repeatableread",
                                    "readpast", "forceseek"};

// Words that end a select list.
constexpr std::array kSelectListEnd = {"from", "into",   "where", "group", "having", "order",
                                       "union", "except", "intersect", "option", "for"};

bool IsOneOf(const Token& t, const auto& words) {
  for (const char* w : words) {
    if (t.Is(w)) return true;
  }
  return false;
}

bool IsNamePart(const Token& t) {
  return t.kind == TokenKind::kQuotedName || (t.kind == TokenKind::kWord && t.text[0] != '@');
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

// The type a function's result has on a server, for the forms a select list
// commonly holds.
std::optional<SqlType> FunctionResultType(const Token& name) {
  struct Entry {
    const char* function;
    const char* type;
  };
  static constexpr Entry kTypes[] = {
      {"count", "int"},          {"count_big", "bigint"},       {"getdate", "datetime"},
      {"getutcdate", "datetime"}, {"sysdatetime", "datetime2"},   {"len", "int"},
      {"datalength", "int"},      {"charindex", "int"},          {"db_name", "nvarchar(128)"},
      {"suser_sname", "nvarchar(128)"}, {"suser_name", "nvarchar(128)"}, {"user_name", "nvarchar(128)"},
      {"object_id", "int"},       {"db_id", "smallint"},         {"newid", "uniqueidentifier"},
      {"datepart", "int"},        {"suser_sid", "varbinary(85)"},
  };
  for (const Entry& e : kTypes) {
    if (name.Is(e.function)) return SqlType::Parse(e.type);
  }
  return std::nullopt;
}

// The name SQLite knows a sys view by: "sys.tables".
std::string SysViewName(const std::string& view) { return "sys." + Lower(view); }

// What a reference to the sys view `view` of the database in SQLite schema
// `schema` becomes. sys.partitions reports each table's row count as of the
// query, which a view stored in the database cannot reach for the schema it
// lives in, so it is a derived table over that schema's catalogue. Every
// table here is a heap of one partition: index 0, partition 1.
std::string SysViewRef(const std::string& schema, const std::string& view) {
  if (platform::SameText(view, "partitions")) {
    return "(SELECT object_id AS partition_id, object_id, 0 AS index_id, 1 AS partition_number, object_id AS hobt_id, "
           "tsql_table_rows(" + QuoteSqlString(schema) + ", name) AS \"rows\", 0 AS data_compression, "
           "'NONE' COLLATE tsql_ci AS data_compression_desc FROM " + schema + ".__tsql_tables)";
  }
  return schema + "." + QuoteSqliteName(SysViewName(view));
}

class Translator {
 public:
  Translator(const std::vector<Token>& tokens, TranslationScope& scope) : t_(tokens), scope_(scope) {}

  Translation Run(std::size_t b, std::size_t e) {
    // T-SQL lets DELETE go without FROM.
    if (b + 1 < e && t_[b].Is("delete") && !t_[b + 1].Is("from") && !t_[b + 1].Is("top")) {
      Emit("DELETE FROM");
      Range(b + 1, e);
    } else {
      Range(b, e);
    }
    FlushLimits(0);
    result_.sql = std::move(out_);
    return std::move(result_);
  }

 private:
  struct PendingLimit {
    int depth;
    std::string count;
  };

  void Emit(const std::string& s) {
    if (!out_.empty()) out_ += ' ';
    out_ += s;
  }

  std::string Capture(std::size_t b, std::size_t e) {
    std::string saved = std::move(out_);
    out_.clear();
    Range(b, e);
    std::string captured = std::move(out_);
    out_ = std::move(saved);
    return captured;
  }

  void Range(std::size_t b, std::size_t e) {
    for (std::size_t i = b; i < e;) i = One(i, e);
  }

  std::size_t Matching(std::size_t open, std::size_t e) const {
    int depth = 0;
    for (std::size_t i = open; i < e; ++i) {
      if (t_[i].IsSymbol("(")) ++depth;
      if (t_[i].IsSymbol(")") && --depth == 0) return i;
    }
    throw IncorrectSyntaxAtEnd();
  }

  // Index of the first "," at the call's own level in (open, close), or close.
  std::size_t NextComma(std::size_t from, std::size_t close) const {
    int depth = 0;
    for (std::size_t i = from; i < close; ++i) {
      if (t_[i].IsSymbol("(")) ++depth;
      if (t_[i].IsSymbol(")")) --depth;
      if (depth == 0 && t_[i].IsSymbol(",")) return i;
    }
    return close;
  }

  void FlushLimits(int depth) {
    while (!limits_.empty() && limits_.back().depth >= depth) {
      Emit("LIMIT " + limits_.back().count);
      limits_.pop_back();
    }
  }

  std::size_t One(std::size_t i, std::size_t e) {
    const Token& t = t_[i];
    switch (t.kind) {
      case TokenKind::kString:
        Emit(QuoteSqlString(t.text));
        return i + 1;
      case TokenKind::kNumber:
        // 0x1F arrives as the number 0 and the word x1F.
        if (t.text == "0" && i + 1 < e && t_[i + 1].kind == TokenKind::kWord && t_[i + 1].begin == t.end &&
            (t_[i + 1].text[0] == 'x' || t_[i + 1].text[0] == 'X')) {
          std::string hex = t_[i + 1].text.substr(1);
          if (hex.size() % 2) hex.insert(0, "0");
          Emit("X'" + hex + "'");
          return i + 2;
        }
        Emit(t.text);
        return i + 1;
      case TokenKind::kParameter:
        if (t.text != "?") throw IncorrectSyntax(t.text);
        Emit("?");
        ++result_.parameters;
        return i + 1;
      case TokenKind::kSymbol:
        return Symbol(i, e);
      case TokenKind::kWord:
      case TokenKind::kQuotedName:
        return Word(i, e);
      case TokenKind::kEnd:
        return e;
    }
    return i + 1;
  }

  std::size_t Symbol(std::size_t i, std::size_t e) {
    const Token& t = t_[i];
    if (t.IsSymbol("(")) {
      // A table hint written without WITH: T (nolock).
      if (i + 2 < e && IsOneOf(t_[i + 1], kTableHints) && t_[i + 2].IsSymbol(")")) return i + 3;
      ++depth_;
      Emit("(");
      return i + 1;
    }
    if (t.IsSymbol(")")) {
      FlushLimits(depth_);
      --depth_;
      Emit(")");
      return i + 1;
    }
    if (t.IsSymbol("+")) {
      // "+" joins texts in T-SQL; SQLite adds numbers. Where a text literal
      // stands beside it the meaning is certain.
      const bool text = (i > 0 && t_[i - 1].kind == TokenKind::kString) ||
                        (i + 1 < e && t_[i + 1].kind == TokenKind::kString);
      Emit(text ? "||" : "+");
      return i + 1;
    }
    Emit(t.text);
    return i + 1;
  }

  std::size_t Word(std::size_t i, std::size_t e) {
    const Token& t = t_[i];
    if (t.kind == TokenKind::kWord) {
      if (t.text.rfind("@@", 0) == 0) {
        Emit(scope_.GlobalVariable(t.text.substr(2)));
        return i + 1;
      }
      if (t.text[0] == '@') {
        Emit(scope_.LocalVariable(t.text.substr(1)));
        return i + 1;
      }
      const bool call = i + 1 < e && t_[i + 1].IsSymbol("(");
      if (call) {
        if (t.Is("convert")) return Convert(i, e);
        if (t.Is("cast")) return Cast(i, e);
        if (t.Is("datepart")) return DatePart(i, e);
        if (t.Is("isnull")) {
          Emit("ifnull");
        } else if (t.Is("left") || t.Is("right")) {
          Emit("tsql_" + Lower(t.text));
        } else if (t.Is("count_big")) {
          Emit("count");
        } else {
          Emit(t.text);
        }
        return i + 1;
      }
      if (t.Is("select")) return Select(i, e);
      if (t.Is("current_timestamp")) {
        Emit("getdate()");
        return i + 1;
      }
      if (t.Is("with") && i + 2 < e && t_[i + 1].IsSymbol("(") && IsOneOf(t_[i + 2], kTableHints)) {
        return Matching(i + 1, e) + 1;
      }
    }
    const auto name = ReadObjectName(t_, i);
    if (!name || name->end > e) {
      Emit(t.kind == TokenKind::kQuotedName ? QuoteSqliteName(t.text) : t.text);
      return i + 1;
    }
    EmitName(*name, t.kind == TokenKind::kQuotedName);
    return name->end;
  }

  void Remember(const std::string& sqlite_name, const ObjectName& n) {
    result_.written[platform::CaseFold(sqlite_name)] = n.Written();
  }

  void EmitName(const ObjectName& n, bool first_quoted) {
    const auto& p = n.parts;
    auto q = [](const std::string& s) { return QuoteSqliteName(s); };
    if (p.size() == 1) {
      Emit(first_quoted ? q(p[0]) : p[0]);
      return;
    }
    if (p.size() == 2) {
      if (platform::SameText(p[0], "dbo")) {
        Emit(q(p[1]));
        Remember(p[1], n);
      } else if (platform::SameText(p[0], "sys")) {
        const bool server = IsOneOf(Token{TokenKind::kWord, p[1]}, kServerViews);
        Emit(SysViewRef(server ? scope_.ServerCatalogueSchema() : std::string("main"), p[1]));
        Remember(SysViewName(p[1]), n);
      } else {
        Emit(q(p[0]) + "." + q(p[1]));
      }
      return;
    }
    if (p.size() == 3 && platform::SameText(p[0], "dbo")) {
      Emit(q(p[1]) + "." + q(p[2]));
      return;
    }
    const std::string& schema_part = p[1];
    if (p[1].empty() || platform::SameText(schema_part, "dbo") || platform::SameText(schema_part, "sys")) {
      const std::string schema = scope_.SchemaOfDatabase(p[0]);
      const bool sys = platform::SameText(schema_part, "sys");
      const std::string object = sys ? SysViewName(p[2]) : p[2];
      std::string ref = sys ? SysViewRef(schema, p[2]) : schema + "." + q(object);
      for (std::size_t k = 3; k < p.size(); ++k) ref += "." + q(p[k]);
      Emit(ref);
      Remember(object, n);
      return;
    }
    std::string joined;
    for (const auto& part : p) joined += (joined.empty() ? "" : ".") + q(part);
    Emit(joined);
  }

  static std::string Affinity(const SqlType& t) {
    if (t.IsInteger()) return "INTEGER";
    if (t.base == BaseType::kFloat || t.base == BaseType::kReal) return "REAL";
    if (t.IsExactNumber()) return "NUMERIC";
    if (t.IsBinary()) return "BLOB";
    return "TEXT";
  }

  SqlType ParseTypeTokens(std::size_t b, std::size_t e) const {
    if (b >= e) throw IncorrectSyntaxAtEnd();
    std::string text;
    for (std::size_t k = b; k < e; ++k) text += (k > b ? " " : "") + t_[k].text;
    const auto type = SqlType::Parse(text);
    if (!type) throw ServerError(243, "42000", "Type " + t_[b].text + " is not a defined system type.");
    return *type;
  }

  void EmitCast(std::size_t b, std::size_t e, const SqlType& type) {
    // A CAST to a sized text cuts the value to that size, as the server does.
    const bool cut = type.IsText() && type.length > 0;
    Emit(cut ? "substr(CAST(" : "CAST(");
    Range(b, e);
    Emit("AS " + Affinity(type) + ")");
    if (cut) Emit(", 1, " + std::to_string(type.length) + ")");
  }

  std::size_t Cast(std::size_t i, std::size_t e) {
    const std::size_t close = Matching(i + 1, e);
    std::size_t as = close;
    int depth = 0;
    for (std::size_t k = i + 2; k < close; ++k) {
      if (t_[k].IsSymbol("(")) ++depth;
      if (t_[k].IsSymbol(")")) --depth;
      if (depth == 0 && t_[k].Is("as")) as = k;
    }
    if (as == close) throw IncorrectSyntax(t_[close].text);
    EmitCast(i + 2, as, ParseTypeTokens(as + 1, close));
    return close + 1;
  }

  std::size_t Convert(std::size_t i, std::size_t e) {
    const std::size_t close = Matching(i + 1, e);
    const std::size_t type_end = NextComma(i + 2, close);
    if (type_end == close) throw IncorrectSyntax(t_[close].text);
    const std::size_t value_end = NextComma(type_end + 1, close);
    // The style argument picks a text form; the stored forms are already the
    // ISO ones (styles 120, 121, 23) that scripts ask for.
    EmitCast(type_end + 1, value_end, ParseTypeTokens(i + 2, type_end));
    return close + 1;
  }

  // DATEPART names its unit with a bare word, which SQLite would read as a
  // column; it goes over as a text.
  std::size_t DatePart(std::size_t i, std::size_t e) {
    const std::size_t unit = i + 2;
    if (unit >= e) throw IncorrectSyntaxAtEnd();
    if (t_[unit].kind != TokenKind::kWord) throw IncorrectSyntax(t_[unit].text);
    const auto part = DatePartName(t_[unit].text);
    if (!part) throw ServerError(155, "42000", "'" + t_[unit].text + "' is not a recognized datepart option.");
    Emit("datepart(" + QuoteSqlString(*part));
    ++depth_;
    return unit + 1;
  }

  std::size_t Select(std::size_t i, std::size_t e) {
    Emit("SELECT");
    ++i;
    const bool outer = !outer_select_seen_ && depth_ == 0;
    outer_select_seen_ = true;
    if (i < e && (t_[i].Is("distinct") || t_[i].Is("all"))) Emit(t_[i++].text);
    if (i < e && t_[i].Is("top")) {
      ++i;
      std::string count;
      if (i < e && t_[i].IsSymbol("(")) {
        const std::size_t close = Matching(i, e);
        count = "(" + Capture(i + 1, close) + ")";
        i = close + 1;
      } else if (i < e && (t_[i].kind == TokenKind::kNumber || t_[i].kind == TokenKind::kParameter ||
                           (t_[i].kind == TokenKind::kWord && t_[i].text[0] == '@'))) {
        count = Capture(i, i + 1);
        ++i;
      } else {
        throw i < e ? IncorrectSyntax(t_[i].text) : IncorrectSyntaxAtEnd();
      }
      if (i < e && t_[i].Is("percent")) throw NotSupported("TOP ... PERCENT");
      if (i + 1 < e && t_[i].Is("with") && t_[i + 1].Is("ties")) i += 2;
      limits_.push_back({depth_, count});
    }
    return outer ? SelectList(i, e) : i;
  }

  std::size_t SelectList(std::size_t i, std::size_t e) {
    std::size_t end = i;
    int depth = 0;
    for (; end < e; ++end) {
      if (t_[end].IsSymbol("(")) ++depth;
      if (t_[end].IsSymbol(")")) --depth;
      if (depth == 0 && (IsOneOf(t_[end], kSelectListEnd) || t_[end].IsSymbol(";"))) break;
    }
    std::vector<ResultColumnHint> hints;
    bool star = false;
    for (std::size_t b = i; b < end;) {
      const std::size_t item_end = NextComma(b, end);
      if (b > i) Emit(",");
      hints.push_back(Item(b, item_end, star));
      b = item_end + (item_end < end ? 1 : 0);
    }
    if (!star) result_.columns = std::move(hints);
    return end;
  }

  ResultColumnHint Item(std::size_t b, std::size_t e, bool& star) {
    ResultColumnHint hint;
    if (b >= e) throw IncorrectSyntax(",");
    if (e - b >= 3 && t_[b + 1].IsSymbol("=") && t_[b].kind == TokenKind::kWord && t_[b].text[0] == '@') {
      throw NotSupported("assigning variables in a select list");
    }
    if (e - b >= 3 && t_[b + 1].IsSymbol("=") && IsNamePart(t_[b])) {
      // T-SQL's "name = expression" form of a column alias.
      Range(b + 2, e);
      Emit("AS " + QuoteSqliteName(t_[b].text));
      hint.named = true;
      hint.type = FormType(b + 2, e);
      return hint;
    }
    Range(b, e);
    if (t_[e - 1].IsSymbol("*")) star = true;
    if (const auto name = ReadObjectName(t_, b); name && name->end == e) {
      hint.named = true;  // a column reference
      return hint;
    }
    std::size_t expression_end = e;
    if (e - b >= 2 && IsNamePart(t_[e - 1]) && !t_[e - 2].IsSymbol(".")) {
      const Token& before = t_[e - 2];
      const bool hex_literal = before.kind == TokenKind::kNumber && before.end == t_[e - 1].begin;
      if (!hex_literal && (before.Is("as") || before.IsSymbol(")") || before.kind == TokenKind::kNumber ||
                           before.kind == TokenKind::kString || IsNamePart(before))) {
        hint.named = true;
        expression_end = before.Is("as") ? e - 2 : e - 1;
      }
    }
    hint.type = FormType(b, expression_end);
    return hint;
  }

  std::optional<SqlType> FormType(std::size_t b, std::size_t e) const {
    if (e - b < 3 || t_[b].kind != TokenKind::kWord || !t_[b + 1].IsSymbol("(")) return std::nullopt;
    const std::size_t close = Matching(b + 1, e);
    if (close != e - 1) return std::nullopt;
    if (t_[b].Is("cast")) {
      for (std::size_t k = close; k > b + 2; --k) {
        if (t_[k - 1].Is("as")) return ParseTypeTokens(k, close);
      }
      return std::nullopt;
    }
    if (t_[b].Is("convert")) return ParseTypeTokens(b + 2, NextComma(b + 2, close));
    return FunctionResultType(t_[b]);
  }

  const std::vector<Token>& t_;
  TranslationScope& scope_;
  Translation result_;
  std::string out_;
  int depth_ = 0;
  bool outer_select_seen_ = false;
  std::vector<PendingLimit> limits_;
};

}  // namespace

std::string ObjectName::Written() const {
  std::string out;
  for (std::size_t k = 0; k < parts.size(); ++k) out += (k ? "." : "") + parts[k];
  return out;
}

std::optional<ObjectName> ReadObjectName(const std::vector<Token>& tokens, std::size_t pos) {
  if (!IsNamePart(tokens[pos])) return std::nullopt;
  ObjectName n;
  n.begin = pos;
  n.parts.push_back(tokens[pos++].text);
  while (tokens[pos].IsSymbol(".")) {
    if (tokens[pos + 1].IsSymbol(".")) {  // db..T
      n.parts.emplace_back();
      ++pos;
      continue;
    }
    if (!IsNamePart(tokens[pos + 1])) break;
    n.parts.push_back(tokens[pos + 1].text);
    pos += 2;
  }
  if (n.parts.back().empty()) return std::nullopt;
  n.end = pos;
  return n;
}

std::string Translation::WrittenName(const std::string& sqlite_name) const {
  std::string name = platform::CaseFold(sqlite_name);
  for (;;) {
    if (const auto it = written.find(name); it != written.end()) return it->second;
    const auto dot = name.find('.');
    if (dot == std::string::npos) return {};
    name = name.substr(dot + 1);
  }
}

Translation TranslateStatement(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                               TranslationScope& scope) {
  return Translator(tokens, scope).Run(begin, end);
}

std::string SqliteTableRef(const std::string& schema, const std::string& table) {
  return schema + "." + QuoteSqliteName(table);
}

}  // namespace embedded::sqlserver
