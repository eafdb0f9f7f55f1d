#include "dac/ms_query.h"

#include <gtest/gtest.h>

#include "fake_server.h"
#include "platform/abort.h"

namespace dac {
namespace {

using testing::Col;
using testing::FakeDriver;
using testing::FakeServer;

// The table copy's target: "select * from T where 1=2" with cached updates.
class MSQueryTest : public ::testing::Test {
 protected:
  MSQueryTest() {
    auto key = Col("acKey", FieldType::ftString, 10, false);
    key.key = true;
    server.AddTable("tX", {key, Col("anQty", FieldType::ftInteger), Col("acNote", FieldType::ftString, 30)});
    connection.SetDriver(std::make_shared<FakeDriver>(server));
    connection.Open();
    query.SetConnection(&connection);
    query.Options.QuoteNames = true;
  }

  void OpenTarget() {
    query.SQL.SetText("select * from tX where 1=2");
    query.SetCachedUpdates(true);
    query.Open();
  }
  void InsertRows(int from, int to) {
    for (int i = from; i <= to; ++i) {
      query.Insert();
      query.FieldByName("acKey").SetAsString("k" + std::to_string(i));
      query.FieldByName("anQty").SetAsInteger(i);
      query.Post();
    }
  }
  std::vector<std::string> Keys() {
    std::vector<std::string> keys;
    for (const auto& row : server.Table("tX").rows) keys.push_back(row[0].ToText());
    return keys;
  }

  FakeServer server;
  MSConnection connection;
  MSQuery query;
};

TEST_F(MSQueryTest, CachedInsertsReachTheServerOnlyOnApplyInOneBatchOfWrittenColumns) {
  OpenTarget();
  InsertRows(1, 3);
  EXPECT_TRUE(server.Table("tX").rows.empty());
  EXPECT_EQ(query.RecordCount(), 3);
  query.ApplyUpdates();
  ASSERT_EQ(server.insert_calls.size(), 1u);
  EXPECT_EQ(server.insert_calls[0].table, "[tX]");
  EXPECT_EQ(server.insert_calls[0].columns, (std::vector<std::string>{"[acKey]", "[anQty]"}));
  EXPECT_EQ(Keys(), (std::vector<std::string>{"k1", "k2", "k3"}));
  EXPECT_TRUE(server.Table("tX").rows[0][2].IsNull());  // left to the server's default
  EXPECT_FALSE(query.UpdatesPending());
  query.ApplyUpdates();
  EXPECT_EQ(server.insert_calls.size(), 1u);
}

TEST_F(MSQueryTest, RefusedRowInApplyFollowsTheUpdateErrorAction) {
  struct Case {
    const char* name;
    std::optional<UpdateAction> action;  // nothing: no handler
    bool throws;
    std::vector<std::string> stored;
    bool pending_after;
  };
  const Case cases[] = {
      {"no handler: the error reaches the caller", std::nullopt, true, {"k1", "k2"}, true},
      {"fail", UpdateAction::uaFail, true, {"k1", "k2"}, true},
      {"skip: left pending, the rest go on", UpdateAction::uaSkip, false, {"k1", "k2", "k4", "k5"}, true},
      {"retry: sent again", UpdateAction::uaRetry, false, {"k1", "k2", "k3", "k4", "k5"}, false},
      {"applied: counted as written", UpdateAction::uaApplied, false, {"k1", "k2", "k4", "k5"}, false},
      {"abort: silent", UpdateAction::uaAbort, true, {"k1", "k2"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    query.Close();
    query.SetCachedUpdates(false);
    server.Table("tX").rows.clear();
    int refusals = 0;
    server.refuse_row = [&](const Row& row) -> std::optional<std::string> {
      if (row[0] == Value("k3") && refusals++ == 0) return "Violation of PRIMARY KEY constraint 'PK_tX'.";
      return std::nullopt;
    };
    std::string seen;
    query.OnUpdateError = nullptr;
    if (c.action) {
      query.OnUpdateError = [&](DataSet& ds, const std::exception& e, UpdateKind kind, UpdateAction& action) {
        seen = ds.FieldByName("acKey").AsString() + ": " + e.what();
        EXPECT_EQ(kind, UpdateKind::ukInsert);
        action = *c.action;
      };
    }
    bool post_error_called = false;
    query.OnPostError = [&](DataSet&, const std::exception&, DataAction&) { post_error_called = true; };
    OpenTarget();
    InsertRows(1, 5);
    bool threw = false;
    try {
      query.ApplyUpdates();
    } catch (const DriverError& e) {
      threw = true;
      EXPECT_EQ(c.action.value_or(UpdateAction::uaFail), UpdateAction::uaFail);
      EXPECT_EQ(e.ServerMessage(), "Violation of PRIMARY KEY constraint 'PK_tX'.");
    } catch (const platform::EAbort&) {
      threw = true;
      EXPECT_EQ(c.action, UpdateAction::uaAbort);
    }
    EXPECT_EQ(threw, c.throws);
    EXPECT_EQ(Keys(), c.stored);
    EXPECT_EQ(query.UpdatesPending(), c.pending_after);
    EXPECT_FALSE(post_error_called);
    if (c.action) {
      EXPECT_EQ(seen, "k3: Violation of PRIMARY KEY constraint 'PK_tX'.");
    }
  }
}

TEST_F(MSQueryTest, CachedEditsAndDeletesApplyInTheOrderTheyWerePosted) {
  server.Table("tX").rows = {{Value("k1"), Value(1), Value()}, {Value("k2"), Value(2), Value()}};
  query.SQL.SetText("select * from tX");
  query.SetCachedUpdates(true);
  query.Open();
  query.Next();
  query.Delete();  // k2
  query.Edit();    // k1
  query.FieldByName("anQty").SetAsInteger(10);
  query.Post();
  InsertRows(3, 3);
  EXPECT_EQ(query.GetUpdateStatus(), UpdateStatus::usInserted);
  EXPECT_TRUE(server.statements.empty());
  query.ApplyUpdates();
  EXPECT_EQ(server.statements, (std::vector<std::string>{"delete from [tX] where [acKey] = ?",
                                                         "update [tX] set [anQty] = ? where [acKey] = ?"}));
  EXPECT_EQ(server.insert_calls.size(), 1u);
  EXPECT_FALSE(query.UpdatesPending());
}

TEST_F(MSQueryTest, CancelUpdatesPutsBackWhatTheServerGave) {
  server.Table("tX").rows = {{Value("k1"), Value(1), Value()}, {Value("k2"), Value(2), Value()}};
  query.SQL.SetText("select * from tX");
  query.SetCachedUpdates(true);
  query.Open();
  query.Edit();
  query.FieldByName("anQty").SetAsInteger(10);
  query.Post();
  query.Next();
  query.Delete();
  InsertRows(3, 4);
  EXPECT_EQ(query.RecordCount(), 3);
  query.CancelUpdates();
  EXPECT_FALSE(query.UpdatesPending());
  EXPECT_EQ(query.RecordCount(), 2);
  std::vector<std::string> seen;
  for (query.First(); !query.Eof(); query.Next()) {
    seen.push_back(query.FieldByName("acKey").AsString() + "=" + query.FieldByName("anQty").AsString());
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"k1=1", "k2=2"}));
  EXPECT_TRUE(server.statements.empty());
}

TEST_F(MSQueryTest, CloseAndOpenDropTheCache) {
  OpenTarget();
  InsertRows(1, 2);
  query.Close();
  query.Open();
  EXPECT_FALSE(query.UpdatesPending());
  EXPECT_EQ(query.RecordCount(), 0);
  query.ApplyUpdates();
  EXPECT_TRUE(server.insert_calls.empty());
}

// Without cached updates each Post writes its row at once; a refusal goes
// to OnPostError, whose action decides what the caller of Post sees.
TEST_F(MSQueryTest, RefusedPostFollowsThePostErrorAction) {
  struct Case {
    DataAction action;
    int refusals;
    bool stored;
  };
  const Case cases[] = {
      {DataAction::daFail, 1, false},
      {DataAction::daAbort, 1, false},
      {DataAction::daRetry, 1, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.action));
    query.Close();
    server.Table("tX").rows.clear();
    int refusals = c.refusals;
    server.refuse_row = [&](const Row&) -> std::optional<std::string> {
      if (refusals-- > 0) return "String or binary data would be truncated.";
      return std::nullopt;
    };
    int calls = 0;
    query.OnPostError = [&](DataSet& ds, const std::exception& e, DataAction& action) {
      ++calls;
      EXPECT_EQ(&ds, &query);
      EXPECT_STREQ(e.what(), "String or binary data would be truncated.");
      EXPECT_EQ(action, DataAction::daFail);
      action = c.action;
    };
    query.SQL.SetText("select * from tX where 1=2");
    query.Open();
    query.Insert();
    query.FieldByName("acKey").SetAsString("k1");
    switch (c.action) {
      case DataAction::daFail:
        EXPECT_THROW(query.Post(), DriverError);
        break;
      case DataAction::daAbort:
        EXPECT_THROW(query.Post(), platform::EAbort);
        break;
      case DataAction::daRetry:
        query.Post();
        break;
    }
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(server.Table("tX").rows.size(), c.stored ? 1u : 0u);
    EXPECT_EQ(query.State(), c.stored ? DataSetState::dsBrowse : DataSetState::dsInsert);
    query.Cancel();
  }
}

TEST_F(MSQueryTest, RequiredFieldLeftEmptyFailsThePostThroughPostError) {
  query.Options.RequiredFields = true;
  OpenTarget();
  std::string message;
  query.OnPostError = [&](DataSet&, const std::exception& e, DataAction& action) {
    message = e.what();
    action = DataAction::daAbort;
  };
  query.Insert();
  query.FieldByName("anQty").SetAsInteger(1);
  EXPECT_THROW(query.Post(), platform::EAbort);
  EXPECT_EQ(message, "Field 'acKey' must have a value");
  query.Cancel();
  InsertRows(2, 2);
  query.ApplyUpdates();
  EXPECT_EQ(Keys(), std::vector<std::string>{"k2"});
}

TEST_F(MSQueryTest, EventsFireInTheOrderOfTheStates) {
  std::vector<std::string> log;
  auto record = [&](const char* name) { return [&log, name](DataSet&) { log.push_back(name); }; };
  query.BeforeOpen = record("BeforeOpen");
  query.AfterOpen = record("AfterOpen");
  query.BeforeInsert = record("BeforeInsert");
  query.OnNewRecord = record("OnNewRecord");
  query.AfterInsert = record("AfterInsert");
  query.BeforePost = record("BeforePost");
  query.AfterPost = record("AfterPost");
  query.BeforeEdit = record("BeforeEdit");
  query.AfterEdit = record("AfterEdit");
  query.BeforeCancel = record("BeforeCancel");
  query.AfterCancel = record("AfterCancel");
  query.BeforeDelete = record("BeforeDelete");
  query.AfterDelete = record("AfterDelete");
  query.BeforeClose = record("BeforeClose");
  query.AfterClose = record("AfterClose");
  OpenTarget();
  query.Insert();
  query.FieldByName("acKey").SetAsString("k1");
  query.Post();
  query.Edit();
  query.Cancel();
  query.Delete();
  query.Close();
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeInsert", "OnNewRecord", "AfterInsert",
                                           "BeforePost", "AfterPost", "BeforeEdit", "AfterEdit", "BeforeCancel",
                                           "AfterCancel", "BeforeDelete", "AfterDelete", "BeforeClose",
                                           "AfterClose"}));
  EXPECT_FALSE(query.UpdatesPending());  // a cached insert deleted again leaves nothing to send
}

TEST_F(MSQueryTest, EditAndDeleteWriteByTheKeyWithTheOldValues) {
  server.Table("tX").rows = {{Value("k1"), Value(1), Value()}, {Value("k2"), Value(2), Value("n")}};
  query.SQL.SetText("select * from tX");
  query.Open();
  query.Next();
  query.Edit();
  query.FieldByName("acKey").SetAsString("k9");
  query.FieldByName("acNote").Clear();
  query.Post();
  query.Delete();
  ASSERT_EQ(server.statements.size(), 2u);
  EXPECT_EQ(server.statements[0], "update [tX] set [acKey] = ?, [acNote] = ? where [acKey] = ?");
  EXPECT_EQ(server.statement_params[0], (std::vector<Value>{Value("k9"), Value(), Value("k2")}));
  EXPECT_EQ(server.statements[1], "delete from [tX] where [acKey] = ?");
  EXPECT_EQ(server.statement_params[1], std::vector<Value>{Value("k9")});
  EXPECT_EQ(query.RecordCount(), 1);
}

TEST_F(MSQueryTest, StrictUpdateRefusesAnUpdateThatFoundNoRow) {
  server.Table("tX").rows = {{Value("k1"), Value(1), Value()}};
  server.rows_affected = 0;
  query.SQL.SetText("select * from tX");
  query.Open();
  std::string message;
  query.OnDeleteError = [&](DataSet&, const std::exception& e, DataAction&) { message = e.what(); };
  EXPECT_THROW(query.Delete(), DatabaseError);
  EXPECT_EQ(message, "Delete failed. Found 0 records");
  query.Options.StrictUpdate = false;
  query.Delete();
  EXPECT_TRUE(query.IsEmpty());
}

TEST_F(MSQueryTest, StatementTextsBindNewAndOldFieldValues) {
  server.Table("tX").rows = {{Value("k1"), Value(1), Value()}};
  query.SQL.SetText("select * from tX");
  query.SQLUpdate.SetText("exec pSet :acKey, :OLD_acKey, :anQty, :extra");
  query.Params().Add("extra", Value("x"));
  std::vector<StatementTypes> seen;
  query.AfterUpdateExecute = [&](DataSet&, StatementTypes kinds, Params& params) {
    seen.push_back(kinds);
    EXPECT_EQ(params.Count(), 4u);
  };
  query.Open();
  query.Edit();
  query.FieldByName("acKey").SetAsString("k2");
  query.Post();
  ASSERT_EQ(server.statements.size(), 1u);
  EXPECT_EQ(server.statements[0], "exec pSet ?, ?, ?, ?\r\n");
  EXPECT_EQ(server.statement_params[0], (std::vector<Value>{Value("k2"), Value("k1"), Value(1), Value("x")}));
  EXPECT_EQ(seen, std::vector<StatementTypes>{StatementTypes{StatementType::stUpdate}});
}

TEST_F(MSQueryTest, ExecuteRunsTheSqlWithItsParameters) {
  query.SQL.SetText("delete from tX where acKey = :k");
  query.ParamByName("k").value = Value("k1");
  query.Execute();
  EXPECT_EQ(server.statements, std::vector<std::string>{"delete from tX where acKey = ?\r\n"});
  EXPECT_EQ(server.statement_params[0], std::vector<Value>{Value("k1")});
  EXPECT_EQ(query.RowsAffected(), 1);
}

TEST_F(MSQueryTest, TrimOptionsDropTrailingBlanksOfFetchedTexts) {
  Column fixed = Col("acCode", FieldType::ftString, 5);
  fixed.declared_type = "char(5)";
  server.AddTable("tT", {fixed, Col("acText", FieldType::ftString, 10)}).rows = {{Value("ab   "), Value("cd  ")}};
  query.SQL.SetText("select * from tT");
  struct Case {
    bool trim_fixed, trim_var;
    const char* code;
    const char* text;
  };
  for (const Case& c : {Case{true, false, "ab", "cd  "}, Case{false, true, "ab   ", "cd"}}) {
    query.Options.TrimFixedChar = c.trim_fixed;
    query.Options.TrimVarChar = c.trim_var;
    query.Open();
    EXPECT_EQ(query.FieldByName("acCode").AsString(), c.code);
    EXPECT_EQ(query.FieldByName("acText").AsString(), c.text);
    query.Close();
  }
}

TEST_F(MSQueryTest, CalculatedAndLookupFieldsFollowTheRecord) {
  server.AddTable("tUnit", {Col("acUnit", FieldType::ftString, 3), Col("acName", FieldType::ftString, 20)}).rows = {
      {Value("kg"), Value("kilogram")}, {Value("m"), Value("metre")}};
  server.AddTable("tItem", {Col("acItem", FieldType::ftString, 10), Col("acUnit", FieldType::ftString, 3),
                            Col("anQty", FieldType::ftInteger)})
      .rows = {{Value("a"), Value("m"), Value(2)}, {Value("b"), Value("kg"), Value(5)}};
  MSQuery units;
  units.SetConnection(&connection);
  units.SQL.SetText("select * from tUnit");
  units.Open();

  query.SQL.SetText("select * from tItem");
  query.AddField("acItem", FieldType::ftString, 10);
  query.AddField("acUnit", FieldType::ftString, 3);
  query.AddField("anQty", FieldType::ftInteger);
  Field& twice = query.AddField("anTwice", FieldType::ftInteger, 0, FieldKind::fkCalculated);
  Field& unit = query.AddField("acUnitName", FieldType::ftString, 20, FieldKind::fkLookup);
  unit.LookupDataSet = &units;
  unit.KeyFields = "acUnit";
  unit.LookupKeyFields = "acUnit";
  unit.LookupResultField = "acName";
  query.OnCalcFields = [](DataSet& ds) {
    ds.FieldByName("anTwice").SetAsInteger(2 * ds.FieldByName("anQty").AsInteger());
  };
  query.Open();
  EXPECT_EQ(twice.AsInteger(), 4);
  EXPECT_EQ(unit.AsString(), "metre");
  query.Next();
  EXPECT_EQ(twice.AsInteger(), 10);
  EXPECT_EQ(unit.AsString(), "kilogram");
  query.Edit();
  query.FieldByName("anQty").SetAsInteger(7);
  EXPECT_EQ(twice.AsInteger(), 14);
  query.Cancel();
  query.Close();
  EXPECT_EQ(query.FieldCount(), 5);  // fields of their own outlive the close
}

}  // namespace
}  // namespace dac
