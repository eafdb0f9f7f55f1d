#include "connections/table_name_from_select.h"

#include "platform/text.h"

namespace connections {

std::string TableNameFromSelect(std::string_view sql) {
  constexpr std::size_t kMaxTail = 1024;
  std::string text;
  text.reserve(sql.size());
  for (std::size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] == '\r' && i + 1 < sql.size() && sql[i + 1] == '\n') {
      text += ' ';
      ++i;
    } else {
      text += sql[i];
    }
  }
  text = platform::Trim(text);

  const std::size_t from = platform::UpperAscii(text).find(" FROM ");
  if (from == std::string::npos) return {};
  const std::string tail = platform::Trim(std::string_view(text).substr(from + 6, kMaxTail));
  return tail.substr(0, tail.find_first_of(", "));
}

}  // namespace connections
