#pragma once

#include "Persistent.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TComponent;

// Removes the first match from the back: lists emptied last-first find it at once.
template <typename T, typename U> void EraseFromBack(std::vector<T> &list, const U &value) {
    const auto it = std::find(list.rbegin(), list.rend(), value);
    if (it != list.rend()) list.erase(std::next(it).base());
}

// The plain notification: the component that sends it.
using TNotifyEvent = TEvent<TComponent *>;

// A named object with an owner. The owner keeps its owned components in order, destroys them
// with itself, and tells all of them (and itself) about a component that is about to be removed,
// so that references between components can be dropped in time.
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent *owner);
    ~TComponent() override;
    TComponent(const TComponent &) = delete;
    TComponent &operator=(const TComponent &) = delete;
    ZENTARO_CLASS_INFO()

    const std::string &Name() const { return FName; }
    virtual void SetName(const std::string &name) { FName = name; }
    std::int32_t Tag() const { return FTag; }
    void SetTag(std::int32_t tag) { FTag = tag; }

    TComponent *Owner() const { return FOwner; }
    const std::vector<TComponent *> &Components() const { return FComponents; }
    int ComponentCount() const { return int(FComponents.size()); }
    // The owned component of that name, without regard to case; empty names are never found.
    TComponent *FindComponent(std::string_view name) const;

    // Destroys a component the way its owner does: BeforeDestruction runs while the object is
    // still whole (derived destructors run before the base's), then it is deleted.
    static void Free(TComponent *component);
    virtual void BeforeDestruction() {}

    void InsertComponent(TComponent *component);
    // Moves an owned component to that place among the owned components (clamped to the list).
    void SetComponentIndex(TComponent *component, int index);
    // Sends the removal notice, unbinds the owner's named part, then lets go of the component.
    void RemoveComponent(TComponent *component);
    // Destroys the owned components, the last first.
    void DestroyComponents();

    // Called on the owner and on every component it owns when a component is about to be
    // removed; overrides must call this to keep the notice going. An owner on its way out sends
    // none: everything it owns goes with it, so no reference among them outlives the notice.
    virtual void RemovalNotice(TComponent *component);

    // True once the component is being destroyed (set by Free after BeforeDestruction, and by
    // destructors that take other components with them).
    bool Destroying() const { return FDestroying; }
    void SetDestroying() { FDestroying = true; }

    // True from creation by a stream reader until the reading has finished.
    bool Loading() const { return FLoading; }
    virtual void SetLoading(bool loading) { FLoading = loading; }
    // Called when a stream reader has finished reading the component and all others.
    virtual void Loaded() { SetLoading(false); }

    // How the class library arranges components in a stream: the components written as children
    // of this one (root is the component being written), the parent a reader gives a component
    // read as a child of another, and a child's position among its siblings.
    virtual void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root);
    // Whether the component is written under a parent rather than under its owner's root.
    virtual bool HasParent() const { return false; }
    virtual void SetParentComponent(TComponent *parent);
    virtual void SetChildOrder(TComponent *child, int order);

private:
    // Unbinds the named part that points at an owned component and lets go of it.
    void Release(TComponent *component);

    std::string FName;
    std::int32_t FTag = 0;
    TComponent *FOwner = nullptr;
    std::vector<TComponent *> FComponents;
    bool FLoading = false;
    bool FDestroying = false;
};
