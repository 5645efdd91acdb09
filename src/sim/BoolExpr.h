#pragma once

// Boolean expressions as users write them, for reading functions and printing minimal forms:
// `S = A ^ B; C = A & B` (assignments apart by ';' or line ends). Operators from the tightest:
// `!` (not), `&` (and), `^` (xor), `|` (or); parentheses, `0`, `1`, and names as port names. Also
// read: `~` for not, `*` for and, `+` for or, and `'` after a name or a closing parenthesis for
// not.

#include "Minimize.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

enum class TExprOp : std::uint8_t { Constant, Input, Not, And, Xor, Or };

// One node of an expression; A and B index operand nodes of the same expression.
struct TExprNode {
    TExprOp Op = TExprOp::Constant;
    bool Value = false; // Constant
    int Input = -1;     // Input: index into TExpressionSet::Inputs
    int A = -1, B = -1; // Not uses A only
};

struct TExpression {
    std::vector<TExprNode> Nodes;
    int Root = -1;
};

struct TAssignment {
    std::string Name;
    TExpression Expr;
};

struct TExpressionSet {
    // The names read on the right-hand sides, in order of first appearance.
    std::vector<std::string> Inputs;
    std::vector<TAssignment> Outputs;
};

// Text that is not a set of assignments: "column N: reason" (columns count characters from 1 over
// the whole text), also for an output named twice and a name that is both an output and an input.
class EExpressionError : public std::runtime_error {
public:
    EExpressionError(int column, const std::string &reason);
    int Column;
};

// Bounds on what ParseExpressions reads, so that hostile text ends soon: its length in bytes,
// a name's length, the terms (names, constants and operators) of all assignments together, the
// nesting of parentheses and prefix negations, and the machine words that evaluating the set
// takes (terms times 2^inputs / 64: at 24 inputs, 8192 terms).
constexpr std::size_t MaxExpressionText = 1 << 20;
constexpr std::size_t MaxNameLength = 64;
constexpr std::size_t MaxExpressionNodes = 1 << 18;
constexpr int MaxExpressionDepth = 256;
constexpr std::size_t MaxEvaluationWords = std::size_t(1) << 31;

// Reads the assignments; blank ones are skipped, but text without any is an error. Names compare
// as port names do, without regard to ASCII case; an input keeps the spelling it was first read
// with. Nodes come after their operands, and each Root is the last node. Throws EExpressionError
// for text that is not a set of assignments or breaks one of the bounds above.
TExpressionSet ParseExpressions(std::string_view text);
// Each output's rows (see Minimize.h) over the set's inputs, computed 64 rows at a time. Throws
// std::invalid_argument for more than MaxMinimizeInputs inputs or nodes that do not read operands
// made before them.
std::vector<TRowSet> ExpressionRows(const TExpressionSet &set);

// "A & !B | C", "0" or "1": the cover is over names.size() inputs, input i named names[i], and its
// cubes are printed by their first input, plain before negated before left out. Throws
// std::invalid_argument for more than MaxMinimizeInputs names or a cube beyond them.
std::string FormatSum(const TCover &cover, const std::vector<std::string> &names);
// "(A | B) & (!C)" from a cover of zeros (see MinimalProductOfSums), "1" for no cube and "0" when
// a cube has no literal; otherwise as FormatSum.
std::string FormatProduct(const TCover &cover, const std::vector<std::string> &names);
