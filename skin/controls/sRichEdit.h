// A rich edit drawn from the skin's section.
// Until a skin is loaded it looks and behaves like its plain counterpart.
#pragma once

#include "ComCtrls.h"

class TsRichEdit : public TRichEdit {
public:
    KES_CLASS_NAME(TsRichEdit)
    explicit TsRichEdit(TComponent* AOwner) : TRichEdit(AOwner) {}

    // The skin section the control is drawn from.
    String SkinSection = u"EDIT";
};
