// Arbitrary bytes as a framed block stream: decoding must stay inside its buffers, never hang,
// and keep the documented results.
#include "Util.h"
#include "stream/MemoryStream.h"

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    TMemoryStream source(data, std::int64_t(size)), destination;
    const std::int64_t result =
        std::make_unique<TFastCompress>()->DecompressStream(source, destination);
    if (result < -1 || result > destination.Size()) std::abort();
    // Every frame carries at least its 2 length bytes and decodes to at most 4096 bytes.
    if (destination.Size() > std::int64_t(size / 2 + 1) * 4096) std::abort();
    return 0;
}
