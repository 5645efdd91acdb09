// Command-line companion: inspects and converts the pieces of network files.
// Each subcommand is one row of the table below; failures print one line and exit 1.

#include "ZtrTool.h"

#include "ToolOutputs.h"

#include "Util.h"
#include "app/ExcepLog.h"
#include "app/Main.h"
#include "classlib/AppEvnts.h"
#include "classlib/Forms.h"
#include "document/FChild.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"

#include <QApplication>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace {

// A stream's bytes, to write them out.
std::string_view Text(const TMemoryStream &stream) {
    return {reinterpret_cast<const char *>(stream.Memory()), std::size_t(stream.Size())};
}

struct Command {
    std::string_view name;
    std::string_view parameters;
    std::string_view summary;
    // How many arguments it takes; options after them are the command's own to check.
    std::size_t argumentCount;
    bool takesOptions;
    std::function<void(Arguments)> run;
};

void Compress(Arguments arguments) {
    TMemoryStream source;
    source.LoadFromFile(arguments[0]);
    TMemoryStream destination;
    if (std::make_unique<TFastCompress>()->CompressStream(source, destination) < 0)
        throw ToolError("cannot compress " + std::string(arguments[0]));
    WriteOutput(arguments[1], Text(destination));
}

void Decompress(Arguments arguments) {
    TMemoryStream source;
    source.LoadFromFile(arguments[0]);
    TMemoryStream destination;
    const std::int64_t result =
        std::make_unique<TFastCompress>()->DecompressStream(source, destination);
    if (result < 0)
        throw ToolError(std::string(arguments[0]) + ": malformed block near byte " +
                        std::to_string(source.Position()));
    // A non-empty stream decodes to something unless a frame's length runs past its end.
    if (result == 0 && source.Size() > 0)
        throw ToolError(std::string(arguments[0]) + ": frame length exceeds the stream near byte " +
                        std::to_string(std::max<std::int64_t>(source.Position() - 2, 0)));
    WriteOutput(arguments[1], Text(destination));
}

// A network file (by its magic) gives the component stream inside it; anything else is taken
// for a bare component stream.
TMemoryStream LoadStream(const std::string &fileName) {
    TMemoryStream source;
    source.LoadFromFile(fileName);
    std::uint8_t magic = 0;
    if (source.Read(&magic, 1) == 1 && magic == 0x11) return NetworkFileStream(source);
    source.Seek(0);
    return source;
}

bool IsNetworkFileName(std::string_view name) {
    if (name.size() < 4) return false;
    std::string extension(name.substr(name.size() - 4));
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".ztr";
}

} // namespace

void WithMainWindow(const std::function<void(TFormZentaroMain &)> &body) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "ztrtool";
    char *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    TFormZentaroMain mainWindow(nullptr);
    // No one is there to answer a report dialog: an error an event handler raises fails the tool.
    std::string failure;
    mainWindow.ApplicationEvents->OnException = [&failure](TComponent *, std::exception_ptr error) {
        if (failure.empty()) failure = ExceptionMessage(error);
    };
    mainWindow.Show();
    body(mainWindow);
    if (!failure.empty()) throw ToolError(failure);
}

TFormZentaroChild *OpenNetworkFile(TFormZentaroMain &mainWindow, const std::string &fileName,
                                   bool storedDelays) {
    try {
        return storedDelays ? mainWindow.LoadNetworkWindow(fileName)
                            : mainWindow.OpenNetworkWindow(fileName);
    } catch (const EReadError &error) {
        throw ToolError(fileName + ": stream byte " + std::to_string(error.Offset) + ": " +
                        error.what());
    }
}

namespace {

void Check(Arguments arguments) {
    WithMainWindow([&](TFormZentaroMain &mainWindow) {
        OpenNetworkFile(mainWindow, arguments[0]);
        std::printf("ok\n");
    });
}

void Resave(Arguments arguments) {
    WithMainWindow([&](TFormZentaroMain &mainWindow) {
        TFormZentaroChild *window = mainWindow.OpenNetworkWindow(arguments[0]);
        WriteOutput(arguments[1], Text(NetworkFileImage(*window)));
    });
}

void Dump(Arguments arguments) {
    TMemoryStream source = LoadStream(arguments[0]);
    std::string text;
    try {
        text = ObjectBinaryToText(source);
    } catch (const EReadError &error) {
        throw ToolError(std::string(arguments[0]) + ": byte " + std::to_string(error.Offset) +
                        ": " + error.what());
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
    destination.Seek(0);
    if (IsNetworkFileName(arguments[1]))
        NetworkFileImage(destination).SaveToFile(arguments[1]);
    else
        WriteOutput(arguments[1], Text(destination));
}

const Command Commands[] = {
    {"compress", "IN OUT", "compress raw bytes into framed blocks", 2, false, Compress},
    {"decompress", "IN OUT", "decompress framed blocks into raw bytes", 2, false, Decompress},
    {"dump", "STREAM", "print a component stream or a network file (.ZTR) as text", 1, false, Dump},
    {"pack", "TEXT STREAM", "write the stream of a text, as a network file when named .ZTR", 2,
     false, Pack},
    {"check", "FILE.ZTR", "load a network file as the program does: ok, or why not", 1, false,
     Check},
    {"resave", "IN OUT", "load a network file and save it again as the program does", 2, false,
     Resave},
    {"render", "FILE.ZTR OUT.svg|OUT.png [--active]",
     "draw the network as its window shows it, or running", 2, true, Render},
    {"test", "FILE.ZTR TABLE [--settle MS] [--clock MS]",
     "check a network against a truth table\n"
     "      settled: no output changed for MS (default 2 x the longest delay, at most 60000); a "
     "row\n"
     "      fails unsettled after (ports + 100) x MS (at most 10^7); --clock MS: every clock's "
     "delay",
     2, true, TestTable},
    {"run", "FILE.ZTR --for MS [OPTIONS]",
     "run a network in virtual time, writing waveforms (run --help)", 1, true, Run},
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
        if (command.takesOptions ? arguments.size() < command.argumentCount
                                 : arguments.size() != command.argumentCount) {
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
    std::fprintf(stderr, "ztrtool: unknown command \"%.*s\" (try --help)\n", int(name.size()),
                 name.data());
    return 1;
}
