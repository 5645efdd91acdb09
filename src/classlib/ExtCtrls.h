#pragma once

// Panels, paint boxes and scroll boxes.

#include "StdCtrls.h"

#include <QObject>
#include <QPoint>

#include <memory>

class QColor;
class QPainter;
class QRect;
class TScrollBox;

enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
extern const TEnumNames BevelCutNames;

// Draws a 3-D frame of the given width along the inside of rect and shrinks rect by it.
void Frame3D(QPainter &painter, QRect &rect, const QColor &topLeft, const QColor &bottomRight,
             int width);

// A container with a 3-D face: an outer and an inner bevel with a border between them, filled
// with its colour, and a caption centred vertically. Subclasses can replace Paint and reuse the
// parts.
class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent *owner);
    ZENTARO_CLASS_INFO()

    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);

    void Paint(QPainter &painter) override;

protected:
    // Draws one bevel of the bevel width (nothing for bvNone) and shrinks rect by it.
    void PaintBevel(QPainter &painter, QRect &rect, TBevelCut bevel) const;
    // Draws the caption in the font's colour, centred vertically in rect, placed by Alignment.
    void PaintCaption(QPainter &painter, const QRect &rect) const;

private:
    TAlignment FAlignment = TAlignment::taCenter;
    TBevelCut FBevelInner = TBevelCut::bvNone;
    TBevelCut FBevelOuter = TBevelCut::bvRaised;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
};

// A windowless surface that paints nothing itself: its OnPaint draws on Canvas, and whatever it
// does not draw shows what lies beneath.
class TPaintBox : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    ZENTARO_CLASS_INFO()

    // The painter of the paint in progress; null outside OnPaint.
    QPainter *Canvas() const { return FCanvas; }
    void Paint(QPainter &painter) override;

    TNotifyEvent OnPaint;

private:
    QPainter *FCanvas = nullptr;
};

// One scroll bar of a scroll box, as its sub-object: the position is the distance the contents
// are scrolled by.
class TControlScrollBar : public TPersistent {
public:
    TControlScrollBar(TScrollBox &box, Qt::Orientation kind) : FBox(box), FKind(kind) {}
    ZENTARO_CLASS_INFO()

    int Position() const;
    void SetPosition(int value);

private:
    TScrollBox &FBox;
    Qt::Orientation FKind;
};

// A container larger inside than outside. Children's Left and Top count from the corner in
// view, so scrolling changes them all; a stream stores them as they are at that moment, plus
// the scroll positions. The scrollable extent reaches to the right and bottom edges of the
// visible children.
class TScrollBox : public TWinControl {
public:
    explicit TScrollBox(TComponent *owner);
    ZENTARO_CLASS_INFO()

    TControlScrollBar *HorzScrollBar() { return &FHorzScrollBar; }
    TControlScrollBar *VertScrollBar() { return &FVertScrollBar; }
    QPoint ScrollPosition() const {
        FlushLayout();
        return FPosition;
    }
    // Scrolls to the position, limited to the extent (not while loading).
    void ScrollTo(QPoint position);
    // The size of the scrolled contents and of the visible area, as last laid out.
    QSize Extent() const {
        FlushLayout();
        return FExtent;
    }
    QSize ViewSize() const;

    QWidget *ClientWidget() const override;
    QPoint ClientOffset() const override { return FPosition; }
    void AlignClientArea(const QRect &) override { LayoutScrollArea(); }
    void ChildBoundsChanged(TControl &) override { RequestLayout(); }
    void Loaded() override;

    // Lays out the visible area and the scroll bars for the current size and children.
    void LayoutScrollArea();

private:
    friend class TControlScrollBar;
    void ScrollBarMoved();
    // Scrolls without limits: the children move by the change.
    void MoveView(QPoint position);
    // A child moved, came or went: the area is laid out at the next turn of the event loop, or
    // before anything reads its layout, so placing thousands of children lays it out once.
    void RequestLayout();
    void FlushLayout() const;

    TControlScrollBar FHorzScrollBar{*this, Qt::Horizontal};
    TControlScrollBar FVertScrollBar{*this, Qt::Vertical};
    QPoint FPosition;
    QSize FExtent;
    bool FLayingOut = false;
    bool FLayoutPending = false;
    // Cancels a layout still to come when the box goes.
    std::unique_ptr<QObject> FLayoutGuard;
};
