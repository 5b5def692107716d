// A memo drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"

class TsMemo : public TMemo {
public:
    KES_CLASS_NAME(TsMemo)
    explicit TsMemo(TComponent* AOwner) : TMemo(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"EDIT";
};
