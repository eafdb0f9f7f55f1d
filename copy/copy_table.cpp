// The copy of one table: the target emptied, the source streamed forward only
// into a cached target dataset, a few kinds of values converted on the way,
// the cache sent to the server every 2000 rows. Problems go to the run log;
// nothing is raised to the caller.
#include <memory>
#include <string>
#include <vector>

#include "app/tf_main.h"
#include "copy/field_rules.h"
#include "platform/scope_guard.h"
#include "platform/text.h"

namespace app {
namespace {

constexpr int kSourceFetchRows = 4000;
constexpr std::int64_t kBatchRows = 2000;
constexpr std::int64_t kProgressRows = 100;

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    if (platform::SameText(name, n)) return true;
  }
  return false;
}

}  // namespace

void TfMain::CopyTable(int WorkerSlot, const std::string& TableName) {
  std::int64_t processed = 0;
  std::int64_t source_count = 0;
  const bool slot_one = WorkerSlot == 1;
  const bool identity_table = IsOneOf(TableName, {"tVX_SysUpgradeTimeLog", "tVX_SysConstraintErrLog"});

  try {
    dac::OraSession& session = MultiThreadRun ? *OracleSessions[WorkerSlot] : orasORA;
    dac::MSConnection& connection = MultiThreadRun ? *SqlServerConnections[WorkerSlot] : mscSQL;

    auto source = std::make_unique<dac::OraQuery>();
    SetUpSourceQuery(*source, session);
    source->SetFetchRows(kSourceFetchRows);
    source->SetUniDirectional(true);

    // The ERP's register tables hold the customer's own rows (acUserDef = 'T')
    // beside the ones the ERP installs itself; only the customer's move.
    std::string source_sql = "select * from " + TableName;
    bool copy = true;
    if (IsOneOf(TableName, {"tVX_SysTables", "tVX_SysTableStr", "tVX_SysRef", "tVX_SysIndex"})) {
      source->SQL = "select * from " + TableName + " where 1=2";
      source->Open();
      copy = source->FindField("acUserDef") != nullptr;
      source->Close();
      source_sql = "select * from " + TableName + " where acUserDef = 'T' ";
    } else if (platform::SameText(TableName, "tVX_Reports")) {
      source_sql = "select * from " + TableName + " where ACREPORT > 'A' ";
    }

    if (copy) {
      source->SQL = source_sql;
      source->Open();
      source_count = source->RecordCount();
      if (slot_one) {
        DetailTotal = source_count;
        DetailDone = 0;
      }

      auto target = std::make_unique<dac::MSQuery>();
      SetUpTargetQuery(*target, connection);
      target->SetCachedUpdates(true);
      target->Options.QuoteNames = true;
      bool identity_on = false;
      {
        platform::ScopeGuard identity_off([&]() noexcept {
          if (!identity_on) return;
          // Only after an error: the table's own entry is on its way, and a
          // failure here adds nothing to it.
          try {
            target->SQL = "set identity_insert [dbo].[" + TableName + "] off ";
            target->Execute();
          } catch (const std::exception&) {
          }
        });

        target->SQL = "delete from " + TableName;
        target->Execute();
        if (identity_table) {
          target->SQL = "set identity_insert [dbo].[" + TableName + "] on";
          target->Execute();
          identity_on = true;
        }
        target->SQL = "select * from " + TableName + " where 1=2";
        target->Open();

        // For each target field, the source field of the same name (or -1).
        std::vector<int> field_map;
        for (; !source->Eof(); source->Next()) {
          try {
            target->Insert();
            if (field_map.empty()) {
              field_map.assign(static_cast<std::size_t>(target->FieldCount()), -1);
              for (int i = 0; i < target->FieldCount(); ++i) {
                if (const dac::Field* f = source->FindField(target->Fields(i).FieldName)) field_map[i] = f->Index();
              }
            }
            for (int i = 0; i < target->FieldCount(); ++i) {
              if (field_map[i] < 0) continue;
              dac::Field& field = target->Fields(i);
              try {
                field.SetValue(copy::ApplyFieldRules(field.DataType(), source->Fields(field_map[i]).Value()));
              } catch (const std::exception& e) {
                WriteLog(false,
                         TableName + "." + field.FieldName + " Copied " + " " + std::to_string(processed) + " of " +
                             std::to_string(source_count) + " records",
                         std::string(e.what()) + "\r\n");
              }
            }
            target->Post();
          } catch (const std::exception&) {
            // A refused post is logged by msqQueryPostError; the row is dropped.
            target->Cancel();
          }
          ++processed;
          if (slot_one && processed % kProgressRows == 0) DetailDone = processed;
          if (processed % kBatchRows == 0) {
            target->ApplyUpdates();
            target->Close();
            target->Open();
          }
        }
        target->ApplyUpdates();
        target->Close();
        if (identity_on) {
          target->SQL = "set identity_insert [dbo].[" + TableName + "] off ";
          target->Execute();
          identity_on = false;
        }
      }
      source->Close();
    }
  } catch (const std::exception& e) {
    WriteLog(false,
             TableName + " Copied " + " " + std::to_string(processed) + " of " + std::to_string(source_count) +
                 " records",
             std::string(e.what()) + "\r\n");
  }
  if (slot_one) DetailDone = processed;
  WorkerBusy[WorkerSlot] = false;
  ++TablesDone;
}

}  // namespace app
