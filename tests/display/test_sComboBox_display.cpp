// The skinned combo box on a real screen with the test skin: the normal
// paint of an unfocused drop-down box (its edit field left to the cache)
// shows the section, the button section and the text.
#include <gtest/gtest.h>

#include <string>

#include "Forms.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "TestSkin.h"
#include "TestSkinManager.h"
#include "acSBUtils.h"
#include "acSBUtilsCombo.h"
#include "sMessages.h"
#include "sComboBox.h"
#include "sPanel.h"
#include "sSkinManager.h"

namespace {

using kestrune_test::TestRef;

const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TEST(SkinnedComboBoxDisplay, UnfocusedBoxesShowTheirSkinOnScreen) {
    acSBUtilsInitialization();
    {
        auto* form = New<TForm>(Application);
        form->BorderStyle = TFormBorderStyle::bsNone;
        form->SetBounds(100, 100, 300, 120);
        auto* other = New<TEdit>(form);
        other->SetParent(form);
        other->SetBounds(10, 80, 100, 22);
        // On a skinned panel, as in the main window.
        auto* panel = New<TsPanel>(form);
        panel->SetParent(form);
        panel->SetBounds(0, 0, 300, 70);
        TsComboBox* boxes[2] = {};
        const TComboBoxStyle styles[2] = {csDropDown, csDropDownList};
        for (int i = 0; i < 2; ++i) {
            boxes[i] = New<TsComboBox>(form);
            boxes[i]->SetStyle(styles[i]);
            boxes[i]->SetParent(panel);
            boxes[i]->SetBounds(10, 10 + 32 * i, 200, 21);
            boxes[i]->Items()->Add(u"http://one.example/");
            boxes[i]->Items()->Add(u"http://two.example/");
        }
        boxes[0]->SetText(u"http://typed.example/");
        boxes[1]->SetItemIndex(1);
        form->Show();
        other->SetFocus();
        harness::PumpUntilIdle(20, 500);
        // The skin comes after the boxes, as the user's choice does.
        const kestrune_test::TestSkinSession skin("kestrune-cmb-display-");
        ASSERT_TRUE(skin.Manager()->SkinData()->Active);
        const COLORREF section = TestRef(skingen::TestSectionColour("COMBOBOX", 0));
        const COLORREF button = TestRef(skingen::TestSectionColour("COMBOBTN", 0));
        for (TsComboBox* box : boxes) {
            SCOPED_TRACE(static_cast<int>(box->Style()));
            harness::Capture cap;
            const bool shows = harness::PumpUntil(
                [&] {
                    harness::PumpUntilIdle(20, 200);
                    cap = harness::CaptureWindow(box->Handle(), harness::CaptureSource::Screen);
                    return cap.Pixel(skingen::TestBorderWidth + 2, box->Height() / 2) == section &&
                           cap.Count(button) > 0;
                },
                5000);
            cap.SaveBmp((harness::ModuleFolder() + (box->Style() == csDropDown ? L"sComboBox-screen-dropdown.bmp"
                                                                                 : L"sComboBox-screen-droplist.bmp"))
                            .c_str());
            EXPECT_TRUE(shows) << "the section and the button on the screen";
        }
        form->Free();
    }
    acSBUtilsFinalization();
}

// A parent that answers the background question without a colour (it says
// it has an image but gives none).
LRESULT CALLBACK NoColourParent(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == SkinCommandMessage && SkinCommandOf(WParam) == AC_GETBG && LParam) {
        auto* info = reinterpret_cast<TBackgroundInfo*>(LParam);
        info->BgType = btCache;
        info->Bmp = nullptr;
        info->Color = 0;
        return 1;
    }
    return ::DefWindowProcW(Wnd, Msg, WParam, LParam);
}

// The strip under the list of a simple combo box shows the window colour when
// its parent gives no colour of its own, never black.
TEST(SkinnedComboBoxDisplay, SimpleBoxStripFallsBackToTheWindowColour) {
    acSBUtilsInitialization();
    {
        const kestrune_test::TestSkinSession skin("kestrune-cmb-strip-");
        WNDCLASSW wc{};
        wc.lpfnWndProc = &NoColourParent;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = ::CreateSolidBrush(RGB(0x30, 0x60, 0x90));
        wc.lpszClassName = L"KesNoColourParent";
        ::RegisterClassW(&wc);
        HWND parent = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 100, 100, 300, 240, nullptr,
                                        nullptr, wc.hInstance, nullptr);
        HWND combo = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_SIMPLE, 20, 20,
                                       200, 163, parent, nullptr, wc.hInstance, nullptr);
        for (const wchar_t* item : {L"alpha", L"beta", L"gamma"})
            ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        TacMainWnd* adapter = CreateAdapter(u"TacComboBoxWnd", combo, nullptr, skin.Manager(), u"COMBOBOX", true);
        ASSERT_NE(adapter, nullptr);
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        ::GetComboBoxInfo(combo, &info);
        // The list asks for its colours: the combo adapter adapts it.
        const HDC listDC = ::GetDC(info.hwndList);
        ::SendMessageW(combo, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(listDC),
                       reinterpret_cast<LPARAM>(info.hwndList));
        ::ReleaseDC(info.hwndList, listDC);
        harness::PumpUntilIdle(20, 500);
        RECT lr{}, cr{};
        ::GetWindowRect(info.hwndList, &lr);
        ::GetWindowRect(combo, &cr);
        if (cr.bottom - lr.bottom < 2) {
            ::DestroyWindow(parent);
            ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
            ::DeleteObject(wc.hbrBackground);
            GTEST_SKIP() << "the system left no strip under the list";
        }
        // The strip is first marked, then painted by the list's frame paint.
        POINT at{(lr.left + lr.right) / 2, lr.bottom + (cr.bottom - lr.bottom) / 2};
        POINT inParent = at;
        ::ScreenToClient(parent, &inParent);
        const COLORREF marker = RGB(0xC0, 0x20, 0x90);
        const HDC dc = ::GetDC(parent);
        const HBRUSH brush = ::CreateSolidBrush(marker);
        const RECT mark{inParent.x - 2, inParent.y - 1, inParent.x + 2, inParent.y + 1};
        ::FillRect(dc, &mark, brush);
        ::DeleteObject(brush);
        ::ReleaseDC(parent, dc);
        ::SendMessageW(info.hwndList, WM_NCPAINT, 1, 0);
        ::GdiFlush();
        const COLORREF shown = harness::CaptureWindow(parent, harness::CaptureSource::Screen)
                                   .Pixel(inParent.x, inParent.y);
        EXPECT_EQ(shown, static_cast<COLORREF>(::GetSysColor(COLOR_WINDOW)))
            << std::hex << "the strip shows 0x" << shown;
        ::DestroyWindow(parent);
        ::UnregisterClassW(wc.lpszClassName, wc.hInstance);
        ::DeleteObject(wc.hbrBackground);
    }
    acSBUtilsFinalization();
}

}  // namespace
