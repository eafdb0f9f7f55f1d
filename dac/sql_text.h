// Reading the SQL texts the datasets are given: the ":name" parameter markers
// of a statement, and the table that a select reads (the table a dataset's
// inserts go to when no updating table is set).
// Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dac {

// A statement with its ":name" markers turned into the "?" markers the driver
// seam binds, and the names in the order they appear (a name may repeat).
// Markers inside quotes ('...', "...", [...]) and comments are text, as are
// "::" and ":=".
struct MarkedStatement {
  std::string sql;
  std::vector<std::string> names;
};
MarkedStatement MarkParameters(std::string_view sql);

// The first table named after FROM in a select (brackets and quotes kept as
// written, a schema prefix included): "select * from dbo.tX where 1=2" gives
// "dbo.tX". Empty when the text names none.
std::string TableFromSelect(std::string_view sql);

// A name in brackets for SQL Server, part by part ("dbo.tX" gives
// "[dbo].[tX]"); parts already in brackets or quotes stay as they are.
std::string BracketName(std::string_view name);

}  // namespace dac
