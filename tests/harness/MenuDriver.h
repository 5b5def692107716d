// Drives popup menus from inside their modal loop: the first time a menu
// waits for input (WM_ENTERIDLE to its owner window) the driver looks at it
// through OnOpen and then posts its keys to it. A menu left open for a few
// seconds is ended, so that a test that loses its way fails instead of
// hanging.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Forms.h"
#include "GuiHarness.h"

namespace harness {

class MenuDriver {
public:
    // Watches the application window, every popup menu's default owner,
    // unless told otherwise (an owner window of the test's own passes its
    // messages to Message).
    explicit MenuDriver(std::vector<WPARAM> keys = {VK_ESCAPE}, bool watchApplication = true)
        : Keys(std::move(keys)), FWatchApplication(watchApplication) {
        Current() = this;
        if (FWatchApplication) Application->HookMainWindow(TWindowHook::Of<&MenuDriver::Hook>(this));
    }
    ~MenuDriver() {
        if (FWatchApplication) Application->UnhookMainWindow(TWindowHook::Of<&MenuDriver::Hook>(this));
        if (FWatchdog) ::KillTimer(nullptr, FWatchdog);
        Current() = nullptr;
    }
    MenuDriver(const MenuDriver&) = delete;
    MenuDriver& operator=(const MenuDriver&) = delete;

    // The messages of another owner window go here.
    void Message(UINT msg, WPARAM wParam, LPARAM lParam) {
        switch (msg) {
        case WM_ENTERMENULOOP:
            FSeen = false;
            if (FWatchdog) ::KillTimer(nullptr, FWatchdog);
            FWatchdog = ::SetTimer(nullptr, 0, 3000, &MenuDriver::Watchdog);
            break;
        case WM_ENTERIDLE:
            if (wParam != MSGF_MENU || FSeen) break;
            FSeen = true;
            ++Opened;
            MenuWindow = reinterpret_cast<HWND>(lParam);
            ::GetWindowRect(MenuWindow, &MenuRect);
            if (OnOpen) OnOpen(MenuWindow);
            for (WPARAM key : Keys) {
                ::PostMessageW(MenuWindow, WM_KEYDOWN, key, 1);
                ::PostMessageW(MenuWindow, WM_KEYUP, key, 0xC0000001);
            }
            break;
        case WM_EXITMENULOOP:
            if (FWatchdog) ::KillTimer(nullptr, FWatchdog);
            FWatchdog = 0;
            break;
        default:
            break;
        }
    }

    std::vector<WPARAM> Keys;
    std::function<void(HWND menuWindow)> OnOpen;
    int Opened = 0;
    bool TimedOut = false;
    HWND MenuWindow = nullptr;
    RECT MenuRect{0, 0, 0, 0};

private:
    static MenuDriver*& Current() {
        static MenuDriver* current = nullptr;
        return current;
    }
    bool Hook(TMessage& m) {
        Message(m.Msg, m.WParam, m.LParam);
        return false;
    }
    static void CALLBACK Watchdog(HWND, UINT, UINT_PTR id, DWORD) {
        ::KillTimer(nullptr, id);
        if (MenuDriver* d = Current()) {
            d->FWatchdog = 0;
            d->TimedOut = true;
        }
        ::EndMenu();
    }

    bool FWatchApplication;
    bool FSeen = false;
    UINT_PTR FWatchdog = 0;
};

// The first half of a test that repeated menus leave the object counts
// flat: cycle(n) opens n menus that driver ends. Runs cycle(warm) (caches
// and first-use objects settle), takes the counts, runs cycle(times) and
// expects every menu to have opened and none to have been left open.
// Returns the counts taken, for ExpectObjectCountsFlat.
inline ObjectCounts RepeatMenus(const MenuDriver& driver, const std::function<void(int)>& cycle, int warm, int times) {
    const int opened = driver.Opened;
    cycle(warm);
    const ObjectCounts before = CountObjects();
    cycle(times);
    EXPECT_EQ(driver.Opened, opened + warm + times);
    EXPECT_FALSE(driver.TimedOut);
    return before;
}

// Runs Step on every tick of a thread timer while a menu loop runs (the
// loop dispatches thread timers); Step returns true when done, and the menu
// is ended then.
class MenuTicker {
public:
    explicit MenuTicker(std::function<bool(int tick)> step) : FStep(std::move(step)) {
        Current() = this;
        FTimer = ::SetTimer(nullptr, 0, 150, &MenuTicker::Tick);
    }
    ~MenuTicker() {
        if (FTimer) ::KillTimer(nullptr, FTimer);
        Current() = nullptr;
    }
    MenuTicker(const MenuTicker&) = delete;
    MenuTicker& operator=(const MenuTicker&) = delete;

private:
    static MenuTicker*& Current() {
        static MenuTicker* t = nullptr;
        return t;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        MenuTicker* t = Current();
        if (!t || t->FDone) return;
        if (t->FStep(t->FTicks++)) {
            t->FDone = true;
            ::EndMenu();
        }
    }
    std::function<bool(int)> FStep;
    UINT_PTR FTimer = 0;
    int FTicks = 0;
    bool FDone = false;
};

}  // namespace harness
