// ztrtool synth: a network file built from expressions or a truth table, through their minimal
// sums of products (sim/Minimize.h) and the planner of sim/Synthesis.h.

#include "ZtrTool.h"

#include "ToolOutputs.h"

#include "Util.h"
#include "app/Main.h"
#include "document/FChild.h"
#include "document/SynthesisBuild.h"
#include "sim/BoolExpr.h"
#include "sim/Minimize.h"
#include "sim/Synthesis.h"
#include "sim/TruthTable.h"
#include "stream/MemoryStream.h"
#include "stream/WholeFile.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// As ztrtool test reads tables; expressions are typed on the command line.
constexpr std::int64_t MaxTableSize = 16 << 20;

struct TFunctions {
    std::vector<std::string> Inputs, Outputs;
    std::vector<TCover> Sums;
};

ToolError Refusal(const std::string &reason) {
    return ToolError("synth: " + reason);
}

std::string Plural(std::size_t count, const char *what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

void CheckInputCount(std::size_t inputs) {
    if (inputs > std::size_t(MaxMinimizeInputs))
        throw Refusal(Plural(inputs, "input") + ": at most " + std::to_string(MaxMinimizeInputs));
}

TRowSet NoRows(std::size_t inputs) {
    return TRowSet(((std::size_t(1) << inputs) + 63) / 64, 0);
}

void SetRow(TRowSet &rows, std::size_t row) {
    rows[row / 64] |= std::uint64_t(1) << (row % 64);
}

bool HasRow(const TRowSet &rows, std::size_t row) {
    return rows[row / 64] >> (row % 64) & 1;
}

TFunctions FromExpressions(std::string_view text) {
    TExpressionSet set;
    try {
        set = ParseExpressions(text);
    } catch (const EExpressionError &error) {
        throw Refusal(error.what());
    }
    CheckInputCount(set.Inputs.size());
    const std::vector<TRowSet> rows = ExpressionRows(set);
    TFunctions functions{set.Inputs, {}, {}};
    for (std::size_t o = 0; o < set.Outputs.size(); ++o) {
        functions.Outputs.push_back(set.Outputs[o].Name);
        functions.Sums.push_back(MinimalSumOfProducts(int(set.Inputs.size()), rows[o]));
    }
    return functions;
}

// Rows the table leaves out and outputs it gives as X may go either way.
TFunctions FromTable(const std::string &fileName) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(fileName, MaxTableSize);
    TTruthTable table;
    try {
        table = ParseTruthTable(
            std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    } catch (const ETruthTableError &error) {
        throw Refusal(fileName + ": " + error.what());
    }
    const std::size_t inputs = table.Inputs.size();
    CheckInputCount(inputs);
    const auto lineError = [&fileName](int line, const std::string &reason) {
        return Refusal(fileName + ": line " + std::to_string(line) + ": " + reason);
    };
    std::vector<TRowSet> on(table.Outputs.size(), NoRows(inputs)),
        off(table.Outputs.size(), NoRows(inputs));
    for (const TTableRow &row : table.Rows) {
        std::size_t index = 0;
        for (const TTableValue value : row.Inputs) {
            if (value != TTableValue::Low && value != TTableValue::High)
                throw lineError(row.Line, "C (a pulse) has no place in the table of a function");
            index = index * 2 + (value == TTableValue::High);
        }
        for (std::size_t o = 0; o < row.Outputs.size(); ++o) {
            const TTableValue value = row.Outputs[o];
            if (value == TTableValue::Pulse) throw lineError(row.Line, "an output cannot be C");
            if (value == TTableValue::DontCare) continue;
            TRowSet &set = value == TTableValue::High ? on[o] : off[o];
            if (HasRow(value == TTableValue::High ? off[o] : on[o], index))
                throw lineError(row.Line, table.Outputs[o] + " differs from an earlier row");
            SetRow(set, index);
        }
    }
    TFunctions functions{table.Inputs, table.Outputs, {}};
    for (std::size_t o = 0; o < table.Outputs.size(); ++o) {
        TRowSet dontCare(on[o].size());
        for (std::size_t w = 0; w < dontCare.size(); ++w)
            dontCare[w] = ~(on[o][w] | off[o][w]);
        // Rows past the last one are none of the function's.
        if (inputs < 6) dontCare[0] &= (std::uint64_t(1) << (std::size_t(1) << inputs)) - 1;
        functions.Sums.push_back(MinimalSumOfProducts(int(inputs), on[o], dontCare));
    }
    return functions;
}

constexpr TOptionSpec Options[] = {
    {"--expr", "TEXT", "the outputs as expressions: \"S = A ^ B; C = A & B\""},
    {"--table", "FILE", "the outputs as a truth table, as ztrtool test reads it"},
    {"--nand", "", "NAND gates only (an inverter is a NAND with both inputs tied)"},
};

} // namespace

const TCommandSpec SynthCommand{
    "synth",
    "OUT.ZTR (--expr TEXT | --table FILE) [--nand]",
    "build a network file from expressions or a truth table",
    1,
    "Builds a network from each output's minimal sum of products: a pulse switch per input and\n"
    "a lamp per output, named as given, two-input AND and OR gates and NOT gates between them\n"
    "(shared where equal), laid out left to right. Expressions: NAME = expression, apart by ;\n"
    "or line ends, with ! (not), & (and), ^ (xor), | (or) from the tightest, parentheses, 0\n"
    "and 1 (also ~, *, + and ' after a name). A table's rows not given and its X outputs may\n"
    "go either way; C is refused. A lamp of the constant 0 is left unwired; a 1 comes from a\n"
    "NOT gate with its input unwired.",
    Options,
    "At most 24 inputs; names are letters, digits and _ (not first), at most 63 characters,\n"
    "none a part of the network window; the gates are LogPort and the next number no given\n"
    "name has. Prints each output's sum as built; OUT.ZTR is written only when everything\n"
    "succeeded."};

namespace {

void Build(const TCommandLine &line) {
    const std::string outputFile = line.Arguments[0];
    std::optional<std::string> expressions, tableFile;
    TSynthesisGates gates = TSynthesisGates::AndOr;
    for (const auto &[option, value] : line.Options) {
        if (option == "--expr")
            expressions = value;
        else if (option == "--table")
            tableFile = value;
        else
            gates = TSynthesisGates::Nand;
    }
    if (expressions.has_value() == tableFile.has_value())
        throw Refusal("give either --expr or --table (try ztrtool synth --help)");
    TToolOutputs output;
    output.Add({}, outputFile);

    const TFunctions functions =
        expressions ? FromExpressions(*expressions) : FromTable(*tableFile);
    TSynthesisPlan plan;
    try {
        plan = PlanNetwork(functions.Inputs, functions.Outputs, functions.Sums, gates);
    } catch (const ESynthesisError &error) {
        throw Refusal(error.what());
    }
    std::string bytes;
    WithMainWindow([&](TFormZentaroMain &mainWindow) {
        mainWindow.BtnNewClick(&mainWindow);
        auto *window = dynamic_cast<TFormZentaroChild *>(mainWindow.ActiveMDIChild());
        if (!window) throw Refusal("no network window to build in");
        BuildNetwork(*window, plan);
        const TMemoryStream image = NetworkFileImage(*window);
        bytes.assign(reinterpret_cast<const char *>(image.Memory()), std::size_t(image.Size()));
    });
    const std::string_view contents = bytes;
    output.Write(std::span(&contents, 1));
    // What was built, as expressions that --expr reads back.
    for (std::size_t o = 0; o < functions.Outputs.size(); ++o)
        std::printf("%s = %s%s\n", functions.Outputs[o].c_str(),
                    FormatSum(functions.Sums[o], functions.Inputs).c_str(),
                    functions.Sums[o].Exact ? "" : "  # not proven minimal");
    if (std::fflush(stdout) != 0) throw Refusal("cannot write to standard output");
}

} // namespace

void Synth(const TCommandLine &line) {
    try {
        Build(line);
    } catch (const std::exception &error) {
        // Every reason is the command's, whichever layer gave it.
        const std::string message = error.what();
        if (message.starts_with("synth: ")) throw;
        throw ToolError("synth: " + message);
    }
}
