#pragma once

// A network file read straight into the headless model: the component stream is walked with the
// reader's own rules against the class tables, so that a file loads here exactly when the window
// would load it, and no component, widget or thread is made.

#include "Network.h"

#include <functional>
#include <string>
#include <string_view>

class TClassInfo;
class TMemoryStream;
struct TPropInfo;

struct TNetworkSchema {
    // The network window's class: its parts are the classes a file may hold, its methods the
    // handlers events may name.
    const TClassInfo *Window = nullptr;
    // The gate class: every record of it (or a descendant) becomes a port, in stream order.
    const TClassInfo *Gate = nullptr;
    // Which window names are in use, as the window's reader is told; none when empty.
    std::function<bool(std::string_view)> NameTaken;
    // Judges a byte property's value as its setter would, raising what the setter raises; a
    // class's byte properties (pictures) are refused unless this is given.
    std::function<void(const TClassInfo &, const TPropInfo &, const std::string &)> CheckBytes;
};

// Raises EStreamError, ECompressError or EReadError for every file the window's load refuses; the
// ports then have the kinds, delays, wires and names the window's gates would have, and the
// levels of a network just read.
TSimNetwork LoadSimNetwork(TMemoryStream &image, const TNetworkSchema &schema);
TSimNetwork LoadSimNetworkFile(const std::string &fileName, const TNetworkSchema &schema);
