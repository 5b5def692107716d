// Fuzz target of the address parser. The input is read both as UTF-16 (byte
// pairs, low byte first) and as UTF-8; each text is parsed, its base built and
// it is resolved against a fixed base and against bases made from the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "jsURLParser.h"

namespace {

const String kFixedBase = u"http://www.example.com/a/b/";

void Check(bool condition) {
    if (!condition) std::abort();
}

void Exercise(const String& text) {
    TjsURLParser location;
    location.SetURL(text);
    const String ownBase = location.GetBaseURL();
    Check(ownBase.empty() || ownBase.compare(0, location.Protocol.size() + 3, location.Protocol + u"://") == 0);
    Check(location.ResolveRelative(String()).empty());

    location.ResolveRelative(kFixedBase);
    location.ResolveRelative(text);
    location.ResolveRelative(ownBase);

    // The two halves of the text: one as the page, the other as the location.
    const std::size_t half = text.size() / 2;
    TjsURLParser page;
    page.SetURL(text.substr(0, half));
    const String pageBase = page.GetBaseURL();
    TjsURLParser rest;
    rest.SetURL(text.substr(half));
    rest.ResolveRelative(pageBase);
    rest.ResolveRelative(text.substr(0, half));

    // The steps one by one, as the parser's own callers may use them.
    TjsURLParser steps;
    if (steps.ParseURL(text)) steps.SplitPath();
    steps.SplitPath();
    steps.GetBaseURL();

    CopyFromPChar(text.c_str(), static_cast<Integer>(text.size() % 64));
    ReplaceChar(text, u',', u'.');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    String wide;
    wide.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        wide.push_back(static_cast<Char>(data[i] | (data[i + 1] << 8)));
    Exercise(wide);

    Exercise(Utf8ToString(std::string_view(reinterpret_cast<const char*>(data), size)));
    return 0;
}
