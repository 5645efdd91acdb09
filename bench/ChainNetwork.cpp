#include "ChainNetwork.h"

#include "Util.h"
#include "document/FChild.h"

#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "gates/LogicCmp.h"

QRect ChainPlace(int i) {
    return {i % 36 * 55, i / 36 % 45 * 44, 50, 40};
}

bool WriteChainNetwork(int n, const std::string &path) {
    TFormZentaroChild window(nullptr);
    TComponent::Free(window.PanelDefComp);
    TLogicalPort *previous = nullptr;
    for (int i = 0; i < n; ++i) {
        auto *port = new TLogicalPort(&window);
        port->SetParent(window.ScrollBoxCli);
        port->SetName("LogPort" + std::to_string(i + 1));
        const QRect at = ChainPlace(i);
        port->SetBounds(at.x(), at.y(), at.width(), at.height());
        port->SetPortType(i % 20 == 0 ? TLogicalPortType::logCLK : TLogicalPortType::logNOT);
        port->SetUpdateDelay(10);
        port->SetBorder(true);
        port->SetPopupMenu(window.PopupMenuPort);
        if (i % 20 != 0) port->SetInAComp(previous);
        previous = port;
    }
    return SaveNetworkFile(path, window);
}
