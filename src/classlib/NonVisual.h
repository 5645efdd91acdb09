#pragma once

#include "stream/Component.h"

// A component without a control: it keeps the position where a form designer showed it, stored
// as the extra properties Left and Top (each only when not zero).
class TNonVisualComponent : public TComponent {
public:
    using TComponent::TComponent;
    ZENTARO_CLASS_INFO()

    int DesignLeft() const { return FDesignLeft; }
    void SetDesignLeft(int value) { FDesignLeft = value; }
    int DesignTop() const { return FDesignTop; }
    void SetDesignTop(int value) { FDesignTop = value; }

private:
    bool HasDesignLeft() const { return FDesignLeft != 0; }
    bool HasDesignTop() const { return FDesignTop != 0; }
    int FDesignLeft = 0;
    int FDesignTop = 0;
};
