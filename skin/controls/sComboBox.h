// A combo box drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"

class TsComboBox : public TComboBox {
public:
    KES_CLASS_NAME(TsComboBox)
    explicit TsComboBox(TComponent* AOwner) : TComboBox(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"COMBOBOX";
};
