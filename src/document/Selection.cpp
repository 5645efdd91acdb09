#include "Selection.h"

#include "gates/LogicCmp.h"

#include <algorithm>

std::vector<TLogicalPort *> TGateSelection::Gates() const {
    std::vector<TLogicalPort *> gates;
    gates.reserve(FEntries.size());
    for (const TEntry &entry : FEntries)
        if (entry.Widget && TControl::FromWidget(entry.Widget) == entry.Gate)
            gates.push_back(entry.Gate);
    return gates;
}

bool TGateSelection::Contains(const TLogicalPort *gate) const {
    const std::vector<TLogicalPort *> gates = Gates();
    return gate && std::ranges::find(gates, gate) != gates.end();
}

bool TGateSelection::Set(const std::vector<TLogicalPort *> &gates) {
    const std::vector<TLogicalPort *> before = Gates();
    FEntries.clear();
    for (TLogicalPort *gate : gates)
        Add(gate);
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
