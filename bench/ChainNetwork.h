#pragma once

// The network the file benchmark and the stress run open: gates in chains of 20, each chain a
// clock followed by 19 inverters, each fed by the one before.

#include <QRect>

#include <functional>
#include <span>
#include <string>

class TLogicalPort;

// Where gate i (from 0) lies on the drawing area; the plain floor puts its widgets there too.
QRect ChainPlace(int i);

// Saves n gates in chains as a network file; false when it cannot be written.
bool WriteChainNetwork(int n, const std::string &path);

// Saves n inverters at 10 ms, each where ChainPlace puts it, after `shape` set their kinds and
// wires; false when the file cannot be written.
bool WritePlacedNetwork(int n, const std::string &path,
                        const std::function<void(std::span<TLogicalPort *const>)> &shape);
