// The silent abort: an exception that ends the current operation without an
// error message. The application's error display never shows it.
#pragma once

#include <exception>

namespace platform {

class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

}  // namespace platform
