#include "TypeInfo.h"

#include "Values.h"

#include <algorithm>

namespace {

template <typename List>
auto FindByName(const List &list, std::string_view name) -> decltype(&list.front()) {
    const auto it = std::find_if(list.begin(), list.end(),
                                 [name](const auto &item) { return SameText(item.Name, name); });
    return it == list.end() ? nullptr : &*it;
}

} // namespace

bool TClassInfo::InheritsFrom(const TClassInfo &other) const {
    for (const TClassInfo *info = this; info; info = info->FParent)
        if (info == &other) return true;
    return false;
}

void TClassInfo::AddProperty(TPropInfo property) {
    std::vector<TPropInfo> &list = property.Extra ? FExtraProperties : FProperties;
    const auto it = std::find_if(list.begin(), list.end(), [&](const TPropInfo &p) {
        return SameText(p.Name, property.Name);
    });
    if (it != list.end())
        *it = std::move(property);
    else
        list.push_back(std::move(property));
}

const TPropInfo *TClassInfo::FindProperty(std::string_view name) const {
    if (const TPropInfo *property = FindByName(FProperties, name)) return property;
    return FindByName(FExtraProperties, name);
}

const TMethodInfo *TClassInfo::FindMethod(std::string_view name) const {
    return FindByName(FMethods, name);
}

const TFieldInfo *TClassInfo::FindField(std::string_view name) const {
    return FindByName(FFields, name);
}

int IndexOfName(TEnumNames names, std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (SameText(names[i], name)) return int(i);
    return -1;
}
