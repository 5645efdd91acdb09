#include "TestComponents.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::string_view, 4> AlignNames = {"alNone", "alTop", "alBottom", "alClient"};
constexpr std::array<std::string_view, 3> KindNames = {"gkAND", "gkOR", "gkNOT"};
constexpr std::array<std::string_view, 4> BorderIconNames = {"biSystemMenu", "biMinimize",
                                                             "biMaximize", "biHelp"};
constexpr std::array<std::string_view, 4> FontStyleNames = {"fsBold", "fsItalic", "fsUnderline",
                                                            "fsStrikeOut"};
constexpr std::array<TIdentEntry, 4> ColorNames = {{{0x000000, "clBlack"},
                                                    {0xFFFFFF, "clWhite"},
                                                    {-16777201, "clBtnFace"},
                                                    {-16777208, "clWindowText"}}};
constexpr std::array<TIdentEntry, 2> CharsetNames = {{{0, "ANSI_CHARSET"}, {1, "DEFAULT_CHARSET"}}};

} // namespace

std::vector<std::string> TTestControl::LoadedLog;

// ---- TTestControl

const TClassInfo &TTestControl::StaticClassInfo() {
    static const TClassInfo info = TClassBuilder<TTestControl, TComponent>("TTestControl")
                                       .Integer("Left", &TTestControl::Left, &TTestControl::SetLeft)
                                       .Integer("Top", &TTestControl::Top, &TTestControl::SetTop)
                                       .Build();
    return info;
}

TTestControl::~TTestControl() {
    if (FParent) std::erase(FParent->Children, this);
    for (TTestControl *child : Children)
        child->FParent = nullptr;
}

void TTestControl::SetParentComponent(TComponent *parent) {
    // Only controls hold controls; a control read under anything else has no parent.
    FParent = dynamic_cast<TTestControl *>(parent);
    if (FParent) FParent->Children.push_back(this);
}

void TTestControl::SetChildOrder(TComponent *child, int order) {
    auto it = std::find(Children.begin(), Children.end(), child);
    if (it == Children.end()) return;
    TTestControl *moved = *it;
    Children.erase(it);
    Children.insert(Children.begin() +
                        std::clamp<std::ptrdiff_t>(order, 0, std::ptrdiff_t(Children.size())),
                    moved);
}

void TTestControl::GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) {
    for (TTestControl *child : Children)
        if (child->Owner() == root) proc(child);
}

void TTestControl::Loaded() {
    TComponent::Loaded();
    LoadedLog.push_back(Name());
}

// ---- TTestFont, TTestPanel

const TClassInfo &TTestFont::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestFont, void>("TTestFont")
            .Integer("Charset", &TTestFont::Charset, &TTestFont::Charset)
            .Symbols(CharsetNames)
            .Integer("Color", &TTestFont::Color, &TTestFont::Color)
            .Symbols(ColorNames)
            .Integer("Height", &TTestFont::Height, &TTestFont::Height)
            .String("Name", &TTestFont::Name, &TTestFont::Name)
            .Set("Style", FontStyleNames, &TTestFont::Style, &TTestFont::Style)
            .Build();
    return info;
}

const TClassInfo &TTestPanel::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestPanel, TTestControl>("TTestPanel")
            .Enumeration("Align", AlignNames, &TTestPanel::Align, &TTestPanel::Align)
            .Default(0)
            .String("Caption", &TTestPanel::Caption, &TTestPanel::Caption)
            .Build();
    return info;
}

// ---- TTestGate

const TClassInfo &TTestGate::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestGate, TTestControl>("TTestGate")
            .String("Hint", &TTestGate::Hint, &TTestGate::Hint)
            .Enumeration("Kind", KindNames, &TTestGate::Kind, &TTestGate::Kind)
            .Boolean("Active", &TTestGate::Active, &TTestGate::Active)
            .Reference("Source", &TTestGate::Source, &TTestGate::SetSource)
            .Integer("Delay", &TTestGate::Delay, &TTestGate::Delay)
            .Event("OnChange", &TTestGate::OnChange)
            .Object("Font", &TTestGate::Font)
            .Bytes("Data", &TTestGate::Data, &TTestGate::Data)
            .Build();
    return info;
}

void TTestGate::RemovalNotice(TComponent *component) {
    TTestControl::RemovalNotice(component);
    if (component == Source) Source = nullptr;
}

// ---- TTestDesigner

const TClassInfo &TTestDesigner::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestDesigner, TComponent>("TTestDesigner")
            .Integer("GridSize", &TTestDesigner::GridSize, &TTestDesigner::GridSize)
            .Boolean("ChangeEnabled", &TTestDesigner::ChangeEnabled, &TTestDesigner::ChangeEnabled)
            .Event("OnBeginChange", &TTestDesigner::OnBeginChange)
            .Integer("Left", &TTestDesigner::DesignLeft, &TTestDesigner::DesignLeft)
            .Extra()
            .Stored(&TTestDesigner::HasDesignLeft)
            .Integer("Top", &TTestDesigner::DesignTop, &TTestDesigner::DesignTop)
            .Extra()
            .Stored(&TTestDesigner::HasDesignTop)
            .Build();
    return info;
}

// ---- TTestMenu, TTestMenuItem

const TClassInfo &TTestMenu::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestMenu, TComponent>("TTestMenu")
            .Boolean("AutoPopup", &TTestMenu::AutoPopup, &TTestMenu::AutoPopup)
            .Default(1)
            .Build();
    return info;
}

TTestMenu::~TTestMenu() {
    for (TTestMenuItem *item : Items)
        item->Menu = nullptr;
}

void TTestMenu::GetChildren(const std::function<void(TComponent *)> &proc, TComponent *) {
    for (TTestMenuItem *item : Items)
        proc(item);
}

const TClassInfo &TTestMenuItem::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestMenuItem, TComponent>("TTestMenuItem")
            .String("Caption", &TTestMenuItem::Caption, &TTestMenuItem::Caption)
            .Event("OnClick", &TTestMenuItem::OnClick)
            .Build();
    return info;
}

TTestMenuItem::~TTestMenuItem() {
    if (Menu) std::erase(Menu->Items, this);
}

void TTestMenuItem::SetParentComponent(TComponent *parent) {
    if (auto *menu = dynamic_cast<TTestMenu *>(parent)) {
        Menu = menu;
        menu->Items.push_back(this);
    }
}

const TClassInfo &TTestStranger::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestStranger, TComponent>("TTestStranger").Build();
    return info;
}

// ---- TTestRoot

const TClassInfo &TTestRoot::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TTestRoot, TTestControl>("TTestRoot")
            .Set("BorderIcons", BorderIconNames, &TTestRoot::BorderIcons, &TTestRoot::BorderIcons)
            .Default(1 << biSystemMenu | 1 << biMinimize | 1 << biMaximize)
            .String("Caption", &TTestRoot::Caption, &TTestRoot::Caption)
            .Integer("Color", &TTestRoot::Color, &TTestRoot::Color)
            .Symbols(ColorNames)
            .Default(-16777201)
            .Object("Font", &TTestRoot::Font)
            .Boolean("Visible", &TTestRoot::Visible, &TTestRoot::Visible)
            .Default(0)
            .String("Title", &TTestRoot::ReadOnlyText, nullptr)
            .Event("OnClose", &TTestRoot::OnClose)
            .Event("OnKey", &TTestRoot::OnKey)
            .Integer("PixelsPerInch", &TTestRoot::PixelsPerInch, &TTestRoot::PixelsPerInch)
            .Extra()
            .Integer("TextHeight", &TTestRoot::TextHeight, &TTestRoot::TextHeight)
            .Extra()
            .Method("FormClose", &TTestRoot::FormClose)
            .Method("GateChange", &TTestRoot::GateChange)
            .Method("ItemClick", &TTestRoot::ItemClick)
            .Method("KeyPress", &TTestRoot::KeyPress)
            .Field("PanelTop", &TTestRoot::PanelTop)
            .Field("Gate1", &TTestRoot::Gate1)
            .Field("Designer", &TTestRoot::Designer)
            .Field("Menu", &TTestRoot::Menu)
            .Field("MenuItemFirst", &TTestRoot::MenuItemFirst)
            .Build();
    return info;
}

void TTestRoot::FormClose(TComponent *sender) {
    Calls.push_back("FormClose " + sender->Name());
}
void TTestRoot::GateChange(TComponent *sender) {
    Calls.push_back("GateChange " + sender->Name());
}
void TTestRoot::ItemClick(TComponent *sender) {
    Calls.push_back("ItemClick " + sender->Name());
}
void TTestRoot::KeyPress(TComponent *sender, int &key) {
    Calls.push_back("KeyPress " + sender->Name() + " " + std::to_string(key));
    key = 0;
}

void TTestRoot::GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) {
    TTestControl::GetChildren(proc, root);
    for (TComponent *component : Components())
        if (!dynamic_cast<TTestControl *>(component) && !dynamic_cast<TTestMenuItem *>(component))
            proc(component);
}
