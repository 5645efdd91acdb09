// Arbitrary bytes as a component stream read into a test root: reading must fail cleanly or
// succeed, and whatever was read must write out and read back to the same bytes.
#include "support/TestComponents.h"

#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/Writer.h"

#include <cstdlib>
#include <cstring>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    TTestRoot root;
    if (!Read(data, size, root)) return 0;
    const TMemoryStream first = Written(root);
    TTestRoot again;
    if (!Read(first.Memory(), std::size_t(first.Size()), again)) std::abort();
    const TMemoryStream second = Written(again);
    if (first.Size() != second.Size() || std::memcmp(first.Memory(), second.Memory(), std::size_t(first.Size())) != 0)
        std::abort();
    return 0;
}
