// The adapter of a popup-menu window ("#32768"), put on every such window by
// the window-creation hook while the manager skins popups. While a skinned
// popup is open (its items were measured by the menu skinner) the adapter
// paints the window's frame from the popup's background, shows the window
// only once its frame is painted (layered with alpha 0 before), and applies
// the menus' alpha; otherwise it is a scrolling adapter that answers the
// skin commands. Win32, main thread only.
#pragma once

#include <vector>

#include "acSBUtilsScroll.h"

class TacMnuWnd : public TacScrollWnd {
public:
    KES_CLASS_NAME(TacMnuWnd)
    TacMnuWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
              bool Repaint = true);

    // The window has been painted once.
    bool Shown = false;
    // The window's region was changed for a border about to be drawn
    // (skin command 14), until the background is painted.
    Integer RgnChanged = 0;

    void acWndProc(TMessage& Message) override;
    // The section in state 0 over the window, with its border corners, when
    // the cache is stale.
    void PrepareCache();

private:
    void NcPaint(TMessage& Message);
    void EraseBackground(TMessage& Message);
    void PositionChanging(TMessage& Message);
    void WindowGone(TMessage& Message);
    // The window was made transparent when shown, until its frame is painted.
    bool FHiddenUntilPainted = false;
};

// Registers "TacMnuWnd" with the adapter factory.
void acMenuWndInitialization();
