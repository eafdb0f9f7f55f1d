#include "drivers/embedded/sqlserver_types.h"

#include <gtest/gtest.h>

#include "tests/drivers/embedded/sqlserver_test_instance.h"

namespace embedded::sqlserver {
namespace {

dac::Decimal D(const char* text) { return *dac::Decimal::Parse(text); }

TEST(SqlType, ParsesDeclaredTypesIntoTheServersSpelling) {
  struct Case {
    const char* declared;
    const char* spelled;  // "" when the declaration is refused
  };
  const Case cases[] = {
      {"int", "int"},
      {"INT", "int"},
      {"varchar(10)", "varchar(10)"},
      {"varchar", "varchar(1)"},
      {"char (13)", "char(13)"},
      {"varbinary(max)", "varbinary(max)"},
      {"decimal(19,4)", "decimal(19, 4)"},
      {"numeric", "numeric(18, 0)"},
      {"float(24)", "real"},
      {"sysname", "nvarchar(128)"},
      {"datetime2", "datetime2(7)"},
      {"char(max)", ""},
      {"decimal(5, 6)", ""},
      {"varchar(8001)", ""},
      {"number(10)", ""},
      {"int(4)", ""},
  };
  for (const Case& c : cases) {
    const auto t = SqlType::Parse(c.declared);
    EXPECT_EQ(t ? t->ToString() : "", c.spelled) << c.declared;
  }
}

// What a server accepts into a column of each type, and what it refuses with
// which error number.
TEST(SqlType, ConvertsOrRefusesAsAServer) {
  struct Case {
    const char* type;
    dac::Value in;
    dac::Value stored;  // NULL when refused
    int error = 0;
  };
  const dac::DateTime late{2024, 5, 6, 23, 59, 59, 998500000};
  const Case cases[] = {
      {"varchar(3)", "abc", "abc"},
      {"varchar(3)", "abcd", {}, 8152},
      {"varchar(3)", "ab    ", "ab "},  // surplus blanks are cut silently
      {"varchar(3)", "äöü", "äöü"},      // characters, not bytes
      {"char(4)", "ab", "ab  "},
      {"varchar(5)", 12, "12"},
      {"tinyint", 255, 255},
      {"tinyint", 256, {}, 220},
      {"tinyint", -1, {}, 220},
      {"smallint", -32769, {}, 220},
      {"int", std::int64_t{2147483648}, {}, 8115},
      {"int", "12", 12},
      {"int", "abc", {}, 245},
      {"int", D("7.9"), 7},
      {"bit", 5, 1},
      {"money", D("922337203685477.5807"), "922337203685477.5807"},
      {"money", D("922337203685477.5808"), {}, 8115},
      {"money", 12, "12.0000"},
      {"money", "x", {}, 235},
      {"decimal(5, 2)", D("1.005"), "1.01"},
      {"decimal(5, 2)", D("1234.5"), {}, 8115},
      {"decimal(5, 2)", "-999.994", "-999.99"},
      {"decimal(5, 2)", "1e3", {}, 8114},
      {"datetime", dac::DateTime{1753, 1, 1}, "1753-01-01 00:00:00"},
      {"datetime", dac::DateTime{1752, 12, 31}, {}, 242},
      {"datetime", late, "2024-05-07 00:00:00"},  // rounds to 1/300 s, into the next day
      {"datetime", dac::DateTime{2024, 5, 6, 1, 2, 3, 5000000}, "2024-05-06 01:02:03.007"},
      {"datetime", "20240506 10:11:12", "2024-05-06 10:11:12"},
      {"datetime", "2024-02-30", {}, 241},
      {"varbinary(2)", dac::Bytes{1, 2, 3}, {}, 8152},
      {"image", "text", {}, 257},
  };
  for (const Case& c : cases) {
    const SqlType t = *SqlType::Parse(c.type);
    const std::string label = std::string(c.type) + " <- " + c.in.ToText();
    if (c.error) {
      const auto e = embedded::testing::CaughtDriverError([&] { t.ToStored(c.in); });
      EXPECT_EQ(e.NativeError(), c.error) << label;
    } else {
      EXPECT_EQ(t.ToStored(c.in), c.stored) << label;
    }
  }
}

// StoresAsIs lets an insert bind the caller's value without the copy:
// it must claim exactly the values that ToStored hands back unchanged.
TEST(SqlType, StoresAsIsOnlyWhatToStoredLeavesAlone) {
  struct Case {
    const char* declared;
    dac::Value value;
    bool as_is;
  };
  const Case cases[] = {
      {"varchar(5)", dac::Value("abc"), true},
      {"varchar(5)", dac::Value("abcde"), true},
      {"varchar(3)", dac::Value("abc  "), false},  // surplus blanks are cut
      {"nvarchar(3)", dac::Value("\xc4\x8d\xc4\x8d\xc4\x8d"), true},  // three characters, six bytes
      {"varchar(max)", dac::Value(std::string(9000, 'x')), true},
      {"char(3)", dac::Value("ab"), false},  // padded
      {"char(3)", dac::Value("abc"), true},
      {"varchar(5)", dac::Value(std::int64_t{7}), false},
      {"varchar(5)", dac::Value(), false},
      {"varbinary(4)", dac::Value(dac::Bytes{1, 2}), true},
      {"binary(4)", dac::Value(dac::Bytes{1, 2}), false},  // padded
      {"binary(2)", dac::Value(dac::Bytes{1, 2}), true},
      {"varbinary(max)", dac::Value(dac::Bytes(9000, 7)), true},
      {"int", dac::Value(std::int64_t{7}), false},
      {"decimal(19, 4)", dac::Value(D("1.5")), false},
      {"datetime", dac::Value(dac::DateTime{2024, 1, 2}), false},
  };
  for (const auto& c : cases) {
    const SqlType t = *SqlType::Parse(c.declared);
    EXPECT_EQ(t.StoresAsIs(c.value), c.as_is) << c.declared << " " << c.value.ToText().substr(0, 10);
    if (c.as_is) {
      EXPECT_EQ(t.ToStored(c.value), c.value) << c.declared;
    }
  }
}

TEST(SqlType, OverflowAndTruncationTextsAreTheServers) {
  EXPECT_EQ(embedded::testing::CaughtDriverError([] { SqlType::Parse("varchar(2)")->ToStored("abc"); }).ServerMessage(),
            "String or binary data would be truncated.\nThe statement has been terminated.");
  EXPECT_EQ(embedded::testing::CaughtDriverError([] { SqlType::Parse("tinyint")->ToStored(300); }).Records()[0].message,
            "Arithmetic overflow error for data type tinyint, value = 300.");
  EXPECT_EQ(embedded::testing::CaughtDriverError([] { SqlType::Parse("money")->ToStored(D("1e20")); }).Records()[0].message,
            "Arithmetic overflow error converting numeric to data type money.");
}

}  // namespace
}  // namespace embedded::sqlserver

namespace embedded::testing {
namespace {

dac::Decimal D(const char* text) { return *dac::Decimal::Parse(text); }

TEST_F(SqlServerInstanceTest, MoneyAndDecimalsRoundTripExactly) {
  auto c = Connect();
  c->Execute("create table [dbo].[T] ([a] int not null, [b] money, [c] varchar(10), [d] decimal(28, 10))");
  // Bound values, and literals in an INSERT statement: neither may pass through a double.
  const std::vector<dac::Row> rows = {
      {1, D("922337203685477.5807"), "max", D("123456789012345678.0123456789")},
      {2, D("-0.0001"), "tiny", D("-0.0000000001")},
      {3, D("12.5"), "scaled", D("1")},
  };
  const auto result = c->InsertRows("[dbo].[T]", {"a", "b", "c", "d"}, rows);
  ASSERT_FALSE(result.error) << result.error->what();
  c->Execute("insert into T (a, b, c, d) values (4, -922337203685477.5808, 'min', 99999999999999999.9999999999)");

  const auto got = Rows(*c, "select b, d from T order by a");
  const char* want[][2] = {{"922337203685477.5807", "123456789012345678.0123456789"},
                           {"-0.0001", "-0.0000000001"},
                           {"12.5000", "1.0000000000"},
                           {"-922337203685477.5808", "99999999999999999.9999999999"}};
  ASSERT_EQ(got.size(), 4u);
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i][0].Kind(), dac::ValueKind::kDecimal);
    EXPECT_EQ(got[i][0].AsDecimal().ToString(), want[i][0]);
    EXPECT_EQ(got[i][1].AsDecimal().ToString(), want[i][1]);
  }
  // Filters and sorts compare the numbers, not their texts.
  EXPECT_EQ(Scalar(*c, "select a from T where b = 12.5").AsInteger(), 3);
  EXPECT_EQ(Scalar(*c, "select top 1 a from T order by b desc").AsInteger(), 1);
  EXPECT_EQ(Scalar(*c, "select count(*) from T where d > 2").AsInteger(), 2);
}

TEST_F(SqlServerInstanceTest, DateTimesAndBinariesRoundTrip) {
  auto c = Connect();
  c->Execute("create table T (a int, d datetime, b image, f float, x bit)");
  const dac::DateTime when{2031, 12, 30, 23, 4, 5, 120000000};
  ASSERT_FALSE(c->InsertRows("T", {"a", "d", "b", "f", "x"}, {{1, when, dac::Bytes{0, 255, 7}, 0.1, true}}).error);
  const auto rows = Rows(*c, "select d, b, f, x from T where d > '2031-12-30' and d < '20311231'");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], dac::Value(when));
  EXPECT_EQ(rows[0][1], dac::Value(dac::Bytes{0, 255, 7}));
  EXPECT_EQ(rows[0][2], dac::Value(0.1));
  EXPECT_EQ(rows[0][3], dac::Value(true));
}

}  // namespace
}  // namespace embedded::testing
