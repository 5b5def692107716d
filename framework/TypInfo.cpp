#include "TypInfo.h"

#include "Controls.h"
#include "Dialogs.h"
#include "Graphics.h"

namespace {

struct TRegisteredProp {
    String ClassName;
    std::function<bool(const TObject*)> IsA;
    TPropInfo Info;
};

std::vector<TRegisteredProp>& Registry() {
    static std::vector<TRegisteredProp> registry;
    return registry;
}

const TPropInfo& FindProp(TObject* instance, StringView name) {
    const TPropInfo* info = GetPropInfo(instance, name);
    if (!info)
        throw EPropertyError(u"Property " + String(name) + u" does not exist" +
                             (instance ? u" in " + instance->ClassName() : String()));
    return *info;
}

bool IsOrdinal(TTypeKind k) { return k != TTypeKind::tkClass; }

template <class S>
Int64 SetBits(S s) {
    return static_cast<Int64>(s.Bits());
}

template <class E>
TSet<E> BitsToSet(Int64 bits) {
    TSet<E> s;
    for (unsigned i = 0; i < 32; ++i)
        if (bits & (Int64{1} << i)) s.Include(static_cast<E>(i));
    return s;
}

}  // namespace

void RegisterPropInfo(const String& ClassName, std::function<bool(const TObject*)> IsA, TPropInfo Info) {
    Registry().push_back({ClassName, std::move(IsA), std::move(Info)});
}

const TPropInfo* GetPropInfo(const TObject* Instance, StringView Name) {
    if (!Instance) return nullptr;
    const auto& registry = Registry();
    for (auto it = registry.rbegin(); it != registry.rend(); ++it)
        if (SameText(it->Info.Name, Name) && it->IsA(Instance)) return &it->Info;
    return nullptr;
}

int GetElementValue(const TPropInfo& Info, StringView ElementName) {
    for (std::size_t i = 0; i < Info.ElementNames.size(); ++i)
        if (SameText(Info.ElementNames[i], ElementName)) return static_cast<int>(i);
    return -1;
}

Int64 GetOrdProp(TObject* Instance, StringView Name) {
    const TPropInfo& info = FindProp(Instance, Name);
    if (!IsOrdinal(info.Kind) || !info.GetOrd) throw EPropertyError(u"Property " + String(Name) + u" is not ordinal");
    return info.GetOrd(Instance);
}

void SetOrdProp(TObject* Instance, StringView Name, Int64 Value) {
    const TPropInfo& info = FindProp(Instance, Name);
    if (!IsOrdinal(info.Kind)) throw EPropertyError(u"Property " + String(Name) + u" is not ordinal");
    if (!info.SetOrd) throw EPropertyError(u"Property " + String(Name) + u" is read-only");
    info.SetOrd(Instance, Value);
}

TObject* GetObjectProp(TObject* Instance, StringView Name) {
    const TPropInfo& info = FindProp(Instance, Name);
    if (info.Kind != TTypeKind::tkClass || !info.GetObj)
        throw EPropertyError(u"Property " + String(Name) + u" is not an object");
    return info.GetObj(Instance);
}

void SetObjectProp(TObject* Instance, StringView Name, TObject* Value) {
    const TPropInfo& info = FindProp(Instance, Name);
    if (info.Kind != TTypeKind::tkClass) throw EPropertyError(u"Property " + String(Name) + u" is not an object");
    if (!info.SetObj) throw EPropertyError(u"Property " + String(Name) + u" is read-only");
    info.SetObj(Instance, Value);
}

std::vector<String> RegisteredPropClasses() {
    std::vector<String> names;
    for (const auto& r : Registry())
        if (names.empty() || names.back() != r.ClassName) names.push_back(r.ClassName);
    return names;
}

void ClearPropRegistry() { Registry().clear(); }

void TypInfoInitialization() {
    ClearPropRegistry();
    using K = TTypeKind;

    {
        TPropInfo tag;
        tag.Name = u"Tag";
        tag.GetOrd = [](TObject* o) { return static_cast<Int64>(static_cast<TComponent*>(o)->Tag); };
        tag.SetOrd = [](TObject* o, Int64 v) { static_cast<TComponent*>(o)->Tag = static_cast<std::intptr_t>(v); };
        RegisterProp<TComponent>(u"TComponent", std::move(tag));
    }

    const String control = u"TControl";
    RegisterOrdProp<TControl, int>(control, u"Left", K::tkInteger, &TControl::Left, &TControl::SetLeft);
    RegisterOrdProp<TControl, int>(control, u"Top", K::tkInteger, &TControl::Top, &TControl::SetTop);
    RegisterOrdProp<TControl, int>(control, u"Width", K::tkInteger, &TControl::Width, &TControl::SetWidth);
    RegisterOrdProp<TControl, int>(control, u"Height", K::tkInteger, &TControl::Height, &TControl::SetHeight);
    RegisterOrdProp<TControl, bool>(control, u"Visible", K::tkEnumeration, &TControl::Visible, &TControl::SetVisible,
                                    {u"False", u"True"});
    RegisterOrdProp<TControl, bool>(control, u"Enabled", K::tkEnumeration, &TControl::Enabled,
                                    &TControl::SetEnabled, {u"False", u"True"});
    RegisterOrdProp<TControl, bool>(control, u"ParentFont", K::tkEnumeration, &TControl::ParentFont,
                                    &TControl::SetParentFont, {u"False", u"True"});
    RegisterOrdProp<TControl, bool>(control, u"ParentColor", K::tkEnumeration, &TControl::ParentColor,
                                    &TControl::SetParentColor, {u"False", u"True"});
    RegisterOrdProp<TControl, TColor>(control, u"Color", K::tkInteger, &TControl::Color, &TControl::SetColor);
    RegisterOrdProp<TControl, TAlign>(control, u"Align", K::tkEnumeration, &TControl::Align, &TControl::SetAlign,
                                      {u"alNone", u"alTop", u"alBottom", u"alLeft", u"alRight", u"alClient"});
    {
        TPropInfo font;
        font.Name = u"Font";
        font.Kind = K::tkClass;
        font.GetObj = [](TObject* o) -> TObject* { return static_cast<TControl*>(o)->Font(); };
        font.SetObj = [](TObject* o, TObject* v) { static_cast<TControl*>(o)->SetFont(dynamic_cast<TFont*>(v)); };
        RegisterProp<TControl>(control, std::move(font));
    }

    const String fontClass = u"TFont";
    RegisterOrdProp<TFont, TColor>(fontClass, u"Color", K::tkInteger, &TFont::Color, &TFont::SetColor);
    RegisterOrdProp<TFont, Integer>(fontClass, u"Height", K::tkInteger, &TFont::Height, &TFont::SetHeight);
    RegisterOrdProp<TFont, Integer>(fontClass, u"Size", K::tkInteger, &TFont::Size, &TFont::SetSize);
    {
        TPropInfo style;
        style.Name = u"Style";
        style.Kind = K::tkSet;
        style.GetOrd = [](TObject* o) { return SetBits(static_cast<TFont*>(o)->Style()); };
        style.SetOrd = [](TObject* o, Int64 v) { static_cast<TFont*>(o)->SetStyle(BitsToSet<TFontStyle>(v)); };
        style.ElementNames = {u"fsBold", u"fsItalic", u"fsUnderline", u"fsStrikeOut"};
        RegisterProp<TFont>(fontClass, std::move(style));
    }
    {
        TPropInfo options;
        options.Name = u"Options";
        options.Kind = K::tkSet;
        options.GetOrd = [](TObject* o) { return SetBits(static_cast<TOpenDialog*>(o)->Options()); };
        options.SetOrd = [](TObject* o, Int64 v) {
            static_cast<TOpenDialog*>(o)->SetOptions(BitsToSet<TOpenOption>(v));
        };
        options.ElementNames = {u"ofReadOnly",         u"ofOverwritePrompt",     u"ofHideReadOnly",
                                u"ofNoChangeDir",      u"ofShowHelp",            u"ofNoValidate",
                                u"ofAllowMultiSelect", u"ofExtensionDifferent",  u"ofPathMustExist",
                                u"ofFileMustExist",    u"ofCreatePrompt",        u"ofShareAware",
                                u"ofNoReadOnlyReturn", u"ofNoTestFileCreate",    u"ofNoNetworkButton",
                                u"ofNoLongNames",      u"ofOldStyleDialog",      u"ofNoDereferenceLinks",
                                u"ofEnableIncludeNotify", u"ofEnableSizing",     u"ofDontAddToRecent",
                                u"ofForceShowHidden"};
        RegisterProp<TOpenDialog>(u"TOpenDialog", std::move(options));
    }
}

void TypInfoFinalization() { ClearPropRegistry(); }
