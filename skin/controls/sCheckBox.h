// A check box drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"

class TsCheckBox : public TCheckBox {
public:
    KES_CLASS_NAME(TsCheckBox)
    explicit TsCheckBox(TComponent* AOwner) : TCheckBox(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"CHECKBOX";
};
