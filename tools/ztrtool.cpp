// Command-line companion: inspects and converts the pieces of network files.
// Each subcommand is one row of the table below; failures print one line and exit 1.

#include "Util.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

using Arguments = std::span<char *const>;

struct Command {
    std::string_view name;
    std::string_view parameters;
    std::string_view summary;
    std::size_t argumentCount;
    std::function<void(Arguments)> run;
};

// Failures a user can act on; the message is printed as it stands.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void Compress(Arguments arguments) {
    TMemoryStream source;
    source.LoadFromFile(arguments[0]);
    TMemoryStream destination;
    if (std::make_unique<TFastCompress>()->CompressStream(source, destination) < 0)
        throw ToolError("cannot compress " + std::string(arguments[0]));
    destination.SaveToFile(arguments[1]);
}

void Decompress(Arguments arguments) {
    TMemoryStream source;
    source.LoadFromFile(arguments[0]);
    TMemoryStream destination;
    const std::int64_t result = std::make_unique<TFastCompress>()->DecompressStream(source, destination);
    if (result < 0)
        throw ToolError(std::string(arguments[0]) + ": malformed block near byte " +
                        std::to_string(source.Position()));
    // A non-empty stream decodes to something unless a frame's length runs past its end.
    if (result == 0 && source.Size() > 0)
        throw ToolError(std::string(arguments[0]) + ": frame length exceeds the stream near byte " +
                        std::to_string(std::max<std::int64_t>(source.Position() - 2, 0)));
    destination.SaveToFile(arguments[1]);
}

void Dump(Arguments arguments) {
    TMemoryStream source;
    source.LoadFromFile(arguments[0]);
    std::string text;
    try {
        text = ObjectBinaryToText(source);
    } catch (const EReadError &error) {
        throw ToolError(std::string(arguments[0]) + ": byte " + std::to_string(error.Offset) + ": " + error.what());
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw ToolError("cannot write the text to standard output");
}

void Pack(Arguments arguments) {
    TMemoryStream source;
    source.LoadFromFile(arguments[0]);
    TMemoryStream destination;
    try {
        ObjectTextToBinary(std::string_view(reinterpret_cast<const char *>(source.Memory()),
                                            std::size_t(source.Size())),
                           destination);
    } catch (const ETextFormError &error) {
        throw ToolError(std::string(arguments[0]) + ": " + error.what());
    }
    destination.SaveToFile(arguments[1]);
}

const Command Commands[] = {
    {"compress", "IN OUT", "compress raw bytes into framed blocks", 2, Compress},
    {"decompress", "IN OUT", "decompress framed blocks into raw bytes", 2, Decompress},
    {"dump", "STREAM", "print a component stream as text", 1, Dump},
    {"pack", "TEXT STREAM", "write the component stream of a text", 2, Pack},
};

void PrintUsage(std::FILE *to) {
    std::fprintf(to, "usage: ztrtool COMMAND ARGUMENTS\n");
    for (const Command &command : Commands)
        std::fprintf(to, "  ztrtool %-10.*s %-10.*s %.*s\n", int(command.name.size()),
                     command.name.data(), int(command.parameters.size()), command.parameters.data(),
                     int(command.summary.size()), command.summary.data());
}

} // namespace

int main(int argc, char *argv[]) {
    const Arguments all(argv, static_cast<std::size_t>(argc));
    if (all.size() < 2) {
        PrintUsage(stderr);
        return 1;
    }
    const std::string_view name = all[1];
    if (name == "-h" || name == "--help") {
        PrintUsage(stdout);
        return 0;
    }
    for (const Command &command : Commands) {
        if (command.name != name) continue;
        const Arguments arguments = all.subspan(2);
        if (arguments.size() != command.argumentCount) {
            std::fprintf(stderr, "ztrtool: usage: ztrtool %.*s %.*s\n", int(command.name.size()),
                         command.name.data(), int(command.parameters.size()),
                         command.parameters.data());
            return 1;
        }
        try {
            command.run(arguments);
            return 0;
        } catch (const std::exception &error) {
            std::fprintf(stderr, "ztrtool: %s\n", error.what());
            return 1;
        }
    }
    std::fprintf(stderr, "ztrtool: unknown command \"%.*s\" (try --help)\n", int(name.size()), name.data());
    return 1;
}
