#include "component/nvdatabase/nv_shell.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace nvdatabase {
namespace {

constexpr std::string_view kTempExtension = ".TMP";
constexpr std::size_t kTempPrefixChars = 3;
// The unique number is 16 bits wide, as temporary names of this form have
// always been; a folder holding all 65536 names is full for this prefix.
constexpr unsigned kUniqueNumbers = 0x10000;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

// The first `chars` UTF-8 characters of `text`.
std::string_view FirstChars(std::string_view text, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation && seen++ == chars) return text.substr(0, i);
  }
  return text;
}

}  // namespace

bool TcShell::ForceDeleteFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR;
  if (S_ISDIR(st.st_mode)) return false;
  // The file's own permissions do not stand in the way of unlink (the folder's
  // do), so a read-only file goes without touching them, and a file that
  // cannot go keeps them unchanged.
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool TcShell::IsDirWritable(const std::string& folder) {
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return false;
  const std::string probe = MakeTempFileName("nvt", folder);
  if (probe.empty()) return false;
  ForceDeleteFile(probe);
  return true;
}

std::string TcShell::MakeTempFileName(std::string_view prefix, const std::string& folder) {
  std::string dir = folder.empty() ? GetTempDir() : folder;
  if (dir.back() != '/') dir += '/';
  const std::string_view stem = FirstChars(prefix, kTempPrefixChars);
  // The name must land in `dir` itself.
  if (stem.find('/') != std::string_view::npos) return {};

  const unsigned start = std::random_device{}() % kUniqueNumbers;
  for (unsigned i = 0; i < kUniqueNumbers; ++i) {
    char unique[8];
    std::snprintf(unique, sizeof unique, "%04X", (start + i) % kUniqueNumbers);
    std::string path = dir;
    path.append(stem).append(unique).append(kTempExtension);
    // O_EXCL makes taking the name and creating the file one step.
    const FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.valid()) return path;
    if (errno != EEXIST) return {};
  }
  return {};
}

std::string TcShell::GetTempDir() {
  std::error_code ec;
  std::string dir = std::filesystem::temp_directory_path(ec).string();
  if (ec || dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

LibraryModule LibraryModule::Load(const std::string& file_name) {
  void* handle = ::dlopen(file_name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = ::dlerror();
    throw std::runtime_error("Cannot load library \"" + file_name + "\": " + (why ? why : "unknown error"));
  }
  return LibraryModule(handle);
}

LibraryModule::LibraryModule(LibraryModule&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

LibraryModule& LibraryModule::operator=(LibraryModule&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void LibraryModule::Release() noexcept {
  if (handle_) ::dlclose(std::exchange(handle_, nullptr));
}

std::vector<LoadedLibrary>& LoadedLibraries() {
  static std::vector<LoadedLibrary> libraries;
  return libraries;
}

}  // namespace nvdatabase
