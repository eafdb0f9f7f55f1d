// The window's controls as plain model objects. Each holds what a person sees;
// the steps write these fields and then let the host repaint
// (UiHost::ProcessMessages). Only the window's thread touches them.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace app {

struct TextEdit {
  std::string name;
  std::string label;
  std::string text;
  bool masked = false;  // echoes "*" for each character
  bool enabled = true;
  bool visible = true;
};

struct CheckBox {
  std::string name;
  std::string caption;
  bool checked = false;
  bool read_only = false;  // the "Done" and "Open" marks: not changed or tabbed to by a person
  bool enabled = true;
  bool visible = true;
};

struct RadioGroup {
  std::string name;
  std::string caption;
  std::vector<std::string> items;
  int item_index = 0;
  bool enabled = true;
};

struct GroupBox {
  std::string name;
  std::string caption;
};

struct Button {
  std::string name;
  std::string caption;
  bool enabled = true;
};

struct Label {
  std::string name;
  std::string caption;
};

struct ProgressBar {
  std::string name;
  int min = 0;
  int max = 100;
  int position = 0;
  bool visible = true;
};

enum class PanelKind { kText, kContainer };

struct StatusPanel {
  PanelKind kind = PanelKind::kText;
  int width = 0;  // 0 for the last panel: the rest of the bar
  std::string text;
  bool visible = true;
};

// Panels: 0 running step, 1 and 2 step-specific texts, 3 holds `pb`, 4 holds `pbDet`.
struct StatusBar {
  std::string name;
  std::array<StatusPanel, 5> panels;
  bool visible = true;
};

}  // namespace app
