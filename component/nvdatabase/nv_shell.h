// TcShell: file and temporary-file helpers of the data-access library, and
// LoadedLibraries, the process-wide list of library modules loaded by name.
//
// TcShell is a class of static operations that keep no state; they may be
// called from any thread. Paths are UTF-8 texts. LoadedLibraries is touched
// only at start-up and shut-down, on the main thread: at exit every module it
// still holds is released, then the list goes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nvdatabase {

class TcShell {
 public:
  TcShell() = delete;

  // Deletes the file at `path`, whatever its permissions. True when no file is
  // left there (also when there was none); false when it could not be deleted,
  // the file then being left exactly as it was, or when `path` is a folder.
  static bool ForceDeleteFile(const std::string& path);

  // True when `folder` exists and a file can be created in it; the probe file
  // is removed again.
  static bool IsDirWritable(const std::string& folder);

  // Creates a new empty file in `folder` (the temporary folder when empty),
  // named after the first three characters of `prefix`, a hexadecimal number
  // and ".TMP"; the name is taken atomically, so no two callers get the same
  // file. Returns its path, or an empty text when no file could be created.
  static std::string MakeTempFileName(std::string_view prefix, const std::string& folder);

  // The system's temporary folder ($TMPDIR, else /tmp), ending with "/".
  static std::string GetTempDir();
};

// A loaded library module, released when its owner goes. Move-only.
class LibraryModule {
 public:
  LibraryModule() = default;
  // Loads `file_name` as the dynamic loader finds it; throws std::runtime_error
  // with the loader's message when it cannot.
  static LibraryModule Load(const std::string& file_name);

  LibraryModule(LibraryModule&& other) noexcept;
  LibraryModule& operator=(LibraryModule&& other) noexcept;
  LibraryModule(const LibraryModule&) = delete;
  LibraryModule& operator=(const LibraryModule&) = delete;
  ~LibraryModule() { Release(); }

  void* Handle() const { return handle_; }
  // Releases the module and clears the handle; nothing happens when empty.
  void Release() noexcept;

 private:
  explicit LibraryModule(void* handle) : handle_(handle) {}
  void* handle_ = nullptr;
};

struct LoadedLibrary {
  std::string name;
  LibraryModule module;
};

// The process-wide list, empty until something adds to it. Its entries'
// modules are released when the list is destroyed at program exit.
std::vector<LoadedLibrary>& LoadedLibraries();

}  // namespace nvdatabase
