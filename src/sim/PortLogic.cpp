#include "PortLogic.h"

namespace {

void StepJK(TPortLevels &l) {
    if (l.InA && !l.InB) {
        l.Output = l.JKMemory;
        l.JKLatch = 0;
    } else if (!l.InA && l.InB) {
        l.Output = !l.JKMemory;
        l.JKLatch = 0;
    } else if (l.InA && l.InB) {
        // Toggle once at the start of a run with both inputs high; hold for the rest of it.
        if (!l.JKLatch) {
            l.JKMemory = !l.JKMemory;
            l.JKLatch = 1;
        }
    } else {
        l.JKLatch = 0;
    }
}

} // namespace

TPortLevels ComputeLevels(TLogicalPortType kind, TPortLevels l) {
    const TLevel a = l.InA, b = l.InB;
    switch (kind) {
    case TLogicalPortType::logAND: l.Output = a & b; break;
    case TLogicalPortType::logOR: l.Output = a | b; break;
    case TLogicalPortType::logNOT: l.Output = !a; break;
    case TLogicalPortType::logXOR: l.Output = a ^ b; break;
    case TLogicalPortType::logNAND: l.Output = !(a & b); break;
    case TLogicalPortType::logNOR: l.Output = !(a | b); break;
    case TLogicalPortType::logNXOR: l.Output = !(a ^ b); break;
    case TLogicalPortType::logCLK: l.Output = a ? TLevel(!l.Output) : b; break;
    case TLogicalPortType::logPLS: break;
    case TLogicalPortType::logLED: l.Output = a; break;
    case TLogicalPortType::logFFD:
        if (b) l.Output = a;
        break;
    case TLogicalPortType::logFFJK: StepJK(l); break;
    }
    return l;
}

bool IsInverting(TLogicalPortType kind) {
    using enum TLogicalPortType;
    return kind == logNOT || kind == logNAND || kind == logNOR || kind == logNXOR;
}

bool IsOrFamily(TLogicalPortType kind) {
    using enum TLogicalPortType;
    return kind == logOR || kind == logNOR || kind == logXOR || kind == logNXOR;
}
