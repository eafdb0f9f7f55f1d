// A settings file in the INI format, with the behaviour of the Windows profile
// functions that settings files of this kind were written for:
// - sections and keys are found without regard to case, the first one wins;
// - values are trimmed; a present empty value is an empty string;
// - integers are decimal or hexadecimal after "0x"; Booleans are integers and
//   any value other than 0 is true; a non-integer leaves the default;
// - writing keeps every other line, comment and key order of the file, and
//   creates the file, the section or the key as needed.
// Every call reads the file afresh and every write goes to disk at once (as the
// profile functions do), so edits made by hand meanwhile are kept. Writes replace
// the file atomically. Not for concurrent use on one file from several threads.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class IniFile {
 public:
  explicit IniFile(std::filesystem::path file_name);

  const std::filesystem::path& FileName() const { return file_name_; }

  // The value of a key, or nothing when the file, section or key is absent.
  // Throws std::runtime_error when the file exists but cannot be read.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key, std::string_view default_value) const;
  int ReadInteger(std::string_view section, std::string_view key, int default_value) const;
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;

  // Throw std::runtime_error when the file cannot be written; the file on disk is
  // then left as it was.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

 private:
  std::filesystem::path file_name_;
};

}  // namespace platform
