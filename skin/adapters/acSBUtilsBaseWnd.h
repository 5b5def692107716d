// The common base of the scrolling client adapters (edits, lists, grids,
// trees, the MDI client): a scrolling adapter that also keeps its cached
// image fresh, repaints its frame after a skin refresh or an enabling
// change, and re-reads its bars after the window scrolled or was sized.
// Win32, main thread only.
#pragma once

#include "acSBUtilsScroll.h"

class TacBaseWnd : public TacScrollWnd {
public:
    KES_CLASS_NAME(TacBaseWnd)
    using TacScrollWnd::TacScrollWnd;

    void acWndProc(TMessage& Message) override;
};

// A private message of the scrolled windows that this adapter swallows.
constexpr UINT acBaseWndSwallowedMessage = 0x2100;
