#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TMemoryStream;
class TComponent;
class TPersistent;
class TValueReader;
class TClassInfo;
struct TPropInfo;

// Reads a component stream into an existing root component: the root takes the stream's
// properties and a unique name, and every child record becomes a new component owned by the
// root. A bad record raises EReadError and takes its half-built component with it; components
// from earlier records stay with the root.
class TReader {
public:
    // nameTaken tells whether a root name is already used (by an open window); without it only
    // the root's own current name counts as taken.
    explicit TReader(TMemoryStream &stream, std::function<bool(std::string_view)> nameTaken = {});
    // Creates only classes of the root's declared parts, never others the registry knows.
    void RestrictClassesToFields() { FFieldClassesOnly = true; }
    void ReadRootComponent(TComponent &root);
    // Reads records as TWriter::WriteComponentRecord writes them, one after another, each into
    // the parent given for it, as new components of root. References are resolved by name among
    // all of root's components once every record is read, root's fields are bound again, and the
    // new components (nested ones included) are told they are loaded; they are returned.
    std::vector<TComponent *> ReadComponentRecords(TComponent &root,
                                                   const std::vector<TComponent *> &parents);

private:
    struct Fixup {
        TPersistent *Object;
        const TPropInfo *Property;
        std::string Name;
    };
    struct Prefix {
        int Flags = 0;
        int Position = -1;
    };

    void Begin(TComponent &root);
    // Resolves the references, binds the fields and tells the new components they are loaded.
    void Finish();
    Prefix ReadPrefix(TValueReader &values);
    std::string UniqueRootName(const std::string &name) const;
    const TClassInfo *FindClass(std::string_view name) const;
    void ReadComponent(TValueReader &values, TComponent &parent, int depth);
    void ReadProperties(TValueReader &values, TComponent &component);
    void ReadProperty(TValueReader &values, TComponent &component);
    void ReadValue(TValueReader &values, TPersistent &object, const TPropInfo &property);
    void BindFields();
    TComponent *FindOwned(std::string_view name) const;

    TMemoryStream &FStream;
    std::function<bool(std::string_view)> FNameTaken;
    bool FFieldClassesOnly = false;
    TComponent *FRoot = nullptr;
    std::vector<TComponent *> FLoaded;
    std::vector<Fixup> FFixups;
    // The root's components by lower-case name, the first of a name winning, so that large
    // streams need no linear searches.
    std::unordered_map<std::string, TComponent *> FOwned;
};
