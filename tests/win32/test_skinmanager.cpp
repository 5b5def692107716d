// The skin manager: choosing, loading and switching skins, the announcements
// to the windows of the program, the skinned-forms list, the option objects,
// the stored skins and the skin editor's link.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <cstring>
#include <random>

#include "FrameworkEnvironment.h"
#include "GuiHarness.h"
#include "SysUtils.h"
#include "Unit1.h"
#include "acMessageBox.h"
#include "acSkinImages.h"
#include "acSkinPack.h"
#include "acUtilsWin.h"
#include "sMessages.h"
#include "sSkinManager.h"
#include "sStyleSimplyWin.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------
// Message boxes are answered here and their texts kept.

std::vector<String> gBoxes;

int WINAPI RecordBox(const MSGBOXPARAMSW* params) {
    gBoxes.push_back(FromW(params->lpszText, std::wcslen(params->lpszText)));
    return IDOK;
}

class BoxRecorder {
public:
    BoxRecorder() : FOld(MessageBoxIndirectProc) {
        gBoxes.clear();
        MessageBoxIndirectProc = RecordBox;
    }
    ~BoxRecorder() { MessageBoxIndirectProc = FOld; }

private:
    TMessageBoxIndirectFunc FOld;
};

bool Contains(const String& text, StringView part) { return text.find(part) != String::npos; }

// ---------------------------------------------------------------------------
// Test skins.

std::vector<Byte> Bytes(std::string_view text) { return std::vector<Byte>(text.begin(), text.end()); }

// A 24-bit bottom-up BMP of w x h pixels of one colour.
std::vector<Byte> SolidBmp(int w, int h, Byte r, Byte g, Byte b) {
    const int stride = (w * 3 + 3) & ~3;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(stride * h);
    std::vector<Byte> out(54 + dataSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = static_cast<Byte>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, static_cast<std::uint32_t>(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    out[26] = 1;
    out[28] = 24;
    put32(34, dataSize);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Byte* p = &out[54 + static_cast<std::size_t>(y * stride + x * 3)];
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    return out;
}

const char kFlatIni[] =
    "[GLOBALINFO]\r\nVERSION=7.5\r\nCOLOR=1122867\r\nFONTCOLOR=4473924\r\nHOTCOLOR=5592405\r\n"
    "[BUTTON]\r\nCOLOR=255\r\nBORDERSMASK=btn.bmp\r\n"
    "[EDIT]\r\nFONTCOLOR=65280\r\n"
    "[SELECTION]\r\nSTATES=2\r\nCOLOR=16711680\r\nHOTCOLOR=128\r\n";

void WriteFile(const fs::path& path, const std::vector<Byte>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A temporary skins folder:
//   Flat        folder skin with a border mask
//   FlatP.asz   the same skin packed
//   Delta.v2.asz  packed, a name with a further dot
//   Broken      folder skin with a bad number in GLOBALINFO
//   New         folder skin of version 8
//   Old         folder skin of version 6.5
class SkinFolder {
public:
    explicit SkinFolder(const fs::path& root) : FRoot(root) {
        fs::create_directories(FRoot);
        const auto bmp = SolidBmp(6, 3, 10, 20, 30);
        Folder("Flat", kFlatIni, &bmp);
        Packed("FlatP.asz", kFlatIni, &bmp);
        Packed("Delta.v2.asz", "[GLOBALINFO]\r\nVERSION=7.6\r\n[PANEL]\r\n", nullptr);
        Folder("Broken", "[GLOBALINFO]\r\nVERSION=7.5\r\nSHADOW1OFFSET=abc\r\n[PANEL]\r\n", nullptr);
        Folder("New", "[GLOBALINFO]\r\nVERSION=8\r\n", nullptr);
        Folder("Old", "[GLOBALINFO]\r\nVERSION=6.5\r\n", nullptr);
    }
    ~SkinFolder() {
        std::error_code ec;
        fs::remove_all(FRoot, ec);
    }
    String Path() const { return FRoot.u16string(); }
    const fs::path& Root() const { return FRoot; }

    void Folder(const char* name, std::string_view ini, const std::vector<Byte>* bmp) {
        fs::create_directories(FRoot / name);
        WriteFile(FRoot / name / "Options.dat", Bytes(ini));
        if (bmp) WriteFile(FRoot / name / "btn.bmp", *bmp);
    }
    void Packed(const char* name, std::string_view ini, const std::vector<Byte>* bmp) {
        SavePackedSkinFile((FRoot / name).u16string(), Entries(ini, bmp));
    }
    static std::vector<TacPackedEntry> Entries(std::string_view ini, const std::vector<Byte>* bmp) {
        std::vector<TacPackedEntry> entries{{u"Options.dat", Bytes(ini)}};
        if (bmp) entries.push_back({u"btn.bmp", *bmp});
        return entries;
    }

private:
    fs::path FRoot;
};

fs::path UniqueTemp(const char* prefix) {
    std::random_device r;
    return fs::temp_directory_path() / (std::string(prefix) + std::to_string(r()) + "-" + std::to_string(r()));
}

// ---------------------------------------------------------------------------
// Spies: what skin commands and WM_SETREDRAW a receiver got, in order.

struct SpyLog {
    std::vector<Word> Commands;
    std::vector<LPARAM> Arguments;
    int RedrawOff = 0;
    int RedrawOn = 0;
    int Count(Word command) const { return static_cast<int>(std::count(Commands.begin(), Commands.end(), command)); }
    void Clear() { *this = SpyLog(); }
};

// Keeps the log of a message; answers commands 7 and 4 as told.
bool SpyMessage(SpyLog& log, TMessage& m, bool skinned, TacFormProvider* provider) {
    if (m.Msg == SkinCommandMessage) {
        const Word cmd = SkinCommandOf(m.WParam);
        if (cmd == AC_CTRLHANDLED) {
            m.Result = skinned ? 1 : 0;
            return true;
        }
        if (cmd == AC_GETPROVIDER) {
            m.Result = reinterpret_cast<LRESULT>(provider);
            return true;
        }
        log.Commands.push_back(cmd);
        log.Arguments.push_back(m.LParam);
        return true;
    }
    if (m.Msg == WM_SETREDRAW) (m.WParam ? log.RedrawOn : log.RedrawOff)++;
    return false;
}

class SpyForm : public TForm {
public:
    KES_CLASS_NAME(SpyForm)
    using TForm::TForm;
    void WndProc(TMessage& m) override {
        if (!SpyMessage(Log, m, Skinned, Provider)) TForm::WndProc(m);
    }
    SpyLog Log;
    bool Skinned = false;
    TacFormProvider* Provider = nullptr;
};

class SpyControl : public TWinControl {
public:
    KES_CLASS_NAME(SpyControl)
    using TWinControl::TWinControl;
    void WndProc(TMessage& m) override {
        if (!SpyMessage(Log, m, Skinned, nullptr)) TWinControl::WndProc(m);
    }
    SpyLog Log;
    bool Skinned = true;
};

class SpyGraphic : public TGraphicControl, public IacHotState {
public:
    KES_CLASS_NAME(SpyGraphic)
    using TGraphicControl::TGraphicControl;
    void WndProc(TMessage& m) override {
        if (!SpyMessage(Log, m, true, nullptr)) TGraphicControl::WndProc(m);
        if (m.Msg == SkinCommandMessage && SkinCommandOf(m.WParam) == AC_GETSKINSTATE)
            m.Result = reinterpret_cast<LRESULT>(static_cast<TObject*>(this));
    }
    bool IsHot() const override { return KeepHot; }
    SpyLog Log;
    bool KeepHot = false;
};

// A raw window standing for one the window-creation hook adapted.
std::map<HWND, SpyLog> gRawLogs;

LRESULT CALLBACK RawSpyProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    if (SpyMessage(gRawLogs[wnd], m, true, nullptr)) return m.Result;
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

HWND MakeRawSpy(bool visible) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = RawSpyProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KesRawSpy";
        registered = ::RegisterClassW(&wc) != 0;
    }
    HWND wnd = ::CreateWindowExW(0, L"KesRawSpy", L"", WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 20, 20, nullptr,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
    gRawLogs[wnd].Clear();
    return wnd;
}

int gAdaptersReleased = 0;
class SpyAdapter : public TacHookAdapter {
public:
    explicit SpyAdapter(HWND wnd) : FWnd(wnd) {}
    ~SpyAdapter() override { ++gAdaptersReleased; }
    HWND Wnd() const override { return FWnd; }

private:
    HWND FWnd;
};

class FakeProvider : public TacFormProvider {
public:
    bool HasBorderForm() const override { return BorderForm; }
    void MakeCoverBmp() override { ++Snapshots; }
    bool BorderForm = false;
    int Snapshots = 0;
};

// ---------------------------------------------------------------------------

class SkinManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        kestrune_test::EnsureFramework();
        ASSERT_EQ(DefaultManager, nullptr) << "a manager of another test is still alive";
        skins = std::make_unique<SkinFolder>(UniqueTemp("kestrune-skins-"));
        manager = New<TsSkinManager>(Application);
        manager->SetSkinDirectory(skins->Path());
    }
    void TearDown() override {
        for (auto it = forms.rbegin(); it != forms.rend(); ++it) (*it)->Free();
        if (manager) manager->Free();
        for (auto& [wnd, log] : gRawLogs) ::DestroyWindow(wnd);
        gRawLogs.clear();
        skins.reset();
        ASSERT_EQ(DefaultManager, nullptr);
        EXPECT_FALSE(TsSkinManager::HookInstalled());
        EXPECT_EQ(HookAdapters, nullptr);
        EXPECT_TRUE(SkinnedForms().empty());
    }
    SpyForm* MakeForm(bool skinned, bool listed) {
        auto* f = New<SpyForm>(Application);
        f->Skinned = skinned;
        f->HandleNeeded();
        if (listed) AddSkinnedForm(f);
        forms.push_back(f);
        return f;
    }
    void Choose(const String& name) {
        BoxRecorder boxes;
        manager->SetSkinName(name);
        boxesShown = gBoxes;
    }

    std::unique_ptr<SkinFolder> skins;
    TsSkinManager* manager = nullptr;
    std::vector<SpyForm*> forms;
    std::vector<String> boxesShown;
};

// Freed last: removes itself from the skinned-forms list.
struct Unlist {
    ~Unlist() {
        for (TCustomForm* f : std::vector<TCustomForm*>(SkinnedForms())) RemoveSkinnedForm(f);
    }
};

}  // namespace

// ---- announcements ---------------------------------------------------------

TEST_F(SkinManagerTest, NewSkinReachesEveryFormChildAndHookWindowOnceAndFadesStopBeforeTheRepaint) {
    Unlist unlist;
    // An unskinned form: reached through the application's forms, its skinned
    // children directly, the children of its unskinned container in its place.
    SpyForm* plain = MakeForm(false, false);
    auto* child = New<SpyControl>(plain);
    child->SetParent(plain);
    auto* container = New<SpyControl>(plain);
    container->Skinned = false;
    container->SetParent(plain);
    auto* grandchild = New<SpyControl>(plain);
    grandchild->SetParent(container);
    auto* graphic = New<SpyGraphic>(plain);
    graphic->SetParent(plain);
    plain->HandleNeeded();
    child->HandleNeeded();
    container->HandleNeeded();
    grandchild->HandleNeeded();
    // A form with a provider: only through the skinned-forms list.
    SpyForm* skinned = MakeForm(true, true);
    auto* skinnedChild = New<SpyControl>(skinned);
    skinnedChild->SetParent(skinned);
    skinnedChild->HandleNeeded();

    Choose(u"Flat");
    ASSERT_TRUE(boxesShown.empty());
    ASSERT_TRUE(TsSkinManager::HookInstalled());
    ASSERT_NE(HookAdapters, nullptr);
    const HWND visibleAdapter = MakeRawSpy(true);
    const HWND hiddenAdapter = MakeRawSpy(false);
    HookAdapters->push_back(new SpyAdapter(visibleAdapter));
    HookAdapters->push_back(new SpyAdapter(hiddenAdapter));

    std::vector<SpyLog*> receivers = {&plain->Log, &child->Log, &grandchild->Log, &graphic->Log,
                                      &skinned->Log, &skinnedChild->Log, &gRawLogs[visibleAdapter]};
    for (SpyLog* log : receivers) log->Clear();
    container->Log.Clear();

    Choose(u"FlatP");
    ASSERT_TRUE(boxesShown.empty());
    EXPECT_TRUE(manager->SkinIsPacked());
    for (std::size_t i = 0; i < receivers.size(); ++i) {
        const SpyLog& log = *receivers[i];
        EXPECT_EQ(log.Count(AC_SETNEWSKIN), 1) << "receiver " << i;
        EXPECT_EQ(log.Count(AC_STOPFADING), 1) << "receiver " << i;
        EXPECT_EQ(log.Count(AC_REFRESH), 1) << "receiver " << i;
        // Command 1, then 16, then 3; the manager is the argument.
        EXPECT_EQ(log.Commands, (std::vector<Word>{AC_SETNEWSKIN, AC_STOPFADING, AC_REFRESH})) << "receiver " << i;
        for (LPARAM a : log.Arguments) EXPECT_EQ(a, reinterpret_cast<LPARAM>(manager));
    }
    EXPECT_TRUE(container->Log.Commands.empty());
    EXPECT_TRUE(gRawLogs[hiddenAdapter].Commands.empty());

    // Removal: command 2 everywhere, the model emptied, the hook and its
    // adapters gone.
    for (SpyLog* log : receivers) log->Clear();
    gAdaptersReleased = 0;
    manager->SetActive(false);
    for (std::size_t i = 0; i < receivers.size() - 1; ++i)
        EXPECT_EQ(receivers[i]->Commands, std::vector<Word>{AC_REMOVESKIN}) << "receiver " << i;
    EXPECT_FALSE(manager->SkinData()->Active);
    EXPECT_TRUE(manager->gd().empty());
    EXPECT_TRUE(manager->ma().empty());
    EXPECT_TRUE(manager->pa().empty());
    EXPECT_EQ(manager->MasterBitmap(), nullptr);
    EXPECT_FALSE(TsSkinManager::HookInstalled());
    EXPECT_EQ(HookAdapters, nullptr);
    EXPECT_EQ(gAdaptersReleased, 2);
    EXPECT_EQ(manager->SkinInfo(), u"N/A");

    // Active again: the same skin comes back.
    manager->SetActive(true);
    EXPECT_TRUE(manager->SkinData()->Active);
    EXPECT_EQ(manager->SkinName(), u"FlatP");
    EXPECT_EQ(skinned->Log.Count(AC_SETNEWSKIN), 1);
}

TEST_F(SkinManagerTest, FrozenFormsAreThawedOnEveryPath) {
    Unlist unlist;
    FakeProvider provider;
    provider.SkinManager = manager;
    SpyForm* form = MakeForm(true, true);
    form->Provider = &provider;
    form->Show();

    Choose(u"Flat");
    EXPECT_GE(form->Log.RedrawOff, 1);
    EXPECT_EQ(form->Log.RedrawOff, form->Log.RedrawOn);
    EXPECT_EQ(provider.FormState & FS_CHANGING, 0u);

    // A failure between the freeze and the repaint.
    form->Log.Clear();
    acSkinChangedNotify2 = [] { throw Exception(u"listener failed"); };
    {
        BoxRecorder boxes;
        EXPECT_THROW(manager->SetSkinName(u"FlatP"), Exception);
    }
    acSkinChangedNotify2 = nullptr;
    EXPECT_GE(form->Log.RedrawOff, 1);
    EXPECT_EQ(form->Log.RedrawOff, form->Log.RedrawOn);
    EXPECT_EQ(provider.FormState & FS_CHANGING, 0u);
    EXPECT_FALSE(acAnimationSwitch);

    // A failed animated change ends the snapshot marks it set.
    provider.BorderForm = true;
    manager->SetExtendedBorders(true);
    form->Log.Clear();
    Choose(u"Broken");
    ASSERT_EQ(boxesShown.size(), 1u);
    EXPECT_EQ(provider.Snapshots, 1);
    EXPECT_EQ(provider.FormState, 0u);
    EXPECT_FALSE(provider.FInAnimation);
    EXPECT_FALSE(acAnimationSwitch);
    EXPECT_EQ(form->Log.RedrawOff, 0);

    // Removing the skin with the animation on ends the marks as well.
    Choose(u"Flat");
    provider.Snapshots = 0;
    Choose(u"");
    EXPECT_EQ(provider.Snapshots, 1);
    EXPECT_EQ(provider.FormState, 0u);
    EXPECT_FALSE(provider.FInAnimation);
    EXPECT_FALSE(acAnimationSwitch);
    EXPECT_FALSE(acSkinChangeAnimating);
    manager->SetExtendedBorders(false);
    provider.BorderForm = false;

    // A form of another manager is left alone.
    form->Log.Clear();
    auto* other = New<TsSkinManager>(nullptr);
    provider.SkinManager = other;
    Choose(u"Flat");
    EXPECT_EQ(form->Log.RedrawOff, 0);
    other->Free();
    form->Hide();
}

TEST_F(SkinManagerTest, AChangeThawsOnlyTheFormsItFroze) {
    Unlist unlist;
    FakeProvider own, others;
    auto* other = New<TsSkinManager>(nullptr);
    own.SkinManager = manager;
    others.SkinManager = other;
    SpyForm* ownForm = MakeForm(true, true);
    ownForm->Provider = &own;
    SpyForm* otherForm = MakeForm(true, true);
    otherForm->Provider = &others;
    ::ShowWindow(ownForm->Handle(), SW_SHOWNOACTIVATE);
    ::ShowWindow(otherForm->Handle(), SW_SHOWNOACTIVATE);

    // The other manager's change is under way: its form is frozen.
    const std::vector<TCustomForm*> frozen = UpdateSkinnedFormRegions(other);
    ASSERT_EQ(frozen, std::vector<TCustomForm*>{otherForm});
    otherForm->Log.Clear();
    Choose(u"Flat");
    ASSERT_TRUE(boxesShown.empty());
    EXPECT_GE(ownForm->Log.RedrawOff, 1);
    EXPECT_EQ(ownForm->Log.RedrawOff, ownForm->Log.RedrawOn);
    EXPECT_EQ(own.FormState & FS_CHANGING, 0u);
    EXPECT_EQ(otherForm->Log.RedrawOn, 0);   // still frozen for its own change
    EXPECT_NE(others.FormState & FS_CHANGING, 0u);
    EXPECT_TRUE(others.FInAnimation);

    // A failure between the freeze and the repaint thaws this change's form only.
    acSkinChangedNotify2 = [] { throw Exception(u"listener failed"); };
    {
        BoxRecorder boxes;
        EXPECT_THROW(manager->SetSkinName(u"FlatP"), Exception);
    }
    acSkinChangedNotify2 = nullptr;
    EXPECT_EQ(ownForm->Log.RedrawOff, ownForm->Log.RedrawOn);
    EXPECT_EQ(own.FormState & FS_CHANGING, 0u);
    EXPECT_EQ(otherForm->Log.RedrawOn, 0);
    EXPECT_NE(others.FormState & FS_CHANGING, 0u);

    ThawSkinnedForms(other);
    EXPECT_EQ(otherForm->Log.RedrawOn, 1);
    EXPECT_EQ(others.FormState & FS_CHANGING, 0u);
    ::ShowWindow(ownForm->Handle(), SW_HIDE);
    ::ShowWindow(otherForm->Handle(), SW_HIDE);
    other->Free();
}

TEST_F(SkinManagerTest, FormShadowSizeFollowsTheBorderMode) {
    // An "EXBORDER" bitmap of 36 x 12: borders of 4 (36 div 9) and 2 (12 div 6).
    const auto bmp = SolidBmp(36, 12, 10, 20, 30);
    struct TCase {
        const char* Name;
        const char* Options;
        TRect Expected;
    };
    const TCase cases[] = {
        {"Mode0", "BORDERMODE=0\r\nFORMOFFSET=1\r\n", TRect(3, 1, 3, 1)},   // the mask's borders less the offset
        {"Mode1", "BORDERMODE=1\r\nFORMOFFSET=5\r\n", TRect(5, 5, 5, 5)},   // the offset once on each side
        {"Mode2", "BORDERMODE=2\r\nFORMOFFSET=3\r\n", TRect(3, 3, 3, 3)},
    };
    manager->SetExtendedBorders(true);
    ASSERT_TRUE(manager->ExtendedBorders());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        skins->Folder(c.Name, std::string("[GLOBALINFO]\r\nVERSION=7.6\r\nEXBORDER=btn.bmp\r\n") + c.Options, &bmp);
        Choose(AsciiToString(c.Name));
        ASSERT_TRUE(boxesShown.empty());
        ASSERT_GE(manager->ConstData().ExBorder, 0);
        EXPECT_EQ(manager->FormShadowSize, c.Expected);
    }
    manager->SetExtendedBorders(false);
}

namespace {
bool gSysAnimation = true;
int gSysAnimationWrites = 0;
bool GetSysAnimation() { return gSysAnimation; }
void PutSysAnimation(bool on) {
    gSysAnimation = on;
    ++gSysAnimationWrites;
}
}  // namespace

TEST(SysAnimationOff, TheSettingComesBackOnEveryPath) {
    gSysAnimation = true;
    gSysAnimationWrites = 0;
    try {
        TacSysAnimationOff off(GetSysAnimation, PutSysAnimation);
        EXPECT_FALSE(gSysAnimation);
        throw Exception(u"failure");
    } catch (const Exception&) {
    }
    EXPECT_TRUE(gSysAnimation);
    EXPECT_EQ(gSysAnimationWrites, 2);
    // Already off: left alone.
    gSysAnimation = false;
    { TacSysAnimationOff off(GetSysAnimation, PutSysAnimation); }
    EXPECT_FALSE(gSysAnimation);
    EXPECT_EQ(gSysAnimationWrites, 2);
}

TEST_F(SkinManagerTest, HookIsInstalledOnceAndOnlyByTheDefaultManager) {
    auto* second = New<TsSkinManager>(Application);
    second->SetSkinDirectory(skins->Path());
    EXPECT_TRUE(manager->IsDefault());
    EXPECT_FALSE(second->IsDefault());

    {
        BoxRecorder boxes;
        second->SetSkinName(u"Flat");
    }
    EXPECT_TRUE(second->SkinData()->Active);
    EXPECT_FALSE(TsSkinManager::HookInstalled());

    Choose(u"Flat");
    ASSERT_TRUE(TsSkinManager::HookInstalled());
    const HHOOK first = TsSkinManager::HookHandle();
    Choose(u"FlatP");
    manager->InstallHook();
    second->InstallHook();
    EXPECT_EQ(TsSkinManager::HookHandle(), first);

    // The other manager's removal leaves the default manager's hook alone.
    second->SetActive(false);
    EXPECT_EQ(TsSkinManager::HookHandle(), first);
    second->Free();
}

// ---- faults of choosing and loading ---------------------------------------

TEST_F(SkinManagerTest, MissingSkinIsReportedAndTheManagerStaysActive) {
    Choose(u"Flat");
    Choose(u"Nowhere");
    ASSERT_EQ(boxesShown.size(), 1u);
    EXPECT_TRUE(Contains(boxesShown[0], u"not found")) << StringToUtf8(boxesShown[0]);
    EXPECT_TRUE(Contains(boxesShown[0], u"Nowhere"));
    EXPECT_TRUE(manager->Active());
    EXPECT_EQ(manager->SkinName(), u"Flat");
    EXPECT_TRUE(manager->SkinData()->Active);
    // A later choice still loads.
    Choose(u"FlatP");
    EXPECT_TRUE(boxesShown.empty());
    EXPECT_EQ(manager->SkinName(), u"FlatP");
}

namespace {

std::vector<Byte> operator+(std::vector<Byte> a, const std::vector<Byte>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Byte> LE32(std::int64_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return {Byte(u), Byte(u >> 8), Byte(u >> 16), Byte(u >> 24)};
}

// Packed data of one entry written by hand: name, stated size, zlib bytes.
std::vector<Byte> PackedByHand(std::string_view name, std::int64_t size, const std::vector<Byte>& stream) {
    return Bytes("ASzf") + LE32(1) + LE32(static_cast<std::int64_t>(name.size())) + Bytes(name) + LE32(size) + stream;
}

std::vector<Byte> RandomBytes(std::size_t n, unsigned seed, std::vector<Byte> head = {}) {
    std::mt19937 rng(seed);
    while (head.size() < n) {
        const Byte b = static_cast<Byte>(rng() & 0xFF);
        head.push_back(b == '[' ? Byte('(') : b);   // no section line by chance
    }
    return head;
}

}  // namespace

TEST_F(SkinManagerTest, FailedLoadKeepsTheOldSkinAndAnnouncesNothing) {
    // Broken skins from outside: each is refused with one error box that
    // names the skin and the entry or key at fault, and the skin in use
    // stays, unannounced.
    const auto bmp = SolidBmp(6, 3, 10, 20, 30);
    struct Case {
        const char* name;                      // as chosen
        std::function<void(const fs::path&)> make;   // writes it into the skins folder
        std::vector<const char16_t*> parts;   // what the message names
    };
    using Files = std::vector<std::pair<const char*, std::vector<Byte>>>;
    auto folder = [](const char* name, std::vector<Byte> ini, Files files = {}) {
        return [=](const fs::path& root) {
            fs::create_directories(root / name);
            WriteFile(root / name / "Options.dat", ini);
            for (const auto& [file, bytes] : files) WriteFile(root / name / file, bytes);
        };
    };
    auto packed = [](const char* file, std::vector<TacPackedEntry> entries) {
        return [=](const fs::path& root) { SavePackedSkinFile((root / file).u16string(), entries); };
    };
    auto raw = [](const char* file, std::vector<Byte> bytes) {
        return [=](const fs::path& root) { WriteFile(root / file, bytes); };
    };
    const std::vector<Byte> png = RandomBytes(4096, 2, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    const std::vector<Case> cases = {
        {"Broken", nullptr, {u"\"Broken\"", u"SHADOW1OFFSET", u"abc"}},
        {"Junk.asz", raw("Junk.asz", Bytes("not a packed skin")), {u"\"Junk\"", u"not a packed skin"}},
        {"EmptyIni", folder("EmptyIni", {}), {u"\"EmptyIni\"", u"Options.dat", u"no section"}},
        {"NoiseIni", folder("NoiseIni", RandomBytes(64 * 1024, 1)), {u"\"NoiseIni\"", u"Options.dat", u"no section"}},
        {"PngIni", folder("PngIni", png), {u"\"PngIni\"", u"Options.dat", u"no section"}},
        // A second, empty "Options.dat" replaces the first.
        {"TwoOptions",
         packed("TwoOptions.asz", {{u"Options.dat", Bytes(kFlatIni)}, {u"btn.bmp", bmp}, {u"OPTIONS.DAT", {}}}),
         {u"\"TwoOptions\"", u"Options.dat", u"no section"}},
        // An entry stated at 512 MiB, with data enough to inflate to it.
        {"Bomb", raw("Bomb.asz", PackedByHand("big.bmp", std::int64_t{512} << 20, std::vector<Byte>(530000, 0))),
         {u"\"Bomb\"", u"\"big.bmp\"", u"536870912", u"67108864"}},
        {"BadEntry", raw("BadEntry.asz", PackedByHand("Options.dat", 100, {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0})),
         {u"\"BadEntry\"", u"\"Options.dat\"", u"data error"}},
        {"BadImage", folder("BadImage", Bytes("[GLOBALINFO]\r\nVERSION=7.5\r\n[BUTTON]\r\nBORDERSMASK=btn.bmp\r\n"),
                            {{"btn.bmp", Bytes("BM but not a bitmap")}}),
         {u"\"BadImage\"", u"\"BUTTON\"", u"BORDERSMASK", u"\"btn.bmp\""}},
        {"BadGradient", folder("BadGradient", Bytes("[GLOBALINFO]\r\n[BUTTON]\r\nGRADIENTDATA=a;b;c;d;e\r\n")),
         {u"\"BadGradient\"", u"\"BUTTON\"", u"GRADIENTDATA", u"'a'"}},
    };

    Unlist unlist;
    SpyForm* form = MakeForm(false, false);
    Choose(u"Flat");
    const TacSkinModel* model = &manager->Model();
    const std::size_t sections = manager->gd().size();
    const std::size_t masks = manager->ma().size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.make) c.make(skins->Root());
        form->Log.Clear();
        Choose(Utf8ToString(c.name));
        ASSERT_EQ(boxesShown.size(), 1u);
        for (const char16_t* part : c.parts) EXPECT_TRUE(Contains(boxesShown[0], part)) << StringToUtf8(boxesShown[0]);
        EXPECT_EQ(manager->SkinName(), u"Flat");
        EXPECT_EQ(&manager->Model(), model);
        EXPECT_EQ(manager->gd().size(), sections);
        EXPECT_EQ(manager->ma().size(), masks);
        EXPECT_GE(manager->GetSkinIndex(u"BUTTON"), 0);
        EXPECT_EQ(manager->GetSkinIndex(u"PANEL"), -1);
        EXPECT_TRUE(manager->SkinData()->Active);
        EXPECT_TRUE(form->Log.Commands.empty());
    }
}

TEST_F(SkinManagerTest, DeepAndWideSkinsLoadWithTheirInheritance) {
    // A 90 KB text whose sections inherit in a chain 3000 deep, and 20,000
    // extra sections (2 MB): both load, with their inheritance, without a
    // word. (Their load times are measured by the skin-load benchmark; a
    // load that grew with the cube of the depth again would keep this test
    // busy for minutes.)
    std::string deep = "[GLOBALINFO]\r\nVERSION=7.5\r\n[S0]\r\nCOLOR=255\r\n";
    for (int i = 1; i < 3000; ++i)
        deep += "[S" + std::to_string(i) + "]\r\nPARENTCLASS=S" + std::to_string(i - 1) + "\r\n";
    std::string wide = kFlatIni;
    for (int i = 0; i < 20000; ++i)
        wide += "[EXTRA" + std::to_string(i) +
                "]\r\nPARENTCLASS=BUTTON\r\nFONTCOLOR=16711680\r\nHOTCOLOR=255\r\nGRADIENTDATA=255;16711680;100;0;0\r\n";
    skins->Folder("Deep", deep, nullptr);
    skins->Packed("Wide.asz", wide, nullptr);
    for (const char16_t* name : {u"Deep", u"Wide"}) {
        SCOPED_TRACE(StringToUtf8(name));
        Choose(name);
        EXPECT_TRUE(boxesShown.empty()) << (boxesShown.empty() ? "" : StringToUtf8(boxesShown[0]));
        EXPECT_EQ(manager->SkinName(), name);
    }
    EXPECT_EQ(manager->gd().size(), 20004u);
    EXPECT_EQ(manager->gd().back().Color, 255);   // from BUTTON
    Choose(u"Deep");
    EXPECT_EQ(manager->gd().back().Color, 255);   // from S0, 2999 sections up
}

TEST_F(SkinManagerTest, PackedAndFolderLoadsOfOneSkinGiveTheSameModel) {
    Choose(u"Flat");
    ASSERT_TRUE(boxesShown.empty());
    EXPECT_FALSE(manager->SkinIsPacked());
    EXPECT_EQ(manager->SkinData()->SkinPath, skins->Path() + u"\\Flat\\");
    std::vector<String> names;
    std::vector<TColor> colors;
    for (const auto& d : manager->gd()) {
        names.push_back(d.ClassName);
        colors.push_back(d.Color);
    }
    ASSERT_EQ(manager->ma().size(), 1u);
    const TacImage32 mask = *manager->ma()[0].Bmp;

    Choose(u"FlatP.ASZ");   // the ending in any letter case
    ASSERT_TRUE(boxesShown.empty());
    EXPECT_EQ(manager->SkinName(), u"FlatP");
    EXPECT_TRUE(manager->SkinIsPacked());
    std::vector<String> names2;
    std::vector<TColor> colors2;
    for (const auto& d : manager->gd()) {
        names2.push_back(d.ClassName);
        colors2.push_back(d.Color);
    }
    EXPECT_EQ(names2, names);
    EXPECT_EQ(colors2, colors);
    ASSERT_EQ(manager->ma().size(), 1u);
    EXPECT_EQ(*manager->ma()[0].Bmp, mask);
    EXPECT_EQ(manager->ma()[0].R.Right, 6);
    EXPECT_EQ(manager->SkinInfo(), u"7.5");
    // Every mask knows its manager.
    for (const TsMaskData& m : manager->ma()) EXPECT_EQ(m.Manager, manager);
}

TEST_F(SkinManagerTest, EverySkinListedCanBeLoaded) {
    TStringList names;
    EXPECT_EQ(manager->GetSkinNames(&names, TacSkinTypes::stAllSkins), u"Broken");
    EXPECT_EQ(names.Text(), u"Broken\r\nDelta.v2\r\nFlat\r\nFlatP\r\nNew\r\nOld\r\n");
    Choose(u"Delta.v2");
    EXPECT_TRUE(boxesShown.empty());
    EXPECT_EQ(manager->SkinName(), u"Delta.v2");
    EXPECT_TRUE(manager->SkinIsPacked());
    EXPECT_GE(manager->GetSkinIndex(u"PANEL"), 0);
}

TEST_F(SkinManagerTest, PackedSkinsAreFoundThroughTheFullDirectory) {
    // A skins folder given relative to the program's folder, while the
    // current directory is elsewhere.
    const String name = u"kes-rel-skins-" + IntToStr(static_cast<Int64>(::GetTickCount()));
    const fs::path folder = fs::path(GetAppDir()) / fs::path(name);
    SkinFolder relative(folder);
    wchar_t oldCwd[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, oldCwd);
    ::SetCurrentDirectoryW(fs::temp_directory_path().wstring().c_str());
    manager->SetSkinDirectory(name);
    EXPECT_EQ(manager->GetFullSkinDirectory(), GetAppDir() + name);
    Choose(u"FlatP");
    EXPECT_TRUE(boxesShown.empty()) << (boxesShown.empty() ? "" : StringToUtf8(boxesShown[0]));
    EXPECT_TRUE(manager->SkinIsPacked());
    Choose(u"Flat");
    EXPECT_TRUE(boxesShown.empty());
    EXPECT_FALSE(manager->SkinIsPacked());
    ::SetCurrentDirectoryW(oldCwd);
}

TEST_F(SkinManagerTest, VersionNotices) {
    Choose(u"New");
    ASSERT_EQ(boxesShown.size(), 1u);
    EXPECT_EQ(boxesShown[0],
              u"This version of the skin have not complete support by used skin engine release.\r\n"
              u"Components must be updated up to latest version for using this skin.");
    EXPECT_EQ(manager->SkinName(), u"New");   // a notice, not a failure

    Choose(u"Old");
    EXPECT_TRUE(boxesShown.empty());

    auto* oldArgs = acCommandLineArgs;
    acCommandLineArgs = [] { return std::vector<String>{u"/x", u"/ACTEST"}; };
    Choose(u"Flat");
    Choose(u"Old");
    acCommandLineArgs = oldArgs;
    ASSERT_EQ(boxesShown.size(), 1u);
    EXPECT_EQ(boxesShown[0],
              u"You are using an old version of the \"Old\" skin. Please, update a skins to latest or link with the "
              u"skin engine support for upgrading of existing skin.\r\n\r\nThis notification occurs in design-time "
              u"only for your information and will not occur in real-time.");
}

TEST_F(SkinManagerTest, ColourQueriesFollowTheSkin) {
    EXPECT_EQ(manager->GetGlobalColor(), ColorToRGB(clBtnFace));
    EXPECT_EQ(manager->GetGlobalFontColor(), 0xFF00FF);
    EXPECT_EQ(manager->GetActiveEditColor(), ColorToRGB(clWindow));
    EXPECT_EQ(manager->GetHighLightColor(true), ColorToRGB(clHighlight));
    Choose(u"Flat");
    EXPECT_EQ(manager->GetGlobalColor(), 1122867);
    EXPECT_EQ(manager->GetGlobalFontColor(), 4473924);
    EXPECT_EQ(manager->GetActiveEditColor(), 5592405);
    EXPECT_EQ(manager->GetActiveEditFontColor(), 65280);
    EXPECT_EQ(manager->GetHighLightColor(false), 16711680);
}

TEST_F(SkinManagerTest, OptionChangesReloadTheSkin) {
    Choose(u"Flat");
    const TacSkinModel* model = &manager->Model();
    manager->SetHueOffset(40);
    EXPECT_NE(&manager->Model(), model);
    EXPECT_EQ(manager->Model().HueOffset, 40);
    EXPECT_NE(manager->GetGlobalColor(), 1122867);

    TStringList common;
    common.Add(u"[ EXTRA ]");
    common.Add(u"; keep me ");
    manager->SetCommonSections(common);
    EXPECT_EQ(manager->CommonSections().Text(), u"[EXTRA]\r\n; keep me \r\n");
    EXPECT_GE(manager->GetSkinIndex(u"EXTRA"), 0);

    manager->SetExtendedBorders(true);
    EXPECT_TRUE(manager->ExtendedBorders());
    EXPECT_EQ(manager->FormShadowSize.Left, 9);   // no "EXBORDER" mask: the program's shadow images
    manager->SetExtendedBorders(false);
    manager->CheckShadows();
    EXPECT_EQ(manager->FormShadowSize.Left, 0);
}

TEST_F(SkinManagerTest, HotControlsGetEnterAndLeave) {
    const HWND a = MakeRawSpy(true);
    const HWND b = MakeRawSpy(true);
    manager->SetActiveControl(a);
    manager->SetActiveControl(b);
    EXPECT_EQ(gRawLogs[a].Commands, (std::vector<Word>{AC_MOUSEENTER, AC_MOUSELEAVE}));
    EXPECT_EQ(gRawLogs[b].Commands, (std::vector<Word>{AC_MOUSEENTER}));

    Unlist unlist;
    SpyForm* form = MakeForm(false, false);
    auto* graphic = New<SpyGraphic>(form);
    graphic->SetParent(form);
    manager->SetActiveGraphControl(graphic);   // clears the hot window
    EXPECT_EQ(manager->ActiveControl(), nullptr);
    EXPECT_EQ(gRawLogs[b].Commands.back(), AC_MOUSELEAVE);
    graphic->KeepHot = true;                   // a control that keeps itself hot
    manager->SetActiveControl(a);
    EXPECT_EQ(manager->ActiveGraphControl(), graphic);
    EXPECT_EQ(manager->ActiveControl(), nullptr);
    graphic->KeepHot = false;
    graphic->Log.Clear();
    manager->SetActiveControl(a);              // clears the graphic control first
    EXPECT_EQ(manager->ActiveGraphControl(), nullptr);
    EXPECT_EQ(manager->ActiveControl(), a);
    EXPECT_EQ(graphic->Log.Commands, (std::vector<Word>{AC_GETSKINSTATE, AC_MOUSELEAVE}));
    manager->SetActiveGraphControl(graphic);
    graphic->Free();                            // a freed control is forgotten
    EXPECT_EQ(manager->ActiveGraphControl(), nullptr);
}

TEST_F(SkinManagerTest, ApplicationWindowHookBelongsToTheDefaultManager) {
    Unlist unlist;
    SpyForm* form = MakeForm(false, false);
    ::SendMessageW(Application->Handle(), CM_ACTIVATE, 0, 0);
    EXPECT_EQ(form->Log.Count(AC_PREPARING), 1);
    manager->Free();
    manager = nullptr;
    ::SendMessageW(Application->Handle(), CM_ACTIVATE, 0, 0);
    EXPECT_EQ(form->Log.Count(AC_PREPARING), 1);
}

// ---- the skin editor's link -------------------------------------------------

namespace {
std::vector<char> EditorRecord(const std::string& options, const std::string& dir, const std::string& name) {
    std::vector<char> r(acEditorRecordSize, 0);
    r[0] = static_cast<char>(acEditorTag & 0xFF);
    r[1] = static_cast<char>(acEditorTag >> 8);
    std::copy(options.begin(), options.end(), r.begin() + 2);
    std::copy(dir.begin(), dir.end(), r.begin() + 2 + acEditorOptionsSize);
    std::copy(name.begin(), name.end(), r.begin() + 2 + acEditorOptionsSize + acEditorDirectorySize);
    return r;
}

LRESULT SendCopyData(TsSkinManager* m, std::vector<char>& record, std::size_t size, WPARAM id = acEditorCopyDataId) {
    COPYDATASTRUCT cds = {};
    cds.cbData = static_cast<DWORD>(size);
    cds.lpData = record.data();
    TMessage msg{WM_COPYDATA, id, reinterpret_cast<LPARAM>(&cds), 0};
    BoxRecorder boxes;
    m->WMCopyData(msg);
    return msg.Result;
}
}  // namespace

TEST_F(SkinManagerTest, EditorRecordsAreCheckedBeforeUse) {
    const std::string dir = StringToAnsi(skins->Path());
    const std::string options = "[GLOBALINFO]\r\nVERSION=7.5\r\n[EDITORONLY]\r\n";
    auto good = EditorRecord(options, dir, "Flat");

    EXPECT_EQ(SendCopyData(manager, good, good.size()), 0);   // outside preview mode
    manager->AllowEditorLink = true;

    struct Case {
        const char* what;
        std::vector<char> record;
        std::size_t size;
        WPARAM id;
    };
    std::vector<Case> bad = {
        {"short record", good, good.size() - 1, acEditorCopyDataId},
        {"other id", good, good.size(), 3},
        {"path in the name", EditorRecord(options, dir, "..\\Flat"), acEditorRecordSize, acEditorCopyDataId},
        {"slash in the name", EditorRecord(options, dir, "a/Flat"), acEditorRecordSize, acEditorCopyDataId},
        {"dots as the name", EditorRecord(options, dir, ".."), acEditorRecordSize, acEditorCopyDataId},
        {"empty name", EditorRecord(options, dir, ""), acEditorRecordSize, acEditorCopyDataId},
        {"unterminated options", EditorRecord(std::string(acEditorOptionsSize, 'x'), dir, "Flat"),
         acEditorRecordSize, acEditorCopyDataId},
        {"unterminated name", EditorRecord(options, dir, std::string(acEditorNameSize, 'n')), acEditorRecordSize,
         acEditorCopyDataId},
    };
    auto wrongTag = good;
    wrongTag[1] = 0;
    bad.push_back({"wrong tag", wrongTag, wrongTag.size(), acEditorCopyDataId});
    for (Case& c : bad) {
        EXPECT_EQ(SendCopyData(manager, c.record, c.size, c.id), 0) << c.what;
        EXPECT_EQ(manager->SkinName(), u"") << c.what;
    }
    EXPECT_FALSE(TsSkinManager::EditorLinkActive());

    EXPECT_EQ(SendCopyData(manager, good, good.size()), 1);
    EXPECT_TRUE(TsSkinManager::EditorLinkActive());
    EXPECT_EQ(manager->SkinName(), u"Flat");
    // The record's option text was used in place of the folder's Options.dat.
    EXPECT_GE(manager->GetSkinIndex(u"EDITORONLY"), 0);
    EXPECT_EQ(manager->GetSkinIndex(u"BUTTON"), -1);
    EXPECT_TRUE(manager->SkinData()->Active);
    EXPECT_FALSE(manager->NonAutoUpdate);
    EXPECT_TRUE(manager->AnimEffects()->SkinChanging()->Active());
    // Later choices read the folder again.
    Choose(u"Flat");
    EXPECT_GE(manager->GetSkinIndex(u"BUTTON"), 0);

    // A listener that raises during a record's load leaves no update pending.
    struct Thrower {
        void Raise(TObject*) { throw Exception(u"listener failed"); }
    } thrower;
    manager->OnBeforeChange = TNotifyEvent::Of<&Thrower::Raise>(&thrower);
    EXPECT_THROW(SendCopyData(manager, good, good.size()), Exception);
    manager->OnBeforeChange = nullptr;
    EXPECT_FALSE(manager->NonAutoUpdate);
    EXPECT_TRUE(manager->AnimEffects()->SkinChanging()->Active());
}

namespace {
std::function<void()> gInsideBox;
int WINAPI BoxThatRunsCode(const MSGBOXPARAMSW* params) {
    gBoxes.push_back(FromW(params->lpszText, std::wcslen(params->lpszText)));
    if (auto f = std::exchange(gInsideBox, nullptr)) f();
    return IDOK;
}
}  // namespace

// A notice shown while a skin loads lets messages through: a skin chosen or
// an editor record sent meanwhile must not mix into the load in progress.
TEST_F(SkinManagerTest, ChoicesDuringALoadDoNotMixIntoIt) {
    Unlist unlist;
    skins->Packed("NewP.asz", "[GLOBALINFO]\r\nVERSION=8\r\n[PANEL]\r\n", nullptr);
    SpyForm* form = MakeForm(false, false);
    BoxRecorder boxes;
    MessageBoxIndirectProc = BoxThatRunsCode;
    gInsideBox = [&] { manager->SetSkinName(u"Flat"); };
    manager->SetSkinName(u"NewP");
    EXPECT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(manager->SkinName(), u"NewP");
    EXPECT_EQ(manager->SkinInfo(), u"8");
    EXPECT_TRUE(manager->SkinIsPacked());
    EXPECT_EQ(form->Log.Count(AC_SETNEWSKIN), 1);

    // An editor record arriving during a load is not taken.
    manager->AllowEditorLink = true;
    auto record = EditorRecord("[GLOBALINFO]\r\nVERSION=7.5\r\n", StringToAnsi(skins->Path()), "Flat");
    COPYDATASTRUCT cds = {};
    cds.cbData = static_cast<DWORD>(record.size());
    cds.lpData = record.data();
    TMessage msg{WM_COPYDATA, acEditorCopyDataId, reinterpret_cast<LPARAM>(&cds), 0};
    gBoxes.clear();
    form->Log.Clear();
    gInsideBox = [&] { manager->WMCopyData(msg); };
    manager->SetSkinName(u"New");
    EXPECT_EQ(msg.Result, 0);
    EXPECT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(manager->SkinName(), u"New");
    EXPECT_EQ(manager->SkinInfo(), u"8");
    EXPECT_FALSE(manager->NonAutoUpdate);
    EXPECT_EQ(form->Log.Count(AC_SETNEWSKIN), 1);
    manager->AllowEditorLink = false;

    // An error box after a failed load lets a new choice through.
    gBoxes.clear();
    gInsideBox = [&] { manager->SetSkinName(u"Flat"); };
    manager->SetSkinName(u"Broken");
    EXPECT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(manager->SkinName(), u"Flat");
    EXPECT_EQ(manager->SkinInfo(), u"7.5");
    gInsideBox = nullptr;
}

// ---- the skinned-forms list -------------------------------------------------

TEST_F(SkinManagerTest, SkinnedFormsListIgnoresDuplicatesAndEmptyRemovals) {
    Unlist unlist;
    SpyForm* a = MakeForm(true, false);
    SpyForm* b = MakeForm(true, false);
    RemoveSkinnedForm(a);   // empty list: nothing happens
    EXPECT_TRUE(SkinnedForms().empty());
    AddSkinnedForm(a);
    AddSkinnedForm(b);
    AddSkinnedForm(a);
    EXPECT_EQ(SkinnedForms(), (std::vector<TCustomForm*>{a, b}));
    RemoveSkinnedForm(a);
    EXPECT_EQ(SkinnedForms(), std::vector<TCustomForm*>{b});
    RemoveSkinnedForm(a);
    RemoveSkinnedForm(b);
    EXPECT_TRUE(SkinnedForms().empty());
}

// ---- option objects and stored skins ---------------------------------------

TEST_F(SkinManagerTest, OptionDefaults) {
    TacAnimEffects* a = manager->AnimEffects();
    struct Row {
        TacFormAnimation* anim;
        bool active;
        Word time;
        TacAnimType mode;
    } rows[] = {
        {a->DialogShow(), true, 0, TacAnimType::atAero},     {a->FormShow(), true, 0, TacAnimType::atAero},
        {a->FormHide(), true, 0, TacAnimType::atAero},       {a->DialogHide(), true, 0, TacAnimType::atAero},
        {a->PageChange(), true, 0, TacAnimType::atAero},     {a->SkinChanging(), true, 100, TacAnimType::atFading},
        {a->Minimizing(), true, 200, TacAnimType::atAero},   {a->BlendOnMoving(), false, 1000, TacAnimType::atAero},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.anim->Active(), r.active) << StringToUtf8(r.anim->ClassName());
        EXPECT_EQ(r.anim->Time(), r.time) << StringToUtf8(r.anim->ClassName());
        EXPECT_EQ(r.anim->Mode(), r.mode) << StringToUtf8(r.anim->ClassName());
    }
    EXPECT_EQ(a->BlendOnMoving()->BlendValue(), 170);
    EXPECT_TRUE(a->Buttons()->Events.Contains(beMouseUp));
    EXPECT_EQ(a->Manager, manager);
    EXPECT_EQ(manager->Version(), u"7.62");
    EXPECT_TRUE(manager->SkinningRules().Contains(srStdDialogs));

    ThirdPartyList* third = manager->ThirdParty();
    EXPECT_EQ(third->GetByIndex(1), u"TButton");
    EXPECT_EQ(third->GetByIndex(19), u" ");
    String kept = u"kept";
    third->GetByIndex(20, kept);
    EXPECT_EQ(kept, u"kept");
    third->SetByIndex(20, u"TNothing");
    third->SetByIndex(19, u"TMyUpDown");
    EXPECT_EQ(third->ThirdUpDown, u"TMyUpDown");
    manager->UpdateThirdNames();
    EXPECT_EQ(manager->ThirdLists(19).Get(0), u"TMyUpDown");
    EXPECT_EQ(manager->ThirdLists(1).Get(0), u"TButton");
    EXPECT_TRUE(manager->ThirdLists(1).CaseSensitive);
}

TEST_F(SkinManagerTest, StoredSkinDataRoundTripsAndLoads) {
    int listChanges = 0;
    struct Counter {
        int* n;
        void Changed(TObject*) { ++*n; }
    } counter{&listChanges};
    manager->OnSkinListChanged = TNotifyEvent::Of<&Counter::Changed>(&counter);

    TsStoredSkin* stored = manager->InternalSkins()->Add();
    EXPECT_EQ(listChanges, 1);
    stored->Name = u"Inside";
    EXPECT_EQ(stored->Shadow1Blur, -1);
    EXPECT_EQ(stored->BorderColor, 0xFF00FF);
    const auto bmp = SolidBmp(6, 3, 1, 2, 3);
    WritePackedSkin(*stored->PackedData(), SkinFolder::Entries(kFlatIni, &bmp));
    const Int64 size = stored->PackedData()->GetSize();

    // Written and read back byte for byte, behind other data.
    TMemoryStream form;
    form.WriteBuffer("head", 4);
    stored->WriteData(form);
    form.SetPosition(4);
    TsStoredSkin* copy = manager->InternalSkins()->Add();
    copy->Name = u"Copy";
    copy->ReadData(form);
    ASSERT_EQ(copy->PackedData()->GetSize(), size);
    EXPECT_EQ(std::memcmp(copy->PackedData()->Memory(), stored->PackedData()->Memory(), static_cast<std::size_t>(size)), 0);

    // A cut or lying count is refused and the data stays.
    for (std::int32_t count : {-1, 1000000}) {
        TMemoryStream bad;
        bad.WriteBuffer(&count, 4);
        bad.WriteBuffer("abc", 3);
        bad.SetPosition(0);
        EXPECT_THROW(copy->ReadData(bad), EReadError);
        EXPECT_EQ(copy->PackedData()->GetSize(), size);
    }

    TsStoredSkin* assigned = manager->InternalSkins()->Add();
    assigned->Assign(stored);
    EXPECT_EQ(assigned->Name, u"Inside");
    EXPECT_EQ(assigned->PackedData()->GetSize(), size);
    EXPECT_EQ(manager->InternalSkins()->IndexOf(u"Inside"), 0);
    EXPECT_EQ(manager->InternalSkins()->IndexOf(u"inside"), -1);
    manager->InternalSkins()->Delete(2);

    TStringList names;
    EXPECT_EQ(manager->GetSkinNames(&names, TacSkinTypes::stUnpacked), u"Inside");
    EXPECT_GE(names.IndexOf(u"Copy"), 0);
    EXPECT_GE(names.IndexOf(u"Flat"), 0);

    Choose(u"Copy");
    EXPECT_TRUE(boxesShown.empty()) << (boxesShown.empty() ? "" : StringToUtf8(boxesShown[0]));
    EXPECT_EQ(manager->SkinName(), u"Copy");
    EXPECT_TRUE(manager->SkinIsPacked());
    EXPECT_EQ(manager->ma().size(), 1u);
    manager->OnSkinListChanged = nullptr;
}

// ---- the main window's skin box ---------------------------------------------

TEST(MainFormSkins, TheSkinBoxListsAndLoadsSkinsAndABrokenOneKeepsThePrevious) {
    kestrune_test::EnsureFramework();
    SkinFolder skins(UniqueTemp("kestrune-mainskins-"));
    TForm1* form = New<TForm1>(Application);
    TsSkinManager* m = form->sSkinManager1;
    m->SetSkinDirectory(skins.Path());
    m->GetSkinNames(form->sComboBox1->Items(), TacSkinTypes::stAllSkins);
    ASSERT_EQ(form->sComboBox1->Items()->Count(), 6);
    {
        BoxRecorder boxes;
        form->sComboBox1->SetItemIndex(form->sComboBox1->Items()->IndexOf(u"Flat"));
        form->sComboBox1Change(form->sComboBox1);
        EXPECT_TRUE(gBoxes.empty());
        EXPECT_EQ(m->SkinName(), u"Flat");
        EXPECT_TRUE(m->SkinData()->Active);

        form->sComboBox1->SetItemIndex(form->sComboBox1->Items()->IndexOf(u"Broken"));
        form->sComboBox1Change(form->sComboBox1);
        EXPECT_EQ(gBoxes.size(), 1u);
        EXPECT_EQ(m->SkinName(), u"Flat");
        EXPECT_GE(m->GetSkinIndex(u"BUTTON"), 0);

        form->sComboBox1->SetItemIndex(-1);
        form->sComboBox1Change(form->sComboBox1);
        EXPECT_EQ(m->SkinName(), u"Flat");
    }
    form->Free();
    EXPECT_EQ(DefaultManager, nullptr);
    EXPECT_FALSE(TsSkinManager::HookInstalled());
}

TEST_F(SkinManagerTest, TwoHundredSwitchesLeaveGdiAndWindowCountsFlat) {
    Unlist unlist;
    SpyForm* form = MakeForm(true, true);
    FakeProvider provider;
    provider.SkinManager = manager;
    form->Provider = &provider;
    ::ShowWindow(form->Handle(), SW_SHOWNOACTIVATE);
    manager->SetExtendedBorders(true);   // shadow templates made on every switch
    const String names[] = {u"Flat", u"FlatP", u"Delta.v2"};
    for (const String& n : names) Choose(n);
    harness::PumpUntilIdle(50, 2000);
    const unsigned gdi = harness::GdiObjectUsage();
    const unsigned windows = harness::WindowCount();
    for (int i = 0; i < 200; ++i) {
        Choose(names[i % 3]);
        ASSERT_TRUE(boxesShown.empty()) << "switch " << i;
    }
    harness::PumpUntilIdle(50, 2000);
    EXPECT_LE(harness::GdiObjectUsage(), gdi + 2);
    EXPECT_EQ(harness::WindowCount(), windows);
    EXPECT_EQ(form->Log.RedrawOff, form->Log.RedrawOn);
    ::ShowWindow(form->Handle(), SW_HIDE);
}

TEST_F(SkinManagerTest, UpdatesAnnounceOnceAtTheEnd) {
    Unlist unlist;
    SpyForm* form = MakeForm(false, false);
    manager->BeginUpdate();
    Choose(u"Flat");
    EXPECT_TRUE(form->Log.Commands.empty());
    manager->EndUpdate(true, false);
    EXPECT_EQ(form->Log.Commands, (std::vector<Word>{AC_SETNEWSKIN, AC_STOPFADING, AC_REFRESH}));
    EXPECT_TRUE(manager->AnimEffects()->SkinChanging()->Active());   // switched off for that call only
}

TEST_F(SkinManagerTest, AnotherManagerCanBecomeTheDefault) {
    Unlist unlist;
    SpyForm* form = MakeForm(false, false);
    auto* second = New<TsSkinManager>(Application);
    second->SetIsDefault(false);
    EXPECT_FALSE(second->IsDefault());
    second->SetActive(false);
    form->Log.Clear();
    second->SetIsDefault(true);   // an inactive manager announces the removal
    EXPECT_TRUE(second->IsDefault());
    EXPECT_FALSE(manager->IsDefault());
    EXPECT_EQ(form->Log.Commands, std::vector<Word>{AC_REMOVESKIN});
    // The application-window hook went along.
    form->Log.Clear();
    manager->Free();
    manager = nullptr;
    ::SendMessageW(Application->Handle(), CM_ACTIVATE, 0, 0);
    EXPECT_EQ(form->Log.Count(AC_PREPARING), 1);
    second->Free();
    ::SendMessageW(Application->Handle(), CM_ACTIVATE, 0, 0);
    EXPECT_EQ(form->Log.Count(AC_PREPARING), 1);
}

TEST(SkinManagerUnit, StartUpShowsTheVersionOnRequestAndCopesWithoutShadowImages) {
    kestrune_test::EnsureFramework();
    auto* oldArgs = acCommandLineArgs;
    {
        BoxRecorder boxes;
        acCommandLineArgs = [] { return std::vector<String>{u"/AcVer"}; };
        sSkinManagerInitialization();
        acCommandLineArgs = oldArgs;
        EXPECT_EQ(gBoxes, std::vector<String>{u"Kestrune skin engine v7.62"});
    }
    // The test program carries no shadow images: both stay empty.
    ASSERT_NE(acShadowActive, nullptr);
    EXPECT_TRUE(acShadowActive->Empty());
    EXPECT_TRUE(acShadowInactive->Empty());
    sSkinManagerFinalization();
    EXPECT_EQ(acShadowActive, nullptr);
    {
        BoxRecorder boxes;
        acCommandLineArgs = [] { return std::vector<String>{}; };
        sSkinManagerInitialization();
        acCommandLineArgs = oldArgs;
        EXPECT_TRUE(gBoxes.empty());
    }
    sSkinManagerFinalization();
}
