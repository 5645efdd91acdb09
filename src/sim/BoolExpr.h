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

TExpressionSet ParseExpressions(std::string_view text);
// Each output's rows (see Minimize.h) over the set's inputs; at most MaxMinimizeInputs of them.
std::vector<TRowSet> ExpressionRows(const TExpressionSet &set);

// "A & !B | C", "0" or "1", names by input index.
std::string FormatSum(const TCover &cover, const std::vector<std::string> &names);
// "(A | B) & (!C)" from a cover of zeros (see MinimalProductOfSums), "0" or "1".
std::string FormatProduct(const TCover &cover, const std::vector<std::string> &names);
