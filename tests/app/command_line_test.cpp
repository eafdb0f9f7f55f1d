#include "app/command_line.h"

#include <gtest/gtest.h>

namespace app {
namespace {

TEST(ParseCommandLine, Switches) {
  struct Case {
    std::vector<std::string> params;
    bool auto_run;
    std::optional<std::string> ini;
  };
  const std::string long_name(1200, 'x');
  const Case cases[] = {
      {{}, false, std::nullopt},
      {{"/A"}, true, std::nullopt},
      {{"/a"}, true, std::nullopt},
      {{"/AUTO"}, false, std::nullopt},
      {{"A"}, false, std::nullopt},
      {{"/ini=site.ini"}, false, "site.ini"},
      {{"/INI=  /etc/my site.ini  "}, false, "/etc/my site.ini"},
      {{"/Ini="}, false, ""},
      {{"/INI=a.ini", "/a", "/INI=b.ini"}, true, "b.ini"},
      {{"/INI", "--verbose", "x"}, false, std::nullopt},
      {{"/INI=" + long_name}, false, std::string(1000, 'x')},
  };
  for (const auto& c : cases) {
    const CommandLine cl = ParseCommandLine(c.params);
    const std::string what = c.params.empty() ? "(none)" : c.params.front();
    EXPECT_EQ(cl.auto_run, c.auto_run) << what;
    EXPECT_EQ(cl.ini_file_name, c.ini) << what;
  }
}

}  // namespace
}  // namespace app
