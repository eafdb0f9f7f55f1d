#include "platform/error_display.h"

#include <iostream>
#include <mutex>

namespace platform {
namespace {

std::mutex& DisplayMutex() {
  static std::mutex m;
  return m;
}

std::function<void(const std::string&)>& Display() {
  static std::function<void(const std::string&)> d;
  return d;
}

}  // namespace

void SetErrorDisplay(std::function<void(const std::string&)> display) {
  std::lock_guard lock(DisplayMutex());
  Display() = std::move(display);
}

void ShowErrorMessage(const std::string& message) {
  std::function<void(const std::string&)> display;
  {
    std::lock_guard lock(DisplayMutex());
    display = Display();
  }
  if (display) {
    display(message);
  } else {
    std::cerr << message << std::endl;
  }
}

}  // namespace platform
