#include "NetworkLoad.h"

#include "Util.h"
#include "stream/Errors.h"
#include "stream/MemoryStream.h"
#include "stream/TypeInfo.h"
#include "stream/Values.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Mirrors TReader::ReadRootComponent for a root of the window's class whose components are all
// read from the stream, keeping of each component only its class and, for gates, its port.
class TNetworkWalk {
public:
    TNetworkWalk(TValueReader &values, const TNetworkSchema &schema)
        : FValues(values), FSchema(schema), FPortType(schema.Gate->FindProperty("PortType")),
          FDelay(schema.Gate->FindProperty("UpdateDelay")),
          FInA(schema.Gate->FindProperty("InAComp")), FInB(schema.Gate->FindProperty("InBComp")) {}

    TSimNetwork Read() {
        FValues.ReadSignature();
        ReadPrefix();
        FValues.ReadShortString();
        FNetwork.Name = UniqueRootName(FValues.ReadShortString());
        ReadProperties(*FSchema.Window, -1);
        while (FValues.PeekByte() != 0)
            ReadComponent(1);
        FValues.ReadByte();
        Finish();
        return std::move(FNetwork);
    }

private:
    struct Record {
        const TClassInfo *Class;
        int Port;
    };
    struct Fixup {
        int Port;
        bool InB;
        std::string Name;
    };

    int ReadPrefix() {
        if ((FValues.PeekByte() & 0xF0) != 0xF0) return 0;
        const int flags = FValues.ReadByte() & 0x0F;
        if (flags & ffChildPos) {
            const TValueType type = FValues.ReadValueType();
            if (!IsIntegerTag(type)) FValues.Fail("Child position expected");
            FValues.ReadIntegerPayload(type);
        }
        return flags;
    }

    std::string UniqueRootName(const std::string &name) const {
        const auto taken = [this](std::string_view candidate) {
            return FSchema.NameTaken && FSchema.NameTaken(candidate);
        };
        if (!taken(name)) return name;
        for (int counter = 1;; ++counter) {
            std::string candidate = name + "_" + std::to_string(counter);
            if (!taken(candidate)) return candidate;
        }
    }

    const TClassInfo *FindClass(std::string_view name) const {
        for (const TFieldInfo &field : FSchema.Window->Fields())
            if (SameText(field.FieldClass->Name(), name)) return field.FieldClass;
        return nullptr;
    }

    int FindOwned(std::string_view name) const {
        const auto it = FOwned.find(LowerCase(name));
        return it == FOwned.end() ? -1 : it->second;
    }

    void ReadComponent(int depth) {
        if (depth > MaxNestingDepth) FValues.Fail("Components nested too deeply");
        const int flags = ReadPrefix();
        const std::string className = FValues.ReadShortString();
        const std::string name = FValues.ReadShortString();
        int record;
        if (flags & ffInherited) {
            record = FindOwned(name);
            if (record < 0) FValues.Fail("Inherited component " + name + " not found");
        } else {
            const TClassInfo *info = FindClass(className);
            if (!info || !info->Creatable()) FValues.Fail("Class " + className + " not found");
            if (FindOwned(name) >= 0) FValues.Fail("A component named " + name + " already exists");
            record = int(FRecords.size());
            int port = -1;
            if (info->InheritsFrom(*FSchema.Gate)) {
                port = int(FNetwork.Ports.size());
                FNetwork.Ports.emplace_back();
                FNetwork.Names.push_back(name);
            }
            FRecords.push_back({info, port});
            if (!name.empty()) FOwned.emplace(LowerCase(name), record);
        }
        ReadProperties(*FRecords[std::size_t(record)].Class, FRecords[std::size_t(record)].Port);
        while (FValues.PeekByte() != 0)
            ReadComponent(depth + 1);
        FValues.ReadByte();
    }

    void ReadProperties(const TClassInfo &info, int port) {
        while (FValues.PeekByte() != 0)
            ReadProperty(info, port);
        FValues.ReadByte();
    }

    void ReadProperty(const TClassInfo &info, int port) {
        const std::string path = FValues.ReadShortString();
        const TClassInfo *object = &info;
        std::string_view rest = path;
        bool nested = false;
        for (std::size_t dot; (dot = rest.find('.')) != std::string_view::npos;
             rest.remove_prefix(dot + 1)) {
            const TPropInfo *holder = object->FindProperty(rest.substr(0, dot));
            if (!holder || holder->Kind != TPropKind::Object || !holder->GetObject ||
                !holder->ObjectClass)
                FValues.Fail("Property " + path + " does not exist");
            object = holder->ObjectClass();
            nested = true;
        }
        const TPropInfo *property = object->FindProperty(rest);
        if (!property || property->Kind == TPropKind::Object)
            FValues.Fail("Property " + path + " does not exist");
        if (!property->Writable()) FValues.Fail("Property " + path + " is read-only");
        ReadValue(*object, *property, nested ? -1 : port);
    }

    void ReadValue(const TClassInfo &info, const TPropInfo &property, int port) {
        const std::int64_t start = FValues.Position();
        const TValueType type = FValues.ReadValueType();
        const auto invalid = [&]() {
            throw EReadError("Invalid value for property " + property.Name, start);
        };
        TSimPort *gate = port >= 0 ? &FNetwork.Ports[std::size_t(port)] : nullptr;
        std::string ident;
        std::int64_t ordinal = 0;

        switch (property.Kind) {
        case TPropKind::Integer:
            if (IsIntegerTag(type)) {
                ordinal = FValues.ReadIntegerPayload(type);
            } else if (!property.Symbols.empty() && ReadIdent(FValues, type, ident)) {
                const auto found = std::find_if(
                    property.Symbols.begin(), property.Symbols.end(),
                    [&ident](const TIdentEntry &entry) { return SameText(entry.Name, ident); });
                if (found == property.Symbols.end()) invalid();
                ordinal = found->Value;
            } else {
                invalid();
            }
            if (gate && &property == FDelay) gate->Delay = std::int32_t(ordinal);
            return;
        case TPropKind::Boolean:
            if (!ReadIdent(FValues, type, ident)) invalid();
            if (!SameText(ident, "False") && !SameText(ident, "True")) invalid();
            return;
        case TPropKind::Enumeration:
            if (!ReadIdent(FValues, type, ident)) invalid();
            ordinal = IndexOfName(property.ElementNames, ident);
            if (ordinal < 0) invalid();
            if (gate && &property == FPortType) gate->Kind = TLogicalPortType(ordinal);
            return;
        case TPropKind::Set:
            if (type != TValueType::vaSet) invalid();
            for (std::string element; !(element = FValues.ReadShortString()).empty();) {
                const int index = IndexOfName(property.ElementNames, element);
                if (index < 0 || index >= 64) invalid();
            }
            return;
        case TPropKind::String:
            if (type != TValueType::vaString && type != TValueType::vaLString) invalid();
            FValues.ReadStringPayload(type);
            return;
        case TPropKind::Bytes: {
            if (type != TValueType::vaBinary) invalid();
            const std::string bytes = FValues.ReadBinaryPayload();
            if (!FSchema.CheckBytes)
                FValues.Fail("Property " + property.Name + " is not read here");
            FSchema.CheckBytes(info, property, bytes);
            return;
        }
        case TPropKind::Component:
            // As the reader: nil clears at once, names are resolved once all is read.
            if (type == TValueType::vaNil) {
            } else if (ReadIdent(FValues, type, ident)) {
                if (gate && (&property == FInA || &property == FInB))
                    FFixups.push_back({port, &property == FInB, ident});
            } else {
                invalid();
            }
            return;
        case TPropKind::Event: {
            if (type == TValueType::vaNil) return;
            if (!ReadIdent(FValues, type, ident)) invalid();
            const TMethodInfo *method = FSchema.Window->FindMethod(ident);
            if (!method) throw EReadError("Method " + ident + " not found", start);
            if (!method->Signature || !property.EventSignature ||
                *method->Signature != *property.EventSignature)
                throw EReadError("Method " + ident + " does not fit event " + property.Name, start);
            return;
        }
        case TPropKind::Object:
            invalid();
        }
    }

    void Finish() {
        // The last name given wins over any nil, as the reader resolves names after the nils.
        for (const Fixup &fixup : FFixups) {
            const int record = FindOwned(fixup.Name);
            const int target = record < 0 ? -1 : FRecords[std::size_t(record)].Port;
            TSimPort &port = FNetwork.Ports[std::size_t(fixup.Port)];
            (fixup.InB ? port.InB : port.InA) = target;
        }
        for (const TFieldInfo &field : FSchema.Window->Fields()) {
            const int record = FindOwned(field.Name);
            if (record >= 0 &&
                !FRecords[std::size_t(record)].Class->InheritsFrom(*field.FieldClass))
                throw EReadError("Component " + field.Name + " is not of class " +
                                 std::string(field.FieldClass->Name()));
        }
    }

    TValueReader &FValues;
    const TNetworkSchema &FSchema;
    const TPropInfo *FPortType, *FDelay, *FInA, *FInB;
    TSimNetwork FNetwork;
    std::vector<Record> FRecords;
    std::unordered_map<std::string, int> FOwned;
    std::vector<Fixup> FFixups;
};

} // namespace

TSimNetwork LoadSimNetwork(TMemoryStream &image, const TNetworkSchema &schema) {
    std::string damage;
    TMemoryStream stream = NetworkFileStream(image, damage);
    try {
        TValueReader values(stream);
        return TNetworkWalk(values, schema).Read();
    } catch (const EReadError &error) {
        if (damage.empty()) throw;
        throw EReadError(std::string(error.what()) + "; " + damage, error.Offset);
    }
}

TSimNetwork LoadSimNetworkFile(const std::string &fileName, const TNetworkSchema &schema) {
    TMemoryStream image = LoadNetworkFileImage(fileName);
    return LoadSimNetwork(image, schema);
}
