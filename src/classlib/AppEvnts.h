#pragma once

// A form's hook on the application's events.

#include "NonVisual.h"

#include <exception>

// Sender (the object whose event handling raised it, may be null) and the exception.
using TExceptionEvent = TEvent<TComponent *, std::exception_ptr>;

// While it exists, every exception that escapes an event handler goes to OnException (of every
// live instance, oldest first), and every change of the application's hint to OnHint.
class TApplicationEvents : public TNonVisualComponent {
public:
    explicit TApplicationEvents(TComponent *owner);
    ~TApplicationEvents() override;
    ZENTARO_CLASS_INFO()

    TExceptionEvent OnException;
    TNotifyEvent OnHint;

private:
    int FHintListener = 0;
};
