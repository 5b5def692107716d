// The plain routines every skinned object uses around the skin command
// message: notices to parents and children, asking a parent for the image or
// colour under a child (with the fallbacks when the parent does not answer),
// painting the graphic child controls of a window into a DC, and small window
// and control helpers. The senders themselves are in sMessages.h. Win32, main
// thread only.
#pragma once

#include "Forms.h"
#include "sConst.h"
#include "sMessages.h"

class TCustomFrame;

// ---------------------------------------------------------------------------
// Notices

// SendSkinCommandToControl with lParam 0.
LRESULT SendSkinCommandNoParam(TControl* Control, Word Command);
// Not while the control is designed or loading: command 25 with lParam = the
// control to its top parent form, when there is one.
void NotifyParentForm(TControl* Control);
// Command 6 to the child controls (nothing while the animation switch is
// set): graphic children and children being destroyed are skipped; a
// windowed child with a window that is showing gets it by SendSkinCommand,
// any other by SendSkinCommandToControl.
void RefreshChildControls(TWinControl* Control);
// Command 6 to every child window of Wnd (z-order) that has WS_CHILD.
void RefreshChildWindows(HWND Wnd);
// The background colour of a control: kNoColor for nullptr; ColorToRGB of its
// Color when it is not skinned; else its answer to command 21.
TColor GetControlBgColor(TControl* Control);
// The background colour of a window: kNoColor for 0; else its answer to
// command 21, the button-face colour when it does not answer.
TColor GetWindowBgColor(HWND Wnd);
// Message by SendMessage to each direct child window of Wnd.
void PassMessageToChildWindows(HWND Wnd, const TMessage& Message);
// The design-time window procedure of the form's first provider that is not
// being destroyed gets the message.
void PassToDesignProvider(TCustomForm* Form, TMessage& Message);

// ---------------------------------------------------------------------------
// The image or colour under a child

// Ask Wnd (QueryWindowBackground) or Control (QueryControlBackground) with
// command 34 what lies under a child; Info.R, Info.Offset and Info.DC are the
// asker's. True when the parent answered. Not answered: when Info.PleaseDraw
// was set on entry, the parent paints itself into Info.DC under Info.R
// (WM_ERASEBKGND, then WM_PAINT); otherwise Info gets a colour (BgType 1): the
// manager's global colour for a window, the control's own colour for a
// control (filled into Info.DC at Info.R when PleaseDraw and Info.Bmp is
// set).
bool QueryWindowBackground(TBackgroundInfo& Info, HWND Wnd, bool PleaseDraw);
bool QueryControlBackground(TBackgroundInfo& Info, TWinControl* Control, bool PleaseDraw);
// An image answer gives a ready record at the answer's offset; a colour
// answer one without image, with FillColor the colour.
void BackgroundToCacheInfo(const TBackgroundInfo& Info, TCacheInfo& CI);
// What the parent shows under the whole of Control, with a ready record's
// offset moved to the control's place in it; an empty record when the
// control has no parent.
TCacheInfo ParentCacheUnder(TControl* Control);

// ---------------------------------------------------------------------------
// Graphic children

// Paints the graphic child controls of Control into DC, each at its position
// moved by Offset, over the background under it. Not re-entrant: a nested
// call returns at once. With an empty clip box it only sends command 22.
void PaintControlsTo(HDC DC, TWinControl* Control, TPoint Offset, bool CheckVisible = true);

// ---------------------------------------------------------------------------
// Window and control helpers

TPoint GetCursorPosition();
// False for nullptr, a windowed control without a window, a control reading
// its state, being created, loaded or destroyed, or without a parent.
bool ControlIsReady(TControl* Control);
// The first form (frame) in the Owner chain; nullptr when none.
TCustomForm* GetOwnerForm(TComponent* Component);
TCustomFrame* GetOwnerFrame(TComponent* Component);
// DrawText flags of an alignment: left, right or centre, vertically centred,
// with tabs expanded, through the control's reading-order flags.
Cardinal GetTextAlignFlags(TControl* Control, TAlignment Alignment);
// The client area of Wnd in window coordinates.
void GetClientRectInWindow(HWND Wnd, TRect& R);
// The heights (alTop, alBottom) or widths (alLeft, alRight) of the visible
// children with that Align; graphic children only when WithGraphic.
Integer SumAlignedChildSizes(TWinControl* Control, TAlign Align, bool WithGraphic);
// The window at the top of Wnd's parent chain.
HWND GetTopParentWindow(HWND Wnd);

// ---------------------------------------------------------------------------
// Start-ups

// The layered-window entry points of user32 (nullptr when missing) and the
// size of one check-box glyph of the system's check-box bitmap, looked up at
// the graphics unit's start-up (or first use).
using TUpdateLayeredWindow = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
using TSetLayeredWindowAttributes = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
extern TUpdateLayeredWindow acUpdateLayeredWindow;
extern TSetLayeredWindowAttributes acSetLayeredWindowAttributes;
extern Integer CheckBoxWidth;
extern Integer CheckBoxHeight;
void InitLayeredWindowEntryPoints();
// UpdateLayeredWindow was found.
bool LayeredWindowsAvailable();

// SetWindowTheme of "UXTHEME" (nullptr when missing), looked up at the
// window-utility unit's start-up.
using TSetWindowTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
extern TSetWindowTheme acSetWindowTheme;
void InitWindowThemeEntryPoint();
// The theme switch: turns the window's visual style off (empty lists) or
// gives it back (nullptr lists); nothing without the entry point.
void SetWindowThemeOff(HWND Wnd);
void RestoreWindowTheme(HWND Wnd);

void sVclUtilsInitialization();
void sVclUtilsFinalization();
