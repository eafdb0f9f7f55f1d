// UTF-8 <-> UTF-16, for the wide ODBC calls: the program's texts are UTF-8 and
// unixODBC's SQLWCHAR is a 16-bit unit, so every text crosses here on its way
// to and from a driver. Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace odbc {

// Bytes that are not valid UTF-8 become U+FFFD each, so that a damaged text
// still reaches the server instead of being cut off.
std::u16string ToUtf16(std::string_view utf8);

// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

}  // namespace odbc
