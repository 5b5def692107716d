#include "sGradient.h"

#include <algorithm>
#include <string_view>

#include "Strings.h"
#include "SysUtils.h"

namespace {

// The tokens of an 8-bit text separated by ';'; empty runs separate nothing.
std::vector<std::string_view> SplitTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ';') ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ';') ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

Integer TokenToInt(std::string_view token) { return StrToInt(AnsiToString(token)); }

}  // namespace

void PrepareGradientArray(const String& Data, TsGradArray& Arr) {
    Arr.clear();
    if (Data.empty()) return;

    // The gradient text is 8-bit text in the skin's ini.
    const std::string bytes = StringToAnsi(Data);
    const std::vector<std::string_view> tokens = SplitTokens(bytes);
    const std::size_t count = tokens.size() / 5;

    TsGradArray pieces(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::string_view* t = &tokens[k * 5];
        TsGradPie& pie = pieces[k];
        pie.Color1 = std::max<Integer>(0, TokenToInt(t[0]));
        pie.Color2 = std::max<Integer>(0, TokenToInt(t[1]));
        pie.Percent = std::clamp<Integer>(TokenToInt(t[2]), 0, 100);
        pie.Mode = TokenToInt(t[3]);
    }
    Arr = std::move(pieces);
}
