// The ODBC driver against a real server: PostgreSQL through its ODBC driver,
// standing for the ERP's Oracle source (see pg-cluster and oracle_source.sql).
#include "drivers/odbc/odbc_connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "dac/driver.h"
#include "drivers/odbc/odbc_driver.h"
#include "tests/drivers/odbc/pg_source.h"

namespace odbc {
namespace {

using dac::FieldType;
using ::testing::HasSubstr;
using testing::AllRows;
using testing::PgAsSqlServer;
using testing::PgSource;
using testing::ScratchTable;

dac::Decimal Dec(const char* text) { return *dac::Decimal::Parse(text); }
dac::DateTime Dt(const char* text) { return *dac::DateTime::Parse(text); }

class OdbcConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override { ODBC_ASSERT_OK(c_ = ConnectOdbc(PgSource())); }
  std::unique_ptr<dac::Connection> c_;
};

TEST(OdbcDriver, IsRegisteredUnderItsNameAndConnects) {
  RegisterOdbcDriver();
  const auto driver = dac::FindDriver("ODBC");
  EXPECT_EQ(driver->Name(), "odbc");
  std::unique_ptr<dac::Connection> c;
  ODBC_ASSERT_OK(c = driver->Connect(PgSource()));
  EXPECT_THAT(c->ServerVersion(), ::testing::StartsWith("15."));
  EXPECT_TRUE(c->Supports(dac::Feature::kParameterArrays));
  EXPECT_TRUE(c->Supports(dac::Feature::kTransactions));
}

TEST(OdbcDriver, RefusedLoginCarriesTheServersOwnMessage) {
  dac::ConnectParams p = PgSource();
  p.password = "wrong";
  try {
    ConnectOdbc(p);
    FAIL() << "a wrong password was accepted";
  } catch (const dac::DriverError& e) {
    EXPECT_THAT(e.what(), HasSubstr("password authentication failed for user \"NORTIVA\""));
    EXPECT_FALSE(e.Records().empty());
    EXPECT_EQ(e.SqlState().size(), 5u);
  }
}

TEST(OdbcDriver, SqlServerWhereNoneListensFailsWithFreeTdsOwnMessage) {
  dac::ConnectParams p;
  p.kind = dac::ServerKind::kSqlServer;
  p.server = "127.0.0.1," + std::to_string(testing::UnusedPort());
  p.database = "master";
  p.user = "sa";
  p.password = "secret";
  const auto start = std::chrono::steady_clock::now();
  try {
    ConnectOdbc(p);
    FAIL() << "connected to a server that does not exist";
  } catch (const dac::DriverError& e) {
    EXPECT_THAT(e.what(), HasSubstr("[FreeTDS]"));
    EXPECT_THAT(e.what(), HasSubstr("Unable to connect"));
    EXPECT_THAT(e.SqlState(), ::testing::StartsWith("08")) << "a connection failure";
    ASSERT_GE(e.Records().size(), 2u) << "FreeTDS leaves a record of its own under the driver manager's";
    EXPECT_THAT(e.Records().back().message, HasSubstr("Unable to connect to data source"));
    EXPECT_TRUE(e.Sql().empty()) << "the connection string holds the password and must not travel";
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(OdbcDriver, MissingOdbcDriverIsReportedByTheDriverManager) {
  dac::ConnectParams p = PgSource();
  p.odbc_driver = "No Such PostgreSQL Driver";
  try {
    ConnectOdbc(p);
    FAIL() << "connected through a driver that is not installed";
  } catch (const dac::DriverError& e) {
    EXPECT_THAT(e.what(), HasSubstr("[unixODBC]"));
    EXPECT_EQ(e.SqlState(), "01000");
  }
}

TEST_F(OdbcConnectionTest, SchemaOfTheSettingsIsTheCurrentSchema) {
  dac::ConnectParams p = PgSource();
  p.database = "nortiva";  // typed in lower case: Oracle takes the unquoted name in upper case
  std::unique_ptr<dac::Connection> c;
  ODBC_ASSERT_OK(c = ConnectOdbc(p));
  const auto rows = AllRows(*c, "select current_schema, count(*) from tVX_SysTables group by current_schema");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], dac::Value("NORTIVA"));
}

// The dictionary views of the fixture answer the steps' own queries as an
// Oracle source would.
TEST_F(OdbcConnectionTest, DictionaryAnswersTheTableListOfTheCopy) {
  const std::string list =
      "select NVL(S.acTableName, T.table_name) as table_name from all_tables T left join tVX_SysTables S on "
      "Upper(S.acTableName) = T.table_name left join all_mviews M on M.Owner = T.Owner and M.mview_name = "
      "T.table_name where T.owner = 'NORTIVA' and temporary = 'N' and M.mview_name is null   and table_name not in "
      "('TVX_SYSOBJECT', 'TVX_SYSSERVER', 'TVX_SYSDATABASE', 'TVX_SYSSCHEMA') order by T.num_rows desc";
  std::vector<dac::Row> rows;
  ODBC_ASSERT_OK(rows = AllRows(*c_, list));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front()[0], dac::Value("tHE_Move")) << "largest first";
  std::vector<std::string> names;
  for (const auto& r : rows) names.push_back(r[0].AsText());
  EXPECT_THAT(names, ::testing::IsSupersetOf({"tHE_SetItem", "tVX_SysTables", "TVX_REPORTS"}));
  EXPECT_THAT(names, ::testing::Not(::testing::Contains("THE_MOVESUM"))) << "a materialized view is no table";
  std::int64_t counted = 0;
  ODBC_ASSERT_OK(counted = c_->CountRows(list));
  EXPECT_EQ(counted, static_cast<std::int64_t>(rows.size()));

  const auto admins = AllRows(*c_,
                              "select acUserId, case when exists (select 1 from dba_role_privs where grantee = "
                              "C.acUserId and granted_role = 'RVX_ADMIN_USER') then 'T' else 'F' end as IsAdmin "
                              "from tHE_SetSubjContact C where acUserId <> ' ' and acActive = 'T' and exists "
                              "(select 1 from dba_role_privs where grantee = C.acUserId) order by acUserID");
  ASSERT_EQ(admins.size(), 2u);
  EXPECT_EQ(admins[0], (dac::Row{"ANNA", "T"}));
  EXPECT_EQ(admins[1], (dac::Row{"BORIS", "T"}));
}

struct TypeCase {
  const char* declared;  // PostgreSQL column type
  const char* literal;
  FieldType oracle_type;      // seen through a connection that stands for Oracle
  FieldType sqlserver_type;   // seen through one that stands for SQL Server
  int size, precision, scale;
  dac::Value value;           // as the Oracle connection reads it
};

TEST(OdbcColumnTypes, MapToFieldKindsWithSizesAndExactValues) {
  const TypeCase cases[] = {
      {"varchar(16)", "'Bolt M6  '", FieldType::ftWideString, FieldType::ftWideString, 16, 0, 0, "Bolt M6  "},
      {"char(3)", "'PC'", FieldType::ftWideString, FieldType::ftWideString, 3, 0, 0, "PC "},
      {"varchar(30)", "'Grüner Tee — 100 g \xF0\x9F\x98\x80'", FieldType::ftWideString, FieldType::ftWideString, 30, 0,
       0, "Grüner Tee — 100 g \xF0\x9F\x98\x80"},
      {"numeric(5)", "-12345", FieldType::ftInteger, FieldType::ftBCD, 0, 5, 0, std::int64_t{-12345}},
      {"numeric(18)", "999999999999999999", FieldType::ftLargeint, FieldType::ftBCD, 0, 18, 0,
       std::int64_t{999999999999999999}},
      {"numeric(19,4)", "922337203685477.5807", FieldType::ftFMTBcd, FieldType::ftFMTBcd, 0, 19, 4,
       Dec("922337203685477.5807")},
      {"numeric(15,4)", "0.1000", FieldType::ftFMTBcd, FieldType::ftBCD, 0, 15, 4, Dec("0.1000")},
      {"numeric(38,9)", "-12345678901234567890123456789.123456789", FieldType::ftFMTBcd, FieldType::ftFMTBcd, 0, 38, 9,
       Dec("-12345678901234567890123456789.123456789")},
      {"numeric(20)", "12345678901234567890", FieldType::ftFMTBcd, FieldType::ftFMTBcd, 0, 20, 0,
       Dec("12345678901234567890")},
      {"smallint", "-32768", FieldType::ftSmallint, FieldType::ftSmallint, 0, 5, 0, std::int64_t{-32768}},
      {"integer", "2147483647", FieldType::ftInteger, FieldType::ftInteger, 0, 10, 0, std::int64_t{2147483647}},
      {"bigint", "-9223372036854775808", FieldType::ftLargeint, FieldType::ftLargeint, 0, 19, 0,
       std::int64_t{INT64_MIN}},
      {"boolean", "true", FieldType::ftBoolean, FieldType::ftBoolean, 0, 0, 0, true},
      {"float8", "0.1", FieldType::ftFloat, FieldType::ftFloat, 0, 17, 0, Dec("0.1")},
      {"timestamp(0)", "'1850-03-01 00:00:00'", FieldType::ftDateTime, FieldType::ftDateTime, 0, 0, 0,
       Dt("1850-03-01 00:00:00")},
      {"timestamp(6)", "'2020-01-15 10:30:00.123456'", FieldType::ftDateTime, FieldType::ftDateTime, 0, 0, 6,
       Dt("2020-01-15 10:30:00.123456")},
      {"date", "'2079-06-05'", FieldType::ftDate, FieldType::ftDate, 0, 0, 0, Dt("2079-06-05")},
      {"time(0)", "'23:59:58'", FieldType::ftTime, FieldType::ftTime, 0, 0, 0, Dt("1899-12-30 23:59:58")},
      {"text", "'note'", FieldType::ftWideMemo, FieldType::ftWideMemo, -1, 0, 0, "note"},
      {"bytea", "'\\x00ff10'", FieldType::ftBlob, FieldType::ftBlob, -1, 0, 0, dac::Bytes{0x00, 0xFF, 0x10}},
      {"varchar(10)", "null", FieldType::ftWideString, FieldType::ftWideString, 10, 0, 0, nullptr},
  };
  std::unique_ptr<dac::Connection> oracle, sqlserver;
  ODBC_ASSERT_OK(oracle = ConnectOdbc(PgSource()));
  ODBC_ASSERT_OK(sqlserver = ConnectOdbc(PgAsSqlServer()));
  std::string columns, values;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    columns += (i ? ", c" : "c") + std::to_string(i) + " " + cases[i].declared;
    values += (i ? ", " : "") + std::string(cases[i].literal);
  }
  ScratchTable t(*oracle, "types", columns);
  oracle->Execute("insert into " + t.Name() + " values (" + values + ")");

  for (dac::Connection* c : {oracle.get(), sqlserver.get()}) {
    const bool as_oracle = c == oracle.get();
    auto cursor = c->Query("select * from " + t.Name());
    std::vector<dac::Row> rows;
    cursor->Fetch(rows, 10);
    ASSERT_EQ(rows.size(), 1u);
    const auto& cols = cursor->Columns();
    ASSERT_EQ(cols.size(), std::size(cases));
    for (std::size_t i = 0; i < cols.size(); ++i) {
      const TypeCase& k = cases[i];
      SCOPED_TRACE(std::string(k.declared) + (as_oracle ? " as Oracle" : " as SQL Server"));
      EXPECT_EQ(FieldTypeName(cols[i].type), FieldTypeName(as_oracle ? k.oracle_type : k.sqlserver_type));
      if (k.size >= 0) {
        EXPECT_EQ(cols[i].size, k.size);
      }
      if (k.precision) {
        EXPECT_EQ(cols[i].precision, k.precision);
      }
      EXPECT_EQ(cols[i].scale, k.scale);
      if (as_oracle) {
        EXPECT_EQ(rows[0][i], k.value) << rows[0][i].ToText();
      }
    }
  }
}

TEST_F(OdbcConnectionTest, SqlServerRulesReadExactNumbersAsDecimalsAndFloatsAsDoubles) {
  std::unique_ptr<dac::Connection> c;
  ODBC_ASSERT_OK(c = ConnectOdbc(PgAsSqlServer()));
  const auto rows = AllRows(*c, "select 123.4500::numeric(10,4), 1e300::float8, 7::numeric(5)");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], dac::Value(Dec("123.4500")));
  EXPECT_EQ(rows[0][1], dac::Value(1e300));
  EXPECT_EQ(rows[0][2], dac::Value(Dec("7")));
}

TEST_F(OdbcConnectionTest, LobsArriveWholeThroughManyChunks) {
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) text += "řádek " + std::to_string(i) + " \xF0\x9F\x98\x80\n";
  dac::Bytes blob(200000);
  for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 7919 % 251);
  ScratchTable t(*c_, "lobs", "id integer, note text, picture bytea");
  ODBC_ASSERT_OK(c_->Execute("insert into " + t.Name() + " values (1, ?, ?), (2, null, null), (3, '', ?)",
                             {text, blob, dac::Bytes{}}));
  const auto rows = AllRows(*c_, "select id, note, picture from " + t.Name() + " order by id");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1].AsText().size(), text.size());
  EXPECT_TRUE(rows[0][1] == dac::Value(text));
  EXPECT_TRUE(rows[0][2] == dac::Value(blob));
  EXPECT_EQ(rows[1], (dac::Row{std::int64_t{2}, nullptr, nullptr}));
  EXPECT_EQ(rows[2], (dac::Row{std::int64_t{3}, "", dac::Bytes{}}));
}

TEST_F(OdbcConnectionTest, ValueLongerThanTheDriverDeclaresIsRefusedNotCutShort) {
  // The PostgreSQL driver declares an unbounded varchar 255 characters wide.
  try {
    AllRows(*c_, "select repeat('x', 1000)::varchar as wide");
    FAIL() << "a 1000-character value came through a 255-character buffer";
  } catch (const dac::DriverError& e) {
    EXPECT_THAT(e.what(), HasSubstr("wide"));
  }
}

TEST_F(OdbcConnectionTest, FetchHandsOutBlocksOfTheAskedSizeInOrder) {
  // Fetch sizes of successive calls, repeated: the arrays grow when a call
  // asks for more than an earlier one.
  const std::vector<std::vector<std::size_t>> sequences = {{1}, {7}, {4000}, {10000}, {1, 4000, 3}};
  for (const auto& sizes : sequences) {
    SCOPED_TRACE(::testing::PrintToString(sizes));
    auto cursor = c_->Query("select acKey, adDate, anValue from tHE_Move order by acKey");
    std::vector<dac::Row> rows;
    bool more = true;
    for (std::size_t call = 0; more; ++call) {
      const std::size_t fetch = sizes[call % sizes.size()];
      const std::size_t before = rows.size();
      more = cursor->Fetch(rows, fetch);
      ASSERT_LE(rows.size() - before, fetch);
      if (more) {
        ASSERT_EQ(rows.size() - before, fetch) << "a block short of the fetch size before the end";
      }
    }
    ASSERT_EQ(rows.size(), 5000u);
    EXPECT_EQ(rows.front()[0], dac::Value("0000000000001"));
    EXPECT_EQ(rows.back()[0], dac::Value("0000000005000"));
    EXPECT_EQ(rows.back()[1], dac::Value(Dt("2022-07-28 08:00:00")));
    EXPECT_EQ(rows[16][2], dac::Value(Dec("2.8900")));
    for (std::size_t i = 1; i < rows.size(); ++i) ASSERT_LT(rows[i - 1][0].AsText(), rows[i][0].AsText());
    EXPECT_FALSE(cursor->Fetch(rows, 10)) << "a finished cursor stays finished";
  }
}

TEST_F(OdbcConnectionTest, CursorOutlivingItsConnectionIsHarmless) {
  auto cursor = c_->Query("select acKey from tHE_Move");
  std::vector<dac::Row> rows;
  cursor->Fetch(rows, 10);
  c_.reset();
  cursor.reset();
  EXPECT_EQ(rows.size(), 10u);
}

TEST_F(OdbcConnectionTest, CountRowsIsTheServersCount) {
  // tHE_Move row i (1..5000) has anValue i * 17 / 100: above 800 from i = 4706 on.
  const struct {
    std::string sql;
    std::vector<dac::Value> params;
    std::int64_t expected;
  } cases[] = {
      {"select * from tHE_Move", {}, 5000},
      {"select * from tHE_Move where anValue > ? order by acKey;", {Dec("800.00")}, 295},
      {"select * from tHE_Move where acDocType = ? -- one kind", {"3000"}, 5000},
      {"select * from tVX_SysTables where 1 = 2", {}, 0},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.sql);
    std::int64_t n = -1;
    ODBC_ASSERT_OK(n = c_->CountRows(k.sql, k.params));
    EXPECT_EQ(n, k.expected);
  }
}

TEST_F(OdbcConnectionTest, ParametersTravelExactly) {
  const dac::Row params = {std::int64_t{-9007199254740993},
                           Dec("12345678901234567890.000000000001"),
                           Dt("1899-12-30 23:59:59.999999"),
                           "čšž — \xF0\x9F\x98\x80",
                           dac::Bytes{0, 1, 2, 255},
                           true,
                           0.1,
                           nullptr};
  std::vector<dac::Row> rows;
  ODBC_ASSERT_OK(rows = AllRows(*c_,
                                "select ?::bigint, ?::numeric(40,12), ?::timestamp(6), ?::varchar(20), ?::bytea, "
                                "?::boolean, ?::float8, ?::varchar(5)",
                                params));
  ASSERT_EQ(rows.size(), 1u);
  dac::Row expected = params;
  expected[6] = Dec("0.1");  // an Oracle source's FLOAT arrives exact
  EXPECT_EQ(rows[0], expected);
}

TEST_F(OdbcConnectionTest, ExecuteCountsAffectedRowsAndReportsTheFailingStatement) {
  ScratchTable t(*c_, "affected", "id integer primary key, name varchar(10)");
  EXPECT_EQ(c_->Execute("insert into " + t.Name() + " select g, 'n' || g from generate_series(1, 5) g"), 5);
  EXPECT_EQ(c_->Execute("update " + t.Name() + " set name = ? where id > ?", {"x", 2}), 3);
  EXPECT_EQ(c_->Execute("delete from " + t.Name() + " where id > 100"), 0);
  const std::string bad = "select * from no_such_table";
  try {
    c_->Execute(bad);
    FAIL();
  } catch (const dac::DriverError& e) {
    EXPECT_THAT(e.what(), HasSubstr("relation \"no_such_table\" does not exist"));
    EXPECT_EQ(e.SqlState(), "42P01");
    EXPECT_EQ(e.Sql(), bad);
  }
}

TEST_F(OdbcConnectionTest, TransactionsCommitAndRollBack) {
  ScratchTable t(*c_, "tx", "id integer");
  const auto count = [&] { return c_->CountRows("select * from " + t.Name()); };
  c_->StartTransaction();
  EXPECT_TRUE(c_->InTransaction());
  EXPECT_THROW(c_->StartTransaction(), dac::UsageError);
  c_->Execute("insert into " + t.Name() + " values (1)");
  c_->Rollback();
  EXPECT_EQ(count(), 0);
  c_->StartTransaction();
  c_->Execute("insert into " + t.Name() + " values (2)");
  c_->Commit();
  EXPECT_FALSE(c_->InTransaction());
  EXPECT_EQ(count(), 1);
  c_->Execute("insert into " + t.Name() + " values (3)");
  EXPECT_EQ(count(), 2) << "autocommit is back after the transaction";
  EXPECT_THROW(c_->Commit(), dac::UsageError);
  EXPECT_THROW(c_->Rollback(), dac::UsageError);
}

class OdbcInsertRowsTest : public OdbcConnectionTest {
 protected:
  void SetUp() override {
    OdbcConnectionTest::SetUp();
    if (c_) {
      table_ = std::make_unique<ScratchTable>(
          *c_, "ins",
          "id integer primary key, code varchar(5), amount numeric(19,4), at timestamp(3), note text, "
          "picture bytea, flag boolean, weight float8");
    }
  }
  void TearDown() override { table_.reset(); }

  std::vector<std::string> Columns() const { return {"id", "code", "amount", "at", "note", "picture", "flag", "weight"}; }

  static dac::Row MakeRow(int id) {
    if (id % 10 == 9) return {std::int64_t{id}, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return {std::int64_t{id},
            "c" + std::to_string(id % 1000),
            Dec(("-" + std::to_string(id) + ".0001").c_str()),
            dac::DateTime{2000 + id % 100, 1 + id % 12, 1 + id % 28, id % 24, id % 60, id % 60, (id % 1000) * 1000000},
            std::string(static_cast<std::size_t>(id % 50), 'n') + "ž",
            dac::Bytes(static_cast<std::size_t>(id % 20), static_cast<std::uint8_t>(id)),
            id % 2 == 0,
            id / 8.0};
  }

  std::vector<dac::Row> Stored() { return AllRows(*c_, "select * from " + table_->Name() + " order by id"); }

  std::unique_ptr<ScratchTable> table_;
};

TEST_F(OdbcInsertRowsTest, BatchArrivesExactly) {
  std::vector<dac::Row> rows;
  for (int i = 0; i < 2500; ++i) rows.push_back(MakeRow(i));
  dac::Connection::InsertResult r;
  ODBC_ASSERT_OK(r = c_->InsertRows(table_->Name(), Columns(), rows));
  EXPECT_FALSE(r.error) << r.error->what();
  EXPECT_EQ(r.inserted, rows.size());
  const auto stored = Stored();
  ASSERT_EQ(stored.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    dac::Row expected = rows[i];
    if (!expected[7].IsNull()) expected[7] = *dac::Decimal::Parse(dac::Value(expected[7].AsDouble()).ToText());
    ASSERT_EQ(stored[i], expected) << "row " << i;
  }
}

TEST_F(OdbcInsertRowsTest, RefusedRowKeepsExactlyTheRowsBeforeIt) {
  // 2500 rows, more than the PostgreSQL driver sends per round trip, with a
  // duplicate at 2300: the refusal lies in the second chunk.
  std::vector<int> long_batch(2500);
  for (int i = 0; i < 2500; ++i) long_batch[static_cast<std::size_t>(i)] = i + 1;
  long_batch[2300] = 5;
  const struct {
    const char* what;
    std::vector<int> ids;
    std::size_t first;
    std::size_t inserted;
    const char* message;
  } cases[] = {
      {"a duplicate key in the middle", {1, 2, 3, 4, 5, 6, 3, 8, 9, 10}, 0, 6, "duplicate key value"},
      {"counted from `first`", {1, 2, 3, 4, 5, 6, 3, 8, 9, 10}, 2, 4, "duplicate key value"},
      {"the first row refused", {7, 7}, 1, 0, "duplicate key value"},
      {"deep in a long batch", long_batch, 0, 2300, "duplicate key value"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    c_->Execute("delete from " + table_->Name());
    if (k.first == 1) c_->Execute("insert into " + table_->Name() + " (id) values (7)");
    std::vector<dac::Row> rows;
    for (int id : k.ids) rows.push_back(MakeRow(id));
    const auto r = c_->InsertRows(table_->Name(), Columns(), rows, k.first);
    EXPECT_EQ(r.inserted, k.inserted);
    ASSERT_TRUE(r.error);
    EXPECT_THAT(r.error->what(), HasSubstr(k.message));
    EXPECT_THAT(r.error->what(), ::testing::Not(HasSubstr("aborted"))) << "only the refused row's own message";
    EXPECT_EQ(r.error->SqlState(), "23505");
    std::vector<std::int64_t> ids;
    for (const auto& row : Stored()) ids.push_back(row[0].AsInteger());
    std::vector<std::int64_t> expected;
    if (k.first == 1) expected.push_back(7);
    for (std::size_t i = k.first; i < k.first + k.inserted; ++i) expected.push_back(k.ids[i]);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ids, expected);
    EXPECT_FALSE(c_->InTransaction());
  }
}

TEST_F(OdbcInsertRowsTest, ValueTooLongIsRefusedByTheServerNotCutByTheDriver) {
  std::vector<dac::Row> rows = {MakeRow(1), MakeRow(2)};
  rows[1][1] = "123456";  // code is varchar(5)
  const auto r = c_->InsertRows(table_->Name(), Columns(), rows);
  EXPECT_EQ(r.inserted, 1u);
  ASSERT_TRUE(r.error);
  EXPECT_THAT(r.error->what(), HasSubstr("value too long for type character varying(5)"));
  EXPECT_EQ(Stored().size(), 1u);
}

TEST_F(OdbcInsertRowsTest, InsideTheCallersTransactionTheCallerDecides) {
  std::vector<dac::Row> rows = {MakeRow(1), MakeRow(2), MakeRow(1)};
  c_->StartTransaction();
  const auto r = c_->InsertRows(table_->Name(), Columns(), rows);
  EXPECT_LE(r.inserted, 2u) << "never more than the rows before the refused one";
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->SqlState(), "23505");
  EXPECT_TRUE(c_->InTransaction());
  c_->Rollback();
  EXPECT_TRUE(Stored().empty());
}

TEST_F(OdbcInsertRowsTest, UnknownTableIsTheFirstRowsError) {
  const auto r = c_->InsertRows("no_such_table", Columns(), {MakeRow(1)});
  EXPECT_EQ(r.inserted, 0u);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(r.error->SqlState(), "42P01");
}

}  // namespace
}  // namespace odbc
