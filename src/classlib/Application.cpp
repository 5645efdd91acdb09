#include "Application.h"

#include "Controls.h"

#include <vector>

TApplication &TApplication::Instance() {
    static TApplication application;
    return application;
}

void TApplication::SetHint(const std::string &hint) {
    if (hint == FHint) return;
    FHint = hint;
    // A listener may remove listeners: call a snapshot.
    std::vector<Listener> listeners;
    for (const auto &[key, listener] : FHintListeners)
        listeners.push_back(listener);
    for (const Listener &listener : listeners)
        listener();
}

void TApplication::ControlEntered(const TControl &control) {
    FHintSource = control.Widget();
    SetHint(GetLongHint(control.Hint()));
}

void TApplication::ControlLeft(const TControl &control) {
    // Going from one control to another, the one left is told first.
    if (!FHintSource || FHintSource != control.Widget()) return;
    FHintSource = nullptr;
    SetHint({});
}

int TApplication::AddHintListener(Listener listener) {
    FHintListeners.emplace(FNextKey, std::move(listener));
    return FNextKey++;
}

void TApplication::RemoveHintListener(int key) {
    FHintListeners.erase(key);
}

void TApplication::HandleException(TComponent *sender, std::exception_ptr error) {
    if (OnException) OnException(sender, error);
}

bool TApplicationObject::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        auto *widget = qobject_cast<QWidget *>(receiver);
        TApplication::Instance().HandleException(widget ? TControl::FromWidget(widget) : nullptr,
                                                 std::current_exception());
        return false;
    }
}
