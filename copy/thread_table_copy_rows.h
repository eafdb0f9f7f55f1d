// A worker of the multi-threaded row copy: copies one table on its worker slot
// on a thread of its own, started at construction. The object joins its thread
// when destroyed; CopyRows owns the workers and destroys them before the
// worker connections close.
#pragma once

#include <string>
#include <thread>

namespace app {

class TfMain;

class TThreadTableCopyRows {
 public:
  TThreadTableCopyRows(TfMain& form, int worker_slot, std::string table_name);
  ~TThreadTableCopyRows();
  TThreadTableCopyRows(const TThreadTableCopyRows&) = delete;
  TThreadTableCopyRows& operator=(const TThreadTableCopyRows&) = delete;

 private:
  void Execute();

  TfMain& form_;
  int worker_slot_;
  std::string table_name_;
  std::thread thread_;  // last: starts once the fields above are set
};

}  // namespace app
