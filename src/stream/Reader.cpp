#include "Reader.h"

#include "ClassRegistry.h"
#include "Component.h"
#include "Errors.h"
#include "Values.h"

#include <memory>

TReader::TReader(TMemoryStream &stream, std::function<bool(std::string_view)> nameTaken)
    : FStream(stream), FNameTaken(std::move(nameTaken)) {}

TReader::Prefix TReader::ReadPrefix(TValueReader &values) {
    Prefix prefix;
    if ((values.PeekByte() & 0xF0) != 0xF0) return prefix;
    prefix.Flags = values.ReadByte() & 0x0F;
    if (prefix.Flags & ffChildPos) {
        const TValueType type = values.ReadValueType();
        if (!IsIntegerTag(type)) values.Fail("Child position expected");
        prefix.Position = int(values.ReadIntegerPayload(type));
    }
    return prefix;
}

std::string TReader::UniqueRootName(const std::string &name) const {
    auto taken = [&](std::string_view candidate) {
        return FNameTaken ? FNameTaken(candidate) : SameText(candidate, FRoot->Name());
    };
    if (!taken(name)) return name;
    for (int counter = 1;; ++counter) {
        std::string candidate = name + "_" + std::to_string(counter);
        if (!taken(candidate)) return candidate;
    }
}

const TClassInfo *TReader::FindClass(std::string_view name) const {
    for (const TFieldInfo &field : FRoot->ClassInfo().Fields())
        if (SameText(field.FieldClass->Name(), name)) return field.FieldClass;
    return FFieldClassesOnly ? nullptr : FindRegisteredClass(name);
}

void TReader::Begin(TComponent &root) {
    FRoot = &root;
    FLoaded.clear();
    FFixups.clear();
    FOwned.clear();
    for (TComponent *component : root.Components())
        if (!component->Name().empty()) FOwned.emplace(LowerCase(component->Name()), component);
}

void TReader::Finish() {
    for (const Fixup &fixup : FFixups)
        fixup.Property->SetComponent(*fixup.Object, ResolveFixup(fixup.Name));
    BindFields();
}

TComponent *TReader::ResolveFixup(std::string_view name) const {
    if (!FPaste) return FindOwned(name);
    if (const auto it = FPasted.find(LowerCase(name)); it != FPasted.end()) return it->second;
    TComponent *target = FindOwned(name);
    return target && FPaste->Allowed(target->ClassInfo()) ? nullptr : target;
}

void TReader::ReadRootComponent(TComponent &root) {
    Begin(root);
    root.SetLoading(true);
    try {
        TValueReader values(FStream);
        values.ReadSignature();
        ReadPrefix(values);
        values.ReadShortString(); // the root's class name is not consulted
        root.SetName(UniqueRootName(values.ReadShortString()));
        ReadProperties(values, root);
        while (values.PeekByte() != 0)
            ReadComponent(values, root, 1);
        values.ReadByte();
        Finish();
    } catch (...) {
        root.SetLoading(false);
        for (TComponent *component : root.Components())
            component->SetLoading(false);
        throw;
    }
    root.Loaded();
    for (TComponent *component : FLoaded)
        component->Loaded();
}

std::vector<TComponent *> TReader::ReadComponentRecords(TComponent &root,
                                                        const std::vector<TComponent *> &parents) {
    Begin(root);
    try {
        TValueReader values(FStream);
        for (TComponent *parent : parents)
            ReadComponent(values, *parent, 1);
        Finish();
    } catch (...) {
        for (TComponent *component : FLoaded)
            component->SetLoading(false);
        throw;
    }
    for (TComponent *component : FLoaded)
        component->Loaded();
    return FLoaded;
}

std::vector<TComponent *> TReader::ReadPastedComponents(TComponent &root, TComponent &parent,
                                                        const TPasteRules &rules) {
    Begin(root);
    FPaste = &rules;
    FPasted.clear();
    try {
        TValueReader values(FStream);
        while (!values.AtEnd()) {
            values.ReadSignature();
            ReadComponent(values, parent, 1);
        }
        Finish();
    } catch (...) {
        FPaste = nullptr;
        for (auto it = FLoaded.rbegin(); it != FLoaded.rend(); ++it)
            TComponent::Free(*it);
        FLoaded.clear();
        throw;
    }
    FPaste = nullptr;
    for (TComponent *component : FLoaded)
        component->Loaded();
    return FLoaded;
}

TComponent *TReader::FindOwned(std::string_view name) const {
    const auto it = FOwned.find(LowerCase(name));
    return it == FOwned.end() ? nullptr : it->second;
}

void TReader::BindFields() {
    for (const TFieldInfo &field : FRoot->ClassInfo().Fields()) {
        TComponent *component = FindOwned(field.Name);
        if (component && !field.Set(*FRoot, component))
            throw EReadError("Component " + field.Name + " is not of class " +
                             std::string(field.FieldClass->Name()));
    }
}

void TReader::ReadComponent(TValueReader &values, TComponent &parent, int depth) {
    if (depth > MaxNestingDepth) values.Fail("Components nested too deeply");
    const Prefix prefix = ReadPrefix(values);
    const std::string className = values.ReadShortString();
    const std::string name = values.ReadShortString();

    TComponent *component;
    std::unique_ptr<TComponent> created;
    if (FPaste) {
        // Pasted records stand alone: nothing of them may point into what is already there.
        if (depth > 1) values.Fail("A pasted component cannot hold others");
        if (prefix.Flags) values.Fail("A pasted component cannot carry a prefix");
        const TClassInfo *info = FindRegisteredClass(className);
        if (!info || !info->Creatable() || !FPaste->Allowed(*info))
            values.Fail("Class " + className + " cannot be pasted");
        if (!FPasted.emplace(LowerCase(name), nullptr).second)
            values.Fail("A component named " + name + " appears twice");
        created.reset(info->Create(FRoot));
        component = created.get();
        const std::string newName = FPaste->NewName();
        FOwned.emplace(LowerCase(newName), component);
        FPasted[LowerCase(name)] = component;
        component->SetLoading(true);
        component->SetName(newName);
        component->SetParentComponent(&parent);
    } else if (prefix.Flags & ffInherited) {
        component = FindOwned(name);
        if (!component) values.Fail("Inherited component " + name + " not found");
    } else {
        const TClassInfo *info = FindClass(className);
        if (!info || !info->Creatable()) values.Fail("Class " + className + " not found");
        if (FindOwned(name)) values.Fail("A component named " + name + " already exists");
        created.reset(info->Create(FRoot));
        component = created.get();
        if (!name.empty()) FOwned.emplace(LowerCase(name), component);
        component->SetLoading(true);
        component->SetName(name);
        component->SetParentComponent(&parent);
    }
    component->SetLoading(true);
    ReadProperties(values, *component);
    while (values.PeekByte() != 0)
        ReadComponent(values, *component, depth + 1);
    values.ReadByte();
    if (prefix.Flags & ffChildPos) parent.SetChildOrder(component, prefix.Position);
    created.release();
    FLoaded.push_back(component);
}

void TReader::ReadProperties(TValueReader &values, TComponent &component) {
    while (values.PeekByte() != 0)
        ReadProperty(values, component);
    values.ReadByte();
}

void TReader::ReadProperty(TValueReader &values, TComponent &component) {
    const std::string path = values.ReadShortString();
    TPersistent *object = &component;
    std::string_view rest = path;
    // A dotted name walks through sub-objects.
    for (std::size_t dot; (dot = rest.find('.')) != std::string_view::npos;
         rest.remove_prefix(dot + 1)) {
        const TPropInfo *holder = object->ClassInfo().FindProperty(rest.substr(0, dot));
        if (!holder || holder->Kind != TPropKind::Object || !(object = holder->GetObject(*object)))
            values.Fail("Property " + path + " does not exist");
    }
    const TPropInfo *property = object->ClassInfo().FindProperty(rest);
    if (!property || property->Kind == TPropKind::Object)
        values.Fail("Property " + path + " does not exist");
    if (!property->Writable()) values.Fail("Property " + path + " is read-only");
    ReadValue(values, *object, *property);
}

void TReader::ReadValue(TValueReader &values, TPersistent &object, const TPropInfo &property) {
    const std::int64_t start = values.Position();
    const TValueType type = values.ReadValueType();
    auto invalid = [&]() {
        throw EReadError("Invalid value for property " + property.Name, start);
    };
    std::string ident;

    switch (property.Kind) {
    case TPropKind::Integer:
        if (IsIntegerTag(type)) {
            property.SetOrdinal(object, values.ReadIntegerPayload(type));
        } else if (!property.Symbols.empty() && ReadIdent(values, type, ident)) {
            for (const TIdentEntry &entry : property.Symbols)
                if (SameText(entry.Name, ident)) return property.SetOrdinal(object, entry.Value);
            invalid();
        } else {
            invalid();
        }
        return;
    case TPropKind::Boolean:
        if (!ReadIdent(values, type, ident)) invalid();
        if (SameText(ident, "False"))
            property.SetOrdinal(object, 0);
        else if (SameText(ident, "True"))
            property.SetOrdinal(object, 1);
        else
            invalid();
        return;
    case TPropKind::Enumeration: {
        if (!ReadIdent(values, type, ident)) invalid();
        const int ordinal = IndexOfName(property.ElementNames, ident);
        if (ordinal < 0) invalid();
        property.SetOrdinal(object, ordinal);
        return;
    }
    case TPropKind::Set: {
        if (type != TValueType::vaSet) invalid();
        std::uint64_t mask = 0;
        for (std::string element; !(element = values.ReadShortString()).empty();) {
            const int ordinal = IndexOfName(property.ElementNames, element);
            if (ordinal < 0 || ordinal >= 64) invalid();
            mask |= std::uint64_t(1) << ordinal;
        }
        property.SetOrdinal(object, std::int64_t(mask));
        return;
    }
    case TPropKind::String:
        if (type != TValueType::vaString && type != TValueType::vaLString) invalid();
        property.SetString(object, values.ReadStringPayload(type));
        return;
    case TPropKind::Bytes:
        if (type != TValueType::vaBinary) invalid();
        property.SetString(object, values.ReadBinaryPayload());
        return;
    case TPropKind::Component:
        // Resolved by name once the whole stream is read: the target may come later.
        if (type == TValueType::vaNil)
            property.SetComponent(object, nullptr);
        else if (ReadIdent(values, type, ident))
            FFixups.push_back({&object, &property, ident});
        else
            invalid();
        return;
    case TPropKind::Event: {
        if (type == TValueType::vaNil) {
            property.SetHandler(object, nullptr, *FRoot);
            return;
        }
        if (!ReadIdent(values, type, ident)) invalid();
        const TMethodInfo *method = FRoot->ClassInfo().FindMethod(ident);
        if (!method) throw EReadError("Method " + ident + " not found", start);
        if (!property.SetHandler(object, method, *FRoot))
            throw EReadError("Method " + ident + " does not fit event " + property.Name, start);
        return;
    }
    case TPropKind::Object:
        invalid();
    }
}
