#include "dac/ora_query.h"

#include <gtest/gtest.h>

#include "fake_server.h"

namespace dac {
namespace {

using testing::Col;
using testing::FakeDriver;
using testing::FakeServer;

// The table copy's source: forward only, in blocks, with the server's count.
class OraQueryTest : public ::testing::Test {
 protected:
  OraQueryTest() {
    auto& t = server.AddTable("TVX_ITEM", {Col("ACIDENT", FieldType::ftString, 16), Col("ANPRICE", FieldType::ftBCD)});
    for (int i = 1; i <= 10; ++i) t.rows.push_back({Value("item" + std::to_string(i)), Value(*Decimal::Parse("1.50"))});
    session.SetDriver(std::make_shared<FakeDriver>(server));
    session.Open();
    query.SetSession(&session);
    query.SQL.SetText("select * from tVX_Item");
    query.SetFetchRows(4);
    query.SetReadOnly(true);
    query.SetUniDirectional(true);
    query.Options.QueryRecCount = true;
  }

  FakeServer server;
  OraSession session;
  OraQuery query;
};

TEST_F(OraQueryTest, WalksOnceInBlocksOfFetchRowsWithTheServersCount) {
  query.Open();
  EXPECT_EQ(query.RecordCount(), 10);
  EXPECT_EQ(server.count_calls, 1);
  std::vector<std::string> seen;
  std::vector<std::int64_t> rec_nos;
  for (; !query.Eof(); query.Next()) {
    seen.push_back(query.FieldByName("acIdent").AsString());
    rec_nos.push_back(query.RecNo());
    EXPECT_EQ(query.Fields(1).AsDecimal().ToString(), "1.50");
  }
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen.back(), "item10");
  EXPECT_EQ(rec_nos.back(), 10);
  EXPECT_EQ(server.fetch_sizes, (std::vector<std::size_t>{4, 4, 4}));
  EXPECT_EQ(query.RecordCount(), 10);
}

TEST_F(OraQueryTest, WithoutTheCountRecordCountIsWhatWasFetched) {
  query.Options.QueryRecCount = false;
  query.Open();
  EXPECT_EQ(query.RecordCount(), 4);
  EXPECT_EQ(server.count_calls, 0);
  for (int i = 0; i < 5; ++i) query.Next();
  EXPECT_EQ(query.RecordCount(), 8);
}

TEST_F(OraQueryTest, ForwardOnlyRefusesToGoBackAndReadOnlyToChange) {
  query.Open();
  query.First();  // still on the first record: allowed
  for (int i = 0; i < 5; ++i) query.Next();
  EXPECT_THROW(query.Prior(), UsageError);
  EXPECT_THROW(query.First(), UsageError);
  EXPECT_THROW(query.Edit(), UsageError);
  EXPECT_THROW(query.Insert(), UsageError);
  EXPECT_THROW(query.SetUniDirectional(false), UsageError);
}

TEST_F(OraQueryTest, AnEmptyResultIsAtItsEndAtOnce) {
  query.SQL.SetText("select * from tVX_Item where 1=2");
  query.Open();
  EXPECT_TRUE(query.Eof());
  EXPECT_TRUE(query.IsEmpty());
  EXPECT_EQ(query.RecordCount(), 0);
  EXPECT_TRUE(query.FieldByName("ACIDENT").IsNull());
  ASSERT_NE(query.FindField("acIdent"), nullptr);  // the probe for a column works on an empty result
}

TEST_F(OraQueryTest, ChangingTheSqlClosesTheQueryAndAFailedOpenLeavesItClosed) {
  query.Open();
  query.SQL.SetText("select * from tMissing");
  EXPECT_FALSE(query.Active());
  EXPECT_ANY_THROW(query.Open());
  EXPECT_FALSE(query.Active());
  EXPECT_EQ(query.FieldCount(), 0);
}

TEST_F(OraQueryTest, ParametersOfTheSqlAreBound) {
  query.SQL.SetText("select * from tVX_Item where acIdent = :ident");
  query.ParamByName("IDENT").value = Value("item3");
  query.Open();
  EXPECT_EQ(query.RecordCount(), 1);
  EXPECT_EQ(query.FieldByName("acIdent").AsString(), "item3");
  EXPECT_EQ(server.queries.back(), "select * from tVX_Item where acIdent = ?\r\n");
}

}  // namespace
}  // namespace dac
