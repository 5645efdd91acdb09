#pragma once

// This machine's raw figures for TSystemInformation, in the form a Windows machine reports them.
// On Linux: the processor type Windows would give the build's target (8664 for x86-64, 586 for
// 32-bit x86, 0 for anything else), PlatformNotWindows with uname's system name and the kernel's
// release as version and build, no registry, memory from /proc/meminfo (SwapTotal and SwapFree
// for the page file), the root file system for drive C and the project's version with a fourth
// part of 0.

#include "Sysinfo.h"

TSystemFacts GatherSystemFacts();
