#include "platform/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace platform {

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
  const auto size = static_cast<std::int64_t>(bytes_.size());
  if (position_ >= size || count == 0) return 0;
  const std::size_t n = std::min(count, static_cast<std::size_t>(size - position_));
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

std::size_t MemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (count > static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max() - position_)) {
    throw std::length_error("A memory stream cannot grow that far");
  }
  const std::size_t end = static_cast<std::size_t>(position_) + count;
  if (end > bytes_.size()) bytes_.resize(end);
  std::memcpy(bytes_.data() + position_, buffer, count);
  position_ = static_cast<std::int64_t>(end);
  return count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, SeekOrigin origin) {
  std::int64_t base = 0;
  switch (origin) {
    case SeekOrigin::kBeginning: base = 0; break;
    case SeekOrigin::kCurrent: base = position_; break;
    case SeekOrigin::kEnd: base = static_cast<std::int64_t>(bytes_.size()); break;
  }
  if ((offset < 0 && base + offset < 0) ||
      (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset)) {
    throw std::invalid_argument("Stream position out of range");
  }
  position_ = base + offset;
  return position_;
}

void MemoryStream::SetSize(std::int64_t size) {
  if (size < 0) throw std::invalid_argument("Stream size cannot be negative");
  bytes_.resize(static_cast<std::size_t>(size));
}

std::int64_t MemoryStream::Size() { return static_cast<std::int64_t>(bytes_.size()); }

void MemoryStream::Assign(std::vector<std::uint8_t> bytes) {
  bytes_ = std::move(bytes);
  position_ = 0;
}

void MemoryStream::Clear() {
  std::vector<std::uint8_t>().swap(bytes_);
  position_ = 0;
}

}  // namespace platform
