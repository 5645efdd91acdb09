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
