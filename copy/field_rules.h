// What a target field receives for a source value during the row copy: values
// the target's types cannot hold are clamped, NULL texts become empty texts,
// and short texts keep their trailing blanks visible. Pure: safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "dac/driver.h"

namespace copy {

// Each trailing blank becomes a full stop, from the last character back to the
// second, stopping at the first character that is not a blank.
std::string DotTrailingBlanks(std::string_view text);

// The value for a target field of type `target` (as the target dataset reports
// it) from `source`, by the first rule that applies:
//   ftCurrency above 922337203685477 or below -922337203685477: clamped;
//   ftWord below 0: 0;
//   ftDateTime before 1900-01-01 or after 2079-06-05: clamped;
//   ftString and NULL: an empty text;
//   otherwise the source value, except that an ftString text of 2 to 30
//   characters ending in a blank gets its trailing blanks dotted.
// NULL never triggers a clamp.
dac::Value ApplyFieldRules(dac::FieldType target, const dac::Value& source);

}  // namespace copy
