#include "AppEvnts.h"

#include "Application.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<TApplicationEvents *> &LiveHooks() {
    static std::vector<TApplicationEvents *> hooks;
    return hooks;
}

void DispatchException(TComponent *sender, std::exception_ptr error) {
    // A handler may destroy hooks: visit a snapshot and skip the ones gone meanwhile.
    const std::vector<TApplicationEvents *> hooks = LiveHooks();
    for (TApplicationEvents *hook : hooks)
        if (std::find(LiveHooks().begin(), LiveHooks().end(), hook) != LiveHooks().end())
            hook->OnException(sender, error);
}

} // namespace

const TClassInfo &TApplicationEvents::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TApplicationEvents, TNonVisualComponent>("TApplicationEvents")
            .Event("OnException", &TApplicationEvents::OnException)
            .Event("OnHint", &TApplicationEvents::OnHint)
            .Build();
    return info;
}

TApplicationEvents::TApplicationEvents(TComponent *owner) : TNonVisualComponent(owner) {
    TApplication &application = TApplication::Instance();
    FHintListener = application.AddHintListener([this] { OnHint(this); });
    if (LiveHooks().empty()) application.OnException = DispatchException;
    LiveHooks().push_back(this);
}

TApplicationEvents::~TApplicationEvents() {
    TApplication &application = TApplication::Instance();
    application.RemoveHintListener(FHintListener);
    std::erase(LiveHooks(), this);
    if (LiveHooks().empty()) application.OnException = nullptr;
}
