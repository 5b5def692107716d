#include "sSkinMenus.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "ImgList.h"
#include "acUtils.h"
#include "acMaskPaintWin.h"
#include "sCommonDataWin.h"
#include "sGraphUtils.h"
#include "sMessages.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"
#include "sSkinText.h"

bool acMenusSkinning = false;

namespace {

constexpr TColor kKeyColor = static_cast<TColor>(0xFF00FF);

// The cached backgrounds of the open popups.
std::vector<TacMenuInfo>& MenuInfos() {
    static std::vector<TacMenuInfo> infos;
    return infos;
}

// The kind of the item being measured or drawn (handed to OnDrawItem).
TsMenuItemType gItemType = smNormal;

// The extra line of the popup being prepared.
struct TExtraLine {
    String Section = u"EXTRALINE";
    String Caption = u"Use OnGetExtraLineData event";
    TBitmap* Glyph = nullptr;
    bool Visible = true;
    bool Asking = false;   // the manager's event runs
};
TExtraLine& Extra() {
    static TExtraLine line;
    return line;
}

void FreeExtraGlyph() {
    if (Extra().Glyph) {
        Extra().Glyph->Free();
        Extra().Glyph = nullptr;
    }
}

bool IsNT() { return (::GetVersion() & 0x80000000u) == 0; }

HDC BitmapDC(TBitmap* Bmp) { return Bmp->Canvas()->Handle(); }

// A work bitmap freed at the end of the scope.
struct TWorkBitmap {
    TBitmap* Bmp;
    TWorkBitmap(Integer W, Integer H) : Bmp(CreateWorkBitmap(std::max<Integer>(W, 0), std::max<Integer>(H, 0))) {}
    ~TWorkBitmap() {
        if (Bmp) Bmp->Free();
    }
    TWorkBitmap(const TWorkBitmap&) = delete;
    TWorkBitmap& operator=(const TWorkBitmap&) = delete;
};

LPCWSTR W(const String& s) { return reinterpret_cast<LPCWSTR>(s.c_str()); }

String WithoutChar(const String& s, Char c) {
    String r;
    r.reserve(s.size());
    for (Char x : s)
        if (x != c) r.push_back(x);
    return r;
}

// The first visible item of the item's parent, nullptr when none.
TMenuItem* FirstVisibleSibling(const TMenuItem* Item) {
    const TMenuItem* parent = Item ? Item->Parent() : nullptr;
    if (!parent) return nullptr;
    for (Integer i = 0; i < parent->Count(); ++i)
        if (parent->Items(i)->Visible()) return parent->Items(i);
    return nullptr;
}

TMenuItem* LastVisibleSibling(const TMenuItem* Item) {
    const TMenuItem* parent = Item ? Item->Parent() : nullptr;
    if (!parent) return nullptr;
    for (Integer i = parent->Count() - 1; i >= 0; --i)
        if (parent->Items(i)->Visible()) return parent->Items(i);
    return nullptr;
}

// The visible item after Item among its siblings, nullptr when none.
TMenuItem* NextVisibleSibling(const TMenuItem* Item) {
    const TMenuItem* parent = Item ? Item->Parent() : nullptr;
    if (!parent) return nullptr;
    for (Integer i = parent->IndexOf(Item) + 1; i < parent->Count(); ++i)
        if (parent->Items(i)->Visible()) return parent->Items(i);
    return nullptr;
}

// The key of an item's popup: the parent's first item.
TMenuItem* PopupKey(const TMenuItem* Item) {
    const TMenuItem* parent = Item ? Item->Parent() : nullptr;
    return parent && parent->Count() > 0 ? parent->Items(0) : nullptr;
}

bool EntryAlive(const TacMenuInfo& mi) {
    return mi.FirstItem && TMenuItem::FindByCommand(mi.FirstCommand) == mi.FirstItem;
}

TCustomForm* OwnerForm(const TMenuItem* Item) {
    const TMenu* menu = Item ? Item->GetParentMenu() : nullptr;
    for (TComponent* c = menu ? menu->Owner() : nullptr; c; c = c->Owner())
        if (auto* form = dynamic_cast<TCustomForm*>(c)) return form;
    return nullptr;
}

LOGFONTW MenuLogFont() {
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
        LOGFONTW lf = {};
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
        return lf;
    }
    return ncm.lfMenuFont;
}

// The width of a text in the canvas's font (one line, tabs expanded).
Integer TextWidthOf(TCanvas* Canvas, const String& Text) {
    if (Text.empty()) return 0;
    RECT r = {0, 0, 0, 0};
    ::DrawTextW(Canvas->Handle(), W(Text), static_cast<int>(Text.size()), &r,
                DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE);
    return r.right - r.left;
}

const TsGeneralData* SectionOf(TsSkinManager* Manager, Integer Index) {
    if (!Manager || !Manager->IsValidSkinIndex(Index)) return nullptr;
    return &Manager->gd()[static_cast<std::size_t>(Index)];
}

const TsMaskData* MaskOf(TsSkinManager* Manager, Integer Index) {
    if (!Manager || Index < 0 || static_cast<std::size_t>(Index) >= Manager->ma().size()) return nullptr;
    return &Manager->ma()[static_cast<std::size_t>(Index)];
}

void PaintNamedSection(TsSkinManager* Manager, Integer Index, const String& Name, TBitmap* Bmp, const TRect& R,
                       Integer State, const TCacheInfo& CI, TPoint Offset) {
    PaintSection(Index, Name, CI, Manager->GetTextureIndex(Index, Name, u"HOTPATTERN"),
                 Manager->GetTextureIndex(Index, Name, u"PATTERN"), Manager, Bmp, Offset, R, State);
}

void Blit(HDC Dst, const TRect& DstRect, HDC Src, TPoint SrcPoint) {
    if (DstRect.Width() <= 0 || DstRect.Height() <= 0) return;
    ::BitBlt(Dst, DstRect.Left, DstRect.Top, DstRect.Width(), DstRect.Height(), Src, SrcPoint.X, SrcPoint.Y,
             SRCCOPY);
}

// Where the item's DC coordinates lie in the popup window (the system may
// hand a client DC or a window DC).
TPoint DCOffsetInWindow(HDC DC, HWND Wnd) {
    POINT org = {0, 0};
    RECT wr = {0, 0, 0, 0};
    if (!Wnd || !::GetDCOrgEx(DC, &org) || !::GetWindowRect(Wnd, &wr)) return TPoint(0, 0);
    TPoint p(org.x - wr.left, org.y - wr.top);
    POINT vp = {0, 0};
    if (::GetViewportOrgEx(DC, &vp)) {
        p.X += vp.x;
        p.Y += vp.y;
    }
    return p;
}

}  // namespace

namespace {

// Whether the font selected into DC is Face itself and has a glyph of its
// own for every character of Text. A font the system lacks is replaced by
// another one, which either has no such glyph or shows a plain letter.
bool FontGivesGlyphs(HDC DC, const String& Face, const String& Text) {
    wchar_t selected[LF_FACESIZE] = {};
    if (!::GetTextFaceW(DC, LF_FACESIZE, selected) || ::lstrcmpiW(selected, W(Face)) != 0) return false;
    std::vector<WORD> glyphs(Text.size());
    if (::GetGlyphIndicesW(DC, W(Text), static_cast<int>(Text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
        GDI_ERROR)
        return false;
    return std::none_of(glyphs.begin(), glyphs.end(), [](WORD g) { return g == 0xFFFF; });
}

// The pieces of the mark of a window command (minimize, maximize, close,
// restore) drawn in a Size x Size square at Left, Top, as filled rectangles;
// none for another command.
std::vector<TRect> WindowCommandMark(Integer Command, Integer Left, Integer Top, Integer Size) {
    std::vector<TRect> r;
    const Integer s = Size, l = Left, t = Top;
    auto box = [&](Integer x, Integer y, Integer w, Integer h) {
        r.emplace_back(x, y, x + w, y + 2);               // a thick top edge
        r.emplace_back(x, y + h - 1, x + w, y + h);       // bottom
        r.emplace_back(x, y, x + 1, y + h);               // left
        r.emplace_back(x + w - 1, y, x + w, y + h);       // right
    };
    switch (Command) {
    case 0xF020: r.emplace_back(l + 1, t + s - 2, l + s - 1, t + s); break;   // minimize: a bar at the bottom
    case 0xF030: box(l, t, s, s); break;                                      // maximize: a window
    case 0xF120: {                                                            // restore: two windows
        const Integer d = std::max<Integer>(2, s / 3), w = s - d;
        r.emplace_back(l + d, t, l + s, t + 2);               // the back window's top,
        r.emplace_back(l + s - 1, t, l + s, t + w);           // its right edge,
        r.emplace_back(l + d, t, l + d + 1, t + d);           // the visible part of its left edge
        r.emplace_back(l + w, t + w - 1, l + s, t + w);       // and of its bottom edge
        box(l, t + d, w, w);
        break;
    }
    case 0xF060:   // close: a cross two pixels thick, the same turned half round
        for (Integer i = 0; i < s; ++i) {
            const Integer x = (2 * i * (s - 2) + (s - 1)) / (2 * (s - 1));   // i (s - 2) / (s - 1), rounded
            r.emplace_back(l + x, t + i, l + x + 2, t + i + 1);
            r.emplace_back(l + s - 2 - x, t + i, l + s - x, t + i + 1);
        }
        break;
    default: break;
    }
    return r;
}

}  // namespace

TsMenuItemType MenuItemTypeOf(const String& Caption) {
    if (Caption == u"-") return smDivider;
    if (Caption.size() > 1 && Caption.front() == u'-' && Caption.back() == u'-') return smCaption;
    return smNormal;
}

String MenuCaptionText(const String& Caption) {
    std::size_t start = 0;
    while (start < Caption.size() && Caption[start] == u'-') ++start;
    std::size_t end = start;
    while (end < Caption.size() && Caption[end] != u'-') ++end;
    return Caption.substr(start, end - start);
}

void ClearMenuInfos() {
    for (TacMenuInfo& mi : MenuInfos())
        if (mi.Bmp) mi.Bmp->Free();
    MenuInfos().clear();
}

std::size_t MenuInfoCount() { return MenuInfos().size(); }

void sSkinMenusFinalization() {
    ClearMenuInfos();
    MenuInfos().shrink_to_fit();
    FreeExtraGlyph();
    Extra().Section.clear();
    Extra().Caption.clear();
}

// ---------------------------------------------------------------------------
// TsSkinableMenus: hooking

TsSkinableMenus::TsSkinableMenus(TsSkinManager* AOwner) : FCaptionFont(new TFont()), FOwner(AOwner) {}

TsSkinableMenus::~TsSkinableMenus() {
    for (const auto& [item, command] : FHooked)
        if (TMenuItem::FindByCommand(command) == item) UnhookAll(item);
    delete FCaptionFont;
}

void TsSkinableMenus::Hooked(TMenuItem* Item) { FHooked[Item] = Item->Command(); }

void TsSkinableMenus::UnhookAll(TMenuItem* Item) {
    const TMenuMeasureItemEvent measures[2] = {TMenuMeasureItemEvent::Of<&TsSkinableMenus::sMeasureItem>(this),
                                               TMenuMeasureItemEvent::Of<&TsSkinableMenus::sMeasureLineItem>(this)};
    const TAdvancedMenuDrawItemEvent draws[2] = {
        TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawItem>(this),
        TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawLineItem>(this)};
    const bool before = Item->IsOwnerDraw();
    for (const auto& m : measures)
        if (Item->OnMeasureItem == m) Item->OnMeasureItem = nullptr;
    for (const auto& d : draws)
        if (Item->OnAdvancedDrawItem == d) Item->OnAdvancedDrawItem = nullptr;
    if (Item->IsOwnerDraw() != before) Item->MenuChanged(false);
}

namespace {

using TMeasure = TMenuMeasureItemEvent;
using TDraw = TAdvancedMenuDrawItemEvent;

// Sets or clears an item's handlers; an item that becomes owner-drawn (or
// stops being so) has its built entry updated in place.
template <class F>
void ChangeHandlers(TMenuItem* Item, F Change) {
    const bool before = Item->IsOwnerDraw();
    Change();
    if (Item->IsOwnerDraw() != before) Item->MenuChanged(false);
}

}  // namespace

void TsSkinableMenus::SetActive(bool Value) {
    if (FActive == Value) return;
    FActive = Value;
    InitItems(Value);
}

void TsSkinableMenus::UpdateMenus() { SetActive(FOwner && FOwner->SkinData()->Active); }

void TsSkinableMenus::InitItems(bool A) {
    FActive = A;
    if (!FOwner || FOwner->HasState(csDesigning) || !Application) return;
    const bool popups = A && FOwner->SkinnedPopups();
    struct Walk {
        TsSkinableMenus* Self;
        bool A;
        bool Popups;
        void Visit(TComponent* Owner) {
            // A copy: hooking may make or free nothing, but stay safe against
            // a list that changes under a handler.
            std::vector<TComponent*> list;
            for (int i = 0; i < Owner->ComponentCount(); ++i) list.push_back(Owner->Components(i));
            for (TComponent* c : list) {
                if (auto* main = dynamic_cast<TMainMenu*>(c)) {
                    Self->InitMenuLine(main, A);
                    for (Integer i = 0; i < main->Items()->Count(); ++i) Self->HookItem(main->Items()->Items(i), Popups);
                } else if (auto* popup = dynamic_cast<TPopupMenu*>(c)) {
                    Self->HookPopupMenu(popup, Popups);
                } else if (auto* item = dynamic_cast<TMenuItem*>(c)) {
                    if (!dynamic_cast<TMainMenu*>(item->GetParentMenu())) Self->HookItem(item, Popups);
                }
                if (c->ComponentCount() > 0) Visit(c);
            }
        }
    } walk{this, A, popups};
    walk.Visit(Application);
}

void TsSkinableMenus::HookItem(TMenuItem* MenuItem, bool Active) {
    if (!MenuItem) return;
    const TMeasure measure = TMeasure::Of<&TsSkinableMenus::sMeasureItem>(this);
    const TDraw draw = TDraw::Of<&TsSkinableMenus::sAdvancedDrawItem>(this);
    if (!IsTopLine(MenuItem)) {
        ChangeHandlers(MenuItem, [&] {
            if (Active) {
                if (!MenuItem->OnAdvancedDrawItem) MenuItem->OnAdvancedDrawItem = draw;
                if (!MenuItem->OnMeasureItem) MenuItem->OnMeasureItem = measure;
                Hooked(MenuItem);
            } else {
                if (MenuItem->OnAdvancedDrawItem == draw) MenuItem->OnAdvancedDrawItem = nullptr;
                if (MenuItem->OnMeasureItem == measure) MenuItem->OnMeasureItem = nullptr;
            }
        });
    }
    for (Integer i = 0; i < MenuItem->Count(); ++i) HookItem(MenuItem->Items(i), Active);
}

void TsSkinableMenus::InitItem(TMenuItem* Item, bool A) {
    if (!Item) return;
    if (!A) {
        UnhookAll(Item);
        return;
    }
    if (IsTopLine(Item)) {
        ChangeHandlers(Item, [&] {
            Item->OnAdvancedDrawItem = TDraw::Of<&TsSkinableMenus::sAdvancedDrawLineItem>(this);
            Item->OnMeasureItem = TMeasure::Of<&TsSkinableMenus::sMeasureLineItem>(this);
        });
        Hooked(Item);
    } else if (FOwner && FOwner->SkinnedPopups()) {
        HookItem(Item, true);
    }
}

void TsSkinableMenus::InitMenuLine(TMainMenu* Menu, bool A) {
    if (!Menu) return;
    const bool managerActive = FOwner && FOwner->SkinData()->Active;
    const TMeasure measure = TMeasure::Of<&TsSkinableMenus::sMeasureLineItem>(this);
    const TDraw draw = TDraw::Of<&TsSkinableMenus::sAdvancedDrawLineItem>(this);
    TMenuItem* root = Menu->Items();
    for (Integer i = 0; i < root->Count(); ++i) {
        TMenuItem* item = root->Items(i);
        if (A && managerActive) {
            if (!FOwner->SkinnedPopups()) return;
            item->OnAdvancedDrawItem = draw;
            item->OnMeasureItem = measure;
            Hooked(item);
        } else if (!A) {
            if (item->OnAdvancedDrawItem == draw) item->OnAdvancedDrawItem = nullptr;
            if (item->OnMeasureItem == measure) item->OnMeasureItem = nullptr;
        }
    }
    if (!Menu->HasState(csDestroying) && root->Count() > 0) Menu->SetOwnerDraw(A);
}

void TsSkinableMenus::HookPopupMenu(TPopupMenu* Menu, bool Active) {
    if (!Menu) return;
    Menu->SetOwnerDraw(Active && FOwner && FOwner->SkinnedPopups());
    TMenuAnimation animation = Menu->MenuAnimation();
    if (Active) animation.Include(maNone);
    else animation.Exclude(maNone);
    Menu->SetMenuAnimation(animation);
    for (Integer i = 0; i < Menu->Items()->Count(); ++i) HookItem(Menu->Items()->Items(i), Active);
}

bool TsSkinableMenus::IsTopLine(const TMenuItem* Item) const {
    const TMenuItem* parent = Item ? Item->Parent() : nullptr;
    return parent && !parent->Parent() && dynamic_cast<const TMainMenu*>(Item->GetParentMenu()) != nullptr;
}

// ---------------------------------------------------------------------------
// Geometry

Integer TsSkinableMenus::GetSkinBorderWidth() {
    if (FSkinBorderWidth >= 0) return FSkinBorderWidth;
    const Integer index = FOwner ? FOwner->GetMaskIndex(u"MAINMENU", u"BORDERSMASK") : -1;
    const TsMaskData* mask = MaskOf(FOwner, index);
    if (!mask) return 0;
    FSkinBorderWidth = mask->BorderWidth > 0 ? mask->BorderWidth : 3;
    return FSkinBorderWidth;
}

Integer TsSkinableMenus::ExtraWidth(const TacMenuInfo& mi) const {
    return FOwner && FOwner->MenuSupport()->UseExtraLine && mi.HaveExtraLine ? FOwner->MenuSupport()->ExtraLineWidth
                                                                             : 0;
}

void TsSkinableMenus::ClearMenuCache() { ClearMenuInfos(); }

bool TsSkinableMenus::IsMDIChildSysMenuShown() const {
    // The merged system menu of a maximized MDI child comes with the MDI
    // parent's object; without one it is never shown.
    return false;
}

bool TsSkinableMenus::ItemHasBreakBefore(const TMenuItem* Item) const {
    const TMenuItem* parent = Item ? Item->Parent() : nullptr;
    if (!parent) return false;
    for (Integer i = 0; i < parent->Count(); ++i) {
        const TMenuItem* sibling = parent->Items(i);
        if (sibling->Break() != mbNone) return true;
        if (sibling == Item) break;
    }
    return false;
}

TSize TsSkinableMenus::GetMenuGlyphSize(const TMenuItem* Item) const {
    if (!Item) return TSize{16, 16};
    if (Item->HasBitmap()) return TSize{const_cast<TMenuItem*>(Item)->Bitmap()->Width(),
                                        const_cast<TMenuItem*>(Item)->Bitmap()->Height()};
    if (const TMenuItem* parent = Item->Parent(); parent && parent->SubMenuImages())
        return TSize{parent->SubMenuImages()->Width(), parent->SubMenuImages()->Height()};
    if (const TMenu* menu = Item->GetParentMenu(); menu && menu->Images())
        return TSize{menu->Images()->Width(), menu->Images()->Height()};
    return TSize{16, 16};
}

void TsSkinableMenus::SetItemFont(TMenuItem* Item, TCanvas* ACanvas, bool Bold) {
    LOGFONTW lf = MenuLogFont();
    if (TCustomForm* form = OwnerForm(Item)) lf.lfCharSet = form->Font()->Charset();
    if (Bold) lf.lfWeight = FW_BOLD;
    if (HFONT font = ::CreateFontIndirectW(&lf)) ACanvas->Font()->SetHandle(font);
}

Integer TsSkinableMenus::ItemHeight(TMenuItem* Item) {
    if (!Item) return 0;
    const TsMenuItemType type = MenuItemTypeOf(Item->Caption());
    if (type == smDivider) return 2;
    HDC dc = ::GetDC(nullptr);
    Integer th = 0;
    {
        TCanvas canvas;
        canvas.SetHandle(dc);
        SetItemFont(Item, &canvas, false);
        th = canvas.TextHeight(u"W");
        canvas.SetHandle(nullptr);
    }
    ::ReleaseDC(nullptr, dc);
    const auto text = static_cast<Integer>(std::nearbyint(th * 1.25));
    if (type == smCaption) return text + 2 * FMargin;
    return std::max<Integer>(text, GetMenuGlyphSize(Item).cy) + 2 * FMargin;
}

bool TsSkinableMenus::ExtraLineShown() const {
    return FOwner && FOwner->MenuSupport()->UseExtraLine && Extra().Visible;
}

void TsSkinableMenus::PrepareExtraLine(TMenuItem* FirstItem) {
    TExtraLine& x = Extra();
    if (FirstItem && FirstItem->Name() == u"SkinSelectItem") {
        // The skin chooser of the system menu never shows the extra line.
        x.Visible = false;
        FreeExtraGlyph();
        return;
    }
    if (x.Asking || !FOwner || FOwner->HasState(csDesigning)) return;
    x.Section = u"EXTRALINE";
    FreeExtraGlyph();
    x.Caption = u"Use OnGetExtraLineData event";
    x.Visible = true;
    if (FOwner->OnGetPopupLineData) {
        x.Asking = true;
        struct Done {
            ~Done() { Extra().Asking = false; }
        } done;
        FOwner->OnGetPopupLineData(FirstItem, x.Section, x.Caption, x.Glyph, x.Visible);
    }
    x.Caption = WithoutChar(x.Caption, u'&');
    if (!x.Visible) FreeExtraGlyph();
}

TSize TsSkinableMenus::PopupSize(TMenuItem* Item) {
    const TMenuItem* parent = Item ? Item->Parent() : nullptr;
    if (!parent) return TSize{0, 0};
    HDC dc = ::GetDC(nullptr);
    Integer total = 0, column = 0, columnHeight = 0, height = 0;
    bool first = true;
    {
        TCanvas canvas;
        canvas.SetHandle(dc);
        for (Integer i = 0; i < parent->Count(); ++i) {
            TMenuItem* item = parent->Items(i);
            if (!item->Visible()) continue;
            if (item->Break() != mbNone && !first) {
                total += column + 12 + 4;
                height = std::max(height, columnHeight);
                column = columnHeight = 0;
            }
            first = false;
            Integer w = 0, h = 0;
            const TsMenuItemType saved = gItemType;
            sMeasureItem(item, &canvas, w, h);
            gItemType = saved;
            column = std::max(column, w);
            columnHeight += ItemHeight(item);
        }
        canvas.SetHandle(nullptr);
    }
    ::ReleaseDC(nullptr, dc);
    total += column + 12;
    height = std::max(height, columnHeight);
    return TSize{total + 2 * FBorderWidth, height + 2 * FBorderWidth};
}

// ---------------------------------------------------------------------------
// The popup background cache

void TsSkinableMenus::AddCache(TacMenuInfo Info) {
    // Entries whose popup's first item is gone can never be matched again:
    // their backgrounds go before a new one is kept, so menus whose items
    // are made anew (the system menu's, a rebuilt popup's) do not pile up
    // bitmaps until the next skin change.
    std::vector<TacMenuInfo>& infos = MenuInfos();
    infos.erase(std::remove_if(infos.begin(), infos.end(),
                               [](TacMenuInfo& mi) {
                                   if (EntryAlive(mi)) return false;
                                   if (mi.Bmp) mi.Bmp->Free();
                                   return true;
                               }),
                infos.end());
    infos.push_back(std::move(Info));
}

TacMenuInfo TsSkinableMenus::GetMenuInfo(TMenuItem* Item, Integer aWidth, Integer aHeight, HWND aWnd) {
    if (Item) {
        TMenuItem* key = PopupKey(Item);
        if (!key) return TacMenuInfo();
        for (int pass = 0; pass < 2; ++pass) {
            for (const TacMenuInfo& mi : MenuInfos())
                if (mi.FirstItem == key && EntryAlive(mi)) return mi;
            if (pass == 0 && aWidth != 0) PrepareMenuBG(Item, aWidth, aHeight, aWnd);
            else break;
        }
        return TacMenuInfo();
    }
    if (aWnd)
        for (const TacMenuInfo& mi : MenuInfos())
            if (mi.Wnd == aWnd) return mi;
    return TacMenuInfo();
}

void TsSkinableMenus::PrepareMenuBG(TMenuItem* Item, Integer Width, Integer Height, HWND Wnd) {
    TMenuItem* key = PopupKey(Item);
    if (!key || !FOwner || Width <= 0 || Height <= 0) return;
    PrepareExtraLine(FirstVisibleSibling(Item));
    TBitmap* bmp = CreateWorkBitmap(Width, Height);
    bmp->Canvas()->Lock();
    const TSize glyph = GetMenuGlyphSize(Item);
    const Integer iconColumn = glyph.cx + FMargin + FSpacing;
    const bool extra = ExtraLineShown();
    const Integer extraWidth = extra ? FOwner->MenuSupport()->ExtraLineWidth : 0;
    ArOR.clear();

    const Integer index = FOwner->GetSkinIndex(u"MAINMENU");
    if (FOwner->IsValidSkinIndex(index)) {
        TCacheInfo key;
        key.FillColor = kKeyColor;
        const TRect whole(0, 0, Width, Height);
        PaintSectionBg(index, u"MAINMENU", key, kNoColor, FOwner->GetTextureIndex(index, u"MAINMENU", u"HOTPATTERN"),
                       FOwner->GetTextureIndex(index, u"MAINMENU", u"PATTERN"), FOwner, bmp, TPoint(0, 0), whole, 0);
        const Integer border = GetSkinBorderWidth();
        const bool rightAligned = Wnd && (::GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_RIGHT) != 0;
        const String& icoLine = FOwner->MenuSupport()->IcoLineSkin;
        const Integer icoIndex = icoLine.empty() ? -1 : FOwner->GetSkinIndex(icoLine);
        if (!rightAligned && FOwner->IsValidSkinIndex(icoIndex) && Height - 2 * border > 0) {
            TWorkBitmap strip(iconColumn, Height - 2 * border);
            PaintNamedSection(FOwner, icoIndex, icoLine, strip.Bmp, TRect(0, 0, iconColumn, Height - 2 * border), 0,
                              CacheInfoOf(bmp), TPoint(extraWidth + border, border));
            ::BitBlt(BitmapDC(bmp), extraWidth + border, border, iconColumn, Height - 2 * border, BitmapDC(strip.Bmp), 0,
                     0, SRCCOPY);
        }
        const Integer maskIndex = FOwner->GetMaskIndex(index, u"MAINMENU", u"BORDERSMASK");
        const TsMaskData* mask = MaskOf(FOwner, maskIndex);
        if (mask) DrawSkinRect(bmp, whole, true, 0, *mask, CacheInfoOf(bmp));
        if (extra) {
            const TExtraLine& x = Extra();
            const Integer lineIndex = FOwner->GetSkinIndex(x.Section);
            const Integer lineHeight = Height - 2 * border;
            if (FOwner->IsValidSkinIndex(lineIndex) && extraWidth > 0 && lineHeight > 0) {
                TWorkBitmap strip(extraWidth, lineHeight);
                PaintNamedSection(FOwner, lineIndex, x.Section, strip.Bmp, TRect(0, 0, extraWidth, lineHeight), 0,
                                  CacheInfoOf(bmp), TPoint(border, border));
                Integer bottom = 12;
                if (x.Glyph && !x.Glyph->Empty()) {
                    const Integer gx = (extraWidth - x.Glyph->Width()) / 2;
                    const Integer gy = lineHeight - 12 - x.Glyph->Height();
                    if (x.Glyph->PixelFormat() == pf32bit) DrawAlphaBitmapAt(strip.Bmp, x.Glyph, gx, gy, kKeyColor);
                    else ::BitBlt(BitmapDC(strip.Bmp), gx, gy, x.Glyph->Width(), x.Glyph->Height(),
                                  BitmapDC(x.Glyph), 0, 0, SRCCOPY);
                    bottom = 32 + x.Glyph->Height();
                }
                if (!x.Caption.empty()) {
                    TFont* src = FOwner->MenuSupport()->ExtraLineFont();
                    LOGFONTW lf = src->LogFont();
                    lf.lfWeight = FW_NORMAL;
                    lf.lfEscapement = lf.lfOrientation = -2700;
                    if (HFONT font = ::CreateFontIndirectW(&lf)) {
                        HDC dc = BitmapDC(strip.Bmp);
                        HGDIOBJ old = ::SelectObject(dc, font);
                        SIZE size = {0, 0};
                        ::GetTextExtentPoint32W(dc, W(x.Caption), static_cast<int>(x.Caption.size()), &size);
                        ::SetBkMode(dc, TRANSPARENT);
                        const TsGeneralData* gd = SectionOf(FOwner, lineIndex);
                        ::SetTextColor(dc, static_cast<COLORREF>(gd ? gd->FontColor.Color : 0));
                        // Read from bottom to top: the text's top faces left.
                        ::TextOutW(dc, (extraWidth - size.cy) / 2, lineHeight - bottom, W(x.Caption),
                                   static_cast<int>(x.Caption.size()));
                        ::SelectObject(dc, old);
                        ::DeleteObject(font);
                    }
                }
                ::BitBlt(BitmapDC(bmp), border, border, extraWidth, lineHeight, BitmapDC(strip.Bmp), 0, 0, SRCCOPY);
            }
            FreeExtraGlyph();
        }
        if (mask) {
            AddMaskCornerRects(ArOR, Width, *mask, false, 0);
            AddMaskCornerRects(ArOR, Width, *mask, true, Height - mask->WB);
        }
    }
    TacMenuInfo info;
    info.FirstItem = key;
    info.FirstCommand = key->Command();
    info.Bmp = bmp;
    info.Wnd = Wnd;
    info.HaveExtraLine = extra;
    info.ArOR = ArOR;
    if (Wnd) DrawWndBorder(Wnd, bmp, info.ArOR);
    bmp->Canvas()->Unlock();
    AddCache(std::move(info));
}

void TsSkinableMenus::DrawWndBorder(HWND Wnd, TBitmap* MenuBmp) {
    for (const TacMenuInfo& mi : MenuInfos())
        if (mi.Bmp == MenuBmp) return DrawWndBorder(Wnd, MenuBmp, mi.ArOR);
    DrawWndBorder(Wnd, MenuBmp, ArOR);
}

void TsSkinableMenus::DrawWndBorder(HWND Wnd, TBitmap* MenuBmp, const std::vector<TRect>& Cuts) {
    if (!IsNT() || !MenuBmp || MenuBmp->Empty() || !Wnd || !::IsWindow(Wnd) || BorderDrawing) return;
    if (SendSkinCommand(Wnd, AC_SETUPDATING, 0) != 0) return;
    BorderDrawing = true;
    struct Done {
        bool& Flag;
        ~Done() { Flag = false; }
    } done{BorderDrawing};
    SendSkinCommand(Wnd, AC_BEFOREMENUBORDER, 0);
    HRGN rgn = ::CreateRectRgn(0, 0, MenuBmp->Width(), MenuBmp->Height());
    if (Cuts.empty()) {
        HRGN corner = ::CreateRectRgn(0, 0, 1, 1);
        ::CombineRgn(rgn, rgn, corner, RGN_DIFF);
        ::DeleteObject(corner);
    } else {
        acCutRects(rgn, Cuts);
    }
    // The window owns the region from here on.
    if (!::SetWindowRgn(Wnd, rgn, TRUE)) ::DeleteObject(rgn);
    HDC dc = ::GetWindowDC(Wnd);
    if (dc) {
        ::BitBlt(dc, 0, 0, MenuBmp->Width(), MenuBmp->Height(), BitmapDC(MenuBmp), 0, 0, SRCCOPY);
        ::ReleaseDC(Wnd, dc);
    }
}

void TsSkinableMenus::AdoptWindow(const TacMenuInfo& Info, HWND Wnd, const TRect& WindowRect) {
    auto& infos = MenuInfos();
    for (auto it = infos.begin(); it != infos.end(); ++it) {
        if (it->Bmp != Info.Bmp) continue;
        if (it->Bmp->Width() != WindowRect.Width() || it->Bmp->Height() != WindowRect.Height()) {
            it->Bmp->Free();
            infos.erase(it);
            return;
        }
        it->Wnd = Wnd;
        DrawWndBorder(Wnd, it->Bmp, it->ArOR);
        return;
    }
}

void TsSkinableMenus::FoundMenuWindow(HWND Wnd, HMENU Menu) {
    if (!Wnd || !Menu || !::IsMenu(Menu)) return;
    // The popup's first item names its cache entry (the item data is the
    // item's command).
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_DATA;
    if (!::GetMenuItemInfoW(Menu, 0, TRUE, &info) || info.dwItemData == 0 || info.dwItemData > 0xFFFF) return;
    TMenuItem* first = TMenuItem::FindByCommand(static_cast<Word>(info.dwItemData));
    if (!first) return;
    for (TacMenuInfo& mi : MenuInfos()) {
        if (!EntryAlive(mi) || mi.FirstItem != PopupKey(first)) continue;
        mi.Wnd = Wnd;
        DrawWndBorder(Wnd, mi.Bmp, mi.ArOR);
        return;
    }
}

// ---------------------------------------------------------------------------
// Measuring and drawing popup items

void TsSkinableMenus::sMeasureItem(TObject* Sender, TCanvas* ACanvas, Integer& Width, Integer& Height) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || item->HasState(csDestroying) || !ACanvas) return;
    acMenusSkinning = true;
    const TacMenuInfo mi = GetMenuInfo(item, 0, 0);
    gItemType = MenuItemTypeOf(item->Caption());
    if (!mi.FirstItem && item == FirstVisibleSibling(item)) PrepareExtraLine(item);
    SetItemFont(item, ACanvas, item->Default());
    String text;
    switch (gItemType) {
    case smCaption: text = u"-" + item->Caption() + u"-"; break;
    case smDivider: break;
    default:
        text = item->Caption();
        if (item->ShortCut()) text += u"\t" + ShortCutToText(item->ShortCut());
        break;
    }
    const Integer w = TextWidthOf(ACanvas, text);
    const TSize glyph = GetMenuGlyphSize(item);
    Width = 2 * glyph.cx + w + 3 * FMargin + FSpacing;
    const bool extraOn = mi.FirstItem ? ExtraWidth(mi) > 0 : ExtraLineShown();
    if (extraOn && !ItemHasBreakBefore(item)) Width += FOwner->MenuSupport()->ExtraLineWidth;
    Height = ItemHeight(item);
}

void TsSkinableMenus::sAdvancedDrawItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect,
                                        TOwnerDrawState State) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || !ACanvas) return;
    if (!FOwner || !FOwner->SkinData()->Active) {
        // Left hooked while no skin is active: the item still shows.
        item->DrawPlain(ACanvas, ARect, State, false);
        return;
    }
    ACanvas->Lock();
    struct Unlock {
        TCanvas* C;
        ~Unlock() { C->Unlock(); }
    } unlock{ACanvas};
    HDC dc = ACanvas->Handle();
    HWND wnd = IsNT() ? ::WindowFromDC(dc) : nullptr;
    wchar_t cls[16] = {};
    if (wnd && (!::GetClassNameW(wnd, cls, 16) || std::wcscmp(cls, L"#32768") != 0)) wnd = nullptr;
    TRect wr;
    if (wnd) {
        RECT r;
        ::GetWindowRect(wnd, &r);
        wr = TRect(0, 0, r.right - r.left, r.bottom - r.top);
    } else {
        const TSize size = PopupSize(item);
        wr = TRect(0, 0, size.cx, size.cy);
    }
    TacMenuInfo mi = GetMenuInfo(item, wr.Width(), wr.Height(), wnd);
    if (wnd && mi.Bmp && mi.Wnd != wnd) {
        // The popup shows again in a new window (the entry of its last
        // showing was not dropped): a background of another size is made
        // anew, one of the same size takes the new window.
        AdoptWindow(mi, wnd, wr);
        mi = GetMenuInfo(item, wr.Width(), wr.Height(), wnd);
    }
    if (!mi.Bmp) {
        item->DrawPlain(ACanvas, ARect, State, false);
        return;
    }
    const TPoint off = wnd ? DCOffsetInWindow(dc, wnd) : TPoint(FBorderWidth, FBorderWidth);
    const bool firstColumn = !ItemHasBreakBefore(item);
    const Integer extraW = firstColumn ? ExtraWidth(mi) : 0;

    if (wnd && mi.Wnd == wnd) {
        // The frame around the items, from the background.
        HDC wdc = ::GetWindowDC(wnd);
        if (wdc) {
            HDC src = BitmapDC(mi.Bmp);
            const Integer bw = mi.Bmp->Width(), bh = mi.Bmp->Height();
            if (item == FirstVisibleSibling(item)) {
                Blit(wdc, TRect(0, 0, bw, FBorderWidth), src, TPoint(0, 0));
                const Integer left = ExtraWidth(mi) + std::max(GetSkinBorderWidth(), FBorderWidth);
                Blit(wdc, TRect(0, 0, left, bh), src, TPoint(0, 0));
            }
            if (item == LastVisibleSibling(item)) Blit(wdc, TRect(0, bh - FBorderWidth, bw, bh), src, TPoint(0, bh - FBorderWidth));
            const TRect itemInWnd(ARect.Left + off.X, ARect.Top + off.Y, ARect.Right + off.X, ARect.Bottom + off.Y);
            Blit(wdc, TRect(itemInWnd.Right, itemInWnd.Top, bw, itemInWnd.Bottom), src,
                 TPoint(itemInWnd.Right, itemInWnd.Top));
            ::ReleaseDC(wnd, wdc);
        }
    } else if (!wnd && Application) {
        // The window is found later: the application window is told the
        // popup's menu handle and the item's position, never the item itself.
        MSG pending;
        HWND app = Application->Handle();
        if (!::PeekMessageW(&pending, app, acMenuItemBorder, acMenuWindowBorder, PM_NOREMOVE)) {
            TMenuItem* parent = item->Parent();
            const Integer pos = item->MenuIndex();
            if (parent && parent->HandleAllocated() && pos >= 0)
                ::PostMessageW(app, acMenuItemBorder, reinterpret_cast<WPARAM>(parent->Handle()),
                               static_cast<LPARAM>(pos));
        }
    }

    gItemType = MenuItemTypeOf(item->Caption());
    switch (gItemType) {
    case smDivider: DrawDivider(item, ACanvas, ARect, mi, off); return;
    case smCaption: DrawCaption(item, ACanvas, ARect, mi, off); return;
    default: break;
    }
    DrawNormal(item, ACanvas, ARect, State, mi, off, extraW);
}

void TsSkinableMenus::DrawDivider(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, const TacMenuInfo& mi,
                                  TPoint Off) {
    (void)Item;
    const Integer extra = ItemHasBreakBefore(Item) ? 0 : ExtraWidth(mi);
    const TSize glyph = GetMenuGlyphSize(Item);
    const Integer iconColumn = glyph.cx + FMargin + FSpacing;
    const Integer x1 = std::max(extra + FMargin + FSpacing, extra + iconColumn + 2);
    const Integer x2 = ARect.Width() - (extra + 2 * FMargin + FSpacing);
    HDC dc = ACanvas->Handle();
    const Integer maskIndex = FOwner->GetMaskIndex(u"DIVIDERV", u"BORDERSMASK");
    const TsMaskData* mask = MaskOf(FOwner, maskIndex);
    if (mask) {
        TWorkBitmap work(ARect.Width(), ARect.Height());
        ::BitBlt(BitmapDC(work.Bmp), 0, 0, ARect.Width(), ARect.Height(), BitmapDC(mi.Bmp), ARect.Left + Off.X,
                 ARect.Top + Off.Y, SRCCOPY);
        const Integer h = std::max<Integer>(MaskFrameHeight(*mask), 1);
        if (x2 > x1) DrawSkinRect(work.Bmp, TRect(x1, 0, x2, std::min(h, ARect.Height())), true, 0, *mask, CacheInfoOf(work.Bmp));
        Blit(dc, ARect, BitmapDC(work.Bmp), TPoint(0, 0));
        return;
    }
    Blit(dc, ARect, BitmapDC(mi.Bmp), TPoint(ARect.Left + Off.X, ARect.Top + Off.Y));
    TColor color = FOwner->SkinData()->BorderColor;
    if (color == kKeyColor) color = static_cast<TColor>(::GetSysColor(COLOR_BTNSHADOW));
    if (x2 > x1) FillSolidRect(dc, TRect(ARect.Left + x1, ARect.Top, ARect.Left + x2, ARect.Top + 1), color);
}

void TsSkinableMenus::DrawCaption(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, const TacMenuInfo& mi,
                                  TPoint Off) {
    const Integer extra = ItemHasBreakBefore(Item) ? 0 : ExtraWidth(mi);
    const Integer w = ARect.Width(), h = ARect.Height();
    TWorkBitmap work(w, h);
    HDC wdc = BitmapDC(work.Bmp);
    if (extra > 0) ::BitBlt(wdc, 0, 0, extra, h, BitmapDC(mi.Bmp), ARect.Left + Off.X, ARect.Top + Off.Y, SRCCOPY);
    ::BitBlt(wdc, extra, 0, w - extra, h, BitmapDC(mi.Bmp), ARect.Left + Off.X + extra, ARect.Top + Off.Y, SRCCOPY);
    String name = u"MENUCAPTION";
    Integer index = FOwner->GetSkinIndex(name);
    if (!FOwner->IsValidSkinIndex(index)) {
        name = u"TOOLBAR";
        index = FOwner->GetSkinIndex(name);
    }
    if (FOwner->IsValidSkinIndex(index) && w - 1 > extra + 1 && h > 2)
        PaintNamedSection(FOwner, index, name, work.Bmp, TRect(extra + 1, 1, w - 1, h - 1), 0, CacheInfoOf(work.Bmp),
                          TPoint(0, 0));
    TCanvas* c = work.Bmp->Canvas();
    c->SetFont(FCaptionFont);
    c->Brush()->SetStyle(bsClear);
    if (FOwner->IsValidSkinIndex(index))
        DrawSectionText(c, MenuCaptionText(Item->Caption()), true, FOwner, false, index,
                        DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX, TRect(extra, 0, w, h));
    Blit(ACanvas->Handle(), ARect, wdc, TPoint(0, 0));
}

void TsSkinableMenus::DrawNormal(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State,
                                 const TacMenuInfo& mi, TPoint Off, Integer ExtraW) {
    HDC dc = ACanvas->Handle();
    HDC bg = BitmapDC(mi.Bmp);
    const Integer bottomLine = mi.Bmp->Height() - 6 - Off.Y;
    // The rest of the column below the last item of a column.
    const TMenuItem* next = NextVisibleSibling(Item);
    if (((next && next->Break() != mbNone) || !next) && ARect.Bottom < bottomLine)
        Blit(dc, TRect(ARect.Left, ARect.Bottom, ARect.Right, bottomLine), bg, TPoint(ARect.Left + Off.X, ARect.Bottom + Off.Y));
    if (Item->Break() != mbNone)
        Blit(dc, TRect(ARect.Left - 4, ARect.Top, ARect.Left, ARect.Bottom), bg,
             TPoint(ARect.Left - 4 + Off.X, ARect.Top + Off.Y));

    const Integer w = ARect.Width() - ExtraW, h = ARect.Height();
    if (w <= 0 || h <= 0) return;
    TWorkBitmap work(w, h);
    TBitmap* wb = work.Bmp;
    HDC wdc = BitmapDC(wb);
    const bool enabled = Item->Enabled();
    const bool selected = enabled && State.Contains(odSelected);
    const TPoint origin(ARect.Left + ExtraW + Off.X, ARect.Top + Off.Y);
    ::BitBlt(wdc, 0, 0, w, h, bg, origin.X, origin.Y, SRCCOPY);
    const Integer index = FOwner->GetSkinIndex(u"MENUITEM");
    if (FOwner->IsValidSkinIndex(index))
        PaintNamedSection(FOwner, index, u"MENUITEM", wb, TRect(0, 0, w, h), selected ? 1 : 0, CacheInfoOf(mi.Bmp), origin);

    const TSize glyph = GetMenuGlyphSize(Item);
    TCustomImageList* images = Item->GetImageList();
    const bool hasImage = images && Item->ImageIndex() >= 0 && Item->ImageIndex() < images->Count();
    const bool rtl = false;
    if (Item->Checked() && !Item->HasBitmap() && !hasImage) {
        const TConstantSkinData& c = FOwner->ConstData();
        Integer mark = -1;
        if (Item->RadioItem()) mark = c.RadioButtonChecked;
        else {
            mark = FOwner->GetMaskIndex(u"GLOBALINFO", u"CHECK");
            if (!MaskOf(FOwner, mark)) mark = c.CheckBoxChecked;
        }
        if (const TsMaskData* m = MaskOf(FOwner, mark)) {
            const Integer mw = MaskFrameWidth(*m), mh = MaskFrameHeight(*m);
            const Integer x = rtl ? w - FMargin - mw : FMargin;
            DrawGlyphMask(wb, TPoint(x, (h - mh) / 2), selected ? 1 : 0, CacheInfoOf(wb), *m, 1);
        }
    } else if (hasImage) {
        const Integer x = FMargin, y = (h - images->Height()) / 2;
        if (Item->Checked()) {
            const Integer s = FOwner->GetSkinIndex(u"SPEEDBUTTON_SMALL");
            if (FOwner->IsValidSkinIndex(s))
                PaintNamedSection(FOwner, s, u"SPEEDBUTTON_SMALL", wb,
                                  TRect(x - 1, y - 1, x + images->Width() + 1, y + images->Height() + 1), 2,
                                  CacheInfoOf(wb), TPoint(0, 0));
        }
        images->Draw(wb->Canvas(), x, y, Item->ImageIndex(), enabled);
    } else if (Item->HasBitmap()) {
        TBitmap* pic = Item->Bitmap();
        const Integer x = FMargin, y = (h - pic->Height()) / 2;
        if (Item->Checked()) {
            const Integer s = FOwner->GetSkinIndex(u"SPEEDBUTTON_SMALL");
            if (FOwner->IsValidSkinIndex(s))
                PaintNamedSection(FOwner, s, u"SPEEDBUTTON_SMALL", wb,
                                  TRect(x - 1, y - 1, x + pic->Width() + 1, y + pic->Height() + 1), 2, CacheInfoOf(wb),
                                  TPoint(0, 0));
        }
        if (pic->PixelFormat() == pf32bit) DrawAlphaBitmapAt(wb, pic, x, y, kKeyColor);
        else ::BitBlt(wdc, x, y, pic->Width(), pic->Height(), BitmapDC(pic), 0, 0, SRCCOPY);
    } else if (const TMenu* menu = Item->GetParentMenu();
               menu && menu->Name().rfind(u"acSysMenu", 0) == 0) {
        // The generated system menu of an MDI child: the window commands'
        // symbols.
        const char16_t* symbol = nullptr;
        switch (Item->Tag) {
        case 0xF020: symbol = u"0"; break;
        case 0xF030: symbol = u"1"; break;
        case 0xF060: symbol = u"r"; break;
        case 0xF120: symbol = u"2"; break;
        default: break;
        }
        if (symbol) {
            TCanvas* c = wb->Canvas();
            c->Font()->SetName(u"Webdings");
            c->Font()->SetSize(10);
            c->Font()->SetStyle({});
            c->Brush()->SetStyle(bsClear);
            const TsGeneralData* gd = SectionOf(FOwner, index);
            if (gd) c->Font()->SetColor(selected ? gd->HotFontColor.Color : gd->FontColor.Color);
            const TSize s = c->TextExtent(symbol);
            if (FontGivesGlyphs(c->Handle(), u"Webdings", symbol)) {
                c->TextOut(4, (h - s.cy) / 2, symbol);
            } else {
                // Without the symbol font the mark is drawn here, about the
                // size of the font's glyph; an even size keeps the cross
                // symmetric.
                const Integer size = std::clamp<Integer>(std::min(s.cy, h) - 3, 6, 10) / 2 * 2;
                for (const TRect& piece : WindowCommandMark(static_cast<Integer>(Item->Tag), 4, (h - size) / 2, size))
                    FillSolidRect(wdc, piece, c->Font()->Color());
            }
        }
    }

    // The caption and the shortcut.
    TCanvas* c = wb->Canvas();
    SetItemFont(Item, c, State.Contains(odDefault));
    c->Brush()->SetStyle(bsClear);
    String caption = Item->Caption();
    UINT align = FAlignment == taRightJustify ? DT_RIGHT : FAlignment == taCenter ? DT_CENTER : DT_LEFT;
    if (!caption.empty() && caption[0] == 8) {
        caption = caption.substr(1) + u"      ";
        align = DT_RIGHT;
    }
    UINT flags = DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP | align;
    if (State.Contains(odNoAccel)) flags |= DT_HIDEPREFIX;
    const Integer textLeft = glyph.cx + 2 * FMargin + FSpacing;
    const bool hot = selected || (enabled && State.Contains(odHotLight));
    if (FOwner->IsValidSkinIndex(index)) {
        DrawSectionText(c, caption, enabled, FOwner, hot, index, flags, TRect(textLeft, 0, w, h));
        if (Item->ShortCut())
            DrawSectionText(c, ShortCutToText(Item->ShortCut()), enabled, FOwner, hot, index,
                            DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP, TRect(textLeft, 0, w - 8, h));
    }
    if (OnDrawItem) OnDrawItem(Item, c, TRect(0, 0, w, h), State, gItemType);
    if (!enabled) BlendTransBitmap(wb, 0, 0, mi.Bmp, TRect(origin.X, origin.Y, origin.X + w - 1, origin.Y + h - 1), 0.4, kKeyColor);
    ::BitBlt(dc, ARect.Left + ExtraW, ARect.Top, w, h, wdc, 0, 0, SRCCOPY);
    if (ExtraW > 0 && Item == FirstVisibleSibling(Item)) {
        const Integer border = GetSkinBorderWidth();
        // The extra line strip beside the items, in the DC's coordinates.
        Blit(dc, TRect(border - Off.X, border - Off.Y, border - Off.X + ExtraW, mi.Bmp->Height() - border - Off.Y), bg,
             TPoint(border, border));
    }
    if (Item->OnDrawItem) Item->OnDrawItem(Item, ACanvas, ARect, State.Contains(odSelected));
}

// ---------------------------------------------------------------------------
// Items of the menu line

void TsSkinableMenus::sMeasureLineItem(TObject* Sender, TCanvas* ACanvas, Integer& Width, Integer& Height) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || !ACanvas) return;
    Height = ::GetSystemMetrics(SM_CYMENU) - 1;
    SetItemFont(item, ACanvas, item->Default());
    Width = ACanvas->TextWidth(WithoutChar(item->Caption(), u'&'));
    TCustomImageList* images = item->GetImageList();
    if (images && item->ImageIndex() >= 0) Width += images->Width() + 6;
    else if (item->HasBitmap()) Width += item->Bitmap()->Width() + 6;
}

void TsSkinableMenus::sAdvancedDrawLineItem(TObject* Sender, TCanvas* ACanvas, const TRect& ARect,
                                            TOwnerDrawState State) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item || !ACanvas || !FOwner || !FOwner->SkinData()->Active) return;
    const TMenu* menu = item->GetParentMenu();
    HWND wnd = menu ? menu->WindowHandle() : nullptr;
    TsSkinProvider* provider = nullptr;
    if (wnd && ::IsWindow(wnd))
        provider = dynamic_cast<TsSkinProvider*>(
            reinterpret_cast<TacFormProvider*>(SendSkinCommand(wnd, AC_GETPROVIDER, 0)));
    if (!provider) provider = MDISkinProvider;
    if (!provider || !provider->SkinData() || !provider->SkinData()->FCacheBmp || !provider->MenuLineBmp ||
        provider->MenuLineBmp->Empty()) {
        // A form whose frame is not skinned has no line image to draw on:
        // the item is drawn plain rather than left out.
        item->DrawPlain(ACanvas, ARect, State, true);
        return;
    }
    const Integer w = ARect.Width(), h = ARect.Height();
    if (w <= 0 || h <= 0) return;
    TWorkBitmap work(w, h);
    TBitmap* wb = work.Bmp;
    HDC wdc = BitmapDC(wb);
    const bool onCache = ACanvas == provider->SkinData()->FCacheBmp->Canvas();
    const TPoint at = provider->MenuLineBmpPoint(ARect, onCache);
    ::BitBlt(wdc, 0, 0, w, h, BitmapDC(provider->MenuLineBmp), at.X, at.Y, SRCCOPY);
    const bool enabled = item->Enabled();
    // Windows marks an open item of the bar selected and the item under the
    // mouse hot.
    const bool selected = enabled && (State.Contains(odSelected) || State.Contains(odHotLight));
    const Integer index = FOwner->GetSkinIndex(u"MENUITEM");
    if (FOwner->IsValidSkinIndex(index))
        PaintNamedSection(FOwner, index, u"MENUITEM", wb, TRect(0, 0, w, h), selected ? 1 : 0,
                          CacheInfoOf(provider->MenuLineBmp), at);
    Integer textLeft = 0;
    TCustomImageList* images = item->GetImageList();
    if (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) {
        images->Draw(wb->Canvas(), 3, (h - images->Height()) / 2, item->ImageIndex(), enabled);
        textLeft = 3 + images->Width() + 3;
    } else if (item->HasBitmap()) {
        TBitmap* pic = item->Bitmap();
        const Integer y = (h - pic->Height()) / 2;
        if (pic->PixelFormat() == pf32bit) DrawAlphaBitmapAt(wb, pic, 3, y, kKeyColor);
        else ::BitBlt(wdc, 3, y, pic->Width(), pic->Height(), BitmapDC(pic), 0, 0, SRCCOPY);
        textLeft = 3 + pic->Width() + 3;
    }
    TCanvas* c = wb->Canvas();
    SetItemFont(item, c, State.Contains(odDefault));
    c->Brush()->SetStyle(bsClear);
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_NOCLIP | DT_CENTER;
    if (State.Contains(odNoAccel)) flags |= DT_HIDEPREFIX;
    const Integer line = FOwner->GetSkinIndex(u"MENULINE");
    const Integer colours = FOwner->IsValidSkinIndex(line) ? line : index;
    if (FOwner->IsValidSkinIndex(colours))
        DrawSectionText(c, item->Caption(), enabled, FOwner, selected, colours, flags, TRect(textLeft, 0, w, h));
    gItemType = smTopLine;
    if (OnDrawItem) OnDrawItem(item, c, TRect(0, 0, w, h), State, smTopLine);
    if (!enabled) BlendBitmapRect(wb, provider->MenuLineBmp, 102, TRect(at.X, at.Y, at.X + w, at.Y + h), TPoint(0, 0));
    ::BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, w, h, wdc, 0, 0, SRCCOPY);
}
