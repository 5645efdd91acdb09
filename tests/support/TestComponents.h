#pragma once

// Small component classes that exercise every kind of property, the child order and the root's
// methods and named parts, for the stream tests, fuzzers and benchmarks. They mimic a window
// with panels, gates, a non-visual designer and a menu, without any widget.

#include "stream/Component.h"

#include <string>
#include <vector>

class TTestGate;

// A component that can sit inside a container; containers list their children in stream order.
class TTestControl : public TComponent {
public:
    using TComponent::TComponent;
    ~TTestControl() override;
    ZENTARO_CLASS_INFO()

    int Left() const { return FLeft; }
    void SetLeft(int value) { FLeft = value; }
    int Top() const { return FTop; }
    void SetTop(int value) { FTop = value; }
    TTestControl *Parent() const { return FParent; }

    void SetParentComponent(TComponent *parent) override;
    void SetChildOrder(TComponent *child, int order) override;
    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) override;
    void Loaded() override;
    std::vector<TTestControl *> Children;
    // The order in which Loaded reached controls, shared by all of them.
    static std::vector<std::string> LoadedLog;

private:
    int FLeft = 0;
    int FTop = 0;
    TTestControl *FParent = nullptr;
};

class TTestFont : public TPersistent {
public:
    ZENTARO_CLASS_INFO()
    int Charset = 1;
    int Color = 0;
    int Height = -11;
    std::string Name = "Arial";
    std::int64_t Style = 0;
};

enum class TTestAlign { alNone, alTop, alBottom, alClient };

class TTestPanel : public TTestControl {
public:
    using TTestControl::TTestControl;
    ZENTARO_CLASS_INFO()
    TTestAlign Align = TTestAlign::alNone;
    std::string Caption;
};

enum class TTestKind { gkAND, gkOR, gkNOT };

class TTestGate : public TTestControl {
public:
    using TTestControl::TTestControl;
    ZENTARO_CLASS_INFO()

    TTestKind Kind = TTestKind::gkAND;
    bool Active = false;
    int Delay = 100;
    std::string Hint;
    std::string Data;
    TTestGate *Source = nullptr;
    TEvent<TComponent *> OnChange;
    TTestFont Font;

    void SetSource(TTestGate *source) { Source = source; }
    void RemovalNotice(TComponent *component) override;
};

// A non-visual component with a designer position written as extra properties.
class TTestDesigner : public TComponent {
public:
    using TComponent::TComponent;
    ZENTARO_CLASS_INFO()
    int GridSize = 4;
    bool ChangeEnabled = false;
    int DesignLeft = 0;
    int DesignTop = 0;
    TEvent<TComponent *> OnBeginChange;
    bool HasDesignLeft() const { return DesignLeft != 0; }
    bool HasDesignTop() const { return DesignTop != 0; }
};

class TTestMenuItem;

class TTestMenu : public TComponent {
public:
    using TComponent::TComponent;
    ~TTestMenu() override;
    ZENTARO_CLASS_INFO()
    bool AutoPopup = true;
    std::vector<TTestMenuItem *> Items;
    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) override;
};

class TTestMenuItem : public TComponent {
public:
    using TComponent::TComponent;
    ~TTestMenuItem() override;
    ZENTARO_CLASS_INFO()
    std::string Caption;
    TEvent<TComponent *> OnClick;
    TTestMenu *Menu = nullptr;
    void SetParentComponent(TComponent *parent) override;
};

// A class that exists but that the test root does not declare; reading it must fail unless it
// is registered.
class TTestStranger : public TComponent {
public:
    using TComponent::TComponent;
    ZENTARO_CLASS_INFO()
};

enum TTestBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };

// The root, like a window: its controls first, then its parentless components in ownership
// order; methods that events bind to by name; named parts.
class TTestRoot : public TTestControl {
public:
    TTestRoot() : TTestControl(nullptr) {}
    ZENTARO_CLASS_INFO()

    std::string Caption;
    int Color = -16777201; // clBtnFace
    std::int64_t BorderIcons = 1 << biSystemMenu | 1 << biMinimize | 1 << biMaximize;
    bool Visible = false;
    int PixelsPerInch = 96;
    int TextHeight = 14;
    TTestFont Font;
    TEvent<TComponent *> OnClose;
    TEvent<TComponent *, int &> OnKey;
    const std::string &ReadOnlyText() const { return Caption; }

    TTestPanel *PanelTop = nullptr;
    TTestGate *Gate1 = nullptr;
    TTestDesigner *Designer = nullptr;
    TTestMenu *Menu = nullptr;
    TTestMenuItem *MenuItemFirst = nullptr;

    std::vector<std::string> Calls;
    void FormClose(TComponent *sender);
    void GateChange(TComponent *sender);
    void ItemClick(TComponent *sender);
    void KeyPress(TComponent *sender, int &key);

    void GetChildren(const std::function<void(TComponent *)> &proc, TComponent *root) override;
};
