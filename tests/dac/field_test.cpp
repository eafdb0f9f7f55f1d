#include "dac/field.h"

#include <gtest/gtest.h>

#include "dac/ms_query.h"
#include "fake_server.h"

namespace dac {
namespace {

using testing::Col;
using testing::FakeDriver;
using testing::FakeServer;

TEST(ConvertForField, KeepsEachTypesKindOfValue) {
  struct Case {
    FieldType type;
    Value in;
    Value out;
  };
  const auto D = [](const char* s) { return Value(*Decimal::Parse(s)); };
  const Case cases[] = {
      {FieldType::ftInteger, Value("  42 "), Value(42)},
      {FieldType::ftInteger, D("12.5"), Value(13)},
      {FieldType::ftLargeint, D("-9007199254740993"), Value(std::int64_t{-9007199254740993})},
      {FieldType::ftWord, Value(300), Value(300)},
      {FieldType::ftCurrency, Value(std::int64_t{922337203685477}), D("922337203685477")},
      {FieldType::ftBCD, Value("0.10"), D("0.10")},
      {FieldType::ftCurrency, Value(0.1), D("0.1")},
      {FieldType::ftFloat, D("2.5"), Value(2.5)},
      {FieldType::ftString, D("1.50"), Value("1.50")},
      {FieldType::ftString, Value(7), Value("7")},
      {FieldType::ftBoolean, Value("T"), Value(true)},
      {FieldType::ftDateTime, Value("2079-06-05 10:00:00"), Value(DateTime{2079, 6, 5, 10, 0, 0, 0})},
      {FieldType::ftBlob, Value("ab"), Value(Bytes{'a', 'b'})},
      {FieldType::ftInteger, Value(), Value()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertForField(c.type, c.in, "f"), c.out) << FieldTypeName(c.type) << " " << c.in.ToText();
  }
}

TEST(ConvertForField, RefusesWhatDoesNotFitNamingTheField) {
  struct Case {
    FieldType type;
    Value in;
    const char* message_part;
  };
  const Case cases[] = {
      {FieldType::ftInteger, Value("12a"), "'12a' is not a valid integer value for field 'anQty'"},
      {FieldType::ftSmallint, Value(40000), "The allowed range is -32768 to 32767"},
      {FieldType::ftWord, Value(-1), "The allowed range is 0 to 65535"},
      {FieldType::ftInteger, Value(std::int64_t{1} << 40), "allowed range"},
      {FieldType::ftDateTime, Value("2079-02-30"), "not a valid date and time value"},
      {FieldType::ftDateTime, Value(5), "not a valid date and time value"},
      {FieldType::ftBCD, Value("1,5"), "not a valid numeric value"},
      {FieldType::ftBoolean, Value("maybe"), "not a valid boolean value"},
  };
  for (const auto& c : cases) {
    try {
      ConvertForField(c.type, c.in, "anQty");
      ADD_FAILURE() << "accepted " << c.in.ToText();
    } catch (const DatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
  }
}

class FieldTest : public ::testing::Test {
 protected:
  FieldTest() {
    server.AddTable("tX", {Col("acName", FieldType::ftString, 10), Col("anQty", FieldType::ftInteger),
                           Col("adDate", FieldType::ftDateTime)})
        .rows = {{Value("first"), Value(1), Value()}};
    connection.SetDriver(std::make_shared<FakeDriver>(server));
    connection.Open();
    query.SetConnection(&connection);
    query.SQL.SetText("select * from tX");
    query.Open();
  }

  FakeServer server;
  MSConnection connection;
  MSQuery query;
};

TEST_F(FieldTest, ValidateSeesTheNewValueAndCanRefuseItThenChangeFollows) {
  Field& qty = query.FieldByName("ANQTY");
  std::vector<std::string> seen;
  qty.OnValidate = [&](Field& f) {
    seen.push_back("validate " + f.AsString());
    if (f.AsInteger() < 0) throw DatabaseError("negative");
  };
  qty.OnChange = [&](Field& f) { seen.push_back("change " + f.AsString()); };
  query.Edit();
  qty.SetAsInteger(5);
  EXPECT_THROW(qty.SetAsInteger(-5), DatabaseError);
  EXPECT_EQ(qty.AsInteger(), 5);
  EXPECT_EQ(seen, (std::vector<std::string>{"validate 5", "change 5", "validate -5"}));
}

TEST_F(FieldTest, TextGoesThroughTheTextEvents) {
  Field& name = query.FieldByName("acName");
  name.OnSetText = [](Field& f, const std::string& text) { f.SetAsString("<" + text + ">"); };
  name.OnGetText = [](Field& f, std::string& text, bool display) {
    text = (display ? "shown " : "edited ") + f.AsString();
  };
  query.Edit();
  name.SetText("x");
  EXPECT_EQ(name.AsString(), "<x>");
  EXPECT_EQ(name.DisplayText(), "shown <x>");
  EXPECT_EQ(name.Text(), "edited <x>");
}

TEST_F(FieldTest, WritesNeedEditStateAndAWritableField) {
  Field& name = query.FieldByName("acName");
  EXPECT_THROW(name.SetAsString("y"), UsageError);
  name.ReadOnly = true;
  query.Edit();
  EXPECT_THROW(name.SetAsString("y"), DatabaseError);
  EXPECT_EQ(name.AsString(), "first");
}

TEST_F(FieldTest, OldValueIsTheServersAndEmptyTextClearsANumber) {
  Field& qty = query.FieldByName("anQty");
  query.Edit();
  qty.SetAsString(" ");
  EXPECT_TRUE(qty.IsNull());
  EXPECT_EQ(qty.OldValue(), Value(1));
  EXPECT_TRUE(qty.Modified());
  query.Cancel();
  EXPECT_EQ(qty.Value(), Value(1));
  query.Insert();
  EXPECT_TRUE(qty.OldValue().IsNull());
  EXPECT_FALSE(qty.Modified());
}

TEST_F(FieldTest, BlobStreamsReadTheFieldAndWriteThroughToIt) {
  Field& name = query.FieldByName("acName");
  auto reader = query.CreateBlobStream(name, BlobStreamMode::bmRead);
  char buffer[16] = {};
  EXPECT_EQ(reader->Read(buffer, sizeof buffer), 5u);
  EXPECT_EQ(std::string(buffer), "first");
  EXPECT_THROW(reader->Write("x", 1), UsageError);
  EXPECT_THROW(query.CreateBlobStream(name, BlobStreamMode::bmWrite), UsageError);
  query.Edit();
  auto writer = query.CreateBlobStream(name, BlobStreamMode::bmWrite);
  EXPECT_EQ(name.AsString(), "");
  writer->Write("new", 3);
  writer->Write("er", 2);
  EXPECT_EQ(name.Value(), Value("newer"));
}

TEST_F(FieldTest, UnknownFieldNameIsADatabaseError) {
  EXPECT_EQ(query.FindField("nope"), nullptr);
  EXPECT_THROW(query.FieldByName("nope"), DatabaseError);
  EXPECT_EQ(query.FieldByName("adDate").FieldNo(), 3);
  EXPECT_EQ(query.FieldByName("adDate").Index(), 2);
}

}  // namespace
}  // namespace dac
