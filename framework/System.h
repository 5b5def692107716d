// Basic types of the component framework: strings, the root object class and
// text conversions. Portable: no Windows header.
#pragma once

#include <cstdint>
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

#define KES_CLASS_NAME(name) \
    String ClassName() const override { return u## #name; }

// UTF-8 <-> UTF-16. Invalid UTF-8 sequences become U+FFFD; unpaired
// surrogates in UTF-16 become U+FFFD in the UTF-8 output.
String Utf8ToString(std::string_view bytes);
std::string StringToUtf8(StringView text);

// Latin-1 widening and narrowing for ASCII literals and raw byte views.
String AsciiToString(std::string_view ascii);
std::string StringToAscii(StringView text);   // characters above 0xFF become '?'
