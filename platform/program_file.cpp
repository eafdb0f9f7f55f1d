#include "platform/program_file.h"

#include <stdexcept>
#include <system_error>

namespace platform {

std::filesystem::path ProgramFileName() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) throw std::runtime_error("Cannot determine the program file: " + ec.message());
  return p;
}

}  // namespace platform
