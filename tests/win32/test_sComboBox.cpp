// The skinned combo box and the combo box adapters on real windows with the
// test skin: the closed box of every style with and without a selection, the
// read-only filter, the drop-down list adapted once (simple lists reached
// twice included), its colour brush, its frame after skin removal, the
// adapters' release on every path, and GDI counts over many drop and close
// cycles.
#include <gtest/gtest.h>

#include <filesystem>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "acSBUtils.h"
#include "acSBUtilsCombo.h"
#include "sComboBox.h"
#include "sLabel.h"
#include "sSkinManager.h"

namespace fs = std::filesystem;

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using harness::BesideProgram;

COLORREF Section(const char* name, int state = 0) {
    return kestrune_test::TestRef(skingen::TestSectionColour(name, state));
}

class SkinnedComboBox : public kestrune_test::TestSkinForm {
public:
    void DoubleClicked(TObject*) { ++doubleClicks; }

protected:
    void SetUp() override {
        acSBUtilsInitialization();
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 420, 300));
        other = New<TEdit>(form);
        other->SetParent(form);
        other->SetBounds(10, 250, 100, 22);
    }
    TsComboBox* MakeBox(TComboBoxStyle Style, int Top = 10) {
        auto* box = New<TsComboBox>(form);
        box->SetStyle(Style);
        box->SetParent(form);
        box->SetBounds(10, Top, 200, 21);
        for (const char16_t* item : {u"http://one.example/", u"http://two.example/", u"http://three.example/"})
            box->Items()->Add(item);
        box->SetItemIndex(-1);
        other->SetFocus();
        harness::PumpUntilIdle(10, 1000);
        return box;
    }
    harness::Capture Print(TWinControl* c) {
        harness::PumpUntilIdle(10, 500);
        return harness::CaptureWindow(c->Handle(), harness::CaptureSource::Print, true);
    }
    void RemoveSkin() {
        manager->SetActive(false);
        harness::PumpUntilIdle(10, 500);
    }

    void TearDown() override {
        kestrune_test::TestSkinForm::TearDown();
        acSBUtilsFinalization();
    }

    TEdit* other = nullptr;
    int doubleClicks = 0;
};

// The closed box of each style, as both combo boxes of the main window start:
// nothing selected. It shows the section, the button section and the arrow.
TEST_F(SkinnedComboBox, ClosedBoxOfEveryStyleDrawsWithNoItemSelected) {
    const struct {
        TComboBoxStyle Style;
        const wchar_t* Picture;
    } cases[] = {{csDropDown, L"sComboBox-dropdown.bmp"}, {csDropDownList, L"sComboBox-droplist.bmp"}};
    int top = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Style));
        TsComboBox* box = MakeBox(c.Style, top);
        top += 40;
        ASSERT_TRUE(box->SkinData()->Skinned());
        ASSERT_EQ(box->ItemIndex(), -1);
        const harness::Capture cap = Print(box);
        ASSERT_FALSE(cap.Empty());
        cap.SaveBmp(BesideProgram(c.Picture).c_str());
        const TRect b = box->ButtonRect();
        EXPECT_EQ(b.Width(), ::GetSystemMetrics(SM_CXVSCROLL) + 1);
        EXPECT_EQ(b.Right, box->Width() - 2);
        EXPECT_EQ(cap.Pixel(skingen::TestBorderWidth + 2, box->Height() / 2), Section("COMBOBOX"));
        EXPECT_GT(cap.Count(Section("COMBOBTN")), 0) << "the button section";
        // Without a button the text may use the whole box.
        box->SetShowButton(false);
        EXPECT_EQ(box->ButtonRect().Width(), 0);
        EXPECT_EQ(Print(box).Count(Section("COMBOBTN")), 0);
    }
}

TEST_F(SkinnedComboBox, SelectedItemTextShowsInTheClosedBox) {
    TsComboBox* box = MakeBox(csDropDownList);
    const harness::Capture empty = Print(box);
    box->SetItemIndex(1);
    const harness::Capture chosen = Print(box);
    EXPECT_GT(harness::DifferingPixels(empty, chosen), 0) << "the item's text";
    // The focused drop-down list marks its text as selected.
    box->SetFocus();
    const harness::Capture focused = Print(box);
    focused.SaveBmp(BesideProgram(L"sComboBox-focused.bmp").c_str());
    EXPECT_GT(focused.Count(Section("SELECTION")), 0);
}

// A read-only box opens no list and changes nothing from the keyboard, takes
// the focus on a click and still reports a double click.
TEST_F(SkinnedComboBox, ReadOnlyBoxOpensNoListAndTakesNoKeys) {
    TsComboBox* box = MakeBox(csDropDownList);
    box->SetReadOnly(true);
    box->OnDblClick = TNotifyEvent::Of<&SkinnedComboBox::DoubleClicked>(this);
    const HWND wnd = box->Handle();
    for (WPARAM key : {WPARAM(VK_F4), WPARAM(VK_DOWN), WPARAM('B'), WPARAM(VK_SPACE)}) {
        ::SendMessageW(wnd, WM_KEYDOWN, key, 0);
        ::SendMessageW(wnd, WM_SYSKEYDOWN, key, 0);
    }
    ::SendMessageW(wnd, WM_CHAR, 't', 0);
    EXPECT_FALSE(box->DroppedDown());
    EXPECT_EQ(box->ItemIndex(), -1);

    // The drop-down notification is told by its high word, whatever the
    // control's id in the low word.
    box->Perform(CN_COMMAND, MAKEWPARAM(7, CBN_DROPDOWN), 0);
    EXPECT_FALSE(box->ListOpen());

    ::SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 8));
    ::SendMessageW(wnd, WM_LBUTTONUP, 0, MAKELPARAM(20, 8));
    harness::PumpUntilIdle(10, 500);
    EXPECT_FALSE(box->DroppedDown());
    EXPECT_EQ(::GetFocus(), wnd);
    ::SendMessageW(wnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 8));
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_FALSE(box->DroppedDown());

    // Writable again: the same notification marks the list open.
    box->SetReadOnly(false);
    box->Perform(CN_COMMAND, MAKEWPARAM(7, CBN_DROPDOWN), 0);
    EXPECT_TRUE(box->ListOpen());
}

TEST_F(SkinnedComboBox, ReadOnlyEditFieldTakesNoTyping) {
    TsComboBox* box = MakeBox(csDropDown);
    box->SetText(u"kept");
    box->SetReadOnly(true);
    const HWND edit = box->EditHandle();
    ASSERT_NE(edit, nullptr);
    ::SendMessageW(edit, WM_CHAR, 'x', 0);
    ::SendMessageW(edit, WM_KEYDOWN, VK_BACK, 0);
    ::SendMessageW(edit, WM_CLEAR, 0, 0);
    ::SendMessageW(edit, WM_CUT, 0, 0);
    EXPECT_EQ(box->Text(), u"kept");
    box->SetReadOnly(false);
    ::SendMessageW(edit, EM_SETSEL, 4, 4);
    ::SendMessageW(edit, WM_CHAR, 'x', 0);
    EXPECT_EQ(box->Text(), u"keptx");
}

// The list gets one adapter the first time it asks for colours and keeps it
// over any number of drops; it shows the "SELECTION" section on the
// selected item; removing the skin gives it its border back.
TEST_F(SkinnedComboBox, ListIsAdaptedOnceShowsTheSelectionAndGetsItsFrameBack) {
    TsComboBox* box = MakeBox(csDropDownList);
    box->SetItemIndex(1);
    box->SetFocus();
    TacMainWnd* first = nullptr;
    for (int i = 0; i < 3; ++i) {
        box->SetDroppedDown(true);
        harness::PumpUntilIdle(10, 500);
        ASSERT_TRUE(box->DroppedDown());
        ASSERT_NE(box->ListAdapter(), nullptr);
        EXPECT_EQ(box->ListWindow(), box->ListHandle());
        EXPECT_EQ(AdapterOfWindow(box->ListHandle()), box->ListAdapter());
        if (i == 0) first = box->ListAdapter();
        EXPECT_EQ(box->ListAdapter(), first);
        if (i == 2) {
            const harness::Capture list =
                harness::CaptureWindow(box->ListHandle(), harness::CaptureSource::Print, true);
            list.SaveBmp(BesideProgram(L"sComboBox-list.bmp").c_str());
            EXPECT_GT(list.Count(Section("SELECTION")), 0) << "the selected item";
        }
        box->SetDroppedDown(false);
        harness::PumpUntilIdle(10, 500);
    }
    const HWND list = box->ListHandle();
    const LONG styleBefore = ::GetWindowLongW(list, GWL_STYLE);
    RemoveSkin();
    EXPECT_EQ(box->ListAdapter(), nullptr);
    EXPECT_EQ(AdapterOfWindow(list), nullptr);
    const LONG style = ::GetWindowLongW(list, GWL_STYLE);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(style & WS_VSCROLL, styleBefore & WS_VSCROLL) << "the scroll bar style stays";
    EXPECT_EQ(box->Color(), clWindow);
}

// A new window (a style change makes one) keeps the items, the selection or
// the typed text and the settings; its list is adapted anew.
TEST_F(SkinnedComboBox, NewWindowKeepsItemsTextAndSettings) {
    TsComboBox* box = MakeBox(csDropDown);
    box->SetText(u"http://typed.example/");
    box->SetDropDownCount(5);
    box->SetMaxLength(40);
    box->SetFocus();
    box->SetDroppedDown(true);
    harness::PumpUntilIdle(10, 300);
    box->SetDroppedDown(false);
    ASSERT_NE(box->ListAdapter(), nullptr);

    box->SetStyle(csSimple);
    box->SetStyle(csDropDown);
    harness::PumpUntilIdle(10, 300);
    EXPECT_EQ(box->Items()->Count(), 3);
    EXPECT_EQ(box->Text(), u"http://typed.example/");
    EXPECT_EQ(box->DropDownCount(), 5);
    EXPECT_EQ(box->MaxLength(), 40);
    EXPECT_EQ(box->ListAdapter(), nullptr) << "the old list's adapter went with its window";
    box->SetItemIndex(2);
    box->SetStyle(csDropDownList);
    EXPECT_EQ(box->ItemIndex(), 2);
    box->SetFocus();
    box->SetDroppedDown(true);
    harness::PumpUntilIdle(10, 300);
    ASSERT_NE(box->ListAdapter(), nullptr);
    EXPECT_EQ(box->ListWindow(), box->ListHandle());
    EXPECT_EQ(AdapterOfWindow(box->ListHandle()), box->ListAdapter());
    box->SetDroppedDown(false);
}

// Dropping and closing the list over and over leaves no GDI object behind.
TEST_F(SkinnedComboBox, DropAndCloseCyclesLeaveGdiCountsFlat) {
    TsComboBox* box = MakeBox(csDropDownList);
    box->SetItemIndex(0);
    box->SetFocus();
    const auto cycle = [&](int n) {
        for (int i = 0; i < n; ++i) {
            box->SetDroppedDown(true);
            harness::PumpUntilIdle(0, 200);
            box->Perform(CM_MOUSEENTER, 0, 0);
            box->SetItemIndex(i % 3);
            box->SetDroppedDown(false);
            box->Perform(CM_MOUSELEAVE, 0, 0);
            harness::PumpUntilIdle(0, 200);
        }
    };
    // Every path the measured rounds take, once before counting.
    cycle(3);
    const unsigned before = harness::GdiObjectUsage();
    cycle(200);
    EXPECT_LE(harness::GdiObjectUsage(), before + 2);
}

// The framework's notice that the focus left the box closes an open list.
TEST_F(SkinnedComboBox, LosingTheFocusClosesTheList) {
    for (TComboBoxStyle style : {csDropDown, csDropDownList}) {
        SCOPED_TRACE(static_cast<int>(style));
        TsComboBox* box = MakeBox(style);
        box->SetFocus();
        box->SetDroppedDown(true);
        harness::PumpUntilIdle(0, 200);
        ASSERT_TRUE(box->DroppedDown());
        box->Perform(CM_EXIT, 0, 0);
        EXPECT_FALSE(box->DroppedDown());
        box->Free();
    }
}

// The bound label sits left of the box and follows its moves, visibility
// and enabled state.
TEST_F(SkinnedComboBox, BoundLabelFollowsTheBox) {
    TsComboBox* box = MakeBox(csDropDownList);
    box->SetName(u"sComboBox1");
    TsBoundLabel* bound = box->BoundLabel();
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound->Layout(), sclLeft);
    bound->SetCaption(u"skin");
    bound->SetActive(true);
    TsEditLabel* label = bound->TheLabel();
    ASSERT_NE(label, nullptr);
    box->SetBounds(150, 60, 200, 21);
    harness::PumpUntilIdle(10, 300);
    EXPECT_EQ(label->Left() + label->Width() + 4, 150);
    box->SetVisible(false);
    EXPECT_FALSE(label->Visible());
    box->SetVisible(true);
    box->SetEnabled(false);
    EXPECT_FALSE(label->Enabled());
    box->SetEnabled(true);
    box->SetDisabledKind({});
    box->SetEnabled(false);
    EXPECT_TRUE(label->Enabled());
}

// ---- the adapters over plain combo boxes ----------------------------------------------------

class ComboAdapters : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        acSBUtilsInitialization();
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 420, 300));
    }
    void TearDown() override {
        kestrune_test::TestSkinForm::TearDown();
        acSBUtilsFinalization();
    }
    HWND MakeCombo(DWORD Style, int Top = 10) {
        const HWND wnd = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | Style, 10, Top,
                                           200, Style == CBS_SIMPLE ? 120 : 200, form->Handle(), nullptr,
                                           ::GetModuleHandleW(nullptr), nullptr);
        for (const wchar_t* item : {L"alpha", L"beta", L"gamma"})
            ::SendMessageW(wnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        return wnd;
    }
    TacComboBoxWnd* Adapt(HWND Wnd) {
        return static_cast<TacComboBoxWnd*>(CreateAdapter(u"TacComboBoxWnd", Wnd, nullptr, manager, u"COMBOBOX", true));
    }
    static HWND ListOf(HWND Combo) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        ::GetComboBoxInfo(Combo, &info);
        return info.hwndList;
    }
    static LRESULT AskListColours(HWND Combo) {
        const HWND list = ListOf(Combo);
        const HDC dc = ::GetDC(list);
        const LRESULT brush = ::SendMessageW(Combo, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                                             reinterpret_cast<LPARAM>(list));
        ::ReleaseDC(list, dc);
        return brush;
    }
};

TEST_F(ComboAdapters, ListColoursAnswerOneBrushAndAdaptTheListOnce) {
    const HWND combo = MakeCombo(CBS_DROPDOWNLIST);
    TacComboBoxWnd* adapter = Adapt(combo);
    ASSERT_NE(adapter, nullptr);
    const LRESULT brush = AskListColours(combo);
    ASSERT_NE(adapter->ListSW, nullptr);
    EXPECT_EQ(adapter->FListHandle, ListOf(combo));
    EXPECT_EQ(AdapterOfWindow(ListOf(combo)), adapter->ListSW);
    TacMainWnd* list = adapter->ListSW;
    const unsigned before = harness::GdiObjectUsage();
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(AskListColours(combo), brush) << "one brush, not one per message";
        EXPECT_EQ(adapter->ListSW, list);
    }
    EXPECT_LE(harness::GdiObjectUsage(), before + 2);
    ::DestroyWindow(combo);
    harness::PumpUntilIdle(10, 500);
}

// The list of a simple combo box is a child window: a dialog's adaptation may
// have given it an adapter before the combo box asks; it keeps that one.
TEST_F(ComboAdapters, SimpleListAdaptedBeforeKeepsItsAdapter) {
    const HWND combo = MakeCombo(CBS_SIMPLE);
    const HWND list = ListOf(combo);
    ASSERT_NE(list, nullptr);
    TacMainWnd* earlier = CreateAdapter(u"TacEditWnd", list, nullptr, manager, u"EDIT", true);
    ASSERT_NE(earlier, nullptr);
    TacComboBoxWnd* adapter = Adapt(combo);
    AskListColours(combo);
    EXPECT_EQ(adapter->ListSW, nullptr);
    EXPECT_EQ(AdapterOfWindow(list), earlier);
    // The simple box has no button.
    EXPECT_EQ(adapter->ButtonRect().Width(), 0);
    ::DestroyWindow(combo);
    harness::PumpUntilIdle(10, 500);
}

// Making a dropped list's frame be laid out again must not activate it.
TEST_F(ComboAdapters, AdaptingAPopupListLeavesTheActiveWindow) {
    ::SetActiveWindow(form->Handle());
    harness::PumpUntilIdle(10, 500);
    const HWND active = ::GetActiveWindow();
    const HWND popup = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"LISTBOX", L"", WS_POPUP | WS_BORDER | WS_VISIBLE, 50, 50,
                                         120, 100, form->Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowPos(popup, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::SetActiveWindow(active);
    harness::PumpUntilIdle(10, 500);
    ASSERT_EQ(::GetActiveWindow(), active);
    TacComboListWnd* list = CreateComboListWnd(popup, nullptr, manager, u"EDIT", true, false);
    ASSERT_NE(list, nullptr);
    harness::PumpUntilIdle(10, 500);
    EXPECT_EQ(::GetActiveWindow(), active);
    RECT r{};
    ::GetWindowRect(popup, &r);
    EXPECT_EQ(r.right - r.left, 121) << "one pixel wider, to make the frame be laid out again";
    // A second attempt on the same list makes no second adapter.
    EXPECT_EQ(CreateComboListWnd(popup, nullptr, manager, u"EDIT", true, false), nullptr);
    ::DestroyWindow(popup);
    harness::PumpUntilIdle(10, 500);
}

// Freeing the combo adapter frees its list adapter once and gives the list
// window back; skin removal does the same and restores the list's frame.
TEST_F(ComboAdapters, ReleasePathsFreeTheListAdapterOnce) {
    const auto round = [&] {
        const HWND combo = MakeCombo(CBS_DROPDOWN);
        TacMainWnd* adapter = Adapt(combo);
        AskListColours(combo);
        const HWND list = ListOf(combo);
        ASSERT_NE(AdapterOfWindow(list), nullptr);
        ReleaseScrollWnd(combo, true, false, adapter);
        EXPECT_EQ(AdapterOfWindow(list), nullptr);
        EXPECT_EQ(AdapterOfWindow(combo), nullptr);
        ::DestroyWindow(combo);
    };
    round();
    const unsigned before = harness::GdiObjectUsage();
    for (int i = 0; i < 30; ++i) round();
    harness::PumpUntilIdle(10, 500);
    EXPECT_LE(harness::GdiObjectUsage(), before + 2);

    // Skin removal: the list loses its adapter and has a border, no sizing frame.
    const HWND combo = MakeCombo(CBS_DROPDOWNLIST);
    TacComboBoxWnd* adapter = Adapt(combo);
    AskListColours(combo);
    const HWND list = ListOf(combo);
    // A sizing frame goes; the vertical bar style stays.
    ::SetWindowLongW(list, GWL_STYLE, ::GetWindowLongW(list, GWL_STYLE) | WS_THICKFRAME | WS_VSCROLL);
    ::SendMessageW(combo, SkinCommandMessage, MakeSkinWParam(AC_REMOVESKIN), reinterpret_cast<LPARAM>(manager));
    EXPECT_EQ(adapter->ListSW, nullptr);
    EXPECT_EQ(adapter->FListHandle, nullptr);
    EXPECT_EQ(AdapterOfWindow(list), nullptr);
    const LONG style = ::GetWindowLongW(list, GWL_STYLE);
    EXPECT_TRUE(style & WS_BORDER);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_VSCROLL);
    ::DestroyWindow(combo);
    harness::PumpUntilIdle(10, 500);
}

TEST(ComboGlyph, FrameWidthOfMasksWithAndWithoutFrames) {
    const struct {
        SmallInt ImageCount;
        int Width;
        Integer Expected;
    } cases[] = {{3, 36, 12}, {1, 9, 9}, {0, 36, 0}, {-2, 36, 0}};
    for (const auto& c : cases) {
        TsMaskData m;
        m.R = TRect(0, 0, c.Width, 9);
        m.ImageCount = c.ImageCount;
        EXPECT_EQ(ComboGlyphWidth(m), c.Expected) << c.ImageCount;
    }
}

}  // namespace
