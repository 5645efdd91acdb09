#include "Recorder.h"

#include "Network.h"

std::uint32_t TLevelRecorder::AddSignal(const TSimNetwork &network, int port, TSignalLevel level) {
    if (FSignalOf.size() < network.Ports.size()) FSignalOf.resize(network.Ports.size(), {-1, -1, -1});
    static constexpr const char *Suffixes[] = {"", ".A", ".B"};
    const auto signal = std::uint32_t(FNames.size());
    FNames.push_back(network.Names[std::size_t(port)] + Suffixes[int(level)]);
    FSignalOf[std::size_t(port)][std::size_t(level)] = std::int32_t(signal);
    return signal;
}
