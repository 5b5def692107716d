// The skinned frame under the real mouse (SendInput on a screen): the close
// button lights up under the pointer; a caption button acts only when the
// button is released over the one that was pressed; the close button closes;
// a double click on the caption maximizes and restores; dragging the caption
// moves the form and dragging the bottom-right corner sizes it (the whole
// client area painted for the new size); a right click on the caption and
// Alt+Space open the system menu; minimize and restore keep the cut corners.
// The input comes from a second thread while the form's thread keeps
// dispatching (the system's move and size loops and the menu run inside the
// form's messages). Pictures stay beside the test program
// (frame-input-*.bmp).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace fs = std::filesystem;

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class FrameInputDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        skin = std::make_unique<kestrune_test::TestSkinSession>("kestrune-frame-input-");
        ASSERT_TRUE(skin->Manager()->SkinData()->Active);
        form = New<TForm>(Application);
        form->SetCaption(u"Frame input");
        form->SetBounds(200, 150, 360, 240);
        provider = New<TsSkinProvider>(form);
        form->Show();
        ::SetForegroundWindow(form->Handle());
        harness::PumpUntilIdle(50, 2000);
    }
    void TearDown() override {
        harness::LeftButton(false);
        if (form) form->Free();
        form = nullptr;
        harness::PumpUntilIdle(20, 500);
        skin.reset();
    }
    // The screen point of a point of the window.
    POINT Screen(TPoint p) const {
        RECT r{};
        ::GetWindowRect(form->Handle(), &r);
        return POINT{r.left + p.X, r.top + p.Y};
    }
    RECT WindowRect() const {
        RECT r{};
        ::GetWindowRect(form->Handle(), &r);
        return r;
    }
    POINT CaptionPoint() const {
        const int title = SysBorderHeight(form->Handle(), nullptr) + provider->CaptionHeight(true);
        return Screen(TPoint(form->Width() / 3, title / 2));
    }
    POINT Away() const {
        const RECT r = WindowRect();
        return POINT{r.left + 40, r.bottom + 60};
    }
    COLORREF ScreenPixelAtCentre(const TRect& button) {
        const harness::Capture cap = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
        const TPoint c = Centre(button);
        return cap.Pixel(c.X, c.Y);
    }
    void Save(const wchar_t* Name) {
        harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen)
            .SaveBmp((fs::path(harness::ModuleFolder()) / Name).wstring().c_str());
    }

    std::unique_ptr<kestrune_test::TestSkinSession> skin;
    TForm* form = nullptr;
    TsSkinProvider* provider = nullptr;
};

TEST_F(FrameInputDisplay, CaptionButtonsLightUpPressAndActOnlyWhereThePressWas) {
    const POINT close = Screen(Centre(provider->ButtonClose.Rect));
    const POINT min = Screen(Centre(provider->ButtonMin.Rect));
    const POINT client = Screen(TPoint(form->Width() / 2, form->Height() / 2));

    // Hover: the close button shows its hot frame.
    harness::RunInputThread([&] { harness::MoveMouseTo(close); });
    EXPECT_EQ(provider->ButtonClose.State, 1);
    EXPECT_TRUE(harness::PumpUntil(
        [&] {
            return ScreenPixelAtCentre(provider->ButtonClose.Rect) ==
                   TestRef(skingen::TestMaskColour("GLOBALINFO", "BICONCLOSE", 1));
        },
        3000));
    Save(L"frame-input-hot-close.bmp");

    // Minimize pressed, the pointer slides off into the client area, released: nothing.
    harness::RunInputThread([&] {
        harness::MoveMouseTo(min);
        harness::LeftButton(true);
    });
    EXPECT_EQ(provider->ButtonMin.State, 2);
    EXPECT_TRUE(harness::PumpUntil(
        [&] {
            return ScreenPixelAtCentre(provider->ButtonMin.Rect) ==
                   TestRef(skingen::TestMaskColour("GLOBALINFO", "BICONMIN", 2));
        },
        3000));
    Save(L"frame-input-pressed-min.bmp");
    harness::RunInputThread([&] {
        harness::MoveMouseTo(client);
        Sleep(50);
        harness::LeftButton(false);
    });
    EXPECT_FALSE(::IsIconic(form->Handle()));
    EXPECT_TRUE(form->Visible());
    EXPECT_NE(provider->ButtonMin.State, 2);

    // Close pressed, released over minimize: nothing either.
    harness::RunInputThread([&] {
        harness::MoveMouseTo(close);
        harness::LeftButton(true);
        Sleep(80);
        harness::MoveMouseTo(min);
        Sleep(80);
        harness::LeftButton(false);
    });
    EXPECT_FALSE(::IsIconic(form->Handle()));
    EXPECT_TRUE(form->Visible());
    EXPECT_NE(::GetCapture(), form->Handle());

    // A click on close closes the form (after the double-click time: a
    // second click so soon would be the second half of a double click).
    harness::RunInputThread([&] {
        Sleep(static_cast<int>(::GetDoubleClickTime()) + 100);
        harness::ClickAt(close);
        harness::MoveMouseTo(Away());
    });
    EXPECT_FALSE(form->Visible());
}

// Wine without a window manager takes a maximize back at the next
// configure event of the X window (it sends SC_RESTORE itself). The watch
// keeps such restores from the form, so that a restore the test sees is the
// form's own answer to the double click. It sits in front of the provider.
struct EnvironmentRestoreFilter {
    TCustomForm* Form = nullptr;
    TWndMethod Saved;
    int DoubleClicks = 0;   // inside a double click now
    int Kept = 0;
    void Install(TCustomForm* f) {
        Form = f;
        Saved = f->WindowProc;
        f->WindowProc = TWndMethod::Of<&EnvironmentRestoreFilter::WndProc>(this);
    }
    void Remove() { Form->WindowProc = Saved; }
    void WndProc(TMessage& m) {
        if (m.Msg == WM_SYSCOMMAND && (m.WParam & 0xFFF0) == SC_RESTORE && DoubleClicks == 0) {
            ++Kept;
            return;
        }
        const bool dbl = m.Msg == WM_NCLBUTTONDBLCLK;
        DoubleClicks += dbl;
        Saved(m);
        DoubleClicks -= dbl;
    }
};

TEST_F(FrameInputDisplay, CaptionDoubleClickMaximizesAndRestores) {
    EnvironmentRestoreFilter filter;
    filter.Install(form);
    const RECT normal = WindowRect();
    auto doubleClick = [&] {
        harness::RunInputThread([&] {
            harness::MoveMouseTo(CaptionPoint());
            harness::LeftButton(true);
            harness::LeftButton(false);
            Sleep(40);
            harness::LeftButton(true);
            harness::LeftButton(false);
        });
    };
    doubleClick();
    EXPECT_TRUE(harness::PumpUntil([&] { return ::IsZoomed(form->Handle()) != FALSE; }, 3000));
    harness::PumpUntilIdle(100, 2000);
    EXPECT_TRUE(::IsZoomed(form->Handle()));
    Save(L"frame-input-maximized.bmp");
    doubleClick();
    EXPECT_TRUE(harness::PumpUntil([&] { return ::IsZoomed(form->Handle()) == FALSE; }, 3000));
    const RECT r = WindowRect();
    EXPECT_EQ(r.left, normal.left);
    EXPECT_EQ(r.top, normal.top);
    EXPECT_EQ(r.right - r.left, normal.right - normal.left);
    filter.Remove();
}

TEST_F(FrameInputDisplay, DraggingTheCaptionMovesAndTheCornerSizes) {
    const RECT before = WindowRect();
    const POINT grab = CaptionPoint();
    harness::RunInputThread([&] {
        harness::MoveMouseTo(grab);
        harness::LeftButton(true);
        for (int i = 1; i <= 6; ++i) {
            Sleep(30);
            harness::MoveMouseTo(POINT{grab.x + 10 * i, grab.y + 7 * i});
        }
        Sleep(60);
        harness::LeftButton(false);
    });
    const RECT moved = WindowRect();
    EXPECT_EQ(moved.left - before.left, 60);
    EXPECT_EQ(moved.top - before.top, 42);
    EXPECT_EQ(moved.right - moved.left, before.right - before.left);

    // The bottom-right corner of the frame, inside the window's region (the
    // skin cuts its outermost pixels away).
    POINT corner{0, 0};
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(form->Handle(), rgn), ERROR);
    for (int d = 1; d < 8 && corner.x == 0; ++d) {
        const POINT p{moved.right - d, moved.bottom - d};
        const TMessage hit{WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y), 0};
        if (::PtInRegion(rgn, p.x - moved.left, p.y - moved.top) && provider->HitTest(hit) == HTBOTTOMRIGHT) corner = p;
    }
    ::DeleteObject(rgn);
    ASSERT_NE(corner.x, 0) << "no corner point to grab";
    harness::RunInputThread([&] {
        harness::MoveMouseTo(corner);
        harness::LeftButton(true);
        for (int i = 1; i <= 5; ++i) {
            Sleep(30);
            harness::MoveMouseTo(POINT{corner.x + 10 * i, corner.y + 6 * i});
        }
        Sleep(60);
        harness::LeftButton(false);
    });
    const RECT sized = WindowRect();
    EXPECT_EQ(sized.left, moved.left);
    EXPECT_EQ(sized.top, moved.top);
    EXPECT_EQ(sized.right - sized.left, moved.right - moved.left + 50);
    EXPECT_EQ(sized.bottom - sized.top, moved.bottom - moved.top + 30);
    Save(L"frame-input-sized.bmp");
    // The whole client area was painted for the last size: no row of it is
    // left black at its bottom.
    const harness::Capture shown = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Screen);
    const harness::Capture printed = harness::CaptureWindow(form->Handle(), harness::CaptureSource::Print);
    for (int y = shown.Height - 12; y < shown.Height; ++y)
        EXPECT_EQ(shown.Pixel(shown.Width / 2, y), printed.Pixel(printed.Width / 2, y)) << "row " << y;
    // The frame follows the new size: the close button sits at the new right edge.
    EXPECT_EQ(provider->SkinData()->FCacheBmp->Width(), sized.right - sized.left);
}

TEST_F(FrameInputDisplay, RightClickOnTheCaptionAndAltSpaceOpenTheSystemMenu) {
    auto send = [](std::initializer_list<INPUT> inputs) {
        std::vector<INPUT> list(inputs);
        ::SendInput(static_cast<UINT>(list.size()), list.data(), sizeof(INPUT));
    };
    auto mouse = [](DWORD flags) {
        INPUT i{};
        i.type = INPUT_MOUSE;
        i.mi.dwFlags = flags;
        return i;
    };
    auto key = [](WORD vk, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        return i;
    };
    const std::function<void()> ways[] = {
        [&] {
            harness::MoveMouseTo(CaptionPoint());
            send({mouse(MOUSEEVENTF_RIGHTDOWN), mouse(MOUSEEVENTF_RIGHTUP)});
        },
        [&] {
            harness::MoveMouseTo(Away());
            send({key(VK_MENU, false), key(VK_SPACE, false), key(VK_SPACE, true), key(VK_MENU, true)});
        },
    };
    for (const auto& open : ways) {
        ::SetForegroundWindow(form->Handle());
        harness::PumpUntilIdle(50, 1000);
        std::atomic<bool> seen{false};
        harness::RunInputThread([&] {
            open();
            for (int i = 0; i < 100 && !seen; ++i) {
                Sleep(30);
                HWND menu = ::FindWindowW(L"#32768", nullptr);
                seen = menu && ::IsWindowVisible(menu);
            }
            // Escape closes it.
            send({key(VK_ESCAPE, false), key(VK_ESCAPE, true)});
        });
        EXPECT_TRUE(seen.load());
        EXPECT_TRUE(harness::PumpUntil(
            [] {
                HWND menu = ::FindWindowW(L"#32768", nullptr);
                return !menu || !::IsWindowVisible(menu);
            },
            3000));
        EXPECT_TRUE(form->Visible());
    }
}

TEST_F(FrameInputDisplay, MinimizeAndRestoreKeepTheCutCorners) {
    auto cornersCut = [&] {
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        const bool cut = ::GetWindowRgn(form->Handle(), rgn) != ERROR && !::PtInRegion(rgn, 0, 0) &&
                         ::PtInRegion(rgn, skingen::TestKeyCorner, 0);
        ::DeleteObject(rgn);
        return cut;
    };
    ASSERT_TRUE(cornersCut());
    const POINT min = Screen(Centre(provider->ButtonMin.Rect));
    harness::RunInputThread([&] {
        harness::ClickAt(min);
        harness::MoveMouseTo(Away());
    });
    EXPECT_TRUE(harness::PumpUntil([&] { return ::IsIconic(form->Handle()) != FALSE; }, 3000));
    ::SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(harness::PumpUntil([&] { return ::IsIconic(form->Handle()) == FALSE; }, 3000));
    harness::PumpUntilIdle(50, 2000);
    EXPECT_TRUE(cornersCut());
    Save(L"frame-input-restored.bmp");
}

}  // namespace
