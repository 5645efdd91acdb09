#pragma once

// Property tables: every streamable class describes its published properties once, ancestors
// first, with kind, declared default, stored-condition, getter and setter. The writer and the
// reader of component streams work only from these tables, never from concrete classes.
//
// A table is built with TClassBuilder, one line per property:
//
//   const TClassInfo &TGate::StaticClassInfo() {
//       static const TClassInfo info = TClassBuilder<TGate, TComponent>("TGate")
//           .Integer("Left", &TGate::Left, &TGate::SetLeft)
//           .Enumeration("Kind", KindNames, &TGate::Kind, &TGate::SetKind).Default(0)
//           .Reference("Source", &TGate::Source, &TGate::SetSource)
//           .Event("OnChange", &TGate::OnChange)
//           .Build();
//       return info;
//   }

#include "Event.h"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

class TPersistent;
class TComponent;

enum class TPropKind {
    Integer,
    Boolean,
    Enumeration,
    Set,
    String,
    Component,
    Event,
    Object,
    Bytes
};

// A symbolic name of an integer value (colours, cursors, character sets).
struct TIdentEntry {
    std::int64_t Value;
    std::string_view Name;
};
using TIdentMap = std::span<const TIdentEntry>;
// Element names of an enumeration or set, indexed by ordinal.
using TEnumNames = std::span<const std::string_view>;
// The index of name among names, compared in any case; -1 when it is none of them.
int IndexOfName(TEnumNames names, std::string_view name);

// A method of a root class that event properties can be bound to by name. Bind returns the
// method bound to the given root as a std::function of the method's own signature (in std::any),
// so that an event of another signature refuses it.
struct TMethodInfo {
    std::string Name;
    std::function<std::any(TPersistent &root)> Bind;
    // The type Bind holds, so that a fit can be judged without a root.
    const std::type_info *Signature = nullptr;
};

// A named part of a root class (a pointer member), bound to the component of the same name.
struct TFieldInfo {
    std::string Name;
    const class TClassInfo *FieldClass;
    std::function<TComponent *(const TPersistent &root)> Get;
    // False when the component is not of the field's class.
    std::function<bool(TPersistent &root, TComponent *component)> Set;
};

struct TPropInfo {
    std::string Name;
    TPropKind Kind = TPropKind::Integer;
    TEnumNames ElementNames;             // Enumeration, Set
    TIdentMap Symbols;                   // Integer
    std::optional<std::int64_t> Default; // Integer, Boolean, Enumeration, Set (bit mask)
    std::function<bool(const TPersistent &)> Stored; // empty: always a candidate for writing
    bool Extra = false;                              // written after all published properties

    // Accessors; the ones of the property's kind are set, a missing setter means read-only.
    std::function<std::int64_t(const TPersistent &)> GetOrdinal; // Integer .. Set
    std::function<void(TPersistent &, std::int64_t)> SetOrdinal;
    std::function<std::string(const TPersistent &)> GetString; // String, Bytes
    std::function<void(TPersistent &, const std::string &)> SetString;
    std::function<TComponent *(const TPersistent &)> GetComponent; // Component
    std::function<void(TPersistent &, TComponent *)> SetComponent;
    std::function<TPersistent *(TPersistent &)> GetObject; // Object
    // The class GetObject's result is declared with, for reading a stream without instances.
    const class TClassInfo *(*ObjectClass)() = nullptr; // Object
    // The handler type an event takes: it fits exactly the methods of that signature.
    const std::type_info *EventSignature = nullptr;                 // Event
    std::function<std::string(const TPersistent &)> GetHandlerName; // Event
    // Binds the event to a root's method, or clears it when method is null. Returns false when
    // the method's signature does not fit the event.
    std::function<bool(TPersistent &, const TMethodInfo *method, TPersistent &root)> SetHandler;

    bool Writable() const {
        switch (Kind) {
        case TPropKind::String:
        case TPropKind::Bytes:
            return bool(SetString);
        case TPropKind::Component:
            return bool(SetComponent);
        case TPropKind::Event:
            return bool(SetHandler);
        case TPropKind::Object:
            return bool(GetObject);
        default:
            return bool(SetOrdinal);
        }
    }
};

class TClassInfo {
public:
    std::string_view Name() const { return FName; }
    const TClassInfo *Parent() const { return FParent; }
    bool InheritsFrom(const TClassInfo &other) const;

    // All published properties, ancestors first; a property that a descendant declares again
    // keeps its ancestor's place.
    std::span<const TPropInfo> Properties() const { return FProperties; }
    // The extra properties, written after the published ones, ancestors first.
    std::span<const TPropInfo> ExtraProperties() const { return FExtraProperties; }
    // Published or extra, by name without regard to case.
    const TPropInfo *FindProperty(std::string_view name) const;

    const TMethodInfo *FindMethod(std::string_view name) const;
    std::span<const TFieldInfo> Fields() const { return FFields; }
    const TFieldInfo *FindField(std::string_view name) const;

    bool Creatable() const { return bool(FCreate); }
    // A new instance owned by owner; only for creatable classes.
    TComponent *Create(TComponent *owner) const { return FCreate(owner); }

private:
    template <typename, typename> friend class TClassBuilder;
    void AddProperty(TPropInfo property);

    std::string FName;
    const TClassInfo *FParent = nullptr;
    std::vector<TPropInfo> FProperties;
    std::vector<TPropInfo> FExtraProperties;
    std::vector<TMethodInfo> FMethods;
    std::vector<TFieldInfo> FFields;
    std::function<TComponent *(TComponent *)> FCreate;
};

// Builds the table of class C, whose parent class is Base (TPersistent for the root of all).
// Getters and setters may be member functions or data members.
template <typename C, typename Base> class TClassBuilder {
public:
    explicit TClassBuilder(std::string name) {
        FInfo.FName = std::move(name);
        if constexpr (!std::is_same_v<Base, void>) {
            const TClassInfo &parent = Base::StaticClassInfo();
            FInfo.FParent = &parent;
            FInfo.FProperties = parent.FProperties;
            FInfo.FExtraProperties = parent.FExtraProperties;
            FInfo.FMethods = parent.FMethods;
            FInfo.FFields = parent.FFields;
        }
        if constexpr (std::is_constructible_v<C, TComponent *> && !std::is_abstract_v<C>)
            FInfo.FCreate = [](TComponent *owner) -> TComponent * { return new C(owner); };
    }

    template <typename G, typename S> TClassBuilder &Integer(std::string name, G get, S set) {
        return Ordinal(std::move(name), TPropKind::Integer, get, set);
    }
    template <typename G, typename S> TClassBuilder &Boolean(std::string name, G get, S set) {
        return Ordinal(std::move(name), TPropKind::Boolean, get, set);
    }
    template <typename G, typename S>
    TClassBuilder &Enumeration(std::string name, TEnumNames names, G get, S set) {
        Ordinal(std::move(name), TPropKind::Enumeration, get, set);
        FCurrent.ElementNames = names;
        return *this;
    }
    // A set held as a bit mask, bit n for the element of ordinal n.
    template <typename G, typename S>
    TClassBuilder &Set(std::string name, TEnumNames names, G get, S set) {
        Ordinal(std::move(name), TPropKind::Set, get, set);
        FCurrent.ElementNames = names;
        return *this;
    }
    template <typename G, typename S> TClassBuilder &String(std::string name, G get, S set) {
        return Text(std::move(name), TPropKind::String, get, set);
    }
    template <typename G, typename S> TClassBuilder &Bytes(std::string name, G get, S set) {
        return Text(std::move(name), TPropKind::Bytes, get, set);
    }
    template <typename G, typename S> TClassBuilder &Reference(std::string name, G get, S set) {
        Start(std::move(name), TPropKind::Component);
        FCurrent.GetComponent = [get](const TPersistent &o) -> TComponent * {
            return Call(Self(o), get);
        };
        FCurrent.SetComponent = [set](TPersistent &o, TComponent *value) {
            using Target = std::remove_pointer_t<SetterArgument<S>>;
            Assign(Self(o), set, dynamic_cast<Target *>(value));
        };
        return *this;
    }
    template <typename B, typename... Args>
    TClassBuilder &Event(std::string name, TEvent<Args...> B::*field) {
        Start(std::move(name), TPropKind::Event);
        FCurrent.EventSignature = &typeid(std::function<void(Args...)>);
        FCurrent.GetHandlerName = [field](const TPersistent &o) { return (Self(o).*field).Name(); };
        FCurrent.SetHandler = [field](TPersistent &o, const TMethodInfo *method,
                                      TPersistent &root) {
            auto &event = Self(o).*field;
            if (!method) {
                event = {};
                return true;
            }
            std::any bound = method->Bind(root);
            auto *handler = std::any_cast<std::function<void(Args...)>>(&bound);
            if (!handler) return false;
            event = TEvent<Args...>(method->Name, std::move(*handler));
            return true;
        };
        return *this;
    }
    // A nested object, whose properties are streamed as "Name.Property" (e.g. Font.Color).
    template <typename G> TClassBuilder &Object(std::string name, G get) {
        Start(std::move(name), TPropKind::Object);
        FCurrent.GetObject = [get](TPersistent &o) -> TPersistent * {
            return ObjectOf(Self(o), get);
        };
        FCurrent.ObjectClass = &ObjectClassOf<G>;
        return *this;
    }

    // Modifiers of the property declared last.
    TClassBuilder &Default(std::int64_t value) {
        FCurrent.Default = value;
        return *this;
    }
    TClassBuilder &Symbols(TIdentMap symbols) {
        FCurrent.Symbols = symbols;
        return *this;
    }
    template <typename B> TClassBuilder &Stored(bool (B::*condition)() const) {
        FCurrent.Stored = [condition](const TPersistent &o) { return (Self(o).*condition)(); };
        return *this;
    }
    TClassBuilder &Extra() {
        FCurrent.Extra = true;
        return *this;
    }

    // A method that event properties can be bound to by name (root classes).
    template <typename... Args>
    TClassBuilder &Method(std::string name, void (C::*method)(Args...)) {
        Flush();
        FInfo.FMethods.push_back({std::move(name),
                                  [method](TPersistent &root) -> std::any {
                                      C *self = &Self(root);
                                      return std::function<void(Args...)>(
                                          [self, method](Args... args) {
                                              (self->*method)(std::forward<Args>(args)...);
                                          });
                                  },
                                  &typeid(std::function<void(Args...)>)});
        return *this;
    }
    // A named part of a root class, bound to the component of the same name after reading.
    template <typename F> TClassBuilder &Field(std::string name, F *C::*field) {
        Flush();
        FInfo.FFields.push_back(
            {std::move(name), &F::StaticClassInfo(),
             [field](const TPersistent &root) -> TComponent * { return Self(root).*field; },
             [field](TPersistent &root, TComponent *component) {
                 F *typed = dynamic_cast<F *>(component);
                 if (component && !typed) return false;
                 Self(root).*field = typed;
                 return true;
             }});
        return *this;
    }

    TClassInfo Build() {
        Flush();
        return std::move(FInfo);
    }

private:
    static C &Self(TPersistent &o) { return static_cast<C &>(o); }
    static const C &Self(const TPersistent &o) { return static_cast<const C &>(o); }

    template <typename S> struct SetterTraits;
    template <typename B, typename T> struct SetterTraits<void (B::*)(T)> {
        using Argument = std::decay_t<T>;
    };
    template <typename B, typename T> struct SetterTraits<T B::*> { using Argument = T; };
    template <typename S> using SetterArgument = typename SetterTraits<S>::Argument;

    template <typename G> static decltype(auto) Call(const C &self, G get) {
        if constexpr (std::is_member_function_pointer_v<G>)
            return (self.*get)();
        else
            return (self.*get);
    }
    // The declared class of the sub-object a getter gives.
    template <typename G> static const TClassInfo *ObjectClassOf() {
        using Got = decltype(ObjectOf(std::declval<C &>(), std::declval<G>()));
        return &std::remove_pointer_t<Got>::StaticClassInfo();
    }
    // A sub-object from a getter, a pointer member or an object member.
    template <typename G> static auto ObjectOf(C &self, G get) {
        if constexpr (std::is_member_function_pointer_v<G>)
            return (self.*get)();
        else if constexpr (std::is_pointer_v<std::remove_reference_t<decltype(self.*get)>>)
            return self.*get;
        else
            return &(self.*get);
    }
    template <typename S, typename V> static void Assign(C &self, S set, V &&value) {
        if constexpr (std::is_member_function_pointer_v<S>)
            (self.*set)(std::forward<V>(value));
        else
            self.*set = std::forward<V>(value);
    }

    template <typename G, typename S>
    TClassBuilder &Ordinal(std::string name, TPropKind kind, G get, S set) {
        Start(std::move(name), kind);
        FCurrent.GetOrdinal = [get](const TPersistent &o) {
            return std::int64_t(Call(Self(o), get));
        };
        if constexpr (!std::is_same_v<S, std::nullptr_t>)
            FCurrent.SetOrdinal = [set](TPersistent &o, std::int64_t value) {
                Assign(Self(o), set, static_cast<SetterArgument<S>>(value));
            };
        return *this;
    }
    template <typename G, typename S>
    TClassBuilder &Text(std::string name, TPropKind kind, G get, S set) {
        Start(std::move(name), kind);
        FCurrent.GetString = [get](const TPersistent &o) {
            return std::string(Call(Self(o), get));
        };
        if constexpr (!std::is_same_v<S, std::nullptr_t>)
            FCurrent.SetString = [set](TPersistent &o, const std::string &value) {
                Assign(Self(o), set, value);
            };
        return *this;
    }
    void Start(std::string name, TPropKind kind) {
        Flush();
        FCurrent.Name = std::move(name);
        FCurrent.Kind = kind;
        FPending = true;
    }
    void Flush() {
        if (FPending) FInfo.AddProperty(std::move(FCurrent));
        FCurrent = {};
        FPending = false;
    }

    TClassInfo FInfo;
    TPropInfo FCurrent;
    bool FPending = false;
};

// Declares a streamable class's table accessors; the table itself is defined with TClassBuilder.
#define ZENTARO_CLASS_INFO()                                                                       \
    static const TClassInfo &StaticClassInfo();                                                    \
    const TClassInfo &ClassInfo() const override {                                                 \
        return StaticClassInfo();                                                                  \
    }
