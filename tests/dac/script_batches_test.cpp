#include "dac/script_batches.h"

#include <gtest/gtest.h>

namespace dac {
namespace {

TEST(SplitScriptBatches, GoLinesEndBatchesAndBlankBatchesAreLeftOut) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> batches;
  };
  const Case cases[] = {
      {"no go line: one batch", {"create table a (x int)", "insert into a values (1)"},
       {"create table a (x int)\r\ninsert into a values (1)"}},
      {"any case, blanks around", {"select 1", "  Go\t", "select 2", "GO", "select 3"},
       {"select 1", "select 2", "select 3"}},
      {"blank batches skipped", {"", "go", "   ", "", "go", "select 1", "go", "go"}, {"select 1"}},
      {"go inside a line is text", {"select 'go' as go", "print 'gone'", "go -- comment"},
       {"select 'go' as go\r\nprint 'gone'\r\ngo -- comment"}},
      {"lines of a batch keep their blanks", {"  create table b (", "    y int)", "go"},
       {"  create table b (\r\n    y int)"}},
      {"empty script", {}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitScriptBatches(c.lines), c.batches) << c.name;
  }
}

}  // namespace
}  // namespace dac
