#include "Menus.h"

#include "Application.h"
#include "Graphics.h"

#include <QMenu>

#include <algorithm>

// ---- TMenuItem

const TClassInfo &TMenuItem::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TMenuItem, TComponent>("TMenuItem")
            .String("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption)
            .Event("OnClick", &TMenuItem::OnClick)
            .Build();
    return info;
}

TMenuItem::~TMenuItem() {
    for (TMenuItem *item : FItems)
        item->FParentItem = nullptr;
    if (FParentItem) FParentItem->Remove(this);
}

void TMenuItem::Insert(int index, TMenuItem *item) {
    if (item->FParentItem) item->FParentItem->Remove(item);
    FItems.insert(FItems.begin() + std::clamp(index, 0, Count()), item);
    item->FParentItem = this;
}

void TMenuItem::Remove(TMenuItem *item) {
    std::erase(FItems, item);
    item->FParentItem = nullptr;
}

void TMenuItem::SetParentComponent(TComponent *parent) {
    if (auto *menu = dynamic_cast<TPopupMenu *>(parent))
        menu->Items().Add(this);
    else if (auto *item = dynamic_cast<TMenuItem *>(parent))
        item->Add(this);
}

void TMenuItem::GetChildren(const std::function<void(TComponent *)> &proc, TComponent *) {
    for (TMenuItem *item : FItems)
        proc(item);
}

// ---- TPopupMenu

const TClassInfo &TPopupMenu::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TPopupMenu, TNonVisualComponent>("TPopupMenu")
            .Boolean("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup)
            .Default(1)
            .Build();
    return info;
}

TPopupMenu::TPopupMenu(TComponent *owner)
    : TNonVisualComponent(owner), FItems(std::make_unique<TMenuItem>(nullptr)) {}

TPopupMenu::~TPopupMenu() {
    // The items belong to their owner; they only leave this menu.
    while (FItems->Count() > 0)
        FItems->Remove(FItems->Items().back());
}

void TPopupMenu::GetChildren(const std::function<void(TComponent *)> &proc, TComponent *) {
    for (TMenuItem *item : FItems->Items())
        proc(item);
}

void TPopupMenu::RemovalNotice(TComponent *component) {
    TNonVisualComponent::RemovalNotice(component);
    if (component == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::Popup(QPoint global, TComponent *popupComponent) {
    FPopupComponent = popupComponent;
    QMenu menu;
    std::function<void(QMenu &, TMenuItem &)> fill = [&](QMenu &into, TMenuItem &parent) {
        for (TMenuItem *item : parent.Items()) {
            if (item->IsSeparator()) {
                into.addSeparator();
            } else if (item->Count() > 0) {
                fill(*into.addMenu(FromAnsi(item->Caption())), *item);
            } else {
                QAction *action = into.addAction(FromAnsi(item->Caption()));
                QObject::connect(action, &QAction::triggered, [item] {
                    Guarded(item, [item] {
                        item->Click();
                        return true;
                    });
                });
            }
        }
    };
    fill(menu, *FItems);
    menu.exec(global);
}
