// Compression and decompression speed of TFastCompress beside LZ4 (default) and zlib (level 1),
// on 4 MiB of text, of random bytes and of one repeated byte. After the usual table it prints
// our speed as a ratio of each anchor's, measured in the same run.

#include "Util.h"
#include "stream/MemoryStream.h"

#include <benchmark/benchmark.h>
#include <lz4.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t DataSize = 4 << 20;

// Concatenated system headers; a synthetic C-like text where they are missing.
Bytes TextData() {
    Bytes data;
    std::vector<std::filesystem::path> headers;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator("/usr/include", error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file() && it->path().extension() == ".h") headers.push_back(it->path());
    std::sort(headers.begin(), headers.end());
    for (const auto &header : headers) {
        std::ifstream file(header, std::ios::binary);
        data.insert(data.end(), std::istreambuf_iterator<char>(file),
                    std::istreambuf_iterator<char>());
        if (data.size() >= DataSize) break;
    }
    std::mt19937 random(1);
    const char *words[] = {"int ",   "return ", "struct ", "const ", "/* value */",
                           "\n    ", "(",       ");\n",    "0x1F"};
    while (data.size() < DataSize) {
        const std::string word = words[random() % std::size(words)];
        data.insert(data.end(), word.begin(), word.end());
    }
    data.resize(DataSize);
    return data;
}

Bytes RandomData() {
    Bytes data(DataSize);
    std::mt19937 random(2);
    for (auto &byte : data)
        byte = std::uint8_t(random());
    return data;
}

const Bytes &Data(int kind) {
    static const Bytes text = TextData(), random = RandomData(), repeated(DataSize, 'z');
    return kind == 0 ? text : kind == 1 ? random : repeated;
}

const char *DataName(int kind) {
    return kind == 0 ? "text" : kind == 1 ? "random" : "repeated";
}

// Each codec times one call over the whole buffer.
enum class Codec { Zentaro, LZ4, Zlib1 };
const char *CodecName(Codec codec) {
    return codec == Codec::Zentaro ? "zentaro" : codec == Codec::LZ4 ? "lz4" : "zlib1";
}

Bytes Compress(Codec codec, const Bytes &input) {
    switch (codec) {
    case Codec::Zentaro: {
        TMemoryStream source(input.data(), std::int64_t(input.size())), destination;
        std::make_unique<TFastCompress>()->CompressStream(source, destination);
        return Bytes(destination.Memory(), destination.Memory() + destination.Size());
    }
    case Codec::LZ4: {
        Bytes out(std::size_t(LZ4_compressBound(int(input.size()))));
        const int n = LZ4_compress_default(reinterpret_cast<const char *>(input.data()),
                                           reinterpret_cast<char *>(out.data()), int(input.size()),
                                           int(out.size()));
        out.resize(std::size_t(n));
        return out;
    }
    case Codec::Zlib1: {
        uLongf n = compressBound(uLong(input.size()));
        Bytes out(n);
        compress2(out.data(), &n, input.data(), uLong(input.size()), 1);
        out.resize(n);
        return out;
    }
    }
    return {};
}

void CompressBenchmark(benchmark::State &state, Codec codec, int kind) {
    const Bytes &input = Data(kind);
    TMemoryStream source(input.data(), std::int64_t(input.size())), destination;
    auto coder = std::make_unique<TFastCompress>();
    Bytes out(std::max<std::size_t>(std::size_t(LZ4_compressBound(int(input.size()))),
                                    compressBound(uLong(input.size()))));
    std::size_t compressed = 0;
    for (auto _ : state) {
        switch (codec) {
        case Codec::Zentaro:
            source.Seek(0);
            destination.Seek(0);
            compressed = std::size_t(coder->CompressStream(source, destination));
            break;
        case Codec::LZ4:
            compressed = std::size_t(LZ4_compress_default(
                reinterpret_cast<const char *>(input.data()), reinterpret_cast<char *>(out.data()),
                int(input.size()), int(out.size())));
            break;
        case Codec::Zlib1: {
            uLongf n = uLongf(out.size());
            compress2(out.data(), &n, input.data(), uLong(input.size()), 1);
            compressed = n;
            break;
        }
        }
        benchmark::DoNotOptimize(compressed);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * input.size()));
    state.counters["ratio%"] = 100.0 * double(compressed) / double(input.size());
}

void DecompressBenchmark(benchmark::State &state, Codec codec, int kind) {
    const Bytes &input = Data(kind);
    const Bytes packed = Compress(codec, input);
    TMemoryStream source(packed.data(), std::int64_t(packed.size())), destination;
    auto coder = std::make_unique<TFastCompress>();
    Bytes out(input.size());
    for (auto _ : state) {
        std::size_t produced = 0;
        switch (codec) {
        case Codec::Zentaro:
            source.Seek(0);
            destination.Seek(0);
            produced = std::size_t(coder->DecompressStream(source, destination));
            break;
        case Codec::LZ4:
            produced = std::size_t(LZ4_decompress_safe(
                reinterpret_cast<const char *>(packed.data()), reinterpret_cast<char *>(out.data()),
                int(packed.size()), int(out.size())));
            break;
        case Codec::Zlib1: {
            uLongf n = uLongf(out.size());
            uncompress(out.data(), &n, packed.data(), uLong(packed.size()));
            produced = n;
            break;
        }
        }
        if (produced != input.size()) state.SkipWithError("decompressed size differs");
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * input.size()));
    state.counters["ratio%"] = 100.0 * double(packed.size()) / double(input.size());
}

// Keeps every run's speed so that the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> speed;
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            if (!run.error_occurred)
                speed[run.benchmark_name()] = run.counters.at("bytes_per_second");
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv) {
    const Codec codecs[] = {Codec::Zentaro, Codec::LZ4, Codec::Zlib1};
    for (int kind = 0; kind < 3; ++kind)
        for (Codec codec : codecs) {
            const std::string suffix = std::string(CodecName(codec)) + "/" + DataName(kind);
            benchmark::RegisterBenchmark(("compress/" + suffix).c_str(), CompressBenchmark, codec,
                                         kind);
            benchmark::RegisterBenchmark(("decompress/" + suffix).c_str(), DecompressBenchmark,
                                         codec, kind);
        }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nzentaro speed as a ratio of each anchor's (same run):\n");
    for (const char *direction : {"compress", "decompress"})
        for (int kind = 0; kind < 3; ++kind)
            for (Codec anchor : {Codec::LZ4, Codec::Zlib1}) {
                const std::string ours = std::string(direction) + "/zentaro/" + DataName(kind);
                const std::string theirs =
                    std::string(direction) + "/" + CodecName(anchor) + "/" + DataName(kind);
                if (reporter.speed.count(ours) && reporter.speed.count(theirs))
                    std::printf("  %-10s %-8s vs %-5s  %7.3f\n", direction, DataName(kind),
                                CodecName(anchor), reporter.speed[ours] / reporter.speed[theirs]);
            }
    benchmark::Shutdown();
    return 0;
}
