#include "dac/ms_dataset.h"

namespace dac {

CustomMSDataSet::~CustomMSDataSet() = default;

std::string CustomMSDataSet::QuoteTableName(std::string_view name) const {
  return Options.QuoteNames ? BracketName(name) : std::string(name);
}

std::string CustomMSDataSet::QuoteColumnName(std::string_view name) const {
  if (!Options.QuoteNames || name.starts_with('[')) return std::string(name);
  std::string out = "[";
  for (const char c : name) {
    out += c;
    if (c == ']') out += ']';
  }
  return out + "]";
}

}  // namespace dac
