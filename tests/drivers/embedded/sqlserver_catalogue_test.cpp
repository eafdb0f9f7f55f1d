#include <gtest/gtest.h>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::testing {
namespace {

class SqlServerCatalogueTest : public SqlServerInstanceTest {
 protected:
  void SetUp() override {
    SqlServerInstanceTest::SetUp();
    c_ = Connect();
    c_->Execute(
        "create table dbo.tHE_Item (acIdent varchar(16) not null, "
        "adChanged datetime not null constraint DF_tHE_Item_adChanged default (getdate()))\n"
        "create table dbo.tHE_Empty (anId int)\n"
        "insert into tHE_Item (acIdent) values ('A'), ('B'), ('C')");
  }

  std::int64_t IdOf(const std::string& name) {
    return Scalar(*c_, "select object_id from sys.objects where name = '" + name + "'").AsInteger();
  }

  std::unique_ptr<dac::Connection> c_;
};

TEST_F(SqlServerCatalogueTest, ObjectIdResolvesTheNameFormsOfTheCurrentDatabase) {
  const std::int64_t item = IdOf("tHE_Item");
  const std::int64_t df = IdOf("DF_tHE_Item_adChanged");
  struct Case {
    const char* call;
    std::int64_t id;  // 0: NULL
  };
  const Case cases[] = {
      {"object_id('tHE_Item')", item},
      {"object_id('THE_ITEM', 'U')", item},
      {"object_id('dbo.tHE_Item', 'U')", item},
      {"object_id('[dbo].[tHE_Item]')", item},
      {"object_id('Erp.dbo.the_item')", item},
      {"object_id('erp..tHE_Item')", item},
      {"object_id('DF_tHE_Item_adChanged', 'D')", df},
      {"object_id('tHE_Item', 'D')", 0},
      {"object_id('dbo.tHE_Nope', 'U')", 0},
      {"object_id('other.tHE_Item')", 0},
      {"object_id('master.dbo.tHE_Item')", 0},
      {"object_id('#tHE_Item')", 0},
      {"object_id('')", 0},
      {"object_id(null)", 0},
  };
  for (const Case& c : cases) {
    const dac::Value v = Scalar(*c_, std::string("select ") + c.call);
    if (c.id == 0) {
      EXPECT_TRUE(v.IsNull()) << c.call;
    } else {
      EXPECT_EQ(v.AsInteger(), c.id) << c.call;
    }
  }
}

TEST_F(SqlServerCatalogueTest, ObjectIdGuardsCreateTable) {
  const std::string guarded =
      "if object_id('dbo.tHE_Guarded', 'U') is null create table dbo.tHE_Guarded (anId int)\n"
      "insert into dbo.tHE_Guarded (anId) values (1)";
  c_->Execute(guarded);
  c_->Execute(guarded);
  EXPECT_EQ(Scalar(*c_, "select count(*) from tHE_Guarded").AsInteger(), 2);
}

TEST_F(SqlServerCatalogueTest, PartitionsHoldOneHeapPerTableWithItsRowCountAsOfTheQuery) {
  auto rows = Rows(*c_,
                   "select T.name, P.index_id, P.partition_number, P.rows from sys.partitions P "
                   "join sys.tables T on T.object_id = P.object_id order by T.name");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].AsText(), "tHE_Empty");
  EXPECT_EQ(rows[0][3].AsInteger(), 0);
  EXPECT_EQ(rows[1][0].AsText(), "tHE_Item");
  EXPECT_EQ(rows[1][1].AsInteger(), 0);
  EXPECT_EQ(rows[1][2].AsInteger(), 1);
  EXPECT_EQ(rows[1][3].AsInteger(), 3);

  c_->Execute("delete from tHE_Item where acIdent = 'A' insert into tHE_Empty (anId) values (1)");
  const std::string total = "select isnull(sum(rows), 0) from sys.partitions where index_id in (0, 1)";
  EXPECT_EQ(Scalar(*c_, total).AsInteger(), 3);
  EXPECT_EQ(Scalar(*c_, "select rows from sys.partitions where object_id = object_id('tHE_Item')").AsInteger(), 2);

  // Through a three-part name from another database, the counts are those of the database named.
  auto master = Connect("master");
  EXPECT_EQ(Scalar(*master, "select sum(rows) from Erp.sys.partitions").AsInteger(), 3);
  EXPECT_EQ(Scalar(*master, "select count(*) from sys.partitions").AsInteger(), 0);

  c_->Execute("drop table tHE_Empty");
  EXPECT_EQ(Scalar(*c_, "select count(*) from sys.partitions").AsInteger(), 1);
}

TEST_F(SqlServerCatalogueTest, UpdateStatsIsForTheOwnerAndLeavesTheDataAsItWas) {
  c_->Execute("exec sp_updatestats");
  c_->Execute("exec dbo.sp_updatestats @resample = 'resample'");
  EXPECT_EQ(Scalar(*c_, "select count(*) from tHE_Item").AsInteger(), 3);

  c_->Execute("create login [Clerk] with password = 'pw' create user [Clerk]");
  auto clerk = ConnectSqlServerInstance(Params("Erp", "Clerk", "pw"));
  EXPECT_EQ(CaughtDriverError([&] { clerk->Execute("exec sp_updatestats"); }).NativeError(), 15247);
}

}  // namespace
}  // namespace embedded::testing
