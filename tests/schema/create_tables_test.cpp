#include <gtest/gtest.h>

#include <map>

#include "tests/support/embedded_run.h"

namespace app {
namespace {

using testing_support::EmbeddedRun;
using testing_support::ReadFixture;

// The least a source needs: the schema, the parameter table the run reads and
// the column dictionary (five catalogue rows).
constexpr const char* kBareSource =
    "CREATE USER NORTIVA55 IDENTIFIED BY erp;\nALTER SESSION SET CURRENT_SCHEMA = NORTIVA55;\n"
    "CREATE TABLE tVX_SysParamSys (anBuildNo NUMBER(10), anRevision NUMBER(5));\n"
    "INSERT INTO tVX_SysParamSys VALUES (5500, 12);\n"
    "CREATE TABLE tVX_SysTableStr (acTableName VARCHAR2(30), acFieldName VARCHAR2(30), anSeqNo NUMBER(5));\n";

struct Prepared : EmbeddedRun {
  explicit Prepared(const std::string& source = ReadFixture("oracle/erp_source.sql")) : EmbeddedRun(source) {
    form.AutoRun = true;
    TickOnly({&form.cbCreateSQLDatabase, &form.cbMigrateTablesCreateTables});
  }
  std::vector<std::string> Tables() const {
    std::vector<std::string> names;
    for (const auto& row : Rows("Nortiva55", "select name from sys.tables order by name")) names.push_back(row[0]);
    return names;
  }
  std::vector<dac::Column> Columns(const std::string& table) const {
    return Target("Nortiva55")->Query("select * from [" + table + "] where 1=2")->Columns();
  }
};

TEST(CreateTables, EveryPermanentTableInTheDictionarysSpelling) {
  Prepared r;
  r.Run();
  EXPECT_TRUE(r.form.cbMigrateTablesCreateTablesDone.checked);
  EXPECT_EQ(r.Tables(), (std::vector<std::string>{"tHE_Move", "tHE_SetItem", "THE_SETSUBJCONTACT", "TVX_REPORTS",
                                                  "TVX_SYSCONSTRAINTERRLOG", "TVX_SYSPARAMSYS", "TVX_SYSTABLES",
                                                  "TVX_SYSTABLESTR", "TVX_SYSUPGRADETIMELOG"}));
  EXPECT_TRUE(r.LogHas("Create Tables Start at: "));
  EXPECT_TRUE(r.LogHas("Create Tables Finish at: "));
  EXPECT_FALSE(r.form.sb.visible);
}

TEST(CreateTables, ColumnsInDictionaryOrderWithMappedTypes) {
  Prepared r;
  r.Run();
  const auto columns = r.Columns("tHE_SetItem");
  std::vector<std::string> names;
  std::map<std::string, std::string> types;
  for (const auto& c : columns) {
    names.push_back(c.name);
    types[c.name] = c.declared_type + (c.nullable ? "" : " not null");
  }
  // The dictionary's columns first, in its order and spelling; then the rest by name.
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
            (std::vector<std::string>{"acIdent", "acName", "anPrice", "ABIMAGE"}));
  EXPECT_EQ(names.size(), 24u);  // every Oracle column but ACWIDE
  const std::map<std::string, std::string> expected = {
      {"acIdent", "varchar(16) not null"},  {"acName", "varchar(80) not null"},  {"anPrice", "money not null"},
      {"ABIMAGE", "image"},                 {"ABRAW", "varbinary(max)"},         {"ACCODE", "char(1) not null"},
      {"ACFIXED", "char(3)"},               {"ACKEY", "char(13)"},               {"ACNOTE", "text"},
      {"ADSTAMP", "datetime"},              {"ANBIG", "bigint"},                 {"ANFLAG", "bit"},
      {"ANFLOAT", "float"},                 {"ANINT", "int not null"},           {"ANLONG", "bigint"},
      {"ANNUM", "float"},                   {"ANQTY", "decimal(19, 2)"},         {"ANRATE", "decimal(5, 5)"},
      {"ANSHORT", "smallint"},              {"ANSMALL", "tinyint"},              {"ANYEAR", "smallint not null"},
      {"ADCREATED", "datetime not null"},   {"ACSCHEMA", "varchar(30) not null"},
  };
  for (const auto& [name, type] : expected) EXPECT_EQ(types[name], type) << name;
  EXPECT_EQ(types.count("ACWIDE"), 0u);
  EXPECT_TRUE(r.LogHas("QARNETH-00001: unknown datatype 'NVARCHAR2' for column ACWIDE in table THE_SETITEM"));
}

TEST(CreateTables, IdentityColumnsAndNoAnqid) {
  Prepared r;
  r.Run();
  for (const char* table : {"TVX_SYSUPGRADETIMELOG", "TVX_SYSCONSTRAINTERRLOG"}) {
    const auto columns = r.Columns(table);
    bool identity = false;
    for (const auto& c : columns) identity = identity || c.identity;
    EXPECT_TRUE(identity) << table;
  }
  for (const auto& c : r.Columns("THE_SETSUBJCONTACT")) EXPECT_NE(c.name, "ANQID");
}

TEST(CreateTables, TheServerAppliesTheDefaults) {
  Prepared r;
  r.Run();
  auto target = r.Target("Nortiva55");
  target->Execute("insert into [tHE_SetItem] ([acIdent], [ACCODE], [anPrice], [ADCHANGED]) values ('X1', 'K', 1, '2024-01-01')");
  const auto rows = r.Rows("Nortiva55", "select [acName], [ANINT], [ANYEAR], [ACSCHEMA] from [tHE_SetItem]");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "");
  EXPECT_EQ(rows[0][1], "1");
  EXPECT_EQ(rows[0][2].size(), 4u);  // this year
  EXPECT_EQ(rows[0][3], "Nortiva55");
  // (SYSDATE) became getdate(); a bare SYSDATE default is not carried over.
  EXPECT_THROW(target->Execute("insert into [tHE_SetItem] ([acIdent], [ACCODE], [anPrice]) values ('X2', 'K', 1)"),
               dac::DriverError);
}

TEST(CreateTables, CounterEveryHundredRows) {
  // 250 catalogue rows over three tables.
  std::string source = kBareSource;
  const int widths[] = {100, 100, 45};
  for (int t = 0; t < 3; ++t) {
    source += "CREATE TABLE T" + std::to_string(t) + " (";
    for (int c = 0; c < widths[t]; ++c) source += (c ? ", C" : "C") + std::to_string(c) + " NUMBER(10)";
    source += ");\n";
  }
  Prepared r(source);
  std::vector<std::string> panel;
  r.host.on_repaint = [&] {
    if (r.form.sb.visible && r.form.sb.panels[0].text == "Create Tables") panel.push_back(r.form.sb.panels[1].text);
  };
  r.Run();
  EXPECT_EQ(panel, (std::vector<std::string>{"0", "0", "100", "200", "250"}));
  EXPECT_EQ(r.form.pb.max, 250);
  EXPECT_EQ(r.form.pb.position, 200);
}

TEST(CreateTables, LowerCaseSchemaAndOddNames) {
  const std::string source = std::string(kBareSource) + "CREATE TABLE \"tHE_Odd]Name\" (\"an]Id\" NUMBER(10) NOT NULL);\n";
  Prepared r(source);
  r.form.eORADatabaseName.text = "nortiva55";
  r.Run();
  EXPECT_EQ(r.Tables(), (std::vector<std::string>{"tHE_Odd]Name", "TVX_SYSPARAMSYS", "TVX_SYSTABLESTR"}));
  const auto columns = r.Columns("tHE_Odd]]Name");
  ASSERT_EQ(columns.size(), 1u);
  EXPECT_EQ(columns[0].name, "an]Id");
}

TEST(CreateTables, NothingWhenNotTicked) {
  Prepared r;
  r.form.cbMigrateTablesCreateTables.checked = false;
  r.form.cbMigrateTablesCreateTablesDone.checked = true;
  r.Run();
  EXPECT_FALSE(r.LogHas("Create Tables"));
  EXPECT_TRUE(r.form.cbMigrateTablesCreateTablesDone.checked);
  EXPECT_TRUE(r.Tables().empty());
}

}  // namespace
}  // namespace app
