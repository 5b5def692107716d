#include "sMessages.h"

UINT SkinCommandMessage = 0xA100;
bool (*PassMessageTestRoutine)(TWinControl* Control) = nullptr;
bool acAnimationSwitch = false;

namespace {

// The pointer commands this thread is sending at this moment, innermost
// last. Background queries nest once per parent level; sends deeper than the
// list holds are not recorded, and so refused by their receivers (they paint
// without the parent's image rather than trust an address).
struct TOwnPointerSend {
    Word Command;
    LPARAM Address;
};
constexpr int kOwnSendsKept = 128;
thread_local TOwnPointerSend gOwnSends[kOwnSendsKept];
thread_local int gOwnSendDepth = 0;

class TOwnSendMark {
public:
    TOwnSendMark(Word Command, LPARAM Address) : FMarked(Address != 0 && CommandCarriesPointer(Command)) {
        if (!FMarked) return;
        if (gOwnSendDepth < kOwnSendsKept) gOwnSends[gOwnSendDepth] = {Command, Address};
        ++gOwnSendDepth;
    }
    ~TOwnSendMark() {
        if (FMarked) --gOwnSendDepth;
    }
    TOwnSendMark(const TOwnSendMark&) = delete;
    TOwnSendMark& operator=(const TOwnSendMark&) = delete;

private:
    bool FMarked;
};

HHOOK gPostedFilter = nullptr;

// Posted skin commands never carry a usable address: they are made WM_NULL
// as the thread's message loop takes them.
LRESULT CALLBACK FilterPostedSkinCommands(int Code, WPARAM WParam, LPARAM LParam) {
    if (Code == HC_ACTION && LParam != 0) {
        auto* msg = reinterpret_cast<MSG*>(LParam);
        if (msg->message == SkinCommandMessage && CommandCarriesPointer(SkinCommandOf(msg->wParam))) {
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return ::CallNextHookEx(gPostedFilter, Code, WParam, LParam);
}

}  // namespace

void sMessagesInitialization() {
    SkinCommandMessage = 0xA100;
    if (!gPostedFilter)
        gPostedFilter = ::SetWindowsHookExW(WH_GETMESSAGE, FilterPostedSkinCommands, nullptr, ::GetCurrentThreadId());
}

void sMessagesFinalization() {
    if (gPostedFilter) ::UnhookWindowsHookEx(gPostedFilter);
    gPostedFilter = nullptr;
}

bool MayActOnSkinCommand(const TMessage& Message) {
    if (Message.Msg != SkinCommandMessage || Message.LParam == 0) return true;
    const Word command = SkinCommandOf(Message.WParam);
    if (!CommandCarriesPointer(command)) return true;
    const int kept = gOwnSendDepth < kOwnSendsKept ? gOwnSendDepth : kOwnSendsKept;
    for (int i = kept - 1; i >= 0; --i)
        if (gOwnSends[i].Command == command && gOwnSends[i].Address == Message.LParam) return true;
    return false;
}

LRESULT SendSkinCommand(HWND Wnd, Word Command, LPARAM LParam, Word Flag) {
    const TOwnSendMark mark(Command, LParam);
    return ::SendMessageW(Wnd, SkinCommandMessage, MakeSkinWParam(Command, Flag), LParam);
}

LRESULT PerformSkinCommand(TControl* Control, Word Command, LPARAM LParam, Word Flag) {
    if (!Control) return 0;
    const TOwnSendMark mark(Command, LParam);
    return Control->Perform(SkinCommandMessage, MakeSkinWParam(Command, Flag), LParam);
}

LRESULT SendSkinCommandToControl(TControl* Control, Word Command, LPARAM LParam) {
    if (!Control) return 0;
    if (auto* win = dynamic_cast<TWinControl*>(Control)) {
        if (win->HasState(csDestroying) || !win->HandleAllocated()) return 0;
        return SendSkinCommand(win->Handle(), Command, LParam);
    }
    return PerformSkinCommand(Control, Command, LParam);
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
