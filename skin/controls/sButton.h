// A push button drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"

class TsButton : public TButton {
public:
    KES_CLASS_NAME(TsButton)
    explicit TsButton(TComponent* AOwner) : TButton(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"BUTTON";
};
