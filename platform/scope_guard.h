// Runs a function when the scope is left, however it is left. The function
// must not throw.
#pragma once

#include <utility>

namespace platform {

template <class F>
class ScopeGuard {
 public:
  explicit ScopeGuard(F f) : f_(std::move(f)) {}
  ~ScopeGuard() { f_(); }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

 private:
  F f_;
};

}  // namespace platform
