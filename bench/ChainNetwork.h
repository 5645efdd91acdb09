#pragma once

// The network the file benchmark and the stress run open: gates in chains of 20, each chain a
// clock followed by 19 inverters, each fed by the one before.

#include <QRect>

#include <string>

// Where gate i (from 0) lies on the drawing area; the plain floor puts its widgets there too.
QRect ChainPlace(int i);

// Saves n gates in chains as a network file; false when it cannot be written.
bool WriteChainNetwork(int n, const std::string &path);
