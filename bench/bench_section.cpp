// The section painter on one of our skins against one pixman OVER composite
// of the same area (the cost of writing those pixels once): a 75 x 25 button
// in its three states over the form's image, and an 800 x 600 form
// background (its gradient, texture and border mask). The summary gives
// painter / pixman per case (3 or less is the goal).
#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include <pixman.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Classes.h"
#include "OwnSkins.h"
#include "SkinPackage.h"
#include "acSectionPaint.h"
#include "acSkinImages.h"

namespace {

TColor SameColour(TColor c) { return c; }

// The first of our skins, loaded through the skin model from a folder of its own.
struct Skin {
    TacSkinModel model;
    Skin() {
        std::random_device r;
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("kes-bench-skin-" + std::to_string(r()));
        skingen::WriteSkinFolder(skingen::BuildSkin(skingen::OwnThemes().front()), folder);
        model.ColorToRGB = TacColorToRGBFunc::OfFunction(&SameColour);
        model.SystemFrameWidth = 4;
        TStringList ini;
        ini.LoadFromFile(Utf8ToString((folder / "Options.dat").string()));
        const String path = Utf8ToString(folder.string()) + Char(std::filesystem::path::preferred_separator);
        model.SkinData->SkinPath = path;
        model.LoadSkin(ini, TacFolderSource(path));
        std::filesystem::remove_all(folder);
    }
    TacSectionContext Ctx() const { return TacSectionContext{&model, nullptr, nullptr}; }
};

const Skin& TheSkin() {
    static const Skin* skin = new Skin();
    return *skin;
}

struct Target {
    int w, h;
    std::vector<std::uint32_t> pixels;
    TacBits32 bits;
    Target(int width, int height, std::uint32_t fill)
        : w(width), h(height), pixels(std::size_t(width) * height, fill),
          bits{reinterpret_cast<std::uint8_t*>(pixels.data()), width, height, std::ptrdiff_t(width) * 4} {}
};

void Record(benchmark::State& state, int w, int h) {
    state.SetItemsProcessed(state.iterations() * std::int64_t(w) * h);
}

void BM_Form(benchmark::State& state) {
    const Skin& skin = TheSkin();
    const Integer form = skin.model.GetSkinIndex(u"FORM");
    Target t(800, 600, 0);
    for (auto _ : state) {
        CountedWork counted;
        PaintSection(skin.Ctx(), form, u"FORM", TacParent{}, -1, -1, t.bits, TPoint(), TRect(0, 0, 800, 600), 0);
        benchmark::ClobberMemory();
    }
    Record(state, 800, 600);
}

void BM_Button(benchmark::State& state) {
    const Skin& skin = TheSkin();
    static Target form(800, 600, 0);
    static const bool painted = [&] {
        PaintSection(skin.Ctx(), skin.model.GetSkinIndex(u"FORM"), u"FORM", TacParent{}, -1, -1, form.bits, TPoint(),
                     TRect(0, 0, 800, 600), 0);
        return true;
    }();
    (void)painted;
    const Integer button = skin.model.GetSkinIndex(u"BUTTON");
    const TacParent parent{&form.bits, 40, 30, kNoColor, true};
    Target t(75, 25, 0);
    const int stateIndex = int(state.range(0));
    for (auto _ : state) {
        CountedWork counted;
        PaintSection(skin.Ctx(), button, u"BUTTON", parent, -1, -1, t.bits, TPoint(), TRect(0, 0, 75, 25), stateIndex);
        benchmark::ClobberMemory();
    }
    Record(state, 75, 25);
}

// One OVER composite of a W x H source with per-pixel alpha.
void BM_PixmanOver(benchmark::State& state) {
    const int w = int(state.range(0)), h = int(state.range(1));
    std::vector<std::uint32_t> src(std::size_t(w) * h), dst(src.size(), 0xFF406080u);
    std::uint32_t seed = 12345;
    for (auto& p : src) {
        seed = seed * 1664525u + 1013904223u;
        const std::uint32_t a = seed >> 24, c = a ? (seed >> 8) % (a + 1) : 0;
        p = (a << 24) | (c << 16) | (c << 8) | c;
    }
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, src.data(), w * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, dst.data(), w * 4);
    for (auto _ : state) {
        CountedWork counted;
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    Record(state, w, h);
}

BENCHMARK(BM_Button)->Arg(0)->Arg(1)->Arg(2)->Apply(FixedIterations);
BENCHMARK(BM_Form)->Apply(FixedIterations);
BENCHMARK(BM_PixmanOver)->Args({75, 25})->Args({800, 600})->Apply(FixedIterations);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        auto t = [&](const std::string& name) { return Measured(v, name); };
        const double small = t("BM_PixmanOver/75/25"), large = t("BM_PixmanOver/800/600");
        for (int s = 0; s < 3; ++s) {
            const double b = t("BM_Button/" + std::to_string(s));
            std::printf("ratio button 75x25 state %d / pixman OVER %.2f\n", s, small > 0 ? b / small : 0.0);
        }
        std::printf("ratio form 800x600 / pixman OVER %.2f\n", large > 0 ? t("BM_Form") / large : 0.0);
    });
    benchmark::Shutdown();
    return 0;
}
