// The memo and the rich edit under the flat test skin (the section's colours,
// a window made anew when the skin goes that keeps its text and its raised
// limit, the rich edit's printed text) and the bound label beside them (its
// eight layouts with and without a width limit, its name and caption, the
// control's state it follows).
#include <gtest/gtest.h>

#include <string>

#include "ComCtrls.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "SkinNames.h"
#include "TestSkinForm.h"
#include "acPixels.h"
#include "acSBUtils.h"
#include "sLabel.h"
#include "sMemo.h"
#include "sRichEdit.h"
#include "sSkinManager.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

using harness::Capture;
using harness::CaptureSource;
using kestrune_test::TestRef;

String Repeated(const char16_t* Piece, int Count) {
    String s;
    for (int i = 0; i < Count; ++i) s += Piece;
    return s;
}

class EditPanes : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        acSBUtilsInitialization();
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 480, 360));
    }
    template <class T>
    T* Pane(const char16_t* Name) {
        T* pane = New<T>(form);
        pane->SetName(Name);
        pane->SetParent(form);
        pane->SetBounds(120, 90, 220, 140);
        pane->SetScrollBars(TScrollStyle::ssBoth);
        harness::PumpUntilIdle(10, 500);
        return pane;
    }
    void Switch(bool Active) {
        manager->SetActive(Active);
        harness::PumpUntilIdle(10, 500);
    }
};

// ---- Memo and rich edit -----------------------------------------------------------------

TEST_F(EditPanes, MemoAndRichEditTakeTheEditSectionsColours) {
    const COLORREF back = TestRef(skingen::TestSectionColour("EDIT", 0));
    const COLORREF text = TestRef(skingen::TestFontColour("EDIT", 0));
    auto* memo = Pane<TsMemo>(u"Memo1");
    auto* rich = Pane<TsRichEdit>(u"Rich1");
    for (TCustomMemo* pane : {static_cast<TCustomMemo*>(memo), static_cast<TCustomMemo*>(rich)}) {
        SCOPED_TRACE(pane == memo ? "memo" : "rich edit");
        EXPECT_EQ(static_cast<COLORREF>(ColorToRGB(pane->Color())), back);
        EXPECT_EQ(static_cast<COLORREF>(ColorToRGB(pane->Font()->Color())), text);
    }
    // The rich edit's text takes the colour itself (its default attributes).
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    ::SendMessageW(rich->Handle(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.crTextColor, text);
    EXPECT_NE(memo->Adapter(), nullptr);
    EXPECT_NE(rich->Adapter(), nullptr);

    // A disabled rich edit mixes its text half-way into its background; its
    // default text attributes follow.
    rich->SetEnabled(false);
    const COLORREF mixed = static_cast<COLORREF>(ColorToRGB(MixColorsHalf(static_cast<TColor>(text), static_cast<TColor>(back))));
    EXPECT_EQ(static_cast<COLORREF>(ColorToRGB(rich->Font()->Color())), mixed);
    ::SendMessageW(rich->Handle(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.crTextColor, mixed);
    rich->SetEnabled(true);
    EXPECT_EQ(static_cast<COLORREF>(ColorToRGB(rich->Font()->Color())), text);
    EXPECT_EQ(static_cast<COLORREF>(ColorToRGB(rich->Color())), back);
}

// While skinned the memo tells of its scrolling; its letters can be kept as
// capitals.
TEST_F(EditPanes, MemoReportsScrollingAndKeepsItsCharCase) {
    auto* memo = Pane<TsMemo>(u"Memo1");
    memo->SetText(Repeated(u"a line of the memo\r\n", 60));
    struct Counter {
        TObject* Expected = nullptr;
        int Scrolled = 0, Caret = 0;
        void VScroll(TObject* Sender) { Scrolled += Sender == Expected; }
        void ScrollCaret(TObject* Sender) { Caret += Sender == Expected; }
    } counter{memo};
    int& scrolled = counter.Scrolled;
    int& caret = counter.Caret;
    memo->OnVScroll = TNotifyEvent::Of<&Counter::VScroll>(&counter);
    memo->OnScrollCaret = TNotifyEvent::Of<&Counter::ScrollCaret>(&counter);
    ::SendMessageW(memo->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(scrolled, 1);
    EXPECT_GT(::SendMessageW(memo->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    ::SendMessageW(memo->Handle(), EM_SCROLLCARET, 0, 0);
    EXPECT_EQ(caret, 1);

    memo->SetText(u"Mixed Case");
    memo->SetCharCase(ecUpperCase);
    EXPECT_EQ(memo->Text(), u"MIXED CASE");
    EXPECT_NE(memo->Adapter(), nullptr) << "the window made anew under the skin has its adapter";
}

// Removing the skin makes the windows anew with the system look: the text
// stays, and the rich edit's window takes appended page chunks past the
// plain 32,767-character limit.
TEST_F(EditPanes, RemovingTheSkinKeepsTextAndTheRaisedLimit) {
    auto* memo = Pane<TsMemo>(u"Memo1");
    auto* rich = Pane<TsRichEdit>(u"Rich1");
    const String text = Repeated(u"a line of the page\r\n", 200);
    memo->SetText(text);
    rich->SetText(text);
    const HWND oldRich = rich->Handle();
    // A second window in the same place shows that the old one really went.
    ::SetPropW(oldRich, L"KesOldWindow", reinterpret_cast<HANDLE>(1));

    Switch(false);
    EXPECT_EQ(rich->Adapter(), nullptr);
    EXPECT_EQ(memo->Adapter(), nullptr);
    EXPECT_EQ(::GetPropW(rich->Handle(), L"KesOldWindow"), nullptr) << "the rich edit's window was not made anew";
    EXPECT_EQ(memo->Text(), text);
    EXPECT_EQ(rich->Text(), text);
    EXPECT_GE(::SendMessageW(rich->Handle(), EM_GETLIMITTEXT, 0, 0), TsRichEdit::TextLimit);
    EXPECT_EQ(static_cast<COLORREF>(ColorToRGB(rich->Color())), static_cast<COLORREF>(ColorToRGB(clWindow)));
    EXPECT_EQ(static_cast<COLORREF>(ColorToRGB(memo->Color())), static_cast<COLORREF>(ColorToRGB(clWindow)));

    // Page chunks appended to the new window are all kept.
    const String chunk = Repeated(u"0123456789", 1000);
    for (int i = 0; i < 5; ++i) rich->Lines()->Add(chunk);
    EXPECT_GT(rich->Text().size(), text.size() + 5 * chunk.size());

    // The skin comes back: adapters again, and the limit on a window made
    // anew once more stays raised.
    Switch(true);
    EXPECT_NE(rich->Adapter(), nullptr);
    EXPECT_NE(memo->Adapter(), nullptr);
    rich->SetPlainText(true);
    EXPECT_GE(::SendMessageW(rich->Handle(), EM_GETLIMITTEXT, 0, 0), TsRichEdit::TextLimit);
}

// The rich edit printed while skinned shows its frame and its text (where
// the control renders no range itself, its on-screen image).
TEST_F(EditPanes, PrintedRichEditShowsFrameAndText) {
    auto* rich = Pane<TsRichEdit>(u"Rich1");
    rich->SetText(u"WWWWWWWWWW WWWWWWWWWW\r\nWWWWWWWWWW WWWWWWWWWW\r\nWWWWWWWWWW");
    rich->Font()->SetSize(14);
    harness::PumpUntilIdle(10, 500);
    ::RedrawWindow(rich->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    harness::PumpUntilIdle(10, 500);
    const Capture c = harness::CaptureWindow(rich->Handle(), CaptureSource::Print);
    c.SaveBmp((harness::ModuleFolder() + L"richedit-printed.bmp").c_str());
    const COLORREF text = TestRef(skingen::TestFontColour("EDIT", 0));
    EXPECT_GT(c.Count(text, 40), 40) << "no text in the printed client";
    EXPECT_EQ(c.Pixel(0, c.Height / 2), TestRef(skingen::TestMaskColour("EDIT", "BORDERSMASK", 0))) << "frame";
    EXPECT_GT(c.Count(TestRef(skingen::TestSectionColour("EDIT", 0))), c.Width * c.Height / 4) << "background";
}

// ---- Bound label ------------------------------------------------------------------------

struct LayoutCase {
    TsCaptionLayout Layout;
    const char* Name;
};

const LayoutCase kLayouts[] = {
    {sclLeft, "left"},           {sclTopLeft, "top left"},       {sclTopCenter, "top centre"},
    {sclTopRight, "top right"},  {sclLeftTop, "left top"},       {sclBottomLeft, "bottom left"},
    {sclBottomCenter, "bottom centre"}, {sclBottomRight, "bottom right"},
};

// Where the label must be, from its final size.
RECT Expected(TsCaptionLayout Layout, const RECT& C, int W, int H, int Indent) {
    const int cw = C.right - C.left, ch = C.bottom - C.top;
    int left = C.left, top = C.top;
    switch (Layout) {
    case sclLeft: left = C.left - W - Indent - 4; top = C.top + (ch - H) / 2; break;
    case sclTopLeft: top = C.top - H - Indent; break;
    case sclTopCenter: left = C.left + (cw - W) / 2; top = C.top - H - Indent; break;
    case sclTopRight: left = C.left + cw - W; top = C.top - H - Indent; break;
    case sclLeftTop: left = C.left - W - Indent - 4; top = C.top + 3; break;
    case sclBottomLeft: top = C.bottom + Indent; break;
    case sclBottomCenter: left = C.left + (cw - W) / 2; top = C.bottom + Indent; break;
    case sclBottomRight: left = C.left + cw - W; top = C.bottom + Indent; break;
    }
    return RECT{left, top, left + W, top + H};
}

TEST_F(EditPanes, BoundLabelLayoutsWithAndWithoutWidthLimit) {
    auto* memo = Pane<TsMemo>(u"Memo1");
    memo->SetBounds(150, 120, 160, 60);
    TsBoundLabel* bound = memo->BoundLabel();
    bound->SetCaption(u"A caption long enough to wrap at fifty pixels");
    bound->SetIndent(3);
    bound->SetActive(true);
    TsEditLabel* label = bound->TheLabel();
    ASSERT_NE(label, nullptr);
    const TAlignment alignments[] = {taRightJustify, taLeftJustify, taCenter, taRightJustify,
                                     taLeftJustify,  taLeftJustify, taCenter, taRightJustify};
    for (int maxWidth : {0, 50}) {
        bound->SetMaxWidth(maxWidth);
        for (std::size_t i = 0; i < std::size(kLayouts); ++i) {
            const LayoutCase& k = kLayouts[i];
            SCOPED_TRACE(std::string(k.Name) + (maxWidth ? ", width limit 50" : ", no limit"));
            bound->SetLayout(k.Layout);
            EXPECT_EQ(label->Alignment(), alignments[i]);
            const RECT r = label->BoundsRect();
            const int w = r.right - r.left, h = r.bottom - r.top;
            if (maxWidth) {
                EXPECT_EQ(w, 50);
                EXPECT_TRUE(label->WordWrap());
                EXPECT_FALSE(label->AutoSize());
                EXPECT_GE(h, memo->Height());
            } else {
                EXPECT_GT(w, 100) << "one line";
                EXPECT_LT(h, memo->Height());
            }
            const RECT e = Expected(k.Layout, memo->BoundsRect(), w, h, 3);
            EXPECT_EQ(r.left, e.left);
            EXPECT_EQ(r.top, e.top);
            EXPECT_EQ(label->Parent(), memo->Parent());
        }
    }
    // The wrapped text needs more than one line's height.
    bound->SetLayout(sclTopLeft);
    bound->SetCaption(Repeated(u"wrapping words ", 12));
    EXPECT_GT(label->Height(), memo->Height());
    EXPECT_EQ(label->Top() + label->Height() + 3, memo->Top());
}

TEST_F(EditPanes, BoundLabelIsNamedAfterItsControlAndFollowsIt) {
    auto* memo = Pane<TsMemo>(u"Memo1");
    TsBoundLabel* bound = memo->BoundLabel();
    EXPECT_TRUE(bound->UseSkinColor());
    // A font set while there is no label is not given to the label.
    TFont* big = New<TFont>();
    big->SetSize(30);
    bound->Font()->Assign(big);
    big->Free();
    bound->SetActive(true);
    TsEditLabel* label = bound->TheLabel();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Name(), u"Memo1Label");
    EXPECT_EQ(label->Caption(), u"Memo1");
    EXPECT_EQ(bound->Caption(), u"Memo1");
    EXPECT_EQ(label->FocusControl(), memo);
    EXPECT_EQ(label->BoundLabel, bound);
    EXPECT_NE(label->Font()->Size(), 30);
    // Indent 0 at the left: four pixels between label and control.
    EXPECT_EQ(label->Left() + label->Width() + 4, memo->Left());

    // It moves with the control.
    memo->SetBounds(200, 150, 220, 140);
    harness::PumpUntilIdle(10, 300);
    EXPECT_EQ(label->Left() + label->Width() + 4, 200);
    EXPECT_EQ(label->Top(), 150 + (140 - label->Height()) / 2);
    // Visibility and the enabled state follow; with the blended disabled
    // look the label is disabled too, without it the label stays enabled.
    memo->SetVisible(false);
    EXPECT_FALSE(label->Visible());
    memo->SetVisible(true);
    EXPECT_TRUE(label->Visible());
    memo->SetEnabled(false);
    EXPECT_FALSE(label->Enabled());
    memo->SetEnabled(true);
    memo->SetDisabledKind({});
    memo->SetEnabled(false);
    EXPECT_TRUE(label->Enabled());
    memo->SetEnabled(true);

    // A caption change is shown and placed again.
    bound->SetCaption(u"Header pane");
    EXPECT_EQ(label->Caption(), u"Header pane");
    EXPECT_EQ(label->Left() + label->Width() + 4, 200);

    // Freed from outside (by its parent, say): the bound label is inactive
    // and holds no stale label; clearing Active frees a label.
    label->Free();
    EXPECT_FALSE(bound->Active());
    EXPECT_EQ(bound->TheLabel(), nullptr);
    bound->SetActive(true);
    ASSERT_NE(bound->TheLabel(), nullptr);
    bound->SetActive(false);
    EXPECT_EQ(bound->TheLabel(), nullptr);
    EXPECT_EQ(form->ControlCount(), 1);
    // Active again, and the control freed with its label.
    bound->SetActive(true);
    memo->Free();
    EXPECT_EQ(form->ControlCount(), 0);
}

}  // namespace
