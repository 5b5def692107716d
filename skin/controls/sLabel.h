// A label drawn with the skin's fonts.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "StdCtrls.h"

class TsLabel : public TLabel {
public:
    KES_CLASS_NAME(TsLabel)
    explicit TsLabel(TComponent* AOwner) : TLabel(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"";
};
