#include "platform/stream.h"

#include <array>

namespace platform {

std::int64_t Stream::Size() {
  const std::int64_t position = Seek(0, SeekOrigin::kCurrent);
  const std::int64_t size = Seek(0, SeekOrigin::kEnd);
  Seek(position, SeekOrigin::kBeginning);
  return size;
}

std::int64_t Stream::CopyFrom(Stream& source) {
  std::array<std::uint8_t, 64 * 1024> chunk;
  std::int64_t copied = 0;
  for (;;) {
    const std::size_t got = source.Read(chunk.data(), chunk.size());
    if (got == 0) break;
    const std::size_t put = Write(chunk.data(), got);
    copied += static_cast<std::int64_t>(put);
    if (put != got) break;
  }
  return copied;
}

}  // namespace platform
