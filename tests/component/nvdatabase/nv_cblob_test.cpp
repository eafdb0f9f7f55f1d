#include "component/nvdatabase/nv_cblob.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/memory_stream.h"

// The largest single allocation made while a LargestAllocation is alive. A
// forged length in a stored header must not turn into an allocation of that
// size, and on a machine that overcommits memory only counting shows it.
namespace {
std::atomic<bool> g_track_allocations{false};
std::atomic<std::size_t> g_largest_allocation{0};
}  // namespace

void* operator new(std::size_t size) {
  if (g_track_allocations.load(std::memory_order_relaxed)) {
    std::size_t seen = g_largest_allocation.load(std::memory_order_relaxed);
    while (size > seen && !g_largest_allocation.compare_exchange_weak(seen, size)) {
    }
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace nvdatabase {
namespace {

using platform::MemoryStream;
using platform::SeekOrigin;
using ByteVector = std::vector<std::uint8_t>;

class LargestAllocation {
 public:
  LargestAllocation() {
    g_largest_allocation = 0;
    g_track_allocations = true;
  }
  ~LargestAllocation() { g_track_allocations = false; }
  std::size_t bytes() const { return g_largest_allocation; }
};

ByteVector FromText(const std::string& s) { return {s.begin(), s.end()}; }

ByteVector Compressible(std::size_t n) {
  const std::string line = "acName=Ivana;anQty=12.5000;adDate=01.02.2009 ";
  ByteVector out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(line[i % line.size()]);
  return out;
}

ByteVector Random(std::size_t n) {
  std::mt19937 gen(12345);
  ByteVector out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(gen());
  return out;
}

ByteVector Concat(ByteVector a, const ByteVector& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

ByteVector Header(char letter, std::int32_t length) {
  ByteVector h = FromText("PKZ#900");
  h.push_back(static_cast<std::uint8_t>(letter));
  const auto u = static_cast<std::uint32_t>(length);
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
  h.resize(16, 0);
  return h;
}

ByteVector Zlib(const ByteVector& data) {
  uLongf size = compressBound(data.size());
  ByteVector out(size);
  if (compress2(out.data(), &size, data.data(), data.size(), 9) != Z_OK) throw std::runtime_error("compress2");
  out.resize(size);
  return out;
}

ByteVector Inflate(const std::uint8_t* payload, std::size_t payload_size, std::size_t size) {
  ByteVector out(size);
  uLongf out_size = size;
  if (uncompress(out.data(), &out_size, payload, payload_size) != Z_OK || out_size != size) return {};
  return out;
}

std::uint32_t Le32(const ByteVector& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

ByteVector Content(MemoryStream& s) { return {s.Bytes().begin(), s.Bytes().end()}; }

ByteVector ReadAll(platform::Stream& s) {
  ByteVector out(static_cast<std::size_t>(s.Size()));
  s.SetPosition(0);
  out.resize(s.Read(out.data(), out.size()));
  return out;
}

ByteVector StoreValue(const ByteVector& data, TnvCompressionLevel level = TnvCompressionLevel::clNormal) {
  MemoryStream base;
  TCBlobStream blob(base, true);
  blob.SetCompressed(true);
  blob.SetCompressionLevel(level);
  blob.Write(data.data(), data.size());
  blob.Close();
  return Content(base);
}

struct Loaded {
  ByteVector data;
  bool compressed;
};

Loaded LoadValue(const ByteVector& stored) {
  MemoryStream base(stored);
  TCBlobStream blob(base, false);
  EXPECT_EQ(blob.Position(), 0);
  return {ReadAll(blob), blob.Compressed()};
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no error)";
}

// A base stream that hands its final content to the test when it is destroyed.
class RecordingStream : public MemoryStream {
 public:
  RecordingStream(ByteVector content, ByteVector* record) : MemoryStream(std::move(content)), record_(record) {}
  ~RecordingStream() override { *record_ = Content(*this); }

 private:
  ByteVector* record_;
};

// A base stream on storage that takes no more bytes.
class FullStream : public MemoryStream {
 public:
  std::size_t Write(const void*, std::size_t) override { return 0; }
};

TEST(TCBlobStreamTest, StoresCompressedOnlyWhenItPays) {
  const struct {
    const char* name;
    ByteVector data;
    TnvCompressionLevel level;
    bool compressed;
  } cases[] = {
      {"99 bytes", Compressible(99), TnvCompressionLevel::clNormal, false},
      {"100 bytes", Compressible(100), TnvCompressionLevel::clNormal, true},
      {"1000 random bytes", Random(1000), TnvCompressionLevel::clNormal, false},
      {"clNone", Compressible(5000), TnvCompressionLevel::clNone, false},
      {"clFastest", Compressible(5000), TnvCompressionLevel::clFastest, true},
      {"clMax", Compressible(5000), TnvCompressionLevel::clMax, true},
      {"empty", {}, TnvCompressionLevel::clNormal, false},
      {"signature with an unknown letter", Concat(FromText("PKZ#900X"), Compressible(192)),
       TnvCompressionLevel::clNormal, true},
      {"beyond the first inflate buffer", Compressible(3 << 20), TnvCompressionLevel::clFastest, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ByteVector stored = StoreValue(c.data, c.level);
    if (c.compressed) {
      ASSERT_GT(stored.size(), 16u);
      EXPECT_EQ(std::string(stored.begin(), stored.begin() + 8), "PKZ#900Z");
      EXPECT_EQ(Le32(stored, 8), c.data.size());
      EXPECT_EQ(ByteVector(stored.begin() + 12, stored.begin() + 16), ByteVector(4, 0));
      EXPECT_LT(stored.size(), c.data.size());
      EXPECT_EQ(Inflate(stored.data() + 16, stored.size() - 16, c.data.size()), c.data);
    } else {
      EXPECT_EQ(stored, c.data);
    }
    const Loaded loaded = LoadValue(stored);
    EXPECT_EQ(loaded.data, c.data);
    EXPECT_EQ(loaded.compressed, c.compressed);
  }
}

TEST(TCBlobStreamTest, ValueThatCarriesAHeaderIsStoredAsItIs) {
  const ByteVector original = Compressible(5000);
  const ByteVector compressed = StoreValue(original);
  ASSERT_EQ(std::string(compressed.begin(), compressed.begin() + 7), "PKZ#900");

  EXPECT_EQ(StoreValue(compressed), compressed);
  EXPECT_EQ(LoadValue(compressed).data, original);
}

TEST(TCBlobStreamTest, RawValuesAreReadUnchanged) {
  const ByteVector values[] = {
      {},
      FromText("short"),
      FromText("PKZ#900Z1234567"),  // 15 bytes: too short for a header
      Concat(FromText("PKZ#901Z"), Compressible(100)),
      Concat(FromText("pkz#900Z"), Compressible(100)),
      Concat(FromText("PKZ#900X"), Compressible(100)),
      Random(1000),
  };
  for (const auto& stored : values) {
    SCOPED_TRACE(std::string(stored.begin(), stored.begin() + std::min<std::size_t>(stored.size(), 8)));
    const Loaded loaded = LoadValue(stored);
    EXPECT_EQ(loaded.data, stored);
    EXPECT_FALSE(loaded.compressed);
  }
}

TEST(TCBlobStreamTest, HeadersOfUnsupportedAlgorithmsFailTheConstruction) {
  const struct {
    char letter;
    const char* message;
  } cases[] = {
      {'B', "BZIP compression not defined"},
      {'P', "PPM compression not defined"},
      {'M', "LZMA compression not defined"},
  };
  const ByteVector data = Compressible(500);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.letter);
    const ByteVector stored = Concat(Header(c.letter, 500), Zlib(data));
    MemoryStream base(stored);
    EXPECT_EQ(ErrorOf([&] { TCBlobStream blob(base, false); }), c.message);

    // An owned base goes with the failed stream, untouched.
    ByteVector record;
    EXPECT_EQ(ErrorOf([&] { TCBlobStream blob(std::make_unique<RecordingStream>(stored, &record), false); }),
              c.message);
    EXPECT_EQ(record, stored);
  }
}

TEST(TCBlobStreamTest, DamagedPayloadsAndForgedLengthsAreServedAsStored) {
  const ByteVector data = Compressible(5000);
  const ByteVector payload = Zlib(data);
  ByteVector flipped = payload;
  flipped[flipped.size() / 2] ^= 0xFF;
  const ByteVector zeros(3 << 20, 0);

  const struct {
    const char* name;
    ByteVector stored;
  } cases[] = {
      {"flipped byte", Concat(Header('Z', 5000), flipped)},
      {"truncated", Concat(Header('Z', 5000), ByteVector(payload.begin(), payload.end() - 5))},
      {"not zlib", Concat(Header('Z', 5000), Random(300))},
      {"no payload", Header('Z', 5000)},
      {"length one short", Concat(Header('Z', 4999), payload)},
      {"length one over", Concat(Header('Z', 5001), payload)},
      {"length zero", Concat(Header('Z', 0), payload)},
      {"empty value with length zero", Concat(Header('Z', 0), Zlib({}))},
      {"negative length", Concat(Header('Z', -1), payload)},
      {"largest length", Concat(Header('Z', std::numeric_limits<std::int32_t>::max()), payload)},
      {"largest length over 3 MiB of zeros",
       Concat(Header('Z', std::numeric_limits<std::int32_t>::max()), Zlib(zeros))},
      {"small length over 3 MiB of zeros", Concat(Header('Z', 10), Zlib(zeros))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Loaded loaded;
    std::size_t largest = 0;
    {
      LargestAllocation probe;
      loaded = LoadValue(c.stored);
      largest = probe.bytes();
    }
    EXPECT_EQ(loaded.data, c.stored);
    EXPECT_FALSE(loaded.compressed);
    EXPECT_LT(largest, 8u << 20);
  }
}

TEST(TCBlobStreamTest, ReadStreamServesTheDecompressedData) {
  const ByteVector data = Compressible(5000);
  const ByteVector stored = StoreValue(data);
  MemoryStream base(stored);
  {
    TCBlobStream blob(base, false);
    EXPECT_EQ(blob.Size(), 5000);
    EXPECT_EQ(blob.Seek(-10, SeekOrigin::kEnd), 4990);
    ByteVector tail(20);
    EXPECT_EQ(blob.Read(tail.data(), tail.size()), 10u);
    EXPECT_EQ(ByteVector(tail.begin(), tail.begin() + 10), ByteVector(data.end() - 10, data.end()));

    // Writes change the memory copy only.
    blob.SetPosition(0);
    blob.Write("xx", 2);
    blob.Close();
  }
  EXPECT_EQ(Content(base), stored);
}

TEST(TCBlobStreamTest, CompressedIsIgnoredOnAReadStream) {
  for (const ByteVector& stored : {FromText("plain value"), StoreValue(Compressible(500))}) {
    MemoryStream base(stored);
    TCBlobStream blob(base, false);
    const bool before = blob.Compressed();
    ByteVector some(5);
    blob.Read(some.data(), some.size());
    EXPECT_NO_THROW(blob.SetCompressed(!before));
    EXPECT_EQ(blob.Compressed(), before);
  }
}

TEST(TCBlobStreamTest, WriteStreamCollectsOnlyWhenCompressedIsSetFirst) {
  const ByteVector data = Compressible(500);
  MemoryStream base;
  {
    TCBlobStream blob(base, true);
    EXPECT_FALSE(blob.Compressed());
    EXPECT_EQ(blob.CompressionAlg(), TnvCompressionAlgorithm::caZLIB);
    EXPECT_EQ(blob.CompressionLevel(), TnvCompressionLevel::clNormal);
    blob.Write(data.data(), 5);
    EXPECT_EQ(base.Size(), 5);  // a pass-through
    EXPECT_EQ(ErrorOf([&] { blob.SetCompressed(true); }), "Modify Compressed property before first write");
    EXPECT_FALSE(blob.Compressed());
  }

  MemoryStream collecting;
  {
    TCBlobStream blob(collecting, true);
    blob.SetCompressed(true);
    blob.Write(data.data(), data.size());
    EXPECT_EQ(collecting.Size(), 0);  // nothing reaches the base before the end
    EXPECT_EQ(ErrorOf([&] { blob.SetCompressed(false); }), "Modify Compressed property before first write");
  }
  EXPECT_EQ(LoadValue(Content(collecting)).data, data);
}

TEST(TCBlobStreamTest, CompressionAlgAcceptsOnlyZlib) {
  const struct {
    TnvCompressionAlgorithm alg;
    const char* message;
  } cases[] = {
      {TnvCompressionAlgorithm::caBZIP, "BZIP compression not defined"},
      {TnvCompressionAlgorithm::caPPM, "PPM compression not defined"},
      {TnvCompressionAlgorithm::caLZMA, "LZMA compression not defined"},
      {static_cast<TnvCompressionAlgorithm>(9), "CompressionAlg out of range"},
  };
  MemoryStream base;
  TCBlobStream blob(base, true);
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorOf([&] { blob.SetCompressionAlg(c.alg); }), c.message);
    EXPECT_EQ(blob.CompressionAlg(), TnvCompressionAlgorithm::caZLIB);
  }
  EXPECT_NO_THROW(blob.SetCompressionAlg(TnvCompressionAlgorithm::caZLIB));
}

TEST(TCBlobStreamTest, StoredValueReplacesWhatTheBaseHeld) {
  for (const ByteVector& data : {Compressible(99), Compressible(300)}) {
    MemoryStream base(ByteVector(5000, 'x'));
    {
      TCBlobStream blob(base, true);
      blob.SetCompressed(true);
      blob.Write(data.data(), data.size());
    }
    EXPECT_EQ(LoadValue(Content(base)).data, data);
  }
}

TEST(TCBlobStreamTest, DestructionStoresTheValueBeforeAnOwnedBaseGoes) {
  const ByteVector data = Compressible(1000);
  ByteVector record;
  {
    TCBlobStream blob(std::make_unique<RecordingStream>(ByteVector{}, &record), true);
    blob.SetCompressed(true);
    blob.Write(data.data(), data.size());
  }
  EXPECT_EQ(std::string(record.begin(), record.begin() + 8), "PKZ#900Z");
  EXPECT_EQ(LoadValue(record).data, data);
}

TEST(TCBlobStreamTest, CloseReportsABaseThatTakesNoBytes) {
  const ByteVector data = Compressible(1000);
  FullStream base;
  TCBlobStream blob(base, true);
  blob.SetCompressed(true);
  blob.Write(data.data(), data.size());
  EXPECT_EQ(ErrorOf([&] { blob.Close(); }), "Stream write error");
}

}  // namespace
}  // namespace nvdatabase
