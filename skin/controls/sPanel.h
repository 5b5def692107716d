// A panel drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "ExtCtrls.h"

class TsPanel : public TPanel {
public:
    KES_CLASS_NAME(TsPanel)
    explicit TsPanel(TComponent* AOwner) : TPanel(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"PANEL";
};
