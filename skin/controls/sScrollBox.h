// A scroll box drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"

class TsScrollBox : public TScrollBox {
public:
    KES_CLASS_NAME(TsScrollBox)
    explicit TsScrollBox(TComponent* AOwner) : TScrollBox(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"PANEL_LOW";
};
