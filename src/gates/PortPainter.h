#pragma once

// Draws gates: symbol, label, level marks, lamp, switch, editing frame. Everything the picture
// depends on is in TPortLook, which makes the look a good cache key: gates that look alike
// share one pixmap.

#include "classlib/Canvas.h"
#include "sim/PortLogic.h"

#include <QPixmap>

#include <string_view>

struct TPortLook {
    TLogicalPortType Kind = TLogicalPortType::logAND;
    int Width = 0;
    int Height = 0;
    TLevel InA = 0;
    TLevel InB = 0;
    TLevel Output = 0;
    bool ShowType = true;
    bool ShowPortState = true;
    bool Border = false;
    TColor Color = clBlack;        // body
    TColor ParentColor = clWindow; // carves the back of the OR family
    TFont Font;                    // label and marks, in the font's colour

    bool operator==(const TPortLook &other) const;
};

// The label drawn for a kind when ShowType is set; empty for the lamp and the pulse switch.
std::string_view KindLabel(TLogicalPortType kind);

// Draws the look with the gate's own upper left as the origin.
void PaintPort(TCanvas &canvas, const TPortLook &look);

// The look drawn on a transparent pixmap of its size, for the given device pixel ratio; kept in
// a small cache shared by all gates of the GUI thread.
QPixmap PortPicture(const TPortLook &look, qreal devicePixelRatio);
