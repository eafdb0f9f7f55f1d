#include "copy/thread_table_copy_rows.h"

#include <exception>

#include "app/tf_main.h"

namespace app {

TThreadTableCopyRows::TThreadTableCopyRows(TfMain& form, int worker_slot, std::string table_name)
    : form_(form), worker_slot_(worker_slot), table_name_(std::move(table_name)), thread_([this] { Execute(); }) {}

TThreadTableCopyRows::~TThreadTableCopyRows() {
  if (thread_.joinable()) thread_.join();
}

void TThreadTableCopyRows::Execute() {
  try {
    form_.CopyTable(worker_slot_, table_name_);
  } catch (const std::exception& e) {
    // Nothing may leave a thread; when even the log fails there is nowhere left to tell.
    try {
      form_.WriteLog(false, "TThreadTableCopyRows.Execute", std::string(e.what()) + "\r\n");
    } catch (...) {
    }
  }
}

}  // namespace app
