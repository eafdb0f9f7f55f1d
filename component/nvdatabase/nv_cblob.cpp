#include "component/nvdatabase/nv_cblob.h"

// Lets zlib take its input through a pointer to const.
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace nvdatabase {
namespace {

using platform::SeekOrigin;

constexpr std::string_view kSignature = "PKZ#900";
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kLengthOffset = 8;
// Shorter values gain too little from compression to pay for the header.
constexpr std::int64_t kMinCompressedSize = 100;
// The first inflate buffer. The header's length is not trusted with more than
// this until the payload has really inflated that far; the buffer then doubles.
constexpr std::size_t kFirstInflateCapacity = 1 << 20;

std::optional<TnvCompressionAlgorithm> AlgorithmOfLetter(std::uint8_t letter) {
  switch (letter) {
    case 'Z': return TnvCompressionAlgorithm::caZLIB;
    case 'B': return TnvCompressionAlgorithm::caBZIP;
    case 'P': return TnvCompressionAlgorithm::caPPM;
    case 'M': return TnvCompressionAlgorithm::caLZMA;
    default: return std::nullopt;
  }
}

bool StartsWithSignature(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kSignature.size() &&
         std::memcmp(bytes.data(), kSignature.data(), kSignature.size()) == 0;
}

bool IsHeader(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= kHeaderSize && StartsWithSignature(bytes) &&
         AlgorithmOfLetter(bytes[kSignature.size()]).has_value();
}

int ZlibLevel(TnvCompressionLevel level) {
  switch (level) {
    case TnvCompressionLevel::clNone: return 0;
    case TnvCompressionLevel::clFastest: return 1;
    case TnvCompressionLevel::clNormal: return 6;
    case TnvCompressionLevel::clMax: return 9;
  }
  return Z_DEFAULT_COMPRESSION;
}

// Reads until `buffer` is full or the stream ends; some blob streams hand out
// less than asked before their end.
std::size_t ReadFully(platform::Stream& stream, std::uint8_t* buffer, std::size_t count) {
  std::size_t total = 0;
  while (total < count) {
    const std::size_t got = stream.Read(buffer + total, count - total);
    if (got == 0) break;
    total += got;
  }
  return total;
}

void WriteFully(platform::Stream& stream, const std::uint8_t* bytes, std::size_t count) {
  if (stream.Write(bytes, count) != count) throw std::runtime_error("Stream write error");
}

class Inflater {
 public:
  Inflater() { ok_ = inflateInit(&z_) == Z_OK; }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (ok_) inflateEnd(&z_);
  }
  bool ok() const { return ok_; }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

// The bytes `payload` inflates to, or nothing when it is not a complete zlib
// stream of exactly `expected` bytes. Output beyond `expected` stops the work at
// once, so a forged length costs no more memory than the payload really yields.
std::optional<std::vector<std::uint8_t>> InflateExactly(std::span<const std::uint8_t> payload,
                                                        std::int64_t expected) {
  if (expected <= 0) return std::nullopt;
  Inflater inflater;
  if (!inflater.ok()) return std::nullopt;
  z_stream& z = inflater.z();

  // One byte of room past `expected` shows a payload that inflates too far.
  const auto limit = static_cast<std::size_t>(expected) + 1;
  std::vector<std::uint8_t> out(std::min(limit, kFirstInflateCapacity));
  std::size_t produced = 0;
  std::size_t fed = 0;
  for (;;) {
    if (produced == out.size()) {
      if (out.size() == limit) return std::nullopt;
      out.resize(std::min(limit, out.size() * 2));
    }
    if (z.avail_in == 0 && fed < payload.size()) {
      const std::size_t chunk = std::min<std::size_t>(payload.size() - fed, UINT_MAX);
      z.next_in = payload.data() + fed;
      z.avail_in = static_cast<uInt>(chunk);
      fed += chunk;
    }
    const std::size_t room = std::min<std::size_t>(out.size() - produced, UINT_MAX);
    z.next_out = out.data() + produced;
    z.avail_out = static_cast<uInt>(room);
    const int rc = inflate(&z, Z_NO_FLUSH);
    produced += room - z.avail_out;
    if (rc == Z_STREAM_END) break;
    // Z_BUF_ERROR here means the input ran out before the stream's end: there
    // is always output room when inflate is called.
    if (rc != Z_OK) return std::nullopt;
  }
  if (produced != static_cast<std::size_t>(expected)) return std::nullopt;
  out.resize(produced);
  return out;
}

// The zlib stream of `data` when it is shorter than `data`, else nothing.
std::optional<std::vector<std::uint8_t>> DeflateShorter(std::span<const std::uint8_t> data, int level) {
  if (data.size() < 2) return std::nullopt;
  // A buffer one byte short of the data makes zlib itself refuse a result that
  // would not be shorter.
  std::vector<std::uint8_t> out(data.size() - 1);
  uLongf out_size = static_cast<uLongf>(out.size());
  if (compress2(out.data(), &out_size, data.data(), static_cast<uLong>(data.size()), level) != Z_OK ||
      out_size == 0) {
    return std::nullopt;
  }
  out.resize(out_size);
  return out;
}

platform::Stream& NonNull(const std::unique_ptr<platform::Stream>& base) {
  if (!base) throw std::invalid_argument("TCBlobStream needs a base stream");
  return *base;
}

}  // namespace

TCBlobStream::TCBlobStream(platform::Stream& base, bool write_mode) : base_(base), write_mode_(write_mode) {
  if (!write_mode_) LoadFromBase();
}

TCBlobStream::TCBlobStream(std::unique_ptr<platform::Stream> base, bool write_mode)
    : owned_base_(std::move(base)), base_(NonNull(owned_base_)), write_mode_(write_mode) {
  if (!write_mode_) LoadFromBase();
}

TCBlobStream::~TCBlobStream() {
  try {
    Close();
  } catch (...) {
    // A destructor has no way to report; Close is there for callers who must know.
  }
}

std::size_t TCBlobStream::Read(void* buffer, std::size_t count) {
  return compressed_ ? MemoryStream::Read(buffer, count) : base_.Read(buffer, count);
}

std::size_t TCBlobStream::Write(const void* buffer, std::size_t count) {
  return compressed_ ? MemoryStream::Write(buffer, count) : base_.Write(buffer, count);
}

std::int64_t TCBlobStream::Seek(std::int64_t offset, platform::SeekOrigin origin) {
  return compressed_ ? MemoryStream::Seek(offset, origin) : base_.Seek(offset, origin);
}

void TCBlobStream::SetSize(std::int64_t size) {
  if (compressed_) {
    MemoryStream::SetSize(size);
  } else {
    base_.SetSize(size);
  }
}

std::int64_t TCBlobStream::Size() { return compressed_ ? MemoryStream::Size() : base_.Size(); }

void TCBlobStream::Close() {
  if (closed_) return;
  closed_ = true;
  if (write_mode_ && compressed_) SaveToBase();
}

void TCBlobStream::SetCompressed(bool compressed) {
  if (!write_mode_) return;
  if (Position() != 0) throw std::runtime_error("Modify Compressed property before first write");
  compressed_ = compressed;
}

void TCBlobStream::SetCompressionAlg(TnvCompressionAlgorithm alg) {
  switch (alg) {
    case TnvCompressionAlgorithm::caZLIB: break;
    case TnvCompressionAlgorithm::caBZIP: throw std::runtime_error("BZIP compression not defined");
    case TnvCompressionAlgorithm::caPPM: throw std::runtime_error("PPM compression not defined");
    case TnvCompressionAlgorithm::caLZMA: throw std::runtime_error("LZMA compression not defined");
    default: throw std::runtime_error("CompressionAlg out of range");
  }
  compression_alg_ = alg;
}

void TCBlobStream::LoadFromBase() {
  base_.Seek(0, SeekOrigin::kBeginning);
  expected_size_ = base_.Size();

  std::array<std::uint8_t, kHeaderSize> header{};
  if (ReadFully(base_, header.data(), header.size()) < header.size()) {
    base_.Seek(0, SeekOrigin::kBeginning);
    return;
  }
  if (StartsWithSignature(header)) {
    compressed_ = true;
    const auto alg = AlgorithmOfLetter(header[kSignature.size()]);
    if (alg) {
      SetCompressionAlg(*alg);
    } else {
      compressed_ = false;
    }
    if (compressed_) {
      std::int32_t length = 0;
      for (std::size_t i = 0; i < 4; ++i) {
        length = static_cast<std::int32_t>(static_cast<std::uint32_t>(length) |
                                           (std::uint32_t{header[kLengthOffset + i]} << (8 * i)));
      }
      expected_size_ = length;
    }
  }
  Seek(0, SeekOrigin::kBeginning);
  if (!compressed_) return;

  base_.Seek(static_cast<std::int64_t>(kHeaderSize), SeekOrigin::kBeginning);
  platform::MemoryStream payload;
  payload.CopyFrom(base_);
  auto inflated = InflateExactly(payload.Bytes(), expected_size_);
  if (inflated) {
    MemoryStream::Assign(std::move(*inflated));
  } else {
    // A damaged payload is served as stored rather than refused: the value
    // still reaches the caller, who may know what to make of it.
    compressed_ = false;
  }
  Seek(0, SeekOrigin::kBeginning);
}

void TCBlobStream::SaveToBase() {
  const std::int64_t n = MemoryStream::Size();
  std::optional<std::vector<std::uint8_t>> packed;
  // The header holds the length as a signed 32-bit number.
  if (n >= kMinCompressedSize && n <= std::numeric_limits<std::int32_t>::max() && !HasHeader()) {
    packed = DeflateShorter(MemoryStream::Bytes(), ZlibLevel(compression_level_));
  }

  // The data layer empties a blob value opened for writing; a base stream that
  // was not emptied must still end up holding this value and nothing else.
  base_.Seek(0, SeekOrigin::kBeginning);
  base_.SetSize(0);
  if (packed) {
    WriteHeader();
    WriteFully(base_, packed->data(), packed->size());
  } else {
    const auto bytes = MemoryStream::Bytes();
    WriteFully(base_, bytes.data(), bytes.size());
    compressed_ = false;
  }
}

void TCBlobStream::WriteHeader() {
  const auto letter = [this]() -> std::uint8_t {
    switch (compression_alg_) {
      case TnvCompressionAlgorithm::caZLIB: return 'Z';
      case TnvCompressionAlgorithm::caBZIP: return 'B';
      case TnvCompressionAlgorithm::caPPM: return 'P';
      case TnvCompressionAlgorithm::caLZMA: return 'M';
    }
    throw std::runtime_error("CompressionAlg out of range");
  }();
  const auto length = static_cast<std::uint32_t>(MemoryStream::Size());

  std::array<std::uint8_t, kHeaderSize> header{};
  std::memcpy(header.data(), kSignature.data(), kSignature.size());
  header[kSignature.size()] = letter;
  for (std::size_t i = 0; i < 4; ++i) header[kLengthOffset + i] = static_cast<std::uint8_t>(length >> (8 * i));
  base_.Seek(0, SeekOrigin::kBeginning);
  WriteFully(base_, header.data(), header.size());
}

bool TCBlobStream::HasHeader() {
  std::array<std::uint8_t, kHeaderSize> header{};
  MemoryStream::Seek(0, SeekOrigin::kBeginning);
  const std::size_t got = MemoryStream::Read(header.data(), header.size());
  MemoryStream::Seek(0, SeekOrigin::kBeginning);
  return IsHeader(std::span(header.data(), got));
}

}  // namespace nvdatabase
