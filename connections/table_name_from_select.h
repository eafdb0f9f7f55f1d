// The table a "select ... from T ..." text reads, for naming a failed row insert
// in the run log. Pure: safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace connections {

// The name after the first " FROM " (found without regard to case, after CR LF
// became blanks), up to the first comma or blank, in the letter case of the
// text; empty when there is no " FROM ".
std::string TableNameFromSelect(std::string_view sql);

}  // namespace connections
