#include "Unit1.h"

#include <memory>

#include "ImgSize.h"
#include "acUtilsWin.h"

const Char* const kProductName = u"Kestrune";
const Char* const kProductVersion = u"0.1";

TForm1* Form1 = nullptr;

namespace {

// Eight addresses to start from.
const Char* const kDefaultAddresses[] = {
    u"http://example.com/",           u"http://example.org/",          u"http://www.debian.org/",
    u"http://www.gnu.org/",           u"http://www.w3.org/",           u"http://info.cern.ch/",
    u"http://www.kernel.org/",        u"http://www.winehq.org/",
};

// Round(n * 100 / total) with halves to even, without overflow.
int Percent(Int64 n, Int64 total) {
    if (total <= 0 || n <= 0) return 0;
    const Int64 num = n * 100;
    Int64 q = num / total;
    const Int64 r = num % total;
    if (2 * r > total || (2 * r == total && (q & 1))) ++q;
    return q > 100 ? 100 : static_cast<int>(q);
}

}  // namespace

void Unit1Initialization() {
    UserAgentText = u"Mozilla/4.0 (compatible; Kestrune)";
    DefFontData.Name = u"Arial Unicode";
}

void Unit1Finalization() {}

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {}

void TForm1::CreateComponents() {
    SetName(u"Form1");
    SetBounds(240, 162, Width(), Height());
    SetClientSize(790, 560);
    SetColor(cl3DLight);
    Font()->SetName(u"MS Sans Serif");
    Font()->SetHeight(-11);
    SetCaption(kProductName);
    OnClose = TCloseEvent::Of<&TForm1::FormClose>(this);
    OnCreate = TNotifyEvent::Of<&TForm1::FormCreate>(this);
    OnKeyUp = TKeyEvent::Of<&TForm1::FormKeyUp>(this);
    OnResize = TNotifyEvent::Of<&TForm1::FormResize>(this);

    // The top strip: the address box, the buttons, the conversion box and the skin box.
    Panel1 = New<TPanel>(this);
    Panel1->SetName(u"Panel1");
    Panel1->SetParent(this);
    Panel1->SetBounds(0, 0, 790, 36);
    Panel1->SetAlign(TAlign::alTop);
    Panel1->SetBevelOuter(TBevelCut::bvNone);

    Edit1 = New<TEdit>(this);
    Edit1->SetName(u"Edit1");
    Edit1->SetParent(Panel1);
    Edit1->SetBounds(7, 7, 264, 19);
    Edit1->SetVisible(false);

    sPanel1 = New<TsPanel>(this);
    sPanel1->SetName(u"sPanel1");
    sPanel1->SetParent(Panel1);
    sPanel1->SetAlign(TAlign::alClient);
    sPanel1->SkinData()->SetSkinSection(u"PANEL");

    sLabel1 = New<TsLabel>(this);
    sLabel1->SetName(u"sLabel1");
    sLabel1->SetParent(sPanel1);
    sLabel1->SetBounds(640, 12, sLabel1->Width(), sLabel1->Height());
    sLabel1->SetCaption(u"skin");

    sComboBox1 = New<TsComboBox>(this);
    sComboBox1->SetName(u"sComboBox1");
    sComboBox1->SetParent(sPanel1);
    sComboBox1->SetBounds(670, 9, 113, 21);
    sComboBox1->SkinData()->SetSkinSection(u"COMBOBOX");
    sComboBox1->SetItemIndex(-1);
    sComboBox1->OnChange = TNotifyEvent::Of<&TForm1::sComboBox1Change>(this);

    sComboBox2 = New<TsComboBox>(this);
    sComboBox2->SetName(u"sComboBox2");
    sComboBox2->SetParent(sPanel1);
    sComboBox2->SetBounds(8, 7, 264, 21);
    sComboBox2->SkinData()->SetSkinSection(u"COMBOBOX");
    for (const Char* address : kDefaultAddresses) sComboBox2->Items()->Add(address);
    sComboBox2->SetItemIndex(-1);
    sComboBox2->OnChange = TNotifyEvent::Of<&TForm1::sComboBox2Change>(this);

    sCheckBox1 = New<TsCheckBox>(this);
    sCheckBox1->SetName(u"sCheckBox1");
    sCheckBox1->SetParent(sPanel1);
    // The form keeps the box at its designed size whatever the font and skin.
    sCheckBox1->SetAutoSize(false);
    sCheckBox1->SetBounds(416, 8, 96, 20);
    sCheckBox1->SetCaption(u"win-1251 ->utf-8");
    sCheckBox1->SetChecked(false);
    sCheckBox1->SkinData()->SetSkinSection(u"CHECKBOX");
    sCheckBox1->SetImgChecked(0);
    sCheckBox1->SetImgUnchecked(0);
    sCheckBox1->OnClick = TNotifyEvent::Of<&TForm1::sCheckBox1Click>(this);

    sButton3 = New<TsButton>(this);
    sButton3->SetName(u"sButton3");
    sButton3->SetParent(sPanel1);
    sButton3->SetBounds(520, 7, 43, 22);
    sButton3->SetCaption(u"load");
    sButton3->SkinData()->SetSkinSection(u"BUTTON");
    sButton3->OnClick = TNotifyEvent::Of<&TForm1::sButton3Click>(this);

    sButton1 = New<TsButton>(this);
    sButton1->SetName(u"sButton1");
    sButton1->SetParent(sPanel1);
    sButton1->SetBounds(275, 7, 65, 22);
    sButton1->SetCaption(u"Go!");
    sButton1->SkinData()->SetSkinSection(u"BUTTON");
    sButton1->OnClick = TNotifyEvent::Of<&TForm1::sButton1Click>(this);

    sButton2 = New<TsButton>(this);
    sButton2->SetName(u"sButton2");
    sButton2->SetParent(sPanel1);
    sButton2->SetBounds(342, 7, 65, 22);
    sButton2->SetCaption(u"Stop");
    sButton2->SkinData()->SetSkinSection(u"BUTTON");
    sButton2->SetEnabled(false);   // until a request runs
    sButton2->OnClick = TNotifyEvent::Of<&TForm1::sButton2Click>(this);

    // The bottom: status bar, and the progress bar above it.
    StatusBar1 = New<TStatusBar>(this);
    StatusBar1->SetName(u"StatusBar1");
    StatusBar1->SetParent(this);
    StatusBar1->SetBounds(0, 544, 790, 16);
    StatusBar1->SetAlign(TAlign::alBottom);
    StatusBar1->SetSimplePanel(true);

    sProgressBar1 = New<TsProgressBar>(this);
    sProgressBar1->SetName(u"sProgressBar1");
    sProgressBar1->SetParent(this);
    sProgressBar1->SetBounds(0, 536, 790, 8);
    sProgressBar1->SetAlign(TAlign::alBottom);
    sProgressBar1->SetSmooth(true);
    sProgressBar1->SkinData()->SetSkinSection(u"GAUGE");

    // The text page: the text view, the log and header panes, font and save.
    Panel2 = New<TPanel>(this);
    Panel2->SetName(u"Panel2");
    Panel2->SetParent(this);
    Panel2->SetAlign(TAlign::alClient);
    Panel2->SetBevelOuter(TBevelCut::bvNone);

    sPanel2 = New<TsPanel>(this);
    sPanel2->SetName(u"sPanel2");
    sPanel2->SetParent(Panel2);
    sPanel2->SetAlign(TAlign::alClient);
    sPanel2->SkinData()->SetSkinSection(u"PANEL");

    sRichEdit1 = New<TsRichEdit>(this);
    sRichEdit1->SetName(u"sRichEdit1");
    sRichEdit1->SetParent(sPanel2);
    sRichEdit1->SetBounds(8, 6, 771, 324);
    sRichEdit1->Font()->SetName(u"MS Sans Serif");
    sRichEdit1->Font()->SetHeight(-11);
    sRichEdit1->Font()->SetCharset(RUSSIAN_CHARSET);
    sRichEdit1->SkinData()->SetSkinSection(u"EDIT");

    sMemo1 = New<TsMemo>(this);
    sMemo1->SetName(u"sMemo1");
    sMemo1->SetParent(sPanel2);
    sMemo1->SetBounds(8, 336, 329, 137);
    sMemo1->SetScrollBars(TScrollStyle::ssBoth);
    sMemo1->SkinData()->SetSkinSection(u"EDIT");

    sMemo2 = New<TsMemo>(this);
    sMemo2->SetName(u"sMemo2");
    sMemo2->SetParent(sPanel2);
    sMemo2->SetBounds(343, 336, 436, 137);
    sMemo2->SetScrollBars(TScrollStyle::ssBoth);
    sMemo2->SkinData()->SetSkinSection(u"EDIT");

    Button3 = New<TButton>(this);
    Button3->SetName(u"Button3");
    Button3->SetParent(sPanel2);
    Button3->SetBounds(10, 481, 75, 16);
    Button3->SetCaption(u"\u0448\u0440\u0438\u0444\u0442");
    Button3->OnClick = TNotifyEvent::Of<&TForm1::Button3Click>(this);

    Button4 = New<TButton>(this);
    Button4->SetName(u"Button4");
    Button4->SetParent(sPanel2);
    Button4->SetBounds(96, 481, 49, 16);
    Button4->SetCaption(u"save");
    Button4->OnClick = TNotifyEvent::Of<&TForm1::Button4Click>(this);

    // The picture page, over the same area as the text page.
    pict_panel = New<TPanel>(this);
    pict_panel->SetName(u"pict_panel");
    pict_panel->SetParent(this);
    pict_panel->SetAlign(TAlign::alClient);
    pict_panel->SetBevelOuter(TBevelCut::bvNone);
    pict_panel->SetVisible(false);

    sScrollBox1 = New<TsScrollBox>(this);
    sScrollBox1->SetName(u"sScrollBox1");
    sScrollBox1->SetParent(pict_panel);
    sScrollBox1->SetAlign(TAlign::alClient);
    sScrollBox1->SkinData()->SetSkinSection(u"PANEL_LOW");

    Image1 = New<TImage>(this);
    Image1->SetName(u"Image1");
    Image1->SetParent(sScrollBox1);
    Image1->SetBounds(0, 0, 105, 105);
    Image1->SetAutoSize(true);
    Image1->SetIncrementalDisplay(true);
    Image1->SetTransparent(true);
    Image1->OnProgress = TProgressEvent::Of<&TForm1::Image1Progress>(this);

    Timer1 = New<TTimer>(this);
    Timer1->SetName(u"Timer1");
    Timer1->SetEnabled(false);
    Timer1->SetInterval(100);
    Timer1->OnTimer = TNotifyEvent::Of<&TForm1::Timer1Timer>(this);

    FindDialog1 = New<TFindDialog>(this);
    FindDialog1->SetName(u"FindDialog1");
    FindDialog1->OnFind = TNotifyEvent::Of<&TForm1::FindDialog1Find>(this);

    FontDialog1 = New<TFontDialog>(this);
    FontDialog1->SetName(u"FontDialog1");

    SaveDialog1 = New<TSaveDialog>(this);
    SaveDialog1->SetName(u"SaveDialog1");
    SaveDialog1->SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});

    OpenDialog1 = New<TOpenDialog>(this);
    OpenDialog1->SetName(u"OpenDialog1");
    OpenDialog1->SetFilter(u"Html documents|*.htm;*.html|Jpeg|*.jpg;*.jpeg|Png|*.png|Gif|*.gif|any file|*.*");

    sSkinManager1 = New<TsSkinManager>(this);
    sSkinManager1->SetName(u"sSkinManager1");
    sSkinManager1->SetSkinDirectory(u"\\Skins");
    sSkinManager1->MenuSupport()->IcoLineSkin = u"ICOLINE";
    sSkinManager1->MenuSupport()->ExtraLineFont()->SetName(u"MS Sans Serif");
    sSkinManager1->MenuSupport()->ExtraLineFont()->SetHeight(-11);
    sSkinManager1->ThirdParty()->ThirdButtons = u"TButton";
}

void TForm1::BeforeDestruction() {
    // A worker that still runs must not reach this form any more. It cannot
    // end before its termination handler has run here on the main thread, so
    // it stays valid until ThreadDone forgets it.
    if (FWorker) {
        HANDLE thread = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), FWorker->Handle(), ::GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
        StopWorker(false);
        if (thread) {
            WaitServingMainThread(thread, 3000);
            ::CloseHandle(thread);
        }
        if (FWorker) {
            FWorker->OnTerminate = nullptr;
            FWorker = nullptr;
        }
    }
    if (PageView == this) PageView = nullptr;
    FreeAndNil(FGifImage);
    TForm::BeforeDestruction();
}

// ---------------------------------------------------------------------------

void TForm1::FormCreate(TObject*) {
    sSkinManager1->SetSkinDirectory(GetAppDir() + u"Skins");
    sSkinManager1->GetSkinNames(sComboBox1->Items(), TacSkinTypes::stAllSkins);
    SetCaption(String(kProductName) + u" v" + kProductVersion);
    PageView = this;
}

void TForm1::SetStatus(const String& text) { StatusBar1->SetSimpleText(text); }

String TForm1::Status() const { return StatusBar1->SimpleText(); }

void TForm1::sButton1Click(TObject*) {
    // One request at a time. The steps below process pending messages, so a
    // second "Go!" or a "Stop" may be handled while this one is starting.
    if (FWorker) return;

    Image1->Picture()->Assign(nullptr);
    pict_panel->Hide();
    Panel2->Show();

    SetStatus(u"loading...");
    sRichEdit1->Clear();
    sMemo2->Clear();
    sMemo1->Clear();
    sProgressBar1->SetPosition(0);

    FWindowForWorker = Handle();
    PageView = this;
    auto* worker = new THTTPSendThread(true);
    worker->FreeOnTerminate = true;
    worker->OnTerminate = TNotifyEvent::Of<&TForm1::ThreadDone>(this);
    worker->URL = Edit1->Text();
    FWorker = worker;
    const unsigned start = ++FStarts;
    sButton1->SetEnabled(false);
    // Whether this start still stands: a "Stop" handled while messages were
    // processed has ended the worker and set the buttons back (and a "Go!"
    // after it may have started the next request).
    auto stillOurs = [&] { return FWorker == worker && FStarts == start; };
    Application->ProcessMessages();
    if (!stillOurs()) return;

    SetCaption(Edit1->Text() + u" - " + kProductName + u" v" + kProductVersion);
    sButton2->SetEnabled(true);
    sButton1->SetEnabled(false);
    sMemo1->Clear();
    Application->ProcessMessages();
    if (!stillOurs()) return;

    worker->Resume();
    Timer1->SetEnabled(true);
}

void TForm1::ThreadDone(TObject* Sender) {
    if (Sender == FWorker) FWorker = nullptr;
    sButton2->SetEnabled(false);
    sButton1->SetEnabled(true);
    Timer1->SetEnabled(false);
}

void TForm1::StopWorker(bool waitAndRetry) {
    if (!FWorker) return;
    THTTPSendThread* worker = FWorker;
    if (!waitAndRetry) {
        worker->AbortAndFreeSender();
        // A worker stopped while "Go!" was starting it has not run yet; it
        // ends at once when resumed (its termination handler runs later).
        if (worker->Suspended()) worker->Resume();
        return;
    }
    worker->Abort();
    // The worker frees itself as it ends; wait on a handle of our own.
    HANDLE thread = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), worker->Handle(), ::GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
    if (thread) {
        if (worker->Suspended()) worker->Resume();
        WaitServingMainThread(thread, 2000);
        ::CloseHandle(thread);
    }
    if (FWorker) FWorker->AbortAndFreeSender();
}

void TForm1::sButton2Click(TObject*) {
    Screen->SetCursor(crHourGlass);
    try {
        StopWorker(true);
    } catch (...) {
    }
    Screen->SetCursor(crDefault);
}

void TForm1::FormClose(TObject*, TCloseAction&) {
    try {
        StopWorker(false);
    } catch (...) {
    }
}

void TForm1::Timer1Timer(TObject*) { Application->ProcessMessages(); }

void TForm1::FormKeyUp(TObject*, Word& Key, TShiftState Shift) {
    if ((Shift & ssCtrl) && Key == 'F') {
        FindDialog1->SetPosition(TPoint(sRichEdit1->Left() + sRichEdit1->Width(), sRichEdit1->Top()));
        FindDialog1->Execute();
    }
}

void TForm1::FindDialog1Find(TObject*) {}

void TForm1::Button3Click(TObject*) {
    sRichEdit1->SelectAll();
    FontDialog1->Font()->Assign(sRichEdit1->Font());
    if (FontDialog1->Execute()) {
        sRichEdit1->SelectAll();
        sRichEdit1->Font()->Assign(FontDialog1->Font());
    }
}

void TForm1::Button4Click(TObject*) {
    // In the ANSI code page when it holds the whole text; a text it cannot
    // hold goes out as UTF-8 instead of losing characters.
    if (SaveDialog1->Execute())
        sRichEdit1->Lines()->SaveToFile(SaveDialog1->FileName(), TTextFileEncoding::AnsiOrUtf8);
}

void TForm1::sCheckBox1Click(TObject*) { sRichEdit1->SetText(RenderPageText(RawPageText, sCheckBox1->Checked())); }

void TForm1::FormResize(TObject*) {
    if (!sRichEdit1) return;
    const int client = ClientWidth();
    sRichEdit1->SetWidth(client - 16);
    sMemo2->SetWidth(sRichEdit1->Width() - 338);
    sProgressBar1->SetWidth(client - 4);
    if (pict_panel->Visible()) Image1->Invalidate();
}

void TForm1::sComboBox1Change(TObject*) {
    const int index = sComboBox1->ItemIndex();
    if (index < 0) return;
    const String chosen = sComboBox1->Items()->Get(index);
    sSkinManager1->SetSkinName(chosen);
    // A skin that failed to load leaves the one in use, which the box shows.
    const String inUse = sSkinManager1->SkinName();
    if (!SameText(inUse, chosen)) sComboBox1->SetItemIndex(inUse.empty() ? -1 : sComboBox1->Items()->IndexOf(inUse));
}

void TForm1::sComboBox2Change(TObject*) { Edit1->SetText(sComboBox2->Text()); }

void TForm1::sButton3Click(TObject*) {
    OpenDialog1->SetFilterIndex(5);
    if (!OpenDialog1->Execute()) return;
    const String file = OpenDialog1->FileName();
    PictureKind = u"*";
    PictureFile = file;
    PictureWidth = PictureHeight = 0;

    struct Reader {
        void (*Read)(const String&, Word&, Word&);
        const Char* Kind;
    };
    const Reader readers[] = {{GetJPGSize, u"jpg"}, {GetPNGSize, u"png"}, {GetGIFSize, u"gif"}};
    for (const Reader& reader : readers) {
        Word w = 0, h = 0;
        reader.Read(file, w, h);
        if (ImageSizeResult > 0) {
            PictureKind = reader.Kind;
            PictureWidth = w;
            PictureHeight = h;
        }
    }
    SetStatus(file + u" " + PictureKind + u" w=" + IntToStr(PictureWidth) + u" h=" + IntToStr(PictureHeight));
    if (PictureKind == u"*") return;
    Panel2->Hide();
    pict_panel->Show();
    if (PictureKind == u"gif")
        LoadGif(file);
    else
        LoadPicture(file);
}

void TForm1::LoadPicture(const String& FileName) {
    Image1->Picture()->Assign(nullptr);
    Image1->Show();
    try {
        Image1->Picture()->LoadFromFile(FileName);
    } catch (const EInvalidGraphic&) {
        Image1->Picture()->Assign(nullptr);
        PictureFile.clear();
    }
}

void TForm1::LoadGif(const String& FileName) {
    Image1->Picture()->Assign(nullptr);
    FreeAndNil(FGifImage);
    FGifImage = New<TGIFImage>();
    try {
        FGifImage->LoadFromFile(FileName);
        FGifImage->SetAnimationLoop(glContinously);
        FGifImage->SetAnimate(true);
        Image1->Picture()->Assign(FGifImage);
        if (auto* shown = dynamic_cast<TGIFImage*>(Image1->Picture()->Graphic())) {
            shown->SetAnimationLoop(glContinously);
            shown->SetAnimate(true);
        }
    } catch (const EInvalidGraphic&) {
        Image1->Picture()->Assign(nullptr);
    }
}

void TForm1::Image1Progress(TObject*, TProgressStage, Byte PercentDone, bool, const TRect&, const String& Msg) {
    sProgressBar1->SetMin(0);
    sProgressBar1->SetMax(100);
    sProgressBar1->SetPosition(PercentDone);
    SetStatus((Msg.empty() ? String(u"loading") : Msg) + u"... " + IntToStr(PercentDone) + u"%");
    if (PercentDone == 100) {
        String text = u"ready";
        if (!PictureFile.empty()) text += u" " + PictureFile;
        if (PictureKind != u"gif")
            text += u" " + IntToStr(Image1->Picture()->Width()) + u"x" + IntToStr(Image1->Picture()->Height());
        SetStatus(text);
    }
}

// ---------------------------------------------------------------------------

void TForm1::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_THREADMESSAGE) {
        WMThreadMessage(Message);
        return;
    }
    TForm::Dispatch(Message);
}

void TForm1::WMThreadMessage(TMessage& Message) {
    std::unique_ptr<TThreadMessage> message(reinterpret_cast<TThreadMessage*>(Message.LParam));
    if (!message) return;
    switch (message->Kind) {
    case tmProgress: {
        Integer n = StrToIntDef(message->Text, 0);
        if (n < 0) n = 0;
        if (message->Value <= 0) {
            SetStatus(IntToStr(n) + u" (?)");
            sProgressBar1->SetPosition(0);
        } else {
            SetStatus(IntToStr(n) + u" of " + IntToStr(message->Value));
            sProgressBar1->SetPosition(Percent(n, message->Value));
        }
        break;
    }
    case tmDone:
        sProgressBar1->SetPosition(100);
        RawPageText = message->Text;
        sRichEdit1->SetText(RenderPageText(message->Text, sCheckBox1->Checked()));
        SetStatus(Status() + u" Resultcode: " + IntToStr(message->Value));
        break;
    case tmRedirect:
        sProgressBar1->SetPosition(0);
        sMemo1->Lines()->Add(u"Redirected to: " + message->Text);
        break;
    case tmSocketError:
        sProgressBar1->SetPosition(0);
        sMemo1->Lines()->Add(u"Socket Error: " + message->Text);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// What the worker does to this window.

bool TForm1::ConversionChecked() const { return sCheckBox1 && sCheckBox1->Checked(); }

void TForm1::ShowHeaderLines(const TStrings& Lines) {
    // In one piece: adding line by line would leave the pane scrolled to its
    // last line; the headers are read from their first.
    sMemo2->Lines()->SetText(Lines.Text());
}

void TForm1::AppendTextLine(const String& Line) { sRichEdit1->Lines()->Add(Line); }

void TForm1::ClearText() { sRichEdit1->Clear(); }

HWND TForm1::MessageWindow() const { return FWindowForWorker; }
