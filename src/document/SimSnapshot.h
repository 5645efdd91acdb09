#pragma once

// The headless model of a network window: its gates in the window's order, with their kinds,
// delays and wires as they are now.

#include "sim/Network.h"

class TComponent;

TSimNetwork SimSnapshot(const TComponent &window);
