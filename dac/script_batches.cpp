#include "dac/script_batches.h"

#include "platform/text.h"

namespace dac {
namespace {

bool IsBatchEnd(const std::string& line) { return platform::SameText(platform::Trim(line), "go"); }

}  // namespace

std::vector<std::string> SplitScriptBatches(const std::vector<std::string>& lines) {
  std::vector<std::string> batches;
  std::string batch;
  bool has_lines = false;
  auto finish = [&] {
    if (has_lines && !platform::Trim(batch).empty()) batches.push_back(std::move(batch));
    batch.clear();
    has_lines = false;
  };
  for (const auto& line : lines) {
    if (IsBatchEnd(line)) {
      finish();
      continue;
    }
    if (has_lines) batch += "\r\n";
    batch += line;
    has_lines = true;
  }
  finish();
  return batches;
}

}  // namespace dac
