// The lines of a SQL text as the components hold them (a query's SQL, a
// script, the statement texts of a dataset): an ordered list of lines whose
// Text() ends every line with CR LF, the way the texts are written into the
// run log and shown to people.
// A TextLines may carry a change callback: its owner (a dataset) closes
// itself or re-reads its parameters when the text changes.
// Used by one thread at a time.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dac {

class TextLines {
 public:
  TextLines() = default;
  TextLines(std::initializer_list<std::string> lines) : lines_(lines) {}
  // Copies the lines, not the change callback: a copy belongs to nobody yet.
  TextLines(const TextLines& other) : lines_(other.lines_) {}
  TextLines& operator=(const TextLines& other);
  // Assigning a plain text splits it into lines (SetText).
  TextLines& operator=(std::string_view text);

  std::size_t Count() const { return lines_.size(); }
  bool Empty() const { return lines_.empty(); }
  const std::string& operator[](std::size_t i) const { return lines_.at(i); }
  const std::vector<std::string>& Lines() const { return lines_; }

  // Every line followed by CR LF; "" when there are no lines.
  std::string Text() const;
  // Splits at CR LF, LF or CR. A final line break adds no empty line.
  void SetText(std::string_view text);
  void Add(std::string line);
  void Clear();
  // Reads a text file. Throws std::runtime_error naming the file when it
  // cannot be read.
  void LoadFromFile(const std::filesystem::path& path);

  // Called after every change of the lines.
  void SetOnChange(std::function<void()> on_change) { on_change_ = std::move(on_change); }

  friend bool operator==(const TextLines& a, const TextLines& b) { return a.lines_ == b.lines_; }

 private:
  void Changed();

  std::vector<std::string> lines_;
  std::function<void()> on_change_;
};

}  // namespace dac
