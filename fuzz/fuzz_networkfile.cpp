// Arbitrary bytes as a network file opened into a network window, the way the program opens one:
// the load must fail cleanly or succeed, and a loaded network must save, load and save again to
// the same bytes.
#include "Util.h"
#include "document/FChild.h"

#include "stream/MemoryStream.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// A new network window emptied of its parts, then the image read into it.
std::unique_ptr<TFormZentaroChild> Load(const std::uint8_t *data, std::size_t size, bool &ok) {
    auto window = std::make_unique<TFormZentaroChild>(nullptr);
    window->DestroyComponents();
    TMemoryStream image(data, std::int64_t(size));
    ok = false;
    try {
        ReadNetworkImage(image, *window);
        ok = true;
    } catch (const std::exception &) {
    }
    return window;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Both live to the very end: Qt's own teardown among the exit handlers would outlive them.
    static auto *application = new QApplication(*argc, *argv);
    // Network windows open inside the multi-document frame, as in the program.
    static auto *frame = new TForm(nullptr);
    frame->SetFormStyle(TFormStyle::fsMDIForm);
    frame->SetBounds(0, 0, 1000, 800);
    frame->Show();
    Q_UNUSED(application);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    bool ok = false;
    auto window = Load(data, size, ok);
    QApplication::processEvents(); // a partly loaded window gets painted too
    if (!ok) return 0;
    const TMemoryStream first = NetworkFileImage(*window);
    auto again = Load(first.Memory(), std::size_t(first.Size()), ok);
    if (!ok) std::abort();
    const TMemoryStream second = NetworkFileImage(*again);
    auto third = Load(second.Memory(), std::size_t(second.Size()), ok);
    if (!ok) std::abort();
    const TMemoryStream last = NetworkFileImage(*third);
    if (second.Size() != last.Size() ||
        std::memcmp(second.Memory(), last.Memory(), std::size_t(last.Size())) != 0)
        std::abort();
    return 0;
}
