// ztrtool analyze: what a network without memory computes (sim/Combinational.h), as a truth table
// or minimal expressions.

#include "ZtrTool.h"

#include "sim/BoolExpr.h"
#include "sim/Combinational.h"
#include "sim/Minimize.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace {

constexpr TOptionSpec Options[] = {
    {"--inputs", "A,B,..",
     "the inputs, pulse switches, the first the most significant\n"
     "(default: every pulse switch, in the window's order)"},
    {"--outputs", "S,..", "the outputs, any ports (default: every lamp, in the window's order)"},
    {"--table", "", "print the truth table (the default)"},
    {"--expr", "", "print a minimal sum of products per output: S = A & !B | C"},
    {"--pos", "", "print a minimal product of sums per output: S = (A | B) & (!C)"},
};

void Write(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        throw ToolError("cannot write to standard output");
}

void WriteExpressions(const TNetworkFunction &function, bool sum) {
    const int n = int(function.Inputs.size());
    for (std::size_t o = 0; o < function.Outputs.size(); ++o) {
        const TCover cover = sum ? MinimalSumOfProducts(n, function.Rows[o])
                                 : MinimalProductOfSums(n, function.Rows[o]);
        Write(function.Outputs[o] + " = " +
              (sum ? FormatSum(cover, function.Inputs) : FormatProduct(cover, function.Inputs)) +
              (cover.Exact ? "" : " (heuristic)") + "\n");
    }
}

} // namespace

const TCommandSpec AnalyzeCommand{
    "analyze",
    "FILE.ZTR [OPTIONS]",
    "print what a network without memory computes: truth table, minimal expressions",
    1,
    "Prints the settled levels of a network's outputs for every combination of its inputs,\n"
    "evaluated 64 rows at a time. The table is what ztrtool test reads: a header \"A B | S C\",\n"
    "then a row per combination in binary counting order, the first input the most\n"
    "significant. The ports each output depends on (following the A and B wires back to the\n"
    "inputs) must hold no flip-flop, no clock and no loop; a port input not wired reads 0 and a\n"
    "pulse switch that is not an input reads 0, as at the start of a run. With several of\n"
    "--table, --expr and --pos, each part follows the one before after a blank line.",
    Options,
    "At most 24 inputs (2^24 rows). Expressions are exact (fewest products, then fewest\n"
    "literals) up to 12 inputs; beyond, a heuristic chooses them and the line ends\n"
    "\" (heuristic)\". Refusals print one line naming the cause (\"LogPort7 is a D flip-flop\")."};

void Analyze(const TCommandLine &line) {
    std::vector<std::string> inputs, outputs;
    bool table = false, sum = false, product = false;
    for (const auto &[option, value] : line.Options) {
        if (option == "--inputs")
            inputs = NameList(option, value);
        else if (option == "--outputs")
            outputs = NameList(option, value);
        else
            (option == "--table" ? table : option == "--expr" ? sum : product) = true;
    }
    if (!sum && !product) table = true;

    const TSimNetwork network = LoadNetworkModel(line.Arguments[0]);
    TNetworkFunction function;
    try {
        function = AnalyzeNetwork(network, inputs, outputs);
    } catch (const EAnalysisError &error) {
        throw ToolError(std::string("analyze: ") + error.what());
    }
    if (table) WriteTruthTable(function, Write);
    if (sum) {
        if (table) Write("\n");
        WriteExpressions(function, true);
    }
    if (product) {
        if (table || sum) Write("\n");
        WriteExpressions(function, false);
    }
    if (std::fflush(stdout) != 0) throw ToolError("cannot write to standard output");
}
