// The truth table of a network without memory against hardware-description simulators, and exact
// minimisation against opening a network.
//
//   bench_analysis --write DIR [--inputs N] [--gates G] [--lamps K] [--seed S]
//   bench_analysis --time FILE.ZTR [--repeat R] [--functions F] [--ones P]
//
// --write makes one random network of G two-input gates (AND, OR, XOR, NAND, NOR, NXOR, and about
// one NOT in ten), each wired only to earlier gates or to the N pulse switches, every gate in the
// cone of one of the K lamps, and writes it four ways into DIR: net.ZTR (the network file, pulse
// switches first, then the gates, then the lamps), net.v (one `assign` per gate), tb.v (Icarus
// test bench: every row in turn, #1 apart, its outputs folded into a checksum) and main.cpp (a
// Verilator loop over every row doing the same).
// --time loads FILE as the program opens it and prints the medians of R loads and R analyses, the
// checksum of the table (what tb.v and main.cpp print), and the median time of the exact minimal
// sum of products of F random functions of 10 inputs (each row a one with probability P percent,
// default 50) against the median load.
//
// The checksum: c = c * 31 + v over the rows in counting order, modulo 2^32, v the row's outputs
// as a binary number, the first lamp the most significant bit.

#include "ChainNetwork.h"
#include "app/Main.h"
#include "classlib/ExtCtrls.h"
#include "document/FChild.h"
#include "document/SimSnapshot.h"
#include "gates/LogicCmp.h"
#include "sim/Combinational.h"
#include "sim/Minimize.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <time.h>

namespace {

using enum TLogicalPortType;

struct TGate {
    TLogicalPortType Kind;
    int A, B; // nodes: 0 .. inputs-1 the switches, then the gates in order
};

struct TRandomNetwork {
    int Inputs = 0;
    std::vector<TGate> Gates;
    std::vector<int> Lamps; // the node each lamp shows
};

// Each gate takes its A from the nodes no gate reads yet, and its B from those too about half the
// time (anywhere before it otherwise), so that the unread nodes shrink to the lamps: every gate
// then counts in an output, and the simulators compared evaluate the same work.
TRandomNetwork MakeNetwork(int inputs, int gates, int lamps, std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto below = [&random](int n) { return int(random() % std::uint32_t(n)); };
    TRandomNetwork net;
    net.Inputs = inputs;
    std::vector<int> unread(std::size_t(inputs), 0);
    for (int i = 0; i < inputs; ++i)
        unread[std::size_t(i)] = i;
    const auto take = [&](std::size_t at) {
        const int node = unread[at];
        unread[at] = unread.back();
        unread.pop_back();
        return node;
    };
    constexpr TLogicalPortType Binary[] = {logAND, logOR, logXOR, logNAND, logNOR, logNXOR};
    for (int g = 0; g < gates; ++g) {
        const int node = inputs + g;
        const bool isNot = below(10) == 0;
        const int a = take(std::size_t(below(int(unread.size()))));
        int b = 0;
        if (!isNot) {
            if (!unread.empty() && int(unread.size()) >= lamps && below(2) == 0)
                b = take(std::size_t(below(int(unread.size()))));
            else
                b = below(node);
        }
        net.Gates.push_back({isNot ? logNOT : Binary[below(6)], a, b});
        unread.push_back(node);
    }
    // The lamps show what is still unread, then the last gates.
    for (int k = 0; k < lamps; ++k)
        net.Lamps.push_back(k < int(unread.size()) ? unread[std::size_t(k)]
                                                   : inputs + gates - 1 - k);
    if (int(unread.size()) > lamps)
        throw std::runtime_error(std::to_string(unread.size()) + " nodes left unread; more lamps");
    return net;
}

void WriteZtr(const TRandomNetwork &net, const std::string &path) {
    const int total = net.Inputs + int(net.Gates.size()) + int(net.Lamps.size());
    const bool saved = WritePlacedNetwork(total, path, [&](std::span<TLogicalPort *const> ports) {
        for (int i = 0; i < net.Inputs; ++i)
            ports[std::size_t(i)]->SetPortType(logPLS);
        for (std::size_t g = 0; g < net.Gates.size(); ++g) {
            TLogicalPort *port = ports[std::size_t(net.Inputs) + g];
            const TGate &gate = net.Gates[g];
            port->SetPortType(gate.Kind);
            port->SetInAComp(ports[std::size_t(gate.A)]);
            if (gate.Kind != logNOT) port->SetInBComp(ports[std::size_t(gate.B)]);
        }
        for (std::size_t k = 0; k < net.Lamps.size(); ++k) {
            TLogicalPort *lamp = ports[std::size_t(net.Inputs) + net.Gates.size() + k];
            lamp->SetPortType(logLED);
            lamp->SetInAComp(ports[std::size_t(net.Lamps[k])]);
        }
    });
    if (!saved) throw std::runtime_error("cannot write " + path);
}

// Input i is the row number's bit inputs-1-i: the first input the most significant.
std::string Node(const TRandomNetwork &net, int node) {
    return node < net.Inputs ? "in[" + std::to_string(net.Inputs - 1 - node) + "]"
                             : "g" + std::to_string(node - net.Inputs);
}

std::string VerilogModule(const TRandomNetwork &net) {
    const int lamps = int(net.Lamps.size());
    std::string text = "module net(input [" + std::to_string(net.Inputs - 1) + ":0] in, output [" +
                       std::to_string(lamps - 1) + ":0] out);\n";
    for (std::size_t g = 0; g < net.Gates.size(); ++g)
        text += "  wire g" + std::to_string(g) + ";\n";
    for (std::size_t g = 0; g < net.Gates.size(); ++g) {
        const TGate &gate = net.Gates[g];
        const std::string a = Node(net, gate.A), b = Node(net, gate.B);
        std::string value;
        switch (gate.Kind) {
        case logAND:
            value = a + " & " + b;
            break;
        case logOR:
            value = a + " | " + b;
            break;
        case logXOR:
            value = a + " ^ " + b;
            break;
        case logNAND:
            value = "~(" + a + " & " + b + ")";
            break;
        case logNOR:
            value = "~(" + a + " | " + b + ")";
            break;
        case logNXOR:
            value = "~(" + a + " ^ " + b + ")";
            break;
        default:
            value = "~" + a;
            break;
        }
        text += "  assign g" + std::to_string(g) + " = " + value + ";\n";
    }
    // The first lamp the most significant bit of `out`.
    for (int k = 0; k < lamps; ++k)
        text += "  assign out[" + std::to_string(lamps - 1 - k) +
                "] = " + Node(net, net.Lamps[std::size_t(k)]) + ";\n";
    return text + "endmodule\n";
}

std::string IcarusBench(const TRandomNetwork &net) {
    const std::string n = std::to_string(net.Inputs), k = std::to_string(net.Lamps.size());
    return "`timescale 1ns/1ns\n"
           "module tb;\n"
           "  reg [" +
           n +
           "-1:0] in;\n"
           "  wire [" +
           k +
           "-1:0] out;\n"
           "  reg [31:0] sum;\n"
           "  integer r;\n"
           "  net dut(.in(in), .out(out));\n"
           "  initial begin\n"
           "    sum = 0;\n"
           "    for (r = 0; r < (1 << " +
           n +
           "); r = r + 1) begin\n"
           "      in = r;\n"
           "      #1 sum = sum * 31 + out;\n"
           "    end\n"
           "    $display(\"checksum %0d\", sum);\n"
           "    $finish;\n"
           "  end\n"
           "endmodule\n";
}

std::string VerilatorMain(const TRandomNetwork &net) {
    return "#include \"Vnet.h\"\n"
           "#include \"verilated.h\"\n"
           "#include <cstdint>\n"
           "#include <cstdio>\n"
           "int main(int argc, char **argv) {\n"
           "    VerilatedContext context;\n"
           "    context.commandArgs(argc, argv);\n"
           "    Vnet top(&context);\n"
           "    std::uint32_t sum = 0;\n"
           "    for (std::uint32_t r = 0; r < (1u << " +
           std::to_string(net.Inputs) +
           "); ++r) {\n"
           "        top.in = r;\n"
           "        top.eval();\n"
           "        sum = sum * 31u + top.out;\n"
           "    }\n"
           "    top.final();\n"
           "    std::printf(\"checksum %u\\n\", sum);\n"
           "}\n";
}

void WriteText(const std::string &path, const std::string &text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

std::uint32_t Checksum(const TNetworkFunction &function) {
    const std::size_t rows = std::size_t(1) << function.Inputs.size();
    const std::size_t lamps = function.Outputs.size();
    std::uint32_t sum = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < lamps; ++k)
            v = v << 1 | std::uint32_t(function.Rows[k][r / 64] >> (r % 64) & 1);
        sum = sum * 31u + v;
    }
    return sum;
}

// Wall and processor seconds of one call; on a busy machine the processor time is the one to
// compare.
struct TTimes {
    std::vector<double> Wall, Cpu;
};

double CpuNow() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void Measure(TTimes &times, const std::function<void()> &body) {
    const double cpu = CpuNow();
    const auto start = std::chrono::steady_clock::now();
    body();
    times.Wall.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    times.Cpu.push_back(CpuNow() - cpu);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A line a script reads: NAME wall cpu, the medians in seconds.
void PrintMedians(const char *name, const TTimes &times) {
    std::printf("%s %.6f %.6f\n", name, Median(times.Wall), Median(times.Cpu));
}

int Time(const std::string &path, int repeat, int functions, int ones) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_analysis";
    char *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    TFormZentaroMain mainWindow(nullptr);
    mainWindow.Show();

    // Opened as the program opens a file with its stored delays, as ztrtool analyze does; the
    // window is closed after each so that the next load starts alike.
    TSimNetwork network;
    TTimes loads;
    for (int i = 0; i < repeat; ++i)
        Measure(loads, [&] {
            TFormZentaroChild *window = mainWindow.LoadNetworkWindow(path);
            network = SimSnapshot(*window);
            TComponent::Free(window);
        });

    TNetworkFunction function;
    TTimes analyses, withText;
    std::size_t bytes = 0;
    for (int i = 0; i < repeat; ++i) {
        Measure(analyses, [&] { function = AnalyzeNetwork(network); });
        Measure(withText, [&] {
            function = AnalyzeNetwork(network);
            bytes = 0;
            WriteTruthTable(function, [&bytes](std::string_view part) { bytes += part.size(); });
        });
    }
    std::printf("%s: %zu ports, %zu inputs, %zu outputs, table %zu bytes\n", path.c_str(),
                network.Ports.size(), function.Inputs.size(), function.Outputs.size(), bytes);
    std::printf("checksum %u\n", Checksum(function));
    PrintMedians("load", loads);
    PrintMedians("analysis", analyses);
    PrintMedians("analysis_text", withText);

    if (functions > 0) {
        // Each row a one with probability `ones` percent (50: uniformly random functions).
        constexpr int Inputs = 10;
        std::mt19937_64 random(29);
        TTimes times;
        int inexact = 0;
        for (int f = 0; f < functions; ++f) {
            TRowSet on(std::size_t(1) << (Inputs - 6));
            for (int r = 0; r < 1 << Inputs; ++r)
                if (int(random() % 100) < ones) on[std::size_t(r) / 64] |= 1ull << (r % 64);
            TCover cover;
            Measure(times, [&] { cover = MinimalSumOfProducts(Inputs, on); });
            if (!cover.Exact) ++inexact;
        }
        std::printf("minimize_functions %d\nminimize_ones_percent %d\nminimize_inexact %d\n",
                    functions, ones, inexact);
        PrintMedians("minimize", times);
        std::printf("minimize_max %.6f %.6f\n",
                    *std::max_element(times.Wall.begin(), times.Wall.end()),
                    *std::max_element(times.Cpu.begin(), times.Cpu.end()));
    }
    return 0;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: bench_analysis --write DIR [--inputs N] [--gates G] [--lamps K] "
                 "[--seed S]\n"
                 "       bench_analysis --time FILE.ZTR [--repeat R] [--functions F] [--ones P]\n");
}

} // namespace

int main(int argc, char **argv) {
    std::string dir, file;
    int inputs = 16, gates = 1000, lamps = 8, repeat = 5, functions = 51, ones = 50;
    std::uint32_t seed = 29;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            const auto value = [&]() -> std::string {
                if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
                return argv[++i];
            };
            const auto number = [&](int low, int high) {
                const int n = std::atoi(value().c_str());
                if (n < low || n > high)
                    throw std::invalid_argument(arg + " must lie in " + std::to_string(low) + ".." +
                                                std::to_string(high));
                return n;
            };
            if (arg == "--write")
                dir = value();
            else if (arg == "--time")
                file = value();
            else if (arg == "--inputs")
                inputs = number(1, MaxAnalysisInputs);
            else if (arg == "--gates")
                gates = number(1, 1200);
            else if (arg == "--lamps")
                lamps = number(1, 24);
            else if (arg == "--seed")
                seed = std::uint32_t(number(0, 1 << 30));
            else if (arg == "--repeat")
                repeat = number(1, 1000);
            else if (arg == "--functions")
                functions = number(0, 100000);
            else if (arg == "--ones")
                ones = number(0, 100);
            else {
                Usage();
                return arg == "--help" || arg == "-h" ? 0 : 2;
            }
        }
        if (!file.empty()) return Time(file, repeat, functions, ones);
        if (dir.empty()) {
            Usage();
            return 2;
        }
        const TRandomNetwork net = MakeNetwork(inputs, gates, lamps, seed);
        std::filesystem::create_directories(dir);
        {
            // The network window that writes the file needs the application.
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            int qtArgc = 1;
            char name[] = "bench_analysis";
            char *qtArgv[] = {name, nullptr};
            QApplication application(qtArgc, qtArgv);
            WriteZtr(net, dir + "/net.ZTR");
        }
        WriteText(dir + "/net.v", VerilogModule(net));
        WriteText(dir + "/tb.v", IcarusBench(net));
        WriteText(dir + "/main.cpp", VerilatorMain(net));
        return 0;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "bench_analysis: %s\n", error.what());
        return 1;
    }
}
