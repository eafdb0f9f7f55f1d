#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

class SqlServerInsertTest : public SqlServerInstanceTest {
 protected:
  void SetUp() override {
    SqlServerInstanceTest::SetUp();
    c_ = Connect();
    c_->Execute("create table [dbo].[T] ([a] int not null, [b] varchar(5))");
  }
  std::int64_t Count() { return Scalar(*c_, "select count(*) from T").AsInteger(); }
  std::unique_ptr<dac::Connection> c_;
};

TEST_F(SqlServerInsertTest, InsertRowsStopsAtTheFirstRefusedRow) {
  const std::vector<dac::Row> rows = {{1, "a"}, {2, "b"}, {3, "c"}, {dac::Value(), "d"}, {5, "e"}, {6, "ffffff"}};
  auto r = c_->InsertRows("T", {"a", "b"}, rows, 1);
  EXPECT_EQ(r.inserted, 2u);  // rows 1 and 2; row 3 is refused
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->NativeError(), 515);
  EXPECT_EQ(r.error->Records()[0].message,
            "Cannot insert the value NULL into column 'a', table 'Erp.dbo.T'; column does not allow nulls. INSERT "
            "fails.");
  EXPECT_EQ(Count(), 2);

  // Going on after the refused row, as a caller that skips it does.
  r = c_->InsertRows("T", {"[a]", "[b]"}, rows, 4);
  EXPECT_EQ(r.inserted, 1u);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->NativeError(), 8152);
  EXPECT_EQ(Count(), 3);
}

// Rows are converted before any goes in: a later row that does not convert
// must not hide an earlier one that the database refuses.
TEST_F(SqlServerInsertTest, InsertRowsReportsTheFirstRefusalWhereverItArises) {
  c_->Execute("create table [dbo].[tU] ([k] int not null primary key, [b] varchar(5))");
  const auto r = c_->InsertRows("tU", {"k", "b"}, {{1, "a"}, {1, "b"}, {3, "cccccc"}});
  EXPECT_EQ(r.inserted, 1u);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->NativeError(), 2627);
  EXPECT_EQ(Scalar(*c_, "select count(*) from tU").AsInteger(), 1);
}

TEST_F(SqlServerInsertTest, InsertRowsIntoAnUnknownTableRefusesTheFirstRow) {
  const auto r = c_->InsertRows("Nope", {"a"}, {{1}});
  EXPECT_EQ(r.inserted, 0u);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->ServerMessage(), "Invalid object name 'Nope'.");
  EXPECT_EQ(c_->InsertRows("T", {"zz"}, {{1}}).error->ServerMessage(), "Invalid column name 'zz'.");
}

TEST_F(SqlServerInsertTest, RolledBackTransactionLeavesNoRows) {
  c_->StartTransaction();
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_EQ(c_->InsertRows("T", {"a"}, {{1}, {2}}).inserted, 2u);
  EXPECT_EQ(Count(), 2);
  c_->Rollback();
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(CaughtDriverError([&] { c_->Execute("commit"); }).NativeError(), 3902);
}

TEST_F(SqlServerInsertTest, IdentityColumnsDrawValuesUnlessIdentityInsertIsOn) {
  c_->Execute("create table [dbo].[tLog] ([anSeq] int identity(1,1) not null, [acText] varchar(10))");
  c_->Execute("insert into tLog (acText) values ('one'), ('two')");
  auto e = CaughtDriverError([&] { c_->Execute("insert into tLog (anSeq, acText) values (10, 'ten')"); });
  EXPECT_EQ(e.ServerMessage(),
            "Cannot insert explicit value for identity column in table 'tLog' when IDENTITY_INSERT is set to OFF.");

  c_->Execute("set identity_insert [dbo].[tLog] on");
  EXPECT_FALSE(c_->InsertRows("tLog", {"anSeq", "acText"}, {{10, "ten"}}).error);
  e = CaughtDriverError([&] { c_->Execute("set identity_insert T on"); });
  EXPECT_EQ(e.NativeError(), 8106);
  c_->Execute("set identity_insert [dbo].[tLog] off ");

  // The counter goes on after the highest explicit value.
  c_->Execute("insert into tLog (acText) values ('next')");
  const auto rows = Rows(*c_, "select anSeq from tLog order by anSeq");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][0].AsInteger(), 1);
  EXPECT_EQ(rows[1][0].AsInteger(), 2);
  EXPECT_EQ(rows[2][0].AsInteger(), 10);
  EXPECT_EQ(rows[3][0].AsInteger(), 11);
}

TEST_F(SqlServerInsertTest, DefaultsFillLeftOutColumns) {
  c_->Execute("create table tD (a int not null, n int not null default (0), s varchar(3) default ('x'), d datetime default (getdate()))");
  c_->Execute("insert into tD (a) values (1)");
  const auto rows = Rows(*c_, "select n, s, d from tD");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsInteger(), 0);
  EXPECT_EQ(rows[0][1].AsText(), "x");
  EXPECT_EQ(rows[0][2].Kind(), dac::ValueKind::kDateTime);
  // Without a default a NOT NULL column refuses the row.
  EXPECT_EQ(CaughtDriverError([&] { c_->Execute("insert into T (b) values ('x')"); }).NativeError(), 515);
}

// One connection per thread, as the copy's workers have; no row may be lost.
TEST_F(SqlServerInsertTest, ConnectionsOfSeveralThreadsInsertIntoOneDatabase) {
  constexpr int kThreads = 4, kBatches = 25, kRows = 200;
  std::vector<std::thread> workers;
  std::vector<std::string> failures(kThreads);
  for (int w = 0; w < kThreads; ++w) {
    workers.emplace_back([&, w] {
      try {
        auto c = Connect();
        for (int b = 0; b < kBatches; ++b) {
          std::vector<dac::Row> rows;
          for (int r = 0; r < kRows; ++r) rows.push_back({(w * kBatches + b) * kRows + r, "w" + std::to_string(w)});
          const auto result = c->InsertRows("T", {"a", "b"}, rows);
          if (result.error) throw *result.error;
          // Readers on the same connection between batches, as the copy reopens its target.
          Rows(*c, "select * from T where 1=2");
        }
      } catch (const std::exception& e) {
        failures[static_cast<std::size_t>(w)] = e.what();
      }
    });
  }
  for (auto& t : workers) t.join();
  for (const auto& f : failures) EXPECT_EQ(f, "");
  EXPECT_EQ(Count(), kThreads * kBatches * kRows);
  EXPECT_EQ(Scalar(*c_, "select count(distinct a) from T").AsInteger(), kThreads * kBatches * kRows);
}

}  // namespace
}  // namespace embedded::testing
