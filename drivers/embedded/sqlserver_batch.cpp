#include "drivers/embedded/sqlserver_batch.h"

#include <array>

#include "drivers/embedded/sqlserver_errors.h"

namespace embedded::sqlserver {
namespace {

// Words that begin a statement when they stand at the top level.
constexpr std::array kStatementWords = {
    "select", "insert",  "update",     "delete", "merge",  "create", "alter",    "drop",   "truncate",
    "use",    "set",     "exec",       "execute", "if",    "while",  "begin",    "commit", "rollback",
    "save",   "declare", "print",      "return",  "grant", "revoke", "deny",     "raiserror",
    "waitfor", "checkpoint", "dbcc",   "throw",  "break",  "continue",
};

bool IsStatementWord(const Token& t) {
  if (t.kind != TokenKind::kWord) return false;
  for (const char* w : kStatementWords) {
    if (t.Is(w)) return true;
  }
  return false;
}

bool IsAnyOf(const Token& t, std::initializer_list<const char*> words) {
  for (const char* w : words) {
    if (t.Is(w)) return true;
  }
  return false;
}

class Splitter {
 public:
  explicit Splitter(const std::vector<Token>& tokens) : t_(tokens) {}

  std::vector<Statement> All() {
    std::vector<Statement> out;
    for (bool first = true;; first = false) {
      SkipSemicolons();
      if (AtEnd()) break;
      if (t_[pos_].Is("end") || t_[pos_].Is("else")) throw IncorrectSyntax(t_[pos_].text);
      out.push_back(ParseStatement(first));
    }
    return out;
  }

 private:
  bool AtEnd() const { return t_[pos_].kind == TokenKind::kEnd; }

  void SkipSemicolons() {
    while (t_[pos_].IsSymbol(";")) ++pos_;
  }

  Statement ParseStatement(bool first_in_batch) {
    const Token& head = t_[pos_];
    if (head.Is("if") || head.Is("while")) return ParseConditional(head.Is("if"));
    if (head.Is("begin") && !IsAnyOf(t_[pos_ + 1], {"tran", "transaction", "distributed", "try", "catch"})) {
      return ParseBlock();
    }
    if (head.Is("begin") && IsAnyOf(t_[pos_ + 1], {"try", "catch"})) throw NotSupported("BEGIN TRY ... END CATCH");
    return ParseSimple(first_in_batch);
  }

  Statement ParseConditional(bool is_if) {
    Statement s;
    s.kind = is_if ? StatementKind::kIf : StatementKind::kWhile;
    s.begin = pos_++;
    s.condition_begin = pos_;
    ScanExpression();
    s.condition_end = pos_;
    if (s.condition_begin == s.condition_end) throw AtEnd() ? IncorrectSyntaxAtEnd() : IncorrectSyntax(t_[pos_].text);
    if (AtEnd() || t_[pos_].Is("end") || t_[pos_].Is("else")) {
      throw AtEnd() ? IncorrectSyntaxAtEnd() : IncorrectSyntax(t_[pos_].text);
    }
    s.children.push_back(ParseStatement(false));
    s.end = pos_;
    if (is_if) {
      std::size_t look = pos_;
      while (t_[look].IsSymbol(";")) ++look;
      if (t_[look].Is("else")) {
        pos_ = look + 1;
        if (AtEnd()) throw IncorrectSyntaxAtEnd();
        s.children.push_back(ParseStatement(false));
        s.has_else = true;
        s.end = pos_;
      }
    }
    TrimSemicolon(s);
    return s;
  }

  Statement ParseBlock() {
    Statement s;
    s.kind = StatementKind::kBlock;
    s.begin = pos_++;
    for (;;) {
      SkipSemicolons();
      if (AtEnd()) throw IncorrectSyntaxAtEnd();
      if (t_[pos_].Is("end")) {
        ++pos_;
        break;
      }
      if (t_[pos_].Is("else")) throw IncorrectSyntax(t_[pos_].text);
      s.children.push_back(ParseStatement(false));
    }
    s.end = pos_;
    return s;
  }

  // A condition: up to the first statement word at the top level.
  void ScanExpression() {
    int depth = 0, cases = 0;
    for (; !AtEnd(); ++pos_) {
      const Token& t = t_[pos_];
      if (t.IsSymbol("(")) ++depth;
      if (t.IsSymbol(")")) --depth;
      if (t.Is("case")) ++cases;
      if (t.Is("end") && cases > 0) {
        --cases;
        continue;
      }
      if (depth == 0 && cases == 0 && (IsStatementWord(t) || t.IsSymbol(";") || t.Is("end") || t.Is("else"))) return;
    }
  }

  StatementKind Classify(bool first_in_batch, bool& implicit_exec) const {
    const Token& t = t_[pos_];
    const Token& next = t_[pos_ + 1];
    implicit_exec = false;
    if (t.Is("select")) return StatementKind::kSelect;
    if (t.Is("insert")) return StatementKind::kInsert;
    if (t.Is("update")) return StatementKind::kUpdate;
    if (t.Is("delete")) return StatementKind::kDelete;
    if (t.Is("merge")) return StatementKind::kMerge;
    if (t.Is("create")) {
      if (next.Is("table")) return StatementKind::kCreateTable;
      if (next.Is("database")) return StatementKind::kCreateDatabase;
      if (next.Is("login")) return StatementKind::kCreateLogin;
      if (next.Is("user")) return StatementKind::kCreateUser;
      if (IsAnyOf(next, {"procedure", "proc", "function", "view", "trigger", "or"})) return StatementKind::kCreateModule;
      return StatementKind::kCreateOther;
    }
    if (t.Is("alter")) {
      if (next.Is("database")) return StatementKind::kAlterDatabase;
      if (next.Is("table")) return StatementKind::kAlterTable;
      if (next.Is("login")) return StatementKind::kAlterLogin;
      if (IsAnyOf(next, {"procedure", "proc", "function", "view", "trigger"})) return StatementKind::kCreateModule;
      return StatementKind::kAlterOther;
    }
    if (t.Is("drop")) return next.Is("table") ? StatementKind::kDropTable : StatementKind::kDropOther;
    if (t.Is("truncate")) return StatementKind::kTruncate;
    if (t.Is("use")) return StatementKind::kUse;
    if (t.Is("set")) return StatementKind::kSet;
    if (t.Is("exec") || t.Is("execute")) return StatementKind::kExec;
    if (t.Is("begin")) return StatementKind::kBeginTransaction;
    if (t.Is("commit")) return StatementKind::kCommit;
    if (t.Is("rollback")) return StatementKind::kRollback;
    if (t.Is("save")) return StatementKind::kSaveTransaction;
    if (t.Is("declare")) return StatementKind::kDeclare;
    if (t.Is("print")) return StatementKind::kPrint;
    if (t.Is("return")) return StatementKind::kReturn;
    if (IsAnyOf(t, {"grant", "revoke", "deny"})) return StatementKind::kGrant;
    if (t.Is("with")) return StatementKind::kWith;
    if (IsStatementWord(t)) return StatementKind::kOther;
    // The server reads a name standing first in a batch as a procedure to run.
    if (first_in_batch && (t.kind == TokenKind::kWord || t.kind == TokenKind::kQuotedName)) {
      implicit_exec = true;
      return StatementKind::kExec;
    }
    throw IncorrectSyntax(t.text);
  }

  // Whether the statement word `t` at the top level carries on the statement
  // under way rather than starting the next one.
  bool Continues(StatementKind kind, const Token& t, const Token& previous, int& seen) const {
    const bool after_list_mark = IsAnyOf(previous, {"grant", "revoke", "deny"}) || previous.IsSymbol(",");
    if (kind == StatementKind::kGrant && after_list_mark) return true;
    if (previous.Is("on") && (t.Is("delete") || t.Is("update"))) return true;
    if (previous.Is("for") && (t.Is("select") || t.Is("update"))) return true;
    if (t.Is("select")) {
      if (IsAnyOf(previous, {"union", "all", "except", "intersect"})) return true;
      if ((kind == StatementKind::kInsert || kind == StatementKind::kWith) && seen++ == 0) return true;
      return false;
    }
    if (t.Is("insert") || t.Is("update") || t.Is("delete")) {
      if (kind == StatementKind::kWith && seen++ == 0) return true;
      if (kind == StatementKind::kMerge && previous.Is("then")) return true;
      return false;
    }
    if (t.Is("exec") || t.Is("execute")) return kind == StatementKind::kInsert && seen++ == 0;
    if (t.Is("set")) {
      switch (kind) {
        case StatementKind::kUpdate:
        case StatementKind::kMerge:
        case StatementKind::kWith:
          return seen++ == 0 || kind == StatementKind::kMerge;
        case StatementKind::kAlterDatabase:
        case StatementKind::kAlterTable:
        case StatementKind::kAlterLogin:
        case StatementKind::kAlterOther:
          return true;
        default:
          return false;
      }
    }
    if (t.Is("if")) return kind == StatementKind::kDropTable || kind == StatementKind::kDropOther;
    return false;
  }

  Statement ParseSimple(bool first_in_batch) {
    Statement s;
    s.kind = Classify(first_in_batch, s.implicit_exec);
    s.begin = pos_;
    if (s.kind == StatementKind::kCreateModule) {
      while (!AtEnd()) ++pos_;
      s.end = pos_;
      TrimSemicolon(s);
      return s;
    }
    int depth = 0, cases = 0, seen = 0;
    ++pos_;
    for (; !AtEnd(); ++pos_) {
      const Token& t = t_[pos_];
      if (t.IsSymbol("(")) ++depth;
      if (t.IsSymbol(")")) --depth;
      if (t.Is("case")) ++cases;
      if (t.Is("end") && cases > 0) {
        --cases;
        continue;
      }
      if (depth > 0 || cases > 0) continue;
      if (t.IsSymbol(";")) {
        s.end = pos_++;
        return s;
      }
      if (t.Is("end") || t.Is("else")) break;
      // Rows given by VALUES leave no room for a SELECT or EXEC of the insert.
      if (s.kind == StatementKind::kInsert && (t.Is("values") || t.Is("default"))) seen = 1;
      if (IsStatementWord(t) && !Continues(s.kind, t, t_[pos_ - 1], seen)) break;
    }
    s.end = pos_;
    return s;
  }

  void TrimSemicolon(Statement& s) const {
    while (s.end > s.begin && t_[s.end - 1].IsSymbol(";")) --s.end;
  }

  const std::vector<Token>& t_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<Statement> SplitBatch(const std::vector<Token>& tokens) { return Splitter(tokens).All(); }

std::string StatementText(std::string_view batch, const std::vector<Token>& tokens, const Statement& s) {
  if (s.end <= s.begin) return {};
  const std::size_t from = tokens[s.begin].begin;
  return std::string(batch.substr(from, tokens[s.end - 1].end - from));
}

}  // namespace embedded::sqlserver
