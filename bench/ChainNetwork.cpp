#include "ChainNetwork.h"

#include "Util.h"
#include "document/FChild.h"

#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "gates/LogicCmp.h"

#include <vector>

QRect ChainPlace(int i) {
    return {i % 36 * 55, i / 36 % 45 * 44, 50, 40};
}

bool WritePlacedNetwork(int n, const std::string &path,
                        const std::function<void(std::span<TLogicalPort *const>)> &shape) {
    TFormZentaroChild window(nullptr);
    TComponent::Free(window.PanelDefComp);
    std::vector<TLogicalPort *> ports;
    for (int i = 0; i < n; ++i) {
        auto *port = new TLogicalPort(&window);
        port->SetParent(window.ScrollBoxCli);
        port->SetName("LogPort" + std::to_string(i + 1));
        const QRect at = ChainPlace(i);
        port->SetBounds(at.x(), at.y(), at.width(), at.height());
        port->SetPortType(TLogicalPortType::logNOT);
        port->SetUpdateDelay(10);
        port->SetPopupMenu(window.PopupMenuPort);
        ports.push_back(port);
    }
    shape(ports);
    return SaveNetworkFile(path, window);
}

bool WriteChainNetwork(int n, const std::string &path) {
    return WritePlacedNetwork(n, path, [](std::span<TLogicalPort *const> ports) {
        for (std::size_t i = 0; i < ports.size(); ++i) {
            ports[i]->SetBorder(true);
            if (i % 20 == 0)
                ports[i]->SetPortType(TLogicalPortType::logCLK);
            else
                ports[i]->SetInAComp(ports[i - 1]);
        }
    });
}
