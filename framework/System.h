// Basic types of the component framework: strings, the root object class and
// text conversions. Portable: no Windows header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Text is UTF-16 throughout; raw bytes travel in 8-bit strings.
using Char = char16_t;
using String = std::u16string;
using StringView = std::u16string_view;
using AnsiString = std::string;   // raw bytes, no implied encoding
using RawByteString = std::string;

using Byte = std::uint8_t;
using Word = std::uint16_t;
using Cardinal = std::uint32_t;
using Integer = std::int32_t;
using Int64 = std::int64_t;

// Root of every framework class. Class names are available at run time
// through the virtual ClassName(), which each class overrides with
// KES_CLASS_NAME.
class TObject {
public:
    TObject() = default;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    virtual String ClassName() const { return u"TObject"; }
    bool ClassNameIs(StringView name) const { return ClassName() == name; }

    // Objects are made with New<T>(...), which runs AfterConstruction once the
    // object is complete, and ended with Free(), which runs BeforeDestruction
    // before deleting. An object busy in its own callback (a timer inside its
    // tick, say) may put its end off until the callback returns by answering
    // false from CanFreeNow.
    virtual void AfterConstruction() {}
    virtual void BeforeDestruction() {}
    void Free() {
        if (!CanFreeNow()) return;
        BeforeDestruction();
        delete this;
    }

protected:
    virtual bool CanFreeNow() { return true; }

    // Objects are not copied, except by classes that say so (exceptions).
    TObject(const TObject&) = default;
};

// Liveness: code that may run after its object was freed (after a nested
// message loop, a send, a user event or a wait) keeps a TLiveness of the
// object, taken before, and asks it afterwards. The token is a weak look at
// one flag that the object's TLifetime clears when the object is destroyed;
// copies stay valid (and answer false) after the object's memory is gone.
class TLiveness {
public:
    TLiveness() = default;
    // The object has not been destroyed yet (false for an empty token).
    bool Alive() const { return FFlag && *FFlag; }

private:
    friend class TLifetime;
    explicit TLiveness(std::shared_ptr<const bool> Flag) : FFlag(std::move(Flag)) {}
    std::shared_ptr<const bool> FFlag;
};

// The flag behind an object's liveness tokens. TComponent holds one and ends
// it in its own destructor; objects that are not components derive from
// TLivingObject. No class keeps a flag of its own.
class TLifetime {
public:
    TLifetime() = default;
    TLifetime(const TLifetime&) = delete;
    TLifetime& operator=(const TLifetime&) = delete;
    ~TLifetime() { End(); }
    // A token of this lifetime (the flag is made on the first request).
    TLiveness Token() const {
        if (!FFlag) FFlag = std::make_shared<bool>(!FEnded);
        return TLiveness(FFlag);
    }
    // Every token answers false from now on.
    void End() {
        FEnded = true;
        if (FFlag) *FFlag = false;
    }

private:
    mutable std::shared_ptr<bool> FFlag;
    bool FEnded = false;
};

// Base of objects that are not components but whose liveness others ask
// (window adapters, say): the lifetime ends in this destructor.
class TLivingObject : public TObject {
public:
    TLiveness Liveness() const { return FLifetime.Token(); }

protected:
    ~TLivingObject() override { FLifetime.End(); }

private:
    TLifetime FLifetime;
};

#define KES_CLASS_NAME(name) \
    String ClassName() const override { return u## #name; }

// UTF-8 <-> UTF-16. Invalid UTF-8 sequences become U+FFFD; unpaired
// surrogates in UTF-16 become U+FFFD in the UTF-8 output.
String Utf8ToString(std::string_view bytes);
std::string StringToUtf8(StringView text);

// Latin-1 widening and narrowing for ASCII literals and raw byte views.
String AsciiToString(std::string_view ascii);
std::string StringToAscii(StringView text);   // characters above 0xFF become '?'
