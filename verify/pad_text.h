// One cell of the verification report: the text without its surrounding
// blanks and control characters, padded to `width` characters (never cut),
// then one blank. Pure: safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace app {

std::string PadText(std::string_view text, char pad, int width, bool left);

}  // namespace app
