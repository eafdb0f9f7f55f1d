// Where the running program lives: the run log, the settings file and the SQL
// scripts are found beside it.
#pragma once

#include <filesystem>

namespace platform {

// Full path of the running executable (from /proc/self/exe).
// Throws std::runtime_error when the platform cannot tell.
std::filesystem::path ProgramFileName();

}  // namespace platform
