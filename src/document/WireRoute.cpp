#include "WireRoute.h"

#include <cmath>
#include <cstdlib>

int PinOffset(int height, TPin pin) {
    switch (pin) {
    case TPin::Upper:
        return height / 10;
    case TPin::Middle:
        return height / 2;
    case TPin::Lower:
        return height - height / 10 - 1;
    }
    return 0;
}

std::vector<QPoint> RouteWire(const QRect &source, const QRect &target, TPin pin, QPoint scroll) {
    const int xs = scroll.x() + source.left() + source.width();
    const int ys = scroll.y() + source.top() + source.height() / 2;
    const int xe = scroll.x() + target.left();
    const int ye = scroll.y() + target.top() + PinOffset(target.height(), pin);

    if (xe > xs) {
        const double dx = xe - xs, d = std::abs(ye - ys);
        // dx * cos(atan(d / dx)), rounded half to even (the default rounding mode).
        int xm = xs + int(std::nearbyint(dx * std::cos(std::atan(d / dx))));
        if (xm > xe - 8) xm = xe - 8;
        if (xm < xs + 8) xm = xs + 8;
        return {{xs, ys}, {xm, ys}, {xm, ye}, {xe, ye}};
    }

    int route = ys + (ye - ys) / 2;
    if (target.left() + target.width() < source.left()) {
        const int aroundSource = source.height() / 2 + 4, aroundTarget = target.height() / 2 + 4;
        if (pin == TPin::Lower)
            route = ye < ys ? ys + aroundSource : ye + aroundTarget;
        else
            route = ys < ye ? ys - aroundSource : ye - aroundTarget;
    }
    return {{xs, ys}, {xs + 4, ys}, {xs + 4, route}, {xe - 4, route}, {xe - 4, ye}, {xe, ye}};
}
