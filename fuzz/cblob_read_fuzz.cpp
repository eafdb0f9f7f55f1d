// Feeds arbitrary stored blob values to the reading side of TCBlobStream: the
// header check, the untrusted length, inflating, and the fall-back to the
// stored bytes. Whatever the value, reading it must either give its content or
// fail with one of the "not defined" errors, and no length in a header may
// buy an allocation the payload does not back (the runner's -malloc_limit_mb).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "component/nvdatabase/nv_cblob.h"
#include "platform/memory_stream.h"

namespace {

bool IsExpectedError(std::string_view message) {
  return message == "BZIP compression not defined" || message == "PPM compression not defined" ||
         message == "LZMA compression not defined";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> stored(data, data + size);
  platform::MemoryStream base(stored);
  try {
    nvdatabase::TCBlobStream blob(base, false);
    const std::int64_t length = blob.Size();
    if (blob.Position() != 0) std::abort();

    // Read in uneven pieces, as field readers do, then once more from a seek.
    std::vector<std::uint8_t> content;
    std::uint8_t piece[777];
    for (std::size_t got; (got = blob.Read(piece, sizeof piece)) > 0;) content.insert(content.end(), piece, piece + got);
    if (static_cast<std::int64_t>(content.size()) != length) std::abort();
    if (!blob.Compressed() && content != stored) std::abort();

    if (length > 0) {
      const std::int64_t middle = blob.Seek(length / 2, platform::SeekOrigin::kBeginning);
      std::uint8_t byte = 0;
      if (blob.Read(&byte, 1) != 1 || byte != content[static_cast<std::size_t>(middle)]) std::abort();
    }
  } catch (const std::runtime_error& e) {
    if (!IsExpectedError(e.what())) std::abort();
  }
  return 0;
}
