#include "dac/text_lines.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace dac {

TextLines& TextLines::operator=(const TextLines& other) {
  if (this != &other) {
    lines_ = other.lines_;
    Changed();
  }
  return *this;
}

TextLines& TextLines::operator=(std::string_view text) {
  SetText(text);
  return *this;
}

std::string TextLines::Text() const {
  std::string out;
  for (const auto& line : lines_) {
    out += line;
    out += "\r\n";
  }
  return out;
}

void TextLines::SetText(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  lines_ = std::move(lines);
  Changed();
}

void TextLines::Add(std::string line) {
  lines_.push_back(std::move(line));
  Changed();
}

void TextLines::Clear() {
  lines_.clear();
  Changed();
}

void TextLines::LoadFromFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open file \"" + path.string() + "\"");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("Cannot read file \"" + path.string() + "\"");
  // A UTF-8 byte order mark is not part of the first statement.
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  SetText(text);
}

void TextLines::Changed() {
  if (on_change_) on_change_();
}

}  // namespace dac
