// Quoting of names and texts pasted into T-SQL statements. Names read from a
// catalogue or typed by an operator may hold the quote characters themselves;
// doubling them keeps the statement what it was meant to be. Texts without
// those characters come out unchanged.
#pragma once

#include <string>
#include <string_view>

namespace schema {

// For use inside [ ]: every "]" doubled.
std::string BracketName(std::string_view name);
// For use inside ' ': every "'" doubled.
std::string QuoteText(std::string_view text);

}  // namespace schema
