#include "app/run_log.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace app {
namespace {

constexpr std::string_view kBannerLine = "=====================";
constexpr std::string_view kCaptionRule = "---------------------";

}  // namespace

void RunLog::Open(const std::filesystem::path& file_name) {
  std::lock_guard lock(mutex_);
  file_.reset();
  std::FILE* f = std::fopen(file_name.c_str(), "wb");
  if (!f) {
    throw std::runtime_error("Cannot create file \"" + file_name.string() + "\". " + std::strerror(errno));
  }
  file_.reset(f);
  file_name_ = file_name;
}

void RunLog::Close() noexcept {
  std::lock_guard lock(mutex_);
  file_.reset();
}

bool RunLog::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

std::string RunLog::LastLogEntry() const {
  std::lock_guard lock(mutex_);
  return last_log_entry_;
}

void RunLog::Write(bool banner, std::string_view caption, std::string_view text) {
  std::lock_guard lock(mutex_);
  if (!file_) throw std::logic_error("The run log is written while no run is in progress");

  std::string joined;
  joined.reserve(caption.size() + text.size());
  joined.append(caption).append(text);
  if (joined == last_log_entry_) return;

  auto line = [&](std::string_view s) {
    if (std::fwrite(s.data(), 1, s.size(), file_.get()) != s.size() ||
        std::fwrite("\r\n", 1, 2, file_.get()) != 2) {
      throw std::runtime_error("Cannot write to the run log \"" + file_name_.string() + "\". " + std::strerror(errno));
    }
  };
  if (banner) line(kBannerLine);
  if (!caption.empty()) line(caption);
  if (banner && !caption.empty()) line(kCaptionRule);
  line(text);
  if (banner) line(kBannerLine);

  last_log_entry_ = std::move(joined);
  if (std::fflush(file_.get()) != 0) {
    throw std::runtime_error("Cannot write to the run log \"" + file_name_.string() + "\". " + std::strerror(errno));
  }
}

}  // namespace app
