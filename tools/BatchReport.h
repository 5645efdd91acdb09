#pragma once

// What `ztrtool test` found for many networks against one table, and its three reports: the text
// for the terminal, JUnit XML for a CI system, JSON for a teacher's scripts.

#include "sim/TruthTable.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TRowOutcome {
    bool Settled = false, Passed = false;
    double Seconds = 0;      // processor time
    std::vector<TLevel> Got; // settled rows only
};

struct TFileOutcome {
    enum class TStatus { Ran, Error, Timeout };
    std::string Name; // as the reports show it
    TStatus Status = TStatus::Error;
    std::string Reason;      // Error: why it did not load or run
    std::int64_t MaxRun = 0; // ms a row may run before it counts as not settling
    double Seconds = 0;
    std::vector<TRowOutcome> Rows; // Ran: one for each row of the table
};

// Counts for one file or all: the rows of a file in error or out of time count as failed.
struct TTally {
    std::size_t Passed = 0, Failed = 0;
    std::int64_t PassedWeight = 0, Weight = 0;
    // Passed weight over all weight; 0 for no rows.
    double Score() const { return Weight > 0 ? double(PassedWeight) / double(Weight) : 0; }
};
TTally Tally(const TTruthTable &table, const TFileOutcome &file);

// The levels as a table writes them: "0 1 X".
std::string LevelText(const std::vector<TTableValue> &values);
std::string LevelText(const std::vector<TLevel> &levels);

// "name: 7 passed, 1 failed" and the failing rows under it, or "name: error: reason", or
// "name: timeout"; each line ends in '\n'.
std::string FileText(const TTruthTable &table, const TFileOutcome &file);
// A testsuite per file, a testcase per row.
std::string JUnitReport(const TTruthTable &table, std::string_view tableName,
                        const std::vector<TFileOutcome> &files);
// Per file its rows, passed, failed and weighted score; then the totals.
std::string JsonReport(const TTruthTable &table, std::string_view tableName,
                       const std::vector<TFileOutcome> &files);
// Bytes that are not UTF-8 become U+FFFD, so that any file name can go into the reports.
std::string ValidUtf8(std::string_view text);
