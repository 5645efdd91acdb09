#pragma once

// A form's hook on the application's events.

#include "NonVisual.h"

#include <exception>

// Sender (the object whose event handling raised it, may be null) and the exception.
using TExceptionEvent = TEvent<TComponent *, std::exception_ptr>;

// A form-placed hook into the application: while alive it receives uncaught handler exceptions
// (OnException) and hint changes (OnHint). With several instances, the oldest is told first.
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
