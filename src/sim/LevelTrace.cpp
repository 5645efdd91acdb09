#include "LevelTrace.h"

#include <algorithm>

void TLevelTrace::Start(std::int64_t time, TLevel level, std::size_t capacity) {
    FCapacity = std::max<std::size_t>(capacity, 1);
    // clear() keeps the memory for the next recording, unless it holds more than is allowed now.
    FSlots.clear();
    if (FSlots.capacity() > 2 * FCapacity) FSlots.shrink_to_fit();
    FOldest = 0;
    FStart = time;
    FStartLevel = FLevel = level;
}

std::size_t TLevelTrace::FirstAfter(std::int64_t time) const {
    std::size_t low = 0, high = size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if ((*this)[middle].Time <= time)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

TLevel TLevelTrace::LevelAt(std::int64_t time) const {
    const std::size_t after = FirstAfter(time);
    return after == 0 ? FStartLevel : (*this)[after - 1].Level;
}
