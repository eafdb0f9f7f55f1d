#include "app/headless_host.h"

#include <ostream>

namespace app {

HeadlessHost::HeadlessHost(std::ostream& err) : err_(err) {}

void HeadlessHost::ShowMessage(const std::string& text) {
  messages_.push_back(text);
  err_ << text << std::endl;
}

void HeadlessHost::ShowError(const std::string& text) {
  errors_.push_back(text);
  err_ << text << std::endl;
}

}  // namespace app
