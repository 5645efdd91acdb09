// Any input must compress into well-formed frames that decode back to exactly the input.
#include "Util.h"
#include "stream/MemoryStream.h"

#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    auto coder = std::make_unique<TFastCompress>();
    TMemoryStream source(data, std::int64_t(size)), packed, unpacked;
    const std::int64_t packedSize = coder->CompressStream(source, packed);
    if (packedSize != packed.Size()) std::abort();
    // Frames: one per 4096 input bytes, each at most one byte longer than its input.
    const std::int64_t frames = (std::int64_t(size) + 4095) / 4096;
    if (packedSize > std::int64_t(size) + 3 * frames) std::abort();

    packed.Seek(0);
    if (coder->DecompressStream(packed, unpacked) != std::int64_t(size)) std::abort();
    if (size > 0 && std::memcmp(unpacked.Memory(), data, size) != 0) std::abort();
    return 0;
}
