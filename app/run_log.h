// The run log: one text file per run, written entry by entry.
//
// An entry is (Banner, Caption, Text) written as:
//   "=====================" when Banner
//   Caption                 when Caption is not empty
//   "---------------------" when Banner and Caption is not empty
//   Text                    always, also when empty
//   "=====================" when Banner
// each line ended by CR LF. An entry whose Caption and Text, joined, equal the
// last entry written is dropped; the remembered entry survives Close and Open,
// so the rule spans runs.
//
// Thread-safe: the copy workers write while the window's thread does. One entry
// (duplicate test, lines, remembered entry, flush) is one unit under the mutex.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace app {

class RunLog {
 public:
  RunLog() = default;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Creates the file or truncates an existing one.
  // Throws std::runtime_error when it cannot be created.
  void Open(const std::filesystem::path& file_name);
  void Close() noexcept;
  bool IsOpen() const;

  // Appends one entry and hands it to the operating system before returning.
  // Throws std::runtime_error when a line cannot be written, and
  // std::logic_error when the log is not open.
  void Write(bool banner, std::string_view caption, std::string_view text);

  std::string LastLogEntry() const;

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
  };

  mutable std::mutex mutex_;
  // Guarded by mutex_.
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::filesystem::path file_name_;
  std::string last_log_entry_;
};

}  // namespace app
