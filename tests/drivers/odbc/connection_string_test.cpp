#include "drivers/odbc/connection_string.h"

#include <gtest/gtest.h>

#include "drivers/odbc/count_query.h"
#include "drivers/odbc/utf16.h"

namespace odbc {
namespace {

dac::ConnectParams SqlServer(std::string server, std::string database, std::string user, std::string password,
                             std::string driver = {}) {
  dac::ConnectParams p;
  p.kind = dac::ServerKind::kSqlServer;
  p.server = std::move(server);
  p.database = std::move(database);
  p.user = std::move(user);
  p.password = std::move(password);
  p.odbc_driver = std::move(driver);
  return p;
}

dac::ConnectParams Oracle(std::string server, std::string user, std::string password, std::string driver = {}) {
  dac::ConnectParams p;
  p.kind = dac::ServerKind::kOracle;
  p.server = std::move(server);
  p.database = "NORTIVA";
  p.user = std::move(user);
  p.password = std::move(password);
  p.odbc_driver = std::move(driver);
  return p;
}

TEST(ConnectionString, NamesTheServerAndLoginForEachDriver) {
  const struct {
    const char* what;
    dac::ConnectParams params;
    const char* expected;
  } cases[] = {
      {"SQL Server through the default FreeTDS driver", SqlServer("db1\\ERP", "master", "sa", "secret"),
       "Driver={FreeTDS};Server=db1\\ERP;Database=master;UID=sa;PWD=secret;"},
      {"Microsoft's driver, server with a port", SqlServer("db1,1433", "Nortiva55", "AD", "x", "ODBC Driver 18 for SQL Server"),
       "Driver={ODBC Driver 18 for SQL Server};Server=db1,1433;Database=Nortiva55;UID=AD;PWD=x;"},
      {"a password that would end the pair or open a value",
       SqlServer("db1", "master", "sa", "a;b}c{d=e"),
       "Driver={FreeTDS};Server=db1;Database=master;UID=sa;PWD={a;b}}c{d=e};"},
      {"a password with blanks at its ends keeps them", SqlServer("db1", "master", "sa", " pw "),
       "Driver={FreeTDS};Server=db1;Database=master;UID=sa;PWD={ pw };"},
      {"an empty password", SqlServer("db1", "master", "sa", ""),
       "Driver={FreeTDS};Server=db1;Database=master;UID=sa;PWD=;"},
      {"Oracle client mode: an easy-connect service", Oracle("db1:1521/ORCL", "SCOTT", "tiger"),
       "Driver={Oracle 21 ODBC driver};DBQ=db1:1521/ORCL;UID=SCOTT;PWD=tiger;"},
      {"Oracle direct mode: a SID needs a descriptor", Oracle("db1:1521:ORCL", "SCOTT", "tiger", "Oracle 19 ODBC driver"),
       "Driver={Oracle 19 ODBC driver};"
       "DBQ={(DESCRIPTION=(ADDRESS=(PROTOCOL=TCP)(HOST=db1)(PORT=1521))(CONNECT_DATA=(SID=ORCL)))};"
       "UID=SCOTT;PWD=tiger;"},
      {"Oracle: a TNS alias goes as it is", Oracle("PROD", "SCOTT", "tiger"),
       "Driver={Oracle 21 ODBC driver};DBQ=PROD;UID=SCOTT;PWD=tiger;"},
      {"PostgreSQL standing for an Oracle source", Oracle("127.0.0.1:5433:ORCL", "NORTIVA", "pw", "PostgreSQL Unicode"),
       "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=5433;Database=ORCL;"
       "UseDeclareFetch=1;Fetch=4000;ByteaAsLongVarBinary=1;BoolsAsChar=0;CommLog=0;Debug=0;BatchSize=2000;"
       "UID=NORTIVA;PWD=pw;"},
  };
  for (const auto& c : cases) EXPECT_EQ(ConnectionString(c.params), c.expected) << c.what;
}

TEST(ConnectionString, ChoosesTheFamilyByDriverNameBeforeServerKind) {
  EXPECT_EQ(FamilyOf(SqlServer("db1", "", "", "")), DriverFamily::kSqlServer);
  EXPECT_EQ(FamilyOf(Oracle("db1:1521:ORCL", "", "")), DriverFamily::kOracle);
  EXPECT_EQ(FamilyOf(Oracle("db1:1521:ORCL", "", "", "PostgreSQL ANSI")), DriverFamily::kPostgreSql);
  EXPECT_EQ(FamilyOf(SqlServer("db1", "", "", "", "postgresql unicode")), DriverFamily::kPostgreSql);
}

TEST(OracleServerString, SplitsDirectAndClientFormsAndRejectsOthers) {
  const auto direct = ParseOracleServer(" db1 : 1521 : ORCL ");
  ASSERT_TRUE(direct);
  EXPECT_EQ(direct->host, "db1");
  EXPECT_EQ(direct->port, "1521");
  EXPECT_EQ(direct->name, "ORCL");
  EXPECT_FALSE(direct->service);
  const auto client = ParseOracleServer("db1:1521/erp.example");
  ASSERT_TRUE(client);
  EXPECT_EQ(client->name, "erp.example");
  EXPECT_TRUE(client->service);
  for (const char* bad : {"PROD", "db1:1521", "db1::ORCL", ":1521:ORCL", "db1:15x1:ORCL", "db1:1521:"}) {
    EXPECT_FALSE(ParseOracleServer(bad)) << bad;
  }
}

TEST(CountQuery, WrapsTheQueryAndDropsOnlyATopLevelOrderForSqlServer) {
  const struct {
    const char* sql;
    bool drop_order_by;
    const char* expected_inner;
  } cases[] = {
      {"select * from t;  \n", false, "select * from t"},
      {"select * from t -- all of them", false, "select * from t -- all of them"},
      {"select * from t order by a", false, "select * from t order by a"},
      {"select * from t order by a desc", true, "select * from t "},
      {"select * from t where x in (select y from u order by y)", true,
       "select * from t where x in (select y from u order by y)"},
      {"select 'order by' as [order by] from t", true, "select 'order by' as [order by] from t"},
      {"select * from t /* order by a */", true, "select * from t /* order by a */"},
      {"select * from t order by a offset 10 rows fetch next 5 rows only", true,
       "select * from t order by a offset 10 rows fetch next 5 rows only"},
      {"select * from t ORDER\n  BY a", true, "select * from t "},
      {"select reorder by_x from t", true, "select reorder by_x from t"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountQuery(c.sql, c.drop_order_by), std::string("select count(*) from (\n") + c.expected_inner + "\n) counted")
        << c.sql;
  }
}

TEST(Utf16, RoundTripsEveryPlaneAndReplacesWhatIsNotUtf8) {
  for (const char* text : {"", "ANNA", "Grüner Tee — 100 g", "čšž ČŠŽ", "emoji \xF0\x9F\x98\x80 end"}) {
    EXPECT_EQ(ToUtf8(ToUtf16(text)), text);
  }
  EXPECT_EQ(ToUtf16("\xF0\x9F\x98\x80").size(), 2u) << "outside the basic plane: a surrogate pair";
  EXPECT_EQ(ToUtf8(ToUtf16("a\xFF" "b")), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(ToUtf8(ToUtf16("\xC3")), "\xEF\xBF\xBD") << "a sequence cut short at the end";
  EXPECT_EQ(ToUtf8(ToUtf16("\xC0\xAF")), "\xEF\xBF\xBD\xEF\xBF\xBD") << "an overlong form";
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD") << "a lone surrogate";
}

}  // namespace
}  // namespace odbc
