// The process-wide list of forms that have a skin provider, the broadcast of
// skin commands to the forms of the application, and the freeze, cache and
// refresh steps around a skin change. Win32.
#pragma once

#include <vector>

#include "Forms.h"
#include "sMessages.h"

class TsSkinManager;

// FormState bits of a provider.
constexpr Cardinal FS_ANIMSHOWING = 0x1000;   // the form shows a snapshot for an animated change
constexpr Cardinal FS_CHANGING = 0x10000;     // the form's drawing is frozen for a skin change

// The part of a form's skin provider that the skin change steps use. A form
// answers skin command 4 with the address of its provider (or 0). The
// border-window and animation operations are the provider's to fill; the
// defaults do nothing.
class TacFormProvider {
public:
    virtual ~TacFormProvider() = default;
    TsSkinManager* SkinManager = nullptr;   // the provider's manager; nullptr: the default manager
    TCustomForm* Form = nullptr;            // the form the provider skins
    Cardinal FormState = 0;
    bool FInAnimation = false;
    bool FDrawNonClientArea = false;
    Byte AlphaBlendValue = 255;
    bool AlphaBlend = false;

    // The extended border window.
    virtual bool HasBorderForm() const { return false; }
    // Replaces the snapshot with a fresh copy of the form's image with its borders.
    virtual void MakeCoverBmp() {}
    virtual bool HasCoverBmp() const { return false; }
    // Pushes the snapshot into the border window as a layered image and
    // rebuilds the window's region from the border window.
    virtual void UpdateBorderFromCover(Byte /*Blend*/) {}
    // Shows the form by the animated transition.
    virtual void AnimShow(Cardinal /*Time*/, Byte /*Blend*/, Integer /*Mode*/) {}
    // Prepares and repaints the frame after a skin change; the border window's
    // region and position follow.
    virtual void RepaintFrame() {}
    // Releases the border window (it is shown again later).
    virtual void ReleaseBorderForm() {}
    // Starts the minimizing animation.
    virtual void StartMinimizeAnimation() {}
    // The provider's window procedure at design time (skin commands sent to
    // the provider itself rather than to its form).
    virtual void DsgnWndProc(TMessage& /*Message*/) {}
    // The provider is being destroyed.
    virtual bool ProviderDestroying() const { return false; }
};

// The provider of a form by command 4; nullptr when it has none.
TacFormProvider* GetFormProvider(TCustomForm* Form);
// The manager the provider uses (its own, else the default manager).
TsSkinManager* ProviderManager(const TacFormProvider* Provider);

// An adapter that the window-creation hook made for a window it skins.
class TacHookAdapter {
public:
    virtual ~TacHookAdapter() = default;
    virtual HWND Wnd() const = 0;
};
using TacHookAdapterList = std::vector<TacHookAdapter*>;
// The hook's adapters; nullptr while the hook is not installed.
extern TacHookAdapterList* HookAdapters;

// The skinned-forms list, in order of addition. Adding a listed form does
// nothing; removing drops every entry of the form (nothing when absent).
void AddSkinnedForm(TCustomForm* Form);
void RemoveSkinnedForm(TCustomForm* Form);
const std::vector<TCustomForm*>& SkinnedForms();

// Sends Message to every form of the application that is not skinned by a
// provider (and to its child controls), then BroadcastToSkinnedForms.
void BroadcastToAppForms(TMessage& Message);
// Sends Message to the listed forms and their child controls, then to every
// visible window of the hook's adapters.
void BroadcastToSkinnedForms(TMessage& Message);
// A skin command message with the manager as the argument.
TMessage MakeSkinCommand(Word Command, TsSkinManager* Manager);

// The three steps around a skin change, over the listed forms whose provider
// belongs to Manager.
void InvalidateSkinnedFormsCache(TsSkinManager* Manager);
// Gives the forms it froze.
std::vector<TCustomForm*> UpdateSkinnedFormRegions(TsSkinManager* Manager);
void RefreshSkinnedForms(TsSkinManager* Manager, bool Animate);

// Thaws the listed forms of a manager still frozen for its skin change
// (WM_SETREDRAW on, the freeze bit cleared), ends their snapshot and
// animation marks and clears the animation switch the manager set. The way
// out of a skin change that did not reach RefreshSkinnedForms. The forms of
// other managers are left as they are.
void ThawSkinnedForms(TsSkinManager* Manager);

// Freezes the listed forms of a manager for a skin change and makes sure
// they are thawed again on every way out: Refresh() on the normal path (or a
// repaint of the manager's forms); otherwise the destructor thaws the forms
// it froze that are still frozen, and no other.
class TacFormsFreeze {
public:
    TacFormsFreeze(TsSkinManager* Manager, bool Active);
    ~TacFormsFreeze();
    TacFormsFreeze(const TacFormsFreeze&) = delete;
    TacFormsFreeze& operator=(const TacFormsFreeze&) = delete;
    void Refresh(bool Animate);

private:
    TsSkinManager* FManager;
    bool FPending;
    std::vector<TCustomForm*> FFrozen;
};

// Switches the system's minimize and restore animation off for its lifetime
// and restores the previous setting on every way out.
class TacSysAnimationOff {
public:
    // The setting is read and written through Get and Set (the system's by default).
    explicit TacSysAnimationOff(bool (*Get)() = nullptr, void (*Set)(bool) = nullptr);
    ~TacSysAnimationOff();
    TacSysAnimationOff(const TacSysAnimationOff&) = delete;
    TacSysAnimationOff& operator=(const TacSysAnimationOff&) = delete;

private:
    void (*FSet)(bool);
    bool FWasOn;
};

// Set while an animated skin change is being prepared.
extern bool acSkinChangeAnimating;

// The program's own large and small icons (nullptr when missing); made at
// start-up, released at shutdown.
extern HICON acAppIconLarge;
extern HICON acAppIconSmall;
void sStyleSimplyWinInitialization();
void sStyleSimplyWinFinalization();
