#pragma once

// What a headless run keeps of its levels: every change of the chosen signals, in the order the
// run made them. Every level is 0 at activation, so the changes tell the whole story.

#include "PortLogic.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

struct TSimNetwork;

// Which of a port's levels a signal is.
enum class TSignalLevel : std::uint8_t { Output, InA, InB };

struct TLevelChange {
    std::int64_t Time;
    std::uint32_t Signal;
    TLevel Level;
};

// The changes in the order they were made, packed: the signal and level of a change in two bytes
// (four once a signal is numbered 2^15 or more), the time once for each run of changes made at one
// time, in blocks that are never moved. Recording all of a busy network's outputs is bound by the
// memory it writes, and growing never copies what was recorded.
class TLevelChanges {
public:
    // Reads the changes front to back; a change is made up when read.
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TLevelChange;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = TLevelChange;

        Iterator() = default;
        TLevelChange operator*() const { return FList->At(FIndex, FRun); }
        Iterator &operator++() {
            ++FIndex;
            if (FRun + 1 < FList->FRuns.size() && FList->FRuns[FRun + 1].First == FIndex) ++FRun;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator &other) const { return FIndex == other.FIndex; }

    private:
        friend class TLevelChanges;
        Iterator(const TLevelChanges *list, std::size_t index, std::size_t run)
            : FList(list), FIndex(index), FRun(run) {}
        const TLevelChanges *FList = nullptr;
        std::size_t FIndex = 0;
        std::size_t FRun = 0;
    };

    TLevelChanges() = default;
    TLevelChanges(const TLevelChanges &other) { *this = other; }
    TLevelChanges(TLevelChanges &&other) noexcept { *this = std::move(other); }
    TLevelChanges &operator=(const TLevelChanges &other);
    TLevelChanges &operator=(TLevelChanges &&other) noexcept;

    std::size_t size() const {
        if (FUsed == 0) return 0;
        return ((FUsed - 1) << (BlockBits - FShift)) +
               (std::size_t(FFree - FBlocks[FUsed - 1].get()) >> FShift);
    }
    bool empty() const { return size() == 0; }
    Iterator begin() const { return {this, 0, 0}; }
    Iterator end() const { return {this, size(), 0}; }
    TLevelChange operator[](std::size_t index) const;

    // Signals are numbered below 2^31; a level is 0 or 1.
    void Add(std::int64_t time, std::uint32_t signal, TLevel level) {
        if (time != FLastTime) NewRun(time);
        Append(signal << 1 | std::uint32_t(level != 0));
    }
    // Forgets the changes and keeps the memory for the next run's.
    void Clear();

private:
    // A block is a large page where the system has them.
    static constexpr std::size_t BlockBits = 21;
    static constexpr std::size_t BlockBytes = std::size_t(1) << BlockBits;
    struct TRun {
        std::int64_t Time;
        // The first change made at that time.
        std::size_t First;
    };

    void Append(std::uint32_t packed) {
        if (FFree == FEnd) NewBlock();
        if (FShift == 2) {
            std::memcpy(FFree, &packed, 4);
            FFree += 4;
        } else if (packed <= 0xFFFF) {
            const auto narrow = std::uint16_t(packed);
            std::memcpy(FFree, &narrow, 2);
            FFree += 2;
        } else {
            Widen();
            Append(packed);
        }
    }
    std::uint32_t Packed(std::size_t index) const {
        const unsigned char *at =
            FBlocks[index >> (BlockBits - FShift)].get() + ((index << FShift) & (BlockBytes - 1));
        if (FShift == 2) {
            std::uint32_t packed;
            std::memcpy(&packed, at, 4);
            return packed;
        }
        std::uint16_t packed;
        std::memcpy(&packed, at, 2);
        return packed;
    }
    TLevelChange At(std::size_t index, std::size_t run) const {
        const std::uint32_t packed = Packed(index);
        return {FRuns[run].Time, packed >> 1, TLevel(packed & 1)};
    }
    void NewRun(std::int64_t time);
    void NewBlock();
    // Four bytes a change from now on, those recorded so far included.
    void Widen();

    struct TFreeBlock {
        void operator()(unsigned char *block) const;
    };
    std::vector<std::unique_ptr<unsigned char[], TFreeBlock>> FBlocks;
    // The blocks holding changes; those after them wait to be used again.
    std::size_t FUsed = 0;
    // The free part of the last block used.
    unsigned char *FFree = nullptr;
    unsigned char *FEnd = nullptr;
    // A change takes 1 << FShift bytes.
    std::size_t FShift = 1;
    std::vector<TRun> FRuns;
    // No run's time before the first change.
    std::int64_t FLastTime = INT64_MIN;
};

class TLevelRecorder {
public:
    // Adds a signal for one level of a port; returns its number.
    std::uint32_t AddSignal(const TSimNetwork &network, int port, TSignalLevel level);

    const std::vector<std::string> &Names() const { return FNames; }
    const TLevelChanges &Changes() const { return FChanges; }

    // Called by the run for every port whose levels an evaluation or a stimulus changed.
    void Record(std::int64_t time, std::uint32_t port, const TPortLevels &before,
                const TPortLevels &after) {
        // Outputs change most; the inputs are looked at only when any is recorded.
        if (before.Output != after.Output && port < FOutputSignal.size() &&
            FOutputSignal[port] >= 0)
            FChanges.Add(time, std::uint32_t(FOutputSignal[port]), after.Output);
        if (FInputsRecorded && (before.InA != after.InA || before.InB != after.InB) &&
            port < FInputSignals.size()) {
            const std::array<std::int32_t, 2> &recorded = FInputSignals[port];
            if (recorded[0] >= 0 && before.InA != after.InA)
                FChanges.Add(time, std::uint32_t(recorded[0]), after.InA);
            if (recorded[1] >= 0 && before.InB != after.InB)
                FChanges.Add(time, std::uint32_t(recorded[1]), after.InB);
        }
    }
    // Forgets what was recorded (a new activation starts from all levels 0).
    void Clear() { FChanges.Clear(); }

private:
    std::vector<std::string> FNames;
    TLevelChanges FChanges;
    // Per port, the signals of its output and of its inputs A and B; -1 where not recorded.
    std::vector<std::int32_t> FOutputSignal;
    std::vector<std::array<std::int32_t, 2>> FInputSignals;
    bool FInputsRecorded = false;
};
