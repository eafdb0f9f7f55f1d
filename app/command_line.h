// The program's switches: "/A" runs the migration unattended and closes the
// window; "/INI=<file>" names the settings file. Anything else is ignored.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

struct CommandLine {
  bool auto_run = false;
  std::optional<std::string> ini_file_name;  // the last "/INI=" wins
};

CommandLine ParseCommandLine(const std::vector<std::string>& params);

// True for the parameters that ask for the usage text instead of a run.
bool AsksForHelp(const std::vector<std::string>& params);

extern const char* const kUsage;

}  // namespace app
