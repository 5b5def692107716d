// A check box drawn from the skin: its background from its section, the mark
// from an image list, from two bitmaps of its own or from the skin's
// "BOXUNCHECKED" / "BOXCHECKED" / "BOXGRAYED" glyphs, the caption in the
// section's font colours. Its cached image is rebuilt on every paint. While
// skinned it handles mouse and space presses itself and toggles on release;
// without a skin it is the framework's check box.
#pragma once

#include "ImgList.h"
#include "StdCtrls.h"
#include "acMaskPaint.h"
#include "sCommonDataWin.h"
#include "sFade.h"

class TsCheckBox : public TCheckBox {
public:
    KES_CLASS_NAME(TsCheckBox)
    explicit TsCheckBox(TComponent* AOwner);
    ~TsCheckBox() override;
    void AfterConstruction() override;
    void BeforeDestruction() override;

    TsCommonData* SkinData() const { return FCommonData; }

    TsDisabledKind DisabledKind() const { return FDisabledKind; }
    void SetDisabledKind(TsDisabledKind Value);
    // User marks: several square frames side by side (normal, hot, pressed).
    TBitmap* GlyphChecked() const { return FGlyphChecked; }
    void SetGlyphChecked(TBitmap* Value);
    TBitmap* GlyphUnChecked() const { return FGlyphUnChecked; }
    void SetGlyphUnChecked(TBitmap* Value);
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    Integer ImgChecked() const { return FImgChecked; }
    void SetImgChecked(Integer Value);
    Integer ImgUnchecked() const { return FImgUnchecked; }
    void SetImgUnchecked(Integer Value);
    Integer Margin() const { return FMargin; }
    void SetMargin(Integer Value);
    Integer TextIndent() const { return FTextIndent; }
    void SetTextIndent(Integer Value);
    bool ShowFocus() const { return FShowFocus; }
    void SetShowFocus(bool Value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    virtual bool IsReadOnly() const { return FReadOnly; }
    // A read-only box keeps its state against clicks and keys (code may still set it).
    void Toggle() override;
    TacAnimatEvents AnimatEvents = TacAnimatEvents{aeGlobalDef};

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    // A press (left button or space) is in progress.
    bool Pressed() const { return FPressed; }
    // The running fade (nullptr when none).
    TsFadeTimer* FadeTimer = nullptr;

    void WndProc(TMessage& Message) override;
    // Rebuilds the cached image: background, caption, mark, disabled look.
    void PrepareCache();
    // Alignment as shown: swapped for right-to-left reading.
    TAlignment GetControlsAlignment() const;
    // Where the mark lies in the control.
    TRect CheckRect();
    // Size of one frame of the mark.
    Integer CheckWidth();
    Integer CheckHeight();

protected:
    void Loaded() override;
    // A freed image list is forgotten.
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void ApplyChecked(TCheckBoxState value) override;
    bool CalcAutoSize(int& NewWidth, int& NewHeight) override;

private:
    bool OwnManager(LPARAM LParam) const;
    bool ImageListMode() const;
    TBitmap* CurrentGlyph() const;
    // The skin's mask for the current state (-1 when the skin has none).
    Integer SkinMaskIndex(TCheckBoxState S) const;
    Integer MarkFrame(Integer FrameCount) const;
    void DrawCaption(TBitmap* Cache);
    void DrawMark(TBitmap* Cache);
    void DrawFrameStrip(TBitmap* Cache, TBitmap* Strip, Integer FrameCount);
    void PaintTo(HDC DC);
    bool SkinnedMessage(TMessage& Message);
    void StopFadeAfterRelease();

    TsCommonData* FCommonData = nullptr;
    TsDisabledKind FDisabledKind{dkBlended};
    TBitmap* FGlyphUnChecked = nullptr;
    TBitmap* FGlyphChecked = nullptr;
    Integer FTextIndent = 0;
    bool FPressed = false;
    bool FShowFocus = true;
    Integer FMargin = 2;
    TCustomImageList* FImages = nullptr;
    Integer FImgChecked = -1;
    Integer FImgUnchecked = -1;
    bool FReadOnly = false;
    bool FClicksDisabled = false;
};
