// A stream held wholly in memory: a growable byte buffer with a size and a
// position. Used where a value must be assembled or taken apart before it goes
// to its real storage, and as a stand-in for such storage in tests.
// Growing the buffer throws std::bad_alloc when memory runs out. A stream is
// used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "platform/stream.h"

namespace platform {

class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override;

  // The whole content, whatever the position. The view is invalidated by any
  // later Write or SetSize.
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

  // Replaces the content; the position goes back to 0.
  void Assign(std::vector<std::uint8_t> bytes);

  // Empties the stream and frees its buffer.
  void Clear();

 private:
  std::vector<std::uint8_t> bytes_;
  std::int64_t position_ = 0;
};

}  // namespace platform
