// Fuzz target for the image step of a skin load: the input is the skin's ini
// text, and after a zero byte the common sections. Every file name the ini
// gives is served from memory: names with "BMP" get a small master-like
// bitmap with key pixels, names with "PNG" a small PNG-like BMP as well, and
// others nothing. Only the framework's exceptions may come out, and every
// mask must lie inside its bitmap.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "SysUtils.h"
#include "acSkinImages.h"
#include "sStyleSimply.h"

namespace {

std::vector<Byte> MakeBmp() {
    const int w = 40, h = 20;
    std::vector<Byte> f = {'B', 'M'};
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f.push_back(Byte(v >> (8 * i)));
    };
    const std::uint32_t data = w * 3 * h;
    put32(54 + data), put32(0), put32(54);
    put32(40), put32(w), put32(h), put32(1 | (24u << 16)), put32(0), put32(data), put32(0), put32(0), put32(0), put32(0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool key = (x + y) % 7 == 0;
            f.insert(f.end(), {Byte(key ? 0xFF : x * 6), Byte(key ? 0 : y * 12), Byte(key ? 0xFF : 0x80)});
        }
    return f;
}

class TMemorySource : public TacSkinSource {
public:
    bool ReadFile(const String& FileName, std::vector<Byte>& Bytes) const override {
        const String upper = UpperCase(FileName);
        if (upper.find(u"BMP") == String::npos && upper.find(u"PNG") == String::npos) return false;
        static const std::vector<Byte> bmp = MakeBmp();
        Bytes = bmp;
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 16) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    TStringList ini;
    ini.SetText(AnsiToString(bytes.substr(0, split)));
    TacSkinModel model;
    if (split != std::string_view::npos) model.CommonSections.SetText(AnsiToString(bytes.substr(split + 1)));
    model.HueOffset = static_cast<Integer>(size % 360);
    model.Saturation = static_cast<Integer>(size % 7) - 3;
    try {
        model.LoadSkin(ini, TMemorySource());
    } catch (const Exception&) {
        return 0;
    }
    for (const TsMaskData& m : model.ma) {
        const TacImage32& image = m.Bmp ? *m.Bmp : *model.MasterBitmap;
        if (m.R.Left < 0 || m.R.Top < 0 || m.R.Right > image.Width() || m.R.Bottom > image.Height() ||
            m.R.Right <= m.R.Left || m.R.Bottom <= m.R.Top)
            __builtin_trap();
        if (m.ImageCount < 1 || m.MaskType < 0) __builtin_trap();
    }
    return 0;
}
