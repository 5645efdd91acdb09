#pragma once

#include "TypeInfo.h"

// The root of every class with a property table: components and the sub-objects they hold
// (fonts, bitmaps, scroll bars).
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual const TClassInfo &ClassInfo() const = 0;
};
