#pragma once

#include "NonVisual.h"

#include <QPoint>

#include <string>
#include <vector>

class TMenuItem;

// Items and popup menus. The item order is the menu's own and has nothing to do with which
// component owns an item; an item with the caption "-" is a separator.
class TMenuItem : public TComponent {
public:
    using TComponent::TComponent;
    ~TMenuItem() override;
    ZENTARO_CLASS_INFO()

    const std::string &Caption() const { return FCaption; }
    void SetCaption(const std::string &caption) { FCaption = caption; }
    bool IsSeparator() const { return FCaption == "-"; }
    TNotifyEvent OnClick;
    void Click() { OnClick(this); }

    // The items under this one, in menu order.
    const std::vector<TMenuItem *> &Items() const { return FItems; }
    int Count() const { return int(FItems.size()); }
    void Add(TMenuItem *item) { Insert(Count(), item); }
    void Insert(int index, TMenuItem *item);
    void Remove(TMenuItem *item);
    TMenuItem *ParentItem() const { return FParentItem; }

    bool HasParent() const override { return true; }
    void SetParentComponent(TComponent *parent) override;
    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) override;

private:
    std::string FCaption;
    std::vector<TMenuItem *> FItems;
    TMenuItem *FParentItem = nullptr;
};

// A menu that opens at the pointer, on right-click of a control that names it when AutoPopup
// is on, and remembers that control.
class TPopupMenu : public TNonVisualComponent {
public:
    explicit TPopupMenu(TComponent *owner);
    ~TPopupMenu() override;
    ZENTARO_CLASS_INFO()

    bool AutoPopup() const { return FAutoPopup; }
    void SetAutoPopup(bool value) { FAutoPopup = value; }
    TComponent *PopupComponent() const { return FPopupComponent; }
    // The top-level items; they hang under a root item that is no component of any form.
    TMenuItem &Items() { return *FItems; }

    // Shows the menu at a screen position for the given control and returns when it closes.
    void Popup(QPoint global, TComponent *popupComponent);

    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) override;
    void RemovalNotice(TComponent *component) override;

private:
    bool FAutoPopup = true;
    TComponent *FPopupComponent = nullptr;
    std::unique_ptr<TMenuItem> FItems;
};
