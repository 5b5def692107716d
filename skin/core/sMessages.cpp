#include "sMessages.h"

UINT SkinCommandMessage = 0xA100;
bool (*PassMessageTestRoutine)(TWinControl* Control) = nullptr;
bool acAnimationSwitch = false;

void sMessagesInitialization() { SkinCommandMessage = 0xA100; }

LRESULT SendSkinCommand(HWND Wnd, Word Command, LPARAM LParam) {
    return ::SendMessageW(Wnd, SkinCommandMessage, MakeSkinWParam(Command), LParam);
}

LRESULT SendSkinCommandToControl(TControl* Control, Word Command, LPARAM LParam) {
    if (!Control) return 0;
    if (auto* win = dynamic_cast<TWinControl*>(Control)) {
        if (win->HasState(csDestroying) || !win->HandleAllocated()) return 0;
        return SendSkinCommand(win->Handle(), Command, LParam);
    }
    return Control->Perform(SkinCommandMessage, MakeSkinWParam(Command), LParam);
}

bool SkinCommandAnswered(HWND Wnd, Word Command) { return Wnd && SendSkinCommand(Wnd, Command, 0) == 1; }

void PassMessageToChildControls(TWinControl* Control, TMessage& Message) {
    if (!Control) return;
    for (int i = 0; i < Control->ControlCount(); ++i) {
        TControl* child = Control->Controls(i);
        if (child->HasState(csDestroying)) return;
        auto* win = dynamic_cast<TWinControl*>(child);
        if (!win || !win->HandleAllocated()) {
            Message.Result = child->Perform(Message.Msg, Message.WParam, Message.LParam);
        } else if (SkinCommandAnswered(win->Handle(), AC_CTRLHANDLED)) {
            Message.Result = ::SendMessageW(win->Handle(), Message.Msg, Message.WParam, Message.LParam);
        } else if (!(PassMessageTestRoutine && PassMessageTestRoutine(win))) {
            PassMessageToChildControls(win, Message);
        }
    }
}

bool SentFromThisThread() {
    return (::InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) == 0;
}
