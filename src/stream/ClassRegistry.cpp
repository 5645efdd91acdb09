#include "ClassRegistry.h"

#include "TypeInfo.h"
#include "Values.h"

#include <algorithm>
#include <vector>

namespace {

// Filled while the program starts, read afterwards; a handful of classes.
std::vector<const TClassInfo *> &Registry() {
    static std::vector<const TClassInfo *> classes;
    return classes;
}

} // namespace

void RegisterClass(const TClassInfo &info) {
    if (!FindRegisteredClass(info.Name())) Registry().push_back(&info);
}

const TClassInfo *FindRegisteredClass(std::string_view name) {
    const auto &classes = Registry();
    const auto it = std::find_if(classes.begin(), classes.end(), [name](const TClassInfo *info) {
        return SameText(info->Name(), name);
    });
    return it == classes.end() ? nullptr : *it;
}
