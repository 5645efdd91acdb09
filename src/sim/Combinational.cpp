#include "Combinational.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

using enum TLogicalPortType;

// A name as a one-line message shows it: control bytes escaped, at most 40 bytes.
std::string Shown(std::string_view name) {
    std::string text;
    for (const char c : name.substr(0, 40)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return name.size() > 40 ? text + "..." : text;
}

std::string PortName(const TSimNetwork &network, int port) {
    return std::size_t(port) < network.Names.size() ? Shown(network.Names[std::size_t(port)])
                                                    : "port " + std::to_string(port);
}

// The port wired to an input, or -1 when none is (an index outside the network counts as none).
int Source(const TSimNetwork &network, std::int32_t wire) {
    return wire >= 0 && std::size_t(wire) < network.Ports.size() ? wire : -1;
}

std::vector<int> Resolve(const TSimNetwork &network, const std::vector<std::string> &names,
                         const char *role) {
    std::vector<int> ports;
    std::vector<bool> named(network.Ports.size());
    for (const std::string &name : names) {
        const int port = network.Find(name);
        if (port < 0 || std::size_t(port) >= named.size())
            throw EAnalysisError("no port named " + Shown(name));
        if (named[std::size_t(port)])
            throw EAnalysisError(Shown(name) + " is named twice as an " + role);
        named[std::size_t(port)] = true;
        ports.push_back(port);
    }
    return ports;
}

std::vector<int> PortsOfKind(const TSimNetwork &network, TLogicalPortType kind) {
    std::vector<int> ports;
    for (std::size_t i = 0; i < network.Ports.size(); ++i)
        if (network.Ports[i].Kind == kind) ports.push_back(int(i));
    return ports;
}

// One evaluation of the flat program: a port of a cone, reading two values by slot.
struct TStep {
    TLogicalPortType Kind;
    std::uint32_t A, B;
};

// Slots of the values: the constants, the inputs, then the steps in order.
constexpr std::uint32_t ZeroSlot = 0, OneSlot = 1, FirstInputSlot = 2;

// The cones of the outputs as steps in dependency order; slotOf receives each output's slot.
// Pulse switches not chosen as inputs are constants; anything with memory, a clock or a loop in
// a cone is refused.
std::vector<TStep> Compile(const TSimNetwork &network, const std::vector<int> &inputs,
                           const std::vector<int> &outputs, std::vector<std::uint32_t> &slotOf) {
    const std::size_t count = network.Ports.size();
    constexpr std::uint32_t Unvisited = UINT32_MAX, OnPath = UINT32_MAX - 1;
    std::vector<std::uint32_t> slot(count, Unvisited);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        slot[std::size_t(inputs[i])] = FirstInputSlot + std::uint32_t(i);
    const std::uint32_t firstStepSlot = FirstInputSlot + std::uint32_t(inputs.size());
    std::vector<TStep> steps;

    // Depth first without recursion, so a long chain of gates cannot exhaust the stack; a port
    // gets its slot once both of its sources have theirs.
    struct TFrame {
        int Port;
        int Next; // 0: A, 1: B, 2: done
    };
    std::vector<TFrame> path;
    const auto enter = [&](int port) {
        const TSimPort &p = network.Ports[std::size_t(port)];
        switch (p.Kind) {
        case logFFD:
            throw EAnalysisError(PortName(network, port) + " is a D flip-flop");
        case logFFJK:
            throw EAnalysisError(PortName(network, port) + " is a JK flip-flop");
        case logCLK:
            throw EAnalysisError(PortName(network, port) + " is a clock");
        case logPLS:
            // A switch that is not an input keeps the level it has: a constant of the function.
            slot[std::size_t(port)] = p.Levels.Output ? OneSlot : ZeroSlot;
            return;
        default:
            slot[std::size_t(port)] = OnPath;
            path.push_back({port, 0});
        }
    };
    const auto slotOfSource = [&](std::int32_t wire) {
        const int source = Source(network, wire);
        // Not wired: reads 0, as in a run.
        return source < 0 ? ZeroSlot : slot[std::size_t(source)];
    };

    for (const int output : outputs) {
        if (slot[std::size_t(output)] == Unvisited) enter(output);
        while (!path.empty()) {
            TFrame &frame = path.back();
            const TSimPort &port = network.Ports[std::size_t(frame.Port)];
            if (frame.Next == 2 || (frame.Next == 1 && !ReadsInputB(port.Kind))) {
                steps.push_back({port.Kind, slotOfSource(port.InA), slotOfSource(port.InB)});
                if (!ReadsInputB(port.Kind)) steps.back().B = ZeroSlot;
                slot[std::size_t(frame.Port)] = firstStepSlot + std::uint32_t(steps.size() - 1);
                path.pop_back();
                continue;
            }
            const int source = Source(network, frame.Next++ == 0 ? port.InA : port.InB);
            if (source < 0) continue;
            if (slot[std::size_t(source)] == OnPath) {
                // The loop in the direction the levels flow, from the port seen first.
                std::string loop = PortName(network, source);
                for (auto at = path.rbegin(); at != path.rend() && at->Port != source; ++at)
                    loop += " \u2192 " + PortName(network, at->Port);
                throw EAnalysisError(loop + " \u2192 " + PortName(network, source) + " is a loop");
            }
            if (slot[std::size_t(source)] == Unvisited) enter(source);
        }
        slotOf.push_back(slot[std::size_t(output)]);
    }
    return steps;
}

// An input whose bit of the row number is below 6 changes within a word, alike in every word.
constexpr std::array<std::uint64_t, 6> InWordPatterns = {
    0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull, 0xF0F0F0F0F0F0F0F0ull,
    0xFF00FF00FF00FF00ull, 0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};

// Words evaluated together by each step, so that the dispatch on the kind is paid once for
// several and the inner loops vectorise.
constexpr std::size_t Block = 8;

// One step over a block of words, through the rules' own word form; the kind is a constant, so
// the loop compiles to the bare operation.
template <TLogicalPortType Kind>
void RunBlock(std::uint64_t *out, const std::uint64_t *a, const std::uint64_t *b) {
    for (std::size_t k = 0; k < Block; ++k)
        out[k] = ComputeWord(Kind, a[k], b[k]);
}

void RunStep(TLogicalPortType kind, std::uint64_t *out, const std::uint64_t *a,
             const std::uint64_t *b) {
    switch (kind) {
    case logAND:
        return RunBlock<logAND>(out, a, b);
    case logOR:
        return RunBlock<logOR>(out, a, b);
    case logNOT:
        return RunBlock<logNOT>(out, a, b);
    case logXOR:
        return RunBlock<logXOR>(out, a, b);
    case logNAND:
        return RunBlock<logNAND>(out, a, b);
    case logNOR:
        return RunBlock<logNOR>(out, a, b);
    case logNXOR:
        return RunBlock<logNXOR>(out, a, b);
    default: // the lamp; Compile lets no other kind through
        return RunBlock<logLED>(out, a, b);
    }
}

} // namespace

TNetworkFunction AnalyzeNetwork(const TSimNetwork &network, const std::vector<std::string> &inputs,
                                const std::vector<std::string> &outputs) {
    const auto tooMany = [](std::size_t count) {
        return EAnalysisError(std::to_string(count) + " inputs: at most " +
                              std::to_string(MaxAnalysisInputs));
    };
    if (inputs.size() > std::size_t(MaxAnalysisInputs)) throw tooMany(inputs.size());
    const std::vector<int> inputPorts =
        inputs.empty() ? PortsOfKind(network, logPLS) : Resolve(network, inputs, "input");
    for (const int port : inputPorts)
        if (network.Ports[std::size_t(port)].Kind != logPLS)
            throw EAnalysisError(PortName(network, port) + " is an input but not a pulse switch");
    if (inputPorts.empty()) throw EAnalysisError("no inputs: the network has no pulse switches");
    if (inputPorts.size() > std::size_t(MaxAnalysisInputs)) throw tooMany(inputPorts.size());
    const std::vector<int> outputPorts =
        outputs.empty() ? PortsOfKind(network, logLED) : Resolve(network, outputs, "output");
    if (outputPorts.empty()) throw EAnalysisError("no outputs: the network has no lamps");

    std::vector<std::uint32_t> outputSlots;
    const std::vector<TStep> steps = Compile(network, inputPorts, outputPorts, outputSlots);

    TNetworkFunction function;
    const auto name = [&network](int port) {
        return std::size_t(port) < network.Names.size() ? network.Names[std::size_t(port)]
                                                        : PortName(network, port);
    };
    for (const int port : inputPorts)
        function.Inputs.push_back(name(port));
    for (const int port : outputPorts)
        function.Outputs.push_back(name(port));

    const int n = int(inputPorts.size());
    const std::size_t words = n >= 6 ? std::size_t(1) << (n - 6) : 1;
    // Fewer than 64 rows: the bits past the last row stay 0.
    const std::uint64_t mask = n >= 6 ? ~0ull : (1ull << (1u << n)) - 1;
    function.Rows.assign(outputPorts.size(), TRowSet(words, 0));

    const std::size_t firstStep = FirstInputSlot + inputPorts.size();
    std::vector<std::uint64_t> values((firstStep + steps.size()) * Block, 0);
    std::fill_n(values.begin() + OneSlot * Block, Block, ~0ull);
    for (std::size_t base = 0; base < words; base += Block) {
        for (int i = 0; i < n; ++i) {
            const int bit = n - 1 - i; // of the row number
            std::uint64_t *in = values.data() + (FirstInputSlot + std::size_t(i)) * Block;
            for (std::size_t k = 0; k < Block; ++k)
                in[k] = bit < 6 ? InWordPatterns[std::size_t(bit)]
                                : (((base + k) >> (bit - 6)) & 1 ? ~0ull : 0);
        }
        std::uint64_t *out = values.data() + firstStep * Block;
        for (const TStep &step : steps) {
            const std::uint64_t *a = values.data() + step.A * Block;
            const std::uint64_t *b = values.data() + step.B * Block;
            RunStep(step.Kind, out, a, b);
            out += Block;
        }
        for (std::size_t o = 0; o < outputSlots.size(); ++o)
            for (std::size_t k = 0; k < Block && base + k < words; ++k)
                function.Rows[o][base + k] = values[outputSlots[o] * Block + k] & mask;
    }
    return function;
}

void WriteTruthTable(const TNetworkFunction &function,
                     const std::function<void(std::string_view)> &write) {
    std::string header;
    for (const std::string &name : function.Inputs)
        header += name + ' ';
    header += '|';
    for (const std::string &name : function.Outputs)
        header += ' ' + name;
    header += '\n';
    write(header);

    const std::size_t n = function.Inputs.size();
    if (n >= 64) return;
    const std::size_t outputs = function.Outputs.size();
    // A row: the input levels with a space after each, "|", then a space before each output.
    const std::size_t width = 2 * n + 1 + 2 * outputs + 1;
    // The text is made a block of rows at a time: the low inputs count the same way in every
    // block, so their columns are written once; per block only the high inputs that changed and
    // the outputs are.
    const std::size_t low = std::min<std::size_t>(n, 10);
    const std::size_t blockRows = std::size_t(1) << low;
    std::string block(blockRows * width, ' ');
    for (std::size_t r = 0; r < blockRows; ++r) {
        char *row = block.data() + r * width;
        for (std::size_t i = n - low; i < n; ++i)
            row[2 * i] = char('0' + ((r >> (n - 1 - i)) & 1));
        row[2 * n] = '|';
        row[width - 1] = '\n';
    }
    // All ones: every high column differs from it and is written for the first block.
    std::size_t previous = ~std::size_t(0);
    for (std::size_t first = 0; first < (std::size_t(1) << n); first += blockRows) {
        const std::size_t high = first >> low;
        for (std::size_t i = 0; i < n - low; ++i) {
            const std::size_t shift = n - low - 1 - i;
            if (((previous ^ high) >> shift & 1) == 0) continue;
            const char level = char('0' + ((high >> shift) & 1));
            for (std::size_t r = 0; r < blockRows; ++r)
                block[r * width + 2 * i] = level;
        }
        previous = high;
        for (std::size_t o = 0; o < outputs; ++o) {
            const TRowSet &set = function.Rows[o];
            char *column = block.data() + 2 * n + 2 + 2 * o;
            for (std::size_t r = 0; r < blockRows; r += 64) {
                const std::size_t word = (first + r) / 64;
                const std::uint64_t bits = word < set.size() ? set[word] : 0;
                const std::size_t count = std::min<std::size_t>(64, blockRows - r);
                for (std::size_t b = 0; b < count; ++b)
                    column[(r + b) * width] = char('0' + ((bits >> b) & 1));
            }
        }
        write(block);
    }
}

std::string FormatTruthTable(const TNetworkFunction &function) {
    std::string text;
    WriteTruthTable(function, [&text](std::string_view part) { text += part; });
    return text;
}
