// Fuzz target for the skin ini loader: the input is the skin's ini text, and
// after a zero byte, the common sections applied over it. Only the
// framework's exceptions (a strict key or a gradient that is not a number)
// may come out; afterwards the model must hold together.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "SysUtils.h"
#include "sStyleSimply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    const String ini = AnsiToString(bytes.substr(0, split));
    const String common = split == std::string_view::npos ? String() : AnsiToString(bytes.substr(split + 1));

    TacSkinModel model;
    model.CommonSections.SetText(common);
    try {
        model.LoadAllGeneralData(ini);
    } catch (const Exception&) {
        if (!model.gd.empty()) __builtin_trap();   // a failed load changes nothing
        return 0;
    }

    // A mask for every other section, so the look-ups have something to find.
    for (std::size_t i = 0; i < model.gd.size(); i += 2) {
        TsMaskData m;
        m.ClassName = model.gd[i].ClassName;
        m.PropertyName = i % 4 == 0 ? u"BORDERSMASK" : u"PATTERN";
        m.ImgType = i % 4 == 0 ? itisaBorder : itisaTexture;
        model.ma.push_back(m);
    }
    model.InitConstantIndexes();

    for (std::size_t i = 0; i < model.gd.size(); ++i) {
        const TsGeneralData& d = model.gd[i];
        if (d.BorderIndex != -1 && !model.IsValidImgIndex(d.BorderIndex)) __builtin_trap();
        if (d.TextureNormal != -1 && !model.IsValidImgIndex(d.TextureNormal)) __builtin_trap();
        for (const TsGenState& s : d.Props) {
            if (s.GradientPercent < 0 || s.GradientPercent > 100) __builtin_trap();
            if (s.ImagePercent < 0 || s.ImagePercent > 100) __builtin_trap();
            if (s.Transparency < 0 || s.Transparency > 100) __builtin_trap();
        }
        if (d.States < 2 && !(d.Props[0] == d.Props[1])) __builtin_trap();
        const Integer index = static_cast<Integer>(i);
        if (model.GetSkinIndex(d.ClassName) > index) __builtin_trap();
        model.GetMaskIndex(index, d.ClassName, u"BORDERSMASK");
        model.GetPatternIndex(index, d.ParentClass, u"PATTERN");
    }
    return 0;
}
