#include "acMessageBox.h"

#include "Forms.h"

const Char* const MsgDlgDefaultCaptions[5] = {u"Warning", u"Error", u"Information", u"Confirm", u""};

int MessageBoxX = -1;
int MessageBoxY = -1;

void (*MessageBoxHelpHandler)(int HelpContext) = nullptr;
TMessageBoxIndirectFunc MessageBoxIndirectProc = &::MessageBoxIndirectW;

UINT MessageDlgStyle(TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
    static const UINT icons[5] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION, MB_ICONQUESTION, 0};
    UINT style = (DlgType >= mtWarning && DlgType <= mtCustom) ? icons[DlgType] : 0;
    auto has = [&](TMsgDlgBtn b) { return Buttons.Contains(b); };
    if (!has(mbOK)) {
        if (has(mbAbort) || has(mbIgnore))
            style |= MB_ABORTRETRYIGNORE;
        else if (has(mbYes) || has(mbNo))
            style |= has(mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
        else if (has(mbRetry))
            style |= MB_RETRYCANCEL;
        else
            style |= MB_OK;
    } else if (has(mbCancel)) {
        style |= MB_OKCANCEL;
    } else {
        style |= MB_OK;
    }
    if (has(mbHelp)) style |= MB_HELP;
    return style;
}

void CALLBACK MessageBoxHelpCallback(LPHELPINFO HelpInfo) {
    if (HelpInfo && HelpInfo->dwContextId != 0 && MessageBoxHelpHandler)
        MessageBoxHelpHandler(static_cast<int>(HelpInfo->dwContextId));
}

int ShowMessageDlg(const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    return ShowMessageDlgPos(String(), Msg, DlgType, Buttons, -1, -1, HelpCtx);
}

int ShowMessageDlgPos(const String& Caption, const String& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                      int X, int Y, int HelpCtx) {
    String caption = Caption;
    if (caption.empty() && DlgType >= mtWarning && DlgType <= mtCustom) caption = MsgDlgDefaultCaptions[DlgType];

    MSGBOXPARAMSW params = {};
    params.cbSize = sizeof(params);
    params.hwndOwner = Application ? Application->Handle() : nullptr;
    params.hInstance = nullptr;
    params.lpszText = WStr(Msg);
    params.lpszCaption = WStr(caption);
    params.dwStyle = MessageDlgStyle(DlgType, Buttons);
    params.lpszIcon = nullptr;
    params.dwContextHelpId = static_cast<DWORD_PTR>(HelpCtx);
    params.lpfnMsgBoxCallback = &MessageBoxHelpCallback;
    params.dwLanguageId = 0;

    // The position belongs to this box only: put it back on every path.
    struct PositionScope {
        PositionScope(int x, int y) {
            MessageBoxX = x;
            MessageBoxY = y;
        }
        ~PositionScope() {
            MessageBoxX = -1;
            MessageBoxY = -1;
        }
    } position(X, Y);
    return MessageBoxIndirectProc(&params);
}
