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
#include "document/SimSnapshot.h"
#include "sim/NetworkLoad.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TextForm.h"
#include "stream/Values.h"

#include <QApplication>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

// A stream's bytes, to write them out.
std::string_view Text(const TMemoryStream &stream) {
    return {reinterpret_cast<const char *>(stream.Memory()), std::size_t(stream.Size())};
}

using Files = std::vector<std::string>;

void Compress(const Files &arguments) {
    TMemoryStream source;
    source.LoadFromFile(arguments[0]);
    TMemoryStream destination;
    if (std::make_unique<TFastCompress>()->CompressStream(source, destination) < 0)
        throw ToolError("cannot compress " + std::string(arguments[0]));
    WriteOutput(arguments[1], Text(destination));
}

void Decompress(const Files &arguments) {
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

// A stream that does not read: its file, the stream byte where it fails if known, the fault.
std::string ReadErrorText(const std::string &fileName, const EReadError &error) {
    return fileName + ": " +
           (error.Offset >= 0 ? "stream byte " + std::to_string(error.Offset) + ": " : "") +
           error.what();
}

} // namespace

bool IsNetworkFileName(std::string_view name) {
    if (name.size() < 4) return false;
    std::string extension(name.substr(name.size() - 4));
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".ztr";
}

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

namespace {

// Loads a network file, giving its faults as tool errors that name the file.
template <typename Load> auto LoadNamingFile(const std::string &fileName, Load &&load) {
    try {
        return load();
    } catch (const EReadError &error) {
        throw ToolError(ReadErrorText(fileName, error));
    } catch (const EStreamError &error) {
        // Faults of the file as a whole; the ones found inside it do not name it.
        const std::string message = error.what();
        if (message.find('"' + fileName + '"') != std::string::npos) throw;
        throw ToolError(fileName + ": " + message);
    }
}

} // namespace

TFormZentaroChild *OpenNetworkFile(TFormZentaroMain &mainWindow, const std::string &fileName,
                                   bool storedDelays) {
    return LoadNamingFile(fileName, [&] {
        return storedDelays ? mainWindow.LoadNetworkWindow(fileName)
                            : mainWindow.OpenNetworkWindow(fileName);
    });
}

TSimNetwork LoadNetworkModel(const std::string &fileName) {
    // The forms a tool's process holds while the window's load reads a file.
    const auto nameTaken = [](std::string_view name) {
        return SameText(name, "FormZentaroMain") || SameText(name, "FormZentaroChild");
    };
    return LoadNamingFile(
        fileName, [&] { return LoadSimNetworkFile(fileName, NetworkWindowSchema(nameTaken)); });
}

namespace {

void Check(const Files &arguments) {
    WithMainWindow([&](TFormZentaroMain &mainWindow) {
        OpenNetworkFile(mainWindow, arguments[0]);
        std::printf("ok\n");
    });
}

void Resave(const Files &arguments) {
    WithMainWindow([&](TFormZentaroMain &mainWindow) {
        TFormZentaroChild *window = mainWindow.OpenNetworkWindow(arguments[0]);
        WriteOutput(arguments[1], Text(NetworkFileImage(*window)));
    });
}

void Dump(const Files &arguments) {
    TMemoryStream source = LoadStream(arguments[0]);
    std::string text;
    try {
        text = ObjectBinaryToText(source);
    } catch (const EReadError &error) {
        throw ToolError(ReadErrorText(arguments[0], error));
    }
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw ToolError("cannot write the text to standard output");
}

void Pack(const Files &arguments) {
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

const TCommandSpec CompressCommand{"compress", "IN OUT", "compress raw bytes into framed blocks",
                                   2};
const TCommandSpec DecompressCommand{"decompress", "IN OUT",
                                     "decompress framed blocks into raw bytes", 2};
const TCommandSpec DumpCommand{"dump", "STREAM",
                               "print a component stream or a network file (.ZTR) as text", 1};
const TCommandSpec PackCommand{"pack", "TEXT STREAM",
                               "write a text's stream, as a network file when named .ZTR", 2};
const TCommandSpec CheckCommand{"check", "FILE.ZTR",
                                "load a network file as the program does: ok, or why not", 1};
const TCommandSpec ResaveCommand{"resave", "IN OUT",
                                 "load a network file and save it again as the program does", 2};

struct Command {
    const TCommandSpec *spec;
    std::function<void(const TCommandLine &)> run;
    // Instead of run, for a command that reads its words itself.
    std::function<void(Arguments)> runWords = {};
};

const Command Commands[] = {
    {&CompressCommand, [](const TCommandLine &line) { Compress(line.Arguments); }},
    {&DecompressCommand, [](const TCommandLine &line) { Decompress(line.Arguments); }},
    {&DumpCommand, [](const TCommandLine &line) { Dump(line.Arguments); }},
    {&PackCommand, [](const TCommandLine &line) { Pack(line.Arguments); }},
    {&CheckCommand, [](const TCommandLine &line) { Check(line.Arguments); }},
    {&ResaveCommand, [](const TCommandLine &line) { Resave(line.Arguments); }},
    {&RenderCommand, Render},
    {&TestCommand, nullptr, TestTables},
    {&RunCommand, Run},
    {&AnalyzeCommand, Analyze},
    {&SynthCommand, Synth},
};

void PrintUsage(std::FILE *to) {
    int nameWidth = 0, parametersWidth = 0;
    for (const Command &command : Commands) {
        nameWidth = std::max(nameWidth, int(command.spec->Name.size()));
        parametersWidth = std::max(parametersWidth, int(command.spec->Parameters.size()));
    }
    std::fprintf(to, "usage: ztrtool COMMAND ARGUMENTS (ztrtool COMMAND --help: its options)\n");
    for (const Command &command : Commands) {
        const TCommandSpec &spec = *command.spec;
        std::fprintf(to, "  %-*.*s %-*.*s %.*s\n", nameWidth, int(spec.Name.size()),
                     spec.Name.data(), parametersWidth, int(spec.Parameters.size()),
                     spec.Parameters.data(), int(spec.Summary.size()), spec.Summary.data());
    }
}

// Where the command's own text points a user who got it wrong.
std::string TryHelp(const TCommandSpec &command) {
    return " (try ztrtool " + std::string(command.Name) + " --help)";
}

} // namespace

std::string CommandHelp(const TCommandSpec &command) {
    std::string help = "usage: ztrtool " + std::string(command.Name) + " " +
                       std::string(command.Parameters) + "\n";
    if (command.About.empty()) {
        std::string summary(command.Summary);
        summary[0] = char(std::toupper(static_cast<unsigned char>(summary[0])));
        help += summary + ".\n";
    } else {
        help += std::string(command.About) + "\n";
    }
    // The descriptions start in one column, two spaces after the longest option.
    std::size_t width = 18;
    for (const TOptionSpec &option : command.Options)
        width = std::max(width, option.Name.size() + 1 + option.Value.size());
    for (const TOptionSpec &option : command.Options) {
        std::string first(option.Name);
        if (!option.Value.empty()) first.append(" ").append(option.Value);
        std::string_view text = option.Help;
        for (bool firstLine = true; firstLine || !text.empty(); firstLine = false) {
            const std::size_t end = std::min(text.find('\n'), text.size());
            help += "  " + (firstLine ? first : std::string()) +
                    std::string(width + 2 - (firstLine ? first.size() : 0), ' ') +
                    std::string(text.substr(0, end)) + "\n";
            text.remove_prefix(std::min(end + 1, text.size()));
        }
    }
    if (!command.Notes.empty()) help += std::string(command.Notes) + "\n";
    return help;
}

TCommandLine ParseCommandLine(const TCommandSpec &command, Arguments words) {
    const std::string name(command.Name);
    TCommandLine line;
    // A word starting with a short option's name is that option: "-j" or "-j4".
    const auto shortOption = [&](std::string_view word) {
        return std::find_if(command.Options.begin(), command.Options.end(),
                            [&](const TOptionSpec &option) {
                                return option.Name.size() == 2 && option.Name[0] == '-' &&
                                       option.Name[1] != '-' && word.starts_with(option.Name);
                            });
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string_view word = words[i];
        std::optional<std::string_view> value;
        if (const auto found = shortOption(word); found != command.Options.end()) {
            if (word.size() > 2) value = word.substr(2);
            word = found->Name;
        } else if (!word.starts_with("--")) {
            if ((line.Arguments.size() >= command.ArgumentCount && !command.MoreArguments) ||
                !line.Options.empty())
                throw ToolError(name + ": unexpected argument \"" + std::string(word) + "\"" +
                                TryHelp(command));
            line.Arguments.emplace_back(word);
            continue;
        }
        if (line.Arguments.size() < command.ArgumentCount) break;
        if (const std::size_t equals = word.find('='); !value && equals != std::string_view::npos) {
            value = word.substr(equals + 1);
            word = word.substr(0, equals);
        }
        const auto spec =
            std::find_if(command.Options.begin(), command.Options.end(),
                         [&](const TOptionSpec &option) { return option.Name == word; });
        if (spec == command.Options.end())
            throw ToolError(name + ": unknown option \"" + std::string(word) + "\"" +
                            TryHelp(command));
        if (!spec->Repeatable)
            for (const auto &given : line.Options)
                if (given.first == spec->Name)
                    throw ToolError(name + ": " + std::string(word) + " is given twice" +
                                    TryHelp(command));
        if (spec->Value.empty()) {
            if (value)
                throw ToolError(name + ": " + std::string(word) + " takes no value" +
                                TryHelp(command));
        } else {
            if (!value && i + 1 < words.size() && !std::string_view(words[i + 1]).starts_with("--"))
                value = words[++i];
            if (!value || value->empty())
                throw ToolError(name + ": " + std::string(word) + " needs a value (" +
                                std::string(word) + " " + std::string(spec->Value) + ")");
        }
        line.Options.emplace_back(spec->Name, value.value_or(""));
    }
    if (line.Arguments.size() < command.ArgumentCount)
        throw ToolError("usage: ztrtool " + name + " " + std::string(command.Parameters) +
                        TryHelp(command));
    return line;
}

std::int64_t Milliseconds(std::string_view option, std::string_view text, std::int64_t least,
                          std::int64_t most) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] == '+' || error != std::errc() ||
        end != text.data() + text.size() || value < least || value > most)
        throw ToolError(std::string(option) + ": \"" + std::string(text) +
                        "\" is not a whole number of milliseconds from " + std::to_string(least) +
                        " to " + std::to_string(most));
    return value;
}

std::vector<std::string> NameList(std::string_view option, std::string_view list) {
    std::vector<std::string> names;
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        if (end == at)
            throw ToolError(std::string(option) + ": an empty name in \"" + std::string(list) +
                            "\"");
        names.emplace_back(list.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

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
        if (command.spec->Name != name) continue;
        const Arguments words = all.subspan(2);
        if (std::find_if(words.begin(), words.end(), [](const char *word) {
                return std::string_view(word) == "--help" || std::string_view(word) == "-h";
            }) != words.end()) {
            const std::string help = CommandHelp(*command.spec);
            std::fputs(help.c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        try {
            if (command.runWords)
                command.runWords(words);
            else
                command.run(ParseCommandLine(*command.spec, words));
            return 0;
        } catch (const ToolError &error) {
            std::fprintf(stderr, "ztrtool: %s\n", error.what());
            return error.Status;
        } catch (const std::exception &error) {
            std::fprintf(stderr, "ztrtool: %s\n", error.what());
            return 1;
        }
    }
    std::fprintf(stderr, "ztrtool: unknown command \"%.*s\" (try --help)\n", int(name.size()),
                 name.data());
    return 1;
}
