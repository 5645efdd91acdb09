#include "Waveforms.h"

#include <stdexcept>
#include <vector>

namespace {

// The levels at the end of a time, moved forward through the changes.
class TReplay {
public:
    TReplay(std::size_t signals, std::span<const TLevelChange> changes, std::int64_t end)
        : Levels(signals, 0), FChanges(changes), FEnd(end) {}

    std::vector<TLevel> Levels;

    bool More() const { return FNext < FChanges.size() && FChanges[FNext].Time <= FEnd; }
    std::int64_t NextTime() const { return FChanges[FNext].Time; }
    // Applies the changes up to time; touched, if given, gets the signals they were of.
    void Advance(std::int64_t time, std::vector<std::uint32_t> *touched = nullptr) {
        for (; More() && FChanges[FNext].Time <= time; ++FNext) {
            const TLevelChange &change = FChanges[FNext];
            if (change.Signal >= Levels.size()) continue;
            Levels[change.Signal] = change.Level ? 1 : 0;
            if (touched) touched->push_back(change.Signal);
        }
    }

private:
    std::span<const TLevelChange> FChanges;
    std::int64_t FEnd;
    std::size_t FNext = 0;
};

void CheckLimit(std::uint64_t size, std::size_t limit, const char *what) {
    if (size > limit)
        throw std::length_error(std::string(what) + " text would be longer than " +
                                std::to_string(limit) + " bytes");
}

// Names and identifiers in VCD are split at white space: anything but visible ASCII becomes '_'.
std::string VcdName(std::string_view name) {
    std::string safe(name.empty() ? "_" : name);
    for (char &c : safe)
        if (c < '!' || c > '~') c = '_';
    return safe;
}

std::string VcdId(std::size_t signal) {
    std::string id;
    do {
        id += char('!' + signal % 94);
        signal /= 94;
    } while (signal);
    return id;
}

std::string JsonString(std::string_view text) {
    static constexpr char Hex[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += {'\\', c};
        else if (static_cast<unsigned char>(c) < 0x20)
            quoted += {'\\', 'u', '0', '0', Hex[c >> 4], Hex[c & 15]};
        else
            quoted += c;
    }
    return quoted + '"';
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

} // namespace

std::string VcdText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                    std::int64_t end, std::string_view scope, std::size_t limit) {
    std::vector<std::string> ids;
    std::string text = "$timescale 1 ms $end\n$scope module " + VcdName(scope) + " $end\n";
    for (std::size_t signal = 0; signal < names.size(); ++signal) {
        ids.push_back(VcdId(signal));
        text += "$var wire 1 " + ids.back() + " " + VcdName(names[signal]) + " $end\n";
    }
    text += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    TReplay replay(names.size(), changes, end);
    replay.Advance(0);
    std::vector<TLevel> written = replay.Levels;
    for (std::size_t signal = 0; signal < names.size(); ++signal)
        text += char('0' + written[signal]) + ids[signal] + "\n";
    text += "$end\n";
    CheckLimit(text.size(), limit, "VCD");
    std::int64_t last = 0;
    std::vector<std::uint32_t> touched;
    while (replay.More()) {
        const std::int64_t time = replay.NextTime();
        touched.clear();
        replay.Advance(time, &touched);
        bool stamped = false;
        for (const std::uint32_t signal : touched) {
            if (replay.Levels[signal] == written[signal]) continue;
            if (!stamped) text += "#" + std::to_string(time) + "\n";
            stamped = true;
            written[signal] = replay.Levels[signal];
            text += char('0' + written[signal]) + ids[signal] + "\n";
        }
        if (stamped) last = time;
        CheckLimit(text.size(), limit, "VCD");
    }
    if (end > last) text += "#" + std::to_string(end) + "\n";
    CheckLimit(text.size(), limit, "VCD");
    return text;
}

std::string WaveDromText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                         std::int64_t end, std::int64_t sample, std::size_t limit) {
    if (sample < 1) throw std::invalid_argument("a sample must be at least 1 ms");
    const std::int64_t samples = end < 0 ? 0 : end / sample + 1;
    CheckLimit(std::uint64_t(samples) * names.size(), limit, "WaveJSON");
    std::vector<std::string> waves(names.size());
    for (std::string &wave : waves)
        wave.reserve(std::size_t(samples));
    TReplay replay(names.size(), changes, end);
    std::vector<TLevel> before;
    for (std::int64_t index = 0; index < samples; ++index) {
        replay.Advance(index * sample);
        for (std::size_t signal = 0; signal < names.size(); ++signal) {
            const TLevel level = replay.Levels[signal];
            waves[signal] += index > 0 && level == before[signal] ? '.' : char('0' + level);
        }
        before = replay.Levels;
    }
    std::string text = "{\"signal\":[";
    for (std::size_t signal = 0; signal < names.size(); ++signal) {
        text += (signal ? ",\n  " : "\n  ") + std::string("{\"name\":") +
                JsonString(names[signal]) + ",\"wave\":\"" + waves[signal] + "\"}";
        std::string().swap(waves[signal]);
        CheckLimit(text.size(), limit, "WaveJSON");
    }
    text += "\n]}\n";
    CheckLimit(text.size(), limit, "WaveJSON");
    return text;
}

std::string CsvText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                    std::int64_t end, std::size_t limit) {
    std::string text = "time_ms";
    for (const std::string &name : names)
        text += "," + CsvField(name);
    TReplay replay(names.size(), changes, end);
    replay.Advance(0);
    std::vector<TLevel> row = replay.Levels;
    const auto writeRow = [&](std::int64_t time) {
        text += "\n" + std::to_string(time);
        for (const TLevel level : row)
            text += {',', char('0' + level)};
        CheckLimit(text.size(), limit, "CSV");
    };
    writeRow(0);
    while (replay.More()) {
        const std::int64_t time = replay.NextTime();
        replay.Advance(time);
        if (replay.Levels == row) continue;
        row = replay.Levels;
        writeRow(time);
    }
    text += "\n";
    CheckLimit(text.size(), limit, "CSV");
    return text;
}
