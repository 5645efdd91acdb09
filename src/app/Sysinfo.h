#pragma once

// Machine and program facts (CPU, OS, memory, disk, version) as text properties, read once at
// construction. Formatting (DescribeSystem) is kept apart from the platform queries in
// SysinfoPlatform so that it can be tested with made-up figures.

#include "classlib/NonVisual.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What looking up one registered value found.
struct TRegisteredValue {
    enum class TStatus { KeyMissing, ValueMissing, Found, Unreadable };
    enum class TType { Text, ExpandableText, Other };
    TStatus Status = TStatus::KeyMissing;
    TType Type = TType::Text;
    std::string Data; // as stored, NULs and all
};
// Looks up the value name under key; an empty lookup stands for a machine without a registry.
using TRegistryLookup =
    std::function<TRegisteredValue(const std::string &key, const std::string &name)>;

// The platform identifier of a system that is not Windows, which then names itself through
// TSystemFacts::SystemName. Windows uses 0 to 3.
constexpr std::uint32_t PlatformNotWindows = 0x100;

// The two 32-bit words of a four-part version number, most significant first.
struct TVersionWords {
    std::uint32_t Most = 0;
    std::uint32_t Least = 0;
};

// The raw figures, in the units Windows reports them in.
struct TSystemFacts {
    std::uint32_t ProcessorType = 0;
    std::uint32_t PlatformId = 0;
    std::string SystemName; // read only with PlatformNotWindows
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    TRegistryLookup Registry;
    // Bytes; 64 bits, since 32 stop at 4 GiB.
    std::uint64_t TotalPhysical = 0;
    std::uint64_t AvailablePhysical = 0;
    std::uint64_t TotalPageFile = 0;
    std::uint64_t AvailablePageFile = 0;
    std::optional<std::uint64_t> DriveCSize; // bytes; none when it could not be read
    std::optional<TVersionWords> FileVersion;
};

struct TSystemDescription {
    std::string Organisation = "Failure";
    std::string Owner = "Failure";
    std::string CPU;
    std::string OperatingSystem;
    std::string WinVersion;
    std::string Build;
    std::string TotalMemory;
    std::string AvailMemory;
    std::string SwapMemory;
    std::string AvailSwapMemory;
    std::string DriveC;
    std::string FileVersion;
};

TSystemDescription DescribeSystem(const TSystemFacts &facts);

// The description of this machine as published read-only properties: values read from a stream
// are accepted and dropped, so a stored form never shows another machine's figures.
class TSystemInformation : public TNonVisualComponent {
public:
    explicit TSystemInformation(TComponent *owner);
    ZENTARO_CLASS_INFO()

    const std::string &Organisation() const { return FInfo.Organisation; }
    // Published as "Owner"; TComponent::Owner is the owning component.
    const std::string &RegisteredOwner() const { return FInfo.Owner; }
    const std::string &CPU() const { return FInfo.CPU; }
    const std::string &OperatingSystem() const { return FInfo.OperatingSystem; }
    const std::string &WinVersion() const { return FInfo.WinVersion; }
    const std::string &Build() const { return FInfo.Build; }
    const std::string &TotalMemory() const { return FInfo.TotalMemory; }
    const std::string &AvailMemory() const { return FInfo.AvailMemory; }
    const std::string &SwapMemory() const { return FInfo.SwapMemory; }
    const std::string &AvailSwapMemory() const { return FInfo.AvailSwapMemory; }
    const std::string &DriveC() const { return FInfo.DriveC; }
    const std::string &FileVersion() const { return FInfo.FileVersion; }

private:
    void Discard(const std::string &) {}

    TSystemDescription FInfo;
};
