// The engine's message box: the system's message box with an icon per dialog
// type and a button set, owned by the application's window. The window
// creation hook skins it like any system dialog and moves it to MessageBoxX,
// MessageBoxY while a call asks for a position.
#pragma once

#include "Types.h"
#include "WinApi.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
// One bit each: Yes 1, No 2, OK 4, Cancel 8, Abort 0x10, Retry 0x20,
// Ignore 0x40, ..., Help 0x400.
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

// The captions used when none is given, by dialog type.
extern const Char* const MsgDlgDefaultCaptions[5];

// The requested position of the box being shown; -1 each outside a call.
extern int MessageBoxX;
extern int MessageBoxY;

// The MB_ style of a dialog type and button set: icon, buttons and help.
UINT MessageDlgStyle(TMsgDlgType DlgType, TMsgDlgButtons Buttons);

// Shows the box and answers the pressed button's id (IDOK, IDYES, ...).
int ShowMessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);
// With a caption (empty: the default of the type) and a screen position
// (-1, -1: where the system puts it).
int ShowMessageDlgPos(const String& Caption, const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                      int X, int Y, int HelpCtx);

// The box's help callback: a context id other than 0 goes to
// MessageBoxHelpHandler, when one is set.
void CALLBACK MessageBoxHelpCallback(LPHELPINFO HelpInfo);
extern void (*MessageBoxHelpHandler)(int HelpContext);

// Through which the box is shown; MessageBoxIndirectW unless replaced (tests
// answer boxes here without a person).
using TMessageBoxIndirectFunc = int(WINAPI*)(const MSGBOXPARAMSW*);
extern TMessageBoxIndirectFunc MessageBoxIndirectProc;
