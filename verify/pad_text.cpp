#include "verify/pad_text.h"

#include "platform/text.h"

namespace app {

std::string PadText(std::string_view text, char pad, int width, bool left) {
  std::string out = platform::TrimControls(text);
  const auto length = static_cast<int>(platform::CharLength(out));
  if (width > length) {
    const std::string padding(static_cast<std::size_t>(width - length), pad);
    out = left ? padding + out : out + padding;
  }
  return out + " ";
}

}  // namespace app
