#pragma once

// Global state shared by all controls: the hint currently under the mouse, with listeners
// such as the main window's status bar, and the catch-all for exceptions thrown by handlers.

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <functional>
#include <map>
#include <string>

class TComponent;
class TControl;

class TApplication {
public:
    static TApplication &Instance();

    const std::string &Title() const { return FTitle; }
    void SetTitle(const std::string &title) { FTitle = title; }

    // The long hint of the control the pointer last entered, empty once it has left that one.
    const std::string &Hint() const { return FHint; }
    void SetHint(const std::string &hint);
    void ControlEntered(const TControl &control);
    void ControlLeft(const TControl &control);

    // Listeners are kept by key, so that the component that added one can take it away.
    using Listener = std::function<void()>;
    int AddHintListener(Listener listener);
    void RemoveHintListener(int key);

    // Gets each exception a handler let through, with the object whose event it was (or null).
    std::function<void(TComponent *sender, std::exception_ptr error)> OnException;
    void HandleException(TComponent *sender, std::exception_ptr error);

private:
    std::string FTitle;
    std::string FHint;
    // The widget of the control whose hint FHint is.
    QPointer<QWidget> FHintSource;
    std::map<int, Listener> FHintListeners;
    int FNextKey = 1;
};

// Runs an event handler and hands anything it throws to TApplication::HandleException, so that
// no exception unwinds through Qt's own code, which does not clean up after one.
template <typename Handler> bool Guarded(TComponent *sender, Handler &&handler) {
    try {
        return handler();
    } catch (...) {
        TApplication::Instance().HandleException(sender, std::current_exception());
        return true;
    }
}

// The Qt application object of the program: every exception that escapes the handling of an
// event goes to TApplication::HandleException, with the control that received the event (if any)
// as sender, and the program goes on. Handlers are guarded where they are called; this is the
// net under everything else.
class TApplicationObject : public QApplication {
public:
    TApplicationObject(int &argc, char **argv) : QApplication(argc, argv) {}
    bool notify(QObject *receiver, QEvent *event) override;
};
