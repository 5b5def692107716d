// The skin state of skinned objects on real windows: the command table, the
// update nesting, the cache drop down a tree, the background protocol between
// parents and children (pixel read-back), the copies of a cache that leave
// children out, and the section look-ups of transparent controls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <thread>

#include "ExtCtrls.h"
#include "FrameworkEnvironment.h"
#include "TempFolder.h"
#include "TypInfo.h"
#include "sCommonDataWin.h"
#include "sSectionPaint.h"
#include "sSkinDraw.h"
#include "sGraphUtils.h"
#include "sPanel.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

// ---------------------------------------------------------------------------
// The test skin: flat sections with the transparencies, gradients and border
// widths the cases need.

// A 24-bit BMP file; Pixel(x, y) gives 0x00RRGGBB (grey without one).
std::vector<Byte> SolidBmp(int w, int h, const std::function<std::uint32_t(int, int)>& Pixel = {}) {
    const int stride = (w * 3 + 3) & ~3;
    const auto dataSize = static_cast<std::uint32_t>(stride * h);
    std::vector<Byte> out(54 + dataSize, 0x80);
    if (Pixel)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = Pixel(x, y);
                const std::size_t at = 54 + static_cast<std::size_t>((h - 1 - y) * stride + x * 3);
                out[at] = static_cast<Byte>(p), out[at + 1] = static_cast<Byte>(p >> 8),
                out[at + 2] = static_cast<Byte>(p >> 16);
            }
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<Byte>(v >> (8 * i));
    };
    std::fill(out.begin(), out.begin() + 54, Byte{0});
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    out[26] = 1;
    out[28] = 24;
    put32(34, dataSize);
    return out;
}

// Colours as the skin ini writes them (0x00BBGGRR, decimal).
constexpr TColor kPlainColor = 0x00102030;

const char kSkinIni[] =
    "[GLOBALINFO]\r\nVERSION=7.5\r\nCOLOR=8421504\r\n"
    "[FORM]\r\nCOLOR=6307872\r\nGRADIENTPERCENT=50\r\nGRADIENTDATA=16777215;0;100;0;0\r\n"   // a gradient
    "[PLAIN]\r\nCOLOR=1056816\r\nSTATES=2\r\n"               // a flat colour
    "[WHITE]\r\nCOLOR=16777215\r\n"
    "[CLEAR]\r\nTRANSPARENCY=100\r\n"
    "[QUARTER]\r\nCOLOR=0\r\nTRANSPARENCY=25\r\n"
    "[FONTY]\r\nCOLOR=255\r\nGIVEOWNFONT=1\r\n"
    "[NOSTATES]\r\nSTATES=0\r\nGIVEOWNFONT=1\r\n"
    "[WIDE]\r\nBORDERSMASK=!B.BMP!1!0!0!10!1!11!1!1\r\n"
    "[EVEN]\r\nBORDERSMASK=!B.BMP!1!0!0!10!1!10!1!1\r\n"
    "[GROUPBOX]\r\nBORDERSMASK=!B.BMP!1!0!0!3!3!3!3!1\r\n"
    "[GLOWING]\r\nGLOW=1\r\nGLOWMARGIN=4\r\n"
    // K.BMP: two 6 x 6 frames (blue, then red) with key pixels in the
    // top-left corners and on the top sides; not drawn in state 0.
    "[FRAMED]\r\nCOLOR=1056816\r\nHOTCOLOR=1056816\r\nBORDERSMASK=!K.BMP!2!0!0!2!2!2!2!2\r\n"
    // M.BMP: a blue 6 x 6 image over its mask, white (keep what lies below)
    // but for a black first column (show the image).
    "[MIXED]\r\nCOLOR=1056816\r\nBORDERSMASK=!M.BMP!1!1!0!2!2!2!2!0\r\n";

// The pixels of K.BMP.
std::uint32_t FramedPixel(int x, int y) {
    if ((x % 6 == 0 && y == 0) || (x % 6 == 3 && y == 0)) return 0xFF00FF;
    return x < 6 ? 0x0000C0 : 0xC00000;
}

// ---------------------------------------------------------------------------
// Skinned test objects: each owns a skin state, runs the shared first steps
// before its own handling and logs the skin commands it gets.

struct Logged {
    std::vector<Word> Commands;
    int Count(Word c) const { return static_cast<int>(std::count(Commands.begin(), Commands.end(), c)); }
};

template <class Base>
class Skinned : public Base {
public:
    explicit Skinned(TComponent* AOwner, bool Cache = true) : Base(AOwner), SkinData(New<TsCtrlSkinData>(this, Cache)) {}
    ~Skinned() override { SkinData->Free(); }
    void WndProc(TMessage& m) override {
        if (m.Msg == SkinCommandMessage) {
            Log.Commands.push_back(SkinCommandOf(m.WParam));
            HandleCommonMessage(m, SkinData);
            return;   // private commands do not reach the default handling
        }
        if (HandleCommonMessage(m, SkinData)) return;
        Base::WndProc(m);
    }
    TsCtrlSkinData* SkinData;
    Logged Log;
};

class TSkinnedPanel : public Skinned<TCustomControl> {
public:
    KES_CLASS_NAME(TSkinnedPanel)
    using Skinned::Skinned;
    TsCtrlSkinData* GetSkinData() const { return SkinData; }
};
class TSkinnedGraphic : public Skinned<TGraphicControl> {
public:
    KES_CLASS_NAME(TSkinnedGraphic)
    using Skinned::Skinned;
};
class TSkinnedForm : public Skinned<TForm> {
public:
    KES_CLASS_NAME(TSkinnedForm)
    using Skinned::Skinned;
};

// A skinned parent without a colour of its own: answers command 21 with "no colour".
class TNoColorParent : public TCustomControl {
public:
    KES_CLASS_NAME(TNoColorParent)
    using TCustomControl::TCustomControl;
    void WndProc(TMessage& m) override {
        if (m.Msg == SkinCommandMessage) {
            const Word c = SkinCommandOf(m.WParam);
            m.Result = c == AC_CTRLHANDLED ? 1 : c == AC_GETCONTROLCOLOR ? kNoColor : 0;
            return;
        }
        TCustomControl::WndProc(m);
    }
};

void PublishSkinData() {
    static bool done = false;
    if (done) return;
    done = true;
    TPropInfo info;
    info.Name = u"SkinData";
    info.Kind = TTypeKind::tkClass;
    info.GetObj = [](TObject* o) -> TObject* { return static_cast<TSkinnedPanel*>(o)->GetSkinData(); };
    RegisterProp<TSkinnedPanel>(u"TSkinnedPanel", std::move(info));
}

std::uint32_t& Px(TBitmap* bmp, int x, int y) { return static_cast<std::uint32_t*>(bmp->ScanLine(y))[x]; }
// A TColor (0x00BBGGRR) as the pixel word of a 32-bit DIB (0x00RRGGBB).
std::uint32_t Word32(TColor c) {
    const auto v = static_cast<std::uint32_t>(c);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}
void FillRect32(TBitmap* bmp, const TRect& r, std::uint32_t word) {
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x) Px(bmp, x, y) = word;
}
std::uint32_t Rgb(std::uint32_t word) { return word & 0x00FFFFFF; }

LRESULT Command(HWND wnd, Word command, Word flag = 0, LPARAM lParam = 0) {
    return SendSkinCommand(wnd, command, lParam, flag);
}

class CommonDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        ASSERT_EQ(DefaultManager, nullptr);
        PublishSkinData();
        const auto skinDir = skins.Path() / "T";
        std::filesystem::create_directories(skinDir);
        std::ofstream(skinDir / "Options.dat", std::ios::binary) << kSkinIni;
        const auto bmp = SolidBmp(24, 24);
        std::ofstream(skinDir / "B.BMP", std::ios::binary)
            .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
        const auto framed = SolidBmp(12, 6, FramedPixel);
        std::ofstream(skinDir / "K.BMP", std::ios::binary)
            .write(reinterpret_cast<const char*>(framed.data()), static_cast<std::streamsize>(framed.size()));
        const auto mixed = SolidBmp(6, 12, [](int x, int y) -> std::uint32_t {
            return y < 6 ? 0x0000C0 : x == 0 ? 0 : 0xFFFFFF;
        });
        std::ofstream(skinDir / "M.BMP", std::ios::binary)
            .write(reinterpret_cast<const char*>(mixed.data()), static_cast<std::streamsize>(mixed.size()));
        manager = New<TsSkinManager>(Application);
        manager->SetSkinDirectory(skins.Path().u16string());
        manager->SetSkinName(u"T");
        ASSERT_TRUE(manager->SkinData()->Active);
        ASSERT_GE(manager->GetSkinIndex(u"CLEAR"), 0);

        form = New<TSkinnedForm>(Application);
        form->SetBounds(0, 0, 200, 150);
        form->HandleNeeded();
        Section(form, u"FORM");
    }
    void TearDown() override {
        if (form) form->Free();
        if (manager) manager->Free();
        EXPECT_EQ(DefaultManager, nullptr);
    }
    static void Section(TControl* c, const char16_t* name) {
        if (auto* p = dynamic_cast<TSkinnedPanel*>(c)) p->SkinData->SetSkinSection(name);
        if (auto* g = dynamic_cast<TSkinnedGraphic*>(c)) g->SkinData->SetSkinSection(name);
        if (auto* f = dynamic_cast<TSkinnedForm*>(c)) f->SkinData->SetSkinSection(name);
    }
    template <class T = TSkinnedPanel>
    T* Add(TWinControl* parent, const char16_t* section, TRect bounds) {
        auto* c = New<T>(form);
        c->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
        c->SetParent(parent);
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
        if (section) Section(c, section);
        return c;
    }
    // The form's cache: one colour, another one in Mark.
    void FillFormCache(std::uint32_t word, const TRect& Mark, std::uint32_t markWord) {
        form->SkinData->InitCacheBmp();
        TBitmap* cache = form->SkinData->FCacheBmp;
        FillRect32(cache, TRect{0, 0, cache->Width(), cache->Height()}, word);
        FillRect32(cache, Mark, markWord);
        form->SkinData->BGChanged = false;
    }

    harness::TempFolder skins{"kestrune-cd-"};
    TsSkinManager* manager = nullptr;
    TSkinnedForm* form = nullptr;
};

// ---------------------------------------------------------------------------
// The command table

TEST_F(CommonDataTest, EveryCommandOfTheTableGetsItsAnswerAndEffect) {
    auto* panel = Add(form, u"PLAIN", TRect{10, 10, 60, 40});
    auto* child = Add(panel, u"PLAIN", TRect{2, 2, 12, 12});
    TsCommonData& sd = *panel->SkinData;
    const HWND wnd = panel->Handle();
    auto* other = New<TsSkinManager>(nullptr);
    const auto mine = reinterpret_cast<LPARAM>(manager);
    const auto theirs = reinterpret_cast<LPARAM>(other);

    // Announcements from another manager change nothing.
    for (Word c : {AC_SETNEWSKIN, AC_REMOVESKIN, AC_REFRESH}) {
        sd.BGChanged = false;
        sd.FUpdating = true;
        acSkinAnnouncing = true;
        EXPECT_EQ(Command(wnd, c, 0, theirs), 0) << c;
        EXPECT_GE(sd.SkinIndex, 0) << c;
        EXPECT_FALSE(sd.BGChanged) << c;
        EXPECT_TRUE(sd.FUpdating) << c;
        EXPECT_TRUE(acSkinAnnouncing) << c;
    }
    other->Free();

    // Announcements from the own manager.
    sd.SkinIndex = -1;
    EXPECT_EQ(Command(wnd, AC_SETNEWSKIN, 0, mine), 0);
    EXPECT_EQ(sd.SkinIndex, manager->GetSkinIndex(u"PLAIN"));
    EXPECT_FALSE(acSkinAnnouncing);
    sd.InitCacheBmp();
    EXPECT_EQ(Command(wnd, AC_REMOVESKIN, 0, mine), 0);
    EXPECT_EQ(sd.SkinIndex, -1);
    EXPECT_TRUE(sd.FUpdating);
    EXPECT_EQ(sd.FCacheBmp->Width(), 0);
    EXPECT_EQ(Command(wnd, AC_SETNEWSKIN, 0, mine), 0);
    sd.BGChanged = false;
    EXPECT_EQ(Command(wnd, AC_REFRESH, 0, mine), 0);
    EXPECT_TRUE(sd.BGChanged);
    EXPECT_FALSE(sd.FUpdating);

    struct Case {
        Word Cmd;
        Word Flag;
        LRESULT Answer;
        std::function<bool()> Effect;
    };
    const std::vector<Case> cases = {
        {AC_GETPROVIDER, 0, 0, nullptr},
        {AC_CHILDPAINTED, 0, 0, nullptr},
        {AC_ENDPARENTUPDATE, 0, 0, nullptr},
        {AC_CTRLHANDLED, 0, 1, nullptr},
        {AC_SETUPDATING, 1, 0, [&] { return sd.FUpdating; }},
        {AC_SETUPDATING, 0, 0, [&] { return !sd.FUpdating; }},
        {AC_URGENTPAINT, 1, 0, [&] { return sd.UrgentPainting; }},
        {AC_URGENTPAINT, 0, 0, [&] { return !sd.UrgentPainting; }},
        {AC_BEFOREMENUBORDER, 0, 0, nullptr},
        {AC_STOPFADING, 0, 0, nullptr},
        {AC_PREPARING, 0, 0, nullptr},
        {AC_PREPARECACHE, 0, 0, nullptr},
        {AC_UPDATING, 0, 0, nullptr},
        {AC_CONTROLLOADED, 0, 0, nullptr},
        {AC_GETSERVICEINT, 0, 0, nullptr},
        {AC_UPDATECHILDREN, 0, 0, nullptr},
        {AC_MOUSEENTER, 0, 0, nullptr},
        {AC_MOUSELEAVE, 0, 0, nullptr},
        {AC_BEGINUPDATE, 0, 0, nullptr},
        {AC_ENDUPDATE, 0, 0, nullptr},
        {AC_BEFORESCROLL, 0, 0, nullptr},
        {AC_AFTERSCROLL, 0, 0, nullptr},
        {AC_GETAPPLICATION, 0, reinterpret_cast<LRESULT>(static_cast<TObject*>(Application)), nullptr},
        {AC_GETSKINSTATE, 0, reinterpret_cast<LRESULT>(static_cast<TObject*>(&sd)), nullptr},
        {AC_GETCONTROLCOLOR, 0, kPlainColor, nullptr},
        // A flat section that is not transparent need not be repainted on moving.
        {AC_MUSTBEREPAINTED, 0, 0, nullptr},
        {200, 0, 0, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Command(wnd, c.Cmd, c.Flag), c.Answer) << c.Cmd << "/" << c.Flag;
        if (c.Effect) {
            EXPECT_TRUE(c.Effect()) << c.Cmd << "/" << c.Flag;
        }
    }

    // Flags and queries.
    sd.BGChanged = false;
    sd.FUpdating = false;
    EXPECT_EQ(Command(wnd, AC_ISBGCHANGED), 0);
    EXPECT_EQ(Command(wnd, AC_SETBGCHANGED), 0);
    EXPECT_TRUE(sd.BGChanged);
    EXPECT_EQ(Command(wnd, AC_ISBGCHANGED), 1);
    sd.HalfVisible = false;
    EXPECT_EQ(Command(wnd, AC_GETHALFVISIBLE), 0);
    Command(wnd, AC_SETHALFVISIBLE);
    EXPECT_EQ(Command(wnd, AC_GETHALFVISIBLE), 1);

    // Pointers in lParam.
    Integer index = -1;
    EXPECT_EQ(Command(wnd, AC_GETSKININDEX, 0, reinterpret_cast<LPARAM>(&index)), 1);
    EXPECT_EQ(index, manager->GetSkinIndex(u"PLAIN"));
    EXPECT_EQ(Command(wnd, AC_GETSKININDEX, 0, 0), 0);   // nowhere to write
    EXPECT_EQ(Command(wnd, AC_GETBG, 0, 0), 0);
    TBackgroundInfo info;
    EXPECT_EQ(Command(wnd, AC_GETBG, 0, reinterpret_cast<LPARAM>(&info)), 1);
    EXPECT_EQ(info.BgType, btFill);
    EXPECT_EQ(info.Color, kPlainColor);
    int disabled = 1;
    EXPECT_EQ(Command(wnd, AC_GETDISKIND, 0, reinterpret_cast<LPARAM>(&disabled)), 0);
    EXPECT_EQ(disabled, 1);
    TacSectionRecord section{0, u"fonty"};
    Command(wnd, AC_SETSECTION, 0, reinterpret_cast<LPARAM>(&section));
    EXPECT_EQ(sd.SkinSection(), u"FONTY");
    EXPECT_EQ(sd.SkinIndex, manager->GetSkinIndex(u"FONTY"));
    Command(wnd, AC_SETSECTION, 0, 0);
    EXPECT_EQ(sd.SkinSection(), u"FONTY");

    // Printing.
    const HDC dc = ::CreateCompatibleDC(nullptr);
    EXPECT_EQ(Command(wnd, AC_PRINTING, 0, reinterpret_cast<LPARAM>(dc)), 1);
    EXPECT_EQ(sd.PrintDC, dc);
    EXPECT_NE(sd.CtrlSkinState & ACS_PRINTING, 0);
    EXPECT_EQ(Command(wnd, AC_PRINTING, 0, 0), 1);
    EXPECT_EQ(sd.PrintDC, nullptr);
    EXPECT_EQ(sd.CtrlSkinState & ACS_PRINTING, 0);
    ::DeleteDC(dc);

    // The plain-background state: a query, and a recompute passed to the children.
    sd.CtrlSkinState = 0x0400;
    EXPECT_EQ(Command(wnd, AC_CTRLSKINSTATE, 0, 0), 0x0400);
    child->Log.Commands.clear();
    EXPECT_EQ(Command(wnd, AC_CTRLSKINSTATE, 0, 1), 1);
    EXPECT_EQ(child->Log.Count(AC_CTRLSKINSTATE), 1);

    // Moved: the stale mark, and a redraw; the cache drop is the next test's.
    sd.BGChanged = false;
    EXPECT_EQ(Command(wnd, AC_SETCHANGEDIFNECESSARY, 1), 0);
    EXPECT_FALSE(sd.BGChanged);   // a flat section keeps its image when moved
}

TEST_F(CommonDataTest, CommandsWithAddressesFromAnotherThreadAreIgnored) {
    auto* panel = Add(form, u"PLAIN", TRect{10, 10, 60, 40});
    const HWND wnd = panel->Handle();
    Integer index = -1;
    TacSectionRecord section{0, u"FONTY"};
    std::atomic<bool> done{false};
    LRESULT answers[2] = {-5, -5};
    std::thread sender([&] {
        answers[0] = Command(wnd, AC_GETSKININDEX, 0, reinterpret_cast<LPARAM>(&index));
        answers[1] = Command(wnd, AC_SETSECTION, 0, reinterpret_cast<LPARAM>(&section));
        done = true;
    });
    while (!done) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(1);
    }
    sender.join();
    EXPECT_EQ(index, -1);
    EXPECT_EQ(answers[0], 0);
    EXPECT_EQ(answers[1], 0);
    EXPECT_EQ(panel->SkinData->SkinSection(), u"PLAIN");
    // The same from this thread is answered.
    EXPECT_EQ(Command(wnd, AC_GETSKININDEX, 0, reinterpret_cast<LPARAM>(&index)), 1);
    EXPECT_EQ(index, manager->GetSkinIndex(u"PLAIN"));
}

TEST_F(CommonDataTest, GuardsAgainstMissingCacheOwnerAndAddress) {
    auto* bare = New<Skinned<TCustomControl>>(form, false);   // no cache
    bare->SetParent(form);
    bare->SkinData->SetSkinSection(u"PLAIN");
    EXPECT_EQ(bare->Perform(SkinCommandMessage, MakeSkinWParam(AC_REMOVESKIN), reinterpret_cast<LPARAM>(manager)), 0);
    EXPECT_EQ(bare->SkinData->SkinIndex, -1);

    // A skin state whose owner is no control.
    auto* owner = New<TComponent>(nullptr);
    auto* sd = New<TsCommonData>(owner, true);
    TMessage move{WM_MOVE, 0, 0, 0};
    EXPECT_FALSE(HandleCommonMessage(move, sd));
    TMessage size{WM_SIZE, 0, 0, 0};
    EXPECT_FALSE(HandleCommonMessage(size, sd));
    TMessage index{SkinCommandMessage, MakeSkinWParam(AC_GETSKININDEX), 0, 0};
    EXPECT_FALSE(HandleSkinCommand(index, sd));
    sd->Free();
    owner->Free();
}

TEST_F(CommonDataTest, TheHotStateKeepsAGraphicControlActive) {
    auto* graphic = Add<TSkinnedGraphic>(form, u"PLAIN", TRect{5, 5, 25, 25});
    manager->SetActiveGraphControl(graphic);
    graphic->SkinData->FMouseAbove = true;
    manager->SetActiveGraphControl(nullptr);
    EXPECT_EQ(manager->ActiveGraphControl(), graphic);
    graphic->SkinData->FMouseAbove = false;
    manager->SetActiveGraphControl(nullptr);
    EXPECT_EQ(manager->ActiveGraphControl(), nullptr);
}

// The glow windows as the shared mouse handling asks for them.
struct GlowCalls {
    int Shown = 0, Hidden = 0, Cleared = 0;
    String Section;
    Integer Margin = -1;
    TRect R;
};
GlowCalls gGlow;

TEST_F(CommonDataTest, TheMouseShowsAGlowAndLeavingClearsIt) {
    if (!manager->Effects()->AllowGlowing()) GTEST_SKIP() << "no layered windows";
    gGlow = GlowCalls{};
    acGlowHooks.ShowGlow = [](const TRect& R, const TRect&, const String& Section, TsSkinManager*, HWND, Byte,
                              Integer Margin, const String&) -> Integer {
        ++gGlow.Shown;
        gGlow.Section = Section;
        gGlow.Margin = Margin;
        gGlow.R = R;
        return 5;
    };
    acGlowHooks.HideGlow = [](Integer) { ++gGlow.Hidden; };
    acGlowHooks.ClearGlows = [](bool) { ++gGlow.Cleared; };
    form->Show();
    auto* panel = Add(form, u"GLOWING", TRect{10, 10, 60, 40});
    TsCommonData& sd = *panel->SkinData;
    panel->Perform(CM_MOUSEENTER, 0, 0);
    EXPECT_TRUE(sd.FMouseAbove);
    EXPECT_EQ(manager->ActiveControl(), panel->Handle());
    EXPECT_EQ(gGlow.Shown, 1);
    EXPECT_EQ(sd.GlowID, 5);
    EXPECT_EQ(gGlow.Section, u"GLOWING");
    EXPECT_EQ(gGlow.Margin, 4);
    RECT r{};
    ::GetWindowRect(panel->Handle(), &r);
    EXPECT_EQ(gGlow.R, TRect(r));
    ::SendMessageW(panel->Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(50, 30));   // a size hides it
    EXPECT_EQ(gGlow.Hidden, 1);
    EXPECT_EQ(sd.GlowID, -1);
    panel->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(sd.FMouseAbove);
    EXPECT_EQ(gGlow.Cleared, 1);
    acGlowHooks = TacGlowHooks{};
}

// ---------------------------------------------------------------------------
// Updates and the cache

TEST_F(CommonDataTest, NestedUpdatesTellTheOwnerOnceAtTheEnd) {
    auto* panel = Add(form, u"PLAIN", TRect{10, 10, 60, 40});
    TsCommonData& sd = *panel->SkinData;
    panel->Log.Commands.clear();
    sd.BeginUpdate();
    sd.BeginUpdate();
    EXPECT_TRUE(sd.FUpdating);
    EXPECT_NE(sd.CtrlSkinState & ACS_LOCKED, 0);
    sd.EndUpdate();
    EXPECT_FALSE(sd.FUpdating);
    EXPECT_EQ(panel->Log.Count(AC_ENDUPDATE), 0);
    sd.EndUpdate();
    EXPECT_EQ(panel->Log.Count(AC_BEGINUPDATE), 2);
    EXPECT_EQ(panel->Log.Count(AC_ENDUPDATE), 1);
    EXPECT_EQ(sd.CtrlSkinState & ACS_LOCKED, 0);
}

TEST_F(CommonDataTest, DroppingTheCacheGoesDownTheTree) {
    auto* panel = Add(form, u"PLAIN", TRect{10, 10, 60, 40});
    auto* child = Add(panel, u"PLAIN", TRect{2, 2, 12, 12});
    for (auto* c : {panel, child}) {
        c->SkinData->InitCacheBmp();
        c->SkinData->BGChanged = false;
        c->SkinData->FUpdating = false;
        ASSERT_GT(c->SkinData->FCacheBmp->Width(), 0);
    }
    Command(panel->Handle(), AC_CLEARCACHE);
    for (auto* c : {panel, child}) {
        EXPECT_EQ(c->SkinData->FCacheBmp->Width(), 0);
        EXPECT_EQ(c->SkinData->FCacheBmp->Height(), 0);
        EXPECT_TRUE(c->SkinData->BGChanged);
        EXPECT_TRUE(c->SkinData->FUpdating);
    }
}

// ---------------------------------------------------------------------------
// The background protocol

TEST_F(CommonDataTest, ATransparentPanelPassesTheQuestionToItsParent) {
    constexpr std::uint32_t kBase = 0x00112233, kMark = 0x00C0FFEE;
    auto* panel = Add(form, u"CLEAR", TRect{40, 30, 140, 110});
    auto* child = Add(panel, u"PLAIN", TRect{5, 6, 15, 16});
    // The child's place in the form's image is marked.
    FillFormCache(kBase, TRect{45, 36, 55, 46}, kMark);

    TCacheInfo ci;
    child->SkinData->GetParentCache(ci);
    EXPECT_TRUE(ci.Ready);
    ASSERT_EQ(ci.Bmp, form->SkinData->FCacheBmp);
    // The panel's place in the form's image; the child adds its own.
    EXPECT_EQ(ci.X, 40);
    EXPECT_EQ(ci.Y, 30);
    EXPECT_EQ(Rgb(Px(ci.Bmp, ci.X + child->Left(), ci.Y + child->Top())), kMark);

    // Drawn for the asker: the form's pixels under the child land in its DC.
    TBitmap* out = CreateWorkBitmap(10, 10);
    FillRect32(out, TRect{0, 0, 10, 10}, 0);
    TBackgroundInfo info;
    info.Offset = TPoint{child->Left(), child->Top()};
    info.R = TRect{0, 0, 10, 10};
    info.DC = out->Canvas()->Handle();
    info.PleaseDraw = true;
    EXPECT_TRUE(QueryControlBackground(info, panel, true));
    EXPECT_EQ(info.BgType, btCache);
    ::GdiFlush();
    for (auto [x, y] : {std::pair{0, 0}, {9, 9}, {5, 3}}) EXPECT_EQ(Rgb(Px(out, x, y)), kMark) << x << "," << y;
    out->Free();
}

TEST_F(CommonDataTest, APlainParentAnswersWithAColour) {
    auto* panel = Add(form, u"PLAIN", TRect{40, 30, 140, 110});
    auto* child = Add(panel, u"PLAIN", TRect{5, 6, 15, 16});
    TCacheInfo ci;
    child->SkinData->GetParentCache(ci);
    EXPECT_FALSE(ci.Ready);
    EXPECT_EQ(ci.Bmp, nullptr);
    EXPECT_EQ(ci.FillColor, kPlainColor);
}

TEST_F(CommonDataTest, AnUnskinnedParentIsPaintedUnderTheChild) {
    constexpr TColor kPanelColor = 0x000080FF;
    auto* plain = New<TPanel>(form);
    plain->SetBounds(20, 20, 160, 120);
    plain->SetParent(form);
    plain->SetColor(kPanelColor);
    plain->HandleNeeded();
    auto* panel = Add(plain, u"CLEAR", TRect{30, 30, 110, 90});
    auto* child = Add(panel, u"PLAIN", TRect{5, 6, 15, 16});

    TBitmap* out = CreateWorkBitmap(10, 10);
    FillRect32(out, TRect{0, 0, 10, 10}, 0);
    TBackgroundInfo info;
    info.Offset = TPoint{child->Left(), child->Top()};
    info.R = TRect{0, 0, 10, 10};
    info.DC = out->Canvas()->Handle();
    info.PleaseDraw = true;
    QueryControlBackground(info, panel, true);
    ::GdiFlush();
    EXPECT_EQ(Rgb(Px(out, 4, 4)), Word32(kPanelColor));
    out->Free();
}

TEST_F(CommonDataTest, TransparencyMixesOneWayInBothAnswers) {
    auto* white = Add(form, u"WHITE", TRect{10, 10, 110, 110});
    auto* quarter = Add(white, u"QUARTER", TRect{5, 5, 50, 50});
    const TColor expected = 0x00404040;   // 25 % of white over black
    EXPECT_EQ(quarter->SkinData->GetBGColor(0, nullptr), expected);
    EXPECT_EQ(Command(quarter->Handle(), AC_GETCONTROLCOLOR), expected);

    // A parent without a colour of its own lends its Color.
    auto* noColor = New<TNoColorParent>(form);
    noColor->SetBounds(120, 10, 60, 60);
    noColor->SetParent(form);
    noColor->SetColor(0x00336699);
    noColor->HandleNeeded();
    auto* clear = Add(noColor, u"CLEAR", TRect{5, 5, 20, 20});
    EXPECT_EQ(Command(clear->Handle(), AC_GETCONTROLCOLOR), 0x00336699);
    EXPECT_EQ(clear->SkinData->GetBGColor(0, nullptr), 0x00336699);
}

// ---------------------------------------------------------------------------
// Copies of the cache

TEST_F(CommonDataTest, CopyingTheCacheLeavesOpaqueAndGraphicChildrenOut) {
    constexpr std::uint32_t kCache = 0x00336699, kBefore = 0x00010203;
    auto* panel = Add(form, u"PLAIN", TRect{10, 10, 70, 50});
    auto* opaque = Add(panel, u"PLAIN", TRect{5, 5, 15, 15});
    opaque->SetControlStyle(opaque->ControlStyle() | csOpaque);
    Add<TSkinnedGraphic>(panel, u"PLAIN", TRect{30, 5, 40, 15});
    Add(panel, u"PLAIN", TRect{5, 25, 15, 35});   // windowed, not opaque: painted over
    panel->SkinData->InitCacheBmp();
    TBitmap* cache = panel->SkinData->FCacheBmp;
    FillRect32(cache, TRect{0, 0, 60, 40}, kCache);

    TBitmap* out = CreateWorkBitmap(60, 40);
    FillRect32(out, TRect{0, 0, 60, 40}, kBefore);
    CopyCacheExcludingControls(panel, panel->SkinData, TRect{0, 0, 60, 40}, TRect{0, 0, 60, 40},
                               out->Canvas()->Handle());
    ::GdiFlush();
    EXPECT_EQ(Rgb(Px(out, 7, 7)), kBefore);
    EXPECT_EQ(Rgb(Px(out, 35, 10)), kBefore);
    EXPECT_EQ(Rgb(Px(out, 7, 27)), kCache);
    EXPECT_EQ(Rgb(Px(out, 50, 30)), kCache);
    EXPECT_EQ(Rgb(Px(out, 15, 15)), kCache);   // just outside the opaque child
    out->Free();
}

TEST_F(CommonDataTest, CopyingForAWindowKeepsOnlyAGroupBoxInside) {
    constexpr std::uint32_t kCache = 0x00336699, kBefore = 0x00010203;
    const HWND wnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 100, 80, 60, nullptr, nullptr,
                                       nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    // A group box, and a frame whose style has the same three low bits.
    ::CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 5, 5, 30, 30, wnd, nullptr, nullptr,
                      nullptr);
    ::CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 45, 5, 30, 30, wnd, nullptr,
                      nullptr, nullptr);
    TsCommonData sd(nullptr, true);
    sd.FCacheBmp->SetSize(80, 60);
    FillRect32(sd.FCacheBmp, TRect{0, 0, 80, 60}, kCache);
    TBitmap* out = CreateWorkBitmap(80, 60);
    FillRect32(out, TRect{0, 0, 80, 60}, kBefore);
    CopyCacheExcludingWindows(wnd, &sd, TRect{0, 0, 80, 60}, TRect{0, 0, 80, 60}, out->Canvas()->Handle());
    ::GdiFlush();
    EXPECT_EQ(Rgb(Px(out, 20, 20)), kCache);    // inside the group box
    EXPECT_EQ(Rgb(Px(out, 6, 20)), kBefore);    // its left frame (3 pixels of the skin's mask)
    EXPECT_EQ(Rgb(Px(out, 20, 33)), kBefore);   // its bottom frame
    EXPECT_EQ(Rgb(Px(out, 60, 20)), kBefore);   // the other frame is left out whole
    EXPECT_EQ(Rgb(Px(out, 40, 50)), kCache);
    out->Free();
    ::DestroyWindow(wnd);
}

// ---------------------------------------------------------------------------
// Sections

TEST_F(CommonDataTest, SectionNamesAreStoredUpperCaseAndSetOnce) {
    auto* panel = Add(form, u"PLAIN", TRect{10, 10, 60, 40});
    TsCommonData& sd = *panel->SkinData;
    form->SkinData->BGChanged = false;   // a parent that is painting would hold the commands back
    panel->Log.Commands.clear();
    sd.SetSkinSection(u"");
    EXPECT_EQ(sd.SkinSection(), u"UNKNOWN");
    EXPECT_EQ(panel->Log.Commands, (std::vector<Word>{AC_REMOVESKIN}));
    sd.FUpdating = false;
    sd.SetSkinSection(u"plain");
    EXPECT_EQ(sd.SkinSection(), u"PLAIN");
    EXPECT_EQ(sd.SkinIndex, manager->GetSkinIndex(u"PLAIN"));
    ASSERT_FALSE(panel->Log.Commands.empty());
    EXPECT_EQ(panel->Log.Commands.back(), AC_REFRESH);
    const auto sent = panel->Log.Commands.size();
    sd.SetSkinSection(u"PLAIN");
    EXPECT_EQ(panel->Log.Commands.size(), sent);

    // Without a name the kind decides, else the class name.
    auto* scroll = New<TSkinnedPanel>(form);
    scroll->SkinData->COC = COC_TsScrollBox;
    scroll->SkinData->Loaded();
    EXPECT_EQ(scroll->SkinData->SkinSection(), u"PANEL_LOW");
    auto* other = New<TSkinnedPanel>(form);
    other->SkinData->Loaded();
    EXPECT_EQ(other->SkinData->SkinSection(), u"TSKINNEDPANEL");
}

TEST_F(CommonDataTest, WideBordersMakeTheBackgroundComplex) {
    auto* wide = Add(form, u"WIDE", TRect{10, 10, 60, 40});
    auto* even = Add(form, u"EVEN", TRect{10, 50, 60, 80});
    EXPECT_TRUE(wide->SkinData->HasComplexBG());    // 10 + 11 > 20
    EXPECT_FALSE(even->SkinData->HasComplexBG());   // 10 + 10
    EXPECT_EQ(wide->SkinData->MaxBorderWidth(), 11);
}

TEST_F(CommonDataTest, ChildrenAnchoredRightOrBottomAreNotToldOfASize) {
    auto* panel = Add(form, u"FORM", TRect{10, 10, 110, 90});   // a gradient
    auto* left = Add<TSkinnedGraphic>(panel, u"PLAIN", TRect{5, 5, 15, 15});
    auto* right = Add<TSkinnedGraphic>(panel, u"PLAIN", TRect{80, 5, 90, 15});
    right->SetAnchors(TAnchors{akTop, akRight});
    auto* bottom = Add<TSkinnedGraphic>(panel, u"PLAIN", TRect{5, 60, 15, 70});
    bottom->SetAnchors(TAnchors{akLeft, akBottom});
    for (auto* g : {left, right, bottom}) g->Log.Commands.clear();
    ::SendMessageW(panel->Handle(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 80));
    EXPECT_EQ(left->Log.Count(AC_SETCHANGEDIFNECESSARY), 1);
    EXPECT_EQ(right->Log.Count(AC_SETCHANGEDIFNECESSARY), 0);
    EXPECT_EQ(bottom->Log.Count(AC_SETCHANGEDIFNECESSARY), 0);
}

TEST_F(CommonDataTest, ATransparentParentLetsTheNextParentGiveTheFont) {
    auto* giver = Add(form, u"FONTY", TRect{10, 10, 180, 130});
    auto* clear = Add(giver, u"CLEAR", TRect{10, 10, 150, 100});
    auto* child = Add(clear, u"PLAIN", TRect{5, 5, 25, 25});
    EXPECT_EQ(GetParentSkinIndex(child, -7, manager, 0), manager->GetSkinIndex(u"FONTY"));
    EXPECT_EQ(GetParentSkinIndex(clear, -7, manager, 0), manager->GetSkinIndex(u"FONTY"));
    auto* plain = Add(form, u"PLAIN", TRect{10, 10, 50, 50});
    auto* inPlain = Add(plain, u"PLAIN", TRect{5, 5, 25, 25});
    EXPECT_EQ(GetParentSkinIndex(inPlain, -7, manager, 1), -7);   // gives no font of its own

    // A section without states reads its normal look.
    auto* none = Add(form, u"NOSTATES", TRect{10, 10, 50, 50});
    auto* inNone = Add(none, u"PLAIN", TRect{5, 5, 25, 25});
    EXPECT_EQ(GetParentSkinIndex(inNone, -7, manager, 1), manager->GetSkinIndex(u"NOSTATES"));
}

// The skinned panel publishes its skin state: a child reads the section from
// it by name even while the panel has no window to ask.
TEST_F(CommonDataTest, ASkinnedPanelWithoutAWindowGivesItsFontByItsPublishedSkinData) {
    sPanelInitialization();
    auto* holder = New<TPanel>(form);   // on no parent: it never gets a window
    auto* panel = New<TsPanel>(form);
    panel->SetParent(holder);
    panel->SkinData()->SetSkinManager(manager);
    panel->SkinData()->SetSkinSection(u"FONTY");
    panel->SkinData()->UpdateIndexes();
    ASSERT_FALSE(panel->HandleAllocated());
    ASSERT_EQ(panel->SkinData()->SkinIndex, manager->GetSkinIndex(u"FONTY"));
    auto* child = New<TSkinnedGraphic>(form);
    child->SetParent(panel);
    EXPECT_EQ(GetParentSkinIndex(child, -7, manager, 0), manager->GetSkinIndex(u"FONTY"));
    child->Free();
    panel->Free();
    holder->Free();
}

}  // namespace

// ---------------------------------------------------------------------------
// Painting a control's section and frame from its skin state

TEST_F(CommonDataTest, AMaskNotForTheNormalStateIsLeftOutOfStateZero) {
    auto* panel = Add(form, u"FRAMED", TRect{40, 30, 70, 50});
    FillFormCache(0x00112233, TRect{}, 0);
    TCacheInfo ci;
    panel->SkinData->GetParentCache(ci);
    TBitmap* bmp = CreateWorkBitmap(30, 20);
    PaintControlSection(panel->SkinData, ci, 0, bmp, TPoint(), TRect(0, 0, 30, 20), true);
    EXPECT_EQ(Rgb(Px(bmp, 1, 0)), Word32(kPlainColor));
    EXPECT_EQ(Rgb(Px(bmp, 29, 19)), Word32(kPlainColor));
    PaintControlSection(panel->SkinData, ci, 1, bmp, TPoint(), TRect(0, 0, 30, 20), true);
    EXPECT_EQ(Rgb(Px(bmp, 1, 0)), 0xC00000u);    // the second frame
    EXPECT_EQ(Rgb(Px(bmp, 29, 19)), 0xC00000u);
    EXPECT_EQ(Rgb(Px(bmp, 15, 10)), Word32(kPlainColor));   // no centre
    bmp->Free();
}

TEST_F(CommonDataTest, PaintSkinControlFramesTheCacheAndGivesTheClientArea) {
    constexpr std::uint32_t kBase = 0x00112233;
    TBitmap* out = CreateWorkBitmap(30, 20);
    const HDC dc = out->Canvas()->Handle();
    const TRect r(0, 0, 30, 20);

    // Without a border mask: a frame on the DC only, the client area as given.
    auto* plain = Add(form, u"PLAIN", TRect{10, 10, 40, 30});
    FillRect32(out, r, 0);
    TRect client(1, 2, 3, 4);
    PaintSkinControl(dc, r, 0, client, 0, plain->SkinData);
    ::GdiFlush();
    EXPECT_EQ(client, TRect(1, 2, 3, 4));
    EXPECT_EQ(Rgb(Px(out, 0, 0)), 0u);
    PaintSkinControl(dc, r, 3, client, 0, plain->SkinData);
    ::GdiFlush();
    EXPECT_EQ(client, TRect(1, 2, 3, 4));
    EXPECT_EQ(Rgb(Px(out, 0, 0)), Word32(kPlainColor));
    EXPECT_EQ(Rgb(Px(out, 2, 17)), Word32(kPlainColor));
    EXPECT_EQ(Rgb(Px(out, 3, 3)), 0u);

    // With one: the frame in the cache; the client area inside the mask's
    // borders, or inside BorderWidth with the bands between in the colour.
    auto* framed = Add(form, u"FRAMED", TRect{40, 30, 70, 50});
    FillFormCache(kBase, TRect{}, 0);
    FillRect32(out, r, 0);
    PaintSkinControl(dc, r, 0, client, 9, framed->SkinData);   // past the last state
    EXPECT_EQ(client, TRect(2, 2, 28, 18));
    TBitmap* cache = framed->SkinData->FCacheBmp;
    ASSERT_NE(cache, nullptr);
    ASSERT_EQ(cache->Width(), 30);
    EXPECT_EQ(Rgb(Px(cache, 1, 0)), 0xC00000u);
    ::GdiFlush();
    EXPECT_EQ(Rgb(Px(out, 1, 0)), 0u);   // nothing on the DC without a BorderWidth
    PaintSkinControl(dc, r, 5, client, 1, framed->SkinData);
    EXPECT_EQ(client, TRect(5, 5, 25, 15));
    EXPECT_EQ(Rgb(Px(cache, 3, 3)), Word32(kPlainColor));
    EXPECT_EQ(Rgb(Px(cache, 26, 16)), Word32(kPlainColor));
    ::GdiFlush();
    EXPECT_EQ(Rgb(Px(out, 1, 0)), 0xC00000u);                 // the strips reach the DC
    EXPECT_EQ(Rgb(Px(out, 4, 10)), Word32(kPlainColor));
    EXPECT_EQ(Rgb(Px(out, 10, 10)), 0u);                       // the inside does not
    PaintSkinControl(dc, TRect(0, 0, 8, 6), 5, client, 1, framed->SkinData);
    EXPECT_EQ(client, TRect(5, 5, 5, 5));                      // never inside out

    // A mask with a mask part mixes with the parent's image copied first.
    auto* mixed = Add(form, u"MIXED", TRect{40, 30, 70, 50});
    FillFormCache(kBase, TRect{}, 0);
    PaintSkinControl(dc, r, 0, client, 0, mixed->SkinData);
    cache = mixed->SkinData->FCacheBmp;
    ASSERT_NE(cache, nullptr);
    // Mask white: what lies below (the mask rule's 255 keeps 255/256 of it).
    for (int shift : {0, 8, 16})
        EXPECT_NEAR((Px(cache, 1, 1) >> shift) & 0xFF, (kBase >> shift) & 0xFF, 1u) << shift;
    EXPECT_EQ(Rgb(Px(cache, 0, 5)), 0x0000C0u);    // mask black: the image
    out->Free();
}
