#include "drivers/embedded/oracle_script.h"

#include <cctype>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace embedded {
namespace {

// The first words of a statement, upper case, comments skipped.
std::vector<std::string> LeadingWords(std::string_view s, std::size_t count) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < s.size() && words.size() < count) {
    const char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (s.compare(i, 2, "--") == 0) {
      while (i < s.size() && s[i] != '\n') ++i;
    } else if (s.compare(i, 2, "/*") == 0) {
      const std::size_t close = s.find("*/", i + 2);
      i = close == std::string_view::npos ? s.size() : close + 2;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t k = i;
      while (k < s.size() && (std::isalnum(static_cast<unsigned char>(s[k])) || s[k] == '_' || s[k] == '$')) ++k;
      words.push_back(platform::UpperAscii(s.substr(i, k - i)));
      i = k;
    } else {
      break;
    }
  }
  return words;
}

// Blocks that SQL*Plus ends only at a "/" line, because ";" is part of them.
bool IsBlock(std::string_view text) {
  const auto w = LeadingWords(text, 5);
  if (w.empty()) return false;
  if (w[0] == "BEGIN" || w[0] == "DECLARE") return true;
  if (w[0] != "CREATE") return false;
  std::size_t k = 1;
  if (k + 1 < w.size() && w[k] == "OR" && w[k + 1] == "REPLACE") k += 2;
  if (k < w.size() && (w[k] == "EDITIONABLE" || w[k] == "NONEDITIONABLE")) ++k;
  if (k >= w.size()) return false;
  const std::string& what = w[k];
  return what == "PROCEDURE" || what == "FUNCTION" || what == "PACKAGE" || what == "TRIGGER" || what == "TYPE";
}

bool IsSqlPlusCommand(std::string_view line) {
  const auto w = LeadingWords(line, 1);
  if (w.empty()) return false;
  static const char* const kCommands[] = {"SET",    "PROMPT", "REM",   "REMARK", "SPOOL",    "WHENEVER",
                                          "EXIT",   "QUIT",   "SHOW",  "DEFINE", "UNDEFINE", "COLUMN",
                                          "TTITLE", "BTITLE", "BREAK", "CLEAR",  "PAUSE",    "ACCEPT"};
  for (const char* c : kCommands) {
    if (w[0] == c) return true;
  }
  return false;
}

}  // namespace

bool OracleScriptReader::Next(ScriptStatement& statement) {
  std::string text;
  bool content = false;
  int start_line = 0;
  enum class In { kCode, kText, kName, kComment } in = In::kCode;

  auto feed = [&](const std::string& line, int number) -> std::optional<std::size_t> {
    // Returns the offset after a ";" that ended the statement, if one did.
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      switch (in) {
        case In::kComment:
          text += c;
          if (c == '*' && i + 1 < line.size() && line[i + 1] == '/') {
            text += '/';
            ++i;
            in = In::kCode;
          }
          continue;
        case In::kText:
          text += c;
          if (c == '\'') in = In::kCode;  // '' reads as two texts, which is the same for splitting
          continue;
        case In::kName:
          text += c;
          if (c == '"') in = In::kCode;
          continue;
        case In::kCode:
          break;
      }
      if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') {
        text.append(line, i, std::string::npos);
        break;
      }
      if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
        text += "/*";
        ++i;
        in = In::kComment;
        continue;
      }
      if (c == ';' && content && !IsBlock(text)) return i + 1;
      if (!std::isspace(static_cast<unsigned char>(c)) && !content) {
        content = true;
        start_line = number;
      }
      if (c == '\'') in = In::kText;
      if (c == '"') in = In::kName;
      text += c;
    }
    text += '\n';
    return std::nullopt;
  };

  for (;;) {
    std::string line;
    int number = 0;
    if (!pending_.empty()) {
      line = std::move(pending_);
      pending_.clear();
      number = pending_line_;
    } else {
      if (!std::getline(in_, line)) break;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      number = ++line_;
      if (in == In::kCode && !content) {
        if (IsSqlPlusCommand(line)) continue;
      }
      if (in == In::kCode && platform::Trim(line) == "/") {
        if (!content) continue;  // after a ";": SQL*Plus would run the statement again
        statement = {std::move(text), start_line};
        return true;
      }
    }
    if (auto end = feed(line, number)) {
      const std::string rest = line.substr(*end);
      if (!platform::Trim(rest).empty()) {
        pending_ = rest;
        pending_line_ = number;
      }
      statement = {std::move(text), start_line};
      return true;
    }
  }
  if (!content) return false;
  statement = {std::move(text), start_line};
  return true;
}

OracleScriptError::OracleScriptError(const std::string& source, int line, const dac::DriverError& cause)
    : std::runtime_error(source + ":" + std::to_string(line) + ": " + cause.ServerMessage()),
      line_(line),
      cause_(cause) {}

std::size_t RunOracleScript(dac::Connection& connection, std::istream& script, const std::string& source) {
  const bool own_transaction = !connection.InTransaction();
  if (own_transaction) connection.StartTransaction();
  OracleScriptReader reader(script);
  ScriptStatement statement;
  std::size_t count = 0;
  while (reader.Next(statement)) {
    const auto words = LeadingWords(statement.text, 1);
    if (!words.empty() && words[0] == "COMMIT") continue;
    try {
      connection.Execute(statement.text);
    } catch (const dac::DriverError& e) {
      if (own_transaction && connection.InTransaction()) connection.Rollback();
      throw OracleScriptError(source, statement.line, e);
    }
    ++count;
  }
  if (own_transaction && connection.InTransaction()) connection.Commit();
  return count;
}

}  // namespace embedded
