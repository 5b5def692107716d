// Loading a skin's option text through the skin model, on texts made to
// stress it, against peers of the same size or kind in the same run:
//   BM_Chain/D     D sections, each inheriting from the one before it
//                  (PARENTCLASS), a chain D deep (3000: about 90 KB of text);
//   BM_Flat/D      the peer: D sections of the same text size, no inheritance;
//   BM_Many/N      one of our own skins (images included) with N extra
//                  sections of about 100 bytes each (20000: about 2 MB);
//   BM_OwnSkin     the peer: the same skin of ours alone.
// Each load is the whole model load (images, patterns, sections, fixed
// indexes) from the text's lines. The summary gives chain / flat per depth
// (about 1 when inheritance costs time linear in the text) and the many
// sections / our skin.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "OwnSkins.h"
#include "SkinPackage.h"
#include "acSkinImages.h"
#include "acSkinPack.h"
#include "sStyleSimply.h"

namespace {

TColor SameColour(TColor c) { return c; }

// A skin without files of its own.
class TNoFiles : public TacSkinSource {
public:
    bool ReadFile(const String&, std::vector<Byte>&) const override { return false; }
};

std::string ChainText(int depth, bool inherit) {
    std::string text = "[GLOBALINFO]\r\nVERSION=7.6\r\n[S0]\r\nCOLOR=255\r\nFONTCOLOR=65280\r\nGLOW=2\r\n";
    // The same text size without inheritance: a key the loader does not read.
    const char* key = inherit ? "PARENTCLASS=S" : "COMMENTARY=S";
    for (int i = 1; i < depth; ++i)
        text += "[S" + std::to_string(i) + "]\r\n" + key + std::to_string(i - 1) + "\r\n";
    return text;
}

// Our first skin, unpacked once.
struct OwnSkin {
    std::string Options;
    TacSkinConvertor* Convertor = New<TacSkinConvertor>();
    OwnSkin() {
        const skingen::SkinPackage skin = skingen::BuildSkin(skingen::OwnThemes().front());
        Options = skin.OptionsText();
        const std::vector<std::uint8_t> packed = skingen::PackSkin(skin);
        Convertor->PackedData = New<TMemoryStream>();
        Convertor->PackedData->WriteBuffer(packed.data(), static_cast<Integer>(packed.size()));
        ExtractPackedData(Convertor);
    }
};

const OwnSkin& TheOwnSkin() {
    static const OwnSkin* skin = new OwnSkin();
    return *skin;
}

std::string ManyText(int extra) {
    std::string text = TheOwnSkin().Options;
    for (int i = 0; i < extra; ++i)
        text += "[EXTRA" + std::to_string(i) +
                "]\r\nPARENTCLASS=BUTTON\r\nCOLOR=16711680\r\nFONTCOLOR=255\r\nGRADIENTDATA=255;16711680;100;0;0\r\n";
    return text;
}

void Load(benchmark::State& state, const std::string& text, const TacSkinSource& source) {
    const String unicode = AnsiToString(text);
    for (auto _ : state) {
        CountedWork counted;
        TStringList lines;
        lines.SetText(unicode);
        TacSkinModel model;
        model.ColorToRGB = TacColorToRGBFunc::OfFunction(&SameColour);
        model.LoadSkin(lines, source);
        benchmark::DoNotOptimize(model.gd.data());
    }
    state.counters["KB"] = static_cast<double>(text.size()) / 1024;
}

void BM_Chain(benchmark::State& state) { Load(state, ChainText(int(state.range(0)), true), TNoFiles()); }
void BM_Flat(benchmark::State& state) { Load(state, ChainText(int(state.range(0)), false), TNoFiles()); }
void BM_Many(benchmark::State& state) {
    Load(state, ManyText(int(state.range(0))), TacPackedSource(*TheOwnSkin().Convertor));
}
void BM_OwnSkin(benchmark::State& state) {
    Load(state, TheOwnSkin().Options, TacPackedSource(*TheOwnSkin().Convertor));
}

BENCHMARK(BM_Chain)->Arg(250)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->Apply(FixedIterations);
BENCHMARK(BM_Flat)->Arg(250)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->Apply(FixedIterations);
BENCHMARK(BM_Many)->Arg(20000)->Unit(benchmark::kMillisecond)->Apply(FixedIterations);
BENCHMARK(BM_OwnSkin)->Unit(benchmark::kMillisecond)->Apply(FixedIterations);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        auto t = [&](const std::string& name) { return Measured(v, name); };
        for (int depth : {250, 1000, 3000}) {
            const double chain = t("BM_Chain/" + std::to_string(depth)), flat = t("BM_Flat/" + std::to_string(depth));
            std::printf("ratio chain %d deep / %d sections without inheritance %.2f\n", depth, depth,
                        flat > 0 ? chain / flat : 0.0);
        }
        const double own = t("BM_OwnSkin");
        std::printf("ratio our skin with 20000 extra sections / our skin %.2f\n",
                    own > 0 ? t("BM_Many/20000") / own : 0.0);
    });
    benchmark::Shutdown();
    return 0;
}
