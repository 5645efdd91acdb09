#include "Component.h"

#include "Values.h"

#include <algorithm>

const TClassInfo &TComponent::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TComponent, void>("TComponent")
                                       .Integer("Tag", &TComponent::Tag, &TComponent::SetTag)
                                       .Default(0)
                                       .Build();
    return info;
}

TComponent::TComponent(TComponent *owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    FDestroying = true;
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent *TComponent::FindComponent(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (TComponent *component : FComponents)
        if (SameText(component->FName, name)) return component;
    return nullptr;
}

void TComponent::Free(TComponent *component) {
    if (!component) return;
    component->BeforeDestruction();
    component->FDestroying = true;
    delete component;
}

void TComponent::InsertComponent(TComponent *component) {
    if (component->FOwner) component->FOwner->RemoveComponent(component);
    FComponents.push_back(component);
    component->FOwner = this;
}

void TComponent::SetComponentIndex(TComponent *component, int index) {
    const auto it = std::find(FComponents.begin(), FComponents.end(), component);
    if (it == FComponents.end()) return;
    FComponents.erase(it);
    FComponents.insert(FComponents.begin() +
                           std::clamp<std::ptrdiff_t>(index, 0, std::ptrdiff_t(FComponents.size())),
                       component);
}

void TComponent::RemoveComponent(TComponent *component) {
    if (!FDestroying) RemovalNotice(component);
    Release(component);
    EraseFromBack(FComponents, component);
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent *last = FComponents.back();
        // Owned components go without notices: their siblings go with them.
        last->BeforeDestruction();
        FComponents.pop_back();
        Release(last);
        delete last;
    }
}

void TComponent::Release(TComponent *component) {
    if (const TFieldInfo *field = ClassInfo().FindField(component->FName);
        field && field->Get(*this) == component)
        field->Set(*this, nullptr);
    component->FOwner = nullptr;
}

void TComponent::RemovalNotice(TComponent *component) {
    // Last to first, re-checking the bound: a handler may remove components of this owner.
    for (std::size_t i = FComponents.size(); i-- > 0;)
        if (i < FComponents.size()) FComponents[i]->RemovalNotice(component);
}

void TComponent::GetChildren(const std::function<void(TComponent *)> &, TComponent *) {}

void TComponent::SetParentComponent(TComponent *) {}

void TComponent::SetChildOrder(TComponent *, int) {}
