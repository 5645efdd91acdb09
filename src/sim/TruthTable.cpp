#include "TruthTable.h"

#include "Simulator.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// A line's words; a bar is a word of its own even when nothing separates it from its neighbours.
std::vector<std::string_view> Words(std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        if (IsBlank(line[at])) {
            ++at;
            continue;
        }
        std::size_t end = at + 1;
        if (line[at] != '|')
            while (end < line.size() && !IsBlank(line[end]) && line[end] != '|')
                ++end;
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

// A word as a message shows it: on one line, printable, not too long.
std::string Quoted(std::string_view word) {
    std::string text = "\"";
    for (const char c : word.substr(0, 24)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '"' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + (word.size() > 24 ? "...\"" : "\"");
}

// The column of the byte at `at`, counting UTF-8 characters.
int Column(std::string_view line, std::size_t at) {
    const auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    return int(std::count_if(line.begin(), line.begin() + std::ptrdiff_t(at),
                             [&](char c) { return !continuation(c); })) +
           1;
}

void ParseHeader(const std::vector<std::string_view> &words, int line, TTruthTable &table) {
    const auto bar = std::find(words.begin(), words.end(), "|");
    if (bar == words.end())
        throw ETruthTableError(line, "the header needs a | between the inputs and the outputs");
    if (std::find(bar + 1, words.end(), "|") != words.end())
        throw ETruthTableError(line, "more than one | in the header");
    table.Inputs.assign(words.begin(), bar);
    table.Outputs.assign(bar + 1, words.end());
    if (table.Inputs.empty()) throw ETruthTableError(line, "the header names no inputs");
    if (table.Outputs.empty()) throw ETruthTableError(line, "the header names no outputs");
    // An input set twice in a row would be ambiguous; an output read twice is only a mistake.
    for (const std::vector<std::string> *names : {&table.Inputs, &table.Outputs}) {
        std::vector<std::string> sorted = *names;
        std::sort(sorted.begin(), sorted.end());
        const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
        if (twice != sorted.end()) throw ETruthTableError(line, Quoted(*twice) + " is named twice");
    }
}

// The weight a line that is only `# weight N` gives; none for any other line.
std::optional<int> WeightDirective(std::string_view content, int line) {
    const std::size_t hash = content.find('#');
    if (hash == std::string_view::npos || !Words(content).empty()) return std::nullopt;
    std::vector<std::string_view> words;
    for (std::size_t at = hash + 1; at < content.size();) {
        std::size_t end = at;
        while (end < content.size() && !IsBlank(content[end]))
            ++end;
        if (end > at) words.push_back(content.substr(at, end - at));
        at = end + 1;
    }
    const auto isWeight = [](std::string_view word) {
        return word.size() == 6 && std::equal(word.begin(), word.end(), "weight",
                                              [](char a, char b) { return (a | 0x20) == b; });
    };
    if (words.size() != 2 || !isWeight(words[0])) return std::nullopt;
    const std::string_view number = words[1];
    int weight = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), weight);
    if (error != std::errc() || end != number.data() + number.size() || weight < 1 ||
        weight > MaxRowWeight)
        throw ETruthTableError(line,
                               Quoted(number) + " is not a weight (a whole number from 1 to " +
                                   std::to_string(MaxRowWeight) + ")",
                               Column(content, std::size_t(number.data() - content.data())));
    return weight;
}

TTableValue Value(std::string_view word, bool input, int line, int column) {
    if (word == "0") return TTableValue::Low;
    if (word == "1") return TTableValue::High;
    if (word == "X" || word == "x") {
        if (input) throw ETruthTableError(line, "X is no input level (0, 1 or C)", column);
        return TTableValue::DontCare;
    }
    if (word == "C" || word == "c") {
        if (!input) throw ETruthTableError(line, "C is no output level (0, 1 or X)", column);
        return TTableValue::Pulse;
    }
    // The column of the first character that cannot belong to a level.
    const bool levelFirst = std::string_view("01XxCc").find(word[0]) != std::string_view::npos;
    throw ETruthTableError(line, Quoted(word) + " is not a level (0, 1, X or C)",
                           column + (levelFirst ? 1 : 0));
}

TTableRow ParseRow(const std::vector<std::string_view> &words, std::string_view content, int line,
                   const TTruthTable &table) {
    const std::size_t inputs = table.Inputs.size(), count = inputs + table.Outputs.size();
    TTableRow row;
    row.Line = line;
    const auto bars = std::size_t(std::count(words.begin(), words.end(), "|"));
    if (words.size() - bars != count)
        throw ETruthTableError(line, std::to_string(words.size() - bars) +
                                         " levels where the header names " + std::to_string(count) +
                                         " ports");
    if (bars > 1 || (bars == 1 && words[inputs] != "|"))
        throw ETruthTableError(line, "the | must come once, after the " + std::to_string(inputs) +
                                         " input levels");
    for (const std::string_view word : words) {
        if (word == "|") continue;
        const bool input = row.Inputs.size() < inputs;
        (input ? row.Inputs : row.Outputs)
            .push_back(Value(word, input, line,
                             Column(content, std::size_t(word.data() - content.data()))));
    }
    return row;
}

struct TBinding {
    std::vector<int> Inputs;
    std::vector<int> Outputs;
};

TBinding Bind(const TSimNetwork &network, const TTruthTable &table) {
    // The first port of a name, as Find gives it, without a search per name.
    std::unordered_map<std::string_view, int> index;
    for (std::size_t i = 0; i < network.Names.size() && i < network.Ports.size(); ++i)
        index.emplace(network.Names[i], int(i));
    const auto find = [&](const std::string &name) {
        const auto found = index.find(name);
        if (found == index.end())
            throw ETruthTableError(table.HeaderLine, "no port named " + Quoted(name));
        return found->second;
    };
    TBinding binding;
    for (const std::string &name : table.Inputs) {
        binding.Inputs.push_back(find(name));
        if (network.Ports[std::size_t(binding.Inputs.back())].Kind != TLogicalPortType::logPLS)
            throw ETruthTableError(table.HeaderLine,
                                   Quoted(name) + " is an input but not a pulse switch");
    }
    for (const std::string &name : table.Outputs)
        binding.Outputs.push_back(find(name));
    return binding;
}

// The most virtual time served between two questions to proceed.
constexpr std::int64_t Piece = 4096;

// Runs from the next time not yet served until none of the outputs has changed for settle ms;
// false when that would take more than maxRun ms. Ports the table does not name (a running
// clock, an unrelated ring) may go on changing.
bool Settle(TSimulator &run, const std::vector<int> &outputs, std::int64_t settle,
            std::int64_t maxRun, const std::function<bool()> &proceed) {
    const std::int64_t start = run.ServedThrough() + 1;
    for (;;) {
        std::int64_t lastChange = start - 1;
        for (const int port : outputs)
            lastChange = std::max(lastChange, run.LastOutputChange(port));
        const std::int64_t quietUntil = lastChange + settle;
        if (run.ServedThrough() >= quietUntil) return true;
        if (quietUntil > start - 1 + maxRun) return false;
        if (proceed && !proceed()) throw ETruthTableStopped();
        run.RunUntil(std::min(quietUntil, run.ServedThrough() + Piece));
    }
}

} // namespace

ETruthTableError::ETruthTableError(int line, const std::string &reason, int column)
    : std::runtime_error("line " + std::to_string(line) +
                         (column > 0 ? ", column " + std::to_string(column) : "") + ": " + reason),
      Line(line), Column(column) {}

TTruthTable ParseTruthTable(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    TTruthTable table;
    int line = 0, weight = 1;
    for (std::size_t at = 0; at < text.size();) {
        if (line == INT_MAX) throw ETruthTableError(line, "too many lines");
        ++line;
        const std::size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        const std::string_view content = text.substr(at, end - at);
        at = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        // Pasted from a word processor, it looks like a space and would join two words.
        if (const std::size_t space = content.substr(0, content.find('#')).find("\xC2\xA0");
            space != std::string_view::npos)
            throw ETruthTableError(line, "a no-break space (U+00A0) where a space or tab is meant",
                                   Column(content, space));
        if (const std::optional<int> given = WeightDirective(content, line)) {
            weight = *given;
            continue;
        }
        const std::vector<std::string_view> words = Words(content);
        if (words.empty()) continue;
        if (table.HeaderLine == 0) {
            table.HeaderLine = line;
            ParseHeader(words, line, table);
        } else {
            table.Rows.push_back(ParseRow(words, content, line, table));
            table.Rows.back().Weight = weight;
        }
    }
    if (table.HeaderLine == 0)
        throw ETruthTableError(std::max(line, 1), "no header naming the inputs and outputs");
    if (table.Rows.empty()) throw ETruthTableError(table.HeaderLine, "the table has no rows");
    return table;
}

std::int64_t DefaultSettleTime(const TSimNetwork &network) {
    std::int64_t longest = 1;
    for (const TSimPort &port : network.Ports)
        longest = std::max<std::int64_t>(longest, port.Delay);
    return std::min<std::int64_t>(2 * longest, 60'000);
}

std::int64_t MaxRunTime(const TSimNetwork &network, std::int64_t settle) {
    const auto ports = std::int64_t(std::min<std::size_t>(network.Ports.size(), 1'000'000));
    return std::max(settle, std::min<std::int64_t>((ports + 100) * settle, 10'000'000));
}

std::vector<TRowResult> RunTruthTable(TSimNetwork &network, const TTruthTable &table,
                                      std::int64_t settle,
                                      const std::function<bool(std::size_t row)> &proceed) {
    const TBinding binding = Bind(network, table);
    settle = std::clamp<std::int64_t>(settle, 1, MaxSettleTime);
    const std::int64_t maxRun = MaxRunTime(network, settle);
    TSimulator run(network);
    run.Activate();
    // A switch that differs is double-clicked at the first time not yet served.
    const auto set = [&](int port, TLevel level) {
        if (network.Ports[std::size_t(port)].Levels.Output != level)
            run.Toggle(port, run.ServedThrough() + 1);
    };
    std::size_t current = 0;
    const std::function<bool()> proceedRow = [&] { return proceed(current); };
    const auto settled = [&] {
        return Settle(run, binding.Outputs, settle, maxRun,
                      proceed ? proceedRow : std::function<bool()>());
    };
    std::vector<TRowResult> results;
    for (const TTableRow &row : table.Rows) {
        current = results.size();
        if (proceed && !proceed(current)) throw ETruthTableStopped();
        TRowResult result;
        result.Line = row.Line;
        // A pulse is always one rising and one falling edge: a switch at 1 first goes down.
        bool pulsed = false, lowered = false;
        for (std::size_t i = 0; i < row.Inputs.size(); ++i) {
            if (row.Inputs[i] != TTableValue::Pulse) continue;
            pulsed = true;
            lowered = lowered || network.Ports[std::size_t(binding.Inputs[i])].Levels.Output;
            set(binding.Inputs[i], 0);
        }
        result.Settled = !lowered || settled();
        if (result.Settled) {
            for (std::size_t i = 0; i < row.Inputs.size(); ++i)
                set(binding.Inputs[i], row.Inputs[i] != TTableValue::Low);
            result.Settled = settled();
        }
        if (result.Settled && pulsed) {
            for (std::size_t i = 0; i < row.Inputs.size(); ++i)
                if (row.Inputs[i] == TTableValue::Pulse) set(binding.Inputs[i], 0);
            result.Settled = settled();
        }
        if (result.Settled) {
            result.Passed = true;
            for (std::size_t i = 0; i < row.Outputs.size(); ++i) {
                const TLevel got = network.Ports[std::size_t(binding.Outputs[i])].Levels.Output;
                result.Got.push_back(got);
                if (row.Outputs[i] != TTableValue::DontCare &&
                    got != (row.Outputs[i] == TTableValue::High))
                    result.Passed = false;
            }
        }
        results.push_back(std::move(result));
    }
    return results;
}
