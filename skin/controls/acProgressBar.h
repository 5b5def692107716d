// A progress bar drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "ComCtrls.h"

class TsProgressBar : public TProgressBar {
public:
    KES_CLASS_NAME(TsProgressBar)
    explicit TsProgressBar(TComponent* AOwner) : TProgressBar(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"GAUGE";
};
