// Splitting a script into the batches that go to the server one at a time,
// by the rule of SQL Server's own tools: a line holding only "go" (any letter
// case, blanks around it) ends a batch. The "go" line belongs to no batch;
// batches holding nothing but blanks are left out. A batch keeps its lines as
// written, joined by CR LF.
// Pure function, safe from any thread.
#pragma once

#include <string>
#include <vector>

namespace dac {

std::vector<std::string> SplitScriptBatches(const std::vector<std::string>& lines);

}  // namespace dac
