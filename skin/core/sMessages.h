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

// The commands. The announcements (1, 2, 3) carry the announcing manager in
// lParam; a receiver acts on them only when that manager is its own (the
// default manager when it has none).
constexpr Word AC_SETNEWSKIN = 1;        // a new skin is active; lParam = the manager
constexpr Word AC_REMOVESKIN = 2;        // the skin was removed; lParam = the manager
constexpr Word AC_REFRESH = 3;           // repaint with the current skin; lParam = the manager
constexpr Word AC_GETPROVIDER = 4;       // which skin provider owns this form? answer: the provider
constexpr Word AC_CHILDPAINTED = 5;      // a child adapter finished painting itself (to its parent)
constexpr Word AC_ENDPARENTUPDATE = 6;   // the parent's update ended: recompute Updating and redraw
constexpr Word AC_CTRLHANDLED = 7;       // are you skinned? answer: 1
constexpr Word AC_SETUPDATING = 8;       // Updating := (flag = 1)
constexpr Word AC_URGENTPAINT = 9;       // UrgentPainting := (flag = 1)
constexpr Word AC_ISBGCHANGED = 10;      // query: background changed or updating? answer 1 or 0
constexpr Word AC_GETHALFVISIBLE = 11;   // query HalfVisible, answer 1 or 0
constexpr Word AC_BEFOREMENUBORDER = 14; // to a menu window just before its border is drawn
constexpr Word AC_SETSECTION = 15;       // lParam: a record whose second 32-bit field is the section name
constexpr Word AC_STOPFADING = 16;       // stop any running fade
constexpr Word AC_SETBGCHANGED = 17;     // your background changed
constexpr Word AC_PREPARING = 18;        // you are painted as part of your parent (forms: get ready)
constexpr Word AC_MUSTBEREPAINTED = 19;  // query: must you be repainted when you move? answer 1 or 0
constexpr Word AC_SETCHANGEDIFNECESSARY = 20;  // you were moved or sized; flag 1 = redraw at once
constexpr Word AC_GETCONTROLCOLOR = 21;  // query your background colour (RGB; kNoColor: none)
constexpr Word AC_SETHALFVISIBLE = 22;   // you are only partly visible
constexpr Word AC_PREPARECACHE = 23;     // prepare your cached image now
constexpr Word AC_UPDATING = 24;         // here is a blended fade frame; lParam = the bitmap; answer 1 when painted
constexpr Word AC_CONTROLLOADED = 25;    // a child control changed; lParam = the control; to its parent form
constexpr Word AC_GETSKININDEX = 26;     // lParam: address of a 32-bit integer that receives SkinIndex; answer 1
constexpr Word AC_GETSERVICEINT = 27;    // receiver-specific query (group box caption height, tab manager)
constexpr Word AC_UPDATECHILDREN = 28;   // adapt your child windows again
constexpr Word AC_MOUSEENTER = 29;       // you became the hot window; lParam = the manager
constexpr Word AC_MOUSELEAVE = 30;       // you stopped being the hot window; lParam = the manager
constexpr Word AC_BEGINUPDATE = 31;      // your owner entered BeginUpdate
constexpr Word AC_ENDUPDATE = 32;        // your owner left its last EndUpdate
constexpr Word AC_CLEARCACHE = 33;       // drop your cached image (children first)
constexpr Word AC_GETBG = 34;            // fill the TBackgroundInfo at lParam; answer 1
constexpr Word AC_GETDISKIND = 35;       // lParam: address of a disabled-look set; may be changed
constexpr Word AC_CTRLSKINSTATE = 36;    // lParam 1: recompute and tell the children (answer 1); else query
constexpr Word AC_GETSKINSTATE = 37;     // query your skin-state object
constexpr Word AC_PRINTING = 38;         // you are printed into the DC in lParam (0: printing ends); answer 1
constexpr Word AC_BEFORESCROLL = 51;     // a scroll message follows; lParam = MakeLParam(code, message)
constexpr Word AC_AFTERSCROLL = 52;      // the scroll message was delivered; same lParam
constexpr Word AC_GETAPPLICATION = 60;   // query the application object

// The commands whose lParam is an address in the sender's memory: 15 (the
// section record), 24 (the fade frame), 26 (the index to fill), 34 (the
// background record) and 35 (the disabled-look set). The one list that the
// receivers' check and the filter of posted messages go by.
inline constexpr Word SkinPointerCommands[] = {AC_SETSECTION, AC_UPDATING, AC_GETSKININDEX, AC_GETBG, AC_GETDISKIND};
constexpr bool CommandCarriesPointer(Word Command) {
    for (const Word c : SkinPointerCommands)
        if (c == Command) return true;
    return false;
}

// Asked by every receiver of the skin command message before it acts on a
// message or passes it on. False only for a command of the list above with
// an address that this thread is not sending itself at this moment through
// SendSkinCommand, SendSkinCommandToControl or PerformSkinCommand: a posted
// one, one sent by another thread or process, or one sent around those
// senders. An address from elsewhere means nothing here; the receiver leaves
// Result 0 and passes the message on to no one.
bool MayActOnSkinCommand(const TMessage& Message);

// What lies under a child (the record at lParam of command 34): the asker
// fills R, Offset, PleaseDraw and DC; the answerer sets BgType and Color or Bmp.
struct TBackgroundInfo {
    TBitmap* Bmp = nullptr;
    TColor Color = 0;
    TPoint Offset{0, 0};   // position of the child in Bmp
    TRect R{0, 0, 0, 0};   // the area the asker wants
    Byte BgType = 0;       // 0 not answered, 1 plain colour in Color, 2 image in Bmp at Offset
    bool PleaseDraw = false;   // the answerer also paints the background into DC at R
    HDC DC = nullptr;
};
constexpr Byte btFill = 1;
constexpr Byte btCache = 2;

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

// Start-up of the message unit: sets SkinCommandMessage, and installs for
// the calling thread (the main thread, which owns every window) a message
// hook that turns a posted skin command of the list above into WM_NULL
// before any message loop, modal ones included, dispatches it. The engine
// never posts those commands. Installed once; the shut-down removes it.
void sMessagesInitialization();
void sMessagesFinalization();

// SendMessage(Wnd, SkinCommandMessage, MakeSkinWParam(Command, Flag), LParam).
// A command that carries an address is marked as this thread's own for as
// long as the send lasts.
LRESULT SendSkinCommand(HWND Wnd, Word Command, LPARAM LParam = 0, Word Flag = 0);
// Control->Perform with the skin command, marked in the same way.
LRESULT PerformSkinCommand(TControl* Control, Word Command, LPARAM LParam = 0, Word Flag = 0);
// A windowed control being destroyed or without a window: nothing, 0; a
// windowed control: SendSkinCommand to its window; any other control:
// PerformSkinCommand.
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
