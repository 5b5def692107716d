// A skinned form freed from inside one of its provider's messages that runs
// user code or a nested loop: the provider (and the split button) must not
// touch themselves afterwards. The form and the provider are quarantined
// (their memory is filled and held after the delete), so a write into either
// shows as a changed byte and a pointer read from them fails at once. Also
// the outline drag of ResizeMode rmBorder, which ends with the capture and
// with its provider, and the editor link, which takes a skin only on the
// form announced to the editor and only when the form leaves the message
// unanswered.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "FormFreer.h"
#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "MenuDriver.h"
#include "Menus.h"
#include "CheckedHeap.h"
#include "TestSkin.h"
#include "TestSkinForm.h"
#include "TestSkinManager.h"
#include "sButton.h"
#include "sFade.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"

namespace {

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new kestrune_test::FrameworkEnvironment());

TPoint Centre(const TRect& r) { return TPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }

// Lies over the form's procedure (so over the provider's): hands menu
// messages to a driver and frees the form when the message it waits for
// comes, instead of passing that message on.
struct FreeOnMessage {
    TCustomForm* Form = nullptr;
    TWndMethod Saved;
    std::function<bool(const TMessage&)> When;
    harness::MenuDriver* Driver = nullptr;
    explicit FreeOnMessage(TCustomForm* f) : Form(f), Saved(f->WindowProc) {
        f->WindowProc = TWndMethod::Of<&FreeOnMessage::WndProc>(this);
    }
    // Under the provider instead: what it passes on comes here.
    FreeOnMessage(TCustomForm* f, TsSkinProvider* Over) : Form(f), Saved(Over->OldWndProc), FOver(Over) {
        Over->OldWndProc = TWndMethod::Of<&FreeOnMessage::WndProc>(this);
    }
    ~FreeOnMessage() {
        if (Form && FOver)
            FOver->OldWndProc = Saved;
        else if (Form)
            Form->WindowProc = Saved;
    }
    FreeOnMessage(const FreeOnMessage&) = delete;
    FreeOnMessage& operator=(const FreeOnMessage&) = delete;
    void WndProc(TMessage& m) {
        if (Driver) Driver->Message(m.Msg, m.WParam, m.LParam);
        if (Form && When && When(m)) {
            TCustomForm* f = Form;
            Form = nullptr;
            f->Free();
            return;
        }
        Saved(m);
    }

private:
    TsSkinProvider* FOver = nullptr;
};

bool IsCommand(const TMessage& m, UINT Command) {
    return m.Msg == WM_SYSCOMMAND && (m.WParam & 0xFFF0) == Command;
}

// Frees a form from a user event (a title button's, a menu item's, OnClose).
struct FormKiller {
    TCustomForm* Form = nullptr;
    void Now() {
        TCustomForm* f = Form;
        Form = nullptr;
        if (f) f->Free();
    }
    void Mouse(TObject*, TMouseButton, TShiftState, int, int) { Now(); }
    void Click(TObject*) { Now(); }
    void Close(TObject*, TCloseAction&) { Now(); }
};

class FreedInsideItsMessage : public kestrune_test::TestSkinForm {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WriteSkin());
        ASSERT_NO_FATAL_FAILURE(LoadAndShow({}, 320, 220));
        form->Free();
        form = nullptr;
        EXPECT_EQ(harness::CheckFreedMemory(), "");
    }
    void TearDown() override {
        acBtnPressed = false;
        acSessionEnding = false;
        kestrune_test::TestSkinForm::TearDown();
        EXPECT_EQ(harness::CheckFreedMemory(), "");
    }

public:
    // A shown form with a provider, whose liveness the test follows.
    void Make() {
        form = New<TForm>(Application);
        formAlive = form->Liveness();
        form->SetBounds(40, 40, 320, 220);
        form->SetCaption(u"Freed inside");
        form->Show();
        provider = New<TsSkinProvider>(form);
        providerAlive = provider->Liveness();
        harness::PumpUntilIdle(20, 1000);
    }
    HWND Wnd() const { return form->Handle(); }
    POINT Screen(TPoint p) const {
        RECT r{};
        ::GetWindowRect(Wnd(), &r);
        return POINT{r.left + p.X, r.top + p.Y};
    }
    LPARAM ScreenParam(TPoint p) const {
        const POINT s = Screen(p);
        return MAKELPARAM(s.x, s.y);
    }
    TPoint CaptionPoint() const {
        return TPoint(form->Width() / 2, SysBorderHeight(Wnd(), nullptr) + provider->CaptionHeight(true) / 2);
    }
    // Presses and releases a caption button (or a title button).
    // The release goes only to a window that is still there.
    void Click(Integer Code, TPoint At) {
        const HWND wnd = Wnd();
        const LPARAM at = ScreenParam(At);
        ::SendMessageW(wnd, WM_NCLBUTTONDOWN, static_cast<WPARAM>(Code), at);
        if (::IsWindow(wnd)) ::SendMessageW(wnd, WM_NCLBUTTONUP, static_cast<WPARAM>(Code), at);
    }
    // The form and its provider went, and nothing wrote into them after.
    void ExpectFreedCleanly(const char* What) {
        SCOPED_TRACE(What);
        EXPECT_FALSE(formAlive.Alive()) << "the form was freed";
        EXPECT_FALSE(providerAlive.Alive()) << "its provider went with it";
        // The checking allocator holds the freed blocks filled with its pattern.
        EXPECT_EQ(harness::CheckFreedMemory(), "") << "bytes written after the free";
        EXPECT_FALSE(acBtnPressed);
        EXPECT_FALSE(TsSkinProvider::FrameDragging());
        harness::PumpUntilIdle(10, 500);
    }

    TsSkinProvider* provider = nullptr;
    TLiveness formAlive, providerAlive;
};

struct FreeCase {
    const char* Name;
    // Frees the form, through the provider's message, from inside.
    std::function<void(FreedInsideItsMessage&, FormKiller&)> Run;
};

// Each kind of provider message that runs user code or a nested loop.
std::vector<FreeCase> FreeCases() {
    std::vector<FreeCase> cases;
    auto onCommand = [](UINT Command, std::function<void(FreedInsideItsMessage&)> Act) {
        return [Command, Act](FreedInsideItsMessage& t, FormKiller&) {
            FreeOnMessage freer(t.form);
            freer.When = [Command](const TMessage& m) { return IsCommand(m, Command); };
            Act(t);
            ASSERT_EQ(freer.Form, nullptr) << "the command came";
            t.form = nullptr;
        };
    };
    auto button = [](Integer Code) {
        return [Code](FreedInsideItsMessage& t) {
            const TsCaptionButton* b = t.provider->ButtonOf(Code);
            ASSERT_NE(b, nullptr);
            ASSERT_FALSE(b->Rect.IsEmpty());
            t.Click(Code, Centre(b->Rect));
        };
    };
    cases.push_back({"close button released", onCommand(SC_CLOSE, button(HTCAPTIONBTN_CLOSE))});
    cases.push_back({"minimize button released", onCommand(SC_MINIMIZE, button(HTCAPTIONBTN_MIN))});
    cases.push_back({"maximize button released", onCommand(SC_MAXIMIZE, button(HTCAPTIONBTN_MAX))});
    cases.push_back({"caption double click", onCommand(SC_MAXIMIZE, [](FreedInsideItsMessage& t) {
                         ::SendMessageW(t.Wnd(), WM_NCLBUTTONDBLCLK, HTCAPTION, t.ScreenParam(t.CaptionPoint()));
                     })});
    cases.push_back({"system menu item", [](FreedInsideItsMessage& t, FormKiller&) {
                         t.manager->SetSkinnedPopups(true);
                         // The last item closes.
                         harness::MenuDriver driver({VK_UP, VK_RETURN}, false);
                         FreeOnMessage freer(t.form);
                         freer.Driver = &driver;
                         freer.When = [](const TMessage& m) { return IsCommand(m, SC_CLOSE); };
                         ::SendMessageW(t.Wnd(), WM_NCRBUTTONUP, HTCAPTION, t.ScreenParam(t.CaptionPoint()));
                         EXPECT_EQ(driver.Opened, 1);
                         ASSERT_EQ(freer.Form, nullptr);
                         t.form = nullptr;
                     }});
    cases.push_back({"icon click waiting for a second click", [](FreedInsideItsMessage& t, FormKiller&) {
                         t.manager->SetSkinnedPopups(false);
                         harness::FormFreer freer(t.form);
                         freer.PostFree();
                         ::SendMessageW(t.Wnd(), WM_NCLBUTTONDOWN, HTSYSMENU,
                                        t.ScreenParam(Centre(t.provider->TitleIconRect())));
                         ASSERT_EQ(freer.Form, nullptr);
                         t.form = nullptr;
                         t.manager->SetSkinnedPopups(true);
                     }});
    cases.push_back({"icon double click", [](FreedInsideItsMessage& t, FormKiller& k) {
                         t.form->OnClose = TCloseEvent::Of<&FormKiller::Close>(&k);
                         ::SendMessageW(t.Wnd(), WM_NCLBUTTONDBLCLK, HTSYSMENU,
                                        t.ScreenParam(Centre(t.provider->TitleIconRect())));
                         ASSERT_EQ(k.Form, nullptr);
                         t.form = nullptr;
                     }});
    for (const bool down : {true, false}) {
        cases.push_back({down ? "title button pressed" : "title button released",
                         [down](FreedInsideItsMessage& t, FormKiller& k) {
                             auto* b = static_cast<TsTitleButton*>(t.provider->TitleButtons()->Add());
                             (down ? b->OnMouseDown : b->OnMouseUp) = TMouseEvent::Of<&FormKiller::Mouse>(&k);
                             t.provider->SkinData()->BGChanged = true;
                             t.provider->RefreshFrame();
                             ASSERT_FALSE(b->BtnData.Rect.IsEmpty());
                             t.Click(HTUDBTN, Centre(b->BtnData.Rect));
                             ASSERT_EQ(k.Form, nullptr);
                             t.form = nullptr;
                         }});
    }
    cases.push_back({"end of the session", [](FreedInsideItsMessage& t, FormKiller&) {
                         // A fade that never ends keeps the provider serving the queue.
                         auto* fade = New<TsFadeTimer>(nullptr);
                         harness::FormFreer freer(t.form);
                         freer.PostFree();
                         ::SendMessageW(t.Wnd(), WM_QUERYENDSESSION, 0, 0);
                         fade->Free();
                         acSessionEnding = false;
                         ASSERT_EQ(freer.Form, nullptr);
                         t.form = nullptr;
                     }});
    cases.push_back({"blend on moving", [](FreedInsideItsMessage& t, FormKiller&) {
                         TacBlendOnMoving* blend = t.manager->AnimEffects()->BlendOnMoving();
                         blend->SetActive(true);
                         blend->SetBlendValue(170);
                         FreeOnMessage freer(t.form);
                         freer.When = [](const TMessage& m) { return m.Msg == WM_SYSCOMMAND && m.WParam == 0xF012; };
                         BOOL fullDrag = FALSE;
                         ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
                         if (fullDrag)
                             ::SendMessageW(t.Wnd(), WM_NCLBUTTONDOWN, HTCAPTION, t.ScreenParam(t.CaptionPoint()));
                         else
                             t.provider->StartBlendOnMoving();
                         blend->SetActive(false);
                         ASSERT_EQ(freer.Form, nullptr);
                         t.form = nullptr;
                     }});
    cases.push_back({"new caption text", [](FreedInsideItsMessage& t, FormKiller&) {
                         // The form's own handling of the text frees it, under
                         // the caption cover.
                         FreeOnMessage freer(t.form, t.provider);
                         freer.When = [](const TMessage& m) { return m.Msg == WM_SETTEXT; };
                         ::SendMessageW(t.Wnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Going"));
                         ASSERT_EQ(freer.Form, nullptr);
                         t.form = nullptr;
                     }});
    cases.push_back({"split button menu item", [](FreedInsideItsMessage& t, FormKiller& k) {
                         auto* split = New<TsButton>(t.form);
                         split->SetBounds(20, 20, 100, 26);
                         split->SetParent(t.form);
                         split->SetStyle(bsSplitButton);
                         auto* menu = New<TPopupMenu>(t.form);
                         auto* item = New<TMenuItem>(t.form);
                         item->SetCaption(u"Close the form");
                         item->OnClick = TNotifyEvent::Of<&FormKiller::Click>(&k);
                         menu->Items()->Add(item);
                         split->SetDropDownMenu(menu);
                         harness::PumpUntilIdle(20, 1000);
                         harness::MenuDriver driver({VK_DOWN, VK_RETURN});
                         ::SendMessageW(split->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(92, 13));
                         EXPECT_EQ(driver.Opened, 1);
                         ASSERT_EQ(k.Form, nullptr);
                         t.form = nullptr;
                     }});

    return cases;
}

class FreedInside : public FreedInsideItsMessage, public ::testing::WithParamInterface<std::size_t> {};

// The form is freed from inside the message; repeated, the system's object
// counts stay flat.
TEST_P(FreedInside, NoUseOfTheProviderAfterItsFormWent) {
    const FreeCase c = FreeCases()[GetParam()];
    auto once = [&] {
        Make();
        FormKiller killer{form};
        c.Run(*this, killer);
        if (form) {
            ADD_FAILURE() << "the form was not freed";
            form->Free();
            form = nullptr;
        }
        ExpectFreedCleanly(c.Name);
    };
    once();
    if (HasFailure()) return;
    const harness::ObjectCounts before = harness::CountObjects();
    once();
    harness::ExpectObjectCountsFlat(before, once, c.Name);
}

INSTANTIATE_TEST_SUITE_P(EachKind, FreedInside, ::testing::Range<std::size_t>(0, FreeCases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             std::string name;
                             bool up = true;
                             for (const char* p = FreeCases()[info.param].Name; *p; ++p) {
                                 if (*p == ' ') {
                                     up = true;
                                     continue;
                                 }
                                 name += up ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p;
                                 up = false;
                             }
                             return name;
                         });

// ---- the outline drag of rmBorder ---------------------------------------------------------------

class OutlineDrag : public FreedInsideItsMessage {
protected:
    // Starts the outline drag of a move by the system command, as the
    // caption does.
    void StartDrag() {
        provider->SetResizeMode(rmBorder);
        ::SendMessageW(Wnd(), WM_SYSCOMMAND, SC_MOVE, 0);
        ASSERT_TRUE(TsSkinProvider::FrameDragging());
        ASSERT_EQ(::GetCapture(), Wnd());
    }
};

TEST_F(OutlineDrag, EndsWithTheCaptureTheCancelAndTheProvider) {
    struct Case {
        const char* Name;
        std::function<void(OutlineDrag&)> End;
        bool FormGoes;
    };
    HWND other = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    const std::vector<Case> cases = {
        {"another window takes the capture", [other](OutlineDrag&) { ::SetCapture(other); }, false},
        {"cancel mode", [](OutlineDrag& t) { ::SendMessageW(t.Wnd(), WM_CANCELMODE, 0, 0); }, false},
        {"the form is freed", [](OutlineDrag& t) {
             t.form->Free();
             t.form = nullptr;
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto once = [&] {
            Make();
            RECT before{};
            ::GetWindowRect(Wnd(), &before);
            ASSERT_NO_FATAL_FAILURE(StartDrag());
            c.End(*this);
            EXPECT_FALSE(TsSkinProvider::FrameDragging());
            if (::GetCapture() == other) ::ReleaseCapture();
            if (!c.FormGoes) {
                EXPECT_NE(::GetCapture(), Wnd());
                RECT after{};
                ::GetWindowRect(Wnd(), &after);
                EXPECT_EQ(after.left, before.left) << "an ended drag moves nothing";
                EXPECT_EQ(after.top, before.top);
                form->Free();
                form = nullptr;
            }
            ExpectFreedCleanly(c.Name);
        };
        once();
        // The desktop DC goes back every time.
        const harness::ObjectCounts counts = harness::CountObjects();
        for (int i = 0; i < 4; ++i) once();
        EXPECT_LE(harness::CountObjects().Gdi, counts.Gdi + 1) << "desktop DCs kept";
        harness::ExpectObjectCountsFlat(counts, once, c.Name);

        // Another form drags afterwards.
        Make();
        ASSERT_NO_FATAL_FAILURE(StartDrag());
        POINT p{};
        ::GetCursorPos(&p);
        ::ScreenToClient(Wnd(), &p);
        ::SendMessageW(Wnd(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        EXPECT_FALSE(TsSkinProvider::FrameDragging());
        EXPECT_NE(::GetCapture(), Wnd());
        form->Free();
        form = nullptr;
        EXPECT_EQ(harness::CheckFreedMemory(), "");
    }
    ::DestroyWindow(other);
}

TEST_F(OutlineDrag, FreeingTheProviderClearsThePressedButtonAndThePreviewHandle) {
    Make();
    PreviewHandle = Wnd();
    const TsCaptionButton* close = provider->ButtonOf(HTCAPTIONBTN_CLOSE);
    ASSERT_NE(close, nullptr);
    ::SendMessageW(Wnd(), WM_NCLBUTTONDOWN, HTCAPTIONBTN_CLOSE, ScreenParam(Centre(close->Rect)));
    ASSERT_TRUE(acBtnPressed);
    form->Free();
    form = nullptr;
    EXPECT_FALSE(acBtnPressed);
    EXPECT_EQ(PreviewHandle, nullptr);
    // A preview handle naming another window stays.
    Make();
    HWND elsewhere = Application->Handle();
    PreviewHandle = elsewhere;
    form->Free();
    form = nullptr;
    EXPECT_EQ(PreviewHandle, elsewhere);
    PreviewHandle = nullptr;
}

// ---- the editor link ------------------------------------------------------------------------------

std::vector<char> EditorRecord(const std::string& Dir, const std::string& Name) {
    std::vector<char> r(acEditorRecordSize, 0);
    r[0] = static_cast<char>(acEditorTag & 0xFF);
    r[1] = static_cast<char>(acEditorTag >> 8);
    const std::string options = "[GLOBALINFO]\r\nVERSION=7.5\r\n";
    std::copy(options.begin(), options.end(), r.begin() + 2);
    std::copy(Dir.begin(), Dir.end(), r.begin() + 2 + acEditorOptionsSize);
    std::copy(Name.begin(), Name.end(), r.begin() + 2 + acEditorOptionsSize + acEditorDirectorySize);
    return r;
}

// Answers WM_COPYDATA itself (installed under the provider).
struct CopyDataAnswer {
    TWndMethod Saved;
    LRESULT Answer = 0;
    int Seen = 0;
    void WndProc(TMessage& m) {
        if (m.Msg == WM_COPYDATA) {
            ++Seen;
            m.Result = Answer;
            return;
        }
        Saved(m);
    }
};

class EditorLink : public FreedInsideItsMessage {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(FreedInsideItsMessage::SetUp());
        skingen::WriteTestSkin(root / "Second");
        manager->AllowEditorLink = true;
    }
    void TearDown() override {
        if (manager) manager->AllowEditorLink = false;
        PreviewHandle = nullptr;
        FreedInsideItsMessage::TearDown();
    }
    LRESULT SendSkin(HWND To) {
        std::vector<char> record = EditorRecord(StringToAnsi(String(root.u16string())), "Second");
        COPYDATASTRUCT cds{};
        cds.dwData = 0;
        cds.cbData = static_cast<DWORD>(record.size());
        cds.lpData = record.data();
        return ::SendMessageW(To, WM_COPYDATA, acEditorCopyDataId, reinterpret_cast<LPARAM>(&cds));
    }
};

TEST_F(EditorLink, OnlyThePreviewFormTakesASkinAndOnlyWhenItLeavesTheMessageUnanswered) {
    // The form announced to the editor, whose own procedure answers the
    // message when asked to, and a second skinned form.
    form = New<TForm>(Application);
    form->SetBounds(40, 40, 320, 220);
    form->Show();
    CopyDataAnswer answer;
    answer.Saved = form->WindowProc;
    form->WindowProc = TWndMethod::Of<&CopyDataAnswer::WndProc>(&answer);
    provider = New<TsSkinProvider>(form);
    TForm* other = New<TForm>(Application);
    other->SetBounds(80, 80, 200, 150);
    other->Show();
    New<TsSkinProvider>(other);
    harness::PumpUntilIdle(20, 1000);
    PreviewHandle = form->Handle();

    // Any other skinned form refuses the skin.
    EXPECT_EQ(SendSkin(other->Handle()), 0);
    EXPECT_EQ(manager->SkinName(), u"Test");

    // The form is asked first: its own answer stands and no skin is taken.
    answer.Answer = 5;
    EXPECT_EQ(SendSkin(form->Handle()), 5);
    EXPECT_EQ(answer.Seen, 1);
    EXPECT_EQ(manager->SkinName(), u"Test");

    // Unanswered by the form, the skin is taken.
    answer.Answer = 0;
    EXPECT_EQ(SendSkin(form->Handle()), 1);
    EXPECT_EQ(answer.Seen, 2);
    EXPECT_EQ(manager->SkinName(), u"Second");

    other->Free();
    provider->Free();
    form->WindowProc = answer.Saved;
}

}  // namespace
