#pragma once

// Wire geometry, kept free of widgets so it can be tested alone. A wire leaves the source gate
// at the middle of its right side and reaches the target at one input pin on its left side,
// using only right-angle bends. The rectangles come in as the controls report them (already
// shifted by scrolling), so `scroll` is added back to get points on the unscrolled paint box.

#include <QPoint>
#include <QRect>

#include <vector>

enum class TPin { Upper, Middle, Lower };

// The pin's distance below the top of a gate of that height.
int PinOffset(int height, TPin pin);

// When the target starts right of the source, the wire steps once, and the smaller the height
// difference the closer that step sits to the target. Otherwise it makes 4-pixel stubs out of
// both gates and crosses over at mid-height, or passes above or below the two gates when the
// target is entirely behind the source so it does not cut through them.
std::vector<QPoint> RouteWire(const QRect &source, const QRect &target, TPin pin, QPoint scroll);
