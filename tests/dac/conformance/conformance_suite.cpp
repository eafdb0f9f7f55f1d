#include "tests/dac/conformance/conformance_suite.h"

#include <unistd.h>

#include <atomic>
#include <map>

#include "dac/ms_query.h"
#include "dac/ms_script.h"
#include "dac/ora_query.h"
#include "platform/abort.h"
#include "tests/dac/connection_wrapper.h"

namespace dac::conformance {
namespace {

using testing::ConnectionWrapper;
using testing::WrappingDriver;

std::string Fill(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [key, value] : values) {
    const std::string mark = "{" + key + "}";
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size())) {
      text.replace(at, mark.size(), value);
    }
  }
  return text;
}

// Unique per run and short enough for Oracle's 30 characters.
std::string UniqueName(const char* prefix) {
  static std::atomic<int> counter{0};
  return std::string(prefix) + std::to_string(::getpid()) + "_" + std::to_string(++counter);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

void UseLogin(DAConnection& c, const ConnectParams& p, std::shared_ptr<Driver> driver) {
  c.SetDriver(std::move(driver));
  c.Server = p.server;
  c.Username = p.user;
  c.Password = p.password;
  c.OdbcDriver = p.odbc_driver;
  c.InstanceDir = p.instance_dir;
  c.LoginPrompt = false;
}

void UseLogin(OraSession& s, const ConnectParams& p, std::shared_ptr<Driver> driver) {
  UseLogin(static_cast<DAConnection&>(s), p, std::move(driver));
  s.Schema = p.database;
  s.ConnectMode = p.mode == ConnectMode::kSysDba ? OraConnectMode::cmSysDBA : OraConnectMode::cmNormal;
  s.Options.Direct = p.direct;
  s.Options.Charset = p.charset;
}

void UseLogin(MSConnection& c, const ConnectParams& p, std::shared_ptr<Driver> driver) {
  UseLogin(static_cast<DAConnection&>(c), p, std::move(driver));
  c.Database = p.database;
}

// Rows per Fetch call as the driver's cursors hand them out.
struct FetchLog {
  std::vector<std::size_t> asked;
  std::vector<std::size_t> given;
};

class CountingCursor : public Cursor {
 public:
  CountingCursor(std::unique_ptr<Cursor> target, FetchLog& log) : target_(std::move(target)), log_(log) {}
  const std::vector<Column>& Columns() const override { return target_->Columns(); }
  bool Fetch(std::vector<Row>& rows, std::size_t max_rows) override {
    const auto before = rows.size();
    const bool more = target_->Fetch(rows, max_rows);
    log_.asked.push_back(max_rows);
    log_.given.push_back(rows.size() - before);
    return more;
  }

 private:
  std::unique_ptr<Cursor> target_;
  FetchLog& log_;
};

class CountingConnection : public ConnectionWrapper {
 public:
  CountingConnection(std::unique_ptr<Connection> target, FetchLog& log)
      : ConnectionWrapper(std::move(target)), log_(log) {}
  std::unique_ptr<Cursor> Query(const std::string& sql, const std::vector<Value>& params) override {
    return std::make_unique<CountingCursor>(target().Query(sql, params), log_);
  }

 private:
  FetchLog& log_;
};

// The servers of one test, the tables it made, and their removal.
class Servers {
 public:
  explicit Servers(const ConformanceContext& context) : context_(context), driver_(context.driver()) {}
  ~Servers() {
    for (auto it = drops_.rbegin(); it != drops_.rend(); ++it) {
      try {
        (*it)();
      } catch (const std::exception& e) {
        ADD_FAILURE() << "dropping a table of the test: " << e.what();
      }
    }
  }

  std::shared_ptr<Driver> GetDriver() const { return driver_; }

  const ConnectParams& Oracle() {
    if (!oracle_) oracle_ = context_.oracle();
    return oracle_->params;
  }
  const ConnectParams& SqlServer() {
    if (!sqlserver_) sqlserver_ = context_.sqlserver();
    return sqlserver_->params;
  }

  // A source table with `rows` rows: key "k001".., quantity i, price i + 0.25,
  // a date with seconds, and a note with a trailing blank (NULL every 5th).
  std::string MakeSourceTable(OraSession& session, int rows) {
    const std::string table = UniqueName("TCF");
    session.ExecSQL(Fill(context_.oracle_items_table, {{"T", table}}));
    drops_.push_back([this, table] { RunOnOracle(Fill(context_.oracle_drop_table, {{"T", table}})); });
    for (int i = 1; i <= rows; ++i) {
      session.ExecSQL(Fill(context_.oracle_items_row, {{"T", table},
                                                       {"K", Quoted(Key(i))},
                                                       {"Q", std::to_string(i)},
                                                       {"P", std::to_string(i) + ".25"},
                                                       {"D", "2021-03-04 05:06:" + Two(i % 60)},
                                                       {"N", i % 5 == 0 ? "NULL" : Quoted("note " + Key(i) + " ")}}));
    }
    return table;
  }

  std::string MakeTargetTable(MSConnection& connection, const std::string& ddl) {
    const std::string table = UniqueName("tCF");
    connection.ExecSQL(Fill(ddl, {{"T", table}}));
    drops_.push_back([this, table] { RunOnSqlServer(Fill(context_.sqlserver_drop_table, {{"T", table}})); });
    return table;
  }

  static std::string Key(int i) {
    std::string k = std::to_string(i);
    return "k" + std::string(k.size() < 3 ? 3 - k.size() : 0, '0') + k;
  }
  static std::string Two(int i) { return (i < 10 ? "0" : "") + std::to_string(i); }

 private:
  void RunOnOracle(const std::string& sql) {
    OraSession s;
    UseLogin(s, Oracle(), driver_);
    s.Open();
    s.ExecSQL(sql);
  }
  void RunOnSqlServer(const std::string& sql) {
    MSConnection c;
    UseLogin(c, SqlServer(), driver_);
    c.Open();
    c.ExecSQL(sql);
  }

  const ConformanceContext& context_;
  std::shared_ptr<Driver> driver_;
  std::optional<ServerLogin> oracle_;
  std::optional<ServerLogin> sqlserver_;
  std::vector<std::function<void()>> drops_;
};

std::vector<Row> ReadAll(MSConnection& connection, const std::string& sql) {
  MSQuery q;
  q.SetConnection(&connection);
  q.SQL.SetText(sql);
  q.Open();
  std::vector<Row> rows;
  for (; !q.Eof(); q.Next()) {
    Row row;
    for (int i = 0; i < q.FieldCount(); ++i) row.push_back(q.Fields(i).Value());
    rows.push_back(std::move(row));
  }
  return rows;
}

Decimal Dec(const char* text) { return *Decimal::Parse(text); }

// A cached insert into the copy's kind of target dataset.
// A context without a SQL Server says so; the tests that need one report
// themselves skipped, by name, rather than being left out unseen.
#define NEEDS_SQLSERVER() \
  if (!GetParam().sqlserver) GTEST_SKIP() << GetParam().name << " has no SQL Server to test against"

void InsertItem(MSQuery& q, const std::string& key, int qty, const Value& note) {
  q.Insert();
  q.FieldByName("acKey").SetAsString(key);
  q.FieldByName("anQty").SetAsInteger(qty);
  q.FieldByName("anPrice").SetAsDecimal(Dec("922337203685477"));
  q.FieldByName("adDate").SetAsDateTime(DateTime{2079, 6, 5, 0, 0, 0, 0});
  q.FieldByName("acNote").SetValue(note);
  q.Post();
}

void OpenTarget(MSQuery& q, MSConnection& connection, const std::string& table, bool cached) {
  q.SetConnection(&connection);
  q.SetFetchRows(50);
  q.SetFetchAll(false);
  q.Options.TrimVarChar = true;
  q.Options.QuoteNames = true;
  q.SetCachedUpdates(cached);
  q.SQL.SetText("select * from " + table + " where 1=2");
  q.Open();
}

TEST_P(DacConformance, OracleLoginIsRefusedWithTheServersOwnText) {
  Servers servers(GetParam());
  OraSession session;
  UseLogin(session, servers.Oracle(), servers.GetDriver());
  session.Password += "-wrong";
  try {
    session.Open();
    ADD_FAILURE() << "Oracle took a wrong password";
  } catch (const DriverError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().oracle_refused_login), std::string::npos) << e.what();
  }
  session.Password = servers.Oracle().password;
  session.Open();
  EXPECT_TRUE(session.Connected());
  EXPECT_FALSE(session.ServerVersion().empty());
}

TEST_P(DacConformance, SqlServerLoginIsRefusedWithTheServersOwnText) {
  NEEDS_SQLSERVER();
  Servers servers(GetParam());
  MSConnection connection;
  UseLogin(connection, servers.SqlServer(), servers.GetDriver());
  connection.Password += "-wrong";
  try {
    connection.Open();
    ADD_FAILURE() << "SQL Server took a wrong password";
  } catch (const DriverError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().sqlserver_refused_login), std::string::npos) << e.what();
  }
  connection.Password = servers.SqlServer().password;
  connection.Open();
  EXPECT_FALSE(connection.ServerVersion().empty());
}

TEST_P(DacConformance, SourceQueryKnowsItsCountAtOpenAndReadsForwardInBlocks) {
  Servers servers(GetParam());
  FetchLog fetches;
  auto counting = std::make_shared<WrappingDriver>(servers.GetDriver(), [&](std::unique_ptr<Connection> c) {
    return std::make_unique<CountingConnection>(std::move(c), fetches);
  });
  OraSession session;
  UseLogin(session, servers.Oracle(), counting);
  session.Open();
  const std::string table = servers.MakeSourceTable(session, 25);

  OraQuery q;
  q.SetSession(&session);
  q.SetFetchRows(10);
  q.SetReadOnly(true);
  q.SetUniDirectional(true);
  q.AutoCommit = false;
  q.Options.DeferredLobRead = true;
  q.Options.QueryRecCount = true;
  q.Options.TemporaryLobUpdate = true;
  q.SQL.SetText("select * from " + table + " order by ACKEY");
  fetches = {};
  q.Open();
  EXPECT_EQ(q.RecordCount(), 25);
  int n = 0;
  for (; !q.Eof(); q.Next()) {
    ++n;
    SCOPED_TRACE(n);
    EXPECT_EQ(q.FieldByName("acKey").AsString(), Servers::Key(n));
    EXPECT_EQ(q.FieldByName("anQty").AsInteger(), n);
    EXPECT_EQ(Decimal::Compare(q.FieldByName("anPrice").AsDecimal(), Dec((std::to_string(n) + ".25").c_str())), 0);
    EXPECT_EQ(q.FieldByName("adDate").AsDateTime(), (DateTime{2021, 3, 4, 5, 6, n % 60, 0}));
    if (n % 5 == 0) {
      EXPECT_TRUE(q.FieldByName("acNote").IsNull());
    } else {
      EXPECT_EQ(q.FieldByName("acNote").AsString(), "note " + Servers::Key(n) + " ");
    }
  }
  EXPECT_EQ(n, 25);
  EXPECT_EQ(q.RecordCount(), 25);
  ASSERT_GE(fetches.given.size(), 3u);
  for (std::size_t i = 0; i < fetches.given.size(); ++i) {
    EXPECT_EQ(fetches.asked[i], 10u);
    EXPECT_LE(fetches.given[i], 10u);
  }
  EXPECT_THROW(q.Prior(), UsageError);
}

TEST_P(DacConformance, MissingSourceTableRaisesTheServersError) {
  Servers servers(GetParam());
  OraSession session;
  UseLogin(session, servers.Oracle(), servers.GetDriver());
  session.Open();
  OraQuery q;
  q.SetSession(&session);
  q.Options.QueryRecCount = true;
  q.SQL.SetText("select * from " + UniqueName("TNOPE"));
  try {
    q.Open();
    ADD_FAILURE() << "a missing table opened";
  } catch (const DriverError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().oracle_missing_table), std::string::npos) << e.what();
  }
  EXPECT_FALSE(q.Active());
}

TEST_P(DacConformance, CachedInsertsArriveOnApplyAndARefusedRowEndsTheApply) {
  NEEDS_SQLSERVER();
  Servers servers(GetParam());
  MSConnection connection;
  UseLogin(connection, servers.SqlServer(), servers.GetDriver());
  connection.Open();
  const std::string table = servers.MakeTargetTable(connection, GetParam().sqlserver_items_table);

  MSQuery q;
  OpenTarget(q, connection, table, true);
  std::vector<std::string> fields;
  for (int i = 0; i < q.FieldCount(); ++i) fields.push_back(q.Fields(i).FieldName);
  EXPECT_EQ(fields, (std::vector<std::string>{"acKey", "anQty", "anPrice", "adDate", "acNote"}));
  EXPECT_EQ(q.FieldByName("anPrice").DataType(), FieldType::ftCurrency);
  EXPECT_EQ(q.FieldByName("adDate").DataType(), FieldType::ftDateTime);
  EXPECT_EQ(q.FieldByName("acNote").DataType(), FieldType::ftString);
  for (int i = 1; i <= 5; ++i) InsertItem(q, Servers::Key(i), i, Value("ok"));
  EXPECT_TRUE(ReadAll(connection, "select * from " + table).empty());
  q.ApplyUpdates();
  q.Close();
  q.Open();
  EXPECT_EQ(q.RecordCount(), 0);

  InsertItem(q, "k006", 6, Value("fits"));
  InsertItem(q, "k007", 7, Value(std::string(31, 'x')));  // one character too long
  InsertItem(q, "k008", 8, Value());
  EXPECT_THROW(q.ApplyUpdates(), DriverError);
  q.Close();

  const auto rows = ReadAll(connection, "select * from " + table + " order by acKey");
  ASSERT_EQ(rows.size(), 6u);  // the rows before the refused one stay: no transaction of its own
  EXPECT_EQ(rows[5][0], Value("k006"));
  EXPECT_EQ(ConvertForField(FieldType::ftInteger, rows[0][1], "anQty"), Value(1));
  EXPECT_EQ(ConvertForField(FieldType::ftCurrency, rows[0][2], "anPrice"), Value(Dec("922337203685477")));
  EXPECT_EQ(ConvertForField(FieldType::ftDateTime, rows[0][3], "adDate"), Value(DateTime{2079, 6, 5, 0, 0, 0, 0}));
}

// Without the cache each Post writes its row at once; the verification step
// posts so, with a post-error handler that ends a refused post silently.
TEST_P(DacConformance, PostWithoutCacheWritesAtOnceAndARefusalEndsSilently) {
  NEEDS_SQLSERVER();
  Servers servers(GetParam());
  MSConnection connection;
  UseLogin(connection, servers.SqlServer(), servers.GetDriver());
  connection.Open();
  const std::string table = servers.MakeTargetTable(connection, GetParam().sqlserver_items_table);
  MSQuery q;
  std::vector<std::string> errors;
  q.OnPostError = [&](DataSet&, const std::exception& e, DataAction& action) {
    errors.push_back(e.what());
    action = DataAction::daAbort;
  };
  OpenTarget(q, connection, table, false);
  InsertItem(q, "k001", 1, Value("first"));
  EXPECT_EQ(ReadAll(connection, "select * from " + table).size(), 1u);
  EXPECT_THROW(InsertItem(q, "k001", 2, Value("same key")), platform::EAbort);
  q.Cancel();
  InsertItem(q, "k002", 2, Value());
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(ReadAll(connection, "select * from " + table).size(), 2u);
}

TEST_P(DacConformance, ScriptSendsGoBatchesAndGoesOnAfterARefusedOne) {
  NEEDS_SQLSERVER();
  Servers servers(GetParam());
  MSConnection connection;
  UseLogin(connection, servers.SqlServer(), servers.GetDriver());
  connection.Open();
  const std::string table = servers.MakeTargetTable(connection, GetParam().sqlserver_items_table);
  MSScript script;
  script.SetConnection(&connection);
  script.SQL.SetText("insert into " + table + " (acKey, anQty) values ('k1', 1)\r\n" +  //
                     "insert into " + table + " (acKey, anQty) values ('k2', 2)\r\n" +  //
                     "  go  \r\n\r\n" +                                                 //
                     "  insert into " + table + " (acKey, anQty) values ('k1', 3)  \r\n" +  //
                     "GO\r\n" +                                                         //
                     "update " + table + " set anQty = 20 where acKey = 'k2'\r\n");
  std::vector<std::string> before, failed;
  script.BeforeExecute = [&](MSScript&, std::string& sql, bool&) { before.push_back(sql); };
  script.OnError = [&](MSScript&, const std::exception&, const std::string& sql, ErrorAction& action) {
    failed.push_back(sql);
    action = ErrorAction::eaContinue;
  };
  script.Execute();
  EXPECT_EQ(before.size(), 3u);
  EXPECT_EQ(failed, std::vector<std::string>{"insert into " + table + " (acKey, anQty) values ('k1', 3)"});
  const auto rows = ReadAll(connection, "select acKey, anQty from " + table + " order by acKey");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(ConvertForField(FieldType::ftInteger, rows[0][1], "anQty"), Value(1));
  EXPECT_EQ(ConvertForField(FieldType::ftInteger, rows[1][1], "anQty"), Value(20));
}

TEST_P(DacConformance, StatementsAndInsertsOfOneConnectionShareItsIdentityInsertSetting) {
  NEEDS_SQLSERVER();
  if (!GetParam().identity_insert) GTEST_SKIP() << GetParam().name << " has no identity columns";
  Servers servers(GetParam());
  MSConnection connection;
  UseLogin(connection, servers.SqlServer(), servers.GetDriver());
  connection.Open();
  const std::string table = servers.MakeTargetTable(connection, GetParam().sqlserver_identity_table);
  MSQuery q;
  q.SetConnection(&connection);
  q.SQL.SetText("set identity_insert [dbo].[" + table + "] on");
  q.Execute();
  OpenTarget(q, connection, table, true);
  for (int id : {7, 3}) {
    q.Insert();
    q.FieldByName("anQId").SetAsInteger(id);
    q.FieldByName("acName").SetAsString("n" + std::to_string(id));
    q.Post();
  }
  q.ApplyUpdates();
  q.Close();
  q.SQL.SetText("set identity_insert [dbo].[" + table + "] off ");
  q.Execute();
  const auto rows = ReadAll(connection, "select anQId, acName from " + table + " order by anQId");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(ConvertForField(FieldType::ftInteger, rows[0][0], "anQId"), Value(3));
  EXPECT_EQ(ConvertForField(FieldType::ftInteger, rows[1][0], "anQId"), Value(7));
}

TEST_P(DacConformance, EditAndDeleteFindTheRecordByItsKey) {
  NEEDS_SQLSERVER();
  Servers servers(GetParam());
  MSConnection connection;
  UseLogin(connection, servers.SqlServer(), servers.GetDriver());
  connection.Open();
  const std::string table = servers.MakeTargetTable(connection, GetParam().sqlserver_items_table);
  connection.ExecSQL("insert into " + table + " (acKey, anQty, acNote) values ('k1', 1, 'one')");
  connection.ExecSQL("insert into " + table + " (acKey, anQty, acNote) values ('k2', 2, NULL)");
  MSQuery q;
  q.SetConnection(&connection);
  q.Options.QuoteNames = true;
  q.SQL.SetText("select * from " + table + " order by acKey");
  q.Open();
  q.Edit();
  q.FieldByName("acNote").SetAsString("changed");
  q.Post();
  q.Next();
  q.Delete();
  q.Close();
  const auto rows = ReadAll(connection, "select acKey, acNote from " + table);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], Value("changed"));
}

TEST_P(DacConformance, RollbackUndoesTheConnectionsStatements) {
  NEEDS_SQLSERVER();
  if (!GetParam().transactions) GTEST_SKIP() << GetParam().name << " has no transactions";
  Servers servers(GetParam());
  MSConnection connection;
  UseLogin(connection, servers.SqlServer(), servers.GetDriver());
  connection.Open();
  const std::string table = servers.MakeTargetTable(connection, GetParam().sqlserver_items_table);
  connection.StartTransaction();
  EXPECT_TRUE(connection.InTransaction());
  connection.ExecSQL("insert into " + table + " (acKey) values ('k1')");
  connection.Rollback();
  EXPECT_FALSE(connection.InTransaction());
  connection.StartTransaction();
  connection.ExecSQL("insert into " + table + " (acKey) values ('k2')");
  connection.Commit();
  const auto rows = ReadAll(connection, "select acKey from " + table);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], Value("k2"));
}

}  // namespace
}  // namespace dac::conformance
