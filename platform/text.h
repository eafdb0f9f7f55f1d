// Text helpers shared by every layer. Texts are UTF-8 std::strings; names are
// compared without regard to case by Unicode simple case folding.
// All functions are pure and safe to call from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Removes blanks, tabs and line breaks from both ends.
std::string Trim(std::string_view s);

// Removes blanks and every control character from both ends.
std::string TrimControls(std::string_view s);

// Unicode simple case folding of a UTF-8 text; bytes that are not valid UTF-8
// are kept as they are.
std::string CaseFold(std::string_view s);

// True when both texts are equal without regard to case.
bool SameText(std::string_view a, std::string_view b);

// Upper case of the ASCII letters only, as command-line switches are compared.
std::string UpperAscii(std::string_view s);

// Number of code points in a UTF-8 text (invalid bytes count one each).
std::size_t CharLength(std::string_view s);

// Parses a decimal integer or a hexadecimal one after "0x"/"0X" (and "$", as
// settings files written by older tools carry), with an optional sign. Returns
// false, leaving `out` alone, for anything else or a value outside int32.
bool TryParseInt(std::string_view s, int& out);

}  // namespace platform
