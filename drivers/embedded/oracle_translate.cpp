#include "drivers/embedded/oracle_translate.h"

#include <algorithm>
#include <set>

#include "dac/value.h"
#include "drivers/embedded/oracle_error.h"
#include "drivers/embedded/sqlite_db.h"
#include "platform/text.h"

namespace embedded {
namespace {

bool IsOneOf(const Token& t, std::initializer_list<std::string_view> words) {
  for (auto w : words) {
    if (t.Is(w)) return true;
  }
  return false;
}

bool IsName(const Token& t) { return t.kind == TokenKind::kWord || t.kind == TokenKind::kQuotedName; }

// Words that may follow a table reference without being its alias.
bool EndsTableReference(const Token& t) {
  return IsOneOf(t, {"WHERE",     "GROUP",  "ORDER", "HAVING",    "UNION",  "INTERSECT", "MINUS", "EXCEPT", "CONNECT",
                     "START",     "JOIN",   "INNER", "LEFT",      "RIGHT",  "FULL",      "OUTER", "CROSS",  "NATURAL",
                     "ON",        "USING",  "SET",   "VALUES",    "SELECT", "FOR",       "FETCH", "OFFSET", "LIMIT",
                     "PARTITION", "SAMPLE", "WITH",  "RETURNING", "MODEL",  "WINDOW",    "LOG"});
}

// Words that end a FROM list at their depth.
bool EndsFromList(const Token& t) {
  return IsOneOf(
      t, {"WHERE", "GROUP", "ORDER",  "HAVING", "UNION",  "INTERSECT", "MINUS", "EXCEPT", "CONNECT", "START",
          "FOR",   "FETCH", "OFFSET", "LIMIT",  "WINDOW", "MODEL",     "SET",   "VALUES", "SELECT",  "RETURNING"});
}

bool EndsOrderBy(const Token& t) {
  return IsOneOf(
      t, {"FETCH", "OFFSET", "LIMIT", "FOR", "ROWS", "RANGE", "GROUPS", "UNION", "INTERSECT", "MINUS", "EXCEPT"});
}

std::size_t MatchingParen(const std::vector<Token>& t, std::size_t open) {
  int depth = 0;
  for (std::size_t k = open; k < t.size(); ++k) {
    if (t[k].IsSymbol("(")) ++depth;
    if (t[k].IsSymbol(")") && --depth == 0) return k;
  }
  return t.size() - 1;
}

class Translator {
 public:
  Translator(std::string_view sql, const std::vector<Token>& tokens, const TableResolver* resolve)
      : sql_(sql), t_(tokens), resolve_(resolve) {}

  std::string Run() {
    CollectCommonTableNames();
    frames_.emplace_back();
    const std::size_t n = t_.size();
    for (std::size_t i = 0; i < n;) i = Step(i);
    return Apply();
  }

 private:
  enum class From { kNone, kExpectTable, kAfterTable };
  struct Frame {
    bool lists_tables = false;  // a SELECT or DELETE began at this depth: its FROM names tables
    From from = From::kNone;
    bool order_by = false;
    bool term_has_nulls = false;
    std::size_t term_tokens = 0;
  };
  struct Edit {
    std::size_t begin, end;
    std::string text;
  };

  void AddEdit(std::size_t begin, std::size_t end, std::string text) {
    edits_.push_back({begin, end, std::move(text)});
  }

  // Names a WITH clause gives its subqueries are no tables; a WITH may also
  // follow INSERT INTO t (...).
  void CollectCommonTableNames() {
    for (std::size_t k = 0; k + 2 < t_.size(); ++k) {
      if (!t_[k].Is("WITH") || !IsName(t_[k + 1]) || !(t_[k + 2].Is("AS") || t_[k + 2].IsSymbol("("))) continue;
      std::size_t j = k + 1;
      while (IsName(t_[j])) {
        ctes_.insert(OracleName(t_[j++]));
        if (t_[j].IsSymbol("(")) j = MatchingParen(t_, j) + 1;
        if (!t_[j].Is("AS")) break;
        ++j;
        if (!t_[j].IsSymbol("(")) break;
        j = MatchingParen(t_, j) + 1;
        if (!t_[j].IsSymbol(",")) break;
        ++j;
      }
    }
  }

  // The ORDER BY term that ends before token i gets Oracle's order of NULLs.
  void EndOrderTerm(std::size_t i) {
    Frame& f = frames_.back();
    if (f.term_tokens > 0 && !f.term_has_nulls) {
      AddEdit(t_[i - 1].end, t_[i - 1].end, t_[i - 1].Is("DESC") ? " NULLS FIRST" : " NULLS LAST");
    }
    f.term_tokens = 0;
    f.term_has_nulls = false;
  }

  std::size_t TableReference(std::size_t i) {
    Frame& f = frames_.back();
    f.from = From::kAfterTable;
    if (t_[i].IsSymbol("(")) return i;  // a subquery: the main loop walks into it
    if (!IsName(t_[i])) return i;
    TableName name;
    std::size_t j = i + 1;
    std::size_t end = t_[i].end;
    if (t_[j].IsSymbol(".") && IsName(t_[j + 1])) {
      name.schema = OracleName(t_[i]);
      name.name = OracleName(t_[j + 1]);
      end = t_[j + 1].end;
      j += 2;
    } else {
      name.name = OracleName(t_[i]);
    }
    if (!name.schema && ctes_.count(name.name)) return j;
    if (!resolve_ || !*resolve_) throw OracleError(900, "invalid SQL statement");
    std::string replacement = (*resolve_)(name);
    const Token& next = t_[j];
    const bool has_alias = next.Is("AS") || next.kind == TokenKind::kQuotedName ||
                           (next.kind == TokenKind::kWord && !EndsTableReference(next));
    if (!has_alias) replacement += " AS " + QuoteSqliteName(name.name);
    AddEdit(t_[i].begin, end, std::move(replacement));
    return j;
  }

  std::size_t Step(std::size_t i) {
    const Token& tok = t_[i];
    Frame& f = frames_.back();
    if (tok.kind == TokenKind::kEnd) {
      if (f.order_by) EndOrderTerm(i);
      return i + 1;
    }
    if (f.from == From::kExpectTable) {
      const std::size_t next = TableReference(i);
      if (next != i) return next;
    }
    if (tok.IsSymbol("(")) {
      if (f.order_by) ++f.term_tokens;
      frames_.emplace_back();
      return i + 1;
    }
    if (tok.IsSymbol(")")) {
      if (f.order_by) EndOrderTerm(i);
      if (frames_.size() > 1) frames_.pop_back();
      if (frames_.back().order_by) ++frames_.back().term_tokens;
      return i + 1;
    }
    if (f.order_by) {
      if (tok.IsSymbol(",") || tok.IsSymbol(";")) {
        EndOrderTerm(i);
        return i + 1;
      }
      if (EndsOrderBy(tok)) {
        EndOrderTerm(i);
        f.order_by = false;
      } else {
        if (tok.Is("NULLS")) f.term_has_nulls = true;
        ++f.term_tokens;
      }
    }
    if (tok.kind == TokenKind::kWord) return Word(i);
    if (tok.kind == TokenKind::kString && tok.text.empty()) {
      AddEdit(tok.begin, tok.end, "NULL");  // Oracle has no empty text: '' is NULL
    } else if (tok.IsSymbol(",") && f.from == From::kAfterTable) {
      f.from = From::kExpectTable;
    } else if (IsName(tok) && t_[i + 1].IsSymbol(".") && IsName(t_[i + 2]) && t_[i + 3].IsSymbol(".") &&
               IsName(t_[i + 4]) && (i == 0 || !t_[i - 1].IsSymbol("."))) {
      // schema.table.column: the table is known by its own name as alias.
      AddEdit(tok.begin, t_[i + 2].begin, "");
      return i + 2;
    }
    return i + 1;
  }

  std::size_t Word(std::size_t i) {
    const Token& tok = t_[i];
    Frame& f = frames_.back();
    const bool qualified = i > 0 && t_[i - 1].IsSymbol(".");
    const bool called = t_[i + 1].IsSymbol("(") || t_[i + 1].IsSymbol(".");

    if (tok.Is("SELECT")) {
      f.lists_tables = true;
      f.from = From::kNone;
    } else if (tok.Is("FROM") && f.lists_tables) {
      f.from = From::kExpectTable;
    } else if (tok.Is("JOIN") && f.from != From::kNone) {
      f.from = From::kExpectTable;
    } else if (EndsFromList(tok)) {
      f.from = From::kNone;
    }
    if (tok.Is("ORDER") && t_[i + 1].Is("BY")) {
      f.order_by = true;
      f.term_tokens = 0;
      f.term_has_nulls = false;
      return i + 2;
    }
    if (tok.Is("DELETE") && frames_.size() == 1 && i == 0) {
      f.lists_tables = true;
      if (!t_[i + 1].Is("FROM")) {
        AddEdit(tok.end, tok.end, " FROM");
        f.from = From::kExpectTable;
      }
    } else if (tok.Is("UPDATE") && frames_.size() == 1 && i == 0) {
      f.from = From::kExpectTable;
    } else if (tok.Is("INTO") && i > 0 && t_[i - 1].Is("INSERT")) {
      f.from = From::kExpectTable;
    } else if ((tok.Is("DATE") || tok.Is("TIMESTAMP")) && t_[i + 1].kind == TokenKind::kString && !qualified) {
      const auto value = dac::DateTime::Parse(platform::Trim(t_[i + 1].text));
      if (!value) throw OracleError(1861, "literal does not match format string");
      dac::DateTime d = *value;
      if (tok.Is("DATE")) d.nanosecond = 0;
      AddEdit(tok.begin, t_[i + 1].end, QuoteSqlString(d.ToString()));
      return i + 2;
    } else if (!qualified && !called) {
      if (tok.Is("SYSDATE") || tok.Is("CURRENT_DATE")) {
        AddEdit(tok.begin, tok.end, "SYSDATE()");
      } else if (tok.Is("SYSTIMESTAMP") || tok.Is("CURRENT_TIMESTAMP") || tok.Is("LOCALTIMESTAMP")) {
        AddEdit(tok.begin, tok.end, "SYSTIMESTAMP()");
      } else if (tok.Is("USER")) {
        AddEdit(tok.begin, tok.end, "SYS_CONTEXT('USERENV', 'SESSION_USER')");
      } else if (tok.Is("CURRENT_SCHEMA")) {
        AddEdit(tok.begin, tok.end, "SYS_CONTEXT('USERENV', 'CURRENT_SCHEMA')");
      } else if (tok.Is("MINUS")) {
        AddEdit(tok.begin, tok.end, "EXCEPT");
      }
    }
    if (IsName(tok) && t_[i + 1].IsSymbol(".") && IsName(t_[i + 2]) && t_[i + 3].IsSymbol(".") && IsName(t_[i + 4]) &&
        !qualified && f.from != From::kExpectTable) {
      AddEdit(tok.begin, t_[i + 2].begin, "");
      return i + 2;
    }
    return i + 1;
  }

  std::string Apply() {
    std::stable_sort(edits_.begin(), edits_.end(), [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
    std::string out;
    out.reserve(sql_.size() + 64);
    std::size_t pos = 0;
    for (const Edit& e : edits_) {
      if (e.begin < pos) continue;
      out.append(sql_.substr(pos, e.begin - pos));
      out += e.text;
      pos = e.end;
    }
    out.append(sql_.substr(pos));
    return out;
  }

  std::string_view sql_;
  const std::vector<Token>& t_;
  const TableResolver* resolve_;
  std::vector<Frame> frames_;
  std::vector<Edit> edits_;
  std::set<std::string> ctes_;
};

}  // namespace

std::string OracleName(const Token& token) {
  return token.kind == TokenKind::kWord ? platform::UpperAscii(token.text) : token.text;
}

StatementKind KindOf(const std::vector<Token>& t) {
  if (t.empty()) return StatementKind::kOther;
  if (t[0].Is("SELECT") || t[0].Is("WITH") || t[0].IsSymbol("(")) return StatementKind::kSelect;
  if (t[0].Is("INSERT")) return StatementKind::kInsert;
  if (t[0].Is("UPDATE")) return StatementKind::kUpdate;
  if (t[0].Is("DELETE")) return StatementKind::kDelete;
  return StatementKind::kOther;
}

std::vector<Token> StatementTokens(std::string_view sql) {
  std::vector<Token> tokens;
  try {
    tokens = Tokenize(sql);
  } catch (const std::runtime_error& e) {
    const std::string what = e.what();
    if (what.find("text") != std::string::npos) throw OracleError(1756, "quoted string not properly terminated");
    throw OracleError(900, "invalid SQL statement");
  }
  // A trailing ";" ends the statement in scripts; Oracle's call interface
  // takes the statement without it.
  while (tokens.size() >= 2 && tokens[tokens.size() - 2].IsSymbol(";")) {
    tokens.erase(tokens.end() - 2);
  }
  // One statement per call: a ";" inside is what Oracle refuses so (blocks
  // aside, which fail as statements the instance does not know).
  if (!tokens.front().Is("BEGIN") && !tokens.front().Is("DECLARE")) {
    for (const Token& t : tokens) {
      if (t.IsSymbol(";")) throw OracleError(911, "invalid character");
    }
  }
  return tokens;
}

TranslatedSql TranslateStatement(std::string_view sql, const TableResolver& resolve) {
  const std::vector<Token> tokens = StatementTokens(sql);
  TranslatedSql out;
  out.kind = KindOf(tokens);
  for (const Token& t : tokens) {
    if (t.kind == TokenKind::kQuotedName) out.quoted_names.push_back(t.text);
    if (t.kind == TokenKind::kWord) out.words.insert(platform::UpperAscii(t.text));
  }
  // The text ends where the last token ends: a dropped ";" stays out.
  const std::size_t end = tokens.size() >= 2 ? tokens[tokens.size() - 2].end : 0;
  out.text = Translator(sql.substr(0, end), tokens, &resolve).Run();
  return out;
}

std::string TranslateExpression(std::string_view expression) {
  const std::vector<Token> tokens = StatementTokens(expression);
  return Translator(expression, tokens, nullptr).Run();
}

}  // namespace embedded
