#pragma once

// The one gate class; its kind picks the logic and the picture, and it is see-through where
// the picture leaves gaps. The worker thread only times the evaluations: each one is handed
// over to the GUI thread, so none of the fields below needs a lock.

#include "LogicThread.h"
#include "PortPainter.h"
#include "classlib/Controls.h"
#include "sim/PortLogic.h"

#include <cstdint>
#include <memory>

// The kinds' identifiers in component streams, by value.
extern const TEnumNames LogicalPortTypeNames;

class TLogicalPort;

// Hears a gate's output changes on the GUI thread, as they happen. Unlike OnChange it is no
// property, so watching a gate never shows in a saved network.
class TOutputWatch {
public:
    virtual void OutputChanged(TLogicalPort &port) = 0;
    // The gate is being destroyed and forgets its watch.
    virtual void PortGone(TLogicalPort &port) = 0;

protected:
    ~TOutputWatch() = default;
};

class TLogicalPort : public TGraphicControl {
public:
    explicit TLogicalPort(TComponent *owner);
    ~TLogicalPort() override;
    ZENTARO_CLASS_INFO()

    TLogicalPortType PortType() const { return FPortType; }
    void SetPortType(TLogicalPortType value);
    bool ShowType() const { return FShowType; }
    void SetShowType(bool value);
    bool ShowPortState() const { return FShowPortState; }
    void SetShowPortState(bool value);
    bool Active() const { return FActive; }
    void SetActive(bool value);
    bool InAPort() const { return FLevels.InA; }
    void SetInAPort(bool value);
    bool InBPort() const { return FLevels.InB; }
    void SetInBPort(bool value);
    // Wires: the gates whose outputs this gate's inputs copy at each evaluation.
    TLogicalPort *InAComp() const { return FInAComp; }
    void SetInAComp(TLogicalPort *value) { FInAComp = value; }
    TLogicalPort *InBComp() const { return FInBComp; }
    void SetInBComp(TLogicalPort *value) { FInBComp = value; }
    std::int32_t UpdateDelay() const { return FUpdateDelay; }
    void SetUpdateDelay(std::int32_t value);
    bool Border() const { return FBorder; }
    void SetBorder(bool value);

    // Fired with the gate as sender whenever an evaluation or a double-click changes the output.
    TNotifyEvent OnChange;
    // At most one watch per gate, told just before OnChange fires; null for none.
    TOutputWatch *OutputWatch() const { return FOutputWatch; }
    void SetOutputWatch(TOutputWatch *watch) { FOutputWatch = watch; }

    TLevel Output() const { return FLevels.Output; }
    TLevel JKMemory() const { return FLevels.JKMemory; }
    TLevel JKLatch() const { return FLevels.JKLatch; }

    // One simulation step: pull the inputs from the wired gates and recompute. Repaints only if
    // a visible level moved, and OnChange fires only on a new output, to keep the GUI quiet.
    void Evaluate();
    // Back to all zeros, inner flip-flop state included; the caller repaints, nobody is notified.
    void ResetState();
    // Takes levels worked out elsewhere (a headless run of the same network) to show them;
    // repaints, and nobody is notified.
    void ShowLevels(const TPortLevels &levels);
    // Immediate repaint, so the wires showing through the gaps are refreshed first.
    virtual void RequestRedraw();
    // While one lives (GUI thread), gates leave out their immediate repaints: whoever changes many
    // at once repaints the area they lie in afterwards, since Qt passes over all the siblings of
    // every gate painted on its own.
    class TRedrawHold {
    public:
        TRedrawHold() { ++FRedrawHolds; }
        ~TRedrawHold() { --FRedrawHolds; }
        TRedrawHold(const TRedrawHold &) = delete;
        TRedrawHold &operator=(const TRedrawHold &) = delete;
    };

    // The thread that paces this gate's evaluations; its OnUpdate evaluates the gate.
    TLogicalThread &Thread() const { return *FThread; }

    TPortLook Look() const;
    void Paint(QPainter &painter) override;
    void Loaded() override;
    void RemovalNotice(TComponent *component) override;

protected:
    void DblClick() override;

private:
    // Runs or pauses the thread as Active says (pulse switches: see the callers).
    void ApplyActive();
    void PauseThread();
    void OutputChanged();

    TLogicalPortType FPortType = TLogicalPortType::logAND;
    bool FShowType = true;
    bool FShowPortState = true;
    bool FActive = false;
    TPortLevels FLevels;
    TLogicalPort *FInAComp = nullptr;
    TLogicalPort *FInBComp = nullptr;
    std::int32_t FUpdateDelay = 100;
    bool FBorder = false;
    std::shared_ptr<TLogicalThread> FThread;
    TOutputWatch *FOutputWatch = nullptr;
    static inline int FRedrawHolds = 0;
};
