// The skin command message: one private window message through which the
// skinned objects of the engine talk to each other. wParam carries the
// command in its high word and a flag in its low word (1: yes / now, else 0);
// lParam the argument; the result the answer. Also the small senders that
// every part of the engine uses.
#pragma once

#include "Controls.h"
#include "Messages.h"

// The message number (0xA100). Senders and receivers compare against this
// variable, never against a literal.
extern UINT SkinCommandMessage;

// Messages that ask the skin manager's application window to draw the skinned
// border of a popup menu's window: lParam the menu item, or the menu window.
constexpr UINT acMenuItemBorder = 0xBCB3;
constexpr UINT acMenuWindowBorder = 0xBCB4;

// The commands this engine sends so far.
constexpr Word AC_SETNEWSKIN = 1;      // a new skin is active; lParam = the manager
constexpr Word AC_REMOVESKIN = 2;      // the skin was removed; lParam = the manager
constexpr Word AC_REFRESH = 3;         // repaint with the current skin; lParam = the manager
constexpr Word AC_GETPROVIDER = 4;     // which skin provider owns this form? answer: the provider
constexpr Word AC_CTRLHANDLED = 7;     // are you skinned? answer: 1
constexpr Word AC_STOPFADING = 16;     // stop any running fade
constexpr Word AC_PREPARING = 18;      // sent to every form when the application window asks for it
constexpr Word AC_MOUSEENTER = 29;     // you became the hot window; lParam = the manager
constexpr Word AC_MOUSELEAVE = 30;     // you stopped being the hot window; lParam = the manager
constexpr Word AC_GETSKINSTATE = 37;   // query your skin-state object

// What a skin-state object (the answer to command 37) tells about its owner
// being hot.
class IacHotState {
public:
    virtual ~IacHotState() = default;
    virtual bool IsHot() const = 0;
};

constexpr WPARAM MakeSkinWParam(Word Command, Word Flag = 0) {
    return static_cast<WPARAM>((static_cast<Cardinal>(Command) << 16) | Flag);
}
inline Word SkinCommandOf(WPARAM wParam) { return static_cast<Word>(static_cast<Cardinal>(wParam) >> 16); }

// Start-up of the message unit: sets SkinCommandMessage.
void sMessagesInitialization();

// SendMessage(Wnd, SkinCommandMessage, MakeSkinWParam(Command), LParam).
LRESULT SendSkinCommand(HWND Wnd, Word Command, LPARAM LParam = 0);
// A windowed control being destroyed or without a window: nothing, 0; a
// windowed control: SendMessage to its window; any other control: Perform.
LRESULT SendSkinCommandToControl(TControl* Control, Word Command, LPARAM LParam = 0);
// True when the window answers Command (sent with lParam 0) with 1.
bool SkinCommandAnswered(HWND Wnd, Word Command);

// Hands Message to the child controls of Control, in order (the count is
// read again at every step); stops at the first child being destroyed. A
// child without a window gets it by Perform, a skinned windowed child by
// SendMessage; the children of an unskinned windowed child are visited in
// its place.
void PassMessageToChildControls(TWinControl* Control, TMessage& Message);
// When set and answering true for an unskinned windowed child, that child's
// children are not visited. Not set by anything in this program.
extern bool (*PassMessageTestRoutine)(TWinControl* Control);

// Set while a form or control animation or an animated skin change paints.
extern bool acAnimationSwitch;
