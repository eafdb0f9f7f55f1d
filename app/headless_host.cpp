#include "app/headless_host.h"

#include <ostream>

namespace app {

HeadlessHost::HeadlessHost(std::ostream& err) : err_(err) {}

void HeadlessHost::ProcessMessages() {
  if (!describe_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_print_ < std::chrono::milliseconds(250)) return;
  std::string line = describe_();
  if (line == last_line_) return;
  last_print_ = now;
  const std::size_t old_size = last_line_.size();
  last_line_ = line;
  if (line.size() < old_size) line.append(old_size - line.size(), ' ');
  err_ << '\r' << line << std::flush;
}

void HeadlessHost::EndProgress() {
  if (last_line_.empty()) return;
  err_ << '\n' << std::flush;
  last_line_.clear();
}

void HeadlessHost::ShowMessage(const std::string& text) {
  EndProgress();
  messages_.push_back(text);
  err_ << text << std::endl;
}

void HeadlessHost::ShowError(const std::string& text) {
  EndProgress();
  errors_.push_back(text);
  err_ << text << std::endl;
}

}  // namespace app
