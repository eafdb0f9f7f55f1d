// A folder of its own for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "migrator-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The lines of a run log (CR LF ended), without their line ends.
inline std::vector<std::string> LogLines(const std::filesystem::path& p) {
  const std::string all = ReadFile(p);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < all.size();) {
    std::size_t end = all.find("\r\n", start);
    if (end == std::string::npos) end = all.size();
    lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

inline bool AnyLineHas(const std::vector<std::string>& lines, const std::string& text) {
  for (const auto& line : lines) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

// Run log lines with every time stamp as "<time>", for comparing whole logs.
inline std::vector<std::string> WithTimesMasked(std::vector<std::string> lines) {
  static const std::regex stamp(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)");
  for (auto& line : lines) line = std::regex_replace(line, stamp, "<time>");
  return lines;
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

}  // namespace testing_support
