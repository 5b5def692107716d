// Exceptions and small text helpers of the framework. Portable.
#pragma once

#include <exception>

#include "System.h"

// Base of every exception the framework and the program raise.
class Exception : public TObject, public std::exception {
public:
    explicit Exception(String message);
    Exception(const Exception& other);
    Exception& operator=(const Exception&) = delete;

    KES_CLASS_NAME(Exception)
    const String& Message() const { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    String FMessage;
    std::string FUtf8;
};

#define KES_DECLARE_EXCEPTION(Name, Base)       \
    class Name : public Base {                  \
    public:                                     \
        using Base::Base;                       \
        KES_CLASS_NAME(Name)                    \
    };

KES_DECLARE_EXCEPTION(EConvertError, Exception)
// A silent stop of an operation (a component refusing its owner, say).
KES_DECLARE_EXCEPTION(EAbort, Exception)
KES_DECLARE_EXCEPTION(EOutOfResources, Exception)
KES_DECLARE_EXCEPTION(EInOutError, Exception)
// Bad image data (raised by the portable decoders and the picture classes).
KES_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
// A request for more memory than an image may take.
KES_DECLARE_EXCEPTION(EOutOfMemory, Exception)

// Decimal conversions.
String IntToStr(Int64 value);
// The value of a decimal text (an optional sign, then digits; leading and
// trailing blanks are not allowed) or Default when it is not one or does not
// fit in 32 bits.
Integer StrToIntDef(StringView text, Integer Default);
// Like StrToIntDef but raises EConvertError "'<text>' is not a valid integer value".
Integer StrToInt(StringView text);

// Case mapping of the ASCII letters only (as the framework's LowerCase and
// UpperCase do); other characters are unchanged.
String LowerCase(StringView text);
String UpperCase(StringView text);
// Case mapping that also covers Latin-1, Greek and Cyrillic letters.
String AnsiLowerCase(StringView text);
String AnsiUpperCase(StringView text);
bool SameText(StringView a, StringView b);   // ASCII case-insensitive

// Removes leading and trailing characters at or below the space.
String Trim(StringView text);
String TrimLeft(StringView text);
String TrimRight(StringView text);

// Position of Sub in S, 0-based, or npos.
inline std::size_t Pos(StringView sub, StringView s) { return s.find(sub); }
