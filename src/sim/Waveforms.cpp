#include "Waveforms.h"

#include <stdexcept>
#include <vector>

namespace {

// The levels at the end of a time, moved forward through the changes, each read once.
template <class TIterator> class TReplay {
public:
    TReplay(std::size_t signals, TIterator first, TIterator last, std::int64_t end)
        : Levels(signals, 0), FNext(first), FLast(last), FEnd(end) {
        Load();
    }

    std::vector<TLevel> Levels;

    bool More() const { return FMore; }
    std::int64_t NextTime() const { return FChange.Time; }
    // Applies the changes up to time; touched, if given, gets the signals they were of.
    void Advance(std::int64_t time, std::vector<std::uint32_t> *touched = nullptr) {
        for (; FMore && FChange.Time <= time; ++FNext, Load()) {
            if (FChange.Signal >= Levels.size()) continue;
            Levels[FChange.Signal] = FChange.Level ? 1 : 0;
            if (touched) touched->push_back(FChange.Signal);
        }
    }

private:
    void Load() {
        FMore = FNext != FLast;
        if (FMore) FChange = *FNext;
        FMore = FMore && FChange.Time <= FEnd;
    }

    TIterator FNext, FLast;
    std::int64_t FEnd;
    TLevelChange FChange{};
    bool FMore = false;
};

template <class TChanges>
auto Replay(std::size_t signals, const TChanges &changes, std::int64_t end) {
    return TReplay<decltype(changes.begin())>(signals, changes.begin(), changes.end(), end);
}

void CheckLimit(std::uint64_t size, std::size_t limit, const char *what) {
    if (size > limit)
        throw std::length_error(std::string(what) + " text would be longer than " +
                                std::to_string(limit) + " bytes");
}

// The text as it grows: kept whole without a sink, else handed on whenever a piece is full.
class TTextOut {
public:
    TTextOut(const TTextSink *sink, std::size_t limit, const char *what)
        : FSink(sink), FLimit(limit), FWhat(what) {}

    std::string Text;

    // Checks the limit; call after each line or so.
    void Check() {
        CheckLimit(FHanded + Text.size(), FLimit, FWhat);
        if (FSink && Text.size() >= PieceBytes) HandOn();
    }
    std::size_t Limit() const { return FLimit; }
    std::string Finish() {
        CheckLimit(FHanded + Text.size(), FLimit, FWhat);
        if (FSink) HandOn();
        return std::move(Text);
    }

private:
    static constexpr std::size_t PieceBytes = std::size_t(64) << 10;
    void HandOn() {
        if (Text.empty()) return;
        (*FSink)(Text);
        FHanded += Text.size();
        Text.clear();
    }
    const TTextSink *FSink;
    std::size_t FLimit;
    const char *FWhat;
    std::uint64_t FHanded = 0;
};

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

// A VCD time line.
void Stamp(std::string &text, std::int64_t time) {
    text += '#';
    text += std::to_string(time);
    text += '\n';
}

template <class TChanges>
void Vcd(TTextOut &out, std::span<const std::string> names, const TChanges &changes,
         std::int64_t end, std::string_view scope) {
    std::string &text = out.Text;
    std::vector<std::string> ids;
    text += "$timescale 1 ms $end\n$scope module " + VcdName(scope) + " $end\n";
    for (std::size_t signal = 0; signal < names.size(); ++signal) {
        ids.push_back(VcdId(signal));
        text += "$var wire 1 " + ids.back() + " " + VcdName(names[signal]) + " $end\n";
        out.Check();
    }
    text += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    auto replay = Replay(names.size(), changes, end);
    replay.Advance(0);
    std::vector<TLevel> written = replay.Levels;
    for (std::size_t signal = 0; signal < names.size(); ++signal) {
        text += char('0' + written[signal]);
        text += ids[signal];
        text += '\n';
        out.Check();
    }
    text += "$end\n";
    out.Check();
    std::int64_t last = 0;
    std::vector<std::uint32_t> touched;
    while (replay.More()) {
        const std::int64_t time = replay.NextTime();
        touched.clear();
        replay.Advance(time, &touched);
        bool stamped = false;
        for (const std::uint32_t signal : touched) {
            if (replay.Levels[signal] == written[signal]) continue;
            if (!stamped) Stamp(text, time);
            stamped = true;
            written[signal] = replay.Levels[signal];
            text += char('0' + written[signal]);
            text += ids[signal];
            text += '\n';
        }
        if (stamped) last = time;
        out.Check();
    }
    if (end > last) Stamp(text, end);
}

template <class TChanges>
void WaveDrom(TTextOut &out, std::span<const std::string> names, const TChanges &changes,
              std::int64_t end, std::int64_t sample) {
    if (sample < 1) throw std::invalid_argument("a sample must be at least 1 ms");
    const std::int64_t samples = end < 0 ? 0 : end / sample + 1;
    CheckLimit(std::uint64_t(samples) * names.size(), out.Limit(), "WaveJSON");
    std::vector<std::string> waves(names.size());
    for (std::string &wave : waves)
        wave.reserve(std::size_t(samples));
    auto replay = Replay(names.size(), changes, end);
    std::vector<TLevel> before;
    for (std::int64_t index = 0; index < samples; ++index) {
        replay.Advance(index * sample);
        for (std::size_t signal = 0; signal < names.size(); ++signal) {
            const TLevel level = replay.Levels[signal];
            waves[signal] += index > 0 && level == before[signal] ? '.' : char('0' + level);
        }
        before = replay.Levels;
    }
    std::string &text = out.Text;
    text += "{\"signal\":[";
    for (std::size_t signal = 0; signal < names.size(); ++signal) {
        text += (signal ? ",\n  " : "\n  ") + std::string("{\"name\":") +
                JsonString(names[signal]) + ",\"wave\":\"" + waves[signal] + "\"}";
        std::string().swap(waves[signal]);
        out.Check();
    }
    text += "\n]}\n";
}

template <class TChanges>
void Csv(TTextOut &out, std::span<const std::string> names, const TChanges &changes,
         std::int64_t end) {
    std::string &text = out.Text;
    text += "time_ms";
    for (const std::string &name : names) {
        text += ",";
        text += CsvField(name);
        out.Check();
    }
    auto replay = Replay(names.size(), changes, end);
    replay.Advance(0);
    std::vector<TLevel> row = replay.Levels;
    const auto writeRow = [&](std::int64_t time) {
        text += '\n';
        text += std::to_string(time);
        for (const TLevel level : row)
            text += {',', char('0' + level)};
        out.Check();
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
}

} // namespace

std::string VcdText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                    std::int64_t end, std::string_view scope, std::size_t limit) {
    TTextOut out(nullptr, limit, "VCD");
    Vcd(out, names, changes, end, scope);
    return out.Finish();
}

void WriteVcd(const TTextSink &sink, std::span<const std::string> names,
              const TLevelChanges &changes, std::int64_t end, std::string_view scope,
              std::size_t limit) {
    TTextOut out(&sink, limit, "VCD");
    Vcd(out, names, changes, end, scope);
    out.Finish();
}

std::string WaveDromText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                         std::int64_t end, std::int64_t sample, std::size_t limit) {
    TTextOut out(nullptr, limit, "WaveJSON");
    WaveDrom(out, names, changes, end, sample);
    return out.Finish();
}

void WriteWaveDrom(const TTextSink &sink, std::span<const std::string> names,
                   const TLevelChanges &changes, std::int64_t end, std::int64_t sample,
                   std::size_t limit) {
    TTextOut out(&sink, limit, "WaveJSON");
    WaveDrom(out, names, changes, end, sample);
    out.Finish();
}

std::string CsvText(std::span<const std::string> names, std::span<const TLevelChange> changes,
                    std::int64_t end, std::size_t limit) {
    TTextOut out(nullptr, limit, "CSV");
    Csv(out, names, changes, end);
    return out.Finish();
}

void WriteCsv(const TTextSink &sink, std::span<const std::string> names,
              const TLevelChanges &changes, std::int64_t end, std::size_t limit) {
    TTextOut out(&sink, limit, "CSV");
    Csv(out, names, changes, end);
    out.Finish();
}
