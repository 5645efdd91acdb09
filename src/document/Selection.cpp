#include "Selection.h"

#include "gates/LogicCmp.h"

#include <algorithm>
#include <unordered_set>

std::vector<TLogicalPort *> TGateSelection::Gates() const {
    std::vector<TLogicalPort *> gates;
    gates.reserve(FEntries.size());
    for (const TEntry &entry : FEntries)
        if (entry.Alive()) gates.push_back(entry.Gate);
    return gates;
}

bool TGateSelection::TEntry::Alive() const {
    return Widget && TControl::FromWidget(Widget) == Gate;
}

bool TGateSelection::Contains(const TLogicalPort *gate) const {
    return gate && std::ranges::any_of(FEntries, [gate](const TEntry &entry) {
               return entry.Gate == gate && entry.Alive();
           });
}

bool TGateSelection::Set(const std::vector<TLogicalPort *> &gates) {
    const std::vector<TLogicalPort *> before = Gates();
    FEntries.clear();
    // A set, not Add: selecting every gate of a large network must not take quadratic time.
    std::unordered_set<const TLogicalPort *> added;
    for (TLogicalPort *gate : gates)
        if (gate && gate->Widget() && added.insert(gate).second)
            FEntries.push_back({gate, gate->Widget()});
    return Gates() != before;
}

bool TGateSelection::Add(TLogicalPort *gate) {
    if (!gate || !gate->Widget() || Contains(gate)) return false;
    FEntries.push_back({gate, gate->Widget()});
    return true;
}

bool TGateSelection::Toggle(TLogicalPort *gate) {
    return Contains(gate) ? Remove(gate) : Add(gate);
}

bool TGateSelection::Remove(const void *gate) {
    return std::erase_if(FEntries, [gate](const TEntry &entry) {
               return static_cast<const void *>(entry.Gate) == gate || !entry.Widget;
           }) > 0;
}

bool TGateSelection::Clear() {
    const bool had = !Gates().empty();
    FEntries.clear();
    return had;
}

QPoint LimitGroupOffset(const std::vector<QRect> &bounds, QPoint offset) {
    for (const QRect &gate : bounds) {
        // How far this gate may go left or up; never pushed back if it is beyond already.
        const int roomX = std::min(0, -(gate.width() / 2) - gate.left());
        const int roomY = std::min(0, -(gate.height() / 2) - gate.top());
        offset.rx() = std::max(offset.x(), roomX);
        offset.ry() = std::max(offset.y(), roomY);
    }
    return offset;
}
