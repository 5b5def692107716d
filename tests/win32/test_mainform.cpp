// The page viewer's main window: its form definition, the worker messages,
// the conversion box and the commands that need no network.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "Unit1.h"

namespace {

class MainForm : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        RawPageText.clear();
        form = New<TForm1>(Application);
    }
    void TearDown() override {
        form->Free();
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
        {"sPanel1", "PANEL", form->sPanel1->SkinSection},         {"sPanel2", "PANEL", form->sPanel2->SkinSection},
        {"sComboBox1", "COMBOBOX", form->sComboBox1->SkinSection}, {"sComboBox2", "COMBOBOX", form->sComboBox2->SkinSection},
        {"sCheckBox1", "CHECKBOX", form->sCheckBox1->SkinSection}, {"sButton1", "BUTTON", form->sButton1->SkinSection},
        {"sRichEdit1", "EDIT", form->sRichEdit1->SkinSection},     {"sMemo1", "EDIT", form->sMemo1->SkinSection},
        {"sScrollBox1", "PANEL_LOW", form->sScrollBox1->SkinSection}, {"sProgressBar1", "GAUGE", form->sProgressBar1->SkinSection},
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
    EXPECT_EQ(form->sSkinManager1->SkinDirectory(), ProgramFolder() + u"Skins");
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

TEST_F(MainForm, ResizeFollowsTheClientWidth) {
    form->Show();
    form->SetClientSize(900, 600);
    harness::PumpUntilIdle(20, 1000);
    EXPECT_EQ(form->sRichEdit1->Width(), 900 - 16);
    EXPECT_EQ(form->sMemo2->Width(), 900 - 16 - 338);
}

namespace {
const auto* const gEnvironment = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());
}  // namespace
