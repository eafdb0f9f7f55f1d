// The copy-rows step: the schema's tables, largest first, copied one after
// another on the window's thread or spread over up to seven workers.
#include <chrono>
#include <memory>
#include <thread>

#include "app/tf_main.h"
#include "copy/thread_table_copy_rows.h"
#include "platform/scope_guard.h"
#include "platform/text.h"
#include "schema/sql_names.h"

namespace app {
namespace {

constexpr auto kSlotWait = std::chrono::milliseconds(100);
constexpr int kWaitsPerRefresh = 5;
constexpr auto kFinalWait = std::chrono::milliseconds(500);

std::string TableListQuery(const std::string& owner) {
  return "select NVL(S.acTableName, T.table_name) as table_name from all_tables T left join tVX_SysTables S on "
         "Upper(S.acTableName) = T.table_name left join all_mviews M on M.Owner = T.Owner and M.mview_name = "
         "T.table_name where T.owner = '" +
         schema::QuoteText(owner) +
         "' and temporary = 'N' and M.mview_name is null "
         "  and table_name not in ('TVX_SYSOBJECT', 'TVX_SYSSERVER', 'TVX_SYSDATABASE', 'TVX_SYSSCHEMA') "
         "order by T.num_rows desc";
}

}  // namespace

bool TfMain::AnyWorkerBusy() const {
  for (int i = 1; i <= kWorkerSlots; ++i) {
    if (WorkerBusy[i]) return true;
  }
  return false;
}

void TfMain::CopyRows() {
  TablesDone = 0;
  if (!cbMigrateTablesCopyRows.checked) return;

  OpenThreadConnections();
  // Workers are joined before their connections close, however the step ends.
  std::array<std::unique_ptr<TThreadTableCopyRows>, kWorkerSlots + 1> workers;
  platform::ScopeGuard cleanup([&]() noexcept {
    for (auto& worker : workers) worker.reset();
    CloseThreadConnections();
  });

  WriteStepBanner("Copy Rows", true);
  sb.visible = true;
  sb.panels[0].text = cbMigrateTablesCopyRows.caption;
  sb.panels[2].visible = true;
  sb.panels[4].visible = true;
  sb.panels[1].text = std::to_string(TablesDone.load());
  host_.ProcessMessages();

  orasqQuery.Close();
  orasqQuery.SQL = TableListQuery(platform::UpperAscii(eORADatabaseName.text));
  orasqQuery.Open();
  const std::int64_t table_count = orasqQuery.RecordCount();
  pb.min = 0;
  pb.max = 100;
  host_.ProcessMessages();

  auto show_copy_progress = [&] {
    const int done = TablesDone;
    sb.panels[1].text = std::to_string(done) + " / " + std::to_string(table_count);
    pb.position = table_count > 0 ? static_cast<int>(done * 99 / table_count) + 1 : 1;
    host_.ProcessMessages();
    sb.panels[2].text = std::to_string(DetailDone.load());
    pbDet.max = static_cast<int>(DetailTotal.load());
    pbDet.position = static_cast<int>(DetailDone.load());
    host_.ProcessMessages();
  };

  for (; !orasqQuery.Eof(); orasqQuery.Next()) {
    const std::string table = orasqQuery.FieldByName("table_name").AsString();
    show_copy_progress();
    if (MultiThreadRun) {
      for (int waits = 0;;) {
        int slot = 1;
        while (slot <= kWorkerSlots && WorkerBusy[slot]) ++slot;
        if (slot <= kWorkerSlots) {
          workers[slot].reset();  // the slot's previous worker has finished its table
          WorkerBusy[slot] = true;
          workers[slot] = std::make_unique<TThreadTableCopyRows>(*this, slot, table);
          break;
        }
        std::this_thread::sleep_for(kSlotWait);
        if (++waits % kWaitsPerRefresh == 0) show_copy_progress();
      }
    } else {
      CopyTable(1, table);
    }
  }
  orasqQuery.Close();

  if (MultiThreadRun) {
    while (AnyWorkerBusy()) {
      std::this_thread::sleep_for(kFinalWait);
      show_copy_progress();
    }
  }

  sb.panels[1].text = std::to_string(TablesDone.load()) + " / " + std::to_string(table_count);
  pb.position = pb.max;
  host_.ProcessMessages();
  sb.visible = false;
  cbMigrateTablesCopyRowsDone.checked = true;
  WriteStepBanner("Copy Rows", false);
}

}  // namespace app
