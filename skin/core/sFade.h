// Cross-fades of skinned controls: when a control changes its look (mouse
// enter or leave, press, release) and its section fades, the old cached
// image is blended into the new one over a few 10 ms steps. The control keeps
// its fade timer in a field of its own and answers the skin commands 16
// (stop fading), 23 (prepare the cache) and 24 (here is a fade frame). Win32,
// main thread only.
#pragma once

#include "ExtCtrls.h"
#include "sCommonDataWin.h"
#include "sSkinManager.h"

enum TFadeDirection { fdNone, fdUp, fdDown };

// The events of a control that may be animated; aeGlobalDef defers to the
// manager's button effects.
enum TacAnimatEvent { aeMouseEnter, aeMouseLeave, aeMouseDown, aeMouseUp, aeGlobalDef };
using TacAnimatEvents = TSet<TacAnimatEvent>;

// Set when the system asks to end the Windows session (by the form skinner):
// from then on no fade runs and no step is painted.
extern bool acSessionEnding;

// The fade timers alive now; the form skinner waits for it to reach 0 before
// the session ends.
int LivingFadeTimers();

// The fade of one control. Idle: fdNone and disabled; fading: fdUp or fdDown
// and enabled, FadeLevel going from 1 to Iterations + 1, one step per tick.
class TsFadeTimer : public TTimer {
public:
    KES_CLASS_NAME(TsFadeTimer)
    explicit TsFadeTimer(TComponent* AOwner);
    ~TsFadeTimer() override;

    TFadeDirection Direction() const { return FDirection; }
    // A negative FadeLevel becomes 1; the timer runs exactly when Value is
    // not fdNone.
    void SetDirection(TFadeDirection Value);
    TsCommonData* OwnerData() const { return FOwnerData; }
    // Binds the timer to a control's skin state: takes the look before the
    // change from its cache and works out the number of steps.
    void SetOwnerData(TsCommonData* Value);

    // One fade step: blends the old look into the new one with the weight of
    // this step and hands the frame to the owner (command 24), painting it
    // on the owner's window when the owner does not take it.
    void Change();
    // True when the fade has run out (the owner was sent command 16).
    bool ToEnd();
    // Into := the image the owner shows now: the last frame painted, or the
    // look the fade started from while no frame was painted yet.
    void TakeShownImage(TBitmap* Into) const;

    Integer Iterations = 0;
    Integer FadeLevel = 0;
    TBitmap* BmpFrom = nullptr;   // the look before the change (owned)

protected:
    void Timer() override;

private:
    void Idle(TObject*) {}
    // Nothing may be painted for the owner any more (gone or going).
    bool OwnerGone() const;

    TFadeDirection FDirection = fdNone;
    TsCommonData* FOwnerData = nullptr;
};

// Event is animated: it is in Events, or Events holds aeGlobalDef and the
// matching button event is in the manager's button effects (the default
// manager when Manager is nullptr).
bool AnimEventEnabled(TacAnimatEvent Event, TacAnimatEvents Events, TsSkinManager* Manager = nullptr);

// Paints a change of look of a skinned object: a fade when animation is
// allowed and possible, else an immediate repaint (stopping a running fade);
// the glow follows in both cases (hidden when Halve is set).
void DoChangePaint(TsFadeTimer*& Timer, TsCommonData* SkinData, bool Halve, bool AllowAnimation,
                   TFadeDirection Direction);
// Starts a fade (or restarts the one in Timer, from the image it shows now)
// when the section fades; a new timer is owned by the owner control. Both
// take the section's number of steps; Halve halves it.
void StartFading(TsFadeTimer*& Timer, TsCommonData* SkinData, bool Halve, TFadeDirection Direction);
// Stops and frees the fade in Timer (also from inside the fade's own tick:
// the timer then ends once the tick has returned) and sets Timer to nullptr.
void StopFading(TsFadeTimer*& Timer, TsCommonData* SkinData = nullptr);
