#include "PageText.h"

#include "Strings.h"

String RenderPageText(const String& Raw, bool ConvertFrom1251) {
    String text = Raw;
    if (ConvertFrom1251) {
        // Windows-1251 bytes become UTF-8 bytes, held one per character.
        const std::string bytes = StringToAnsi(text);
        text = AnsiToString(StringToUtf8(CodePageToString(bytes, 1251)));
    }
    return Utf8ToString(StringToAnsi(text));
}
