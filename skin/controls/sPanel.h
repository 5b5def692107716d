// A panel drawn from the skin: its background and border come from its
// section ("PANEL", "PANEL_LOW" for a lowered outer bevel), its caption in
// the section's font colours; it then draws its graphic children into the
// same DC so that children asking for the image under them get the panel's.
// A panel over a plain background paints straight into the DC; one whose
// look depends on its parent keeps a cached image. Without a skin it is the
// framework's panel.
#pragma once

#include "ExtCtrls.h"
#include "sCommonDataWin.h"

// Told after the panel painted, with the canvas it painted on.
using TPaintEvent = TDelegate<void(TObject* Sender, TCanvas* Canvas)>;

class TsPanel : public TPanel {
public:
    KES_CLASS_NAME(TsPanel)
    explicit TsPanel(TComponent* AOwner);
    ~TsPanel() override;
    void AfterConstruction() override;

    TsCommonData* SkinData() const { return FCommonData; }
    TPaintEvent OnPaint;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    void WndProc(TMessage& Message) override;
    // Paints the panel and its graphic children into DC (the canvas's DC
    // when nullptr); with SendUpdated the windowed children are told to
    // repaint afterwards.
    virtual void OurPaint(HDC DC, bool SendUpdated);
    // The caption into R on aCanvas (a canvas made on aDC when nullptr).
    virtual void WriteText(const TRect& R, TCanvas* aCanvas, HDC aDC);
    // Builds the cached image when the panel's look depends on its parent.
    void PrepareCache();
    // The panel paints through its cached image (else straight into the DC).
    bool CachedWay() const;

protected:
    void Loaded() override;
    void PaintWindow(HDC DC) override;
    void Paint() override;

    TsCommonData* FCommonData = nullptr;
    TBevelCut FOldBevel = bvRaised;

private:
    bool OwnManager(LPARAM LParam) const;
    void DirectPaint(HDC DC);
    void BevelFollowsSection();
    bool PaintMessage(TMessage& Message);
};

// The unit's start-up: publishes the box's skin state for its children.
void sPanelInitialization();
