// The section painter on framework bitmaps and DCs: the bottom-up work
// bitmaps and parent records give what the portable painter gives, the
// four-corner gradient goes through the system, sections painted into a DC
// and by name, the glyph frames in pixels, the DC fills and strip copies,
// graphic children clipped out, and byte channels of framework bitmaps. The
// skin is the test skin, loaded by a manager from a temporary folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

#include "FrameworkEnvironment.h"
#include "WorkBitmaps.h"
#include "TestSkin.h"
#include "acSectionPaint.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinDraw.h"
#include "TestSkinManager.h"
#include "sSkinManager.h"

namespace fs = std::filesystem;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

constexpr std::uint32_t kSentinel = 0xFF123456u;

using Owned = kestrune_test::OwnedBitmap;
using kestrune_test::Px;


const auto Work = &kestrune_test::FilledWorkBitmap;

// A manager with the test skin chosen; Common is ini text over it.
class SectionPaintTest : public ::testing::Test {
protected:
    void Load(const std::string& Common = {}) {
        std::random_device r;
        std::error_code ec;
        if (!root.empty()) fs::remove_all(root, ec);
        root = fs::temp_directory_path() / ("kestrune-section-" + std::to_string(r()) + "-" + std::to_string(r()));
        skingen::WriteTestSkin(root / "Test");
        if (manager) manager->Free();   // a test may load the skin again with other sections
        manager = kestrune_test::NewTestSkinManager(root, Common);
        ASSERT_GE(manager->GetSkinIndex(u"BUTTON"), 0) << "the test skin did not load";
    }
    void TearDown() override {
        if (manager) manager->Free();
        std::error_code ec;
        if (!root.empty()) fs::remove_all(root, ec);
    }
    Integer Index(const char16_t* Section) const { return manager->GetSkinIndex(Section); }
    const TsGeneralData& Sec(const char16_t* Section) const {
        return manager->gd()[static_cast<std::size_t>(Index(Section))];
    }

    fs::path root;
    TsSkinManager* manager = nullptr;
};

// The whole of a framework bitmap as a top-down image.
TacImage32 Copy(TBitmap* bmp) {
    TacImage32 img(bmp->Width(), bmp->Height());
    for (int y = 0; y < bmp->Height(); ++y)
        for (int x = 0; x < bmp->Width(); ++x) img.At(x, y) = Px(bmp, x, y);
    return img;
}

std::uint32_t Opaque(TColor c) { return OpaquePixel(c); }

}  // namespace

TEST_F(SectionPaintTest, WorkBitmapsAndParentsAsThePortablePainterSees) {
    Load("[PANEL]\r\nTRANSPARENCY=40\r\nGRADIENTPERCENT=50\r\nGRADIENTDATA=255;16711680;100;0;0\r\n");
    // A parent with a pixel per position, and a section painted over part of it.
    Owned parent(Work(50, 40, 0));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) Px(parent.bmp, x, y) = 0xFF000000u | static_cast<std::uint32_t>(x * 5) << 8 | static_cast<std::uint32_t>(y * 6);
    TCacheInfo ci;
    ci.Bmp = parent.bmp;
    ci.X = 6;
    ci.Y = 4;
    ci.Ready = true;
    Owned bmp(Work(30, 20, kSentinel));
    PaintSection(Index(u"PANEL"), u"PANEL", ci, -1, -1, manager, bmp.bmp, TPoint(2, 3), TRect(1, 1, 29, 19), 0);

    TacImage32 parentImage = Copy(parent.bmp);
    TacBits32 pb = parentImage.View();
    TacImage32 want(30, 20, kSentinel);
    TacSectionContext ctx{&manager->Model(), nullptr, nullptr};
    PaintSection(ctx, Index(u"PANEL"), u"PANEL", TacParent{&pb, 6, 4, kNoColor, true}, -1, -1, want.Bits(),
                 TPoint(2, 3), TRect(1, 1, 29, 19), 0);
    EXPECT_EQ(Copy(bmp.bmp), want);
    EXPECT_EQ(Px(bmp.bmp, 0, 0), kSentinel);

    // Wholly transparent: exactly the parent's pixels under R.
    Load("[PANEL]\r\nTRANSPARENCY=100\r\n");
    Owned clear(Work(30, 20, kSentinel));
    PaintSectionBg(Index(u"PANEL"), u"PANEL", ci, kNoColor, -1, -1, manager, clear.bmp, TPoint(2, 3),
                   TRect(0, 0, 30, 20), 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(Px(clear.bmp, x, y), Px(parent.bmp, x + 8, y + 7)) << x << ',' << y;
}

TEST_F(SectionPaintTest, FourCornerGradientsGoThroughTheSystem) {
    // Red at the top-left corner, green in the centre, blue top-right, white
    // bottom-right, black bottom-left.
    Load("[PANEL]\r\nGRADIENTPERCENT=100\r\nGRADIENTDATA=255;0;100;2;0;65280;0;0;2;0;16711680;0;0;2;0;16777215;0;0;2;0;1;0;0;2;0\r\n");
    Owned bmp(Work(41, 41, kSentinel));
    PaintSectionBg(Index(u"PANEL"), u"PANEL", TCacheInfo{}, kNoColor, -1, -1, manager, bmp.bmp, TPoint(),
                   TRect(0, 0, 41, 41), 0);
    auto channel = [&](int x, int y, int shift) { return static_cast<int>((Px(bmp.bmp, x, y) >> shift) & 0xFF); };
    EXPECT_GT(channel(0, 0, 16), 200);    // red top-left
    EXPECT_GT(channel(20, 20, 8), 150);   // green centre
    EXPECT_GT(channel(40, 0, 0), 200);    // blue top-right
    EXPECT_NE(Px(bmp.bmp, 5, 5), kSentinel);
}

TEST_F(SectionPaintTest, SectionsIntoDCsAndByName) {
    Load("[PANEL]\r\nTRANSPARENCY=100\r\n");
    const TsGeneralData& button = Sec(u"BUTTON");
    Owned target(Work(40, 30, kSentinel));
    HDC dc = target->Canvas()->Handle();
    PaintSectionToDC(Index(u"BUTTON"), u"BUTTON", TCacheInfo{}, manager, dc, TPoint(), TRect(10, 5, 35, 25), 0);
    ::GdiFlush();
    EXPECT_EQ(Px(target.bmp, 20, 15) & 0xFFFFFFu, Opaque(button.Color) & 0xFFFFFFu);
    EXPECT_EQ(Px(target.bmp, 5, 15), kSentinel);
    PaintSectionToDC(Index(u"BUTTON"), u"BUTTON", TCacheInfo{}, manager, dc, TPoint(), TRect(-1, 5, 35, 25), 0);
    ::GdiFlush();
    EXPECT_EQ(Px(target.bmp, 5, 15), kSentinel);

    // By name: the alternative name when the first is missing, -1 when both are.
    Owned byName(Work(20, 20, kSentinel));
    EXPECT_EQ(PaintSectionByName(byName.bmp, u"NO SUCH", u"BUTTON", nullptr, 0x102030, TPoint(), manager, 1),
              Index(u"BUTTON"));
    EXPECT_EQ(Px(byName.bmp, 10, 10), Opaque(button.HotColor));
    EXPECT_EQ(PaintSectionByName(byName.bmp, u"NO SUCH", u"NOR THIS", nullptr, 0, TPoint(), manager, 0), -1);
    // A transparent section over a source DC shows what the DC held at the point.
    Owned by(Work(10, 10, kSentinel));
    EXPECT_EQ(PaintSectionByName(by.bmp, u"PANEL", u"", dc, 0, TPoint(20, 15), manager, 0), Index(u"PANEL"));
    EXPECT_EQ(Px(by.bmp, 0, 0) & 0xFFFFFFu, Px(target.bmp, 20, 15) & 0xFFFFFFu);
}

TEST(SectionGlyph, FramesChosenAndDrawn) {
    // Frames of 4 x 3, each a flat colour but for its bottom-left pixel,
    // the key colour.
    const std::uint32_t colours[4] = {0xFF0000A0u, 0xFF00A000u, 0xFFA00000u, 0xFFA0A000u};
    constexpr std::uint32_t key = 0xFF102030u;
    auto glyph = [&](int frames) {
        TBitmap* g = Work(4 * frames, 3, 0);
        for (int f = 0; f < frames; ++f)
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x) Px(g, f * 4 + x, y) = x == 0 && y == 2 ? key : colours[f];
        return g;
    };
    struct Case {
        int frames, state;
        bool down, enabled;
        int frame;
    };
    for (const Case& c : {Case{4, 2, true, true, 3}, Case{3, 2, true, true, 1}, Case{4, 1, false, true, 1},
                          Case{4, 0, true, true, 0}, Case{4, 2, true, false, 0}}) {
        Owned g(glyph(c.frames));
        Owned dst(Work(10, 10, kSentinel));
        PaintGlyph(g.bmp, dst.bmp, TRect(2, 3, 6, 6), c.down, 0, c.state, TsDisabledKind(), c.enabled, c.frames);
        EXPECT_EQ(Px(dst.bmp, 3, 4), colours[c.frame]) << c.frames << " frames, state " << c.state;
        EXPECT_EQ(Px(dst.bmp, 6, 4), kSentinel);
        EXPECT_EQ(Px(dst.bmp, 2, 5), kSentinel);   // the key pixel
    }
    // A 16-colour glyph keeps frame 0 in the hot state.
    Owned g4(glyph(3));
    g4->SetPixelFormat(pf4bit);
    Owned dst4(Work(10, 10, kSentinel));
    PaintGlyph(g4.bmp, dst4.bmp, TRect(0, 0, 4, 3), false, 0, 1, TsDisabledKind(), true, 3);
    Owned as32(New<TBitmap>());
    as32->Assign(g4.bmp);
    as32->SetPixelFormat(pf32bit);
    EXPECT_EQ(Px(dst4.bmp, 1, 1) & 0xFFFFFFu, Px(as32.bmp, 1, 1) & 0xFFFFFFu);
    EXPECT_NE(Px(as32.bmp, 1, 1) & 0xFFFFFFu, Px(as32.bmp, 5, 1) & 0xFFFFFFu);   // frame 1 differs
    // One frame: its bottom-left pixel is the key; disabled and blended, the
    // glyph is mixed half and half.
    Owned one(glyph(1));
    Px(one.bmp, 3, 2) = key;
    Owned dst1(Work(10, 10, kSentinel));
    PaintGlyph(one.bmp, dst1.bmp, TRect(0, 0, 4, 3), false, 0, 1, TsDisabledKind(), true, 1);
    EXPECT_EQ(Px(dst1.bmp, 1, 1), colours[0]);
    EXPECT_EQ(Px(dst1.bmp, 3, 2), kSentinel);
    Owned dstOff(Work(10, 10, 0xFF000000u));
    PaintGlyph(one.bmp, dstOff.bmp, TRect(0, 0, 4, 3), false, 0, 0, TsDisabledKind{dkBlended}, false, 0);
    EXPECT_EQ(Px(dstOff.bmp, 1, 1), 0xFF000050u);
    EXPECT_EQ(Px(dstOff.bmp, 0, 2), 0xFF000000u);
}

TEST(SectionDC, FillsStripsAndGraphicChildren) {
    Owned bmp(Work(20, 20, kSentinel));
    HDC dc = bmp->Canvas()->Handle();
    FillSolidFrame(dc, TRect(2, 2, 18, 18), 1, 2, 3, 4, 0x0000FF);
    FillSolidRect(dc, TRect(8, 8, 10, 10), 0x00FF00);
    ::GdiFlush();
    EXPECT_EQ(Px(bmp.bmp, 10, 3) & 0xFFFFFFu, 0xFF0000u);   // top strip, two rows
    EXPECT_EQ(Px(bmp.bmp, 10, 4), kSentinel);
    EXPECT_EQ(Px(bmp.bmp, 16, 10) & 0xFFFFFFu, 0xFF0000u);  // right strip, three columns
    EXPECT_EQ(Px(bmp.bmp, 14, 10), kSentinel);
    EXPECT_EQ(Px(bmp.bmp, 9, 9) & 0xFFFFFFu, 0x00FF00u);

    Owned copy(Work(20, 20, 0xFF000000u));
    CopyBorderStrips(copy->Canvas()->Handle(), TRect(0, 0, 16, 16), dc, TPoint(2, 2), 2);
    ::GdiFlush();
    EXPECT_EQ(Px(copy.bmp, 8, 1), Px(bmp.bmp, 10, 3));
    EXPECT_EQ(Px(copy.bmp, 8, 8), 0xFF000000u);

    // Graphic children leave the clip region; windowed ones and hidden ones do not.
    auto* parent = New<TWinControl>(nullptr);
    auto* graphic = New<TGraphicControl>(parent);
    graphic->SetParent(parent);
    graphic->SetBounds(5, 5, 4, 4);
    auto* hidden = New<TGraphicControl>(parent);
    hidden->SetParent(parent);
    hidden->SetBounds(12, 12, 3, 3);
    hidden->SetVisible(false);
    Owned surface(Work(20, 20, 0));
    HDC mem = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ old = ::SelectObject(mem, surface->Handle());
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    ExcludeGraphicChildren(mem, parent, 1, 2);   // moved by x 2, y 1
    ASSERT_EQ(::GetClipRgn(mem, rgn), 1);
    EXPECT_FALSE(::PtInRegion(rgn, 8, 7));
    EXPECT_TRUE(::PtInRegion(rgn, 6, 7));
    EXPECT_TRUE(::PtInRegion(rgn, 15, 14));
    acGraphicSkipClass = u"TGraphicControl";
    HDC mem2 = ::CreateCompatibleDC(nullptr);
    ExcludeGraphicChildren(mem2, parent, 1, 2);
    EXPECT_EQ(::GetClipRgn(mem2, rgn), 0);   // nothing excluded: no clip region
    acGraphicSkipClass.clear();
    ::DeleteObject(rgn);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteDC(mem2);
    parent->Free();
}

TEST(SectionDC, ChannelsOfFrameworkBitmaps) {
    Owned b32(Work(3, 2, 0x11223344u));
    Owned b8(New<TBitmap>());
    b8->SetPixelFormat(pf8bit);
    b8->SetSize(3, 2);
    CopyChannel(b32.bmp, b8.bmp, 1, true);
    EXPECT_EQ(static_cast<std::uint8_t*>(b8->ScanLine(1))[2], 0x33);
    static_cast<std::uint8_t*>(b8->ScanLine(0))[0] = 0x7F;
    CopyChannel(b32.bmp, b8.bmp, 3, false);
    EXPECT_EQ(Px(b32.bmp, 0, 0), 0x7F223344u);
}

// The bit-button glyph measurements: a list image wins over the glyph when
// its index is in the list; frame counts below 1 count as 1; the pressed
// look moves the glyph by (1, 1), the drop-down arrow lifts it.
namespace {
struct FakeList {
    int count, width, height;
    int Count() const { return count; }
    int Width() const { return width; }
    int Height() const { return height; }
};
struct FakeGlyph {
    int width, height;
    int Width() const { return width; }
    int Height() const { return height; }
};
struct FakeBitButton {
    const FakeList* list = nullptr;
    int index = 0;
    const FakeGlyph* glyph = nullptr;
    int frames = 1;
    Byte pressed = 0;
    int state = 0;
    bool dropDown = false;
    const FakeList* Images() const { return list; }
    int ImageIndex() const { return index; }
    const FakeGlyph* Glyph() const { return glyph; }
    int NumGlyphs() const { return frames; }
    Byte PressedState() const { return pressed; }
    int CurrentState() const { return state; }
    bool DropDown() const { return dropDown; }
    TPoint GlyphPos() const { return TPoint(10, 20); }
};
}  // namespace

TEST(BitButtonGlyph, SizesAndPlace) {
    const FakeList list{3, 48, 16}, empty{0, 48, 16};
    const FakeGlyph glyph{64, 12}, flat{30, -2};
    struct Case { const FakeList* list; int index; const FakeGlyph* glyph; int frames; bool has; int w, h; };
    const Case cases[] = {
        {&list, 2, &glyph, 3, true, 16, 16},      // the list's image
        {&list, 3, &glyph, 4, false, 16, 12},     // index past the list: the glyph
        {&list, -1, &glyph, 1, false, 64, 12},
        {&empty, 0, &glyph, 0, false, 64, 12},    // no frames count as one
        {nullptr, 0, &flat, 2, false, 15, 0},     // a glyph without height
        {nullptr, 0, nullptr, 2, false, 0, 0},
        {&list, 0, nullptr, 0, true, 48, 16},
    };
    for (const Case& c : cases) {
        FakeBitButton b;
        b.list = c.list, b.index = c.index, b.glyph = c.glyph, b.frames = c.frames;
        EXPECT_EQ(HasListImage(b), c.has) << c.index << ' ' << c.frames;
        EXPECT_EQ(BtnGlyphWidth(b), c.w) << c.index << ' ' << c.frames;
        EXPECT_EQ(BtnGlyphHeight(b), c.h) << c.index << ' ' << c.frames;
    }
    FakeBitButton b;
    b.glyph = &glyph;
    b.frames = 2;
    b.pressed = 7;
    TRect r;
    BtnGlyphRect(b, r);
    EXPECT_EQ(r, TRect(10, 20, 42, 32));
    b.state = 2;
    BtnGlyphRect(b, r);
    EXPECT_EQ(r, TRect(11, 21, 43, 33));
    b.state = 0, b.dropDown = true;
    BtnGlyphRect(b, r);
    EXPECT_EQ(r, TRect(10, 15, 42, 27));
    EXPECT_EQ(BitBtnPressed(b), 7);
}
