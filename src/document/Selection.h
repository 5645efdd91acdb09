#pragma once

// The gates a user picked in a network window. Only the window shows it (a frame around each
// gate); nothing of it belongs to a gate, so it is never saved and never makes a change.

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

class TLogicalPort;

class TGateSelection {
public:
    // The selected gates that still exist, in the order they were selected.
    std::vector<TLogicalPort *> Gates() const;
    int Count() const { return int(Gates().size()); }
    bool Empty() const { return Gates().empty(); }
    bool Contains(const TLogicalPort *gate) const;
    // Each returns whether the selection changed.
    bool Set(const std::vector<TLogicalPort *> &gates);
    bool Add(TLogicalPort *gate);
    bool Toggle(TLogicalPort *gate);
    bool Remove(const void *gate);
    bool Clear();

private:
    // The widget tells whether the gate is still there: a gate's widget goes before its notice.
    struct TEntry {
        TLogicalPort *Gate;
        QPointer<QWidget> Widget;
        bool Alive() const;
    };
    std::vector<TEntry> FEntries;
};

// Shrinks `offset` toward zero so that no gate of `bounds` goes more than half its size past
// the parent's left or top side (the designer's rule for one gate), unless it already lies
// further out; the gates keep their places relative to each other.
QPoint LimitGroupOffset(const std::vector<QRect> &bounds, QPoint offset);
