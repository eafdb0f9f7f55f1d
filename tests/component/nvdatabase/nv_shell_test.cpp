#include "component/nvdatabase/nv_shell.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <string>

#include "tests/support/temp_dir.h"

namespace nvdatabase {
namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr uid_t kNobody = 65534;

// Runs `probe` as a user that folder permissions apply to. Root ignores them,
// and test machines often run as root, so there a child process gives up its
// privileges first. Nothing when the probe could not be run at all.
std::optional<bool> RunUnprivileged(const std::function<bool()>& probe) {
  if (::geteuid() != 0) return probe();
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
    ::_exit(probe() ? 0 : 1);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1) return std::nullopt;
  return WEXITSTATUS(status) == 0;
}

fs::perms PermsOf(const fs::path& p) { return fs::status(p).permissions(); }

// A folder whose content an unprivileged user may read but not change. It must
// be reachable by that user, so the test's own folder is opened up to others.
class LockedFolder {
 public:
  explicit LockedFolder(const TempDir& dir) : path_(dir / "locked") {
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(path_);
  }
  ~LockedFolder() { fs::permissions(path_, fs::perms::owner_all); }
  void Lock() { fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(TcShellTest, ForceDeleteFileOnMissingPathIsTrue) {
  TempDir dir;
  EXPECT_TRUE(TcShell::ForceDeleteFile((dir / "absent").string()));
  EXPECT_TRUE(TcShell::ForceDeleteFile((dir / "absent" / "deeper").string()));
}

TEST(TcShellTest, ForceDeleteFileRemovesReadOnlyFile) {
  TempDir dir;
  const fs::path file = dir / "read-only.txt";
  WriteFile(file, "x");
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  EXPECT_TRUE(TcShell::ForceDeleteFile(file.string()));
  EXPECT_FALSE(fs::exists(file));
}

TEST(TcShellTest, ForceDeleteFileLeavesUndeletableFileAsItWas) {
  TempDir dir;
  LockedFolder folder(dir);
  const fs::path file = folder.path() / "kept.txt";
  WriteFile(file, "x");
  const fs::perms read_only = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  fs::permissions(file, read_only);
  folder.Lock();

  EXPECT_EQ(RunUnprivileged([&] { return TcShell::ForceDeleteFile(file.string()); }), std::optional(false));
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(PermsOf(file), read_only);
}

TEST(TcShellTest, ForceDeleteFileDoesNotTakeFolders) {
  TempDir dir;
  fs::create_directory(dir / "sub");
  EXPECT_FALSE(TcShell::ForceDeleteFile((dir / "sub").string()));
  EXPECT_TRUE(fs::is_directory(dir / "sub"));
}

TEST(TcShellTest, IsDirWritable) {
  TempDir dir;
  EXPECT_FALSE(TcShell::IsDirWritable((dir / "absent").string()));
  EXPECT_FALSE(TcShell::IsDirWritable(""));
  WriteFile(dir / "plain-file", "x");
  EXPECT_FALSE(TcShell::IsDirWritable((dir / "plain-file").string()));

  EXPECT_TRUE(TcShell::IsDirWritable(dir.path().string()));
  EXPECT_TRUE(TcShell::IsDirWritable(dir.path().string() + "/"));
  std::set<fs::path> left;
  for (const auto& entry : fs::directory_iterator(dir.path())) left.insert(entry.path().filename());
  EXPECT_EQ(left, std::set<fs::path>{"plain-file"});
}

TEST(TcShellTest, IsDirWritableOnReadOnlyFolderIsFalse) {
  TempDir dir;
  LockedFolder folder(dir);
  folder.Lock();
  EXPECT_EQ(RunUnprivileged([&] { return TcShell::IsDirWritable(folder.path().string()); }), std::optional(false));
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(TcShellTest, MakeTempFileNameCreatesEmptyFilesUnderNewNames) {
  TempDir dir;
  const std::regex shape(R"(nvt[0-9A-F]{4}\.TMP)");
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    const std::string path = TcShell::MakeTempFileName("nvtest", dir.path().string());
    ASSERT_FALSE(path.empty());
    const fs::path p(path);
    EXPECT_EQ(p.parent_path(), dir.path());
    EXPECT_TRUE(std::regex_match(p.filename().string(), shape)) << path;
    EXPECT_EQ(fs::file_size(p), 0u);
    names.insert(path);
  }
  EXPECT_EQ(names.size(), 50u);
}

TEST(TcShellTest, MakeTempFileNamePrefix) {
  TempDir dir;
  const struct {
    std::string prefix;
    std::string stem;
  } cases[] = {{"ab", "ab"}, {"", ""}, {"ČŽŠđ", "ČŽŠ"}};
  for (const auto& c : cases) {
    const fs::path p = TcShell::MakeTempFileName(c.prefix, dir.path().string());
    const std::string name = p.filename().string();
    EXPECT_EQ(name.substr(0, c.stem.size()), c.stem) << name;
    EXPECT_EQ(name.size(), c.stem.size() + 4 + 4) << name;
  }
  EXPECT_EQ(TcShell::MakeTempFileName("a/b", dir.path().string()), "");
}

TEST(TcShellTest, MakeTempFileNameInMissingFolderIsEmpty) {
  TempDir dir;
  EXPECT_EQ(TcShell::MakeTempFileName("nvt", (dir / "absent").string()), "");
}

// Restores an environment variable when the test ends.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(TcShellTest, TempFilesGoToTheSystemTempFolder) {
  TempDir dir;
  ScopedEnv tmpdir("TMPDIR", dir.path().string());
  EXPECT_EQ(TcShell::GetTempDir(), dir.path().string() + "/");

  const fs::path p = TcShell::MakeTempFileName("nvt", "");
  EXPECT_EQ(p.parent_path(), dir.path());
  EXPECT_TRUE(fs::exists(p));
}

TEST(LoadedLibrariesTest, ReleasingAModuleUnloadsIt) {
  EXPECT_TRUE(LoadedLibraries().empty());

  // A library this program does not link, so that only our handle keeps it.
  const char* kName = "libanl.so.1";
  ASSERT_EQ(::dlopen(kName, RTLD_LAZY | RTLD_NOLOAD), nullptr) << kName << " is already loaded";
  {
    std::vector<LoadedLibrary> libraries;
    libraries.push_back({kName, LibraryModule::Load(kName)});
    EXPECT_NE(libraries.front().module.Handle(), nullptr);
    void* again = ::dlopen(kName, RTLD_LAZY | RTLD_NOLOAD);
    EXPECT_NE(again, nullptr);
    if (again) ::dlclose(again);
  }
  EXPECT_EQ(::dlopen(kName, RTLD_LAZY | RTLD_NOLOAD), nullptr);

  EXPECT_THROW(LibraryModule::Load("libnot-a-library-of-ours.so"), std::runtime_error);
}

}  // namespace
}  // namespace nvdatabase
