#pragma once

// The headless model of a network window: its gates in the window's order, with their kinds,
// delays and wires as they are now.

#include "sim/Network.h"

#include <functional>
#include <string_view>

class TComponent;

TSimNetwork SimSnapshot(const TComponent &window);

struct TNetworkSchema;

// What reading a network file without a window needs to know of the window's classes; nameTaken
// tells which window names are in use, as the window's own reading is told.
TNetworkSchema NetworkWindowSchema(std::function<bool(std::string_view)> nameTaken);
