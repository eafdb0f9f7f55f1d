#include "app/command_line.h"

#include "platform/text.h"

namespace app {

namespace {
constexpr std::size_t kIniSwitchLength = 5;  // "/INI="
constexpr std::size_t kMaxFileNameLength = 1000;
}  // namespace

const char* const kUsage =
    "usage: migrator [/A] [/INI=<settings file>]\n"
    "\n"
    "  /A            run every ticked step unattended, then close\n"
    "  /INI=<file>   settings file (default: the program's path with \".ini\" appended)\n"
    "  --help        this text\n"
    "\n"
    "Exit status: 0 the run finished, 1 an error ended it, 2 it ended early without an\n"
    "error (the database step was not ticked or did not complete).\n";

CommandLine ParseCommandLine(const std::vector<std::string>& params) {
  CommandLine result;
  for (const auto& p : params) {
    const std::string upper = platform::UpperAscii(p);
    if (upper == "/A") {
      result.auto_run = true;
    } else if (upper.starts_with("/INI=")) {
      result.ini_file_name = platform::Trim(std::string_view(p).substr(kIniSwitchLength, kMaxFileNameLength));
    }
  }
  return result;
}

bool AsksForHelp(const std::vector<std::string>& params) {
  for (const auto& p : params) {
    if (p == "--help" || p == "-h" || p == "/?") return true;
  }
  return false;
}

}  // namespace app
