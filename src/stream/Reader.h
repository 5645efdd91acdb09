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

    // What pasting allows: the classes that may be created, and each pasted component's new name.
    struct TPasteRules {
        std::function<bool(const TClassInfo &)> Allowed;
        std::function<std::string()> NewName;
    };
    // Reads whole streams (signature and record) one after another up to the end, each a new
    // component of root on parent, of an allowed class, without nested components, under the
    // name rules.NewName gives it. A reference to a pasted component follows it to its new name;
    // one to another component of an allowed class reads as nil, so pasted gates keep only the
    // wires among themselves; others (a menu of the window) resolve as usual. On failure nothing
    // read stays. The new components are returned in stream order.
    std::vector<TComponent *> ReadPastedComponents(TComponent &root, TComponent &parent,
                                                   const TPasteRules &rules);

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
    TComponent *ResolveFixup(std::string_view name) const;

    TMemoryStream &FStream;
    std::function<bool(std::string_view)> FNameTaken;
    // While pasting: the rules, and the pasted components by their names in the stream (lower
    // case).
    const TPasteRules *FPaste = nullptr;
    std::unordered_map<std::string, TComponent *> FPasted;
    bool FFieldClassesOnly = false;
    TComponent *FRoot = nullptr;
    std::vector<TComponent *> FLoaded;
    std::vector<Fixup> FFixups;
    // The root's components by lower-case name, the first of a name winning, so that large
    // streams need no linear searches.
    std::unordered_map<std::string, TComponent *> FOwned;
};
