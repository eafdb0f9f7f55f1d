#include "schema/default_constraint.h"

#include "platform/text.h"
#include "schema/sql_names.h"

namespace schema {
namespace {

// Replaces every occurrence of `from`, matched without regard to case.
std::string ReplaceAllNoCase(const std::string& text, std::string_view from, std::string_view to) {
  const std::string upper_text = platform::UpperAscii(text);
  const std::string upper_from = platform::UpperAscii(from);
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t hit = upper_text.find(upper_from, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos).append(to);
    pos = hit + from.size();
  }
  return out.append(text, pos, std::string::npos);
}

}  // namespace

std::string BuildDefaultConstraint(const ColumnRow& row) {
  if (row.nullable != "N" || IsIdentityColumn(row)) return {};
  const std::string type = platform::UpperAscii(row.data_type);
  const bool numeric = type == "NUMBER" || type == "FLOAT";
  if (!numeric && type != "VARCHAR2" && type != "DATE") return {};

  std::string d = platform::TrimControls(row.data_default);
  if (d.empty()) {
    d = numeric ? "(0)" : type == "VARCHAR2" ? "('')" : "";
  } else if (type == "DATE") {
    d = platform::SameText(d, "(sysdate)") ? "(getdate())" : "";
  }
  if (d.empty()) return {};

  d = ReplaceAllNoCase(d, "(to_number(to_char(sysdate,'YYYY')))", "(datepart(year,getdate()))");
  d = ReplaceAllNoCase(d, "(SYS_CONTEXT('USERENV','CURRENT_SCHEMA'))", "(db_name())");
  d = ReplaceAllNoCase(d, "' '", "''");

  const std::string t = BracketName(row.table_name);
  const std::string c = BracketName(row.column_name);
  return "alter table [dbo].[" + t + "] add constraint [DF_" + t + "_" + c + "] default " + d + " for [" + c +
         "]\r\ngo\r\n";
}

}  // namespace schema
