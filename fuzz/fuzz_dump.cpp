// Arbitrary bytes as a component stream: dumping fails cleanly with an offset inside the input,
// or gives text that packs into exactly the bytes it was dumped from.
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    TMemoryStream source(data, std::int64_t(size));
    std::string text;
    try {
        text = ObjectBinaryToText(source);
    } catch (const EReadError &error) {
        if (error.Offset < 0 || error.Offset > std::int64_t(size)) std::abort();
        return 0;
    }
    TMemoryStream packed;
    ObjectTextToBinary(text, packed);
    if (packed.Size() != source.Position() ||
        std::memcmp(packed.Memory(), data, std::size_t(packed.Size())) != 0)
        std::abort();
    return 0;
}
