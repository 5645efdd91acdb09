#include "PortLogic.h"

bool IsInverting(TLogicalPortType kind) {
    using enum TLogicalPortType;
    return kind == logNOT || kind == logNAND || kind == logNOR || kind == logNXOR;
}

bool IsOrFamily(TLogicalPortType kind) {
    using enum TLogicalPortType;
    return kind == logOR || kind == logNOR || kind == logXOR || kind == logNXOR;
}
