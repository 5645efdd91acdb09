#include "AreaState.h"

#include "classlib/Controls.h"
#include "stream/MemoryStream.h"
#include "stream/Reader.h"
#include "stream/Writer.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {

// The component and, depth first, what is written nested in it.
template <typename Action>
void ForNested(TComponent &component, TComponent &root, const Action &action) {
    action(component);
    component.GetChildren([&](TComponent *child) { ForNested(*child, root, action); }, &root);
}

// A reference from a component that stays to one that is replaced.
struct TLink {
    TComponent *From;
    const TPropInfo *Property;
    std::string To;
};

std::vector<TLink> LinksInto(TComponent &root,
                             const std::unordered_set<const TComponent *> &going) {
    std::vector<TLink> links;
    auto scan = [&](TComponent &component) {
        const TClassInfo &info = component.ClassInfo();
        for (const auto &properties : {info.Properties(), info.ExtraProperties()})
            for (const TPropInfo &property : properties) {
                if (property.Kind != TPropKind::Component || !property.GetComponent ||
                    !property.SetComponent)
                    continue;
                if (TComponent *target = property.GetComponent(component);
                    target && going.contains(target))
                    links.push_back({&component, &property, target->Name()});
            }
    };
    scan(root);
    for (TComponent *component : root.Components())
        if (!going.contains(component)) scan(*component);
    return links;
}

} // namespace

std::int64_t TAreaState::Bytes() const {
    std::int64_t bytes = Order.size();
    for (const auto &[name, kept] : Controls) {
        bytes += std::int64_t(name.size()) + kept.Record.size();
        for (const auto &place : kept.Places)
            bytes += std::int64_t(place.first.size() + sizeof place.second);
    }
    return bytes;
}

TAreaState CaptureArea(TComponent &root, TWinControl &area) {
    std::unordered_map<const TComponent *, int> indices;
    for (int i = 0; i < root.ComponentCount(); ++i)
        indices.emplace(root.Components()[std::size_t(i)], i);
    TAreaState state;
    // One stream for all the records: a new stream per control cost more than writing it.
    TMemoryStream stream;
    TWriter writer(stream);
    for (TControl *control : area.Controls()) {
        if (control->Owner() != &root || control->Name().empty()) continue;
        TKeptControl &kept = state.Controls[control->Name()];
        stream.SetSize(0);
        writer.WriteComponentRecord(*control, root);
        kept.Record =
            QByteArray(reinterpret_cast<const char *>(stream.Memory()), qsizetype(stream.Size()));
        ForNested(*control, root, [&](TComponent &component) {
            kept.Places.emplace_back(component.Name(), indices.at(&component));
        });
        state.Order += QByteArray::fromStdString(control->Name()) + '\n';
    }
    return state;
}

std::optional<TAreaChange> DiffAreas(const TAreaState &from, const TAreaState &to) {
    static const TKeptControl absent;
    auto in = [](const TAreaState &state, const std::string &name) -> const TKeptControl & {
        const auto it = state.Controls.find(name);
        return it == state.Controls.end() ? absent : it->second;
    };
    TAreaChange change;
    auto compare = [&](const std::string &name) {
        const TKeptControl &before = in(from, name), &after = in(to, name);
        if (before.Record == after.Record) return;
        change.Before.Controls[name] = before;
        change.After.Controls[name] = after;
    };
    for (const auto &entry : from.Controls)
        compare(entry.first);
    for (const auto &entry : to.Controls)
        if (!from.Controls.contains(entry.first)) compare(entry.first);
    if (change.Before.Controls.empty() && from.Order == to.Order) return std::nullopt;
    change.Before.Order = from.Order;
    change.After.Order = to.Order;
    return change;
}

std::vector<TComponent *> RestoreArea(TComponent &root, TWinControl &area,
                                      const TAreaState &state) {
    std::unordered_set<const TComponent *> going;
    std::vector<TControl *> replaced;
    for (TControl *control : area.Controls())
        if (control->Owner() == &root && state.Controls.contains(control->Name())) {
            replaced.push_back(control);
            ForNested(*control, root, [&](TComponent &component) { going.insert(&component); });
        }
    const std::vector<TLink> links = LinksInto(root, going);
    for (TControl *control : replaced)
        TComponent::Free(control);

    // Read in the order of their places, so that the new components need the fewest moves.
    std::vector<const TKeptControl *> coming;
    for (const auto &entry : state.Controls)
        if (!entry.second.Record.isEmpty() && !entry.second.Places.empty())
            coming.push_back(&entry.second);
    std::sort(coming.begin(), coming.end(), [](const TKeptControl *a, const TKeptControl *b) {
        return a->Places.front().second < b->Places.front().second;
    });
    TMemoryStream stream;
    for (const TKeptControl *kept : coming)
        stream.Write(kept->Record.constData(), kept->Record.size());
    stream.Seek(0);
    const std::vector<TComponent *> read =
        TReader(stream).ReadComponentRecords(root, std::vector<TComponent *>(coming.size(), &area));

    // Placed from the lowest index up, each new component lands where it stood: everything before
    // it is either an old component, in the old order, or a new one already placed.
    std::unordered_map<std::string, TComponent *> byName;
    for (TComponent *component : read)
        byName.emplace(component->Name(), component);
    std::vector<std::pair<int, TComponent *>> places;
    for (const TKeptControl *kept : coming)
        for (const auto &[name, index] : kept->Places)
            if (const auto it = byName.find(name); it != byName.end())
                places.emplace_back(index, it->second);
    std::sort(places.begin(), places.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[index, component] : places)
        root.SetComponentIndex(component, index);

    std::unordered_map<std::string, TControl *> onArea;
    for (TControl *control : area.Controls())
        onArea.emplace(control->Name(), control);
    std::vector<TControl *> order;
    for (const QByteArray &name : state.Order.split('\n'))
        if (const auto it = onArea.find(name.toStdString()); !name.isEmpty() && it != onArea.end())
            order.push_back(it->second);
    area.ArrangeControls(order);

    for (const TLink &link : links)
        link.Property->SetComponent(*link.From, root.FindComponent(link.To));
    return read;
}
