// Arbitrary bytes as a component stream read into a test root: reading must fail cleanly or
// succeed, and whatever was read must write out, read back and write again to the same bytes.
// (The first write may differ from the input, and from the second: a value equal to a default,
// or an empty string, is not written, so the next read keeps the default.) A stream that reads
// must also have a text form that packs back into the same bytes.
#include "support/TestComponents.h"

#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/TextForm.h"
#include "stream/Writer.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Read(const std::uint8_t *data, std::size_t size, TTestRoot &root) {
    TMemoryStream stream(data, std::int64_t(size));
    try {
        TReader(stream, [](std::string_view) { return false; }).ReadRootComponent(root);
        return true;
    } catch (const EReadError &) {
        return false;
    }
}

TMemoryStream Written(TTestRoot &root) {
    TMemoryStream stream;
    TWriter(stream).WriteRootComponent(root);
    return stream;
}

void CheckTextForm(const std::uint8_t *data, std::size_t size) {
    TMemoryStream source(data, std::int64_t(size));
    std::string text;
    try {
        text = ObjectBinaryToText(source);
    } catch (const EReadError &) {
        std::abort();
    }
    TMemoryStream packed;
    ObjectTextToBinary(text, packed);
    if (packed.Size() != source.Position() ||
        std::memcmp(packed.Memory(), data, std::size_t(packed.Size())) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    TTestRoot root;
    if (!Read(data, size, root)) return 0;
    CheckTextForm(data, size);
    const TMemoryStream first = Written(root);
    TTestRoot again;
    if (!Read(first.Memory(), std::size_t(first.Size()), again)) std::abort();
    const TMemoryStream second = Written(again);
    TTestRoot third;
    if (!Read(second.Memory(), std::size_t(second.Size()), third)) std::abort();
    const TMemoryStream last = Written(third);
    if (second.Size() != last.Size() ||
        std::memcmp(second.Memory(), last.Memory(), std::size_t(last.Size())) != 0)
        std::abort();
    return 0;
}
