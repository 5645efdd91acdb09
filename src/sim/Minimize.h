#pragma once

// Minimal two-level forms of a Boolean function of up to 24 inputs: a sum of products with the
// fewest products and then the fewest literals, and the same for a product of sums.

#include <cstdint>
#include <vector>

// Rows of a function of n inputs are numbered in binary counting order with input 0 as the most
// significant bit; a set of rows is a bit per row, row r being bit r % 64 of word r / 64.
using TRowSet = std::vector<std::uint64_t>;

// A product of literals: input i appears when bit (n - 1 - i) of Care is set, plain when the same
// bit of Value is set, negated otherwise. Value has no bits outside Care.
struct TCube {
    std::uint32_t Care = 0;
    std::uint32_t Value = 0;
    int Literals() const;
    bool operator==(const TCube &) const = default;
};

struct TCover {
    std::vector<TCube> Cubes;
    // Proven minimal (prime implicants and an exact cover); false when a heuristic chose them.
    bool Exact = true;
};

// Up to this many inputs the cover is exact; beyond, a heuristic gives a good one.
constexpr int MaxExactInputs = 12;
constexpr int MaxMinimizeInputs = 24;

// The minimal sum of products of the rows in onSet; rows in dontCare may go either way (a row in
// both is a don't-care), and dontCare may be empty for none. No cube for the constant 0;
// one cube without literals for the constant 1. Bits past the last row are ignored. Throws
// std::invalid_argument for more than MaxMinimizeInputs inputs or a row set that does not hold
// exactly one bit per row (one word below 7 inputs). A search the exact cover cannot finish soon
// (hostile functions of 10 to 12 inputs) ends with its best cover so far and Exact false.
TCover MinimalSumOfProducts(int inputs, const TRowSet &onSet, const TRowSet &dontCare = {});
// The minimal product of sums, as the cover of the function's zeros: each cube stands for the sum
// of its literals complemented (the cube !A & B is the sum A | !B). No cube for the constant 1.
TCover MinimalProductOfSums(int inputs, const TRowSet &onSet, const TRowSet &dontCare = {});
