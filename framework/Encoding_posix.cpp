// Encodings on POSIX systems: the ANSI code page is Windows-1252, and code
// pages without a built-in table go through iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "Strings.h"

unsigned AnsiCodePage() { return 1252; }

namespace {

// iconv's name for a Windows code page number.
std::string IconvName(unsigned codePage) {
    switch (codePage) {
        case 65001: return "UTF-8";
        case 1200: return "UTF-16LE";
        case 1201: return "UTF-16BE";
        case 20127: return "ASCII";
        case 20866: return "KOI8-R";
        case 21866: return "KOI8-U";
        case 28603: return "ISO-8859-13";
        case 28605: return "ISO-8859-15";
        default: break;
    }
    if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

class Converter {
public:
    Converter(const char* to, const char* from, unsigned codePage) : FHandle(iconv_open(to, from)) {
        if (FHandle == reinterpret_cast<iconv_t>(-1))
            throw EEncodingError(u"Code page " + IntToStr(codePage) + u" is not supported");
    }
    ~Converter() { iconv_close(FHandle); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of input into output. At a sequence it cannot convert, it
    // asks skip how many input bytes to drop and what to write instead.
    template <class Skip>
    void Run(std::string_view input, std::string& output, Skip skip) {
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        std::vector<char> buffer(4096);
        while (inLeft > 0) {
            char* out = buffer.data();
            std::size_t outLeft = buffer.size();
            const std::size_t r = iconv(FHandle, &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(buffer.data(), buffer.size() - outLeft);
            if (r != static_cast<std::size_t>(-1) || error == E2BIG) continue;
            // EILSEQ or EINVAL (a sequence cut off at the end): replace and go on.
            const std::size_t drop = std::min(inLeft, skip(std::string_view(in, inLeft), output));
            in += drop;
            inLeft -= drop;
            iconv(FHandle, nullptr, nullptr, nullptr, nullptr);
        }
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        iconv(FHandle, nullptr, nullptr, &out, &outLeft);   // end a stateful encoding
        output.append(buffer.data(), buffer.size() - outLeft);
    }

private:
    iconv_t FHandle;
};

unsigned Resolve(unsigned codePage) { return codePage == 0 ? AnsiCodePage() : codePage; }

}  // namespace

String SystemCodePageToString(std::string_view bytes, unsigned codePage) {
    codePage = Resolve(codePage);
    Converter converter("UTF-16LE", IconvName(codePage).c_str(), codePage);
    std::string utf16;
    converter.Run(bytes, utf16, [](std::string_view, std::string& out) {
        out.append("\xFD\xFF", 2);   // U+FFFD for each byte that is not valid
        return std::size_t(1);
    });
    String text(utf16.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<Char>(static_cast<unsigned char>(utf16[2 * i]) |
                                    static_cast<unsigned char>(utf16[2 * i + 1]) << 8);
    return text;
}

std::string StringToSystemCodePage(StringView text, unsigned codePage) {
    codePage = Resolve(codePage);
    Converter converter(IconvName(codePage).c_str(), "UTF-16LE", codePage);
    std::string utf16(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        utf16[2 * i] = static_cast<char>(text[i] & 0xFF);
        utf16[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::string bytes;
    converter.Run(utf16, bytes, [](std::string_view, std::string& out) {
        out.push_back('?');   // one per code unit that has no place in the code page
        return std::size_t(2);
    });
    return bytes;
}
