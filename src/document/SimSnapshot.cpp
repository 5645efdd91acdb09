#include "SimSnapshot.h"

#include "FChild.h"
#include "gates/LogicCmp.h"
#include "sim/NetworkLoad.h"
#include "stream/Errors.h"

#include <unordered_map>

TSimNetwork SimSnapshot(const TComponent &window) {
    TSimNetwork network;
    network.Name = window.Name();
    std::unordered_map<const TLogicalPort *, std::int32_t> indexOf;
    std::vector<const TLogicalPort *> ports;
    for (const TComponent *component : window.Components())
        if (const auto *port = dynamic_cast<const TLogicalPort *>(component)) {
            indexOf.emplace(port, std::int32_t(ports.size()));
            ports.push_back(port);
        }
    // A wire to a gate outside the window is no wire here: the window never draws one either.
    const auto index = [&indexOf](const TLogicalPort *port) {
        const auto found = indexOf.find(port);
        return found == indexOf.end() ? -1 : found->second;
    };
    for (const TLogicalPort *port : ports) {
        network.Ports.push_back({port->PortType(),
                                 {},
                                 port->UpdateDelay(),
                                 index(port->InAComp()),
                                 index(port->InBComp())});
        network.Names.push_back(port->Name());
    }
    return network;
}

TNetworkSchema NetworkWindowSchema(std::function<bool(std::string_view)> nameTaken) {
    TNetworkSchema schema;
    schema.Window = &TFormZentaroChild::StaticClassInfo();
    schema.Gate = &TLogicalPort::StaticClassInfo();
    schema.NameTaken = std::move(nameTaken);
    // Pictures are the only byte properties; a scratch picture judges them as the window would.
    schema.CheckBytes = [](const TClassInfo &owner, const TPropInfo &property,
                           const std::string &value) {
        if (!owner.InheritsFrom(TBitmap::StaticClassInfo()))
            throw EReadError("Property " + property.Name + " is not read without a window");
        TBitmap().SetData(value);
    };
    return schema;
}
