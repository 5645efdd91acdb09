#pragma once

// One signal's level changes as a running network makes them, with their times, in a ring of
// fixed capacity: once it is full the oldest change goes for each new one, and the trace keeps
// the level that change set, so the level is still known at every time from its start on.
// Memory grows to the capacity once and is kept across restarts of the same capacity, so
// recording in the steady state allocates nothing.

#include "PortLogic.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct TLevelStep {
    std::int64_t Time;
    TLevel Level;
};

class TLevelTrace {
public:
    // 65,536 changes take 512 KiB: a gate changing every millisecond keeps its last minute.
    static constexpr std::size_t DefaultCapacity = std::size_t(1) << 16;

    // Forgets every change: the level is level from time on, and at most capacity changes
    // (at least 1) are kept from now.
    void Start(std::int64_t time, TLevel level, std::size_t capacity = DefaultCapacity);
    // A change at time, which is no earlier than the last one; a level that is already the
    // current one is no change and is left out.
    void Add(std::int64_t time, TLevel level) {
        if (level == FLevel) return;
        FLevel = level;
        const std::int64_t packed = time * 2 | level;
        if (FSlots.size() < FCapacity) {
            FSlots.push_back(packed);
            return;
        }
        // Full: the oldest change becomes the known start.
        FStart = FSlots[FOldest] >> 1;
        FStartLevel = TLevel(FSlots[FOldest] & 1);
        FSlots[FOldest] = packed;
        FOldest = FOldest + 1 == FCapacity ? 0 : FOldest + 1;
    }

    std::size_t Capacity() const { return FCapacity; }
    // The changes kept, oldest first.
    std::size_t size() const { return FSlots.size(); }
    TLevelStep operator[](std::size_t index) const {
        std::size_t slot = FOldest + index;
        if (slot >= FSlots.size()) slot -= FSlots.size();
        return {FSlots[slot] >> 1, TLevel(FSlots[slot] & 1)};
    }
    // From when the levels are known, and the level then, before the first change kept.
    std::int64_t StartTime() const { return FStart; }
    TLevel StartLevel() const { return FStartLevel; }
    TLevel Level() const { return FLevel; }
    // The first change kept that is later than time (size() if none is).
    std::size_t FirstAfter(std::int64_t time) const;
    // The level at the end of time; times before the start give the start level.
    TLevel LevelAt(std::int64_t time) const;

private:
    std::size_t FCapacity = DefaultCapacity;
    // Time * 2 + level per change; once full, FOldest is where the ring begins.
    std::vector<std::int64_t> FSlots;
    std::size_t FOldest = 0;
    std::int64_t FStart = 0;
    TLevel FStartLevel = 0;
    TLevel FLevel = 0;
};
