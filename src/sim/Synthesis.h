#pragma once

// A network of gates planned from minimal sums of products: a pulse switch per input, a lamp per
// output, two-input gates in between, laid out left to right in columns on the 4-px grid. The
// plan is plain data; src/document/SynthesisBuild.h turns it into a network window.

#include "Minimize.h"
#include "PortLogic.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Names or functions a network cannot be planned from; the message is one line.
class ESynthesisError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// AND, OR and NOT gates, or NAND gates only (an inverter is then a NAND with both inputs tied).
enum class TSynthesisGates { AndOr, Nand };

struct TPlannedPort {
    std::string Name;
    TLogicalPortType Kind = TLogicalPortType::logAND;
    // Ports feeding the inputs, as indices into TSynthesisPlan::Ports; -1 leaves one unwired.
    int InA = -1, InB = -1;
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

// Switches in input order, then the gates in the order they were made (LogPort1, LogPort2, …,
// skipping given names),
// then the lamps in output order. Constants: a lamp left unwired reads 0; a 1 comes from a NOT
// (or NAND) gate whose inputs are left unwired, as an unwired input reads 0.
struct TSynthesisPlan {
    std::vector<TPlannedPort> Ports;
};

// Gates and lamps as the program makes them, and the room the layout leaves between them.
constexpr int GateWidth = 50, GateHeight = 40, LampSide = 40;
constexpr int ColumnPitch = 100, RowPitch = 56, LayoutMargin = 16;

// Why a name cannot be given to a switch or lamp, or empty when it can: it must be a component
// name (a letter or _, then letters, digits and _, at most 63 characters) and not a part of the
// network window (compared in any case). The gates are named LogPort and the next number that no
// given name takes.
std::string NameRefusal(std::string_view name);

// Plans the network for outputs[i] = sums[i], each a cover over the inputs (see Minimize.h).
// Raises ESynthesisError for a name NameRefusal refuses, the same name given twice in any case,
// or no outputs; std::invalid_argument for more than MaxMinimizeInputs inputs, a cover count
// other than the outputs', or a cube naming inputs that are not there.
TSynthesisPlan PlanNetwork(const std::vector<std::string> &inputs,
                           const std::vector<std::string> &outputs, const std::vector<TCover> &sums,
                           TSynthesisGates gates);
