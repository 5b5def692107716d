// The text view of the main window (a skinned rich edit) holding a long page
// while the skin changes: a rich edit lays all of its text out anew for every
// change of text attributes or font and copies all of it for every read or
// write of the whole text, so a skin change may ask for one new layout (the
// text's colour) and nothing more, with the default font and after the font
// was changed the way the font dialog's choice is applied, and every
// character still shows the new skin's text colour.
#include <gtest/gtest.h>

#include <string>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "ProcessDriver.h"
#include "Unit1.h"

namespace {

// What the messages sent to one window ask of its text while it is watched.
class TextWorkSpy {
public:
    explicit TextWorkSpy(HWND wnd) {
        gWatched = wnd;
        gSpy = this;
        FHook = ::SetWindowsHookExW(WH_CALLWNDPROC, &TextWorkSpy::Hook, nullptr, ::GetCurrentThreadId());
    }
    ~TextWorkSpy() {
        if (FHook) ::UnhookWindowsHookEx(FHook);
        gSpy = nullptr;
        gWatched = nullptr;
    }
    bool Watching() const { return FHook != nullptr; }
    // Changes of attributes or font: each lays the whole text out anew.
    int Layouts = 0;
    // Reads and writes of the whole text.
    int Transfers = 0;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && gSpy && m->hwnd == gWatched) {
            switch (m->message) {
            case WM_SETFONT:
            case EM_SETCHARFORMAT:
            case EM_SETPARAFORMAT: ++gSpy->Layouts; break;
            case WM_GETTEXT:
            case EM_GETTEXTEX:
            case EM_GETTEXTRANGE:
            case EM_STREAMOUT:
            case WM_SETTEXT:
            case EM_SETTEXTEX:
            case EM_STREAMIN: ++gSpy->Transfers; break;
            default: break;
            }
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline TextWorkSpy* gSpy = nullptr;
    static inline HWND gWatched = nullptr;
    HHOOK FHook = nullptr;
};

// A page of short lines, as a fetched page looks; pages of different words
// differ everywhere.
String Page(int lines, const std::string& word) {
    std::string page;
    for (int i = 0; i < lines; ++i) {
        page += "<p>" + std::to_string(i);
        for (int k = 0; k < 8; ++k) page += " " + word;
        page += "</p>\r\n";
    }
    return String(page.begin(), page.end());
}

// The colour and face of the character at position in the rich edit.
CHARFORMAT2W FormatAt(HWND view, LONG position) {
    CHARRANGE range{position, position + 1};
    ::SendMessageW(view, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    ::SendMessageW(view, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format;
}

struct SwitchCase {
    const char* Name;
    bool FontChanged;      // the font dialog's way: all selected, then the font assigned
    bool PageReplaced;     // a long page replaced by another (the view's window made anew)
    bool InLines;          // the page arrived line by line, as from a fetch
};

class TextViewSkinSwitch : public ::testing::TestWithParam<SwitchCase> {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        form = New<TForm1>(Application);
        form->Show();
        const std::wstring skins = harness::ModuleFolder() + L"..\\app\\Skins";
        form->sSkinManager1->SetSkinDirectory(String(skins.begin(), skins.end()));
        form->sSkinManager1->SetSkinName(u"Daylight");
        ASSERT_TRUE(form->sSkinManager1->SkinData()->Active) << "the own skins are not built";
        harness::PumpUntilIdle(10, 2000);
    }
    void TearDown() override {
        if (form) form->Free();
        harness::PumpUntilIdle(5, 500);
    }
    TColor SkinTextColour() {
        TsSkinManager* m = form->sSkinManager1;
        const Integer index = form->sRichEdit1->SkinData()->SkinIndex;
        EXPECT_TRUE(m->IsValidSkinIndex(index));
        return m->IsValidSkinIndex(index) ? ColorToRGB(m->gd()[static_cast<std::size_t>(index)].FontColor.Color) : 0;
    }
    TForm1* form = nullptr;
};

TEST_P(TextViewSkinSwitch, AsksForOneLayoutAtMostAndTheWholeTextTakesTheSkinsColour) {
    const SwitchCase& c = GetParam();
    TsRichEdit* view = form->sRichEdit1;
    const String page = Page(2500, "abcdefgh");   // about 200 KB
    if (c.InLines) {
        for (int i = 0; i < 2500; ++i) view->Lines()->Add(u"<p>" + IntToStr(i) + u" the page arrives line by line</p>");
    } else {
        view->SetText(page);
    }
    if (c.PageReplaced) {
        const HWND before = view->Handle();
        view->SetText(Page(2500, "ZYXWVUTS"));
        ASSERT_NE(view->Handle(), before) << "the page was changed in place";
    }
    if (c.FontChanged) {
        TFont* chosen = New<TFont>();
        chosen->SetName(u"Courier New");
        chosen->SetSize(10);
        view->SelectAll();
        view->Font()->Assign(chosen);
        chosen->Free();
    }
    harness::PumpUntilIdle(10, 2000);
    const HWND wnd = view->Handle();
    const LONG last = static_cast<LONG>(::SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0)) - 3;
    ASSERT_GT(last, 90000);
    const String face = view->Font()->Name();

    for (const char16_t* skin : {u"Basalt", u"Lagoon", u"Daylight"}) {
        SCOPED_TRACE(StringToUtf8(skin));
        int layouts = 0, transfers = 0;
        {
            TextWorkSpy spy(wnd);
            ASSERT_TRUE(spy.Watching());
            form->sSkinManager1->SetSkinName(skin);
            harness::PumpUntilIdle(10, 2000);
            layouts = spy.Layouts;
            transfers = spy.Transfers;
        }
        EXPECT_LE(layouts, 1) << "the text is laid out anew more than once";
        EXPECT_EQ(transfers, 0) << "the whole text is read or written";
        ASSERT_EQ(view->Handle(), wnd);
        const COLORREF colour = static_cast<COLORREF>(SkinTextColour());
        for (const LONG at : {LONG{0}, last / 2, last}) {
            const CHARFORMAT2W f = FormatAt(wnd, at);
            EXPECT_EQ(f.crTextColor, colour) << "at " << at;
            EXPECT_EQ(String(reinterpret_cast<const Char*>(f.szFaceName)), face) << "at " << at;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LongPage, TextViewSkinSwitch,
                         ::testing::Values(SwitchCase{"DefaultFont", false, false, false},
                                           SwitchCase{"AfterAFontChange", true, false, false},
                                           SwitchCase{"AfterTheWindowWasMadeAnew", false, true, false},
                                           SwitchCase{"ArrivedInLines", false, false, true}),
                         [](const ::testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.Name); });

}  // namespace
