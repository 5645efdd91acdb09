#include "Sysinfo.h"

#include "SysinfoPlatform.h"

namespace {

std::string CpuName(std::uint32_t type) {
    switch (type) {
    case 386:
        return "Intel 386";
    case 486:
        return "Intel 486";
    case 586:
        return "Intel Pentium";
    default:
        return {};
    }
}

std::string OperatingSystemName(const TSystemFacts &facts) {
    switch (facts.PlatformId) {
    case 0:
        return "Windows 3.1";
    case 1:
        return (facts.BuildNumber & 0xFFFF) == 1998 ? "Windows 98" : "Windows 95";
    case 2:
        return "Windows NT";
    case PlatformNotWindows:
        if (!facts.SystemName.empty()) return facts.SystemName;
        return "Windows";
    default:
        return "Windows";
    }
}

// Reads one value into target. False when the reading must stop, leaving target and everything
// not yet read as they are.
bool ReadRegistered(const TRegistryLookup &lookup, const std::string &key, const char *name,
                    std::string &target) {
    using TStatus = TRegisteredValue::TStatus;
    const TRegisteredValue value = lookup ? lookup(key, name) : TRegisteredValue{};
    switch (value.Status) {
    case TStatus::KeyMissing:
    case TStatus::ValueMissing:
        target.clear();
        return true;
    case TStatus::Unreadable:
        return false;
    case TStatus::Found:
        break;
    }
    if (value.Data.empty()) {
        target.clear();
        return true;
    }
    if (value.Type == TRegisteredValue::TType::Other) return false;
    target = value.Data.substr(0, value.Data.find('\0'));
    return true;
}

std::string Kilobytes(std::uint64_t bytes) {
    return std::to_string(bytes / 1024) + " KB";
}

} // namespace

TSystemDescription DescribeSystem(const TSystemFacts &facts) {
    TSystemDescription info;
    info.CPU = CpuName(facts.ProcessorType);
    info.OperatingSystem = OperatingSystemName(facts);
    info.WinVersion = std::to_string(facts.MajorVersion) + "." + std::to_string(facts.MinorVersion);
    info.Build = std::to_string(facts.BuildNumber & 0xFFFF);

    const std::string key = info.OperatingSystem == "Windows NT"
                                ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                                : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    if (ReadRegistered(facts.Registry, key, "RegisteredOrganization", info.Organisation))
        ReadRegistered(facts.Registry, key, "RegisteredOwner", info.Owner);

    info.TotalMemory = Kilobytes(facts.TotalPhysical);
    info.AvailMemory = Kilobytes(facts.AvailablePhysical);
    // A page file that reports more free than total is taken as unused.
    info.SwapMemory = Kilobytes(facts.TotalPageFile > facts.AvailablePageFile
                                    ? facts.TotalPageFile - facts.AvailablePageFile
                                    : 0);
    info.AvailSwapMemory = Kilobytes(facts.AvailablePageFile);

    if (facts.DriveCSize) info.DriveC = std::to_string(*facts.DriveCSize / 1024 / 1024) + " MB";

    if (const auto &v = facts.FileVersion)
        info.FileVersion = std::to_string(v->Most >> 16) + "." + std::to_string(v->Most & 0xFFFF) +
                           "." + std::to_string(v->Least >> 16) + "." +
                           std::to_string(v->Least & 0xFFFF);
    return info;
}

// ---- TSystemInformation

const TClassInfo &TSystemInformation::StaticClassInfo() {
    using S = TSystemInformation;
    static const TClassInfo info = TClassBuilder<S, TNonVisualComponent>("TSystemInformation")
                                       .String("Organisation", &S::Organisation, &S::Discard)
                                       .String("Owner", &S::RegisteredOwner, &S::Discard)
                                       .String("CPU", &S::CPU, &S::Discard)
                                       .String("OperatingSystem", &S::OperatingSystem, &S::Discard)
                                       .String("WinVersion", &S::WinVersion, &S::Discard)
                                       .String("Build", &S::Build, &S::Discard)
                                       .String("TotalMemory", &S::TotalMemory, &S::Discard)
                                       .String("AvailMemory", &S::AvailMemory, &S::Discard)
                                       .String("SwapMemory", &S::SwapMemory, &S::Discard)
                                       .String("AvailSwapMemory", &S::AvailSwapMemory, &S::Discard)
                                       .String("DriveC", &S::DriveC, &S::Discard)
                                       .String("FileVersion", &S::FileVersion, &S::Discard)
                                       .Build();
    return info;
}

TSystemInformation::TSystemInformation(TComponent *owner)
    : TNonVisualComponent(owner), FInfo(DescribeSystem(GatherSystemFacts())) {}
