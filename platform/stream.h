// A byte stream with a position: the shape every blob value, memory buffer and
// file takes when code reads or writes it piece by piece.
// Read and Write move the position by the bytes they transfer; Seek may place
// the position past the end (a later Write fills the gap with zeros). Size and
// Position are answered through Seek, so a stream that forwards Seek to another
// stream reports that stream's figures.
// Failures of the underlying storage throw std::runtime_error; a seek to a
// negative position throws std::invalid_argument and leaves the position alone.
// A stream is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

enum class SeekOrigin { kBeginning, kCurrent, kEnd };

class Stream {
 public:
  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  virtual ~Stream() = default;

  // Copies up to `count` bytes from the position into `buffer`; returns the
  // number copied, fewer than `count` only at the end of the stream.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;

  // Writes `count` bytes at the position, growing the stream as needed; returns
  // the number written.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;

  // Moves the position and returns the new one, counted from the start.
  virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;

  // Cuts or extends (with zeros) the stream to `size` bytes. The position is
  // kept, also when it now lies past the end.
  virtual void SetSize(std::int64_t size) = 0;

  virtual std::int64_t Size();

  std::int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::kBeginning); }

  // Copies the rest of `source`, from its position to its end, to this stream's
  // position; returns the number of bytes copied.
  std::int64_t CopyFrom(Stream& source);
};

}  // namespace platform
