// The edit, list view, grid and tree adapters with the flat test skin: the
// frame, bars and colours they paint (seen in WM_PRINT), the dialog look, the
// list view's header states and thumb drags, grid colours by property name,
// the memo and rich edit panes under a skin change, and flat object counts
// over repeated attaching.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ComCtrls.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "SkinNames.h"
#include "TestSkinForm.h"
#include "TypInfo.h"
#include "WindowAttach.h"
#include "acPixels.h"
#include "acSBUtilsEdit.h"
#include "acSBUtilsGrid.h"
#include "acSBUtilsListView.h"
#include "sMemo.h"
#include "sRichEdit.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using harness::Capture;
using harness::CaptureSource;
using kestrune_test::TestRef;

COLORREF SectionRef(const char* Section, int State = 0) {
    return TestRef(skingen::TestSectionColour(Section, State));
}
COLORREF MaskRef(const char* Section, const char* Mask, int Frame) {
    return TestRef(skingen::TestMaskColour(Section, Mask, Frame));
}

// Every colour the skin's scroll-bar sections can paint.
const std::set<COLORREF>& ScrollColours() {
    static const std::set<COLORREF> colours = [] {
        std::set<COLORREF> c;
        for (const std::string& s : skingen::LookedUpSections())
            if (s.rfind("SCROLL", 0) == 0)
                for (int state : {0, 1}) c.insert(TestRef(skingen::TestSectionColour(s, state)));
        for (const skingen::MaskName& m : skingen::LookedUpMasks())
            if (m.Section.rfind("SCROLL", 0) == 0)
                for (int f = 0; f < m.Frames; ++f) c.insert(TestRef(skingen::TestMaskColour(m.Section, m.Mask, f)));
        return c;
    }();
    return colours;
}

// The share (0..1) of the pixels of R (window coordinates) that show a
// scroll-bar colour of the skin.
double ScrollShare(const Capture& C, const RECT& R) {
    int hits = 0, all = 0;
    for (int y = R.top; y < R.bottom; ++y)
        for (int x = R.left; x < R.right; ++x) {
            ++all;
            if (ScrollColours().count(C.Pixel(x, y))) ++hits;
        }
    return all ? static_cast<double>(hits) / all : 0;
}

// The vertical bar's rectangle in window coordinates.
RECT VBarIn(HWND Wnd, TacScrollWnd* A) {
    TRect v;
    GetVScrollRect(A, Wnd, v);
    RECT w{};
    ::GetWindowRect(Wnd, &w);
    return RECT{v.Left - w.left, v.Top - w.top, v.Right - w.left, v.Bottom - w.top};
}

Capture Print(HWND Wnd) {
    harness::PumpUntilIdle(10, 500);
    return harness::CaptureWindow(Wnd, CaptureSource::Print);
}

std::wstring Lines(int Count) {
    std::wstring text;
    for (int i = 0; i < Count; ++i) text += L"line " + std::to_wstring(i) + L" " + std::wstring(40, L'w') + L"\r\n";
    return text;
}

// Scroll messages as the window itself gets them, below every adapter.
struct Scrolled {
    UINT Msg;
    WORD Code;
    WORD Pos;
    LPARAM LParam;
};
std::vector<Scrolled> gScrolled;
WNDPROC gBelow = nullptr;
LRESULT CALLBACK Recorder(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_HSCROLL || Msg == WM_VSCROLL) gScrolled.push_back({Msg, LOWORD(WParam), HIWORD(WParam), LParam});
    return ::CallWindowProcW(gBelow, Wnd, Msg, WParam, LParam);
}
void RecordBelow(HWND Wnd) {
    gScrolled.clear();
    gBelow = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Recorder)));
}

class EditAdapters : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        manager = kestrune_test::NewTestSkinManager(root);
        ASSERT_TRUE(manager->SkinData()->Active);
        acSBUtilsInitialization();
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        ::InitCommonControlsEx(&icc);
        parent = std::make_unique<harness::TestWindow>(520, 400, RGB(0x30, 0x60, 0x90));
        parent->Show();
    }
    void TearDown() override {
        Release();
        for (HWND w : windows)
            if (::IsWindow(w)) ::DestroyWindow(w);
        windows.clear();
        parent.reset();
        DialogModeFlag = false;
        TestSkinForm::TearDown();
    }
    HWND Make(const wchar_t* Class, DWORD Style, DWORD ExStyle = 0, int W = 220, int H = 160) {
        HWND w = ::CreateWindowExW(ExStyle, Class, L"", WS_CHILD | WS_VISIBLE | Style, 10, 10, W, H,
                                   parent->Handle(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
        windows.push_back(w);
        return w;
    }
    TacMainWnd* Attach(const char16_t* AdapterClass, HWND Wnd, TsCommonData* Data = nullptr) {
        adapter = CreateAdapter(AdapterClass, Wnd, Data, manager, u"EDIT", true);
        adapted = Wnd;
        harness::PumpUntilIdle(10, 500);
        return adapter;
    }
    void Release() {
        if (adapter == nullptr) return;
        ReleaseScrollWnd(adapted, true, false, adapter);
        adapter = nullptr;
        harness::PumpUntilIdle(10, 300);
    }
    TacScrollWnd* Scroll() const { return dynamic_cast<TacScrollWnd*>(adapter); }

    std::unique_ptr<harness::TestWindow> parent;
    std::vector<HWND> windows;
    TacMainWnd* adapter = nullptr;
    HWND adapted = nullptr;
};

void FillListBox(HWND Box, int Count) {
    for (int i = 0; i < Count; ++i)
        ::SendMessageW(Box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>((L"item " + std::to_wstring(i)).c_str()));
}

}  // namespace

// A plain EDIT and a plain LISTBOX get the EDIT section's frame and the
// skin's bars; in a dialog the frame is the window colour inside the skin's
// border line; released, both look as before.
TEST_F(EditAdapters, PlainEditAndListBoxTakeTheSectionsFrameAndTheSkinnedBars) {
    const COLORREF frame = MaskRef("EDIT", "BORDERSMASK", 0);
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    struct Case {
        const char* Name;
        const wchar_t* Class;
        DWORD Style;
        bool Dialog;
    };
    const Case cases[] = {
        {"edit", L"EDIT", ES_MULTILINE | WS_VSCROLL | WS_HSCROLL, false},
        {"list box", L"LISTBOX", WS_VSCROLL | LBS_NOINTEGRALHEIGHT, false},
        {"list box in a dialog", L"LISTBOX", WS_VSCROLL | LBS_NOINTEGRALHEIGHT, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HWND wnd = Make(c.Class, c.Style, WS_EX_CLIENTEDGE);
        if (c.Class == std::wstring(L"EDIT"))
            ::SetWindowTextW(wnd, Lines(60).c_str());
        else
            FillListBox(wnd, 80);
        const Capture before = Print(wnd);
        DialogModeFlag = c.Dialog;
        auto* a = dynamic_cast<TacEditWnd*>(Attach(u"TacEditWnd", wnd));
        DialogModeFlag = false;
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->DlgMode, c.Dialog);
        const Capture skinned = Print(wnd);
        skinned.SaveBmp((harness::ModuleFolder() + L"edit-adapter-" + std::wstring(c.Name, c.Name + std::strlen(c.Name)) + L".bmp").c_str());
        const int midY = skinned.Height / 2;
        if (c.Dialog) {
            // The window colour inside a one-pixel line of the skin's border colour.
            EXPECT_EQ(skinned.Pixel(1, midY), window);
            EXPECT_EQ(skinned.Pixel(0, midY), static_cast<COLORREF>(ColorToRGB(manager->SkinData()->BorderColor)));
            EXPECT_EQ(a->Color, static_cast<TColor>(window));
        } else {
            EXPECT_EQ(skinned.Pixel(0, midY), frame);
            EXPECT_EQ(skinned.Pixel(1, midY), frame);
            EXPECT_EQ(a->Color, static_cast<TColor>(SectionRef("EDIT")));
        }
        const RECT bar = VBarIn(wnd, Scroll());
        EXPECT_GT(ScrollShare(skinned, bar), 0.9) << "the vertical bar is not the skin's";
        EXPECT_LT(ScrollShare(before, bar), 0.1);

        Release();
        const Capture after = Print(wnd);
        EXPECT_LT(ScrollShare(after, bar), 0.1) << "the skinned bar stays";
        EXPECT_EQ(harness::DifferingPixels(after, before), 0) << "the plain look is not back";
        ::DestroyWindow(wnd);
    }
}

// The memo and the rich edit panes: with a skin painted they carry an edit
// adapter and the section's colours; when the skin goes the adapter goes and
// the plain colours come back.
TEST_F(EditAdapters, MemoAndRichEditPanesFollowTheSkin) {
    Release();
    manager->Free();
    manager = nullptr;
    LoadAndShow();
    for (bool rich : {false, true}) {
        SCOPED_TRACE(rich ? "rich edit" : "memo");
        manager->SetActive(true);
        harness::PumpUntilIdle(10, 500);
        TCustomMemo* pane = rich ? static_cast<TCustomMemo*>(New<TsRichEdit>(form)) : New<TsMemo>(form);
        pane->SetParent(form);
        pane->SetBounds(10, 10, 200, 120);
        pane->SetScrollBars(TScrollStyle::ssBoth);
        pane->Lines()->SetText([] { const std::wstring t = Lines(40); return String(t.begin(), t.end()); }());
        harness::PumpUntilIdle(10, 500);
        auto adapterOf = [&] { return rich ? static_cast<TsRichEdit*>(pane)->Adapter() : static_cast<TsMemo*>(pane)->Adapter(); };
        // Chosen after the pane exists: the repaint pass attaches it.
        manager->SetActive(false);
        harness::PumpUntilIdle(10, 500);
        manager->SetActive(true);
        harness::PumpUntilIdle(10, 500);
        ASSERT_NE(adapterOf(), nullptr);
        EXPECT_EQ(adapterOf()->ClassName(), u"TacEditWnd");
        EXPECT_EQ(AdapterOfWindow(pane->Handle()), adapterOf());
        EXPECT_EQ(ColorToRGB(pane->Color()), ColorToRGB(static_cast<TColor>(SectionRef("EDIT"))));
        const Capture skinned = Print(pane->Handle());
        skinned.SaveBmp((harness::ModuleFolder() + (rich ? L"pane-richedit.bmp" : L"pane-memo.bmp")).c_str());
        // (A rich edit prints its text by itself: that comes with the memo
        // and rich edit painting.)
        if (!rich) {
            EXPECT_EQ(skinned.Pixel(skinned.Width / 2, 4), SectionRef("EDIT")) << "client";
        }
        EXPECT_EQ(skinned.Pixel(0, skinned.Height / 2), MaskRef("EDIT", "BORDERSMASK", 0)) << "frame";
        EXPECT_GT(ScrollShare(skinned, VBarIn(pane->Handle(), dynamic_cast<TacScrollWnd*>(adapterOf()))), 0.9);

        manager->SetActive(false);
        harness::PumpUntilIdle(10, 500);
        EXPECT_EQ(adapterOf(), nullptr);
        EXPECT_EQ(AdapterOfWindow(pane->Handle()), nullptr);
        EXPECT_EQ(ColorToRGB(pane->Color()), ColorToRGB(clWindow));
        EXPECT_EQ(ColorToRGB(pane->Font()->Color()), ColorToRGB(clWindowText));
        const Capture plain = Print(pane->Handle());
        EXPECT_NE(plain.Pixel(0, plain.Height / 2), MaskRef("EDIT", "BORDERSMASK", 0));
        pane->Free();
    }
}

// A memo whose font change (made while the adapter takes the skin's colours)
// releases the adapter: the memo's skin data ends its update all the same,
// so the memo paints again instead of only validating.
namespace {
struct ReleaseOnFontChange {
    TsMemo* Memo = nullptr;
    TWndMethod Previous;
    bool Armed = false;
    void WndProc(TMessage& Message) {
        Previous(Message);
        if (Message.Msg == CM_FONTCHANGED && Armed) {
            Armed = false;
            TacMainWnd* a = Memo->Adapter();
            ReleaseScrollWnd(Memo->Handle(), false, false, a);
        }
    }
};
}  // namespace

TEST_F(EditAdapters, SkinDataEndsItsUpdateWhenAFontChangeReleasesTheAdapter) {
    Release();
    manager->Free();
    manager = nullptr;
    LoadAndShow();
    manager->SetActive(true);
    harness::PumpUntilIdle(10, 500);
    auto* memo = New<TsMemo>(form);
    memo->SetParent(form);
    memo->SetBounds(10, 10, 200, 120);
    harness::PumpUntilIdle(10, 500);
    manager->SetActive(false);
    harness::PumpUntilIdle(10, 500);
    manager->SetActive(true);
    harness::PumpUntilIdle(10, 500);
    auto* a = dynamic_cast<TacEditWnd*>(memo->Adapter());
    ASSERT_NE(a, nullptr);
    ReleaseOnFontChange hook;
    hook.Memo = memo;
    hook.Previous = memo->WindowProc;
    memo->WindowProc = TWndMethod::Of<&ReleaseOnFontChange::WndProc>(&hook);
    // A colour of the user's, which taking the skin's colours writes back.
    memo->Font()->SetColor(RGB(0xC0, 0x10, 0x20));
    hook.Armed = true;
    a->ParamsChanged = false;
    a->SetSkinParams();
    EXPECT_FALSE(hook.Armed) << "the font was not written";
    EXPECT_TRUE(a->Destroyed);
    EXPECT_FALSE(memo->SkinData()->Updating());
    memo->WindowProc = hook.Previous;
    memo->Free();
}

// The header of a report view: columns from "COLHEADER" (a frame per state:
// normal, hovered, pressed), the area right of the last column as a column
// without text, all of it printed with the list (list views and headers
// ignore WM_PAINT with a DC).
TEST_F(EditAdapters, ListViewHeaderPaintsItsColumnsFromColHeader) {
    HWND list = Make(WC_LISTVIEWW, LVS_REPORT | WS_BORDER, 0, 300, 160);
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = 90;
        wchar_t text[] = L"Col";
        col.pszText = text;
        ::SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
    }
    const LRESULT plainBack = ::SendMessageW(list, LVM_GETBKCOLOR, 0, 0);
    const LRESULT plainText = ::SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0);
    auto* a = dynamic_cast<TacListViewWnd*>(Attach(u"TacListViewWnd", list));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->FhWndHeader, nullptr);
    ::RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(static_cast<COLORREF>(::SendMessageW(list, LVM_GETBKCOLOR, 0, 0)), SectionRef("EDIT"));
    EXPECT_EQ(static_cast<COLORREF>(::SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0)),
              TestRef(skingen::TestFontColour("EDIT", 0)));
    EXPECT_EQ(a->ViewStyle(), acLvReport);
    HWND header = a->FhWndHeader;
    RECT hr{};
    ::GetWindowRect(header, &hr);
    RECT lr{};
    ::GetWindowRect(list, &lr);
    // Window coordinates of the list: a point on the left edge of each column
    // inside its border, and one in the empty area.
    const int y = hr.top - lr.top + (hr.bottom - hr.top) / 2;
    const int x0 = hr.left - lr.left + 1, x1 = x0 + 90, empty = x0 + 180;
    auto frameColour = [](int frame) { return MaskRef("COLHEADER", "BORDERSMASK", frame); };

    Capture c = Print(list);
    c.SaveBmp((harness::ModuleFolder() + L"listview-header.bmp").c_str());
    EXPECT_EQ(c.Pixel(x0, y), frameColour(0));
    EXPECT_EQ(c.Pixel(x1, y), frameColour(0));
    EXPECT_EQ(c.Pixel(empty, y), frameColour(0)) << "the area right of the last column";
    EXPECT_EQ(c.Pixel(empty + 20, y), SectionRef("COLHEADER")) << "the empty area has the section's face";

    // Sort marks: the down glyph of the bottom scroll button, the up glyph of the top one.
    for (int i = 0; i < 2; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        item.fmt = HDF_LEFT | HDF_STRING | (i == 0 ? HDF_SORTDOWN : HDF_SORTUP);
        ::SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    c = Print(list);
    auto countIn = [&](int left, int right, COLORREF colour) {
        int n = 0;
        for (int py = hr.top - lr.top; py < hr.bottom - lr.top; ++py)
            for (int px = left; px < right; ++px) n += c.Pixel(px, py) == colour;
        return n;
    };
    const COLORREF down = MaskRef("SCROLLBTNBOTTOM", "GLYPHMASK", 0), up = MaskRef("SCROLLBTNTOP", "GLYPHMASK", 0);
    EXPECT_GT(countIn(x0, x1, down), 4);
    EXPECT_EQ(countIn(x0, x1, up), 0);
    EXPECT_GT(countIn(x1, empty, up), 4);
    EXPECT_EQ(countIn(empty, c.Width, down) + countIn(empty, c.Width, up), 0) << "the empty area has no mark";

    // Hovering column 1.
    ::SendMessageW(header, WM_NCHITTEST, 0, MAKELPARAM(hr.left + 100, hr.top + 3));
    EXPECT_EQ(a->HoverColIndex, 1);
    c = Print(list);
    EXPECT_EQ(c.Pixel(x0, y), frameColour(0));
    EXPECT_EQ(c.Pixel(x1, y), frameColour(1));
    // Pressing column 0 (the hovered one then looks normal).
    ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 3));
    EXPECT_EQ(a->FPressedColumn, 0);
    c = Print(list);
    c.SaveBmp((harness::ModuleFolder() + L"listview-header-pressed.bmp").c_str());
    EXPECT_EQ(c.Pixel(x0, y), frameColour(2));
    EXPECT_EQ(c.Pixel(x1, y), frameColour(0));
    ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(20, 3));
    EXPECT_EQ(a->FPressedColumn, -1);
    // The mouse over the list's body ends the hover.
    ::SendMessageW(list, WM_NCHITTEST, 0, MAKELPARAM(lr.left + 50, lr.bottom - 20));
    EXPECT_EQ(a->HoverColIndex, -1);

    // Released: the header has its own procedure back, the list its colours.
    Release();
    EXPECT_FALSE(IsWindowAttached(header, a));
    EXPECT_EQ(::SendMessageW(list, LVM_GETBKCOLOR, 0, 0), plainBack);
    EXPECT_EQ(::SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0), plainText);
}

// Dragging a list view's thumb: in the list style the view moves by columns
// of items, otherwise by what the bar counts (lines or pixels); the position
// the window ends at is the one the drag sent. Scroll messages other than the
// drag's reach the list with lParam 0 (a scroll-bar handle there would be
// taken for one).
TEST_F(EditAdapters, ListViewThumbDragScrollsTheViewToThePositionSent) {
    struct Case {
        const char* Name;
        DWORD Style;
        bool Vertical;
    };
    const Case cases[] = {
        {"list style, horizontal", LVS_LIST, false},
        {"report, vertical (lines)", LVS_REPORT, true},
        {"report, horizontal (pixels)", LVS_REPORT, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        HWND list = Make(WC_LISTVIEWW, c.Style | WS_BORDER, 0, 260, 180);
        if (c.Style == LVS_REPORT) {
            LVCOLUMNW col{};
            col.mask = LVCF_WIDTH;
            col.cx = 700;
            ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
        }
        for (int i = 0; i < 300; ++i) {
            std::wstring text = L"item " + std::to_wstring(i);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = text.data();
            ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
        RecordBelow(list);
        auto* a = dynamic_cast<TacListViewWnd*>(Attach(u"TacListViewWnd", list));
        ASSERT_NE(a, nullptr);
        const int bar = c.Vertical ? SB_VERT : SB_HORZ;
        TacScrollBar* b = a->Bar(c.Vertical ? 1 : 0);
        ASSERT_TRUE(b->fScrollVisible);
        a->ReadScrollInfos();
        TRect r;
        if (c.Vertical)
            GetVScrollRect(a, list, r);
        else
            GetHScrollRect(a, list, r);
        const int arrow = GetScrollMetric(b, false, false);
        const int length = c.Vertical ? r.Height() : r.Width();
        const TacThumb thumb = ScrollThumb(length, arrow, b->Values(), b->nMinThumbSize);
        const int along = arrow + thumb.Offset + thumb.Size / 2;
        const POINT start = c.Vertical ? POINT{(r.Left + r.Right) / 2, r.Top + along} : POINT{r.Left + along, (r.Top + r.Bottom) / 2};
        POINT end = start;
        (c.Vertical ? end.y : end.x) += (length - 2 * arrow - thumb.Size) / 2;

        ::SendMessageW(list, WM_NCLBUTTONDOWN, c.Vertical ? HTVSCROLL : HTHSCROLL, MAKELPARAM(start.x, start.y));
        POINT client = end;
        ::ScreenToClient(list, &client);
        ::SendMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(client.x, client.y));
        ::SendMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
        harness::PumpUntilIdle(10, 300);

        // The drag's own steps are the adapter's: the list sees the
        // position and the end, both without a handle in lParam.
        std::vector<WORD> codes;
        WORD sent = 0;
        for (const Scrolled& s : gScrolled) {
            codes.push_back(s.Code);
            EXPECT_EQ(s.LParam, 0) << "code " << s.Code;
            if (s.Code == SB_THUMBPOSITION) sent = s.Pos;
        }
        EXPECT_EQ(codes, (std::vector<WORD>{SB_THUMBPOSITION, SB_ENDSCROLL}));
        EXPECT_GT(sent, 0);
        EXPECT_EQ(::GetScrollPos(list, bar), sent);
        if (c.Style == LVS_REPORT && c.Vertical) {
            EXPECT_EQ(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0), sent);
        }
        if (c.Style == LVS_LIST) {
            EXPECT_GT(::SendMessageW(list, LVM_GETTOPINDEX, 0, 0), sent) << "moved by columns";
        }
        Release();
        ::DestroyWindow(list);
    }
}

namespace {

// A grid class of another library, known only by its published properties.
class TTestLook : public TPersistent {
public:
    KES_CLASS_NAME(TTestLook)
    TColor From = clNone, To = clRed, MirrorFrom = clGreen, MirrorTo = clBlue;
};

class TTestGrid : public TCustomControl {
public:
    KES_CLASS_NAME(TTestGrid)
    explicit TTestGrid(TComponent* AOwner, bool WithLook, bool WithData)
        : TCustomControl(AOwner), HasLook(WithLook), HasData(WithData) {
        TitleFont = New<TFont>();
    }
    ~TTestGrid() override { TitleFont->Free(); }
    bool HasLook, HasData;
    TColor FixedColor = clBtnFace, GridLineColor = clSilver, SelectionColor = clHighlight, Footer = clYellow;
    TFont* TitleFont;
    TTestLook Look;
    TObject* DataSource = nullptr;
    struct Seen {
        WORD Code;
        int PosOnArrival;
    };
    std::vector<Seen> Scrolls;

protected:
    void CreateParams(TCreateParams& Params) override {
        TCustomControl::CreateParams(Params);
        Params.Style |= WS_VSCROLL;
    }
    void WndProc(TMessage& M) override {
        if (M.Msg == WM_VSCROLL) Scrolls.push_back({LOWORD(M.WParam), ::GetScrollPos(Handle(), SB_VERT)});
        TCustomControl::WndProc(M);
    }
};

template <class T>
TPropInfo ColourProp(const char16_t* Name, TColor T::*Field) {
    TPropInfo p;
    p.Name = Name;
    p.GetOrd = [Field](TObject* o) { return static_cast<Int64>(static_cast<T*>(o)->*Field); };
    p.SetOrd = [Field](TObject* o, Int64 v) { static_cast<T*>(o)->*Field = static_cast<TColor>(v); };
    return p;
}

void PublishTestGrid() {
    static bool done = false;
    if (done) return;
    done = true;
    auto grid = [](const TObject* o) { return dynamic_cast<const TTestGrid*>(o) != nullptr; };
    auto withLook = [](const TObject* o) {
        auto* g = dynamic_cast<const TTestGrid*>(o);
        return g && g->HasLook;
    };
    auto withData = [](const TObject* o) {
        auto* g = dynamic_cast<const TTestGrid*>(o);
        return g && g->HasData;
    };
    RegisterPropInfo(u"TTestGrid", grid, ColourProp<TTestGrid>(u"FixedColor", &TTestGrid::FixedColor));
    RegisterPropInfo(u"TTestGrid", grid, ColourProp<TTestGrid>(u"GridLineColor", &TTestGrid::GridLineColor));
    RegisterPropInfo(u"TTestGrid", grid, ColourProp<TTestGrid>(u"SelectionColor", &TTestGrid::SelectionColor));
    RegisterPropInfo(u"TTestGrid", grid, ColourProp<TTestGrid>(u"FooterColor", &TTestGrid::Footer));
    TPropInfo font;
    font.Name = u"TitleFont";
    font.Kind = TTypeKind::tkClass;
    font.GetObj = [](TObject* o) -> TObject* { return static_cast<TTestGrid*>(o)->TitleFont; };
    RegisterPropInfo(u"TTestGrid", grid, font);
    TPropInfo look;
    look.Name = u"ControlLook";
    look.Kind = TTypeKind::tkClass;
    look.GetObj = [](TObject* o) -> TObject* { return &static_cast<TTestGrid*>(o)->Look; };
    RegisterPropInfo(u"TTestGrid", withLook, look);
    TPropInfo data;
    data.Name = u"DataSource";
    data.Kind = TTypeKind::tkClass;
    data.GetObj = [](TObject* o) -> TObject* { return static_cast<TTestGrid*>(o)->DataSource; };
    RegisterPropInfo(u"TTestGrid", withData, data);
    RegisterProp<TTestLook>(u"TTestLook", ColourProp<TTestLook>(u"FixedGradientFrom", &TTestLook::From));
    RegisterProp<TTestLook>(u"TTestLook", ColourProp<TTestLook>(u"FixedGradientTo", &TTestLook::To));
    RegisterProp<TTestLook>(u"TTestLook", ColourProp<TTestLook>(u"FixedGradientMirrorFrom", &TTestLook::MirrorFrom));
    RegisterProp<TTestLook>(u"TTestLook", ColourProp<TTestLook>(u"FixedGradientMirrorTo", &TTestLook::MirrorTo));
}

}  // namespace

// A grid reached by property names: the colours it publishes follow the
// skin; without "ControlLook" its line and selection colours stay; all come
// back on release. A data-aware grid ("DataSource") finds its bar at the
// track position and gets the position again after the drag ends.
TEST_F(EditAdapters, GridColoursFollowTheSkinByPropertyName) {
    PublishTestGrid();
    Release();
    manager->Free();
    manager = nullptr;
    LoadAndShow();
    const TColor G = manager->GetGlobalColor(), E = manager->GetActiveEditColor(), EF = manager->GetActiveEditFontColor();
    for (bool look : {true, false}) {
        SCOPED_TRACE(look ? "with ControlLook and DataSource" : "without ControlLook and DataSource");
        auto* grid = New<TTestGrid>(form, look, look);
        grid->DataSource = look ? static_cast<TObject*>(grid->TitleFont) : nullptr;
        grid->SetParent(form);
        grid->SetBounds(10, 10, 200, 120);
        harness::PumpUntilIdle(10, 300);
        ::SetScrollRange(grid->Handle(), SB_VERT, 0, 100, FALSE);
        auto* data = New<TsCommonData>(grid, true);
        data->SetSkinSection(u"EDIT");
        auto* a = dynamic_cast<TacGridWnd*>(CreateAdapter(u"TacGridWnd", grid->Handle(), data, manager, u"EDIT", true));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(grid->ControlStyle() & csOpaque, a->OldCtrlStyle & csOpaque) << "a grid keeps its style";
        a->SetSkinParams();

        EXPECT_EQ(grid->FixedColor, G);
        EXPECT_EQ(grid->Footer, G);
        EXPECT_EQ(grid->TitleFont->Color(), manager->GetGlobalFontColor());
        if (look) {
            EXPECT_EQ(grid->GridLineColor, BlendColors(E, EF, 0.7));
            EXPECT_EQ(grid->SelectionColor, manager->GetHighLightColor());
            EXPECT_EQ(grid->Look.From, BlendColors(G, E, 0.5));
            EXPECT_EQ(grid->Look.To, G);
            EXPECT_EQ(a->FixedGradientFrom, clBtnFace) << "clNone is kept as the button face";
        } else {
            EXPECT_EQ(grid->GridLineColor, clSilver);
            EXPECT_EQ(grid->SelectionColor, clHighlight);
        }

        // The thumb moves: a data-aware grid finds the bar there already.
        ::SendMessageW(grid->Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40), 0);
        ::SendMessageW(grid->Handle(), WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), 0);
        ASSERT_GE(grid->Scrolls.size(), 2u);
        EXPECT_EQ(grid->Scrolls[0].PosOnArrival, look ? 40 : 0);
        EXPECT_EQ(grid->Scrolls.size(), look ? 3u : 2u) << "SB_THUMBPOSITION after the end only for a data-aware grid";
        if (look && grid->Scrolls.size() == 3) {
            EXPECT_EQ(grid->Scrolls[2].Code, SB_THUMBPOSITION);
        }

        TacMainWnd* variable = a;
        ReleaseScrollWnd(grid->Handle(), true, false, variable);
        EXPECT_EQ(grid->FixedColor, clBtnFace);
        EXPECT_EQ(grid->Footer, clYellow);
        EXPECT_EQ(grid->GridLineColor, clSilver);
        EXPECT_EQ(grid->SelectionColor, clHighlight);
        EXPECT_EQ(grid->Look.From, look ? clBtnFace : clNone);
        EXPECT_EQ(grid->Look.To, clRed);
        data->Free();
        grid->Free();
    }
}

// A tree view takes the section's colour as its background (the window
// colour in a dialog) and gets the window colour back on release.
TEST_F(EditAdapters, TreeViewBackgroundIsTheSectionsColour) {
    for (bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "dialog" : "form");
        HWND tree = Make(WC_TREEVIEWW, TVS_HASLINES | WS_BORDER, 0, 200, 140);
        TVINSERTSTRUCTW ins{};
        wchar_t text[] = L"node";
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = text;
        ::SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins));
        DialogModeFlag = dialog;
        ASSERT_NE(Attach(u"TacTreeViewWnd", tree), nullptr);
        DialogModeFlag = false;
        ::RedrawWindow(tree, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const COLORREF expected = dialog ? ::GetSysColor(COLOR_WINDOW) : SectionRef("EDIT");
        if (!dialog) {
            EXPECT_EQ(static_cast<COLORREF>(::SendMessageW(tree, TVM_GETBKCOLOR, 0, 0)), expected);
        }
        const Capture c = Print(tree);
        if (!dialog) c.SaveBmp((harness::ModuleFolder() + L"treeview.bmp").c_str());
        EXPECT_EQ(c.Pixel(c.Width / 2, c.Height - 10), expected);
        Release();
        EXPECT_EQ(static_cast<COLORREF>(::SendMessageW(tree, TVM_GETBKCOLOR, 0, 0)), ::GetSysColor(COLOR_WINDOW));
        ::DestroyWindow(tree);
    }
}

// Attaching, painting and releasing again and again leaves no GDI object or
// window behind.
TEST_F(EditAdapters, RepeatedAttachAndReleaseKeepObjectCountsFlat) {
    struct Kind {
        const wchar_t* Class;
        const char16_t* Adapter;
        DWORD Style;
    };
    const Kind kinds[] = {
        {L"EDIT", u"TacEditWnd", ES_MULTILINE | WS_VSCROLL | WS_HSCROLL},
        {L"LISTBOX", u"TacEditWnd", WS_VSCROLL},
        {WC_LISTVIEWW, u"TacListViewWnd", LVS_REPORT},
        {WC_TREEVIEWW, u"TacTreeViewWnd", 0},
    };
    std::vector<HWND> made;
    for (const Kind& k : kinds) made.push_back(Make(k.Class, k.Style | WS_BORDER, WS_EX_CLIENTEDGE));
    HWND list = made[2];
    LVCOLUMNW col{};
    col.mask = LVCF_WIDTH;
    col.cx = 80;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&col));
    ::SetWindowTextW(made[0], Lines(50).c_str());
    FillListBox(made[1], 50);
    auto cycle = [&] {
        for (std::size_t i = 0; i < made.size(); ++i) {
            Attach(kinds[i].Adapter, made[i]);
            ::SendMessageW(made[i], WM_NCPAINT, 1, 0);
            harness::CaptureWindow(made[i], CaptureSource::Print);
            Release();
        }
    };
    for (int i = 0; i < 10; ++i) cycle();
    const unsigned windowCount = harness::WindowCount();
    // Two rounds of 100: a leak grows with every cycle (100 or more per
    // round), while the usage figure may move by a few for other reasons.
    unsigned usage[3] = {harness::GdiObjectUsage(), 0, 0};
    for (int round = 1; round <= 2; ++round) {
        for (int i = 0; i < 100; ++i) cycle();
        usage[round] = harness::GdiObjectUsage();
    }
    EXPECT_LE(usage[2], usage[1] + 20) << usage[0] << ", " << usage[1] << ", " << usage[2];
    EXPECT_LE(usage[1], usage[0] + 20) << usage[0] << ", " << usage[1] << ", " << usage[2];
    EXPECT_EQ(harness::WindowCount(), windowCount);
}

namespace {

std::vector<std::wstring> gThemeCalls;
HRESULT WINAPI RecordTheme(HWND, LPCWSTR App, LPCWSTR) {
    gThemeCalls.push_back(App ? L"off" : L"restore");
    return S_OK;
}

// A control that keeps the system's themes by a property of its own.
class TThemedControl : public TCustomControl {
public:
    KES_CLASS_NAME(TThemedControl)
    using TCustomControl::TCustomControl;
    bool UseXPThemes = true;
};

}  // namespace

// The client adapters switch the system theme off, except for grids, list
// views of the list kind (on Windows 6 and later), controls that keep their
// themes by their "UseXPThemes" property and the dialog section; what was
// switched off is switched back on when the adapter goes.
TEST_F(EditAdapters, ThemeIsSwitchedOffUnlessTheWindowKeepsIt) {
    TPropInfo xp;
    xp.Name = u"UseXPThemes";
    xp.GetOrd = [](TObject* o) { return static_cast<Int64>(static_cast<TThemedControl*>(o)->UseXPThemes); };
    static bool published = false;
    if (!published) RegisterProp<TThemedControl>(u"TThemedControl", xp);
    published = true;
    const auto saved = acSetWindowTheme;
    acSetWindowTheme = &RecordTheme;
    auto* host = New<TForm>(Application);
    auto* themed = New<TThemedControl>(host);
    themed->SetParent(host);
    auto* plainOwner = New<TCustomControl>(host);
    plainOwner->SetParent(host);
    struct Case {
        const char* Name;
        const char16_t* Adapter;
        const char16_t* Section;
        TControl* Owner;   // the skin data's owner; nullptr: owned skin data
        bool Off;
    };
    const Case cases[] = {
        {"edit", u"TacEditWnd", u"EDIT", nullptr, true},
        {"edit of a framework control", u"TacEditWnd", u"EDIT", plainOwner, true},
        {"dialog section", u"TacEditWnd", u"DIALOG", nullptr, false},
        {"grid", u"TacGridWnd", u"EDIT", nullptr, false},
        {"list view of a framework control (list kind)", u"TacListViewWnd", u"EDIT", plainOwner, false},
        {"plain list view", u"TacListViewWnd", u"EDIT", nullptr, true},
        {"control with UseXPThemes", u"TacEditWnd", u"EDIT", themed, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        gThemeCalls.clear();
        TsCommonData* data = nullptr;
        HWND wnd = nullptr;
        if (c.Owner != nullptr) {
            data = New<TsCommonData>(c.Owner, true);
            wnd = static_cast<TWinControl*>(c.Owner)->Handle();
        } else {
            wnd = Make(L"EDIT", WS_BORDER);
        }
        TacMainWnd* a = CreateAdapter(c.Adapter, wnd, data, manager, c.Section, false);
        ASSERT_NE(a, nullptr);
        a->Free();
        EXPECT_EQ(gThemeCalls, c.Off ? (std::vector<std::wstring>{L"off", L"restore"}) : std::vector<std::wstring>{});
        if (data) data->Free();
    }
    host->Free();
    acSetWindowTheme = saved;
}
