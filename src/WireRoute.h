#pragma once

// Where a wire runs: from the middle of the source gate's right edge to one input pin on the
// target's left edge, as a line of horizontal and vertical segments. Gates are given as Left,
// Top, Width, Height relative to the visible part of the scroll box; the points are in
// drawing-area coordinates, which the scroll position shifts.

#include <QPoint>
#include <QRect>

#include <vector>

enum class TPin { Upper, Middle, Lower };

// The pin's distance below the top of a gate of that height.
int PinOffset(int height, TPin pin);

// A forward wire (target's left edge right of the source's right edge) bends once, nearer the
// target the flatter it is; a backward wire leaves and enters 4 pixels beside the gates and
// runs halfway between the ends, or around both gates when the target lies wholly to the left.
std::vector<QPoint> RouteWire(const QRect &source, const QRect &target, TPin pin, QPoint scroll);
