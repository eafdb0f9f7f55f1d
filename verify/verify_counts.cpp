// Verification: the exact row and column counts of every Oracle table written
// into tMG_TableCounts on the target, then the installation's comparison query
// written into the run log as a text table.
#include <algorithm>

#include "app/tf_main.h"
#include "platform/text.h"
#include "verify/pad_text.h"

namespace app {
namespace {

constexpr const char* kCountsQuery =
    "select NVL(S.acTableName, C.table_name) as table_name, nvl(T.num_rows, 0) as NumberOfRows, count(1) as "
    "NumberOfColumns from all_tab_columns C join all_tables T on T.Owner = C.Owner and T.table_name = C.table_name and "
    "T.temporary = 'N' left join tVX_SysTables S on Upper(S.acTableName) = C.table_name left join all_mviews M on "
    "M.Owner = C.Owner and M.mview_name = C.table_name where C.owner = current_schema and M.mview_name is null and "
    "C.column_name <> 'ANQID'   and C.table_name not in ('TVX_SYSOBJECT', 'TVX_SYSSERVER', 'TVX_SYSDATABASE', "
    "'TVX_SYSSCHEMA') group by NVL(S.acTableName, C.table_name), T.num_rows";

constexpr int kTextWidth = 30;

}  // namespace

std::int64_t TfMain::CountRows(const std::string& TableName) {
  orasqQuery1.SQL = "select count(*) cnt from " + TableName;
  orasqQuery1.Open();
  const std::int64_t count = orasqQuery1.Eof() ? 0 : orasqQuery1.FieldByName("cnt").AsInteger();
  orasqQuery1.Close();
  return count;
}

void TfMain::VerifyCounts() {
  if (!cbMigrateTablesVerify.checked) return;
  WriteStepBanner("Verify", true);

  sb.visible = true;
  sb.panels[0].text = cbMigrateTablesVerify.caption;
  sb.panels[1].visible = true;
  sb.panels[2].visible = false;
  sb.panels[4].visible = true;
  int counter = 0;
  pb.min = 0;
  pb.max = 5;
  pb.position = 0;
  host_.ProcessMessages();
  auto progress = [this](int position) {
    pb.position = position;
    host_.ProcessMessages();
  };
  auto count_one = [&] {
    ++counter;
    sb.panels[1].text = std::to_string(counter);
    pbDet.position = counter;
    host_.ProcessMessages();
  };

  const std::filesystem::path folder = ProgramFile().parent_path();
  msScript.SQL.LoadFromFile(folder / "MigrateVerifyB.sql");
  msScript.Execute();
  progress(1);

  orasqQuery.Close();
  orasqQuery.SQL = kCountsQuery;
  orasqQuery.Open();
  pbDet.min = 0;
  pbDet.max = static_cast<int>(orasqQuery.RecordCount());
  msqQuery.Close();
  msqQuery.SQL = "select * from tMG_TableCounts where 1=2";
  msqQuery.Open();
  progress(2);

  for (; !orasqQuery.Eof(); orasqQuery.Next()) {
    const std::string table = orasqQuery.FieldByName("table_name").AsString();
    const std::int64_t columns = orasqQuery.FieldByName("NumberOfColumns").AsInteger();
    const std::int64_t rows = CountRows(table);
    msqQuery.Insert();
    msqQuery.FieldByName("acTableName").SetAsString(table);
    msqQuery.FieldByName("anNumberOfRecords").SetAsInteger(rows);
    msqQuery.FieldByName("anTotalColunms").SetAsInteger(columns);
    msqQuery.Post();
    count_one();
  }
  orasqQuery.Close();
  msqQuery.Close();
  progress(3);

  msqQuery.SQL.LoadFromFile(folder / "MigrateVerifyA.sql");
  msqQuery.Open();
  // The report has about one row per table: the bar runs on from the tables to twice their number.
  pbDet.position = 0;
  pbDet.max = std::max(1, 2 * counter);
  progress(4);

  std::string report;
  if (!msqQuery.Eof()) {
    // Single-byte texts are left-aligned in 30 characters; every other column
    // is right-aligned as wide as its name.
    struct Layout {
      int width;
      bool right;
    };
    std::vector<Layout> layout;
    std::string header, rule;
    for (int i = 0; i < msqQuery.FieldCount(); ++i) {
      const dac::Field& f = msqQuery.Fields(i);
      const bool text = f.DataType() == dac::FieldType::ftString;
      layout.push_back({text ? kTextWidth : static_cast<int>(platform::CharLength(f.FieldName)), !text});
      header += PadText(f.FieldName, ' ', layout.back().width, layout.back().right);
      rule += PadText("", '-', layout.back().width, layout.back().right);
    }
    report = header + "\r\n" + rule;
    for (; !msqQuery.Eof(); msqQuery.Next()) {
      std::string line;
      for (int i = 0; i < msqQuery.FieldCount(); ++i) {
        const dac::Field& f = msqQuery.Fields(i);
        line += PadText(f.IsNull() ? std::string() : f.AsString(), ' ', layout[i].width, layout[i].right);
      }
      report += "\r\n" + line;
      count_one();
    }
  }
  msqQuery.Close();
  progress(5);

  WriteLog(true, "", report);
  cbMigrateTablesVerifyDone.checked = true;
  WriteStepBanner("Verify", false);
  sb.visible = false;
}

}  // namespace app
