#include "Synthesis.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <map>
#include <set>
#include <tuple>

namespace {

// The network window's own parts: a gate of the same name would be bound in their place when the
// file is read.
constexpr std::array<std::string_view, 28> WindowNames = {
    "FormZentaroChild", "PanelTop",     "BtnActive",     "CBShowPortType", "PanelCtrl",
    "BtnNewLog",        "RBPosPort",    "RBLnkPort",     "ScrollBoxCli",   "PaintBoxNet",
    "PanelDefComp",     "LogicalPort1", "DesignRT",      "PopupMenuPort",  "PopItemAND",
    "PopItemOR",        "PopItemNOT",   "PopItemXOR",    "PopItemNAND",    "PopItemNOR",
    "PopItemNXOR",      "PopItemCLOCK", "PopItemPULSE",  "PopItemLED",     "PopItemFFD",
    "PopItemFFJK",      "N1",           "PopItemDelete",
};

constexpr std::size_t MaxNameLength = 63;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char &c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNamePart(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

// What the planner is building, before it is laid out.
struct TNode {
    TLogicalPortType Kind;
    int InA = -1, InB = -1;
    bool Tied = false; // both inputs from InA: a NAND used as an inverter
};

class TPlanner {
public:
    TPlanner(int inputs, TSynthesisGates gates) : FInputs(inputs), FGates(gates) {
        for (int i = 0; i < inputs; ++i)
            FNodes.push_back({TLogicalPortType::logPLS});
    }

    // The node whose output is the sum, or -1 for the constant 0.
    int Sum(const TCover &cover) {
        std::vector<const TCube *> products;
        for (const TCube &cube : cover.Cubes) {
            if (cube.Care == 0) return One();
            products.push_back(&cube);
        }
        if (products.empty()) return -1;
        return FGates == TSynthesisGates::Nand ? NandOr(products, 0, products.size())
                                               : Tree(TLogicalPortType::logOR, Products(products));
    }

    std::vector<TNode> FNodes;

private:
    int FInputs;
    TSynthesisGates FGates;
    // Every gate made so far by what it computes, so that equal ones are made once.
    std::map<std::tuple<TLogicalPortType, int, int>, int> FMade;
    int FOne = -1;

    int Gate(TLogicalPortType kind, int a, int b) {
        if (b >= 0 && a > b) std::swap(a, b);
        const auto key = std::tuple(kind, a, b);
        if (const auto it = FMade.find(key); it != FMade.end()) return it->second;
        FNodes.push_back({kind, a, b});
        return FMade[key] = int(FNodes.size()) - 1;
    }

    int Not(int node) {
        if (FGates == TSynthesisGates::AndOr) return Gate(TLogicalPortType::logNOT, node, -1);
        const auto key = std::tuple(TLogicalPortType::logNAND, node, node);
        if (const auto it = FMade.find(key); it != FMade.end()) return it->second;
        FNodes.push_back({TLogicalPortType::logNAND, node, node, true});
        return FMade[key] = int(FNodes.size()) - 1;
    }

    int One() {
        if (FOne < 0) {
            FNodes.push_back({FGates == TSynthesisGates::Nand ? TLogicalPortType::logNAND
                                                              : TLogicalPortType::logNOT});
            FOne = int(FNodes.size()) - 1;
        }
        return FOne;
    }

    // The literals of a cube, in input order: the switch, or its shared inverter.
    std::vector<int> Literals(const TCube &cube, bool negated = false) {
        std::vector<int> literals;
        for (int i = 0; i < FInputs; ++i) {
            const std::uint32_t bit = std::uint32_t(1) << (FInputs - 1 - i);
            if (!(cube.Care & bit)) continue;
            literals.push_back(bool(cube.Value & bit) != negated ? i : Not(i));
        }
        return literals;
    }

    // A balanced tree of two-input gates over nodes[begin, end).
    int Tree(TLogicalPortType kind, const std::vector<int> &nodes, std::size_t begin = 0,
             std::size_t end = std::size_t(-1)) {
        end = std::min(end, nodes.size());
        if (end - begin == 1) return nodes[begin];
        const std::size_t middle = begin + (end - begin + 1) / 2;
        return Gate(kind, Tree(kind, nodes, begin, middle), Tree(kind, nodes, middle, end));
    }

    std::vector<int> Products(const std::vector<const TCube *> &cubes) {
        std::vector<int> products;
        for (const TCube *cube : cubes)
            products.push_back(Tree(TLogicalPortType::logAND, Literals(*cube)));
        return products;
    }

    // With NAND gates: AND of the literals is the inverse of their NAND, and the NAND of more
    // than two is the NAND of two ANDs of halves.
    int NandAnd(const std::vector<int> &literals, std::size_t begin, std::size_t end) {
        return end - begin == 1 ? literals[begin] : Not(Nand(literals, begin, end));
    }
    int Nand(const std::vector<int> &literals, std::size_t begin, std::size_t end) {
        const std::size_t middle = begin + (end - begin + 1) / 2;
        return Gate(TLogicalPortType::logNAND, NandAnd(literals, begin, middle),
                    NandAnd(literals, middle, end));
    }
    // The inverse of a product: the NAND of its literals, or the other literal of a single one.
    int NotProduct(const TCube &cube) {
        if (std::popcount(cube.Care) == 1) return Literals(cube, true).front();
        const std::vector<int> literals = Literals(cube);
        return Nand(literals, 0, literals.size());
    }
    // A sum of products is the NAND of their inverses; its halves are summed as inverted sums.
    int NandOr(const std::vector<const TCube *> &products, std::size_t begin, std::size_t end) {
        if (end - begin == 1) {
            const std::vector<int> literals = Literals(*products[begin]);
            return NandAnd(literals, 0, literals.size());
        }
        const std::size_t middle = begin + (end - begin + 1) / 2;
        return Gate(TLogicalPortType::logNAND, NotSum(products, begin, middle),
                    NotSum(products, middle, end));
    }
    int NotSum(const std::vector<const TCube *> &products, std::size_t begin, std::size_t end) {
        return end - begin == 1 ? NotProduct(*products[begin]) : Not(NandOr(products, begin, end));
    }
};

// Columns: switches, then the gates by depth (the inverters of the switches first), then lamps;
// depths no gate has take no column.
std::vector<int> Columns(const std::vector<TNode> &nodes, int inputs, int &lampColumn) {
    std::vector<int> depth(nodes.size(), 0);
    for (std::size_t n = std::size_t(inputs); n < nodes.size(); ++n) {
        const TNode &node = nodes[n];
        // The inverters of the switches and the constant 1 have a column of their own; other
        // gates come after it. Operands are always made before the gates they feed.
        if (node.InA < inputs && (node.InB < 0 || node.Tied)) {
            depth[n] = 1;
            continue;
        }
        int deepest = 1;
        for (const int in : {node.InA, node.InB})
            if (in >= 0) deepest = std::max(deepest, depth[std::size_t(in)]);
        depth[n] = deepest + 1;
    }
    const std::set<int> used(depth.begin(), depth.end());
    std::map<int, int> column;
    for (const int d : used)
        column.emplace(d, int(column.size()));
    std::vector<int> columns;
    for (const int d : depth)
        columns.push_back(column[d]);
    lampColumn = int(column.size());
    return columns;
}

} // namespace

std::string NameRefusal(std::string_view name) {
    const std::string quoted = "\"" + std::string(name.substr(0, 80)) + "\"";
    if (name.empty() || name.size() > MaxNameLength || !IsNameStart(name[0]) ||
        !std::all_of(name.begin(), name.end(), IsNamePart))
        return quoted + " is not a component name (a letter or _, then letters, digits and _, at "
                        "most 63 characters)";
    const std::string lower = Lower(name);
    for (const std::string_view taken : WindowNames)
        if (lower == Lower(taken))
            return quoted + " is the name of a part of the network window (" + std::string(taken) +
                   ")";
    return {};
}

TSynthesisPlan PlanNetwork(const std::vector<std::string> &inputs,
                           const std::vector<std::string> &outputs, const std::vector<TCover> &sums,
                           TSynthesisGates gates) {
    if (inputs.size() > std::size_t(MaxMinimizeInputs))
        throw std::invalid_argument("PlanNetwork: more than 24 inputs");
    if (sums.size() != outputs.size())
        throw std::invalid_argument("PlanNetwork: a cover per output is needed");
    const int inputCount = int(inputs.size());
    const std::uint32_t allInputs = (std::uint64_t(1) << inputCount) - 1;
    for (const TCover &cover : sums)
        for (const TCube &cube : cover.Cubes)
            if ((cube.Care & ~allInputs) || (cube.Value & ~cube.Care))
                throw std::invalid_argument("PlanNetwork: a cube beyond the inputs");
    if (outputs.empty()) throw ESynthesisError("no outputs to build");
    std::map<std::string, std::string> seen;
    for (const std::vector<std::string> *names : {&inputs, &outputs})
        for (const std::string &name : *names) {
            if (const std::string refusal = NameRefusal(name); !refusal.empty())
                throw ESynthesisError(refusal);
            const auto [it, fresh] = seen.emplace(Lower(name), name);
            if (!fresh)
                throw ESynthesisError(it->second == name ? "\"" + name + "\" is given twice"
                                                         : "\"" + it->second + "\" and \"" + name +
                                                               "\" are the same name");
        }

    TPlanner planner(inputCount, gates);
    std::vector<int> drivers;
    for (const TCover &cover : sums)
        drivers.push_back(planner.Sum(cover));
    const std::vector<TNode> &nodes = planner.FNodes;

    int lampColumn = 0;
    const std::vector<int> column = Columns(nodes, inputCount, lampColumn);
    // The last column each node's output reaches; a wire runs along its source's row until
    // shortly before its target, so that row stays free in the columns between.
    std::vector<int> reach(column);
    for (std::size_t n = 0; n < nodes.size(); ++n)
        for (const int in : {nodes[n].InA, nodes[n].InB})
            if (in >= 0) reach[std::size_t(in)] = std::max(reach[std::size_t(in)], column[n]);
    for (const int driver : drivers)
        if (driver >= 0) reach[std::size_t(driver)] = lampColumn;

    std::vector<int> row(nodes.size(), 0);
    // Switches one under another; one whose inverter cannot sit in its row leaves the next
    // row for the inverter.
    std::vector<bool> inverted(std::size_t(inputCount), false);
    for (const TNode &node : nodes)
        if ((node.Kind == TLogicalPortType::logNOT || node.Tied) && node.InA >= 0 &&
            node.InA < inputCount)
            inverted[std::size_t(node.InA)] = true;
    for (int i = 0, next = 0; i < inputCount; ++i) {
        row[std::size_t(i)] = next;
        next += inverted[std::size_t(i)] && reach[std::size_t(i)] > 1 ? 2 : 1;
    }
    for (int c = 1; c < lampColumn; ++c) {
        std::set<int> taken;
        for (std::size_t n = 0; n < nodes.size(); ++n)
            if (column[n] < c && reach[n] > c) taken.insert(row[n]);
        // Each gate goes as near as it can to the middle of its operands, in that order.
        std::vector<std::pair<int, std::size_t>> wanted;
        for (std::size_t n = std::size_t(inputCount); n < nodes.size(); ++n) {
            if (column[n] != c) continue;
            int sum = 0, count = 0;
            for (const int in : {nodes[n].InA, nodes[n].InB})
                if (in >= 0) sum += row[std::size_t(in)], ++count;
            wanted.emplace_back(count ? sum / count : 0, n);
        }
        std::sort(wanted.begin(), wanted.end());
        for (const auto &[want, n] : wanted) {
            int at = want;
            for (int d = 0;; ++d) {
                if (!taken.contains(want + d)) {
                    at = want + d;
                    break;
                }
                if (want - d >= 0 && !taken.contains(want - d)) {
                    at = want - d;
                    break;
                }
            }
            taken.insert(at);
            row[n] = at;
        }
    }

    const auto left = [](int c) { return LayoutMargin + c * ColumnPitch; };
    const auto top = [](int r) { return LayoutMargin + r * RowPitch; };
    // The gates are numbered around the given names: an analysed network's switches and lamps
    // come back under their own LogPort names.
    std::set<std::string> given;
    for (const auto *names : {&inputs, &outputs})
        for (const std::string &name : *names)
            given.insert(Lower(name));
    int gateNumber = 0;
    const auto nextGateName = [&] {
        std::string name;
        do
            name = "LogPort" + std::to_string(++gateNumber);
        while (given.contains(Lower(name)));
        return name;
    };
    TSynthesisPlan plan;
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const bool isInput = n < std::size_t(inputCount);
        plan.Ports.push_back({isInput ? inputs[n] : nextGateName(), nodes[n].Kind, nodes[n].InA,
                              nodes[n].Tied ? nodes[n].InA : nodes[n].InB, left(column[n]),
                              top(row[n]), GateWidth, GateHeight});
    }
    // A lamp sits in line with its gate; a second lamp of the same gate is fed by the first, a
    // column further on. Unwired lamps come last and take the first free rows.
    plan.Ports.resize(plan.Ports.size() + outputs.size());
    std::set<std::pair<int, int>> lampPlaces;
    std::map<int, std::size_t> lastLamp;
    for (const bool wired : {true, false})
        for (std::size_t o = 0; o < outputs.size(); ++o) {
            const int driver = drivers[o];
            if ((driver >= 0) != wired) continue;
            const std::size_t index = nodes.size() + o;
            int r = wired ? row[std::size_t(driver)] : 0, c = lampColumn, feed = driver;
            if (const auto it = lastLamp.find(driver); wired && it != lastLamp.end())
                feed = int(it->second);
            while (lampPlaces.contains({c, r}))
                wired ? ++c : ++r;
            lampPlaces.insert({c, r});
            if (wired) lastLamp[driver] = index;
            plan.Ports[index] = {
                outputs[o], TLogicalPortType::logLED, feed, -1, left(c), top(r), LampSide,
                LampSide};
        }
    // The upper input from the upper operand, so that wires into a gate do not cross.
    for (TPlannedPort &port : plan.Ports)
        if (port.InA >= 0 && port.InB >= 0 &&
            plan.Ports[std::size_t(port.InA)].Top > plan.Ports[std::size_t(port.InB)].Top)
            std::swap(port.InA, port.InB);
    return plan;
}
