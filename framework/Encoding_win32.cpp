// Encodings on Windows: the ANSI code page is the system's, and code pages
// without a built-in table go through MultiByteToWideChar / WideCharToMultiByte.
#include <limits>

#include "Strings.h"
#include "WinApi.h"

unsigned AnsiCodePage() { return GetACP(); }

namespace {

unsigned CheckedCodePage(unsigned codePage) {
    if (codePage == 0) codePage = GetACP();
    if (!IsValidCodePage(codePage))
        throw EEncodingError(u"Code page " + IntToStr(codePage) + u" is not supported");
    return codePage;
}

int CheckedLength(std::size_t n) {
    if (n > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw EEncodingError(u"Text of " + IntToStr(static_cast<Int64>(n)) + u" units is too long to convert");
    return static_cast<int>(n);
}

String FailedText(unsigned codePage) {
    return u"Conversion in code page " + IntToStr(codePage) + u" failed (error " + IntToStr(GetLastError()) + u")";
}

}  // namespace

String SystemCodePageToString(std::string_view bytes, unsigned codePage) {
    codePage = CheckedCodePage(codePage);
    if (bytes.empty()) return String();
    const int n = CheckedLength(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), n, nullptr, 0);
    if (length <= 0) throw EEncodingError(FailedText(codePage));
    String text(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), n, reinterpret_cast<wchar_t*>(text.data()), length);
    return text;
}

std::string StringToSystemCodePage(StringView text, unsigned codePage) {
    codePage = CheckedCodePage(codePage);
    if (text.empty()) return std::string();
    const int n = CheckedLength(text.size());
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    // '?' instead of best-fit look-alikes. Some code pages (UTF-7, UTF-8, the
    // ISO-2022 family, GB18030...) refuse these flags; they take none.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = "?";
    int length = WideCharToMultiByte(codePage, flags, wide, n, nullptr, 0, defaultChar, nullptr);
    if (length <= 0) {
        flags = 0;
        defaultChar = nullptr;
        length = WideCharToMultiByte(codePage, flags, wide, n, nullptr, 0, defaultChar, nullptr);
    }
    if (length <= 0) throw EEncodingError(FailedText(codePage));
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, flags, wide, n, bytes.data(), length, defaultChar, nullptr);
    return bytes;
}
