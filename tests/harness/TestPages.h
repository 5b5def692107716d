// Pages for the tests that fetch them from the loopback HTTP server.
#pragma once

#include <cstdio>
#include <string>

namespace harness {

// A Windows-1251 page of at least size bytes: numbered lines ("line 0000042 "
// and 48 Cyrillic letters, CR LF). It holds no byte from 0x80 to 0xBF, so
// read as Windows-1251 every byte is one letter, and decoded as UTF-8 every
// byte is one character too (each Cyrillic byte a U+FFFD), wherever the page
// is cut into pieces.
inline std::string Windows1251Page(std::size_t size) {
    std::string page;
    page.reserve(size + 128);
    for (int i = 0; page.size() < size; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%07d", i);
        page += std::string("line ") + number + " ";
        for (int k = 0; k < 48; ++k) page += static_cast<char>(0xC0 + (i * 7 + k) % 64);
        page += "\r\n";
    }
    return page;
}

}  // namespace harness
