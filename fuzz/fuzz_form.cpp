// Arbitrary bytes as the component stream of a form holding every control of the class library:
// a hostile network file reaches real widgets this way. Reading must fail cleanly or succeed,
// and what a form writes must read back and write again to the same bytes. (The first write may
// differ from the input: a value equal to a default, or an empty string, is not written.)
#include "support/FormFixture.h"

#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/Writer.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

bool Read(const std::uint8_t *data, std::size_t size, TForm &form) {
    TMemoryStream stream(data, std::int64_t(size));
    try {
        TReader(stream, [](std::string_view) { return false; }).ReadRootComponent(form);
        return true;
    } catch (const EReadError &) {
        return false;
    }
}

TMemoryStream Written(TForm &form) {
    TMemoryStream stream;
    TWriter(stream).WriteRootComponent(form);
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    FormFixture::RegisterControlClasses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    auto form = std::make_unique<TForm>(nullptr);
    if (!Read(data, size, *form)) return 0;
    const TMemoryStream first = Written(*form);
    auto again = std::make_unique<TForm>(nullptr);
    if (!Read(first.Memory(), std::size_t(first.Size()), *again)) std::abort();
    const TMemoryStream second = Written(*again);
    auto third = std::make_unique<TForm>(nullptr);
    if (!Read(second.Memory(), std::size_t(second.Size()), *third)) std::abort();
    const TMemoryStream last = Written(*third);
    if (second.Size() != last.Size() ||
        std::memcmp(second.Memory(), last.Memory(), std::size_t(last.Size())) != 0)
        std::abort();
    return 0;
}
