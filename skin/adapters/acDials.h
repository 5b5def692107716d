// The window-creation hook: windows the program did not build through
// skinned classes are skinned when they are created or activated. A form of
// the application without a skin provider gets one made at run time, owned
// by the form through a TacProvider.
#pragma once

#include <vector>

#include "Classes.h"
#include "WinApi.h"

class TCustomForm;
class TsSkinProvider;

class TacProvider : public TComponent {
public:
    KES_CLASS_NAME(TacProvider)
    explicit TacProvider(TComponent* AOwner);
    ~TacProvider() override;

    // Gives the form a skin provider made at run time and repaints it.
    void InitForm(TCustomForm* Form);

    TCustomForm* FForm = nullptr;
    bool BiDiLeft = false;
    HWND CtrlHandle = nullptr;
    TsSkinProvider* sp = nullptr;   // owned by the form
};

// The hook procedure (WH_CBT) the default manager installs.
LRESULT CALLBACK CBTHookProc(int Code, WPARAM wParam, LPARAM lParam);

// Decides whether the window gets skinned and skins it; true when a
// provider was made for it. CreateStruct may be null.
bool SkinNewWindow(HWND Handle, const CREATESTRUCTW* CreateStruct);

// Every provider SkinNewWindow made; a released one leaves an empty slot.
std::vector<TacProvider*>& HookProviders();

// The unit's end: frees what the hook made.
void acDialsFinalization();
