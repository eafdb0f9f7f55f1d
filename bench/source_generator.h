// A large ERP source for the row copy's benchmarks and the demo: an embedded
// Oracle instance holding `tables` tables of every column type the type mapping
// knows, LOBs included, with the values the copy's clamps exist for mixed in.
// The same shape and seed give the same instance. Not thread-safe: one
// generation per instance folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct SourceShape {
  int tables = 20;
  std::int64_t rows = 1000000;  // over all tables, spread evenly
  std::uint64_t seed = 1;
  std::string schema = "NORTIVA55";
  std::string sys_password = "Fenwirk";
  // Business tables as the ERP names them (tHE_...), registered in
  // tVX_SysTables, with sizes falling from the largest (the largest holds about
  // a quarter of the rows); otherwise TGEN1... of even sizes.
  bool erp_like = false;
};

// The table names of a shape, largest first.
std::vector<std::string> SourceTables(const SourceShape& shape);

// The rows of each table of SourceTables, in the same order; they add up to shape.rows.
std::vector<std::int64_t> SourceTableRows(const SourceShape& shape);

// The Oracle declaration of the generated tables' columns, in order.
const std::vector<std::pair<std::string, std::string>>& SourceColumns();

// Creates the instance in `dir` (which must not hold one) and fills it.
// Throws std::runtime_error or dac::DriverError when the instance refuses.
void GenerateSource(const std::filesystem::path& dir, const SourceShape& shape);

}  // namespace bench
