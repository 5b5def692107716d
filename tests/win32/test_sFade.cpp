// Fades of skinned controls on real windows: the weights of the steps as the
// owner receives them, halved fades, the cases that repaint at once instead,
// a control disabled during its fade, frames the owner refuses (painted on
// its window and read back), and timers freed inside their own tick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TempFolder.h"
#include "sFade.h"
#include "sGraphUtils.h"
#include "sSkinManager.h"

namespace {

const char kSkinIni[] =
    "[GLOBALINFO]\r\nVERSION=7.5\r\nCOLOR=8421504\r\n"
    "[FADER]\r\nCOLOR=8421504\r\nFADINGENABLED=1\r\nFADINGITERATIONS=10\r\n"
    "[FADE5]\r\nCOLOR=8421504\r\nFADINGENABLED=1\r\nFADINGITERATIONS=5\r\n"
    "[STILL]\r\nCOLOR=8421504\r\nFADINGITERATIONS=10\r\n";

// Pixel words of a 32-bit DIB (0x00RRGGBB).
constexpr std::uint32_t kOld = 0x00FF00FF;   // red and blue full, green empty
constexpr std::uint32_t kNew = 0x0000FF00;   // the other way round

std::uint32_t& Px(TBitmap* bmp, int x, int y) { return static_cast<std::uint32_t*>(bmp->ScanLine(y))[x]; }

// A frame pixel of the weight A of the old look: each channel is
// (old * A + new * (255 - A) + 127) shr 8.
std::uint32_t Blend(std::uint32_t oldWord, std::uint32_t newWord, int a) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int o = static_cast<int>((oldWord >> shift) & 0xFF), n = static_cast<int>((newWord >> shift) & 0xFF);
        out |= static_cast<std::uint32_t>((o * a + n * (255 - a) + 127) >> 8) << shift;
    }
    return out;
}

// A skinned control with a fade field: its cache shows Look, it records the
// fade frames it gets (taking them or not) and stops its fade on command 16.
class TFadePanel : public TCustomControl {
public:
    KES_CLASS_NAME(TFadePanel)
    TFadePanel(TComponent* AOwner, bool Cache) : TCustomControl(AOwner), SkinData(New<TsCtrlSkinData>(this, Cache)) {}
    ~TFadePanel() override { SkinData->Free(); }
    void BeforeDestruction() override {
        StopFading(FadeTimer, SkinData);   // before the owned components go
        TCustomControl::BeforeDestruction();
    }
    void WndProc(TMessage& m) override {
        if (m.Msg == SkinCommandMessage) {
            const Word c = SkinCommandOf(m.WParam);
            Commands.push_back(c);
            switch (c) {
            case AC_STOPFADING:
                StopFading(FadeTimer, SkinData);
                return;
            case AC_PREPARECACHE:
                if (SkinData->FCacheBmp && SkinData->BGChanged) {
                    SkinData->InitCacheBmp();
                    TBitmap* cache = SkinData->FCacheBmp;
                    for (int y = 0; y < cache->Height(); ++y)
                        for (int x = 0; x < cache->Width(); ++x) Px(cache, x, y) = Look;
                    SkinData->BGChanged = false;
                }
                return;
            case AC_UPDATING: {
                auto* frame = reinterpret_cast<TBitmap*>(m.LParam);
                Frames.push_back(Px(frame, frame->Width() / 2, frame->Height() / 2) & 0xFFFFFF);
                if (OnFrame) OnFrame(this, frame);
                m.Result = TakeFrames ? 1 : 0;
                return;
            }
            default:
                HandleCommonMessage(m, SkinData);
                return;
            }
        }
        if (m.Msg == WM_PAINT) ++Paints;
        if (HandleCommonMessage(m, SkinData)) return;
        TCustomControl::WndProc(m);
    }
    int Count(Word c) const { return static_cast<int>(std::count(Commands.begin(), Commands.end(), c)); }

    TsCtrlSkinData* SkinData;
    TsFadeTimer* FadeTimer = nullptr;
    std::uint32_t Look = kOld;
    bool TakeFrames = true;
    void (*OnFrame)(TFadePanel*, TBitmap*) = nullptr;
    std::vector<Word> Commands;
    std::vector<std::uint32_t> Frames;
    int Paints = 0;
};

class FadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        ASSERT_EQ(DefaultManager, nullptr);
        const auto skinDir = skins.Path() / "F";
        std::filesystem::create_directories(skinDir);
        std::ofstream(skinDir / "Options.dat", std::ios::binary) << kSkinIni;
        manager = New<TsSkinManager>(Application);
        manager->SetSkinDirectory(skins.Path().u16string());
        manager->SetSkinName(u"F");
        ASSERT_TRUE(manager->SkinData()->Active);
        form = New<TForm>(Application);
        form->SetBounds(40, 40, 200, 150);
        form->Show();
    }
    void TearDown() override {
        if (form) form->Free();
        if (manager) manager->Free();
        harness::PumpUntilIdle(20, 500);
        EXPECT_EQ(LivingFadeTimers(), 0);
        EXPECT_EQ(DefaultManager, nullptr);
    }
    // A control showing the old look in its cache, ready to change.
    TFadePanel* Add(const char16_t* section, bool Cache = true) {
        auto* p = New<TFadePanel>(form, Cache);
        p->SetBounds(10, 10, 60, 30);
        p->SetParent(form);
        p->HandleNeeded();
        p->SkinData->SetSkinSection(section);
        EXPECT_TRUE(p->SkinData->Skinned());
        p->Perform(SkinCommandMessage, MakeSkinWParam(AC_PREPARECACHE), 0);
        harness::PumpUntilIdle(20, 500);
        p->Commands.clear();
        p->Paints = 0;
        return p;
    }
    // The look changes to the new one, with a fade where one may run.
    static void ChangeLook(TFadePanel* p, bool Halve, bool Allow = true) {
        p->Look = kNew;
        p->SkinData->BGChanged = false;
        DoChangePaint(p->FadeTimer, p->SkinData, Halve, Allow, fdUp);
    }
    static bool RunOut(TFadePanel* p) {
        return harness::PumpUntil([&] { return p->Count(AC_STOPFADING) > 0; }, 3000);
    }

    harness::TempFolder skins{"kestrune-fade-"};
    TsSkinManager* manager = nullptr;
    TForm* form = nullptr;
};

std::vector<std::uint32_t> Expected(std::initializer_list<int> weights) {
    std::vector<std::uint32_t> out;
    for (int a : weights) out.push_back(Blend(kOld, kNew, a));
    return out;
}

// Every frame side by side, for a look at the fade.
void SaveStrip(const std::vector<std::uint32_t>& frames, const wchar_t* name) {
    const int cell = 16;
    auto* strip = CreateWorkBitmap(cell * static_cast<int>(frames.size()), cell);
    for (int y = 0; y < cell; ++y)
        for (std::size_t i = 0; i < frames.size(); ++i)
            for (int x = 0; x < cell; ++x) Px(strip, static_cast<int>(i) * cell + x, y) = frames[i];
    strip->SaveToFile((std::filesystem::path(harness::ModuleFolder()) / name).u16string());
    strip->Free();
}

}  // namespace

TEST_F(FadeTest, TenStepsGiveTheOldLookFallingWeightsThenStop) {
    const Integer fader = manager->GetSkinIndex(u"FADER");
    ASSERT_GE(fader, 0);
    ASSERT_TRUE(manager->gd()[static_cast<std::size_t>(fader)].FadingEnabled);
    auto* p = Add(u"FADER");
    ChangeLook(p, false);
    ASSERT_NE(p->FadeTimer, nullptr);
    EXPECT_EQ(LivingFadeTimers(), 1);
    EXPECT_TRUE(p->FadeTimer->Enabled());
    EXPECT_EQ(p->FadeTimer->Interval(), 10u);
    EXPECT_EQ(p->FadeTimer->Iterations, 10);
    EXPECT_EQ(p->FadeTimer->Owner(), p);
    EXPECT_EQ(p->Count(AC_PREPARECACHE), 1);   // the cache took the new look
    EXPECT_EQ(Px(p->FadeTimer->BmpFrom, 0, 0) & 0xFFFFFF, kOld);

    ASSERT_TRUE(RunOut(p));
    EXPECT_EQ(p->Frames, Expected({230, 204, 179, 153, 127, 102, 76, 51, 25, 0}));
    // The ten frames, then the stop on the next tick, and nothing after it.
    ASSERT_EQ(p->Commands.size(), 12u);
    EXPECT_EQ(p->Commands.back(), AC_STOPFADING);
    EXPECT_EQ(p->FadeTimer, nullptr);
    harness::PumpUntilIdle(30, 500);
    EXPECT_EQ(LivingFadeTimers(), 0);
    EXPECT_EQ(p->Frames.size(), 10u);
    EXPECT_EQ(p->Paints, 0);   // the owner took every frame
    SaveStrip(p->Frames, L"fade-steps.bmp");
}

TEST_F(FadeTest, HalvedFadesTakeHalfTheSteps) {
    auto* p = Add(u"FADE5");
    ChangeLook(p, true);
    ASSERT_NE(p->FadeTimer, nullptr);
    EXPECT_EQ(p->FadeTimer->Iterations, 2);
    ASSERT_TRUE(RunOut(p));
    EXPECT_EQ(p->Frames, Expected({127, 0}));
}

TEST_F(FadeTest, AChangeThatCannotFadeRepaintsAtOnce) {
    struct Case {
        const char* Name;
        const char16_t* Section;
        bool Cache;
        bool Loading;
        bool Allow;
        bool Ending;
    };
    const Case cases[] = {
        {"skin loading", u"FADER", true, true, true, false},
        {"no cache", u"FADER", false, false, true, false},
        {"section without fading", u"STILL", true, false, true, false},
        {"animation not allowed", u"FADER", true, false, false, false},
        {"session ending", u"FADER", true, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto* p = Add(c.Section, c.Cache);
        acSkinLoading = c.Loading;
        acSessionEnding = c.Ending;
        ChangeLook(p, false, c.Allow);
        acSkinLoading = false;
        acSessionEnding = false;
        EXPECT_EQ(p->FadeTimer, nullptr);
        EXPECT_EQ(LivingFadeTimers(), 0);
        EXPECT_GE(p->Paints, 1);   // repainted synchronously
        EXPECT_TRUE(p->Frames.empty());
        p->Free();
    }
}

TEST_F(FadeTest, AChangeWithoutFadeStopsTheRunningOne) {
    auto* p = Add(u"FADER");
    ChangeLook(p, false);
    ASSERT_NE(p->FadeTimer, nullptr);
    ChangeLook(p, false, false);
    EXPECT_EQ(p->FadeTimer, nullptr);
    EXPECT_EQ(LivingFadeTimers(), 0);
    EXPECT_TRUE(p->SkinData->BGChanged);
    harness::PumpUntilIdle(40, 500);
    EXPECT_TRUE(p->Frames.empty());
}

TEST_F(FadeTest, ADisabledOwnerEndsItsFade) {
    auto* p = Add(u"FADER");
    p->OnFrame = [](TFadePanel* self, TBitmap*) {
        if (self->Frames.size() == 2) self->SetEnabled(false);
    };
    ChangeLook(p, false);
    ASSERT_NE(p->FadeTimer, nullptr);
    ASSERT_TRUE(harness::PumpUntil([&] { return !p->FadeTimer->Enabled(); }, 3000));
    harness::PumpUntilIdle(60, 1000);
    EXPECT_EQ(p->Frames.size(), 2u);   // no frame after the control went disabled
    EXPECT_EQ(p->FadeTimer->Iterations, 0);
    EXPECT_GE(p->Paints, 1);           // it was invalidated to show its disabled look
    StopFading(p->FadeTimer, p->SkinData);
    EXPECT_EQ(LivingFadeTimers(), 0);
}

TEST_F(FadeTest, RefusedFramesArePaintedOnTheOwnersWindow) {
    auto* p = Add(u"FADE5");
    p->TakeFrames = false;
    // When the second frame comes, the window shows the first one.
    static std::uint32_t shown;
    shown = 0;
    p->OnFrame = [](TFadePanel* self, TBitmap*) {
        if (self->Frames.size() != 2) return;
        const HDC dc = ::GetWindowDC(self->Handle());
        const COLORREF c = ::GetPixel(dc, 30, 15);
        ::ReleaseDC(self->Handle(), dc);
        shown = (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    };
    ChangeLook(p, true);
    ASSERT_TRUE(RunOut(p));
    ASSERT_EQ(p->Frames, Expected({127, 0}));
    EXPECT_EQ(shown, Blend(kOld, kNew, 127));
    // The last frame (weight 0: the new look) is left on the window.
    const HDC dc = ::GetWindowDC(p->Handle());
    const std::uint32_t last = Blend(kOld, kNew, 0);
    EXPECT_EQ(::GetPixel(dc, 5, 5), RGB(last >> 16, (last >> 8) & 0xFF, last & 0xFF));
    ::ReleaseDC(p->Handle(), dc);
}

TEST_F(FadeTest, RepeatedFadesLeaveTheObjectCountsFlat) {
    auto* p = Add(u"FADE5");
    p->TakeFrames = false;   // every frame goes through the window DC
    auto fade = [&] {
        p->Look = p->Look == kNew ? kOld : kNew;
        p->SkinData->BGChanged = false;
        p->Commands.clear();
        DoChangePaint(p->FadeTimer, p->SkinData, true, true, fdUp);
        return RunOut(p);
    };
    ASSERT_TRUE(fade());
    harness::PumpUntilIdle(20, 300);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();   // each timer has a window
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(fade());
    harness::PumpUntilIdle(20, 300);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_EQ(LivingFadeTimers(), 0);
}

TEST_F(FadeTest, RestartingARunningFadeKeepsOneTimer) {
    auto* p = Add(u"FADER");
    ChangeLook(p, false);
    TsFadeTimer* first = p->FadeTimer;
    ASSERT_NE(first, nullptr);
    p->SkinData->BGChanged = false;
    DoChangePaint(p->FadeTimer, p->SkinData, false, true, fdUp);
    EXPECT_EQ(p->FadeTimer, first);
    EXPECT_EQ(LivingFadeTimers(), 1);
    EXPECT_EQ(p->FadeTimer->Iterations, 10);   // fdUp: as many steps as the section's iterations
    EXPECT_EQ(p->FadeTimer->FadeLevel, 1);
    ASSERT_TRUE(RunOut(p));
    EXPECT_EQ(LivingFadeTimers(), 0);
}

// The mouse enters, leaves while the fade runs and comes back while the
// leave fades: each turn starts from the frame on the screen and takes every
// step again, down to the look it turns to.
TEST_F(FadeTest, AFadeTurnedBackStartsFromTheShownFrameWithAllItsSteps) {
    auto* p = Add(u"FADER");
    const std::uint32_t looks[] = {kNew, kOld, kNew};
    const TFadeDirection directions[] = {fdUp, fdDown, fdUp};
    std::uint32_t shown = kOld;
    for (int turn = 0; turn < 3; ++turn) {
        SCOPED_TRACE(turn);
        p->Frames.clear();
        p->Look = looks[turn];
        p->SkinData->BGChanged = false;
        DoChangePaint(p->FadeTimer, p->SkinData, false, true, directions[turn]);
        ASSERT_NE(p->FadeTimer, nullptr);
        EXPECT_EQ(p->FadeTimer->Iterations, 10);
        EXPECT_EQ(p->FadeTimer->FadeLevel, 1);
        EXPECT_EQ(Px(p->FadeTimer->BmpFrom, 30, 15) & 0xFFFFFF, shown);
        if (turn < 2) {
            // Turned back after a few frames.
            ASSERT_TRUE(harness::PumpUntil([&] { return p->Frames.size() >= 3; }, 3000));
            ASSERT_LT(p->Frames.size(), 10u);
            shown = p->Frames.back();
        }
    }
    ASSERT_TRUE(RunOut(p));
    std::vector<std::uint32_t> expected;
    for (int a : {230, 204, 179, 153, 127, 102, 76, 51, 25, 0}) expected.push_back(Blend(shown, kNew, a));
    EXPECT_EQ(p->Frames, expected);
}

TEST_F(FadeTest, AControlFreedDuringItsFadeTakesTheTimerAlong) {
    auto* p = Add(u"FADER");
    static int frames;
    frames = 0;
    p->OnFrame = [](TFadePanel*, TBitmap*) { ++frames; };
    ChangeLook(p, false);
    ASSERT_TRUE(harness::PumpUntil([&] { return frames >= 3; }, 3000));
    p->Free();
    EXPECT_EQ(LivingFadeTimers(), 0);
    const int seen = frames;
    harness::PumpUntilIdle(60, 500);
    EXPECT_EQ(frames, seen);
}

// A panel that asks a fade timer whether it ran out while it is being
// destroyed.
struct ToEndSeen {
    TsFadeTimer* Probe = nullptr;
    bool Asked = false;
    bool Answer = true;
    TFadeDirection DirectionAfter = fdUp;
    bool EnabledAfter = false;
};

class TAskingPanel : public TFadePanel {
public:
    using TFadePanel::TFadePanel;
    // Asked while the panel is being destroyed (its skin state still there).
    ~TAskingPanel() override {
        if (Seen && Seen->Probe) {
            Seen->Asked = true;
            Seen->Answer = Seen->Probe->ToEnd();
            Seen->DirectionAfter = Seen->Probe->Direction();
            Seen->EnabledAfter = Seen->Probe->Enabled();
        }
    }
    ToEndSeen* Seen = nullptr;
};

// A timer past its last step whose owner is gone neither asks the owner to
// stop nor says it ran out: it only stops fading (it stays enabled).
TEST_F(FadeTest, ToEndWithTheOwnerGoneOnlyStopsTheDirection) {
    auto* timer = New<TsFadeTimer>(form);
    timer->Iterations = 10;
    // Without owner data.
    timer->SetDirection(fdUp);
    timer->FadeLevel = 99;
    EXPECT_FALSE(timer->ToEnd());
    EXPECT_EQ(timer->Direction(), fdNone);
    EXPECT_TRUE(timer->Enabled());

    // With an owner control being destroyed.
    auto* panel = New<TAskingPanel>(form, true);
    panel->SetBounds(10, 10, 60, 30);
    panel->SetParent(form);
    panel->SkinData->SetSkinSection(u"FADER");
    timer->SetOwnerData(panel->SkinData);
    timer->SetDirection(fdUp);
    timer->FadeLevel = 99;
    ToEndSeen seen;
    seen.Probe = timer;
    panel->Seen = &seen;
    panel->Free();
    ASSERT_TRUE(seen.Asked);
    EXPECT_FALSE(seen.Answer);
    EXPECT_EQ(seen.DirectionAfter, fdNone);
    EXPECT_TRUE(seen.EnabledAfter);
    timer->SetOwnerData(nullptr);
    timer->Free();

    // The same timer with its owner alive ends the fade through the owner.
    TFadePanel* alive = Add(u"FADER");
    auto* other = New<TsFadeTimer>(form);
    other->Iterations = 10;
    other->SetOwnerData(alive->SkinData);
    other->SetDirection(fdUp);
    other->FadeLevel = 99;
    EXPECT_TRUE(other->ToEnd());
    EXPECT_EQ(alive->Count(AC_STOPFADING), 1);
    other->Free();
}

TEST(FadeEvents, AnimatedEventsFollowTheListOrTheManagersButtons) {
    kestrune_test::EnsureFramework();
    auto* m = New<TsSkinManager>(Application);
    m->AnimEffects()->Buttons()->Events = TacBtnEvents{beMouseEnter, beMouseUp};
    struct Case {
        TacAnimatEvent Event;
        TacAnimatEvents Events;
        bool Expected;
    };
    const Case cases[] = {
        {aeMouseDown, TacAnimatEvents{aeMouseDown}, true},
        {aeMouseDown, TacAnimatEvents{aeMouseEnter}, false},
        {aeMouseEnter, TacAnimatEvents{aeGlobalDef}, true},
        {aeMouseLeave, TacAnimatEvents{aeGlobalDef}, false},
        {aeMouseUp, TacAnimatEvents{aeGlobalDef}, true},
        {aeMouseDown, TacAnimatEvents{}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnimEventEnabled(c.Event, c.Events, m), c.Expected) << c.Event;
        EXPECT_EQ(AnimEventEnabled(c.Event, c.Events), c.Expected) << "default manager, " << c.Event;
    }
    m->Free();
    EXPECT_FALSE(AnimEventEnabled(aeMouseEnter, TacAnimatEvents{aeGlobalDef}));   // no manager at all
}
