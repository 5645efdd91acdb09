#include "BoolExpr.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

EExpressionError::EExpressionError(int column, const std::string &reason)
    : std::runtime_error("column " + std::to_string(column) + ": " + reason), Column(column) {}

namespace {

bool IsNameStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9');
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Names compare as port names do, without regard to ASCII case.
std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char &c : folded)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return folded;
}

class TParser {
public:
    explicit TParser(std::string_view text) : FText(text) {
        if (FText.substr(0, 3) == "\xEF\xBB\xBF") FStart = FPos = 3;
    }

    TExpressionSet Parse() {
        if (FText.size() > MaxExpressionText)
            throw EExpressionError(1, "text longer than " + std::to_string(MaxExpressionText) +
                                          " bytes");
        for (;;) {
            SkipBlanks();
            if (FPos >= FText.size()) break;
            if (FText[FPos] == ';' || FText[FPos] == '\n') {
                ++FPos;
                continue;
            }
            ParseAssignment();
            SkipBlanks();
            if (FPos < FText.size() && FText[FPos] == ')') Fail(FPos, "unbalanced ')'");
            if (FPos < FText.size() && FText[FPos] != ';' && FText[FPos] != '\n')
                FailHere("operator expected");
        }
        if (FSet.Outputs.empty()) Fail(FPos, "no assignment");
        // Evaluating takes a machine word per term and 64 rows; bound it to a few seconds.
        const std::size_t inputs = FSet.Inputs.size();
        const std::size_t words = inputs <= 6 ? 1 : std::size_t(1) << (inputs - 6);
        if (FNodes > MaxEvaluationWords / words)
            Fail(FPos, std::to_string(FNodes) + " terms are too many for " +
                           std::to_string(inputs) + " inputs");
        return std::move(FSet);
    }

private:
    // Columns count characters, so the bytes that continue a UTF-8 sequence do not count.
    [[noreturn]] void Fail(std::size_t at, const std::string &reason) const {
        int column = 1;
        for (std::size_t i = FStart; i < at && i < FText.size(); ++i)
            column += (static_cast<unsigned char>(FText[i]) & 0xC0) != 0x80;
        throw EExpressionError(column, reason);
    }

    [[noreturn]] void FailHere(const std::string &expected) const {
        if (FPos >= FText.size() || FText[FPos] == ';' || FText[FPos] == '\n') Fail(FPos, expected);
        const char c = FText[FPos];
        if (IsNameChar(c) || std::string_view("()!~&*^|+'=").find(c) != std::string_view::npos)
            Fail(FPos, expected);
        Fail(FPos, "unknown character " + Shown(FPos));
    }

    // A character as a message shows it: printable ASCII quoted, anything else as a code point.
    std::string Shown(std::size_t at) const {
        const auto byte = static_cast<unsigned char>(FText[at]);
        char text[16];
        if (byte >= 0x20 && byte < 0x7f) {
            std::snprintf(text, sizeof text, "'%c'", byte);
            return text;
        }
        std::uint32_t code = byte;
        int more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
        if (more) code = byte & (0x3F >> more);
        for (std::size_t i = at + 1; more > 0 && i < FText.size(); --more, ++i) {
            const auto next = static_cast<unsigned char>(FText[i]);
            if ((next & 0xC0) != 0x80) break;
            code = code << 6 | (next & 0x3F);
        }
        std::snprintf(text, sizeof text, "U+%04X", unsigned(code));
        return text;
    }

    void SkipBlanks() {
        while (FPos < FText.size() && IsBlank(FText[FPos]))
            ++FPos;
    }

    // A word of letters, digits and underscores at the current position.
    std::string_view Word() {
        const std::size_t start = FPos;
        while (FPos < FText.size() && IsNameChar(FText[FPos]))
            ++FPos;
        const std::string_view word = FText.substr(start, FPos - start);
        if (word.size() > MaxNameLength)
            Fail(start, "name longer than " + std::to_string(MaxNameLength) + " characters");
        return word;
    }

    void ParseAssignment() {
        const std::size_t at = FPos;
        if (!IsNameStart(FText[FPos])) FailHere("output name expected");
        const std::string_view name = Word();
        const std::string key = Folded(name);
        if (FOutputs.count(key)) Fail(at, std::string(name) + " is assigned twice");
        if (const auto input = FInputs.find(key); input != FInputs.end())
            Fail(input->second.second, std::string(name) + " is an output and cannot be an input");
        FOutputs.emplace(key, FSet.Outputs.size());
        SkipBlanks();
        if (FPos >= FText.size() || FText[FPos] != '=') FailHere("'=' expected");
        ++FPos;
        SkipBlanks();
        if (FPos >= FText.size() || FText[FPos] == ';' || FText[FPos] == '\n')
            Fail(FPos, "empty right-hand side");
        FExpr = {};
        FExpr.Root = ParseOr(0);
        FSet.Outputs.push_back({std::string(name), std::move(FExpr)});
    }

    int Add(TExprNode node) {
        if (++FNodes > MaxExpressionNodes)
            Fail(FPos, "more than " + std::to_string(MaxExpressionNodes) + " terms");
        FExpr.Nodes.push_back(node);
        return int(FExpr.Nodes.size() - 1);
    }

    int Binary(TExprOp op, int a, int b) {
        TExprNode node;
        node.Op = op;
        node.A = a;
        node.B = b;
        return Add(node);
    }

    bool Next(std::string_view ops) {
        SkipBlanks();
        if (FPos < FText.size() && ops.find(FText[FPos]) != std::string_view::npos) {
            ++FPos;
            return true;
        }
        return false;
    }

    int ParseOr(int depth) {
        int node = ParseXor(depth);
        while (Next("|+"))
            node = Binary(TExprOp::Or, node, ParseXor(depth));
        return node;
    }

    int ParseXor(int depth) {
        int node = ParseAnd(depth);
        while (Next("^"))
            node = Binary(TExprOp::Xor, node, ParseAnd(depth));
        return node;
    }

    int ParseAnd(int depth) {
        int node = ParseUnary(depth);
        while (Next("&*"))
            node = Binary(TExprOp::And, node, ParseUnary(depth));
        return node;
    }

    int ParseUnary(int depth) {
        SkipBlanks();
        if (depth >= MaxExpressionDepth)
            Fail(FPos, "nested deeper than " + std::to_string(MaxExpressionDepth));
        if (FPos < FText.size() && (FText[FPos] == '!' || FText[FPos] == '~')) {
            ++FPos;
            return Binary(TExprOp::Not, ParseUnary(depth + 1), -1);
        }
        int node = ParsePrimary(depth);
        while (Next("'"))
            node = Binary(TExprOp::Not, node, -1);
        return node;
    }

    int ParsePrimary(int depth) {
        if (FPos >= FText.size()) FailHere("operand expected");
        const char c = FText[FPos];
        const std::size_t at = FPos;
        if (c == '(') {
            ++FPos;
            const int node = ParseOr(depth + 1);
            SkipBlanks();
            if (FPos >= FText.size() || FText[FPos] != ')') FailHere("')' expected");
            ++FPos;
            return node;
        }
        if (c >= '0' && c <= '9') {
            const std::string_view word = Word();
            if (word != "0" && word != "1")
                Fail(at, std::string(word) + " is neither 0, 1 nor a name");
            TExprNode node;
            node.Value = word == "1";
            return Add(node);
        }
        if (!IsNameStart(c)) FailHere("operand expected");
        const std::string_view name = Word();
        const std::string key = Folded(name);
        if (FOutputs.count(key))
            Fail(at, std::string(name) + " is an output and cannot be an input");
        auto input = FInputs.find(key);
        if (input == FInputs.end()) {
            if (int(FSet.Inputs.size()) >= MaxMinimizeInputs)
                Fail(at, "more than " + std::to_string(MaxMinimizeInputs) + " inputs");
            input = FInputs.emplace(key, std::pair{int(FSet.Inputs.size()), at}).first;
            FSet.Inputs.emplace_back(name);
        }
        TExprNode node;
        node.Op = TExprOp::Input;
        node.Input = input->second.first;
        return Add(node);
    }

    std::string_view FText;
    std::size_t FStart = 0, FPos = 0;
    std::size_t FNodes = 0;
    TExpressionSet FSet;
    TExpression FExpr;
    // Folded name → (input index, where it was first read); folded name → output index.
    std::unordered_map<std::string, std::pair<int, std::size_t>> FInputs;
    std::unordered_map<std::string, std::size_t> FOutputs;
};

// Rows where input `input` of `inputs` is 1, in word `w` (see Minimize.h for the numbering).
std::uint64_t InputWord(int inputs, int input, std::size_t w) {
    static constexpr std::uint64_t Pattern[6] = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull,
                                                 0xF0F0F0F0F0F0F0F0ull, 0xFF00FF00FF00FF00ull,
                                                 0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};
    const int bit = inputs - 1 - input;
    if (bit < 6) return Pattern[bit];
    return (w >> (bit - 6) & 1) ? ~std::uint64_t(0) : 0;
}

void CheckNames(const std::vector<std::string> &names) {
    if (names.size() > std::size_t(MaxMinimizeInputs))
        throw std::invalid_argument(std::to_string(names.size()) + " inputs: at most " +
                                    std::to_string(MaxMinimizeInputs));
}

// A cube's literals in input order, as (input, plain), for `inputs` inputs.
std::vector<std::pair<int, bool>> LiteralsOf(const TCube &cube, int inputs) {
    if (((cube.Care | cube.Value) >> inputs) != 0)
        throw std::invalid_argument("a cube names an input beyond the names given");
    std::vector<std::pair<int, bool>> literals;
    for (int i = 0; i < inputs; ++i) {
        const int bit = inputs - 1 - i;
        if (cube.Care >> bit & 1) literals.emplace_back(i, (cube.Value >> bit & 1) != 0);
    }
    return literals;
}

// Cubes in reading order: by their first input, plain before negated before left out, and so on.
std::vector<std::vector<std::pair<int, bool>>> SortedLiterals(const TCover &cover, int inputs) {
    std::vector<std::vector<int>> keys;
    std::vector<std::vector<std::pair<int, bool>>> cubes;
    for (const TCube &cube : cover.Cubes) {
        cubes.push_back(LiteralsOf(cube, inputs));
        std::vector<int> key(inputs, 2);
        for (const auto &[input, plain] : cubes.back())
            key[input] = plain ? 0 : 1;
        keys.push_back(std::move(key));
    }
    std::vector<std::size_t> order(cubes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    std::vector<std::vector<std::pair<int, bool>>> sorted;
    for (const std::size_t i : order)
        sorted.push_back(std::move(cubes[i]));
    return sorted;
}

} // namespace

TExpressionSet ParseExpressions(std::string_view text) {
    return TParser(text).Parse();
}

std::vector<TRowSet> ExpressionRows(const TExpressionSet &set) {
    const int inputs = int(set.Inputs.size());
    if (inputs > MaxMinimizeInputs)
        throw std::invalid_argument(std::to_string(inputs) + " inputs: at most " +
                                    std::to_string(MaxMinimizeInputs));
    const std::size_t words = inputs <= 6 ? 1 : std::size_t(1) << (inputs - 6);
    const std::uint64_t last = inputs >= 6 ? ~std::uint64_t(0) : (1ull << (1u << inputs)) - 1;
    std::vector<TRowSet> rows;
    for (const TAssignment &output : set.Outputs) {
        const std::vector<TExprNode> &nodes = output.Expr.Nodes;
        const int root = output.Expr.Root;
        if (root < 0 || root >= int(nodes.size()))
            throw std::invalid_argument(output.Name + " has no expression");
        // Operands come before the nodes that use them, as the parser makes them; anything else
        // is refused rather than read out of order.
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const TExprNode &node = nodes[i];
            const bool binary =
                node.Op == TExprOp::And || node.Op == TExprOp::Xor || node.Op == TExprOp::Or;
            const auto before = [&](int operand) { return operand >= 0 && operand < int(i); };
            if (((binary || node.Op == TExprOp::Not) && !before(node.A)) ||
                (binary && !before(node.B)) ||
                (node.Op == TExprOp::Input && (node.Input < 0 || node.Input >= inputs)))
                throw std::invalid_argument(output.Name + ": node " + std::to_string(i) +
                                            " reads an operand that does not come before it");
        }
        TRowSet result(words);
        std::vector<std::uint64_t> value(nodes.size());
        for (std::size_t w = 0; w < words; ++w) {
            for (std::size_t i = 0; i < nodes.size(); ++i) {
                const TExprNode &node = nodes[i];
                switch (node.Op) {
                case TExprOp::Constant:
                    value[i] = node.Value ? ~std::uint64_t(0) : 0;
                    break;
                case TExprOp::Input:
                    value[i] = InputWord(inputs, node.Input, w);
                    break;
                case TExprOp::Not:
                    value[i] = ~value[node.A];
                    break;
                case TExprOp::And:
                    value[i] = value[node.A] & value[node.B];
                    break;
                case TExprOp::Xor:
                    value[i] = value[node.A] ^ value[node.B];
                    break;
                case TExprOp::Or:
                    value[i] = value[node.A] | value[node.B];
                    break;
                }
            }
            result[w] = value[root];
        }
        result.back() &= last;
        rows.push_back(std::move(result));
    }
    return rows;
}

std::string FormatSum(const TCover &cover, const std::vector<std::string> &names) {
    CheckNames(names);
    if (cover.Cubes.empty()) return "0";
    std::string text;
    for (const auto &literals : SortedLiterals(cover, int(names.size()))) {
        if (literals.empty()) return "1";
        if (!text.empty()) text += " | ";
        for (std::size_t k = 0; k < literals.size(); ++k)
            text += (k ? " & " : "") + std::string(literals[k].second ? "" : "!") +
                    names[literals[k].first];
    }
    return text;
}

std::string FormatProduct(const TCover &cover, const std::vector<std::string> &names) {
    CheckNames(names);
    if (cover.Cubes.empty()) return "1";
    std::string text;
    for (const auto &literals : SortedLiterals(cover, int(names.size()))) {
        if (literals.empty()) return "0";
        text += text.empty() ? "(" : " & (";
        for (std::size_t k = 0; k < literals.size(); ++k)
            text += (k ? " | " : "") + std::string(literals[k].second ? "!" : "") +
                    names[literals[k].first];
        text += ")";
    }
    return text;
}
