#pragma once

// A planned network (sim/Synthesis.h) made into the gates of a network window.

#include "sim/Synthesis.h"

#include <vector>

class TFormZentaroChild;
class TLogicalPort;

// Fills a new network window with the plan's ports, made and wired as the window makes its own
// gates, so that they can be moved, retyped and rewired at once; the sample panel of the
// window's description goes first, as in every new network. No edit is recorded. A window that
// already holds gates, or a plan whose wires point outside it, raises std::invalid_argument and
// is left as it was.
std::vector<TLogicalPort *> BuildNetwork(TFormZentaroChild &window, const TSynthesisPlan &plan);
