#include "Writer.h"

#include "Component.h"
#include "Values.h"

#include <stdexcept>

namespace {

std::string_view SymbolOf(TIdentMap symbols, std::int64_t value) {
    for (const TIdentEntry &entry : symbols)
        if (entry.Value == value) return entry.Name;
    return {};
}

} // namespace

void TWriter::WriteRootComponent(TComponent &root) {
    FRoot = &root;
    TValueWriter(FStream).WriteBytes(StreamSignature.data(), StreamSignature.size());
    WriteComponent(root);
}

void TWriter::WriteComponentRecord(TComponent &component, TComponent &root) {
    FRoot = &root;
    WriteComponent(component);
}

void TWriter::WriteComponent(TComponent &component) {
    TValueWriter values(FStream);
    values.WriteShortString(component.ClassInfo().Name());
    values.WriteShortString(component.Name());
    WriteProperties(component, {});
    values.WriteListEnd();
    component.GetChildren([this](TComponent *child) { WriteComponent(*child); }, FRoot);
    values.WriteListEnd();
}

void TWriter::WriteProperties(TPersistent &object, const std::string &prefix) {
    const TClassInfo &info = object.ClassInfo();
    for (const TPropInfo &property : info.Properties())
        WriteProperty(object, property, prefix);
    for (const TPropInfo &property : info.ExtraProperties())
        WriteProperty(object, property, prefix);
}

void TWriter::WriteProperty(TPersistent &object, const TPropInfo &property,
                            const std::string &prefix) {
    // What a reader could not set again is not written.
    if (!property.Writable() || (property.Stored && !property.Stored(object))) return;
    TValueWriter values(FStream);
    const std::string name = prefix + property.Name;

    switch (property.Kind) {
    case TPropKind::Integer:
    case TPropKind::Boolean:
    case TPropKind::Enumeration:
    case TPropKind::Set: {
        const std::int64_t value = property.GetOrdinal(object);
        if (property.Default && *property.Default == value) return;
        values.WriteShortString(name);
        if (property.Kind == TPropKind::Boolean) {
            values.WriteBoolean(value != 0);
        } else if (property.Kind == TPropKind::Enumeration) {
            if (value < 0 || std::size_t(value) >= property.ElementNames.size())
                throw std::out_of_range("Enumeration value out of range: " + name);
            values.WriteIdent(property.ElementNames[std::size_t(value)]);
        } else if (property.Kind == TPropKind::Set) {
            values.WriteValueType(TValueType::vaSet);
            for (std::size_t bit = 0; bit < property.ElementNames.size() && bit < 64; ++bit)
                if (std::uint64_t(value) >> bit & 1)
                    values.WriteSetElement(property.ElementNames[bit]);
            values.WriteSetEnd();
        } else if (const std::string_view symbol = SymbolOf(property.Symbols, value);
                   !symbol.empty()) {
            values.WriteIdent(symbol);
        } else {
            values.WriteInteger(value);
        }
        return;
    }
    case TPropKind::String:
    case TPropKind::Bytes: {
        const std::string value = property.GetString(object);
        if (value.empty()) return;
        values.WriteShortString(name);
        if (property.Kind == TPropKind::String)
            values.WriteString(value);
        else
            values.WriteBinary(value);
        return;
    }
    case TPropKind::Component:
        if (const TComponent *target = property.GetComponent(object)) {
            values.WriteShortString(name);
            values.WriteIdent(target->Name());
        }
        return;
    case TPropKind::Event: {
        // Only handlers that the root can bind again by name are stored.
        const std::string handler = property.GetHandlerName(object);
        if (handler.empty() || !FRoot->ClassInfo().FindMethod(handler)) return;
        values.WriteShortString(name);
        values.WriteIdent(handler);
        return;
    }
    case TPropKind::Object:
        if (TPersistent *sub = property.GetObject(object)) WriteProperties(*sub, name + ".");
        return;
    }
}
