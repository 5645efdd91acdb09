#pragma once

// What a timing diagram records of a running network window: for each gate chosen, every change
// of its output with the time since the network started running, in microseconds. Gates tell
// their changes through their output watch, on the GUI thread as they are evaluated, so a change
// costs a clock reading and a store into a ring of fixed size.

#include "gates/LogicCmp.h"
#include "sim/LevelTrace.h"
#include "sim/Recorder.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TFormZentaroChild;
class TTimingRecording;

// A gate of the list. It watches its gate from the start, shown or not, and forgets it when told
// the gate goes; it never touches a gate after that.
class TTimingSignal final : public TOutputWatch {
public:
    TTimingSignal(TTimingRecording &recording, TLogicalPort &port);
    ~TTimingSignal();
    TTimingSignal(const TTimingSignal &) = delete;
    TTimingSignal &operator=(const TTimingSignal &) = delete;

    // Null once the gate is gone; its trace stays until the list is refreshed.
    TLogicalPort *Port() const { return FPort; }
    const std::string &Name() const { return FName; }
    // The name with the gate's kind, as the diagram shows it: "LogPort2 (CLOCK)".
    std::string Label() const;
    const TLevelTrace &Trace() const { return FTrace; }
    bool Shown() const { return FShown; }

    void OutputChanged(TLogicalPort &port) override;
    void PortGone(TLogicalPort &port) override;

private:
    friend class TTimingRecording;
    TTimingRecording &FRecording;
    TLogicalPort *FPort;
    std::string FName;
    TLogicalPortType FKind;
    TLevelTrace FTrace;
    bool FShown = false;
};

class TTimingRecording {
public:
    // All traces together keep at most BudgetBytes of changes (8 bytes each), each trace at
    // least FewestChanges of them and at most TLevelTrace::DefaultCapacity.
    static constexpr std::size_t BudgetBytes = std::size_t(64) << 20, FewestChanges = 1024;

    // Lists the window's gates.
    explicit TTimingRecording(TFormZentaroChild &network);
    ~TTimingRecording();
    TTimingRecording(const TTimingRecording &) = delete;
    TTimingRecording &operator=(const TTimingRecording &) = delete;

    // The window's gates in its order, with what was recorded of each.
    const std::vector<std::unique_ptr<TTimingSignal>> &Signals() const { return FSignals; }
    // Takes in gates added since and drops those gone, keeping the others' traces and choices.
    // The outputs of new lamps, clocks, pulse switches and flip-flops are recorded at first.
    // Returns whether the list changed.
    bool Refresh();
    // Starts or stops recording a signal; one started while the network runs is known from now.
    void SetShown(std::size_t index, bool shown);

    // Follows the network: a start forgets everything recorded and begins from the reset
    // levels, a stop keeps what was recorded up to then.
    void NetworkRunChanged();
    bool Running() const { return FRunning; }
    // The changes a trace keeps, from the number of traces shown when it started.
    std::size_t TraceCapacity() const;
    // Microseconds since the network started running; after it stopped, the time it stopped.
    std::int64_t End() const;

    // The signals shown, with their changes in milliseconds, in time order, as the waveform
    // writers take them. A signal known only from some time on reads as its known level from
    // then, and as low before.
    std::vector<std::string> ShownNames() const;
    std::vector<TLevelChange> ShownChanges() const;
    // The shortest update delay of the gates shown, in milliseconds (at least 1).
    std::int64_t ShortestDelay() const;

private:
    friend class TTimingSignal;
    std::int64_t Now() const;
    // Starts a trace from the gate's level now (or from all low when the run just started).
    void StartTrace(TTimingSignal &signal, bool atRunStart);

    TFormZentaroChild &FNetwork;
    std::vector<std::unique_ptr<TTimingSignal>> FSignals;
    bool FRunning = false;
    std::chrono::steady_clock::time_point FRunStart;
    std::int64_t FStoppedAt = 0;
};
