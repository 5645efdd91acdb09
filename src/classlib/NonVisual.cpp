#include "NonVisual.h"

const TClassInfo &TNonVisualComponent::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TNonVisualComponent, TComponent>("TNonVisualComponent")
            .Integer("Left", &TNonVisualComponent::DesignLeft, &TNonVisualComponent::SetDesignLeft)
            .Extra()
            .Stored(&TNonVisualComponent::HasDesignLeft)
            .Integer("Top", &TNonVisualComponent::DesignTop, &TNonVisualComponent::SetDesignTop)
            .Extra()
            .Stored(&TNonVisualComponent::HasDesignTop)
            .Build();
    return info;
}
