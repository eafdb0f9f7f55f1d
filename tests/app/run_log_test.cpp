#include "app/run_log.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace app {
namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

TEST(RunLog, LineShapes) {
  struct Case {
    bool banner;
    const char* caption;
    const char* text;
    const char* lines;
  };
  const Case cases[] = {
      {false, "", "plain", "plain\r\n"},
      {false, "Cap", "", "Cap\r\n\r\n"},
      {false, "select 1", "failed\r\n", "select 1\r\nfailed\r\n\r\n"},
      {true, "", "Start", "=====================\r\nStart\r\n=====================\r\n"},
      {true, "Cap", "Text",
       "=====================\r\nCap\r\n---------------------\r\nText\r\n=====================\r\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    RunLog log;
    log.Open(dir / "run.log");
    log.Write(c.banner, c.caption, c.text);
    log.Close();
    EXPECT_EQ(ReadFile(dir / "run.log"), c.lines) << c.caption << "|" << c.text;
  }
}

TEST(RunLog, DuplicateEntriesAreDroppedAcrossRuns) {
  TempDir dir;
  RunLog log;
  log.Open(dir / "a.log");
  log.Write(false, "", "");  // equals the empty remembered entry: nothing
  log.Write(false, "", "AB");
  log.Write(false, "A", "B");  // joins to "AB": nothing
  log.Write(true, "", "AB");   // the banner does not count: nothing
  log.Write(false, "", "ab");  // letter case counts
  log.Close();
  EXPECT_EQ(ReadFile(dir / "a.log"), "AB\r\nab\r\n");

  log.Open(dir / "b.log");
  log.Write(false, "a", "b");
  log.Write(false, "", "C");
  log.Close();
  EXPECT_EQ(ReadFile(dir / "b.log"), "C\r\n");
  EXPECT_EQ(log.LastLogEntry(), "C");
}

TEST(RunLog, OpenReplacesAnExistingFile) {
  TempDir dir;
  testing_support::WriteFile(dir / "r.log", "old content that is long\r\n");
  RunLog log;
  log.Open(dir / "r.log");
  log.Write(false, "", "new");
  EXPECT_EQ(ReadFile(dir / "r.log"), "new\r\n");  // flushed before Write returns
}

TEST(RunLog, Failures) {
  TempDir dir;
  RunLog log;
  EXPECT_THROW(log.Write(false, "", "x"), std::logic_error);
  EXPECT_THROW(log.Open(dir / "missing" / "r.log"), std::runtime_error);
  log.Open("/dev/full");
  EXPECT_THROW(log.Write(false, "", "x"), std::runtime_error);
}

TEST(RunLog, ConcurrentWritersLeaveWholeEntriesAndLoseNone) {
  TempDir dir;
  RunLog log;
  log.Open(dir / "mt.log");
  constexpr int kThreads = 8;
  constexpr int kEntries = 500;
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < kEntries; ++i) {
          const std::string id = std::to_string(t) + ":" + std::to_string(i);
          log.Write(true, "cap " + id, "text " + id);
        }
      });
    }
  }
  log.Close();

  const std::string all = ReadFile(dir / "mt.log");
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < all.size();) {
    const std::size_t end = all.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kEntries * 5));
  std::set<std::string> seen;
  for (std::size_t i = 0; i < lines.size(); i += 5) {
    ASSERT_EQ(lines[i], "=====================");
    ASSERT_TRUE(lines[i + 1].starts_with("cap "));
    const std::string id = lines[i + 1].substr(4);
    ASSERT_EQ(lines[i + 2], "---------------------");
    ASSERT_EQ(lines[i + 3], "text " + id);
    ASSERT_EQ(lines[i + 4], "=====================");
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEntries));
}

}  // namespace
}  // namespace app
