#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

struct IniText {
  std::vector<std::string> lines;
  bool crlf = false;
  bool bom = false;
  bool exists = false;
};

constexpr std::string_view kBom = "\xEF\xBB\xBF";

IniText Load(const std::filesystem::path& file) {
  IniText text;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
      throw std::runtime_error("Cannot read the settings file \"" + file.string() + "\"");
    }
    return text;
  }
  text.exists = true;
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string all = buffer.str();
  if (all.starts_with(kBom)) {
    text.bom = true;
    all.erase(0, kBom.size());
  }
  text.crlf = all.find("\r\n") != std::string::npos;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    text.lines.push_back(std::move(line));
    start = end + 1;
  }
  return text;
}

std::optional<std::string> SectionName(const std::string& line) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const std::size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return Trim(std::string_view(t).substr(1, close - 1));
}

bool IsComment(const std::string& line) {
  const std::string t = Trim(line);
  return t.starts_with(';') || t.starts_with('#');
}

// Splits "key = value"; nothing for lines that carry no key.
std::optional<std::pair<std::string, std::string>> KeyLine(const std::string& line) {
  if (IsComment(line)) return std::nullopt;
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  std::string key = Trim(std::string_view(line).substr(0, eq));
  if (key.empty()) return std::nullopt;
  return std::make_pair(std::move(key), Trim(std::string_view(line).substr(eq + 1)));
}

// Line range [begin, end) of the first section with this name, after its header.
std::optional<std::pair<std::size_t, std::size_t>> FindSection(const IniText& text, std::string_view section) {
  for (std::size_t i = 0; i < text.lines.size(); ++i) {
    const auto name = SectionName(text.lines[i]);
    if (!name || !SameText(*name, section)) continue;
    std::size_t end = i + 1;
    while (end < text.lines.size() && !SectionName(text.lines[end])) ++end;
    return std::make_pair(i + 1, end);
  }
  return std::nullopt;
}

void Save(const std::filesystem::path& file, const IniText& text) {
  std::string all;
  if (text.bom) all += kBom;
  const char* eol = text.crlf ? "\r\n" : "\n";
  for (const auto& line : text.lines) {
    all += line;
    all += eol;
  }

  // Write beside the target and rename over it, so a failed write never leaves
  // a half-written settings file. The file holds passwords: new files are private.
  mode_t mode = S_IRUSR | S_IWUSR;
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0) mode = st.st_mode & 07777;
  const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(tmpl.data());
  auto fail = [&](const char* what) {
    const std::string reason = std::strerror(errno);
    throw std::runtime_error(std::string("Cannot write the settings file \"") + file.string() + "\": " + what + ": " + reason);
  };
  if (fd < 0) fail("create");
  std::size_t done = 0;
  while (done < all.size()) {
    const ssize_t n = ::write(fd, all.data() + done, all.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int saved = errno;
      ::close(fd);
      ::unlink(tmpl.c_str());
      errno = saved;
      fail("write");
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0 || ::close(fd) != 0) {
    const int saved = errno;
    ::unlink(tmpl.c_str());
    errno = saved;
    fail("flush");
  }
  if (::rename(tmpl.c_str(), file.c_str()) != 0) {
    const int saved = errno;
    ::unlink(tmpl.c_str());
    errno = saved;
    fail("replace");
  }
}

}  // namespace

IniFile::IniFile(std::filesystem::path file_name) : file_name_(std::move(file_name)) {}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
  const IniText text = Load(file_name_);
  const auto range = FindSection(text, section);
  if (!range) return std::nullopt;
  for (std::size_t i = range->first; i < range->second; ++i) {
    const auto kv = KeyLine(text.lines[i]);
    if (kv && SameText(kv->first, key)) return kv->second;
  }
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view default_value) const {
  auto v = Find(section, key);
  return v ? *v : std::string(default_value);
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int default_value) const {
  const auto v = Find(section, key);
  int result = default_value;
  if (v && TryParseInt(*v, result)) return result;
  return default_value;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  IniText text = Load(file_name_);
  std::string line = std::string(key) + "=" + std::string(value);
  if (const auto range = FindSection(text, section)) {
    std::size_t insert_at = range->first;
    for (std::size_t i = range->first; i < range->second; ++i) {
      const auto kv = KeyLine(text.lines[i]);
      if (kv && SameText(kv->first, key)) {
        text.lines[i] = std::move(line);
        Save(file_name_, text);
        return;
      }
      if (!Trim(text.lines[i]).empty()) insert_at = i + 1;
    }
    text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(insert_at), std::move(line));
  } else {
    if (!text.lines.empty() && !Trim(text.lines.back()).empty()) text.lines.emplace_back();
    text.lines.push_back("[" + std::string(section) + "]");
    text.lines.push_back(std::move(line));
  }
  Save(file_name_, text);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

}  // namespace platform
