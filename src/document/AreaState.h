#pragma once

// What undo keeps of a window's drawing area: each named control on it as its component-stream
// record (nested components included), where it and those nested components stand among the
// window's components, and the back-to-front order of the area's controls. Records rather than
// copies of widgets: they are small, and reading one back gives a control the way opening a file
// gives it.

#include <QByteArray>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TComponent;
class TWinControl;

struct TKeptControl {
    // Empty when the control is not there.
    QByteArray Record;
    // The control and its nested components: each name with its index among root's components.
    std::vector<std::pair<std::string, int>> Places;
};

struct TAreaState {
    // By the control's name.
    std::map<std::string, TKeptControl> Controls;
    // The names of all the area's controls, back to front, one a line.
    QByteArray Order;
    std::int64_t Bytes() const;
};

// An edit: the controls it changed as they were before and after it, and the order around it.
struct TAreaChange {
    TAreaState Before, After;
    std::int64_t Bytes() const { return Before.Bytes() + After.Bytes(); }
};

// Every named control of root on area.
TAreaState CaptureArea(TComponent &root, TWinControl &area);
// What differs between two states of one area; nothing when they are the same.
std::optional<TAreaChange> DiffAreas(const TAreaState &from, const TAreaState &to);
// Replaces the controls the state names by the ones its records give (none for an empty record),
// puts them back at their indices and the area's controls in the state's order, and points the
// references other components had to a replaced control at its new namesake. Returns the
// components read.
std::vector<TComponent *> RestoreArea(TComponent &root, TWinControl &area, const TAreaState &state);
