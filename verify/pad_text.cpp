#include "verify/pad_text.h"

#include "platform/text.h"

namespace app {

std::string PadText(std::string_view text, char pad, int width, bool left) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
  std::string out(text.substr(b, e - b));
  const auto length = static_cast<int>(platform::CharLength(out));
  if (width > length) {
    const std::string padding(static_cast<std::size_t>(width - length), pad);
    out = left ? padding + out : out + padding;
  }
  return out + " ";
}

}  // namespace app
