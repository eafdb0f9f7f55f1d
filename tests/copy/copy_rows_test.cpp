#include <gtest/gtest.h>

#include <map>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "tests/copy/copy_run.h"

namespace app {
namespace {

using copy_testing::CopyRun;
using copy_testing::Inserts;
using copy_testing::kBareSource;

// Records which slot copies which table on which thread, and can hold a table
// in its slot until the test lets it go.
class RecordingForm : public TfMain {
 public:
  using TfMain::TfMain;
  struct Call {
    int slot;
    std::string table;
    std::thread::id thread;
  };

  void CopyTable(int WorkerSlot, const std::string& TableName) override {
    {
      std::unique_lock lock(mutex_);
      calls_.push_back({WorkerSlot, TableName, std::this_thread::get_id()});
      released_.wait(lock, [&] { return !hold_ || let_go_.count(TableName) || let_all_go_; });
    }
    TfMain::CopyTable(WorkerSlot, TableName);
  }

  std::vector<Call> Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void Hold() { hold_ = true; }
  void LetGo(const std::string& table) {
    std::lock_guard lock(mutex_);
    let_go_.insert(table);
    released_.notify_all();
  }
  void LetAllGo() {
    std::lock_guard lock(mutex_);
    let_all_go_ = true;
    released_.notify_all();
  }

  // An owner other than the source's schema lists no table at all.
  std::string list_owner;

 protected:
  void CopyRows() override {
    if (list_owner.empty()) return TfMain::CopyRows();
    const std::string owner = eORADatabaseName.text;
    eORADatabaseName.text = list_owner;
    TfMain::CopyRows();
    eORADatabaseName.text = owner;
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  std::vector<Call> calls_;
  bool hold_ = false;
  std::set<std::string> let_go_;
  bool let_all_go_ = false;
};

// Nine tables whose statistics put them in the order T1 ... T6, then the
// column dictionary, the parameter table and the table register.
std::string NineTables() {
  std::string source = kBareSource;
  for (int t = 1; t <= 6; ++t) {
    const std::string name = "T" + std::to_string(t);
    source += "CREATE TABLE " + name + " (anId NUMBER(10));\n";
    source += Inserts(name, 10 * (8 - t), [](int i) { return std::to_string(i); });
    source += "ANALYZE TABLE " + name + " COMPUTE STATISTICS;\n";
  }
  source += "INSERT INTO tVX_SysTableStr VALUES ('T1', 'ANID', 1);\nINSERT INTO tVX_SysTableStr VALUES ('T2', 'ANID', 1);\n";
  for (const char* t : {"tVX_SysParamSys", "tVX_SysTableStr", "tVX_SysTables"}) {
    source += std::string("ANALYZE TABLE ") + t + " COMPUTE STATISTICS;\n";
  }
  return source;
}
const std::vector<std::string> kListOrder = {"T1", "T2", "T3", "T4", "T5", "T6", "TVX_SYSTABLESTR", "TVX_SYSPARAMSYS", "TVX_SYSTABLES"};

TEST(CopyRows, SevenSlotsInListOrderThenTheLowestFreeSlot) {
  CopyRun<RecordingForm> r(NineTables());
  r.form.Hold();
  bool let_third_go = false;
  // Runs on the window's thread while it waits for a free slot.
  r.host.on_repaint = [&] {
    const auto calls = r.form.Calls();
    if (calls.size() == 7 && !let_third_go) {
      let_third_go = true;
      // Workers start in any order; the one to let go is the one on slot 3.
      for (const auto& c : calls) {
        if (c.slot == 3) r.form.LetGo(c.table);
      }
    }
    if (calls.size() >= 8) r.form.LetAllGo();
  };
  r.CreateAndCopy(/*multi_thread=*/true);

  const auto calls = r.form.Calls();
  ASSERT_EQ(calls.size(), 9u);
  std::map<std::string, int> slot_of;
  for (const auto& c : calls) {
    slot_of[c.table] = c.slot;
    EXPECT_NE(c.thread, std::this_thread::get_id());
  }
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(slot_of[kListOrder[i]], static_cast<int>(i) + 1) << kListOrder[i];
  EXPECT_EQ(slot_of[kListOrder[7]], 3) << "slot 3 was the only one let go";
  EXPECT_EQ(r.form.TablesDone, 9);
  EXPECT_FALSE(r.form.AnyWorkerBusy());
  for (int t = 1; t <= 6; ++t) EXPECT_EQ(r.Count("T" + std::to_string(t)), 10 * (8 - t));
  EXPECT_TRUE(r.form.cbMigrateTablesCopyRowsDone.checked);
  EXPECT_EQ(r.form.sb.panels[1].text, "9 / 9");
}

TEST(CopyRows, SingleThreadCopiesOnTheWindowsThreadInListOrder) {
  CopyRun<RecordingForm> r(NineTables());
  r.CreateAndCopy(/*multi_thread=*/false);
  const auto calls = r.form.Calls();
  std::vector<std::string> tables;
  for (const auto& c : calls) {
    tables.push_back(c.table);
    EXPECT_EQ(c.slot, 1);
    EXPECT_EQ(c.thread, std::this_thread::get_id());
  }
  EXPECT_EQ(tables, kListOrder);
  EXPECT_EQ(r.form.TablesDone, 9);
  for (int t = 1; t <= 6; ++t) EXPECT_EQ(r.Count("T" + std::to_string(t)), 10 * (8 - t));
}

TEST(CopyRows, EmptyListStillWritesBothLinesAndTicksDone) {
  for (bool multi_thread : {false, true}) {
    CopyRun<RecordingForm> r(std::string(kBareSource) + "CREATE USER EMPTYONE IDENTIFIED BY e;\n");
    r.form.list_owner = "EMPTYONE";
    r.CreateAndCopy(multi_thread);
    EXPECT_TRUE(r.form.Calls().empty());
    EXPECT_TRUE(r.LogHas("Copy Rows Start at: "));
    EXPECT_TRUE(r.LogHas("Copy Rows Finish at: "));
    EXPECT_TRUE(r.form.cbMigrateTablesCopyRowsDone.checked);
    EXPECT_EQ(r.form.sb.panels[1].text, "0 / 0");
    EXPECT_EQ(r.form.pb.position, r.form.pb.max);
  }
}

TEST(CopyRows, AWorkerWithoutAConnectionFailsItsOwnTablesOnly) {
  // The SQL Server connects of a run, learnt from a run that refuses none.
  int connects = 0;
  {
    CopyRun r(NineTables());
    r.CreateAndCopy(/*multi_thread=*/true);
    connects = r.journal->sqlserver_connects;
  }
  // The workers' connects are the run's last seven, slot 1 first: refuse slot 2's.
  CopyRun<RecordingForm> r(NineTables());
  r.journal->refuse_connect = connects - 5;
  r.form.Hold();
  r.host.on_repaint = [&] {
    // Two tables at a time, so that slot 2 gets exactly one.
    const auto calls = r.form.Calls();
    if (calls.size() >= 2) r.form.LetAllGo();
  };
  r.CreateAndCopy(/*multi_thread=*/true);

  EXPECT_TRUE(r.LogHas("MS SQL connection failed (Thread 2")) << ::testing::PrintToString(r.Log());
  std::set<std::string> on_slot_two;
  for (const auto& c : r.form.Calls()) {
    if (c.slot == 2) on_slot_two.insert(c.table);
  }
  ASSERT_FALSE(on_slot_two.empty());
  for (const auto& table : kListOrder) {
    const bool failed = on_slot_two.count(table) > 0;
    // Each table handed to slot 2 reports its own failure under its own name.
    EXPECT_EQ(r.LogHas(table + " Copied  0 of "), failed) << table;
  }
  for (int t = 1; t <= 6; ++t) {
    const std::string table = "T" + std::to_string(t);
    if (!on_slot_two.count(table)) {
      EXPECT_EQ(r.Count(table), 10 * (8 - t)) << table;
    }
  }
  EXPECT_EQ(r.form.TablesDone, 9);
  EXPECT_TRUE(r.form.cbMigrateTablesCopyRowsDone.checked);
}

}  // namespace
}  // namespace app
