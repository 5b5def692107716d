// Client adapters of windows with text or items and a border: edits and list
// boxes (TacEditWnd), tree views (TacTreeViewWnd), list views with their
// column header (TacListViewWnd, acSBUtilsListView.h) and grids, also of
// foreign grid classes reached only through their published properties
// (TacGridWnd, acSBUtilsGrid.h). They draw the border from the section's
// cached image and the skinned scroll bars, give the window the section's
// background and font colours, and repaint the bars when the content
// scrolls. Win32, main thread only.
#pragma once

#include "acSBUtilsBaseWnd.h"

class TacEditWnd : public TacBaseWnd {
public:
    KES_CLASS_NAME(TacEditWnd)
    // The section is always set: SkinSection, or "EDIT" when it is empty.
    TacEditWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
               bool Repaint = true);
    ~TacEditWnd() override;
    void AfterConstruction() override;

    // Fields, in declaration order. FClientRect.Left -1: not yet known.
    TRect FClientRect{-1, 0, 0, 0};
    TColor Color = 0;              // the background of a window without owner control
    TColor FocusColor = 0;         // the owner control's saved "FocusColor"
    Integer FrameColor = 0;        // the skin's border colour, 0 without skin

    // The client rectangle in window coordinates (computed on first use and
    // after the frame was laid out again).
    const TRect& ClientRect();

    // Prints the frame and the scroll bars into DC (window coordinates) from
    // a freshly built cache; the client is left to the caller.
    void PrintFrame(HDC DC);

    void SaveStdParams() override;
    void RestoreStdParams() override;
    void SetSkinParams() override;
    void acWndProc(TMessage& Message) override;

protected:
    bool ThemeOffAtCreation(TsCommonData* SkinData, const String& SkinSection) const override;
    // A grid adapter: the grid keeps its control style and the system theme.
    virtual bool IsGridAdapter() const { return false; }
    // Prints the client into DC under the frame: the window is sent
    // WM_ERASEBKGND, WM_PAINT and WM_PRINTCLIENT with the origin at the
    // client's top-left, clipped to the client (inside frame and bars).
    void PrintClient(HDC DC);
    // The client rectangle in window coordinates, measured now.
    TRect PrintClipRect();
    // Rebuilds a stale cache: the skin's colours first, then the section.
    void RebuildCache();
    // The frame of the cache onto DC (window coordinates), as wide as the
    // client's top offset.
    void CopyFrame(HDC DC);
    bool FRepaintAtCreation = true;

private:
    bool EmptyClip(HDC DC) const;
};

class TacTreeViewWnd : public TacEditWnd {
public:
    KES_CLASS_NAME(TacTreeViewWnd)
    using TacEditWnd::TacEditWnd;

    void SetSkinParams() override;
    void RestoreStdParams() override;
    void acWndProc(TMessage& Message) override;
};

// Registers the adapter classes of this unit with the adapter factory:
// "TacEditWnd", "TacListViewWnd", "TacGridWnd", "TacTreeViewWnd".
void acEditWndInitialization();
