// DWM access through a fake system: the composition truth table, the
// attribute and blur-behind calls with their arguments, loading and
// look-ups made once; and the real system under Wine (no composition).
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "acDwm.h"

namespace {

// What the fake entry points answer and what reached them.
struct FakeCalls {
    HRESULT CompositionResult = S_OK;
    BOOL CompositionFlag = TRUE;
    HRESULT AttributeResult = S_OK;
    struct Attribute {
        HWND Wnd;
        DWORD Attribute;
        DWORD Value;
        DWORD Size;
    };
    std::vector<Attribute> Attributes;
    std::vector<std::pair<HWND, TacDwmBlurBehind>> Blurs;
};
FakeCalls gCalls;

HRESULT WINAPI FakeIsCompositionEnabled(BOOL* Enabled) {
    *Enabled = gCalls.CompositionFlag;
    return gCalls.CompositionResult;
}
HRESULT WINAPI FakeSetWindowAttribute(HWND Wnd, DWORD Attribute, LPCVOID Value, DWORD Size) {
    gCalls.Attributes.push_back({Wnd, Attribute, Size == 4 ? *static_cast<const DWORD*>(Value) : 0xDEADu, Size});
    return gCalls.AttributeResult;
}
HRESULT WINAPI FakeEnableBlurBehindWindow(HWND Wnd, const TacDwmBlurBehind* Blur) {
    gCalls.Blurs.emplace_back(Wnd, *Blur);
    return S_OK;
}

const HMODULE kFakeLibrary = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x7A000000));

class FakeDwmSystem : public TacDwmSystem {
public:
    DWORD Version = 6;
    bool HasLibrary = true;
    std::set<std::string> Entries{"DwmIsCompositionEnabled", "DwmSetWindowAttribute", "DwmEnableBlurBehindWindow"};
    int Loads = 0;
    int Frees = 0;
    std::vector<std::string> LookedUp;

    DWORD MajorVersion() override { return Version; }
    HMODULE Load() override {
        ++Loads;
        return HasLibrary ? kFakeLibrary : nullptr;
    }
    void Free(HMODULE Library) override {
        EXPECT_EQ(Library, kFakeLibrary);
        ++Frees;
    }
    FARPROC EntryPoint(HMODULE Library, const char* Name) override {
        EXPECT_EQ(Library, kFakeLibrary);
        LookedUp.emplace_back(Name);
        if (!Entries.count(Name)) return nullptr;
        const std::string name(Name);
        void* fn = nullptr;
        if (name == "DwmIsCompositionEnabled") fn = reinterpret_cast<void*>(&FakeIsCompositionEnabled);
        if (name == "DwmSetWindowAttribute") fn = reinterpret_cast<void*>(&FakeSetWindowAttribute);
        if (name == "DwmEnableBlurBehindWindow") fn = reinterpret_cast<void*>(&FakeEnableBlurBehindWindow);
        return reinterpret_cast<FARPROC>(fn);
    }
};

class DwmFake : public ::testing::Test {
protected:
    void SetUp() override {
        gCalls = FakeCalls();
        SetDwmSystem(&Fake);
    }
    void TearDown() override { SetDwmSystem(nullptr); }
    FakeDwmSystem Fake;
    const HWND Wnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
};

}  // namespace

TEST_F(DwmFake, AeroIsOnOnlyFromWindows6WhenCompositionAnswersOkWithAFlag) {
    struct Case {
        const char* Name;
        DWORD Version;
        bool Library;
        bool Entry;
        HRESULT Result;
        BOOL Flag;
        bool Expected;
    };
    const Case cases[] = {
        {"no library", 6, false, true, S_OK, TRUE, false},
        {"library without the entry point", 6, true, false, S_OK, TRUE, false},
        {"S_OK with flag 0", 6, true, true, S_OK, FALSE, false},
        {"S_OK with flag 1", 6, true, true, S_OK, TRUE, true},
        {"S_OK with another non-zero flag", 10, true, true, S_OK, 2, true},
        {"S_FALSE with flag 1", 6, true, true, S_FALSE, TRUE, false},
        {"failing HRESULT", 6, true, true, E_FAIL, TRUE, false},
        {"Windows 5", 5, true, true, S_OK, TRUE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        acDwmFinalization();
        Fake.Version = c.Version;
        Fake.HasLibrary = c.Library;
        Fake.Entries = c.Entry ? std::set<std::string>{"DwmIsCompositionEnabled"} : std::set<std::string>{};
        gCalls.CompositionResult = c.Result;
        gCalls.CompositionFlag = c.Flag;
        EXPECT_EQ(IsAeroEnabled(), c.Expected);
    }
}

TEST_F(DwmFake, OnWindows5NothingIsLoadedAndEveryOperationIsANoOperation) {
    Fake.Version = 5;
    EXPECT_FALSE(IsAeroEnabled());
    EXPECT_EQ(LoadDwmLibrary(), nullptr);
    EXPECT_EQ(DwmSetAttribute(Wnd, 3, "\1\0\0\0", 4), E_NOTIMPL);
    SetDwmTransitionsDisabled(Wnd, true);
    EnableBlurBehind(Wnd, true, nullptr);
    EXPECT_EQ(Fake.Loads, 0);
    EXPECT_TRUE(gCalls.Attributes.empty());
    EXPECT_TRUE(gCalls.Blurs.empty());
}

TEST_F(DwmFake, TheLibraryIsLoadedOnceEntryPointsLookedUpOnceAndFreedAtTheEnd) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(IsAeroEnabled());
        DwmSetAttribute(Wnd, 2, "\0\0\0\0", 4);
    }
    EXPECT_EQ(Fake.Loads, 1);
    // The attribute's first look-up brings the blur-behind entry with it.
    EXPECT_EQ(Fake.LookedUp,
              (std::vector<std::string>{"DwmIsCompositionEnabled", "DwmSetWindowAttribute", "DwmEnableBlurBehindWindow"}));
    acDwmFinalization();
    EXPECT_EQ(Fake.Frees, 1);
    acDwmFinalization();
    EXPECT_EQ(Fake.Frees, 1);

    // A library that cannot be had is not asked for again and again.
    Fake.HasLibrary = false;
    Fake.Loads = 0;
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(IsAeroEnabled());
    EXPECT_EQ(Fake.Loads, 1);
    acDwmFinalization();
    EXPECT_EQ(Fake.Frees, 1);
}

TEST_F(DwmFake, SetAttributeAnswersTheSystemOrNotImplemented) {
    Fake.HasLibrary = false;
    EXPECT_EQ(DwmSetAttribute(Wnd, 3, "\1\0\0\0", 4), E_NOTIMPL);

    acDwmFinalization();
    Fake.HasLibrary = true;
    Fake.Entries.erase("DwmSetWindowAttribute");
    EXPECT_EQ(DwmSetAttribute(Wnd, 3, "\1\0\0\0", 4), E_NOTIMPL);

    acDwmFinalization();
    Fake.Entries.insert("DwmSetWindowAttribute");
    gCalls.AttributeResult = static_cast<HRESULT>(0x80070057);   // E_INVALIDARG
    const DWORD value = 7;
    EXPECT_EQ(DwmSetAttribute(Wnd, 12, &value, sizeof(value)), static_cast<HRESULT>(0x80070057));
    ASSERT_EQ(gCalls.Attributes.size(), 1u);
    EXPECT_EQ(gCalls.Attributes[0].Wnd, Wnd);
    EXPECT_EQ(gCalls.Attributes[0].Attribute, 12u);
    EXPECT_EQ(gCalls.Attributes[0].Value, 7u);
}

TEST_F(DwmFake, TransitionsAreSwitchedByAttribute3OnlyUnderComposition) {
    gCalls.CompositionFlag = FALSE;
    SetDwmTransitionsDisabled(Wnd, true);
    EXPECT_TRUE(gCalls.Attributes.empty());

    gCalls.CompositionFlag = TRUE;
    SetDwmTransitionsDisabled(Wnd, true);
    SetDwmTransitionsDisabled(Wnd, false);
    ASSERT_EQ(gCalls.Attributes.size(), 2u);
    for (const auto& a : gCalls.Attributes) {
        EXPECT_EQ(a.Wnd, Wnd);
        EXPECT_EQ(a.Attribute, 3u);
        EXPECT_EQ(a.Size, 4u);   // a 4-byte boolean
    }
    EXPECT_EQ(gCalls.Attributes[0].Value, 1u);
    EXPECT_EQ(gCalls.Attributes[1].Value, 0u);
}

TEST_F(DwmFake, BlurBehindTakesTheRegionFlagOnlyWithARegion) {
    // Nothing before the library is loaded.
    EnableBlurBehind(Wnd, true, nullptr);
    EXPECT_TRUE(gCalls.Blurs.empty());
    EXPECT_EQ(Fake.Loads, 0);

    ASSERT_NE(LoadDwmLibrary(), nullptr);
    const HRGN region = reinterpret_cast<HRGN>(static_cast<std::uintptr_t>(0x55));
    EnableBlurBehind(Wnd, true, region);
    EnableBlurBehind(Wnd, false, nullptr);
    ASSERT_EQ(gCalls.Blurs.size(), 2u);
    EXPECT_EQ(gCalls.Blurs[0].first, Wnd);
    EXPECT_EQ(gCalls.Blurs[0].second.dwFlags, 3u);
    EXPECT_TRUE(gCalls.Blurs[0].second.fEnable);
    EXPECT_EQ(gCalls.Blurs[0].second.hRgnBlur, region);
    EXPECT_FALSE(gCalls.Blurs[0].second.fTransitionOnMaximized);
    EXPECT_EQ(gCalls.Blurs[1].second.dwFlags, 1u);
    EXPECT_FALSE(gCalls.Blurs[1].second.fEnable);
    EXPECT_EQ(gCalls.Blurs[1].second.hRgnBlur, nullptr);

    // Without the entry point: nothing.
    acDwmFinalization();
    Fake.Entries.erase("DwmEnableBlurBehindWindow");
    LoadDwmLibrary();
    EnableBlurBehind(Wnd, true, region);
    EXPECT_EQ(gCalls.Blurs.size(), 2u);
}

TEST(DwmReal, WineHasNoComposition) {
    SetDwmSystem(nullptr);
    EXPECT_FALSE(IsAeroEnabled());
    const HWND wnd = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    SetDwmTransitionsDisabled(wnd, true);   // no composition: nothing happens
    EnableBlurBehind(wnd, false, nullptr);
    ::DestroyWindow(wnd);
    acDwmFinalization();
}
