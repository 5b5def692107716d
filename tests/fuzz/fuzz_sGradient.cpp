// Fuzz target for gradient texts: either the framework's conversion error or
// a well-formed array comes out.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Strings.h"
#include "SysUtils.h"
#include "sGradient.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const String text = AnsiToString(std::string_view(reinterpret_cast<const char*>(data), size));
    TsGradArray arr{{1, 1, 1, 1, 1}};
    try {
        PrepareGradientArray(text, arr);
    } catch (const EConvertError&) {
        if (!arr.empty()) __builtin_trap();
        return 0;
    }
    if (arr.size() > size / 10 + 1) __builtin_trap();   // a piece needs five tokens and four separators
    for (const TsGradPie& p : arr) {
        if (p.Color1 < 0 || p.Color2 < 0 || p.Percent < 0 || p.Percent > 100 || p.Reserved != 0) __builtin_trap();
    }
    return 0;
}
