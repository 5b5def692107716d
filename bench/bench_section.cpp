// The section painter on each of our skins against one pixman OVER composite
// of the same area (the cost of writing those pixels once): a 75 x 25 button
// in its three states over the form's image, and an 800 x 600 form
// background (its gradient, texture and border mask). The summary gives
// painter / pixman per case (1 or less is the goal). pixman is a yardstick
// here, not a second painter: there is no output of its to compare, so the
// program prints a hash of each painted result instead (equal hashes before
// and after a change of the painter mean equal pixels).
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

// One of our skins, loaded through the skin model from a folder of its own.
struct Skin {
    TacSkinModel model;
    explicit Skin(const skingen::Theme& theme) {
        std::random_device r;
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("kes-bench-skin-" + std::to_string(r()));
        skingen::WriteSkinFolder(skingen::BuildSkin(theme), folder);
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

const Skin& SkinAt(int index) {
    static std::map<int, const Skin*> skins;
    const Skin*& slot = skins[index];
    if (!slot) slot = new Skin(skingen::OwnThemes()[std::size_t(index)]);
    return *slot;
}

int SkinCount() { return int(skingen::OwnThemes().size()); }

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

// FNV-1a of the pixels.
std::uint64_t Hash(const std::vector<std::uint32_t>& pixels) {
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t p : pixels) h = (h ^ p) * 1099511628211ull;
    return h;
}

std::map<std::string, std::uint64_t>& Hashes() {
    static std::map<std::string, std::uint64_t> hashes;
    return hashes;
}

void PaintForm(const Skin& skin, Target& t) {
    PaintSection(skin.Ctx(), skin.model.GetSkinIndex(u"FORM"), u"FORM", TacParent{}, -1, -1, t.bits, TPoint(),
                 TRect(0, 0, t.w, t.h), 0);
}

void BM_Form(benchmark::State& state) {
    const Skin& skin = SkinAt(int(state.range(0)));
    const Integer form = skin.model.GetSkinIndex(u"FORM");
    Target t(800, 600, 0);
    for (auto _ : state) {
        CountedWork counted;
        PaintSection(skin.Ctx(), form, u"FORM", TacParent{}, -1, -1, t.bits, TPoint(), TRect(0, 0, 800, 600), 0);
        benchmark::ClobberMemory();
    }
    Hashes()["BM_Form/" + std::to_string(state.range(0))] = Hash(t.pixels);
    Record(state, 800, 600);
}

void BM_Button(benchmark::State& state) {
    const int skinIndex = int(state.range(0));
    const Skin& skin = SkinAt(skinIndex);
    static std::map<int, Target*> forms;
    Target*& form = forms[skinIndex];
    if (!form) {
        form = new Target(800, 600, 0);
        PaintForm(skin, *form);
    }
    const Integer button = skin.model.GetSkinIndex(u"BUTTON");
    const TacParent parent{&form->bits, 40, 30, kNoColor, true};
    Target t(75, 25, 0);
    const int stateIndex = int(state.range(1));
    for (auto _ : state) {
        CountedWork counted;
        PaintSection(skin.Ctx(), button, u"BUTTON", parent, -1, -1, t.bits, TPoint(), TRect(0, 0, 75, 25), stateIndex);
        benchmark::ClobberMemory();
    }
    Hashes()["BM_Button/" + std::to_string(skinIndex) + "/" + std::to_string(stateIndex)] = Hash(t.pixels);
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

void Buttons(benchmark::internal::Benchmark* b) {
    for (int skin = 0; skin < SkinCount(); ++skin)
        for (int s = 0; s < 3; ++s) b->Args({skin, s});
    FixedIterations(b);
}

void Forms(benchmark::internal::Benchmark* b) {
    for (int skin = 0; skin < SkinCount(); ++skin) b->Arg(skin);
    FixedIterations(b);
}

BENCHMARK(BM_Button)->Apply(Buttons);
BENCHMARK(BM_Form)->Apply(Forms);
BENCHMARK(BM_PixmanOver)->Args({75, 25})->Args({800, 600})->Apply(FixedIterations);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RunAndPrintRatios([](const std::map<std::string, double>& v) {
        auto t = [&](const std::string& name) { return Measured(v, name); };
        const double small = t("BM_PixmanOver/75/25"), large = t("BM_PixmanOver/800/600");
        for (int skin = 0; skin < SkinCount(); ++skin) {
            const char* name = skingen::OwnThemes()[std::size_t(skin)].Name.c_str();
            for (int s = 0; s < 3; ++s) {
                const double b = t("BM_Button/" + std::to_string(skin) + "/" + std::to_string(s));
                std::printf("ratio %-8s button 75x25 state %d / pixman OVER %.2f\n", name, s, small > 0 ? b / small : 0.0);
            }
            std::printf("ratio %-8s form 800x600 / pixman OVER %.2f\n", name,
                        large > 0 ? t("BM_Form/" + std::to_string(skin)) / large : 0.0);
        }
    });
    std::printf("\npainted output (pixman OVER is a yardstick with no output to compare; equal hashes mean equal "
                "pixels):\n");
    for (const auto& [name, hash] : Hashes()) std::printf("  %-22s %016llx\n", name.c_str(), (unsigned long long)hash);
    benchmark::Shutdown();
    return 0;
}
