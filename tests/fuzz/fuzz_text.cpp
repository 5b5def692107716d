// Fuzz target for text decoding: the input is the bytes of a page body or of
// a skin's option text. They are read as both are read (a byte-order mark
// picks UTF-8 or UTF-16, otherwise the ANSI code page) and rendered as the
// page viewer renders a page (as UTF-8, with and without the Windows-1251
// step), and they go through the built-in code pages both ways. Every byte
// of a single-byte code page must survive the round trip, decoded UTF-8 must
// be well-formed UTF-16 that encodes and decodes to itself, and the built-in
// UTF-8 decoder must agree with the system's.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "PageText.h"
#include "Strings.h"

namespace {

bool WellFormed(const String& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Char c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// UTF-16 as it stands, code unit by code unit (a last odd byte is no unit).
String CodeUnits(std::string_view bytes, bool bigEndian) {
    String out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<Char>(bigEndian ? first << 8 | second : second << 8 | first));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // A page body or an option text, read from a stream.
    TMemoryStream stream;
    stream.WriteBuffer(data, static_cast<Integer>(size));
    stream.SetPosition(0);
    TStringList lines;
    lines.LoadFromStream(stream);
    const String text = lines.Text();
    // The same lines from the decoding the mark names.
    TStringList expected;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        expected.SetText(CodePageToString(bytes.substr(3), 65001));
    else if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        expected.SetText(CodeUnits(bytes.substr(2), bytes[0] == '\xFE'));
    else
        expected.SetText(AnsiToString(bytes));
    if (!lines.Equals(expected)) __builtin_trap();

    // The page viewer's rendering, of the whole page and of a received piece.
    for (const bool convert : {false, true}) {
        if (!WellFormed(RenderPageText(text, convert))) __builtin_trap();
        if (!WellFormed(RenderPageText(AnsiToString(bytes), convert))) __builtin_trap();
    }

    // Single-byte code pages keep every byte.
    for (const unsigned codePage : {1251u, 1252u, 28591u}) {
        const String decoded = CodePageToString(bytes, codePage);
        if (decoded.size() != size || StringToCodePage(decoded, codePage) != bytes) __builtin_trap();
    }

    // UTF-8: well-formed, stable, and as the system decodes it.
    const String utf8 = CodePageToString(bytes, 65001);
    if (utf8 != Utf8ToString(bytes) || !WellFormed(utf8)) __builtin_trap();
    const std::string encoded = StringToUtf8(utf8);
    if (Utf8ToString(encoded) != utf8 || StringToCodePage(utf8, 65001) != encoded) __builtin_trap();
    if (SystemCodePageToString(bytes, 65001) != utf8) __builtin_trap();
    return 0;
}
