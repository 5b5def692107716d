// The page viewer's main window: its form definition, the worker messages,
// the conversion box, the commands (with their dialogs answered through the
// dialogs' shown hook), and fetches from the loopback test server.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "DialogAnswer.h"
#include "FrameworkEnvironment.h"
#include "FuzzFindings.h"
#include "GuiHarness.h"
#include "HttpTestServer.h"
#include "SkinImage.h"
#include "TestImages.h"
#include "TestPages.h"
#include "Unit1.h"
#include "acPNG.h"
#include "acUtilsWin.h"

#include <tlhelp32.h>

namespace {

class MainForm : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        RawPageText.clear();
        form = New<TForm1>(Application);
    }
    void TearDown() override {
        if (form) form->Free();
        harness::PumpUntilIdle(5, 500);
    }
    void Post(Byte kind, const String& text, Integer value) {
        form->Perform(WM_THREADMESSAGE, 0, reinterpret_cast<LPARAM>(new TThreadMessage(kind, text, value)));
    }
    String Status() const { return form->StatusBar1->SimpleText(); }
    TForm1* form = nullptr;
};

struct ControlRow {
    const char* Name;
    const char* Class;
    const char* Parent;
    int Left, Top, Width, Height;   // -1: not fixed by the definition
    TAlign Align;
    bool Visible;
};

}  // namespace

TEST_F(MainForm, ControlsFollowTheFormDefinition) {
    const ControlRow rows[] = {
        {"Panel1", "TPanel", "Form1", -1, -1, -1, 36, TAlign::alTop, true},
        {"Edit1", "TEdit", "Panel1", 7, 7, 264, 19, TAlign::alNone, false},
        {"sPanel1", "TsPanel", "Panel1", -1, -1, -1, -1, TAlign::alClient, true},
        {"sLabel1", "TsLabel", "sPanel1", 640, 12, -1, -1, TAlign::alNone, true},
        {"sComboBox1", "TsComboBox", "sPanel1", 670, 9, 113, -1, TAlign::alNone, true},
        {"sComboBox2", "TsComboBox", "sPanel1", 8, 7, 264, -1, TAlign::alNone, true},
        {"sCheckBox1", "TsCheckBox", "sPanel1", 416, 8, 96, 20, TAlign::alNone, true},
        {"sButton3", "TsButton", "sPanel1", 520, 7, 43, 22, TAlign::alNone, true},
        {"sButton1", "TsButton", "sPanel1", 275, 7, 65, 22, TAlign::alNone, true},
        {"sButton2", "TsButton", "sPanel1", 342, 7, 65, 22, TAlign::alNone, true},
        {"StatusBar1", "TStatusBar", "Form1", -1, -1, -1, 16, TAlign::alBottom, true},
        {"sProgressBar1", "TsProgressBar", "Form1", -1, -1, -1, 8, TAlign::alBottom, true},
        {"Panel2", "TPanel", "Form1", -1, -1, -1, -1, TAlign::alClient, true},
        {"sPanel2", "TsPanel", "Panel2", -1, -1, -1, -1, TAlign::alClient, true},
        {"sRichEdit1", "TsRichEdit", "sPanel2", 8, 6, 771, 324, TAlign::alNone, true},
        {"sMemo1", "TsMemo", "sPanel2", 8, 336, 329, 137, TAlign::alNone, true},
        {"sMemo2", "TsMemo", "sPanel2", 343, 336, 436, 137, TAlign::alNone, true},
        {"Button3", "TButton", "sPanel2", 10, 481, 75, 16, TAlign::alNone, true},
        {"Button4", "TButton", "sPanel2", 96, 481, 49, 16, TAlign::alNone, true},
        {"pict_panel", "TPanel", "Form1", -1, -1, -1, -1, TAlign::alClient, false},
        {"sScrollBox1", "TsScrollBox", "pict_panel", -1, -1, -1, -1, TAlign::alClient, true},
        {"Image1", "TImage", "sScrollBox1", 0, 0, -1, -1, TAlign::alNone, true},
    };
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.Name);
        auto* c = dynamic_cast<TControl*>(form->FindComponent(AsciiToString(row.Name)));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->ClassName(), AsciiToString(row.Class));
        ASSERT_NE(c->Parent(), nullptr);
        EXPECT_EQ(c->Parent()->Name(), AsciiToString(row.Parent));
        if (row.Left >= 0) {
            EXPECT_EQ(c->Left(), row.Left);
        }
        if (row.Top >= 0) {
            EXPECT_EQ(c->Top(), row.Top);
        }
        if (row.Width >= 0) {
            EXPECT_EQ(c->Width(), row.Width);
        }
        if (row.Height >= 0) {
            EXPECT_EQ(c->Height(), row.Height);
        }
        EXPECT_EQ(c->Align(), row.Align);
        EXPECT_EQ(c->Visible(), row.Visible);
    }
    // The progress bar sits above the status bar.
    EXPECT_LT(form->sProgressBar1->Top(), form->StatusBar1->Top());
}

TEST_F(MainForm, SettingsAndEventsFollowTheFormDefinition) {
    EXPECT_EQ(form->ClientWidth(), 790);
    EXPECT_EQ(form->ClientHeight(), 560);
    EXPECT_EQ(form->Left(), 240);
    EXPECT_EQ(form->Top(), 162);
    EXPECT_EQ(form->Color(), cl3DLight);
    EXPECT_EQ(form->Font()->Name(), u"MS Sans Serif");
    EXPECT_EQ(form->Font()->Height(), -11);
    EXPECT_EQ(form->Caption(), u"Kestrune v0.1");

    EXPECT_EQ(form->sComboBox1->ItemIndex(), -1);
    EXPECT_EQ(form->sComboBox2->ItemIndex(), -1);
    ASSERT_EQ(form->sComboBox2->Items()->Count(), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(form->sComboBox2->Items()->Get(i).rfind(u"http://", 0), 0u);
    EXPECT_EQ(form->sCheckBox1->Caption(), u"win-1251 ->utf-8");
    EXPECT_FALSE(form->sCheckBox1->Checked());
    EXPECT_EQ(form->sButton1->Caption(), u"Go!");
    EXPECT_EQ(form->sButton2->Caption(), u"Stop");
    EXPECT_EQ(form->sButton3->Caption(), u"load");
    EXPECT_EQ(form->Button3->Caption(), u"\u0448\u0440\u0438\u0444\u0442");
    EXPECT_EQ(form->Button4->Caption(), u"save");
    EXPECT_EQ(form->sLabel1->Caption(), u"skin");
    EXPECT_TRUE(form->StatusBar1->SimplePanel());
    EXPECT_TRUE(form->sProgressBar1->Smooth());
    EXPECT_EQ(form->sRichEdit1->Font()->Name(), u"MS Sans Serif");
    EXPECT_EQ(form->sRichEdit1->Font()->Charset(), RUSSIAN_CHARSET);
    EXPECT_EQ(form->sMemo1->ScrollBars(), TScrollStyle::ssBoth);
    EXPECT_EQ(form->sMemo2->ScrollBars(), TScrollStyle::ssBoth);
    EXPECT_TRUE(form->Image1->AutoSize());
    EXPECT_TRUE(form->Image1->Transparent());
    EXPECT_FALSE(form->Timer1->Enabled());
    EXPECT_EQ(form->Timer1->Interval(), 100u);
    EXPECT_EQ(form->OpenDialog1->Filter(),
              u"Html documents|*.htm;*.html|Jpeg|*.jpg;*.jpeg|Png|*.png|Gif|*.gif|any file|*.*");
    EXPECT_TRUE(form->SaveDialog1->Options().Contains(ofOverwritePrompt));
    EXPECT_TRUE(form->SaveDialog1->Options().Contains(ofHideReadOnly));
    EXPECT_TRUE(form->SaveDialog1->Options().Contains(ofEnableSizing));

    const struct {
        const char* Name;
        const char* Section;
        String Actual;
    } sections[] = {
        {"sPanel1", "PANEL", form->sPanel1->SkinData()->SkinSection()},         {"sPanel2", "PANEL", form->sPanel2->SkinData()->SkinSection()},
        {"sComboBox1", "COMBOBOX", form->sComboBox1->SkinData()->SkinSection()}, {"sComboBox2", "COMBOBOX", form->sComboBox2->SkinData()->SkinSection()},
        {"sCheckBox1", "CHECKBOX", form->sCheckBox1->SkinData()->SkinSection()},
        {"sButton1", "BUTTON", form->sButton1->SkinData()->SkinSection()},
        {"sRichEdit1", "EDIT", form->sRichEdit1->SkinData()->SkinSection()}, {"sMemo1", "EDIT", form->sMemo1->SkinData()->SkinSection()},
        {"sScrollBox1", "PANEL_LOW", form->sScrollBox1->SkinData()->SkinSection()}, {"sProgressBar1", "GAUGE", form->sProgressBar1->SkinData()->SkinSection()},
    };
    for (const auto& s : sections) EXPECT_EQ(s.Actual, AsciiToString(s.Section)) << s.Name;

    EXPECT_TRUE(form->sButton1->OnClick == TNotifyEvent::Of<&TForm1::sButton1Click>(form));
    EXPECT_TRUE(form->sButton2->OnClick == TNotifyEvent::Of<&TForm1::sButton2Click>(form));
    EXPECT_TRUE(form->sButton3->OnClick == TNotifyEvent::Of<&TForm1::sButton3Click>(form));
    EXPECT_TRUE(form->Button3->OnClick == TNotifyEvent::Of<&TForm1::Button3Click>(form));
    EXPECT_TRUE(form->Button4->OnClick == TNotifyEvent::Of<&TForm1::Button4Click>(form));
    EXPECT_TRUE(form->sCheckBox1->OnClick == TNotifyEvent::Of<&TForm1::sCheckBox1Click>(form));
    EXPECT_TRUE(form->sComboBox1->OnChange == TNotifyEvent::Of<&TForm1::sComboBox1Change>(form));
    EXPECT_TRUE(form->sComboBox2->OnChange == TNotifyEvent::Of<&TForm1::sComboBox2Change>(form));
    EXPECT_TRUE(form->Timer1->OnTimer == TNotifyEvent::Of<&TForm1::Timer1Timer>(form));
    EXPECT_TRUE(form->FindDialog1->OnFind == TNotifyEvent::Of<&TForm1::FindDialog1Find>(form));
    EXPECT_TRUE(form->OnKeyUp == TKeyEvent::Of<&TForm1::FormKeyUp>(form));

    EXPECT_EQ(form->sSkinManager1->SkinName(), u"");
    EXPECT_EQ(form->sSkinManager1->SkinInfo(), u"N/A");
    EXPECT_EQ(form->sSkinManager1->ThirdParty()->ThirdButtons, u"TButton");
    EXPECT_EQ(form->sSkinManager1->SkinDirectory(), GetAppDir() + u"Skins");
}

TEST_F(MainForm, WorkerMessagesUpdateTheWindow) {
    struct Row {
        Byte Kind;
        const char16_t* Text;
        Integer Value;
        const char16_t* Status;   // nullptr: unchanged
        int Position;
        const char16_t* LogLine;  // nullptr: no new line
    };
    const Row rows[] = {
        {tmProgress, u"50", 200, u"50 of 200", 25, nullptr},
        {tmProgress, u"1", 8, u"1 of 8", 12, nullptr},            // 12.5 rounds to even
        {tmProgress, u"3", 8, u"3 of 8", 38, nullptr},            // 37.5 rounds to even
        {tmProgress, u"500", 200, u"500 of 200", 100, nullptr},   // more than announced
        {tmProgress, u"2147483647", 2147483647, u"2147483647 of 2147483647", 100, nullptr},
        {tmProgress, u"77", 0, u"77 (?)", 0, nullptr},
        {tmProgress, u"77", -5, u"77 (?)", 0, nullptr},
        {tmProgress, u"abc", 100, u"0 of 100", 0, nullptr},
        {tmProgress, u"-40", 100, u"0 of 100", 0, nullptr},
        {tmRedirect, u"http://host/next", 0, nullptr, 0, u"Redirected to: http://host/next"},
        {tmSocketError, u"The connection was refused", 12029, nullptr, 0, u"Socket Error: The connection was refused"},
        {9, u"ignored", 1, nullptr, -1, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(StringToUtf8(row.Text));
        form->sProgressBar1->SetPosition(60);
        form->StatusBar1->SetSimpleText(u"before");
        const int lines = form->sMemo1->Lines()->Count();
        Post(row.Kind, row.Text, row.Value);
        EXPECT_EQ(Status(), row.Status ? String(row.Status) : String(u"before"));
        EXPECT_EQ(form->sProgressBar1->Position(), row.Position < 0 ? 60 : row.Position);
        if (row.LogLine) {
            ASSERT_EQ(form->sMemo1->Lines()->Count(), lines + 1);
            EXPECT_EQ(form->sMemo1->Lines()->Get(lines), String(row.LogLine));
        } else {
            EXPECT_EQ(form->sMemo1->Lines()->Count(), lines);
        }
    }

    form->StatusBar1->SetSimpleText(u"1000 of 1000");
    Post(tmDone, u"line one\r\nline two\r\n", 200);
    EXPECT_EQ(Status(), u"1000 of 1000 Resultcode: 200");
    EXPECT_EQ(form->sProgressBar1->Position(), 100);
    EXPECT_EQ(form->sRichEdit1->Lines()->Get(0), u"line one");
    EXPECT_EQ(form->sRichEdit1->Lines()->Get(1), u"line two");
    EXPECT_EQ(RawPageText, u"line one\r\nline two\r\n");
}

TEST_F(MainForm, ConversionBoxRendersTheSameBytesBothWays) {
    // "Привет" in Windows-1251 and in UTF-8, one character per byte as received.
    const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
    const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    const String expected = u"\u041F\u0440\u0438\u0432\u0435\u0442";

    RawPageText = AnsiToString(cp1251);
    form->sCheckBox1->SetChecked(true);   // fires OnClick
    EXPECT_EQ(Trim(form->sRichEdit1->Text()), expected);
    form->sCheckBox1->SetChecked(false);
    EXPECT_NE(Trim(form->sRichEdit1->Text()), expected);

    RawPageText = AnsiToString(utf8);
    form->sCheckBox1Click(form->sCheckBox1);
    EXPECT_EQ(Trim(form->sRichEdit1->Text()), expected);

    // Before any fetch the view renders empty.
    RawPageText.clear();
    form->sCheckBox1->SetChecked(true);
    EXPECT_EQ(form->sRichEdit1->Text(), u"");
}

TEST_F(MainForm, AddressBoxFeedsTheHiddenEdit) {
    form->sComboBox2->SetText(u"http://127.0.0.1/x");
    form->sComboBox2Change(form->sComboBox2);
    EXPECT_EQ(form->Edit1->Text(), u"http://127.0.0.1/x");
}

TEST_F(MainForm, GoWithAnEmptyAddressEndsAndEnablesGoAgain) {
    form->Show();
    form->Edit1->SetText(u"");
    form->sButton1Click(form->sButton1);
    EXPECT_FALSE(form->sButton1->Enabled());
    EXPECT_TRUE(form->sButton2->Enabled());
    EXPECT_EQ(form->Caption(), u" - Kestrune v0.1");
    EXPECT_TRUE(harness::PumpUntil([&] {
        Application->ProcessMessages();
        return form->Worker() == nullptr;
    }));
    EXPECT_TRUE(form->sButton1->Enabled());
    EXPECT_FALSE(form->sButton2->Enabled());
    EXPECT_FALSE(form->Timer1->Enabled());
    EXPECT_EQ(Status(), u"loading...");
}

TEST_F(MainForm, CtrlFOpensTheFindDialogAndFAloneDoesNot) {
    form->Show();
    harness::PumpUntilIdle(20, 1000);
    Word key = 'F';
    form->FormKeyUp(form, key, 0);
    EXPECT_EQ(form->FindDialog1->Handle(), nullptr);
    form->FormKeyUp(form, key, ssCtrl);
    ASSERT_NE(form->FindDialog1->Handle(), nullptr);
    EXPECT_TRUE(::IsWindowVisible(form->FindDialog1->Handle()));
    EXPECT_EQ(form->FindDialog1->Position().X, 8 + form->sRichEdit1->Width());
    EXPECT_EQ(form->FindDialog1->Position().Y, 6);
    form->FindDialog1->CloseDialog();
}

TEST_F(MainForm, ResizeFollowsTheClientWidthAndRedrawsAShownPicture) {
    form->Show();
    form->SetClientSize(900, 600);
    harness::PumpUntilIdle(20, 1000);
    EXPECT_EQ(form->sRichEdit1->Width(), 900 - 16);
    EXPECT_EQ(form->sMemo2->Width(), 900 - 16 - 338);
    // The handler gives the bar the client width minus 4, but the bar is
    // aligned to the bottom, and its alignment keeps it across the client area.
    EXPECT_EQ(form->sProgressBar1->Width(), 900);

    // The picture is drawn again when the picture page shows, not otherwise.
    form->Image1->Picture()->Bitmap()->SetSize(40, 30);
    HWND box = form->sScrollBox1->Handle();
    for (const bool pictureShown : {false, true}) {
        SCOPED_TRACE(pictureShown ? "picture page" : "text page");
        form->Panel2->SetVisible(!pictureShown);
        form->pict_panel->SetVisible(pictureShown);
        harness::PumpUntilIdle(20, 1000);
        ::ValidateRect(box, nullptr);
        form->FormResize(form);
        RECT update = {};
        const bool redraw = ::GetUpdateRect(box, &update, FALSE);
        EXPECT_EQ(redraw, pictureShown);
        if (pictureShown) {
            EXPECT_LE(update.left, form->Image1->Left());
            EXPECT_LE(update.top, form->Image1->Top());
            EXPECT_GE(update.right, form->Image1->Left() + 40);
            EXPECT_GE(update.bottom, form->Image1->Top() + 30);
        }
    }
}

TEST_F(MainForm, PictureProgressShowsPercentAndEndsWithFileAndSize) {
    form->Image1->Picture()->Bitmap()->SetSize(4, 3);
    const String file = u"C:\\pictures\\a.png";
    struct Row {
        Byte Percent;
        const char16_t* Msg;
        const char16_t* Kind;
        const char16_t* File;
        const char16_t* Status;
    };
    const Row rows[] = {
        {0, u"", u"png", file.c_str(), u"loading... 0%"},
        {37, u"Transfering...", u"png", file.c_str(), u"Transfering...... 37%"},
        {100, u"", u"png", file.c_str(), u"ready C:\\pictures\\a.png 4x3"},
        {100, u"", u"jpg", u"", u"ready 4x3"},
        {100, u"Reading", u"gif", file.c_str(), u"ready C:\\pictures\\a.png"},
        {100, u"", u"gif", u"", u"ready"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(StringToUtf8(row.Status));
        form->sProgressBar1->SetMin(10);
        form->sProgressBar1->SetMax(20);
        form->PictureKind = row.Kind;
        form->PictureFile = row.File;
        form->Image1Progress(form->Image1, psRunning, row.Percent, false, TRect(), row.Msg);
        EXPECT_EQ(Status(), row.Status);
        EXPECT_EQ(form->sProgressBar1->Min(), 0);
        EXPECT_EQ(form->sProgressBar1->Max(), 100);
        EXPECT_EQ(form->sProgressBar1->Position(), row.Percent);
    }
}

// ---------------------------------------------------------------------------
// Commands that open dialogs: "load", font and save

namespace {

constexpr std::array<std::array<Byte, 3>, 4> kGifPalette = {{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}};

std::string AsBytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

String PathText(const std::filesystem::path& path) {
    const std::wstring w = path.wstring();
    return FromW(w.c_str(), w.size());
}

// The files a test writes, in a folder of their own; the current folder,
// which the file dialogs move, is put back afterwards.
class MainFormFiles : public MainForm {
protected:
    void SetUp() override {
        MainForm::SetUp();
        // PNG files load through the engine's class, as in the program.
        acPNGInitialization();
        FWorkingFolder = std::filesystem::current_path();
        FFolder = std::filesystem::temp_directory_path() / ("kes-mainform-" + std::to_string(::GetCurrentProcessId()));
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
        std::filesystem::create_directories(FFolder);
        form->Show();
        harness::PumpUntilIdle(20, 1000);
    }
    void TearDown() override {
        MainForm::TearDown();
        acPNGFinalization();
        RegisterImageFormats();
        std::error_code ignored;
        std::filesystem::current_path(FWorkingFolder, ignored);
        std::filesystem::remove_all(FFolder, ignored);
    }
    std::filesystem::path Path(const char* name) const { return FFolder / name; }
    std::filesystem::path Write(const char* name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
    static std::string Read(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path FFolder;
    std::filesystem::path FWorkingFolder;
};

}  // namespace

TEST_F(MainFormFiles, LoadTellsTheKindByContentAndShowsPictures) {
    const skingen::Image image(320, 200, skingen::Opaque(0x3366CC));
    const std::string png = AsBytes(skingen::EncodePNG(image));
    const std::string jpeg = AsBytes(skingen::EncodeJPEG(image, 90));
    // Two frames and no loop count of its own: the program loops it anyway.
    const std::string gif = harness::MakeGif(3, 2, kGifPalette, {{{1, 1, 1, 2, 2, 2}, 5}, {{3, 3, 3, 0, 0, 0}, 5}});
    const FuzzFinding* corrupt = FindFuzzFinding("acBMP", "jpeg-negative-code-bits.jpg");
    ASSERT_NE(corrupt, nullptr);
    struct Row {
        const char* File;
        std::string Bytes;
        const char16_t* Kind;
        int Width, Height;
        const char16_t* Class;        // the graphic shown; nullptr: the picture stays empty
        const char16_t* StatusHead;   // the status is head + file + tail
        const char16_t* StatusTail;
        bool PicturePage;
    };
    const Row rows[] = {
        {"a.png", png, u"png", 320, 200, u"TPNGGraphic", u"ready ", u" 320x200", true},
        {"b.jpg", jpeg, u"jpg", 320, 200, u"TJPEGImage", u"ready ", u" 320x200", true},
        {"c.gif", gif, u"gif", 3, 2, u"TGIFImage", u"", u" gif w=3 h=2", true},
        {"d.htm", "<html><body>page</body></html>", u"*", 0, 0, nullptr, u"", u" * w=0 h=0", false},
        // A corrupt JPEG whose scan once drove the decoder into undefined
        // behaviour (the size reader stops at its broken segments): the picture
        // is refused.
        {"f.jpg", std::string(reinterpret_cast<const char*>(corrupt->Data), corrupt->Size), u"jpg", 0, 0,
         nullptr, nullptr, nullptr, true},
        // Told by its content, loaded by its name: a PNG called .jpg does not decode.
        {"e.jpg", png, u"png", 320, 200, nullptr, nullptr, nullptr, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.File);
        const String file = PathText(Write(row.File, row.Bytes));
        form->pict_panel->Hide();
        form->Panel2->Show();
        form->sRichEdit1->SetText(u"the page before");
        form->sProgressBar1->SetPosition(0);
        int filterIndex = 0;
        harness::DialogAnswer answer([&](TCommonDialog*, HWND wnd) {
            filterIndex = form->OpenDialog1->FilterIndex();
            harness::ChooseFile(wnd, WStr(file));
        });
        form->sButton3Click(form->sButton3);
        EXPECT_EQ(answer.Shown, 1);
        EXPECT_EQ(filterIndex, 5) << "the dialog offers any file";
        EXPECT_EQ(form->PictureKind, row.Kind);
        EXPECT_EQ(form->PictureWidth, row.Width);
        EXPECT_EQ(form->PictureHeight, row.Height);
        if (row.StatusHead) {
            EXPECT_EQ(Status(), row.StatusHead + file + row.StatusTail);
        }
        EXPECT_EQ(form->pict_panel->Visible(), row.PicturePage);
        EXPECT_EQ(form->Panel2->Visible(), !row.PicturePage);
        TGraphic* shown = form->Image1->Picture()->Graphic();
        if (!row.PicturePage) {
            EXPECT_EQ(Trim(form->sRichEdit1->Text()), u"the page before");
        } else if (!row.Class) {
            EXPECT_TRUE(shown == nullptr || shown->Empty());
            EXPECT_EQ(form->PictureFile, u"") << "a file that does not decode is forgotten";
        } else {
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->ClassName(), row.Class);
            EXPECT_EQ(form->PictureFile, file);
            EXPECT_EQ(form->Image1->Width(), row.Width);
            EXPECT_EQ(form->Image1->Height(), row.Height);
            EXPECT_TRUE(form->Image1->Visible());
        }
        if (row.Class && u"gif" != String(row.Kind)) {
            EXPECT_EQ(form->sProgressBar1->Position(), 100);
        }
        if (auto* animation = dynamic_cast<TGIFImage*>(shown)) {
            // The animation runs, and goes on past its last frame.
            EXPECT_TRUE(animation->Animating());
            int changes = 0;
            int last = animation->FrameIndex();
            EXPECT_TRUE(harness::PumpUntil(
                [&] {
                    if (animation->FrameIndex() != last) {
                        last = animation->FrameIndex();
                        ++changes;
                    }
                    return changes >= 4;
                },
                5000))
                << changes << " frame changes";
        }
    }

    // A cancelled dialog changes nothing.
    const String status = Status();
    harness::DialogAnswer cancel([](TCommonDialog*, HWND wnd) { harness::Press(wnd, IDCANCEL); });
    form->sButton3Click(form->sButton3);
    EXPECT_EQ(cancel.Shown, 1);
    EXPECT_EQ(Status(), status);
    EXPECT_EQ(form->PictureKind, u"png");
}

TEST_F(MainFormFiles, FontButtonSetsTheChosenFontOnTheWholeTextView) {
    form->sRichEdit1->SetText(u"first line\r\nsecond line");
    const Integer size = form->sRichEdit1->Font()->Size();
    // What the dialog shows in its face and size boxes (cmb1, cmb3).
    constexpr int kFaceCombo = 0x0470;
    constexpr int kSizeCombo = 0x0472;
    auto boxText = [](HWND wnd, int id) {
        wchar_t text[LF_FACESIZE + 8] = {};
        ::GetWindowTextW(::GetDlgItem(wnd, id), text, static_cast<int>(std::size(text)));
        return FromW(text);
    };
    String startName, shownFace, shownSize;
    Integer startSize = 0;
    harness::DialogAnswer answer([&](TCommonDialog* dialog, HWND wnd) {
        startName = static_cast<TFontDialog*>(dialog)->Font()->Name();
        startSize = static_cast<TFontDialog*>(dialog)->Font()->Size();
        shownFace = boxText(wnd, kFaceCombo);
        shownSize = boxText(wnd, kSizeCombo);
        harness::Press(wnd, IDCANCEL);
    });
    form->Button3Click(form->Button3);
    EXPECT_EQ(answer.Shown, 1);
    EXPECT_EQ(startName, form->sRichEdit1->Font()->Name()) << "the dialog starts with the text view's font";
    EXPECT_EQ(startSize, size);
    EXPECT_EQ(shownFace, form->sRichEdit1->Font()->Name()) << "the face the dialog shows";
    EXPECT_EQ(shownSize, IntToStr(size)) << "the size the dialog shows";
    EXPECT_EQ(form->sRichEdit1->Font()->Size(), size) << "cancelled";

    answer.SetAction([&](TCommonDialog*, HWND wnd) {
        // The user picks 20 from the list of sizes.
        HWND sizes = ::GetDlgItem(wnd, kSizeCombo);
        const LRESULT twenty =
            ::SendMessageW(sizes, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"20"));
        ::SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(twenty), 0);
        ::SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(kSizeCombo, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
        harness::Press(wnd, IDOK);
    });
    form->Button3Click(form->Button3);
    EXPECT_EQ(form->sRichEdit1->Font()->Size(), 20);
    // Every character of the view shows it, and the whole text is selected.
    HWND view = form->sRichEdit1->Handle();
    CHARRANGE all = {0, -1};
    ::SendMessageW(view, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    ::SendMessageW(view, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    EXPECT_TRUE(format.dwMask & CFM_SIZE) << "one size over the whole text";
    EXPECT_EQ((format.yHeight + 10) / 20, 20) << format.yHeight << " twips";   // whole pixels at the screen's resolution
}

TEST_F(MainFormFiles, SaveWritesTheAnsiCodePageWhenItHoldsTheTextAndUtf8Otherwise) {
    // The rows are written for the Western code page that a fresh Wine prefix has.
    if (::GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is " << ::GetACP() << ", not 1252";
    const std::filesystem::path target = Path("saved.txt");
    harness::DialogAnswer answer([&](TCommonDialog*, HWND wnd) { harness::Press(wnd, IDCANCEL); });
    form->sRichEdit1->SetText(u"kept");
    form->Button4Click(form->Button4);
    EXPECT_EQ(answer.Shown, 1);
    EXPECT_FALSE(std::filesystem::exists(target)) << "cancelled";

    const std::string bom = "\xEF\xBB\xBF";
    struct Row {
        const char16_t* Text;
        std::string Bytes;   // the file, without the last line break
    };
    const Row rows[] = {
        // Everything has a place in the code page: one byte a character.
        {u"first line\r\nsecond caf\u00E9", "first line\r\nsecond caf\xE9"},
        {u"\u20AC 5, really?", "\x80 5, really?"},
        // Characters the code page lacks: the whole text as UTF-8.
        {u"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440",
         bom + "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80"},
        {u"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440\r\n\u20AC",
         bom + "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80\r\n\xE2\x82\xAC"},
        // One the system would write as a look-alike ('a' for a-macron) is lost as well.
        {u"Ka\u0101na caf\u00E9", bom + "Ka\xC4\x81na caf\xC3\xA9"},
    };
    const String name = PathText(target);
    answer.SetAction([&](TCommonDialog*, HWND wnd) { harness::ChooseFile(wnd, WStr(name)); });
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(StringToUtf8(row.Text)));
        std::filesystem::remove(target);   // no question about replacing it
        form->sRichEdit1->SetText(row.Text);
        form->Button4Click(form->Button4);
        const std::string saved = Read(target);
        EXPECT_EQ(saved, row.Bytes + "\r\n");
        // Read back as the program reads text files, the text is the view's.
        TStringList back;
        back.LoadFromFile(name);
        EXPECT_EQ(back.Text(), form->sRichEdit1->Lines()->Text());
    }
}

// ---------------------------------------------------------------------------
// Fetches from the loopback server

namespace {

// Threads of this process that were made suspended and never started.
int SuspendedThreads() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != ::GetCurrentProcessId() || entry.th32ThreadID == ::GetCurrentThreadId())
            continue;
        HANDLE thread = ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        const DWORD before = ::SuspendThread(thread);
        if (before != static_cast<DWORD>(-1)) {
            ::ResumeThread(thread);
            if (before > 0) ++count;
        }
        ::CloseHandle(thread);
    }
    ::CloseHandle(snapshot);
    return count;
}

class MainFormFetch : public MainForm {
protected:
    void SetUp() override {
        MainForm::SetUp();
        form->Show();
        harness::PumpUntilIdle(20, 1000);
    }
    void Go(const harness::HttpTestServer& on, const std::string& path) {
        form->Edit1->SetText(on.WUrl(path));
        form->sButton1Click(form->sButton1);
    }
    // Until the running request (if any) has ended and what it posted has arrived.
    bool WaitUntilIdle(int timeoutMs = 15000) {
        const bool ended = harness::PumpUntil(
            [&] {
                Application->ProcessMessages();
                return form->Worker() == nullptr;
            },
            timeoutMs);
        harness::PumpUntilIdle(50, 1000);
        return ended;
    }
    bool WaitForFirstPiece() {
        return harness::PumpUntil([&] { return form->sRichEdit1->Text().find(u"first piece") != String::npos; }, 10000);
    }
    // The window is idle: "Go!" enabled, "Stop" disabled, no timer.
    void ExpectIdle() {
        EXPECT_EQ(form->Worker(), nullptr);
        EXPECT_TRUE(form->sButton1->Enabled());
        EXPECT_FALSE(form->sButton2->Enabled());
        EXPECT_FALSE(form->Timer1->Enabled());
    }
    static harness::HttpResponse SlowPage() {
        harness::HttpResponse slow;
        slow.Body = "first piece\r\n" + std::string(64, 'x') + "\r\nlast piece\r\n";
        slow.ChunkSize = 13;
        slow.ChunkDelayMs = 4000;
        return slow;
    }

    harness::HttpTestServer server;
};

}  // namespace

TEST_F(MainFormFetch, HeaderPaneShowsTheFirstResponseFromItsFirstLine) {
    harness::HttpResponse hop;
    hop.Code = 302;
    hop.Reason = "Found";
    hop.Headers = {{"Location", "/page"}};
    for (int i = 0; i < 12; ++i) hop.Headers.push_back({"X-Probe-" + std::to_string(i), "value " + std::to_string(i)});
    server.Route("/start", hop);
    harness::HttpResponse page;
    page.Body = "<p>the page</p>";
    server.Route("/page", page);

    Go(server, "/start");
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(server.Requests().size(), 2u);
    ASSERT_GE(form->sMemo2->Lines()->Count(), 17);
    EXPECT_EQ(form->sMemo2->Lines()->Get(0), u"HTTP/1.1 302 Found");
    EXPECT_EQ(form->sMemo2->Lines()->Get(16), u"X-Probe-11: value 11");
    EXPECT_EQ(::SendMessageW(form->sMemo2->Handle(), EM_GETFIRSTVISIBLELINE, 0, 0), 0)
        << "the pane shows the headers from their first line";
}

TEST_F(MainFormFetch, ClicksHandledWhileGoStartsStartAndStopOneRequestEach) {
    harness::HttpResponse page;
    page.Body = "<p>the page</p>";
    server.Route("/page", page);
    form->Edit1->SetText(server.WUrl("/page"));
    EXPECT_FALSE(form->sButton2->Enabled()) << "Stop with nothing to stop";

    // The clicks are queued before the first is handled; "Go!" processes
    // pending messages while it starts, so the others arrive inside it.
    enum Click { Go, Stop };
    struct Row {
        const char* Name;
        std::vector<Click> Clicks;
        std::size_t Requests;
    };
    const Row rows[] = {
        {"Go, Stop", {Go, Stop}, 0},
        {"Go, Go", {Go, Go}, 1},
        {"Go, Go, Stop", {Go, Go, Stop}, 0},
        {"Go, Stop, Go", {Go, Stop, Go}, 1},   // the second "Go!" comes after the first request ended
    };
    const int suspended = SuspendedThreads();
    ASSERT_GE(suspended, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const std::size_t served = server.Requests().size();
        form->StatusBar1->SetSimpleText(u"");
        for (Click click : row.Clicks) {
            TsButton* button = click == Go ? form->sButton1 : form->sButton2;
            // What a button tells its parent when it is clicked.
            ASSERT_TRUE(::PostMessageW(form->sPanel1->Handle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                                       reinterpret_cast<LPARAM>(button->Handle())));
        }
        Application->ProcessMessages();
        ASSERT_TRUE(WaitUntilIdle());
        EXPECT_EQ(server.Requests().size() - served, row.Requests);
        ExpectIdle();
        EXPECT_EQ(SuspendedThreads(), suspended) << "a worker made and never started";
        if (row.Requests) {
            EXPECT_NE(Status().find(u"Resultcode: 200"), String::npos) << StringToUtf8(Status());
        }
    }
}

TEST_F(MainFormFetch, StopEndsTheFetchWithoutItsResult) {
    server.Route("/slow", SlowPage());
    form->sButton2Click(form->sButton2);   // nothing runs: nothing happens
    EXPECT_EQ(Screen->Cursor(), crDefault);

    Go(server, "/slow");
    ASSERT_TRUE(WaitForFirstPiece());
    EXPECT_TRUE(form->sButton2->Enabled());
    const DWORD start = ::GetTickCount();
    form->sButton2Click(form->sButton2);
    EXPECT_LT(::GetTickCount() - start, 2500u) << "the main thread waits at most 2000 ms";
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(form->Worker(), nullptr) << "an aborted transfer ends within the wait";
    ASSERT_TRUE(WaitUntilIdle());
    ExpectIdle();
    EXPECT_EQ(Status().find(u"Resultcode"), String::npos) << "no result for a stopped fetch";
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(MainFormFetch, ClosingOrFreeingTheFormDuringAFetchStopsIt) {
    server.Route("/slow", SlowPage());
    Go(server, "/slow");
    ASSERT_TRUE(WaitForFirstPiece());
    const DWORD start = ::GetTickCount();
    form->Close();
    EXPECT_LT(::GetTickCount() - start, 1000u) << "closing does not wait for the worker";
    ASSERT_TRUE(WaitUntilIdle(5000)) << "the worker ends soon after the close";
    EXPECT_EQ(Status().find(u"Resultcode"), String::npos);

    // Freed while a fetch runs: the worker is stopped and ends, and touches
    // nothing of the form afterwards.
    harness::HttpTestServer second;
    second.Route("/slow", SlowPage());
    form->Show();
    Go(second, "/slow");
    ASSERT_TRUE(WaitForFirstPiece());
    ASSERT_NE(form->Worker(), nullptr);
    HANDLE worker = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), form->Worker()->Handle(), ::GetCurrentProcess(), &worker,
                                  SYNCHRONIZE, FALSE, 0));
    form->Free();
    form = nullptr;
    EXPECT_EQ(::WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
    ::CloseHandle(worker);
    harness::PumpUntilIdle(50, 1000);
}

namespace {

String WithoutLineBreaks(const String& text) {
    String out;
    out.reserve(text.size());
    for (Char c : text)
        if (c != u'\r' && c != u'\n') out += c;
    return out;
}

// Where two long texts first differ, for a failure message (not the texts).
std::string Mismatch(const String& got, const String& wanted) {
    std::size_t at = 0;
    while (at < got.size() && at < wanted.size() && got[at] == wanted[at]) ++at;
    if (at == got.size() && at == wanted.size()) return "equal";
    return std::to_string(got.size()) + " characters where " + std::to_string(wanted.size()) +
           " were wanted; the first difference at " + std::to_string(at);
}

// Stands between the worker and the window: passes everything on, counts the
// characters of the pieces shown, and lets the test act right after a piece
// was shown, while the worker still waits for it.
class PieceWatch : public IPageView {
public:
    explicit PieceWatch(TForm1* form) : FForm(form) {}
    bool ConversionChecked() const override { return FForm->ConversionChecked(); }
    void ShowHeaderLines(const TStrings& lines) override { FForm->ShowHeaderLines(lines); }
    void AppendTextLine(const String& line) override {
        FForm->AppendTextLine(line);
        Shown += line.size();
        ++Pieces;
        if (AfterPiece) AfterPiece();
    }
    void ClearText() override {
        FForm->ClearText();
        Shown = 0;
    }
    HWND MessageWindow() const override { return FForm->MessageWindow(); }

    std::size_t Shown = 0;
    int Pieces = 0;
    std::function<void()> AfterPiece;

private:
    TForm1* FForm;
};

}  // namespace

// The conversion box clicked while a long page arrives, right after a piece
// was shown and between pieces: each click renders every byte received so
// far once, in the new conversion, and the finished page is shown whole in
// the conversion chosen last.
TEST_F(MainFormFetch, ClickingTheConversionBoxDuringALongFetchLosesNoPiece) {
    const std::string page = harness::Windows1251Page(2u << 20);
    for (const bool checked : {false, true})
        ASSERT_EQ(RenderPageText(AnsiToString(page), checked).size(), page.size()) << "one character per byte";
    harness::HttpResponse slow;
    slow.Body = page;
    slow.ChunkSize = 64 * 1024;
    slow.ChunkDelayMs = 20;
    server.Route("/long", slow);

    PieceWatch watch(form);
    struct Restore {
        TForm1* Form;
        ~Restore() { PageView = Form; }
    } restore{form};
    int clicks = 0;
    const auto click = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_NE(form->Worker(), nullptr) << "the fetch has ended";
        ::SendMessageW(form->sCheckBox1->Handle(), BM_CLICK, 0, 0);
        ++clicks;
        ASSERT_EQ(form->sCheckBox1->Checked(), clicks % 2 == 1) << "the click did not reach the box";
        const String wanted = RenderPageText(AnsiToString(page.substr(0, watch.Shown)), form->sCheckBox1->Checked());
        const String shown = WithoutLineBreaks(form->sRichEdit1->Text());
        EXPECT_TRUE(shown == WithoutLineBreaks(wanted))
            << "after " << watch.Pieces << " pieces: " << Mismatch(shown, WithoutLineBreaks(wanted));
    };
    watch.AfterPiece = [&] {
        if (watch.Pieces == 2 || watch.Pieces == 6) click("right after a piece");
    };

    Go(server, "/long");
    PageView = &watch;
    const bool ended = harness::PumpUntil(
        [&] {
            Application->ProcessMessages();
            if (clicks == 2 && watch.Pieces >= 9 && form->Worker()) click("between pieces");
            return form->Worker() == nullptr;
        },
        120000);
    ASSERT_TRUE(ended) << "the fetch did not end";
    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(clicks, 3);
    ExpectIdle();
    EXPECT_NE(Status().find(u"Resultcode: 200"), String::npos) << StringToUtf8(Status());

    EXPECT_TRUE(RawPageText == AnsiToString(page)) << Mismatch(RawPageText, AnsiToString(page));
    ASSERT_TRUE(form->sCheckBox1->Checked());
    const String text = form->sRichEdit1->Text();
    const String whole = CodePageToString(page, 1251);
    EXPECT_TRUE(text == whole) << Mismatch(text, whole);
}

namespace {
const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());
}  // namespace
