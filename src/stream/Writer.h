#pragma once

#include <string>

class TMemoryStream;
class TComponent;
class TPersistent;
struct TPropInfo;

// Writes a root component and everything the class library arranges under it as a component
// stream: the signature, then the root record with its children nested inside.
class TWriter {
public:
    explicit TWriter(TMemoryStream &stream) : FStream(stream) {}
    void WriteRootComponent(TComponent &root);
    // One component's record, its nested components included, exactly as it appears inside
    // root's record; no signature, so records can be kept apart and read back one by one.
    void WriteComponentRecord(TComponent &component, TComponent &root);

private:
    void WriteComponent(TComponent &component);
    void WriteProperties(TPersistent &object, const std::string &prefix);
    void WriteProperty(TPersistent &object, const TPropInfo &property, const std::string &prefix);

    TMemoryStream &FStream;
    TComponent *FRoot = nullptr;
};
