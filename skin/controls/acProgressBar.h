// A progress bar drawn from the skin: its background from its own section,
// the bar from "PROGRESSH" or "PROGRESSV" as a row of blocks, one smooth
// bar or a moving marquee. The cached image is rebuilt only when the number
// of shown blocks changes. Without a skin it is the system's progress bar.
#pragma once

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "acProgressGeometry.h"
#include "sCommonDataWin.h"

class TsProgressBar : public TProgressBar {
public:
    KES_CLASS_NAME(TsProgressBar)
    explicit TsProgressBar(TComponent* AOwner);
    ~TsProgressBar() override;
    void AfterConstruction() override;

    TsCommonData* SkinData() const { return FCommonData; }
    // A section that replaces "PROGRESSH" / "PROGRESSV" for the bar.
    const String& ProgressSkin() const { return FProgressSkin; }
    void SetProgressSkin(const String& Value);

    void WndProc(TMessage& Message) override;
    // Paints the control into DC (the window's DC when nullptr).
    void Paint(HDC DC);
    // Rebuilds the cached image when the shown blocks changed.
    void PrepareCache();
    // The model of the geometry functions for the current state.
    TacProgressModel Model();

    // Blocks shown in the cache; -1 before the first drawing.
    Integer FOldCount = -1;
    TTimer* Timer = nullptr;
    double FMarqPos = 0;
    Integer FMarqSize = 40;
    Integer FMarqStep = 8;
    Integer FOrient = 1;
    // One marquee step (the timer's handler).
    void MarqueeStep(TObject* Sender);

protected:
    void Loaded() override;

private:
    bool OwnManager(LPARAM LParam) const;
    void StartMarquee();

    TsCommonData* FCommonData = nullptr;
    String FProgressSkin;
};
