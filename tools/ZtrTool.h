#pragma once

// What the commands of ztrtool share. Each command lives in a file of its own and is one row of
// the table in ztrtool.cpp; a failure raises ToolError (or any exception) and prints one line.

#include "sim/Network.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TFormZentaroChild;
class TFormZentaroMain;

using Arguments = std::span<char *const>;

// Failures a user can act on; the message is printed as it stands and the tool exits with Status.
class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string &message, int status = 1)
        : std::runtime_error(message), Status(status) {}
    int Status;
};

// Runs body with the program's main window on the offscreen platform: network files open in it
// as they do in the program.
void WithMainWindow(const std::function<void(TFormZentaroMain &)> &body);
// Opens a network file in the main window as the program does; with storedDelays the clocks keep
// the delays the file gives them. A file that does not read raises ToolError naming it, and the
// stream byte where it fails when there is one.
TFormZentaroChild *OpenNetworkFile(TFormZentaroMain &mainWindow, const std::string &fileName,
                                   bool storedDelays = false);

// Reads a network file straight into the headless model, refusing whatever the window refuses,
// with the same messages as OpenNetworkFile for faults of the file.
TSimNetwork LoadNetworkModel(const std::string &fileName);

// One option of a command, as its --help lists it.
struct TOptionSpec {
    std::string_view Name;  // with its dashes: "--for", or "-j" (also written -j4)
    std::string_view Value; // what it takes ("MS"); empty for a flag
    std::string_view Help;  // a '\n' starts a further line
    bool Repeatable = false;
};

// A command: its arguments, then its options, as `ztrtool --help` and its own --help show them.
struct TCommandSpec {
    std::string_view Name;
    std::string_view Parameters; // "FILE.ZTR TABLE [OPTIONS]"
    std::string_view Summary;    // one line for ztrtool --help
    std::size_t ArgumentCount;   // the least, with MoreArguments
    std::string_view About = {}; // its --help before the options (empty: the summary)
    std::span<const TOptionSpec> Options = {};
    std::string_view Notes = {}; // its --help after the options: the limits
    bool MoreArguments = false;  // takes any number of arguments past ArgumentCount
};

// The command line after the command's name.
struct TCommandLine {
    std::vector<std::string> Arguments;
    // In the order given; a flag's value is empty.
    std::vector<std::pair<std::string_view, std::string>> Options;
};

// The command's --help: usage, what it does, the options aligned, the limits.
std::string CommandHelp(const TCommandSpec &command);
// Splits the words after the command's name into its arguments and options, each option written
// `--name value` or `--name=value` (a short one `-j value` or `-jvalue`). Raises ToolError, naming
// the command and pointing at its --help, for too few or too many arguments, an option before them,
// an unknown option, a missing value (a separate value cannot start with "--"), a value given to a
// flag, and an option given twice that is not Repeatable.
TCommandLine ParseCommandLine(const TCommandSpec &command, Arguments words);
// A whole number of milliseconds from least to most, or a ToolError naming the option.
std::int64_t Milliseconds(std::string_view option, std::string_view text, std::int64_t least,
                          std::int64_t most);
// Whether a name ends in .ZTR, in any case.
bool IsNetworkFileName(std::string_view name);
// The longest delay a clock may be given, and the latest time a run may reach.
constexpr std::int64_t MaxMilliseconds = 2147483647;
// The names of a comma-separated list, or a ToolError naming the option for an empty one.
std::vector<std::string> NameList(std::string_view option, std::string_view list);

// ztrtool render FILE.ZTR OUT.svg|OUT.png [OPTIONS]: the network's drawing area as a picture,
// while editing or running.
extern const TCommandSpec RenderCommand;
void Render(const TCommandLine &line);
// ztrtool test TABLE FILE.ZTR|FOLDER... [OPTIONS]: networks against a truth table, each in a
// worker process; ztrtool test FILE.ZTR TABLE [--settle MS] [--clock MS]: one network.
extern const TCommandSpec TestCommand;
void TestTables(Arguments words);
// The one network of a command line in the older order, checked in this process.
void TestTable(const TCommandLine &line);
// The batch, given the table and the files or folders.
void TestBatch(const std::string &tableFile, std::span<const std::string> paths,
               const TCommandLine &line);
// ztrtool run FILE.ZTR --for MS [OPTIONS]: the network in virtual time, writing waveforms.
extern const TCommandSpec RunCommand;
void Run(const TCommandLine &line);
// ztrtool analyze FILE.ZTR [OPTIONS]: what a network without memory computes.
extern const TCommandSpec AnalyzeCommand;
void Analyze(const TCommandLine &line);
// ztrtool synth OUT.ZTR (--expr TEXT | --table FILE) [--nand]: a network built from functions.
extern const TCommandSpec SynthCommand;
void Synth(const TCommandLine &line);
