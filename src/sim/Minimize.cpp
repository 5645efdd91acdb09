#include "Minimize.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>

int TCube::Literals() const {
    return std::popcount(Care);
}

namespace {

using TWord = std::uint64_t;

std::size_t RowWords(int inputs) {
    return inputs <= 6 ? 1 : std::size_t(1) << (inputs - 6);
}

// The word of every row set of `inputs` inputs that holds real rows (fewer than 64 below 6 inputs).
TWord LastWordMask(int inputs) {
    return inputs >= 6 ? ~TWord(0) : (TWord(1) << (1u << inputs)) - 1;
}

bool TestBit(const std::vector<TWord> &bits, std::size_t i) {
    return bits[i >> 6] >> (i & 63) & 1;
}

// Row bit k's pattern inside a word: the rows of one word whose bit k is set, for k < 6.
constexpr TWord BitPattern[6] = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull,
                                 0xF0F0F0F0F0F0F0F0ull, 0xFF00FF00FF00FF00ull,
                                 0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};

// The rows of one word that the cube's low six bits admit.
TWord LowMask(std::uint32_t care, std::uint32_t value) {
    TWord mask = ~TWord(0);
    for (int k = 0; k < 6; ++k)
        if (care >> k & 1) mask &= (value >> k & 1) ? BitPattern[k] : ~BitPattern[k];
    return mask;
}

// Calls visit(word index, mask) for every word that holds rows of the cube.
template <typename TVisit> bool ForEachCubeWord(int inputs, TCube cube, TVisit visit) {
    const TWord mask = LowMask(cube.Care & 63, cube.Value & 63);
    const std::uint32_t highCare = cube.Care >> 6, highValue = cube.Value >> 6;
    const std::uint32_t free = std::uint32_t(RowWords(inputs) - 1) & ~highCare;
    for (std::uint32_t sub = free;; sub = (sub - 1) & free) {
        if (visit(std::size_t(highValue | sub), mask)) return true;
        if (sub == 0) return false;
    }
}

// A set of small integers, a bit each.
struct TBits {
    std::vector<TWord> Words;
    explicit TBits(std::size_t size = 0) : Words((size + 63) / 64) {}
    bool Test(std::size_t i) const { return Words[i >> 6] >> (i & 63) & 1; }
    void Set(std::size_t i) { Words[i >> 6] |= TWord(1) << (i & 63); }
    void Reset(std::size_t i) { Words[i >> 6] &= ~(TWord(1) << (i & 63)); }
    bool Any() const {
        return std::any_of(Words.begin(), Words.end(), [](TWord w) { return w != 0; });
    }
    int Count() const {
        int count = 0;
        for (const TWord w : Words)
            count += std::popcount(w);
        return count;
    }
    void RemoveAll(const TBits &other) {
        for (std::size_t i = 0; i < Words.size(); ++i)
            Words[i] &= ~other.Words[i];
    }
    // No member of this within `within` is missing from `other`.
    bool SubsetWithin(const TBits &other, const TBits &within) const {
        for (std::size_t i = 0; i < Words.size(); ++i)
            if (Words[i] & within.Words[i] & ~other.Words[i]) return false;
        return true;
    }
    bool Meets(const TBits &other, const TBits &within) const {
        for (std::size_t i = 0; i < Words.size(); ++i)
            if (Words[i] & within.Words[i] & other.Words[i]) return true;
        return false;
    }
    int CountWithin(const TBits &within) const {
        int count = 0;
        for (std::size_t i = 0; i < Words.size(); ++i)
            count += std::popcount(Words[i] & within.Words[i]);
        return count;
    }
    int FirstWithin(const TBits &within) const {
        for (std::size_t i = 0; i < Words.size(); ++i)
            if (const TWord w = Words[i] & within.Words[i])
                return int(i * 64 + std::countr_zero(w));
        return -1;
    }
    // Removes and returns the lowest member, or -1 when there is none.
    int PopFirst() {
        for (std::size_t i = 0; i < Words.size(); ++i)
            if (Words[i]) {
                const int bit = std::countr_zero(Words[i]);
                Words[i] &= Words[i] - 1;
                return int(i * 64 + bit);
            }
        return -1;
    }
    template <typename TVisit> void ForEachWithin(const TBits &within, TVisit visit) const {
        for (std::size_t i = 0; i < Words.size(); ++i)
            for (TWord w = Words[i] & within.Words[i]; w; w &= w - 1)
                visit(int(i * 64 + std::countr_zero(w)));
    }
    template <typename TVisit> void ForEach(TVisit visit) const {
        for (std::size_t i = 0; i < Words.size(); ++i)
            for (TWord w = Words[i]; w; w &= w - 1)
                visit(int(i * 64 + std::countr_zero(w)));
    }
};

// The products of a cover cost a unit each, far more than all their literals together
// (at most 4096 products of 12 literals), so one sum compares (products, literals) in order.
constexpr std::int64_t ProductCost = 1 << 16;

// Work (rows and columns looked at) after which the exact cover stops searching and completes
// its best cover so far greedily: random functions of 9 inputs stay well below it, about one in
// five of those of 10 inputs (half the rows ones) reach it, and none of 12 inputs takes much more
// than half a second.
constexpr std::int64_t WorkLimit = 50'000'000;

// The cheapest set of columns that covers every row; columns are prime implicants, rows the
// rows of the on-set.
class TCoverSolver {
public:
    TCoverSolver(int rows, std::vector<TBits> rowsOf, std::vector<std::vector<int>> colsOf,
                 std::vector<std::int64_t> weights)
        : FRows(rows), FRowsOf(std::move(rowsOf)), FColsOf(std::move(colsOf)),
          FWeights(std::move(weights)) {}

    // First the fewest products alone, which is quick; then, knowing that no cover has fewer,
    // the fewest literals, which the relaxation of literals with the products pinned bounds far
    // better than one of products can.
    std::vector<int> Solve(bool &exact) {
        TBits rows(FRows), cols(FWeights.size());
        for (int r = 0; r < FRows; ++r)
            rows.Set(r);
        for (std::size_t c = 0; c < FWeights.size(); ++c)
            cols.Set(c);
        FProductsOnly = true;
        TSolution fewest = Greedy(rows, cols);
        if (auto found = Search(rows, cols, rows, cols, fewest.Cost, 0)) fewest = std::move(*found);
        const bool proven = !FGaveUp;
        FProductsOnly = false;
        TSolution start = Cheapened(fewest.Columns);
        const std::int64_t products = proven ? std::int64_t(fewest.Columns.size()) : 0;
        std::optional<TSolution> best = Search(rows, cols, rows, cols, start.Cost, products);
        exact = !FGaveUp;
        return best ? best->Columns : start.Columns;
    }

private:
    struct TSolution {
        std::vector<int> Columns;
        std::int64_t Cost = 0;
        void Add(int column, std::int64_t weight) {
            Columns.push_back(column);
            Cost += weight;
        }
        void Add(const TSolution &other) {
            Columns.insert(Columns.end(), other.Columns.begin(), other.Columns.end());
            Cost += other.Cost;
        }
    };

    int ActiveCount(int row, const TBits &cols) const {
        int count = 0;
        for (const int c : FColsOf[row])
            count += cols.Test(c);
        return count;
    }

    std::int64_t Weight(int column) const { return FProductsOnly ? ProductCost : FWeights[column]; }

    std::int64_t Literals(int column) const { return FWeights[column] - ProductCost; }

    // Drops row r and marks the columns that held it, which may now be dominated.
    void DropRow(int r, TBits &rows, const TBits &cols, TBits &dirtyCols) const {
        rows.Reset(r);
        for (const int c : FColsOf[r])
            if (cols.Test(c)) dirtyCols.Set(c);
    }

    // Drops column c and marks its rows, which may now have one column left or dominate others.
    void DropColumn(int c, const TBits &rows, TBits &cols, TBits &dirtyRows) const {
        cols.Reset(c);
        for (std::size_t i = 0; i < rows.Words.size(); ++i)
            dirtyRows.Words[i] |= FRowsOf[c].Words[i] & rows.Words[i];
    }

    // Takes essential columns into `solution` and drops dominated rows and columns; false when
    // a row has no column left. Only the marked rows and columns are looked at: a row can become
    // essential or dominate another only when it loses a column, and a column can become
    // dominated only when it loses a row, so the marks follow what each drop changes.
    bool Reduce(TBits &rows, TBits &cols, TBits &dirtyRows, TBits &dirtyCols, TSolution &solution) {
        std::vector<int> active;
        for (;;) {
            if (const int r = dirtyRows.PopFirst(); r >= 0) {
                if (!rows.Test(r)) continue;
                ++FWork;
                active.clear();
                int pivot = -1, pivotRows = std::numeric_limits<int>::max();
                for (const int c : FColsOf[r]) {
                    if (!cols.Test(c)) continue;
                    active.push_back(c);
                    const int held = FRowsOf[c].CountWithin(rows);
                    if (held < pivotRows) pivot = c, pivotRows = held;
                }
                if (active.empty()) return false;
                if (active.size() == 1) {
                    solution.Add(pivot, Weight(pivot));
                    cols.Reset(pivot);
                    FRowsOf[pivot].ForEachWithin(
                        rows, [&](int r2) { DropRow(r2, rows, cols, dirtyCols); });
                    continue;
                }
                // A row whose columns all hold another row makes that other row held anyway.
                FRowsOf[pivot].ForEachWithin(rows, [&](int r2) {
                    if (r2 == r) return;
                    ++FWork;
                    for (const int c : active)
                        if (!FRowsOf[c].Test(r2)) return;
                    DropRow(r2, rows, cols, dirtyCols);
                });
                continue;
            }
            const int c1 = dirtyCols.PopFirst();
            if (c1 < 0) return true;
            if (!cols.Test(c1)) continue;
            ++FWork;
            // A column whose rows another no dearer column also holds is never needed.
            const int first = FRowsOf[c1].FirstWithin(rows);
            if (first < 0) {
                cols.Reset(c1);
                continue;
            }
            for (const int c2 : FColsOf[first]) {
                if (c2 == c1 || !cols.Test(c2) || Weight(c2) > Weight(c1)) continue;
                ++FWork;
                if (!FRowsOf[c1].SubsetWithin(FRowsOf[c2], rows)) continue;
                DropColumn(c1, rows, cols, dirtyRows);
                break;
            }
        }
    }

    // Rows that share no column each need a column of their own.
    std::int64_t LowerBound(const TBits &rows, const TBits &cols) {
        std::vector<std::pair<int, int>> order;
        rows.ForEach([&](int r) { order.emplace_back(ActiveCount(r, cols), r); });
        std::sort(order.begin(), order.end());
        TBits used(FWeights.size());
        std::int64_t bound = 0;
        for (const auto &[count, r] : order) {
            ++FWork;
            bool free = true;
            std::int64_t cheapest = std::numeric_limits<std::int64_t>::max();
            for (const int c : FColsOf[r])
                if (cols.Test(c)) {
                    if (used.Test(c)) free = false;
                    cheapest = std::min(cheapest, Weight(c));
                }
            if (!free) continue;
            bound += cheapest;
            for (const int c : FColsOf[r])
                if (cols.Test(c)) used.Set(c);
        }
        return bound;
    }

    static constexpr double Excluded = 1e9, Forced = -1e9;

    struct TMatrix {
        std::vector<int> Start, Members;
        std::span<const int> Of(std::size_t k) const {
            return {Members.data() + Start[k], Members.data() + Start[k + 1]};
        }
    };

    // Multipliers a relaxation keeps from one search node to the next.
    struct TMultipliers {
        std::vector<double> Rows;
        int Calls = 0;
    };

    // A Lagrangian relaxation, its multipliers improved by subgradient steps from where the last
    // search node left them. Of products alone, `target` is one more than the products allowed;
    // of `literals`, the covers have exactly `products` products and `target` is the least count
    // of literals that cannot beat the best cover. Empty when it proves that no cover comes below
    // target; otherwise each column's reduced cost, Excluded for a column that no such cover can
    // contain, or Forced for one that every such cover contains. `bound` is the best lower bound
    // found.
    std::vector<double> Relaxation(const TBits &rows, const TBits &cols, bool literals,
                                   std::int64_t products, std::int64_t target,
                                   std::optional<TSolution> &cover, double &bound) {
        // The active part as a compact matrix: rows numbered 0.. in order, each column's rows
        // one run of `members`.
        std::vector<int> rowList, colList, local(FRows, -1);
        rows.ForEach([&](int r) {
            local[r] = int(rowList.size());
            rowList.push_back(r);
        });
        cols.ForEach([&](int c) { colList.push_back(c); });
        const std::size_t nRows = rowList.size(), nCols = colList.size();
        TMatrix matrix;
        matrix.Start.push_back(0);
        std::vector<double> base(nCols, 1.0);
        for (std::size_t k = 0; k < nCols; ++k) {
            FRowsOf[colList[k]].ForEachWithin(rows,
                                              [&](int r) { matrix.Members.push_back(local[r]); });
            matrix.Start.push_back(int(matrix.Members.size()));
            if (literals) base[k] = double(Literals(colList[k]));
        }
        TMultipliers &m = literals ? FLiteralMultipliers : FProductMultipliers;
        if (m.Rows.empty()) {
            // Each row's share of its cheapest column per row, a start the steps soon improve.
            m.Rows.assign(FRows, std::numeric_limits<double>::max());
            for (std::size_t k = 0; k < nCols; ++k)
                for (const int i : matrix.Of(k))
                    m.Rows[rowList[i]] =
                        std::min(m.Rows[rowList[i]], base[k] / double(matrix.Of(k).size()));
            for (double &u : m.Rows)
                if (u == std::numeric_limits<double>::max()) u = 0;
        }
        std::vector<double> u(nRows), bestRows(nRows);
        for (std::size_t i = 0; i < nRows; ++i)
            u[i] = m.Rows[rowList[i]];
        bestRows = u;
        // The price of a product, chosen afresh each round when the products are pinned.
        double price = 0;
        std::vector<int> hits(nRows);
        std::vector<double> costs(literals ? nCols : 0);
        double gap = 0;
        if (literals && (products <= 0 || std::size_t(products) > nCols)) return {};
        double step = 1.0;
        bound = -std::numeric_limits<double>::max();
        const bool first = m.Calls++ == 0;
        const int rounds = first ? 300 : 40;
        const auto reducedCost = [&](std::size_t k) {
            double cost = base[k] + price;
            for (const int i : matrix.Of(k))
                cost -= u[i];
            return cost;
        };
        const auto tryCover = [&] {
            std::vector<double> cost(nCols);
            for (std::size_t k = 0; k < nCols; ++k)
                cost[k] = reducedCost(k);
            TSolution found = LagrangianCover(nRows, colList, matrix, cost);
            if (!cover || found.Cost < cover->Cost) cover = std::move(found);
        };
        const auto keep = [&] {
            for (std::size_t i = 0; i < nRows; ++i)
                m.Rows[rowList[i]] = u[i];
        };
        const auto proves = [&](double value) { return std::ceil(value - 1e-6) >= double(target); };
        for (int round = 0, stall = 0; round < rounds; ++round) {
            if (first && !literals && round % 25 == 24) tryCover();
            FWork += std::int64_t(matrix.Members.size());
            if (literals) {
                price = 0;
                for (std::size_t k = 0; k < nCols; ++k)
                    costs[k] = reducedCost(k);
                price = PinnedPrice(costs, products, gap);
                FWork += 4 * std::int64_t(nCols);
            }
            double value = literals ? -price * double(products) : 0;
            for (std::size_t i = 0; i < nRows; ++i)
                value += u[i], hits[i] = 0;
            for (std::size_t k = 0; k < nCols; ++k) {
                const double cost = literals ? costs[k] + price : reducedCost(k);
                if (cost < 0) {
                    value += cost;
                    for (const int i : matrix.Of(k))
                        ++hits[i];
                }
            }
            if (value > bound + 1e-9) {
                bound = value;
                bestRows = u;
                stall = 0;
                if (proves(bound)) {
                    keep();
                    return {};
                }
            } else if (++stall >= 5) {
                step /= 2;
                stall = 0;
            }
            double norm = 0;
            for (std::size_t i = 0; i < nRows; ++i)
                norm += double(1 - hits[i]) * (1 - hits[i]);
            if (norm == 0) break;
            const double move = step * (double(target) - value) / norm;
            for (std::size_t i = 0; i < nRows; ++i)
                u[i] = std::max(0.0, u[i] + move * (1 - hits[i]));
        }
        u = bestRows;
        if (literals) {
            price = 0;
            for (std::size_t k = 0; k < nCols; ++k)
                costs[k] = reducedCost(k);
            price = PinnedPrice(costs, products, gap);
        }
        keep();
        if (!literals) tryCover();
        std::vector<double> result(FWeights.size(), Excluded);
        for (std::size_t k = 0; k < nCols; ++k) {
            const double cost = reducedCost(k);
            // Taking a column of positive reduced cost, or leaving out one of negative cost, costs
            // at least that much above the bound; with the products pinned, also the gap between
            // the last column taken and the first left out, as one must give way to the other.
            result[colList[k]] = !proves(bound + std::abs(cost) + gap / 2) ? cost
                                 : cost > 0                                ? Excluded
                                                                           : Forced;
        }
        return result;
    }

    // With exactly `products` columns taken, the relaxation takes the cheapest ones: the price
    // of a product halfway between the last column taken and the first left out makes exactly
    // those negative. `gap` is the distance between the two.
    static double PinnedPrice(std::vector<double> costs, std::int64_t products, double &gap) {
        const auto last = costs.begin() + (products - 1);
        std::nth_element(costs.begin(), last, costs.end());
        const double taken = *last;
        if (std::size_t(products) == costs.size()) {
            gap = 1e9;
            return -(taken + 1);
        }
        const double next = *std::min_element(last + 1, costs.end());
        gap = next - taken;
        return -(taken + next) / 2;
    }

    // A cover guided by the reduced costs: the columns of negative cost, then the columns that
    // cover most of the rest, then columns the others make redundant dropped, dearest first.
    TSolution LagrangianCover(std::size_t nRows, const std::vector<int> &colList,
                              const TMatrix &matrix, const std::vector<double> &cost) {
        std::vector<int> held(nRows, 0);
        std::vector<bool> taken(colList.size(), false);
        int uncovered = int(nRows);
        const auto take = [&](std::size_t k) {
            taken[k] = true;
            for (const int i : matrix.Of(k))
                uncovered -= held[i]++ == 0;
        };
        for (std::size_t k = 0; k < colList.size(); ++k)
            if (cost[k] < 0) take(k);
        while (uncovered > 0) {
            std::size_t pick = colList.size();
            int most = 0;
            for (std::size_t k = 0; k < colList.size(); ++k) {
                if (taken[k]) continue;
                int count = 0;
                for (const int i : matrix.Of(k))
                    count += held[i] == 0;
                if (count > most || (count == most && count > 0 && cost[k] < cost[pick]))
                    most = count, pick = k;
            }
            FWork += std::int64_t(colList.size());
            take(pick);
        }
        std::vector<std::size_t> order;
        for (std::size_t k = 0; k < colList.size(); ++k)
            if (taken[k]) order.push_back(k);
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::pair{cost[a], Weight(colList[a])} > std::pair{cost[b], Weight(colList[b])};
        });
        TSolution solution;
        for (const std::size_t k : order) {
            const auto members = matrix.Of(k);
            if (std::all_of(members.begin(), members.end(), [&](int i) { return held[i] > 1; })) {
                for (const int i : members)
                    --held[i];
                continue;
            }
            solution.Add(colList[k], Weight(colList[k]));
        }
        return solution;
    }

    // The cover with each column in turn replaced by one of fewer literals that holds the rows
    // no other column holds, until none can be; the products stay as many, the literals bound
    // the search below far better than the first cover of fewest products found.
    TSolution Cheapened(std::vector<int> columns) {
        std::vector<int> held(FRows, 0), only;
        for (const int c : columns)
            FRowsOf[c].ForEach([&](int r) { ++held[r]; });
        for (bool changed = true; changed;) {
            changed = false;
            for (int &c : columns) {
                only.clear();
                FRowsOf[c].ForEach([&](int r) {
                    if (held[r] == 1) only.push_back(r);
                });
                if (only.empty()) continue;
                int best = c;
                for (const int c2 : FColsOf[only.front()]) {
                    ++FWork;
                    if (FWeights[c2] < FWeights[best] &&
                        std::all_of(only.begin(), only.end(),
                                    [&](int r) { return FRowsOf[c2].Test(r); }))
                        best = c2;
                }
                if (best == c) continue;
                FRowsOf[c].ForEach([&](int r) { --held[r]; });
                FRowsOf[best].ForEach([&](int r) { ++held[r]; });
                c = best;
                changed = true;
            }
        }
        TSolution cheapened;
        for (const int c : columns)
            cheapened.Add(c, FWeights[c]);
        return cheapened;
    }

    // The column that covers most rows first, then columns the others make redundant dropped.
    TSolution Greedy(TBits rows, const TBits &cols) {
        const TBits target = rows;
        std::vector<int> open(FWeights.size(), 0);
        cols.ForEach([&](int c) { FRowsOf[c].ForEach([&](int r) { open[c] += rows.Test(r); }); });
        TSolution solution;
        std::vector<int> coveredBy(FRows, 0);
        while (rows.Any()) {
            int best = -1;
            cols.ForEach([&](int c) {
                if (open[c] > 0 && (best < 0 || open[c] > open[best] ||
                                    (open[c] == open[best] && Weight(c) < Weight(best))))
                    best = c;
            });
            if (best < 0) break; // unreachable: every row has a column
            solution.Columns.push_back(best);
            FRowsOf[best].ForEach([&](int r) {
                ++FWork;
                coveredBy[r] += target.Test(r);
                if (!rows.Test(r)) return;
                rows.Reset(r);
                for (const int c : FColsOf[r])
                    --open[c];
            });
        }
        TSolution kept;
        for (auto it = solution.Columns.rbegin(); it != solution.Columns.rend(); ++it) {
            bool needed = false;
            FRowsOf[*it].ForEach([&](int r) { needed = needed || coveredBy[r] == 1; });
            if (needed)
                kept.Add(*it, Weight(*it));
            else
                FRowsOf[*it].ForEach([&](int r) { --coveredBy[r]; });
        }
        return kept;
    }

    // The rows split into groups that share no column, each with the columns that meet it.
    std::vector<std::pair<TBits, TBits>> Components(const TBits &rows, const TBits &cols) const {
        std::vector<std::pair<TBits, TBits>> parts;
        TBits seenRows(FRows), seenCols(FWeights.size());
        std::vector<int> stack;
        rows.ForEach([&](int start) {
            if (seenRows.Test(start)) return;
            std::pair<TBits, TBits> part{TBits(FRows), TBits(FWeights.size())};
            seenRows.Set(start);
            stack.push_back(start);
            while (!stack.empty()) {
                const int r = stack.back();
                stack.pop_back();
                part.first.Set(r);
                for (const int c : FColsOf[r]) {
                    if (!cols.Test(c) || seenCols.Test(c)) continue;
                    seenCols.Set(c);
                    part.second.Set(c);
                    FRowsOf[c].ForEach([&](int r2) {
                        if (rows.Test(r2) && !seenRows.Test(r2)) {
                            seenRows.Set(r2);
                            stack.push_back(r2);
                        }
                    });
                }
            }
            parts.push_back(std::move(part));
        });
        return parts;
    }

    // The cheapest cover of `rows` by `cols` that costs less than `limit`, if there is one; the
    // marked rows and columns are those that changed since the caller's last reduction, and no
    // cover has fewer than `minProducts` products.
    std::optional<TSolution> Search(TBits rows, TBits cols, TBits dirtyRows, TBits dirtyCols,
                                    std::int64_t limit, std::int64_t minProducts) {
        TSolution solution;
        if (!Reduce(rows, cols, dirtyRows, dirtyCols, solution) || solution.Cost >= limit)
            return std::nullopt;
        if (!rows.Any()) return solution;
        minProducts =
            std::max<std::int64_t>(0, minProducts - std::int64_t(solution.Columns.size()));
        if (FWork > WorkLimit) {
            FGaveUp = true;
            const TSolution rest = Greedy(rows, cols);
            if (solution.Cost + rest.Cost >= limit) return std::nullopt;
            solution.Add(rest);
            return solution;
        }
        const auto parts = Components(rows, cols);
        if (parts.size() > 1) {
            std::vector<std::int64_t> bounds;
            std::int64_t rest = 0;
            for (const auto &part : parts)
                rest += bounds.emplace_back(LowerBound(part.first, part.second));
            for (std::size_t i = 0; i < parts.size(); ++i) {
                rest -= bounds[i];
                const auto found = Search(parts[i].first, parts[i].second, TBits(FRows),
                                          TBits(FWeights.size()), limit - solution.Cost - rest, 0);
                if (!found) return std::nullopt;
                solution.Add(*found);
            }
            return solution;
        }
        if (solution.Cost + LowerBound(rows, cols) >= limit) return std::nullopt;
        // A cover with more products than this costs at least the limit.
        const std::int64_t room = limit - solution.Cost, maxProducts = (room - 1) / ProductCost;
        if (minProducts > maxProducts) return std::nullopt;
        std::optional<TSolution> best;
        std::vector<double> reduced;
        double bound = 0;
        if (FProductsOnly || minProducts < maxProducts) {
            reduced = Relaxation(rows, cols, false, maxProducts, maxProducts + 1, best, bound);
            if (reduced.empty()) return std::nullopt;
            minProducts = std::max(minProducts, std::int64_t(std::ceil(bound - 1e-6)));
        }
        if (!FProductsOnly && minProducts == maxProducts) {
            // Every cover below the limit has exactly maxProducts products: bound its literals.
            const std::vector<double> byProducts = std::move(reduced);
            reduced = Relaxation(rows, cols, true, maxProducts, room - maxProducts * ProductCost,
                                 best, bound);
            if (reduced.empty()) return std::nullopt;
            if (!byProducts.empty())
                for (std::size_t c = 0; c < reduced.size(); ++c)
                    if (byProducts[c] == Excluded) reduced[c] = Excluded;
        }
        std::int64_t below = room;
        if (best && best->Cost < below)
            below = best->Cost;
        else
            best.reset();
        bool fixed = false;
        TSolution forced;
        cols.ForEach([&](int c) {
            if (reduced[c] == Excluded) DropColumn(c, rows, cols, dirtyRows), fixed = true;
            if (reduced[c] == Forced) forced.Add(c, Weight(c)), cols.Reset(c), fixed = true;
        });
        for (const int c : forced.Columns)
            FRowsOf[c].ForEachWithin(rows, [&](int r) { DropRow(r, rows, cols, dirtyCols); });
        if (fixed) {
            const std::int64_t fewer = minProducts - std::int64_t(forced.Columns.size());
            if (auto found = Search(rows, cols, dirtyRows, dirtyCols, below - forced.Cost,
                                    std::max<std::int64_t>(0, fewer))) {
                found->Add(forced);
                best = std::move(found);
            }
            if (!best) return std::nullopt;
            solution.Add(*best);
            return solution;
        }
        // Branch on the row with the fewest columns, trying the columns that cover most first;
        // each later branch leaves out the columns tried before it.
        int branchRow = -1, fewest = std::numeric_limits<int>::max();
        rows.ForEach([&](int r) {
            const int count = ActiveCount(r, cols);
            if (count < fewest) fewest = count, branchRow = r;
        });
        std::vector<std::tuple<double, int, int>> choices;
        for (const int c : FColsOf[branchRow]) {
            if (!cols.Test(c)) continue;
            int covers = 0;
            for (std::size_t i = 0; i < rows.Words.size(); ++i)
                covers += std::popcount(FRowsOf[c].Words[i] & rows.Words[i]);
            choices.emplace_back(reduced[c], -covers, c);
        }
        std::sort(choices.begin(), choices.end());
        // Each branch marks the columns that lost rows to its column and the rows that lost the
        // columns tried before it.
        TBits excludedRows(FRows);
        for (const auto &[cost, covers, c] : choices) {
            TBits left = rows, branchCols(FWeights.size());
            left.RemoveAll(FRowsOf[c]);
            cols.Reset(c);
            FRowsOf[c].ForEachWithin(rows, [&](int r) {
                for (const int c2 : FColsOf[r])
                    if (cols.Test(c2)) branchCols.Set(c2);
            });
            TBits branchRows = excludedRows;
            for (std::size_t i = 0; i < left.Words.size(); ++i)
                branchRows.Words[i] &= left.Words[i];
            for (std::size_t i = 0; i < rows.Words.size(); ++i)
                excludedRows.Words[i] |= FRowsOf[c].Words[i] & rows.Words[i];
            auto found = Search(std::move(left), cols, std::move(branchRows), std::move(branchCols),
                                below - Weight(c), std::max<std::int64_t>(0, minProducts - 1));
            if (!found) continue;
            found->Add(c, Weight(c));
            below = found->Cost;
            best = std::move(found);
        }
        if (!best) return std::nullopt;
        solution.Add(*best);
        return solution;
    }

    int FRows;
    std::vector<TBits> FRowsOf;
    std::vector<std::vector<int>> FColsOf;
    std::vector<std::int64_t> FWeights;
    std::int64_t FWork = 0;
    bool FGaveUp = false;
    bool FProductsOnly = false;
    TMultipliers FProductMultipliers, FLiteralMultipliers;
};

// Every cube of up to 12 inputs as a base-3 number, digit j for row bit j: 0 or 1 for a literal,
// 2 for an input left out. A cube is an implicant when it holds no off row; the primes are the
// implicants that lose that by dropping any literal. Only primes that hold an on row are kept.
std::vector<TCube> PrimeImplicants(int inputs, const TRowSet &on, const TRowSet &dc) {
    std::vector<std::size_t> power(inputs + 1, 1);
    for (int j = 1; j <= inputs; ++j)
        power[j] = power[j - 1] * 3;
    enum : std::uint8_t { Implicant = 1, HoldsOn = 2 };
    std::vector<std::uint8_t> flags(power[inputs]);
    std::vector<int> digit(inputs, 0);
    for (std::size_t t = 0; t < flags.size(); ++t) {
        int lowestFree = -1;
        std::size_t row = 0;
        for (int j = 0; j < inputs; ++j) {
            if (digit[j] == 2 && lowestFree < 0) lowestFree = j;
            row |= std::size_t(digit[j] & 1) << j;
        }
        if (lowestFree < 0) {
            flags[t] =
                (TestBit(on, row) ? Implicant | HoldsOn : 0) | (TestBit(dc, row) ? Implicant : 0);
        } else {
            const std::uint8_t zero = flags[t - 2 * power[lowestFree]];
            const std::uint8_t one = flags[t - power[lowestFree]];
            flags[t] = ((zero & one) & Implicant) | ((zero | one) & HoldsOn);
        }
        for (int j = 0; j < inputs && ++digit[j] == 3; ++j)
            digit[j] = 0;
    }
    std::vector<TCube> primes;
    for (std::size_t t = 0; t < flags.size(); ++t) {
        if (flags[t] == (Implicant | HoldsOn)) {
            TCube cube;
            bool prime = true;
            for (int j = 0; j < inputs && prime; ++j) {
                if (digit[j] == 2) continue;
                cube.Care |= 1u << j;
                cube.Value |= std::uint32_t(digit[j]) << j;
                prime = !(flags[t + (2 - digit[j]) * power[j]] & Implicant);
            }
            if (prime) primes.push_back(cube);
        }
        for (int j = 0; j < inputs && ++digit[j] == 3; ++j)
            digit[j] = 0;
    }
    return primes;
}

TCover ExactCover(int inputs, const TRowSet &on, const TRowSet &dc) {
    const std::vector<TCube> primes = PrimeImplicants(inputs, on, dc);
    std::vector<int> rowIndex(std::size_t(1) << inputs, -1);
    int rows = 0;
    for (std::size_t r = 0; r < rowIndex.size(); ++r)
        if (TestBit(on, r)) rowIndex[r] = rows++;
    std::vector<TBits> rowsOf(primes.size(), TBits(rows));
    std::vector<std::vector<int>> colsOf(rows);
    std::vector<std::int64_t> weights;
    for (std::size_t c = 0; c < primes.size(); ++c) {
        weights.push_back(ProductCost + primes[c].Literals());
        const std::uint32_t free = std::uint32_t(rowIndex.size() - 1) & ~primes[c].Care;
        for (std::uint32_t sub = free;; sub = (sub - 1) & free) {
            if (const int r = rowIndex[primes[c].Value | sub]; r >= 0) {
                rowsOf[c].Set(r);
                colsOf[r].push_back(int(c));
            }
            if (sub == 0) break;
        }
    }
    TCover cover;
    TCoverSolver solver(rows, std::move(rowsOf), std::move(colsOf), std::move(weights));
    for (const int c : solver.Solve(cover.Exact))
        cover.Cubes.push_back(primes[c]);
    return cover;
}

// Each on row not yet covered grows, one input at a time, into a prime that holds no off row;
// then cubes whose on rows all lie in other cubes go, the smallest first.
TCover HeuristicCover(int inputs, const TRowSet &on, const TRowSet &dc) {
    TRowSet off(on.size()), open = on;
    for (std::size_t w = 0; w < on.size(); ++w)
        off[w] = ~(on[w] | dc[w]);
    off.back() &= LastWordMask(inputs);
    const auto holdsOff = [&](TCube cube) {
        return ForEachCubeWord(inputs, cube,
                               [&](std::size_t w, TWord mask) { return (off[w] & mask) != 0; });
    };
    TCover cover;
    cover.Exact = false;
    for (std::size_t w = 0; w < open.size(); ++w) {
        while (open[w]) {
            const auto row = std::uint32_t(w * 64 + std::countr_zero(open[w]));
            TCube cube{std::uint32_t((std::size_t(1) << inputs) - 1), row};
            for (int j = inputs - 1; j >= 0; --j) {
                const std::uint32_t bit = 1u << j;
                if (holdsOff(TCube{cube.Care, cube.Value ^ bit})) continue;
                cube.Care &= ~bit;
                cube.Value &= ~bit;
            }
            ForEachCubeWord(inputs, cube, [&](std::size_t v, TWord mask) {
                open[v] &= ~mask;
                return false;
            });
            cover.Cubes.push_back(cube);
        }
    }
    // How many cubes hold each on row; a row held by 255 pins its cubes, which keeps the count
    // exact in a byte.
    std::vector<std::uint8_t> holders(std::size_t(1) << inputs, 0);
    for (const TCube &cube : cover.Cubes)
        ForEachCubeWord(inputs, cube, [&](std::size_t w, TWord mask) {
            for (TWord rows = mask & on[w]; rows; rows &= rows - 1) {
                std::uint8_t &count = holders[w * 64 + std::countr_zero(rows)];
                count += count < 255;
            }
            return false;
        });
    std::vector<std::size_t> order(cover.Cubes.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return cover.Cubes[a].Literals() > cover.Cubes[b].Literals();
    });
    std::vector<bool> kept(cover.Cubes.size(), true);
    for (const std::size_t i : order) {
        const bool needed = ForEachCubeWord(inputs, cover.Cubes[i], [&](std::size_t w, TWord m) {
            for (TWord rows = m & on[w]; rows; rows &= rows - 1) {
                const std::uint8_t count = holders[w * 64 + std::countr_zero(rows)];
                if (count < 2 || count == 255) return true;
            }
            return false;
        });
        if (needed) continue;
        kept[i] = false;
        ForEachCubeWord(inputs, cover.Cubes[i], [&](std::size_t w, TWord mask) {
            for (TWord rows = mask & on[w]; rows; rows &= rows - 1)
                --holders[w * 64 + std::countr_zero(rows)];
            return false;
        });
    }
    std::vector<TCube> cubes;
    for (std::size_t i = 0; i < cover.Cubes.size(); ++i)
        if (kept[i]) cubes.push_back(cover.Cubes[i]);
    cover.Cubes = std::move(cubes);
    return cover;
}

// Checks the arguments; returns the on rows that are not don't-cares and the don't-cares, both
// without bits past the last row.
std::pair<TRowSet, TRowSet> Normalized(int inputs, const TRowSet &onSet, const TRowSet &dontCare) {
    if (inputs < 0 || inputs > MaxMinimizeInputs)
        throw std::invalid_argument(std::to_string(inputs) + " inputs: at most " +
                                    std::to_string(MaxMinimizeInputs));
    const std::size_t words = RowWords(inputs);
    if (onSet.size() != words || (!dontCare.empty() && dontCare.size() != words))
        throw std::invalid_argument("a row set of " + std::to_string(inputs) + " inputs has " +
                                    std::to_string(words) + " words");
    TRowSet on = onSet, dc = dontCare.empty() ? TRowSet(words, 0) : dontCare;
    for (std::size_t w = 0; w < words; ++w)
        on[w] &= ~dc[w];
    on.back() &= LastWordMask(inputs);
    dc.back() &= LastWordMask(inputs);
    return {std::move(on), std::move(dc)};
}

// Cube bit j stands for row bit j, that is input (inputs - 1 - j), as TCube says.
TCover Minimize(int inputs, const TRowSet &on, const TRowSet &dc) {
    return inputs <= MaxExactInputs ? ExactCover(inputs, on, dc) : HeuristicCover(inputs, on, dc);
}

} // namespace

TCover MinimalSumOfProducts(int inputs, const TRowSet &onSet, const TRowSet &dontCare) {
    const auto [on, dc] = Normalized(inputs, onSet, dontCare);
    return Minimize(inputs, on, dc);
}

TCover MinimalProductOfSums(int inputs, const TRowSet &onSet, const TRowSet &dontCare) {
    auto [on, dc] = Normalized(inputs, onSet, dontCare);
    for (std::size_t w = 0; w < on.size(); ++w)
        on[w] = ~(on[w] | dc[w]);
    on.back() &= LastWordMask(inputs);
    return Minimize(inputs, on, dc);
}
