// Run-time property information: a small per-class registry of published
// properties (name -> getter and setter), through which code reads and sets
// properties of objects it only knows by name. Ordinals (integers, Booleans,
// enumerations), sets (bit i = element i) and object references.
#pragma once

#include <functional>
#include <vector>

#include "SysUtils.h"

enum class TTypeKind { tkInteger, tkEnumeration, tkSet, tkClass };

struct TPropInfo {
    String Name;
    TTypeKind Kind = TTypeKind::tkInteger;
    // Ordinal kinds (tkInteger, tkEnumeration, tkSet): the value; for a set its bits.
    std::function<Int64(TObject*)> GetOrd;
    std::function<void(TObject*, Int64)> SetOrd;   // empty: read-only
    // tkClass.
    std::function<TObject*(TObject*)> GetObj;
    std::function<void(TObject*, TObject*)> SetObj;   // empty: read-only
    // tkEnumeration: the name of each value; tkSet: the name of each element.
    std::vector<String> ElementNames;
};

// Registers a property of the objects for which IsA answers true. When a
// property of the same name is registered for several matching classes, the
// one registered last wins (register base classes first).
void RegisterPropInfo(const String& ClassName, std::function<bool(const TObject*)> IsA, TPropInfo Info);

template <class T>
void RegisterProp(const String& ClassName, TPropInfo Info) {
    RegisterPropInfo(ClassName, [](const TObject* o) { return dynamic_cast<const T*>(o) != nullptr; },
                     std::move(Info));
}

// Registers an ordinal property of class T from its getter and setter.
template <class T, class V>
void RegisterOrdProp(const String& ClassName, const String& Name, TTypeKind Kind, V (T::*Getter)() const,
                     void (T::*Setter)(V), std::vector<String> ElementNames = {}) {
    TPropInfo info;
    info.Name = Name;
    info.Kind = Kind;
    info.GetOrd = [Getter](TObject* o) { return static_cast<Int64>((static_cast<T*>(o)->*Getter)()); };
    if (Setter) info.SetOrd = [Setter](TObject* o, Int64 v) { (static_cast<T*>(o)->*Setter)(static_cast<V>(v)); };
    info.ElementNames = std::move(ElementNames);
    RegisterProp<T>(ClassName, std::move(info));
}

// The property Name (compared without regard to ASCII case) of Instance's
// class or of a registered base, or nullptr.
const TPropInfo* GetPropInfo(const TObject* Instance, StringView Name);
// The index of an enumeration value or set element by name; -1 when unknown.
int GetElementValue(const TPropInfo& Info, StringView ElementName);

// Accessors; they raise EPropertyError when the property is missing, of
// another kind or read-only.
KES_DECLARE_EXCEPTION(EPropertyError, Exception)
Int64 GetOrdProp(TObject* Instance, StringView Name);
void SetOrdProp(TObject* Instance, StringView Name, Int64 Value);
TObject* GetObjectProp(TObject* Instance, StringView Name);
void SetObjectProp(TObject* Instance, StringView Name, TObject* Value);

// The class names registered so far, in order (for diagnostics).
std::vector<String> RegisteredPropClasses();
// Forgets every registration.
void ClearPropRegistry();

// Start-up and shut-down of the unit: registers (and forgets) the published
// properties of the framework's own classes (TComponent.Tag; TControl's
// Left, Top, Width, Height, Visible, Enabled, Color, ParentColor, ParentFont,
// Align, Font; TFont's Color, Height, Size, Style; TOpenDialog's Options).
void TypInfoInitialization();
void TypInfoFinalization();
