#include "Network.h"

int TSimNetwork::Find(std::string_view name) const {
    for (std::size_t i = 0; i < Names.size(); ++i)
        if (Names[i] == name) return int(i);
    return -1;
}

void TSimNetwork::SetClockDelay(std::int32_t delay) {
    for (TSimPort &port : Ports)
        if (port.Kind == TLogicalPortType::logCLK) port.Delay = delay;
}
