#pragma once

#include <string_view>

class TClassInfo;

// The program-wide list of classes a component stream may create by name, besides the classes
// of the root's own named parts.
void RegisterClass(const TClassInfo &info);
// The registered class of that name (without regard to case), or null.
const TClassInfo *FindRegisteredClass(std::string_view name);
