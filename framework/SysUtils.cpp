#include "SysUtils.h"

#include <limits>

Exception::Exception(String message) : FMessage(std::move(message)), FUtf8(StringToUtf8(FMessage)) {}

Exception::Exception(const Exception& other)
    : TObject(other), std::exception(other), FMessage(other.FMessage), FUtf8(other.FUtf8) {}

String IntToStr(Int64 value) { return AsciiToString(std::to_string(value)); }

static bool ParseInt(StringView text, Integer& out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size()) return false;
    Int64 v = 0;
    for (; i < text.size(); ++i) {
        Char c = text[i];
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c - u'0');
        if (v > Int64(std::numeric_limits<Integer>::max()) + 1) return false;
    }
    if (negative) v = -v;
    if (v < std::numeric_limits<Integer>::min() || v > std::numeric_limits<Integer>::max()) return false;
    out = static_cast<Integer>(v);
    return true;
}

Integer StrToIntDef(StringView text, Integer Default) {
    Integer v;
    return ParseInt(text, v) ? v : Default;
}

Integer StrToInt(StringView text) {
    Integer v;
    if (!ParseInt(text, v)) throw EConvertError(u"'" + String(text) + u"' is not a valid integer value");
    return v;
}

String LowerCase(StringView text) {
    String s(text);
    for (auto& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<Char>(c + 32);
    return s;
}

String UpperCase(StringView text) {
    String s(text);
    for (auto& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<Char>(c - 32);
    return s;
}

static Char LowerChar(Char c) {
    if (c >= u'A' && c <= u'Z') return static_cast<Char>(c + 32);
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<Char>(c + 32);
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<Char>(c + 32);   // Greek
    if (c >= 0x410 && c <= 0x42F) return static_cast<Char>(c + 32);                 // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return static_cast<Char>(c + 80);
    return c;
}

static Char UpperChar(Char c) {
    if (c >= u'a' && c <= u'z') return static_cast<Char>(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<Char>(c - 32);
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return static_cast<Char>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<Char>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<Char>(c - 80);
    return c;
}

String AnsiLowerCase(StringView text) {
    String s(text);
    for (auto& c : s) c = LowerChar(c);
    return s;
}

String AnsiUpperCase(StringView text) {
    String s(text);
    for (auto& c : s) c = UpperChar(c);
    return s;
}

bool SameText(StringView a, StringView b) { return a.size() == b.size() && LowerCase(a) == LowerCase(b); }

String TrimLeft(StringView text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] <= u' ') ++i;
    return String(text.substr(i));
}

String TrimRight(StringView text) {
    std::size_t n = text.size();
    while (n > 0 && text[n - 1] <= u' ') --n;
    return String(text.substr(0, n));
}

String Trim(StringView text) { return TrimRight(TrimLeft(text)); }
