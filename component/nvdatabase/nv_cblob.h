// TCBlobStream: a blob field's value, compressed in the database and plain to
// the code that reads and writes the field.
//
// The stream wraps the stream the data-access layer opens for the field (the
// base stream). A stored value that starts with the 16-byte header
//   "PKZ#900", algorithm letter, uncompressed length (int32, little-endian),
//   two reserved zero bytes, two padding bytes
// followed by a zlib stream is inflated into memory when a reading stream is
// created, and every read is served from memory. Any other value is passed
// through untouched, so compressed and plain values share one column. A value
// whose payload does not inflate to exactly the length in its header is served
// as stored, header included.
//
// A writing stream is a pass-through until Compressed is switched on (before
// the first byte is written); from then on it collects the value in memory and
// stores it at Close, or at destruction: as header and zlib stream when that is
// shorter and the value is at least 100 bytes, unchanged otherwise. A value that
// already carries the header is stored as it is, never compressed twice.
//
// The base stream is borrowed (it must outlive this stream) or owned (destroyed
// with it). Errors are std::runtime_error with the message text callers show.
// A stream belongs to the thread that opened the field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/memory_stream.h"
#include "platform/stream.h"

namespace nvdatabase {

// The order is significant: it is the order of the stored algorithm letters
// Z, B, P and M.
enum class TnvCompressionAlgorithm : std::uint8_t { caZLIB, caBZIP, caPPM, caLZMA };

// zlib effort: levels 0, 1, 6 and 9.
enum class TnvCompressionLevel : std::uint8_t { clNone, clFastest, clNormal, clMax };

class TCBlobStream : public platform::MemoryStream {
 public:
  // Both constructors read a stored value at once when `write_mode` is false,
  // and throw std::runtime_error "BZIP compression not defined" (or PPM, LZMA)
  // when its header names an algorithm this build cannot inflate; an owned
  // base stream is then destroyed before the exception leaves.
  TCBlobStream(platform::Stream& base, bool write_mode);
  TCBlobStream(std::unique_ptr<platform::Stream> base, bool write_mode);

  // Stores a pending value as Close does. A failure cannot be reported from
  // here and the value is then lost: call Close to see it.
  ~TCBlobStream() override;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, platform::SeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override;

  // In a writing stream with Compressed on, writes the collected value to the
  // base stream (replacing whatever it held) and ends the stream's use. Throws
  // std::runtime_error when the base stream cannot take it. Does nothing in
  // other cases or when called again.
  void Close();

  // True while the data lives in memory: inflated on reading, collected on
  // writing. False: everything goes straight to the base stream.
  bool Compressed() const { return compressed_; }
  // Ignored on a reading stream. On a writing stream, throws "Modify Compressed
  // property before first write" unless the position is 0.
  void SetCompressed(bool compressed);

  TnvCompressionAlgorithm CompressionAlg() const { return compression_alg_; }
  // Only caZLIB is accepted; the others throw "<name> compression not defined"
  // and leave the setting as it was.
  void SetCompressionAlg(TnvCompressionAlgorithm alg);

  TnvCompressionLevel CompressionLevel() const { return compression_level_; }
  void SetCompressionLevel(TnvCompressionLevel level) { compression_level_ = level; }

 private:
  void LoadFromBase();
  void SaveToBase();
  void WriteHeader();
  bool HasHeader();

  std::unique_ptr<platform::Stream> owned_base_;
  platform::Stream& base_;
  bool write_mode_;
  bool compressed_ = false;
  bool closed_ = false;
  TnvCompressionAlgorithm compression_alg_ = TnvCompressionAlgorithm::caZLIB;
  TnvCompressionLevel compression_level_ = TnvCompressionLevel::clNormal;
  // In a reading stream: the uncompressed length from the header, or the
  // stored length when there is none.
  std::int64_t expected_size_ = 0;
};

}  // namespace nvdatabase
