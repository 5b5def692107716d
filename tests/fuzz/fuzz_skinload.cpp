// Fuzz target for the whole load of a packed skin, as the skin manager runs
// it: the packed file's bytes are unpacked, "Options.dat" is read as text
// (its byte-order mark decides the encoding) and the skin model is loaded
// from it with the packed files as its source: images, masks, patterns and
// the sections' data. Only the framework's exceptions may come out; a loaded
// model's masks lie inside their bitmaps and its indexes point at masks.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "acSkinImages.h"
#include "acSkinPack.h"
#include "sStyleSimply.h"

namespace {

struct ConvertorFree {
    void operator()(TacSkinConvertor* c) const { FreeAndNil(c); }
};

void Check(const TacSkinModel& model) {
    for (const TsMaskData& m : model.ma) {
        if (!m.Bmp && !model.MasterBitmap) __builtin_trap();
        const TacImage32& image = m.Bmp ? *m.Bmp : *model.MasterBitmap;
        if (m.R.Left < 0 || m.R.Top < 0 || m.R.Right > image.Width() || m.R.Bottom > image.Height() ||
            m.R.Right <= m.R.Left || m.R.Bottom <= m.R.Top)
            __builtin_trap();
        if (m.ImageCount < 1 || m.MaskType < 0) __builtin_trap();
    }
    for (const TsGeneralData& d : model.gd) {
        if (d.BorderIndex != -1 && !model.IsValidImgIndex(d.BorderIndex)) __builtin_trap();
        if (d.TextureNormal != -1 && !model.IsValidImgIndex(d.TextureNormal)) __builtin_trap();
    }
    // Patterns are unpacked when first painted; a bad one may only raise.
    for (const TsPatternData& p : model.pa) {
        if (!p.Img) continue;
        try {
            const TacImage32& image = p.Img->Image();
            if (!image.Pixels().empty() && (image.Width() != p.Img->Width || image.Height() != p.Img->Height))
                __builtin_trap();
        } catch (const Exception&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    TacSkinConvertor* raw = New<TacSkinConvertor>();
    raw->PackedData = New<TMemoryStream>();
    raw->PackedData->WriteBuffer(data, static_cast<Integer>(size));
    raw->PackedData->SetPosition(0);
    try {
        ExtractPackedData(raw);   // frees and clears raw on a wrong signature
    } catch (const Exception&) {
        FreeAndNil(raw);
        return 0;
    }
    const std::unique_ptr<TacSkinConvertor, ConvertorFree> convertor(raw);
    if (!raw->Options) return 0;   // refused by the manager: no option text
    TStringList ini;
    ini.CaseSensitive = true;
    raw->Options->SetPosition(0);
    ini.LoadFromStream(*raw->Options);
    TacSkinModel model;
    try {
        model.LoadSkin(ini, TacPackedSource(*raw));
    } catch (const Exception&) {
        return 0;
    }
    Check(model);
    return 0;
}
