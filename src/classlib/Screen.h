#pragma once

// The screen as the program sees it: which form is active, with a notice when that changes, and
// the cursor shown over every window while a long operation runs.

#include "Graphics.h"
#include "stream/Component.h"

class TScreen {
public:
    static TScreen &Instance();

    // crDefault lets every control show its own cursor again.
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);

    // Fired whenever the active top-level form or MDI child changes, a closed child included;
    // the sender is null.
    TNotifyEvent OnActiveFormChange;
    void ActiveFormChanged();

private:
    TScreen();
    TCursor FCursor = crDefault;
};
