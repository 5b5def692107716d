// The page viewer's main window.
#pragma once

#include "ComCtrls.h"
#include "Dialogs.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Imaging.h"
#include "StdCtrls.h"
#include "acProgressBar.h"
#include "httpsendthread.h"
#include "sButton.h"
#include "sCheckBox.h"
#include "sComboBox.h"
#include "sLabel.h"
#include "sMemo.h"
#include "sPanel.h"
#include "sRichEdit.h"
#include "sScrollBox.h"
#include "sSkinManager.h"

extern const Char* const kProductName;      // "Kestrune"
extern const Char* const kProductVersion;   // "0.1"

class TForm1 : public TForm, public IPageView {
public:
    KES_CLASS_NAME(TForm1)
    explicit TForm1(TComponent* AOwner);
    void BeforeDestruction() override;

    // The components of the form, in the order the form definition makes them.
    TEdit* Edit1 = nullptr;
    TPanel* Panel1 = nullptr;
    TTimer* Timer1 = nullptr;
    TFindDialog* FindDialog1 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    TFontDialog* FontDialog1 = nullptr;
    TSaveDialog* SaveDialog1 = nullptr;
    TPanel* Panel2 = nullptr;
    TButton* Button3 = nullptr;
    TButton* Button4 = nullptr;
    TOpenDialog* OpenDialog1 = nullptr;
    TsSkinManager* sSkinManager1 = nullptr;
    TsProgressBar* sProgressBar1 = nullptr;
    TsPanel* sPanel1 = nullptr;
    TsComboBox* sComboBox1 = nullptr;
    TsComboBox* sComboBox2 = nullptr;
    TsCheckBox* sCheckBox1 = nullptr;
    TsButton* sButton3 = nullptr;
    TsButton* sButton1 = nullptr;
    TsPanel* sPanel2 = nullptr;
    TPanel* pict_panel = nullptr;
    TsLabel* sLabel1 = nullptr;
    TsButton* sButton2 = nullptr;
    TsMemo* sMemo1 = nullptr;
    TsMemo* sMemo2 = nullptr;
    TsScrollBox* sScrollBox1 = nullptr;
    TImage* Image1 = nullptr;
    TsRichEdit* sRichEdit1 = nullptr;

    // Event handlers.
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormKeyUp(TObject* Sender, Word& Key, TShiftState Shift);
    void FormResize(TObject* Sender);
    void sButton1Click(TObject* Sender);
    void sButton2Click(TObject* Sender);
    void sButton3Click(TObject* Sender);
    void Button3Click(TObject* Sender);
    void Button4Click(TObject* Sender);
    void sCheckBox1Click(TObject* Sender);
    void sComboBox1Change(TObject* Sender);
    void sComboBox2Change(TObject* Sender);
    void Timer1Timer(TObject* Sender);
    void FindDialog1Find(TObject* Sender);
    void Image1Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow, const TRect& R,
                        const String& Msg);
    void ThreadDone(TObject* Sender);
    void LoadPicture(const String& FileName);
    void LoadGif(const String& FileName);

    // The worker's messages (WM_USER + 1); the message object is freed here.
    void WMThreadMessage(TMessage& Message);
    void Dispatch(TMessage& Message) override;

    // The running worker, or nullptr.
    THTTPSendThread* Worker() const { return FWorker; }

    // IPageView
    bool ConversionChecked() const override;
    void ShowHeaderLines(const TStrings& Lines) override;
    void AppendTextLine(const String& Line) override;
    void ClearText() override;
    HWND MessageWindow() const override;

    // The picture state of the last "load".
    String PictureKind;
    String PictureFile;
    Word PictureWidth = 0;
    Word PictureHeight = 0;

protected:
    void CreateComponents() override;

private:
    void StopWorker(bool waitAndRetry);
    void SetStatus(const String& text);
    String Status() const;

    TGIFImage* FGifImage = nullptr;
    THTTPSendThread* FWorker = nullptr;
    unsigned FStarts = 0;   // requests started so far
    HWND FWindowForWorker = nullptr;
};

extern TForm1* Form1;

// Start-up of the main window's unit: the user agent and the default font name.
void Unit1Initialization();
void Unit1Finalization();
