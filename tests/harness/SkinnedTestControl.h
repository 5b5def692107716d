// A windowed control with a skin state of its own that runs the shared
// skinned-window handling before its own: the smallest skinned control,
// for tests of what the skin state does on a real window.
#pragma once

#include "Controls.h"
#include "sCommonDataWin.h"

namespace kestrune_test {

class TSkinnedTestControl : public TCustomControl {
public:
    KES_CLASS_NAME(TSkinnedTestControl)
    explicit TSkinnedTestControl(TComponent* AOwner)
        : TCustomControl(AOwner), SkinData(New<TsCtrlSkinData>(this, true)) {}
    ~TSkinnedTestControl() override { SkinData->Free(); }
    void WndProc(TMessage& m) override {
        if (m.Msg == SkinCommandMessage) {
            HandleCommonMessage(m, SkinData);
            return;   // skin commands do not reach the default handling
        }
        if (HandleCommonMessage(m, SkinData)) return;
        TCustomControl::WndProc(m);
    }
    TsCtrlSkinData* SkinData;
};

}  // namespace kestrune_test
