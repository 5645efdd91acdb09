#include "SysinfoPlatform.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>

namespace {

// Windows' codes for the processors it runs on.
constexpr std::uint32_t ProcessorPentium = 586;
constexpr std::uint32_t ProcessorAmd64 = 8664;

constexpr std::uint32_t TargetProcessor() {
#if defined(__x86_64__)
    return ProcessorAmd64;
#elif defined(__i386__)
    // Every 32-bit x86 still running is Pentium class.
    return ProcessorPentium;
#else
    return 0;
#endif
}

// The figures of /proc/meminfo that the description needs, in bytes; a missing line gives 0.
struct TMemInfo {
    std::uint64_t Total = 0, Available = 0, Free = 0, SwapTotal = 0, SwapFree = 0;
    bool HasAvailable = false;
};

TMemInfo ReadMemInfo() {
    TMemInfo info;
    std::ifstream file("/proc/meminfo");
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t kilobytes = 0;
        if (!(fields >> name >> kilobytes)) continue;
        const std::uint64_t bytes = kilobytes * 1024;
        if (name == "MemTotal:")
            info.Total = bytes;
        else if (name == "MemFree:")
            info.Free = bytes;
        else if (name == "MemAvailable:") {
            info.Available = bytes;
            info.HasAvailable = true;
        } else if (name == "SwapTotal:")
            info.SwapTotal = bytes;
        else if (name == "SwapFree:")
            info.SwapFree = bytes;
    }
    // Kernels before 3.14 have no estimate of what is available; free is the nearest.
    if (!info.HasAvailable) info.Available = info.Free;
    return info;
}

} // namespace

TSystemFacts GatherSystemFacts() {
    TSystemFacts facts;
    facts.ProcessorType = TargetProcessor();

    facts.PlatformId = PlatformNotWindows;
    if (utsname names; uname(&names) == 0) {
        facts.SystemName = names.sysname;
        // "6.1.0-18-amd64": the kernel's major and minor version, and its patch level as build.
        unsigned major = 0, minor = 0, patch = 0;
        std::sscanf(names.release, "%u.%u.%u", &major, &minor, &patch);
        facts.MajorVersion = major;
        facts.MinorVersion = minor;
        facts.BuildNumber = patch;
    }

    // No registry: every lookup finds no key.
    facts.Registry = [](const std::string &, const std::string &) { return TRegisteredValue{}; };

    const TMemInfo memory = ReadMemInfo();
    facts.TotalPhysical = memory.Total;
    facts.AvailablePhysical = memory.Available;
    facts.TotalPageFile = memory.SwapTotal;
    facts.AvailablePageFile = memory.SwapFree;

    if (struct statvfs root; statvfs("/", &root) == 0)
        facts.DriveCSize = std::uint64_t(root.f_blocks) * root.f_frsize;

    const std::uint32_t major = ZENTARO_VERSION_MAJOR, minor = ZENTARO_VERSION_MINOR,
                        patch = ZENTARO_VERSION_PATCH;
    facts.FileVersion = TVersionWords{(major << 16) | (minor & 0xFFFF), patch << 16};
    return facts;
}
