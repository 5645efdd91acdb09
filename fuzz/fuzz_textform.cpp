// Arbitrary bytes as text: parsing fails cleanly or gives a stream whose text packs to the same
// bytes again, and that text is stable.
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    TMemoryStream first;
    try {
        ObjectTextToBinary(std::string_view(reinterpret_cast<const char *>(data), size), first);
    } catch (const ETextFormError &) {
        return 0;
    }
    first.Seek(0);
    const std::string text = ObjectBinaryToText(first);
    if (first.Position() != first.Size()) std::abort();

    TMemoryStream second;
    ObjectTextToBinary(text, second);
    if (second.Size() != first.Size() ||
        std::memcmp(second.Memory(), first.Memory(), std::size_t(first.Size())) != 0)
        std::abort();
    second.Seek(0);
    if (ObjectBinaryToText(second) != text) std::abort();
    return 0;
}
