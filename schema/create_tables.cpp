// Table creation: the ERP schema's tables recreated in the target database,
// one "create table" statement and one batch of default constraints per table.
#include "app/tf_main.h"
#include "platform/text.h"
#include "schema/column_row.h"
#include "schema/default_constraint.h"
#include "schema/map_column_type.h"
#include "schema/sql_names.h"

namespace app {
namespace {

// Every column of the owner's permanent tables, in the ERP dictionary's
// spelling and order where it knows the column, without materialized views,
// ANQID columns and three system tables.
std::string CatalogueQuery(const std::string& owner) {
  return "select NVL(S.acTableName, C.table_name) as table_name,   NVL(S.acFieldName, C.column_name) as column_name,   "
         "C.data_type, C.char_length, C.data_precision, C.data_scale, C.nullable, c.data_default from all_tab_columns C "
         "join all_tables T on T.Owner = C.Owner and T.table_name = C.table_name and T.temporary = 'N' left join "
         "tVX_SysTableStr S   on Upper(S.acTableName) = C.table_name and Upper(S.acFieldName) = C.column_name left "
         "join all_mviews M on M.Owner = C.Owner and M.mview_name = C.table_name where C.owner = '" +
         schema::QuoteText(owner) +
         "' and M.mview_name is null and C.column_name <> 'ANQID' "
         "  and C.table_name not in ('TVX_SYSSERVER', 'TVX_SYSDATABASE', 'TVX_SYSSCHEMA') "
         "order by C.table_name, NVL(S.anSeqNo, 99999), C.column_name";
}

schema::ColumnRow ReadColumnRow(const dac::DataSet& q) {
  schema::ColumnRow row;
  row.table_name = q.FieldByName("table_name").AsString();
  row.column_name = q.FieldByName("column_name").AsString();
  row.data_type = q.FieldByName("data_type").AsString();
  row.char_length = static_cast<int>(q.FieldByName("char_length").AsInteger());
  row.data_precision = static_cast<int>(q.FieldByName("data_precision").AsInteger());
  row.data_scale = static_cast<int>(q.FieldByName("data_scale").AsInteger());
  row.nullable = q.FieldByName("nullable").AsString();
  row.data_default = q.FieldByName("data_default").AsString();
  return row;
}

}  // namespace

void TfMain::CreateTables() {
  if (!cbMigrateTablesCreateTables.checked) return;
  WriteStepBanner("Create Tables", true);

  sb.visible = true;
  sb.panels[0].text = cbMigrateTablesCreateTables.caption;
  sb.panels[2].visible = false;
  sb.panels[4].visible = false;
  int counter = 0;
  sb.panels[1].text = "0";
  host_.ProcessMessages();

  orasqQuery.Close();
  orasqQuery.SQL = CatalogueQuery(platform::UpperAscii(eORADatabaseName.text));
  orasqQuery.Open();
  pb.min = 0;
  pb.max = static_cast<int>(orasqQuery.RecordCount());
  host_.ProcessMessages();

  std::string statement, defaults, previous_table;
  auto flush = [&] {
    statement.resize(statement.size() - 2);
    statement += ")";
    ExecuteScript(statement);
    if (!defaults.empty()) ExecuteScript(defaults);
  };

  for (; !orasqQuery.Eof(); orasqQuery.Next()) {
    const schema::ColumnRow row = ReadColumnRow(orasqQuery);
    const std::string& table = row.table_name;
    if (!platform::SameText(table, previous_table)) {
      if (!statement.empty()) flush();
      statement = "create table [dbo].[" + schema::BracketName(table) + "] (";
      defaults.clear();
    }
    const std::string type = schema::MapColumnType(row);
    defaults += schema::BuildDefaultConstraint(row);
    if (!type.empty()) {
      statement += "[" + schema::BracketName(row.column_name) + "] " + type + ", ";
    } else {
      WriteLog(false, "",
               "QARNETH-00001: unknown datatype '" + row.data_type + "' for column " + row.column_name + " in table " +
                   table + "\r\n");
    }
    previous_table = table;
    if (++counter % 100 == 0) {
      sb.panels[1].text = std::to_string(counter);
      pb.position = counter;
      host_.ProcessMessages();
    }
  }
  orasqQuery.Close();
  if (!statement.empty()) flush();

  sb.panels[1].text = std::to_string(counter);
  host_.ProcessMessages();
  sb.visible = false;
  cbMigrateTablesCreateTablesDone.checked = true;
  WriteStepBanner("Create Tables", false);
}

}  // namespace app
