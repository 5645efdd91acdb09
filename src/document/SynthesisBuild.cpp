#include "SynthesisBuild.h"

#include "FChild.h"
#include "classlib/ExtCtrls.h"
#include "gates/LogicCmp.h"

#include <stdexcept>

std::vector<TLogicalPort *> BuildNetwork(TFormZentaroChild &window, const TSynthesisPlan &plan) {
    for (const TComponent *component : window.Components())
        if (dynamic_cast<const TLogicalPort *>(component) && component != window.LogicalPort1)
            throw std::invalid_argument("BuildNetwork: the window already holds gates");
    std::vector<TFormZentaroChild::TNewPort> ports;
    for (const TPlannedPort &port : plan.Ports) {
        for (const int in : {port.InA, port.InB})
            if (in < -1 || in >= int(plan.Ports.size()))
                throw std::invalid_argument("BuildNetwork: a wire from outside the plan");
        ports.push_back({port.Name, port.Kind, QRect(port.Left, port.Top, port.Width, port.Height),
                         port.InA, port.InB});
    }
    TComponent::Free(window.PanelDefComp);
    return window.AddPorts(ports);
}
