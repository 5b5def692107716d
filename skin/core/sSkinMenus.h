// Skinned menus: the skin manager's menu skinner. It hooks the owner-draw
// events of the application's menus, measures the items, paints one
// background per open popup (the "MAINMENU" section with its border mask,
// the icon line and the optional extra line), cuts the popup window to the
// skin's border shape and draws every item over that background. The items
// of a form's menu line are drawn over the form's menu-line image.
#pragma once

#include <unordered_map>
#include <vector>

#include "Forms.h"
#include "Menus.h"
#include "StdCtrls.h"

class TsSkinManager;

// What kind of item is measured or drawn.
enum TsMenuItemType { smCaption, smDivider, smNormal, smTopLine };

// Called after an item was painted into its work bitmap (ACanvas).
using TsMenuManagerDrawItemEvent = TDelegate<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect,
                                                  TOwnerDrawState State, TsMenuItemType ItemType)>;

// Asks for the extra line of the popup whose first item is FirstItem: its
// section, caption and glyph (the skinner frees a glyph given here), and
// whether it shows at all.
using TacGetExtraLineData = TDelegate<void(TMenuItem* FirstItem, String& SkinSection, String& Caption,
                                           TBitmap*& Glyph, bool& LineVisible)>;

// "-" is a divider; a longer caption that begins and ends with "-" is a
// caption item; anything else is a normal item.
TsMenuItemType MenuItemTypeOf(const String& Caption);
// The heading of a caption item: the first run of characters between dashes
// ("-Tools-" gives "Tools"); works on the UTF-16 text as it stands.
String MenuCaptionText(const String& Caption);

// One open popup: its background and the window it shows in.
struct TacMenuInfo {
    // The popup's first item (its key) and that item's command, by which an
    // entry whose item is gone is told from a live one.
    TMenuItem* FirstItem = nullptr;
    Word FirstCommand = 0;
    // The whole background of the popup (owned by the cache).
    TBitmap* Bmp = nullptr;
    // The popup window, nullptr when it was not found.
    HWND Wnd = nullptr;
    bool HaveExtraLine = false;
    // The corners cut out of this popup's window region (each popup keeps
    // its own: nested popups may differ in size).
    std::vector<TRect> ArOR;
};

class TsSkinableMenus : public TPersistent {
public:
    KES_CLASS_NAME(TsSkinableMenus)
    explicit TsSkinableMenus(TsSkinManager* AOwner);
    ~TsSkinableMenus() override;
    TsSkinableMenus(const TsSkinableMenus&) = delete;
    TsSkinableMenus& operator=(const TsSkinableMenus&) = delete;

    TsSkinManager* Owner() const { return FOwner; }
    bool Active() const { return FActive; }
    // A change hooks (true) or unhooks (false) every menu of the application.
    void SetActive(bool Value);
    // SetActive with whether the manager's skin is active.
    void UpdateMenus();
    // Hooks or unhooks the menus of every form and component of the
    // application.
    void InitItems(bool A);
    // Sets this object's measure and draw handlers on the item and its
    // sub-items where they have none of their own (Active), or takes only
    // this object's handlers away (not Active). Top-line items are left out.
    void HookItem(TMenuItem* MenuItem, bool Active);
    // One item as the form's WM_MEASUREITEM finds it: a top-line item gets
    // the line handlers, another is hooked when the manager skins popups.
    void InitItem(TMenuItem* Item, bool A);
    // The line handlers on the top-level items of a main menu.
    void InitMenuLine(TMainMenu* Menu, bool A);
    void HookPopupMenu(TPopupMenu* Menu, bool Active);
    // A top-level item of a main menu.
    bool IsTopLine(const TMenuItem* Item) const;
    bool LastItem(const TMenuItem*) const { return false; }
    bool IsOpened(const TMenuItem*) const { return false; }

    // The cache entry of the item's popup (made when missing and aWidth is
    // not 0), or without an item the entry of the window aWnd. A copy; its
    // Bmp stays owned by the cache. No entry: empty fields.
    TacMenuInfo GetMenuInfo(TMenuItem* Item, Integer aWidth, Integer aHeight, HWND aWnd = nullptr);
    // Paints the background of the item's popup and adds it to the cache.
    void PrepareMenuBG(TMenuItem* Item, Integer Width, Integer Height, HWND Wnd = nullptr);
    // Cuts the popup window to the skin's shape (the cut-outs of its cache
    // entry) and paints its background onto the window.
    void DrawWndBorder(HWND Wnd, TBitmap* MenuBmp);
    // The width of the border mask of "MAINMENU" (0 without one), looked up
    // once per skin.
    Integer GetSkinBorderWidth();
    void ResetSkinBorderWidth() { FSkinBorderWidth = -1; }
    // The extra line's width for a popup that has one, else 0.
    Integer ExtraWidth(const TacMenuInfo& mi) const;
    // Frees every cached background.
    void ClearMenuCache();
    bool IsMDIChildSysMenuShown() const;
    // The item is not in the first column (it or a sibling before it
    // starts a column).
    bool ItemHasBreakBefore(const TMenuItem* Item) const;
    // The item's picture size, else its image list's, else 16 x 16.
    TSize GetMenuGlyphSize(const TMenuItem* Item) const;
    // The height of an item in the skinned popup.
    Integer ItemHeight(TMenuItem* Item);

    // The owner-draw handlers set on hooked items.
    void sMeasureItem(TObject* Sender, TCanvas* ACanvas, Integer& Width, Integer& Height);
    void sAdvancedDrawItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);
    void sMeasureLineItem(TObject* Sender, TCanvas* ACanvas, Integer& Width, Integer& Height);
    void sAdvancedDrawLineItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);

    // The manager's hand-over of a popup window found later (messages
    // 0xBCB3 and 0xBCB4): draws the skinned border of the popup whose cache
    // entry has no window yet.
    void FoundMenuWindow(HWND Wnd, HMENU Menu);

    Integer Margin() const { return FMargin; }
    void SetMargin(Integer Value) { FMargin = Value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value) { FAlignment = Value; }
    Integer BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(Integer Value) { FBevelWidth = Value; }
    // The width of the frame the system draws around the items of a popup.
    Integer BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(Integer Value) { FBorderWidth = Value; }
    TFont* CaptionFont() const { return FCaptionFont; }
    void SetCaptionFont(TFont* Value) { FCaptionFont->Assign(Value); }
    Integer Spacing() const { return FSpacing; }
    void SetSpacing(Integer Value) { FSpacing = Value; }
    TsMenuManagerDrawItemEvent OnDrawItem;

    bool Pressed = false;

private:
    // The popup's extra line: section, caption and glyph for the popup
    // whose first item is FirstItem.
    void PrepareExtraLine(TMenuItem* FirstItem);
    bool ExtraLineShown() const;
    // Off: where the item DC's origin lies in the popup window (and so in
    // its background).
    void DrawDivider(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, const TacMenuInfo& mi, TPoint Off);
    void DrawCaption(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, const TacMenuInfo& mi, TPoint Off);
    void DrawNormal(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State,
                    const TacMenuInfo& mi, TPoint Off, Integer ExtraW);
    void DrawWndBorder(HWND Wnd, TBitmap* MenuBmp, const std::vector<TRect>& Cuts);
    // The font items are measured and drawn with.
    void SetItemFont(TMenuItem* Item, TCanvas* ACanvas, bool Bold);
    // The size of a popup whose window is not known.
    TSize PopupSize(TMenuItem* Item);
    void AddCache(TacMenuInfo Info);
    // Notes an item that got one of this object's handlers; an object that
    // goes takes its handlers off the live ones, wherever their menus are.
    void Hooked(TMenuItem* Item);
    void UnhookAll(TMenuItem* Item);
    // The cache entry Info, made for an earlier window of its popup, is
    // given the popup's new window, or dropped when the size differs.
    void AdoptWindow(const TacMenuInfo& Info, HWND Wnd, const TRect& WindowRect);

    Integer FMargin = 2;
    TAlignment FAlignment = taLeftJustify;
    Integer FBevelWidth = 0;
    Integer FBorderWidth = 3;
    TFont* FCaptionFont;
    Integer FSkinBorderWidth = -1;
    Integer FSpacing = 8;
    // The cut-outs of the background painted last (each cache entry keeps
    // its own copy).
    std::vector<TRect> ArOR;
    bool FActive = false;
    TsSkinManager* FOwner;
    bool BorderDrawing = false;
    // The items hooked, with their commands (a freed item's command is no
    // longer its own).
    std::unordered_map<TMenuItem*, Word> FHooked;
};

// Set when a skinned popup item is measured (a skinned popup is opening);
// the form skinner clears it for every popup it prepares.
extern bool acMenusSkinning;
// Frees every cached popup background.
void ClearMenuInfos();
// The number of cached popup backgrounds.
std::size_t MenuInfoCount();
// The unit's end: the cache and the extra-line texts.
void sSkinMenusFinalization();
