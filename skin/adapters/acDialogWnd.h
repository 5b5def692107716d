// The adapter the window-creation hook's dialog provider puts on a standard
// dialog ("#32770": the open, save, font and find dialogs, message boxes).
// It answers the skin commands for the dialog, adapts the dialog's children
// through the provider (at the first erase of the background, at non-client
// paints and on command 28) and marks itself Destroyed when the dialog goes,
// so that the hook frees the provider.
//
// The frame, title bar and client background are still drawn by the system;
// the skinned frame comes with the dialog frame painter. Win32, main thread
// only.
#pragma once

#include "Types.h"
#include "acSBUtilsScroll.h"

class TacProvider;

enum TacBorderStyle { acbsDialog, acbsSingle, acbsNone, acbsSizeable, acbsToolWindow, acbsSizeToolWin };

class TacDialogWnd : public TacScrollWnd {
public:
    KES_CLASS_NAME(TacDialogWnd)
    // Made with the section "DIALOG" and Repaint false by AttachDialogAdapter.
    TacDialogWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
                 bool Repaint = true);
    void AfterConstruction() override;

    // Reads the styles and decides the border style (after the children are
    // adapted); WS_EX_LAYERED is taken off the window.
    void InitParams();

    void acWndProc(TMessage& Message) override;

    // Fields the provider and the later frame painting share.
    bool FFormActive = true;
    // WM_PAINT is only validated by the frame painter while set; cleared by
    // the provider before edits, combo boxes and lists are adapted.
    bool FWMPaintForbidden = false;
    Integer FCaptionSkinIndex = -1;
    // The children were adapted at the first WM_ERASEBKGND.
    bool Initialized = false;
    DWORD dwStyle = 0;
    DWORD dwExStyle = 0;
    bool RgnChanged = true;
    TacBorderStyle BorderStyle = acbsSingle;
    TacProvider* Provider = nullptr;
    Integer TitleIndex = -1;

    // The screen position a message box asked for; applied when the dialog
    // has initialised itself (the system centres a message box there, so a
    // move made earlier does not hold). Unset: -1, -1.
    TPoint RequestedPos{-1, -1};

private:
    void AdaptChildren();
    // The dialog is gone (WM_DESTROY or WM_NCDESTROY): let go of the window.
    void ReleaseDialog(TMessage& Message);
};
