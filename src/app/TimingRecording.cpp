#include "TimingRecording.h"

#include "classlib/ExtCtrls.h"
#include "document/FChild.h"

#include <algorithm>
#include <unordered_map>

namespace {

bool RecordedAtFirst(TLogicalPortType kind) {
    switch (kind) {
    case TLogicalPortType::logLED:
    case TLogicalPortType::logCLK:
    case TLogicalPortType::logPLS:
    case TLogicalPortType::logFFD:
    case TLogicalPortType::logFFJK:
        return true;
    default:
        return false;
    }
}

} // namespace

TTimingSignal::TTimingSignal(TTimingRecording &recording, TLogicalPort &port)
    : FRecording(recording), FPort(&port), FName(port.Name()), FKind(port.PortType()) {
    // Watched even while not shown: the watch is how the signal hears that its gate goes.
    port.SetOutputWatch(this);
}

std::string TTimingSignal::Label() const {
    // The kind menu's words; the other kinds are named there as on the gate.
    const std::string_view label = FKind == TLogicalPortType::logCLK   ? "CLOCK"
                                   : FKind == TLogicalPortType::logPLS ? "PULSE"
                                   : FKind == TLogicalPortType::logLED ? "LED"
                                                                       : KindLabel(FKind);
    return FName + " (" + std::string(label) + ")";
}

TTimingSignal::~TTimingSignal() {
    if (FPort && FPort->OutputWatch() == this) FPort->SetOutputWatch(nullptr);
}

void TTimingSignal::OutputChanged(TLogicalPort &port) {
    if (FShown && FRecording.FRunning) FTrace.Add(FRecording.Now(), port.Output());
}

void TTimingSignal::PortGone(TLogicalPort &) {
    FPort = nullptr;
}

TTimingRecording::TTimingRecording(TFormZentaroChild &network) : FNetwork(network) {
    if (network.NetworkActive()) {
        // Opened on a running network: recorded from now, timed from its start.
        FRunning = true;
        FRunStart = network.RunStart();
    }
    Refresh();
}

TTimingRecording::~TTimingRecording() = default;

bool TTimingRecording::Refresh() {
    std::unordered_map<TLogicalPort *, std::unique_ptr<TTimingSignal>> kept;
    for (std::unique_ptr<TTimingSignal> &signal : FSignals)
        if (signal->FPort) kept.emplace(signal->FPort, std::move(signal));
    const std::size_t before = FSignals.size();
    bool changed = false;
    FSignals.clear();
    // The gates of the drawing area; one kept in an old file's sample panel is no part of it.
    for (TComponent *component : FNetwork.Components()) {
        auto *port = dynamic_cast<TLogicalPort *>(component);
        if (!port || !FNetwork.ScrollBoxCli || port->Parent() != FNetwork.ScrollBoxCli) continue;
        if (auto found = kept.find(port); found != kept.end()) {
            changed |=
                found->second->FName != port->Name() || found->second->FKind != port->PortType();
            found->second->FName = port->Name();
            found->second->FKind = port->PortType();
            FSignals.push_back(std::move(found->second));
            kept.erase(found);
        } else {
            FSignals.push_back(std::make_unique<TTimingSignal>(*this, *port));
            if (RecordedAtFirst(port->PortType())) SetShown(FSignals.size() - 1, true);
            changed = true;
        }
    }
    // Gates no longer on the area go with their traces; their watches are cleared as they go.
    return changed || !kept.empty() || FSignals.size() != before;
}

void TTimingRecording::SetShown(std::size_t index, bool shown) {
    if (index >= FSignals.size()) return;
    TTimingSignal &signal = *FSignals[index];
    if (signal.FShown == shown) return;
    signal.FShown = shown;
    if (shown && signal.FPort) StartTrace(signal, false);
}

std::size_t TTimingRecording::TraceCapacity() const {
    const auto shown = std::size_t(std::count_if(
        FSignals.begin(), FSignals.end(), [](const auto &signal) { return signal->FShown; }));
    return std::clamp(BudgetBytes / 8 / std::max<std::size_t>(shown, 1), FewestChanges,
                      TLevelTrace::DefaultCapacity);
}

void TTimingRecording::StartTrace(TTimingSignal &signal, bool atRunStart) {
    if (atRunStart || !signal.FPort)
        signal.FTrace.Start(0, 0, TraceCapacity());
    else
        signal.FTrace.Start(FRunning ? Now() : FStoppedAt, signal.FPort->Output(), TraceCapacity());
}

void TTimingRecording::NetworkRunChanged() {
    const bool running = FNetwork.NetworkActive();
    if (running) {
        FRunStart = FNetwork.RunStart();
        FRunning = true;
        for (const std::unique_ptr<TTimingSignal> &signal : FSignals)
            StartTrace(*signal, true);
    } else if (FRunning) {
        FStoppedAt = Now();
        FRunning = false;
    }
}

std::int64_t TTimingRecording::Now() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 FRunStart)
        .count();
}

std::int64_t TTimingRecording::End() const {
    return FRunning ? Now() : FStoppedAt;
}

std::vector<std::string> TTimingRecording::ShownNames() const {
    std::vector<std::string> names;
    for (const std::unique_ptr<TTimingSignal> &signal : FSignals)
        if (signal->FShown) names.push_back(signal->FName);
    return names;
}

std::vector<TLevelChange> TTimingRecording::ShownChanges() const {
    std::vector<TLevelChange> changes;
    std::uint32_t number = 0;
    for (const std::unique_ptr<TTimingSignal> &signal : FSignals) {
        if (!signal->FShown) continue;
        const TLevelTrace &trace = signal->FTrace;
        if (trace.StartLevel())
            changes.push_back({trace.StartTime() / 1000, number, trace.StartLevel()});
        for (std::size_t index = 0; index < trace.size(); ++index)
            changes.push_back({trace[index].Time / 1000, number, trace[index].Level});
        ++number;
    }
    // Stable: a signal's changes within one millisecond keep their order.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const TLevelChange &a, const TLevelChange &b) { return a.Time < b.Time; });
    return changes;
}

std::int64_t TTimingRecording::ShortestDelay() const {
    std::int64_t shortest = 0;
    for (const std::unique_ptr<TTimingSignal> &signal : FSignals)
        if (signal->FShown && signal->FPort) {
            const std::int64_t delay = std::max<std::int64_t>(signal->FPort->UpdateDelay(), 1);
            shortest = shortest ? std::min(shortest, delay) : delay;
        }
    return std::max<std::int64_t>(shortest, 1);
}
