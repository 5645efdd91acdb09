#include "Recorder.h"

#include "Network.h"

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

std::uint32_t TLevelRecorder::AddSignal(const TSimNetwork &network, int port, TSignalLevel level) {
    if (FOutputSignal.size() < network.Ports.size()) {
        FOutputSignal.resize(network.Ports.size(), -1);
        FInputSignals.resize(network.Ports.size(), {-1, -1});
    }
    static constexpr const char *Suffixes[] = {"", ".A", ".B"};
    const auto signal = std::uint32_t(FNames.size());
    FNames.push_back(network.Names[std::size_t(port)] + Suffixes[int(level)]);
    if (level == TSignalLevel::Output) {
        FOutputSignal[std::size_t(port)] = std::int32_t(signal);
    } else {
        FInputSignals[std::size_t(port)][level == TSignalLevel::InA ? 0 : 1] = std::int32_t(signal);
        FInputsRecorded = true;
    }
    return signal;
}

TLevelChange TLevelChanges::operator[](std::size_t index) const {
    // The last run starting at or before the change.
    const auto after =
        std::upper_bound(FRuns.begin(), FRuns.end(), index,
                         [](std::size_t wanted, const TRun &run) { return wanted < run.First; });
    return At(index, std::size_t(after - FRuns.begin()) - 1);
}

void TLevelChanges::NewRun(std::int64_t time) {
    FRuns.push_back({time, size()});
    FLastTime = time;
}

void TLevelChanges::TFreeBlock::operator()(unsigned char *block) const {
    std::free(block);
}

void TLevelChanges::NewBlock() {
    if (FUsed == FBlocks.size()) {
        // Aligned to its size, so that the system can back it with one large page and a long
        // recording takes a fault per block rather than one per small page.
        void *memory = std::aligned_alloc(BlockBytes, BlockBytes);
        if (!memory) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(memory, BlockBytes, MADV_HUGEPAGE);
#endif
        FBlocks.emplace_back(static_cast<unsigned char *>(memory));
    }
    FFree = FBlocks[FUsed++].get();
    FEnd = FFree + BlockBytes;
}

void TLevelChanges::Widen() {
    TLevelChanges wide;
    wide.FShift = 2;
    const std::size_t count = size();
    for (std::size_t index = 0; index < count; ++index)
        wide.Append(Packed(index));
    wide.FRuns = std::move(FRuns);
    wide.FLastTime = FLastTime;
    *this = std::move(wide);
}

void TLevelChanges::Clear() {
    FUsed = 0;
    FFree = FEnd = nullptr;
    FRuns.clear();
    FLastTime = INT64_MIN;
}

TLevelChanges &TLevelChanges::operator=(const TLevelChanges &other) {
    if (this == &other) return *this;
    Clear();
    FShift = other.FShift;
    for (std::size_t block = 0; block < other.FUsed; ++block) {
        NewBlock();
        const unsigned char *from = other.FBlocks[block].get();
        const std::size_t bytes =
            block + 1 < other.FUsed ? BlockBytes : std::size_t(other.FFree - from);
        std::memcpy(FFree, from, bytes);
        FFree += bytes;
    }
    FRuns = other.FRuns;
    FLastTime = other.FLastTime;
    return *this;
}

TLevelChanges &TLevelChanges::operator=(TLevelChanges &&other) noexcept {
    FBlocks = std::move(other.FBlocks);
    FUsed = std::exchange(other.FUsed, 0);
    FFree = std::exchange(other.FFree, nullptr);
    FEnd = std::exchange(other.FEnd, nullptr);
    FShift = other.FShift;
    FRuns = std::move(other.FRuns);
    FLastTime = std::exchange(other.FLastTime, INT64_MIN);
    other.Clear();
    return *this;
}
