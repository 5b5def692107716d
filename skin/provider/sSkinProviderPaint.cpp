// Painting of the skinned frame: the form's cache holds the whole outer image
// (frame, title bar, icon, caption text, caption buttons and the client
// background); the window DC gets the frame strips from it, the client area
// its background. The caption buttons keep a clean copy of the title under
// them so that one button can be repainted alone. The window region cuts the
// key-coloured corners of the border masks. Win32, main thread only.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "sSkinProvider.h"

#include "acDwm.h"
#include "acGlow.h"
#include "acMaskPaintWin.h"
#include "acPixels.h"
#include "acUtils.h"
#include "acUtilsWin.h"
#include "sGraphUtils.h"
#include "sMessages.h"
#include "sSectionPaint.h"
#include "sSkinMenus.h"
#include "sSkinText.h"
#include "sVclUtils.h"

namespace {

struct BitmapFree {
    void operator()(TBitmap* b) const {
        if (b) b->Free();
    }
};
using OwnedBitmap = std::unique_ptr<TBitmap, BitmapFree>;

// The window DC of a window, released on every path.
class WindowDC {
public:
    explicit WindowDC(HWND Wnd) : FWnd(Wnd), FDC(::GetWindowDC(Wnd)) {}
    ~WindowDC() {
        if (FDC) ::ReleaseDC(FWnd, FDC);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Handle() const { return FDC; }

private:
    HWND FWnd;
    HDC FDC;
};

// DrawText flags of the caption.
// The help icon among the form's border icons.
constexpr Integer kBorderIconHelp = 3;

constexpr Cardinal kCaptionFlags = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX;

bool ValidMask(TsSkinManager* Manager, Integer Index) { return Manager != nullptr && Manager->IsValidImgIndex(Index); }

HDC BitmapDC(TBitmap* Bmp) { return Bmp->Canvas()->Handle(); }

// The form's size as its window has it now: the system paints a resized
// frame before the form is told its new bounds.
Integer WindowHeightOf(TCustomForm* Form) {
    return Form->HandleAllocated() ? HwndHeight(Form->Handle()) : Form->Height();
}
Integer WindowWidthOf(TCustomForm* Form) { return Form->HandleAllocated() ? HwndWidth(Form->Handle()) : Form->Width(); }

// The name of a mask of "GLOBALINFO", for the glow that goes with it.
String MaskName(TsSkinManager* Manager, Integer Index) {
    return ValidMask(Manager, Index) ? Manager->ma()[static_cast<std::size_t>(Index)].PropertyName : String();
}

// The glyph of a user button drawn centred in R (vertically in Height from
// R's top): a 32-bit glyph through its alpha, any other with its
// bottom-left pixel as the transparent colour.
void DrawUserGlyph(TBitmap* Dst, TBitmap* Glyph, const TRect& R, Integer Height, bool Down) {
    if (Glyph == nullptr || Glyph->Empty() || Glyph->Width() <= 0 || Glyph->Height() <= 0) return;
    Integer x = R.Left + (R.Width() - Glyph->Width()) / 2;
    Integer y = R.Top + (Height - Glyph->Height()) / 2;
    if (Down) {
        ++x;
        ++y;
    }
    const TRect src(0, 0, Glyph->Width(), Glyph->Height());
    if (Glyph->PixelFormat() == pf32bit || Glyph->PixelFormat() == pfDevice) {
        CopyAlphaImage(Bounds(x, y, src.Width(), src.Height()), src, Dst, Glyph, TCacheInfo{}, false);
    } else {
        OwnedBitmap glyph32(CreateWorkBitmap(Glyph->Width(), Glyph->Height()));
        ::BitBlt(BitmapDC(glyph32.get()), 0, 0, src.Width(), src.Height(), BitmapDC(Glyph), 0, 0, SRCCOPY);
        const TColor key = static_cast<TColor>(::GetPixel(BitmapDC(Glyph), 0, src.Height() - 1) & 0xFFFFFF);
        CopyTransparentRect(Dst, glyph32.get(), x, y, src, SwapRedBlue(key));
    }
}

// A 32-bit program on 64-bit Windows without composition shows translucent
// pixels of older skins too faint: each colour loses a sixteenth of itself
// and the alpha grows with the pixel's spread of colour.
void StrengthenTranslucentPixels(TBitmap* Bmp) {
    ::GdiFlush();
    for (Integer y = 0; y < Bmp->Height(); ++y) {
        auto* row = static_cast<std::uint8_t*>(Bmp->ScanLine(y));
        for (Integer x = 0; x < Bmp->Width(); ++x) {
            std::uint8_t* p = row + 4 * x;
            const int b = p[0], g = p[1], r = p[2], a = p[3];
            if (a == 255) continue;
            const int d = std::max({std::abs(b - g), std::abs(r - g), std::abs(r - b)});
            if (d == 0) continue;
            p[0] = static_cast<std::uint8_t>(b - (b >> 4));
            p[1] = static_cast<std::uint8_t>(g - (g >> 4));
            p[2] = static_cast<std::uint8_t>(r - (r >> 4));
            const double grown = std::nearbyint(2.0 * (255 - a) / std::sqrt(255.0 / d) + a);
            p[3] = static_cast<std::uint8_t>(std::min(grown, 255.0));
        }
    }
}

}  // namespace

// ---- the cache ------------------------------------------------------------------

void TsSkinProvider::PaintNonClientCache() {
    TsSkinManager* manager = Manager();
    if (Form == nullptr || manager == nullptr) return;
    if ((Form->ControlState() & csCreating) != 0 || (FormState & (FS_BLENDMOVING | FS_ANIMCLOSING)) != 0 ||
        !manager->IsValidSkinIndex(FCommonData->SkinIndex))
        return;

    const TRect shadow = ShadowSize();
    const Integer width = CaptionWidth();
    const bool iconic = IsIconic();
    Integer height = WindowHeightOf(Form);
    if (iconic && Application->MainForm() != Form)
        height = SysBorderHeight(Form->Handle(), BorderForm) + CaptionHeight(true) + 2;
    if (BorderForm != nullptr)
        height += ExtBorderDiff(BorderForm) + ExtTitleDiff(BorderForm) + shadow.Top + shadow.Bottom +
                  (MenuHeight() != 0 ? 1 : 0);
    const Integer titleBottom = SysBorderHeight(Form->Handle(), BorderForm) + CaptionHeight(true) + shadow.Top;
    const TRect frame(shadow.Left, shadow.Top, width - shadow.Right, height - shadow.Bottom);
    const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(FCommonData->SkinIndex)];
    const Integer state = FormActive && section.States > 1 ? 1 : 0;
    const bool extended = BorderForm != nullptr && manager->SkinData()->ExDrawMode == 1;

    if (FCommonData->FCacheBmp == nullptr) {
        FCommonData->FCacheBmp = CreateWorkBitmap(0, 0);
        FCommonData->UpdateCtrlState(!Form->HasState(csLoading));
    }
    TBitmap* cache = FCommonData->FCacheBmp;

    // An MDI parent whose maximized child is being shown keeps its image
    // while its menu line is rebuilt.
    const bool keepMdiImage = MDIForm != nullptr && ChildMaximized && MenuChanged;
    if (!keepMdiImage && FCommonData->BGChanged) {
        RgnChanged = true;
        cache->SetSize(width, height);

        // Background.
        TCacheInfo ci;
        if (Form->Parent() != nullptr) FCommonData->GetParentCache(ci);
        const bool plain = (FCommonData->CtrlSkinState & ACS_PLAINBG) != 0;
        const TsMaskData* border =
            ValidMask(manager, FCommonData->BorderIndex) ? &manager->ma()[static_cast<std::size_t>(FCommonData->BorderIndex)]
                                                         : nullptr;
        if (plain) {
            const TColor color = FormColor();
            if (BorderForm != nullptr) {
                FillRect32(cache, frame, color);
                if (!extended && border != nullptr) DrawSkinRect(cache, frame, true, state, *border, ci);
            } else {
                const Integer top = titleBottom + (MenuPresent() ? GetLinesCount() * MenuHeight() + 1 : 0);
                FillRect32(cache, TRect(0, top, width, height), color);
                if (border != nullptr) DrawSkinRect(cache, TRect(0, 0, width, height), true, state, *border, ci);
            }
        } else if (HaveBorder() || (Form->Parent() != nullptr && !extended)) {
            PaintControlSection(FCommonData, ci, state, cache, TPoint(Form->Left(), Form->Top()),
                                TRect(0, 0, width, height), false);
        } else {
            TCacheInfo key;
            key.FillColor = static_cast<TColor>(0xFF00FF);
            PaintControlSectionBg(FCommonData, key, state, cache, TPoint(0, 0), TRect(0, 0, width, height));
        }

        if (IsGripVisible() && !plain) PaintGrip(BitmapDC(cache));
        if (!extended) PaintTitleBar();

        // The menu line of the form's own main menu.
        if (MenuPresent() && MenuHeight() > 0 && FDrawNonClientArea && manager->SkinnedPopups()) {
            const String name = FMenuLineSkin.empty() ? String(u"MENULINE") : FMenuLineSkin;
            const Integer index = manager->GetSkinIndex(name);
            const TRect line(shadow.Left, titleBottom, width - shadow.Right,
                             titleBottom + GetLinesCount() * MenuHeight() + 1);
            if (manager->IsValidSkinIndex(index) && !line.IsEmpty()) {
                PaintSection(index, name, CacheInfoOf(cache), manager->GetTextureIndex(index, name, u"HOTPATTERN"),
                             manager->GetTextureIndex(index, name, u"PATTERN"), manager, cache, TPoint(0, 0), line, 0);
                if (MenuLineBmp != nullptr) {
                    MenuLineOrigin = line.TopLeft();
                    MenuLineBmp->SetSize(line.Width(), line.Height());
                    ::BitBlt(BitmapDC(MenuLineBmp), 0, 0, line.Width(), line.Height(), BitmapDC(cache), line.Left,
                             line.Top, SRCCOPY);
                    PaintMenuLineItems(cache);
                }
            }
        }

        if (BorderForm != nullptr && !extended) PaintCaptionText();

        if (BorderForm != nullptr) {
            // The shadow of the extended border around the frame.
            TBitmap* shadowImage = FormActive ? manager->ShdaTemplate() : manager->ShdiTemplate();
            if (shadowImage != nullptr && !shadowImage->Empty()) {
                const TsMaskData* ex = ValidMask(manager, manager->ConstData().ExBorder)
                                           ? &manager->ma()[static_cast<std::size_t>(manager->ConstData().ExBorder)]
                                           : nullptr;
                TRect margins;
                if (ex != nullptr) {
                    margins = TRect(ex->WL, ex->WT, ex->WR, ex->WB);
                } else {
                    const Integer m = (shadowImage->Width() - 1) / 2;
                    margins = TRect(m, m, m, m);
                }
                if (extended && ex != nullptr) {
                    const Integer caption = CaptionHeight(true);
                    margins.Top = std::min<Integer>(margins.Top, (height - caption) / 2 + caption);
                    margins.Bottom = std::min<Integer>(margins.Bottom, (height - caption) / 2);
                }
                const Integer mode = extended && ex != nullptr && (ex->DrawMode & 1) == 0 ? 0 : 1;
                DrawImageSlices(cache, shadowImage, TRect(0, 0, width, height),
                                TRect(0, 0, shadowImage->Width(), shadowImage->Height()), margins, margins,
                                {mode, mode, mode, mode}, mode, false);
                if (extended) {
                    PaintTitleBar();
                    PaintCaptionText();
                    if (Wow64WithoutComposition && manager->SkinData()->Version < 7.51) StrengthenTranslucentPixels(cache);
                } else if (border != nullptr) {
                    // The frame's corners over the shadow.
                    const Integer titleIndex = TitleSkinIndex();
                    const Integer titleBorder =
                        manager->IsValidSkinIndex(titleIndex)
                            ? manager->GetMaskIndex(titleIndex, manager->gd()[static_cast<std::size_t>(titleIndex)].ClassName,
                                                    u"BORDERSMASK")
                            : -1;
                    const Integer topMask = ValidMask(manager, titleBorder) ? titleBorder : FCommonData->BorderIndex;
                    const Integer cw = std::min<Integer>(8, frame.Width() / 2), ch = std::min<Integer>(8, frame.Height() / 2);
                    const TRect tl = Bounds(frame.Left, frame.Top, cw, ch), tr = Bounds(frame.Right - cw, frame.Top, cw, ch);
                    const TRect bl = Bounds(frame.Left, frame.Bottom - ch, cw, ch),
                                br = Bounds(frame.Right - cw, frame.Bottom - ch, cw, ch);
                    OwnedBitmap copy(CreateBitmapLike(cache));
                    ::BitBlt(BitmapDC(copy.get()), 0, 0, width, height, BitmapDC(cache), 0, 0, SRCCOPY);
                    CopyTransparentPixels(cache, copy.get(), tl, 0, manager, topMask, tl.TopLeft());
                    CopyTransparentPixels(cache, copy.get(), tr, 14, manager, topMask, tr.TopLeft());
                    CopyTransparentPixels(cache, copy.get(), bl, 16, manager, FCommonData->BorderIndex, bl.TopLeft());
                    CopyTransparentPixels(cache, copy.get(), br, 17, manager, FCommonData->BorderIndex, br.TopLeft());
                }
            }
        }

        if (BorderForm == nullptr) PaintCaptionText();

        if (CaptionHeight(true) != 0 && FDrawNonClientArea) {
            SaveButtonsArea(true);
            PaintCaptionButtons();
        }

        MenuChanged = false;
        FCommonData->BGChanged = false;
        if (Form->OnPaint && !plain) RunFormOnPaint(cache);
        FirstInitialized = true;
    }
    FCommonData->FUpdating = false;
}

void TsSkinProvider::RunFormOnPaint(TBitmap* Cache) {
    // The form's own painting goes over the image, in client coordinates:
    // the cache DC's origin is moved to the client's place in the cache.
    TCanvas* canvas = Form->Canvas();
    canvas->Lock();
    const HDC previous = canvas->HandleAllocated() ? canvas->Handle() : nullptr;
    const HDC dc = BitmapDC(Cache);
    POINT origin;
    ::GetWindowOrgEx(dc, &origin);
    ::SetWindowOrgEx(dc, origin.x - OffsetX(), origin.y - OffsetY(), nullptr);
    struct Restore {
        TCanvas* Canvas;
        HDC Previous, DC;
        POINT Origin;
        ~Restore() {
            Canvas->SetHandle(Previous);
            ::SetWindowOrgEx(DC, Origin.x, Origin.y, nullptr);
            Canvas->Unlock();
        }
    } restore{canvas, previous, dc, origin};
    canvas->SetHandle(dc);
    Form->OnPaint(Form);
    ::GdiFlush();
}

void TsSkinProvider::PaintTitleBar() {
    TsSkinManager* manager = Manager();
    TBitmap* cache = FCommonData->FCacheBmp;
    if (manager == nullptr || cache == nullptr || CaptionHeight(true) == 0 || !FDrawNonClientArea) return;
    const TRect shadow = ShadowSize();
    const Integer width = cache->Width();
    const Integer titleBottom = SysBorderHeight(Form->Handle(), BorderForm) + CaptionHeight(true) + shadow.Top;
    const bool frameActive = FormActive;

    const Integer index = TitleSkinIndex();
    if (manager->IsValidSkinIndex(index)) {
        const TsGeneralData& title = manager->gd()[static_cast<std::size_t>(index)];
        const Integer state = frameActive && title.States > 1 ? 1 : 0;
        const Integer bottom = IsIconic() && Form->Parent() != nullptr ? cache->Height() : titleBottom;
        const TRect r(shadow.Left, shadow.Top, width - shadow.Right, bottom);
        const String& name = title.ClassName;
        PaintSection(index, name, CacheInfoOf(cache), manager->GetTextureIndex(index, name, u"HOTPATTERN"),
                     manager->GetTextureIndex(index, name, u"PATTERN"), manager, cache, TPoint(0, 0), r, state);
    }
    PaintTitleIcon();

    if (SysButtonCount() > 0 && manager->IsValidSkinIndex(FCommonData->SkinIndex)) {
        const Integer mask = manager->GetMaskIndex(FCommonData->SkinIndex, FCommonData->SkinSection(), u"TITLEBAR");
        if (ValidMask(manager, mask)) {
            const TsMaskData& bar = manager->ma()[static_cast<std::size_t>(mask)];
            const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(FCommonData->SkinIndex)];
            const Integer state = frameActive && section.States > 1 ? 1 : 0;
            const TRect r(CaptionWidth() - (2 * MaskFrameWidth(bar) + TitleButtonsWidth()), 0, width,
                          CaptionHeight(true) + SysBorderHeight(Form->Handle(), BorderForm, false));
            DrawSkinRect(cache, r, true, state, bar, CacheInfoOf(cache));
        }
    }
}

void TsSkinProvider::PaintCaptionText() {
    TsSkinManager* manager = Manager();
    TBitmap* cache = FCommonData->FCacheBmp;
    if (manager == nullptr || cache == nullptr || CaptionHeight(true) == 0 || !FDrawNonClientArea) return;
    const TsSkinData& skin = *manager->SkinData();
    const TRect shadow = ShadowSize();
    const HWND wnd = Form->Handle();
    const Integer titleBottom = SysBorderHeight(wnd, BorderForm) + CaptionHeight(true) + shadow.Top;

    // The room between the icon and the buttons.
    TRect r;
    r.Left = SysBorderWidth(wnd, BorderForm) + (IconVisible() ? TitleIconRect().Width() : 0) + skin.BILeftMargin +
             shadow.Left + (FCaptionSkinIndex >= 0 ? 2 : 0) + 4;
    r.Right = cache->Width() - TitleButtonsWidth() - shadow.Right - 12;
    r.Top = shadow.Top + (IsZoomed() ? (BorderForm != nullptr ? 1 : 3) : 2);
    r.Bottom = titleBottom;
    if (BorderForm != nullptr) {
        r.Offset(0, skin.ExCenterOffs);
        if (IsZoomed() && skin.ExMaxHeight != 0 && skin.ExMaxHeight != skin.ExTitleHeight)
            r.Offset(0, (skin.ExTitleHeight - skin.ExMaxHeight) / 2);
    }
    if (r.Right <= r.Left) return;

    // The caption font: the system's, with the form's character set.
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
    TCanvas* canvas = cache->Canvas();
    TFont* font = canvas->Font();
    font->SetName(String(reinterpret_cast<const Char*>(ncm.lfCaptionFont.lfFaceName)));
    font->SetHeight(ncm.lfCaptionFont.lfHeight);
    font->SetCharset(Form->Font()->Charset());
    font->SetStyle(ncm.lfCaptionFont.lfWeight >= FW_BOLD ? TFontStyles{fsBold} : TFontStyles{});
    const HDC dc = canvas->Handle();

    const bool rtl = (::GetWindowLongW(wnd, GWL_EXSTYLE) & (WS_EX_RTLREADING | WS_EX_LAYOUTRTL)) != 0;
    const Cardinal flags = kCaptionFlags | (rtl ? DT_RTLREADING : 0);
    const String caption = Form->Caption();
    const String& added = FAddedTitle->Text();
    const bool showMain = FAddedTitle->ShowMainCaption();

    auto measure = [&](const String& text) -> Integer {
        if (text.empty()) return 0;
        canvas->TextExtent(text);   // puts the canvas font into the DC
        RECT m{0, 0, 0x7FFF, 0};   // room enough: the ellipsis must not shorten what is measured
        ::DrawTextW(dc, reinterpret_cast<LPCWSTR>(text.c_str()), -1, &m, flags | DT_CALCRECT);
        return m.right - m.left;
    };
    const Integer captionWidth = showMain ? measure(caption) : 0;
    Integer addedWidth = 0;
    if (!added.empty()) {
        TFont* saved = New<TFont>();
        saved->Assign(font);
        font->Assign(FAddedTitle->Font());
        addedWidth = measure(added);
        font->Assign(saved);
        saved->Free();
    }
    const Integer widths = captionWidth + (addedWidth != 0 ? addedWidth + 4 : 0);

    TAlignment align = FCaptionAlignment;
    if (rtl) {
        if (align == taLeftJustify)
            align = taRightJustify;
        else if (align == taRightJustify)
            align = taLeftJustify;
    }
    if (align == taRightJustify) {
        if (r.Right - (widths + 4) > r.Left) r.Left = r.Right - (widths + 4);
    } else if (align == taCenter) {
        r.Left = std::max<Integer>(r.Left, r.Left + (r.Width() - widths - 4) / 2);
        r.Right = std::min<Integer>(r.Right, r.Left + widths + 4);
    }

    // The section whose colours the caption takes.
    Integer sectionIndex = TitleSkinIndex();
    const bool active = FormActive;
    if (manager->IsValidSkinIndex(FCaptionSkinIndex)) {
        const TsGeneralData& cs = manager->gd()[static_cast<std::size_t>(FCaptionSkinIndex)];
        const Integer state = active && cs.States > 1 ? 1 : 0;
        // The text's area grown by 4 and 2, kept inside the title band.
        TRect area = r;
        area.Left = std::max<Integer>(area.Left - 4, shadow.Left);
        area.Top = std::max<Integer>(area.Top - 2, shadow.Top);
        area.Right = std::min<Integer>(area.Right + 4, cache->Width() - shadow.Right);
        area.Bottom = std::min<Integer>(area.Bottom + 2, titleBottom);
        OwnedBitmap under(CreateBitmapLike(cache));
        ::BitBlt(BitmapDC(under.get()), 0, 0, cache->Width(), cache->Height(), BitmapDC(cache), 0, 0, SRCCOPY);
        PaintSection(FCaptionSkinIndex, cs.ClassName, CacheInfoOf(under.get()),
                     manager->GetTextureIndex(FCaptionSkinIndex, cs.ClassName, u"HOTPATTERN"),
                     manager->GetTextureIndex(FCaptionSkinIndex, cs.ClassName, u"PATTERN"), manager, cache,
                     TPoint(0, 0), area, state);
        sectionIndex = FCaptionSkinIndex;
    }
    if (!manager->IsValidSkinIndex(sectionIndex)) sectionIndex = FCommonData->SkinIndex;
    if (!manager->IsValidSkinIndex(sectionIndex)) return;
    const TsGeneralData& section = manager->gd()[static_cast<std::size_t>(sectionIndex)];

    TRect captionRect = r;
    if (!caption.empty() && showMain) {
        const bool skipGlow = Wow64WithoutComposition && skin.Version <= 7.5;
        const Integer glowSize = active ? section.HotGlowSize : section.GlowSize;
        if (!skipGlow && glowSize != 0) {
            TBitmap*& glow = active ? FGlow1 : FGlow2;
            DrawBlurredText(cache, caption, captionRect, glow, active ? section.HotGlowColor : section.GlowColor,
                            glowSize, acContourAll, flags);
        }
        ::SetBkMode(dc, TRANSPARENT);
        if (BorderForm != nullptr)
            WriteTextWithContour(cache, caption, true, manager, active, sectionIndex, flags, captionRect);
        else
            DrawSectionText(canvas, caption, true, manager, active, sectionIndex, flags, captionRect);
    }

    // The added title after the caption.
    if (!added.empty()) {
        const Integer left = r.Left + (captionWidth != 0 ? captionWidth + 4 : 0);
        if (r.Right - left >= 4) {
            const TRect addedRect(left, r.Top, r.Right, r.Bottom);
            font->Assign(FAddedTitle->Font());
            const TsGenState& normal = StateProps(section, 0);
            const TsGenState& hot = StateProps(section, 1);
            TColor color = FAddedTitle->Font()->Color();
            if (color == clNone || color == clWindowText)
                color = active ? hot.FontColor.Color : normal.FontColor.Color;
            else
                color = ColorToRGB(color);
            if (!active) color = BlendColors(color, normal.FontColor.Color, 0.5);
            DrawTextOnBitmap32(cache, added, color, flags, addedRect, true);
        }
    }
}

// ---- caption buttons -------------------------------------------------------------

void TsSkinProvider::PaintCaptionButtons() {
    TsSkinManager* manager = Manager();
    TBitmap* cache = FCommonData->FCacheBmp;
    if (manager == nullptr || cache == nullptr || !HaveBorder()) return;
    RestoreButtonsArea();
    LayoutCaptionButtons();
    const TsSkinOptions& skin = *manager->SkinData();
    (void)skin;

    if (SystemMenu != nullptr && HaveSysMenu) {
        const bool zoomed = IsZoomed();
        if (ButtonClose.State >= 0 && ValidMask(manager, ButtonClose.ImageIndex))
            PlaceCaptionButton(ButtonClose, ButtonClose.ImageIndex, nullptr, SystemMenu->VisibleClose());
        if (ButtonMax.State >= 0 && SystemMenu->VisibleMax()) {
            if (zoomed) {
                Integer norm = manager->GetMaskIndex(u"GLOBALINFO", u"BICONNORM");
                if (!ValidMask(manager, norm))
                    norm = manager->GetMaskIndex(FCommonData->SkinIndex, FCommonData->SkinSection(), u"BICONNORM");
                PlaceCaptionButton(ButtonMax, norm, nullptr, SystemMenu->EnabledRestore());
            } else {
                PlaceCaptionButton(ButtonMax, ButtonMax.ImageIndex, nullptr, SystemMenu->EnabledMax());
            }
        }
        if (ButtonMin.State >= 0 && SystemMenu->VisibleMin()) {
            if (IsIconic() && Application->MainForm() != Form)
                PlaceCaptionButton(ButtonMin, manager->GetMaskIndex(u"GLOBALINFO", u"BICONNORM"), nullptr,
                                   SystemMenu->EnabledRestore());
            else
                PlaceCaptionButton(ButtonMin, ButtonMin.ImageIndex, nullptr, SystemMenu->EnabledMin());
        }
        if (ButtonHelp.State >= 0 && HasBorderIcon(kBorderIconHelp) && ValidMask(manager, ButtonHelp.ImageIndex))
            PlaceCaptionButton(ButtonHelp, ButtonHelp.ImageIndex, nullptr, true);
    }

    if (FTitleButtons != nullptr) {
        for (Integer i = 0; i < FTitleButtons->Count(); ++i) {
            TsTitleButton* b = FTitleButtons->Items(i);
            if (!b->Visible()) continue;
            b->BtnData.HitCode = static_cast<Cardinal>(HTUDBTN + i);
            const Integer image = b->UseSkinData() && ValidMask(manager, UserBtnIndex) ? UserBtnIndex : -1;
            PlaceCaptionButton(b->BtnData, image, b, b->Enabled());
        }
    }
}

void TsSkinProvider::PlaceCaptionButton(TsCaptionButton& Btn, Integer ImageIndex, TsTitleButton* TitleButton,
                                        bool Enabled) {
    TsSkinManager* manager = Manager();
    TBitmap* cache = FCommonData->FCacheBmp;
    if (manager == nullptr || cache == nullptr || Btn.Rect.IsEmpty()) return;
    if (Btn.State < 0) Btn.State = 0;
    const Integer frame = Btn.Timer != nullptr ? 0 : Btn.State;
    if (ValidMask(manager, ImageIndex)) {
        const Integer mode = (!FormActive || !Enabled) && frame == 0 ? 2 : 1;
        DrawGlyphMask(cache, Btn.Rect.TopLeft(), frame, CacheInfoOf(cache), manager->ma()[static_cast<std::size_t>(ImageIndex)],
                      mode);
    }
    if (TitleButton != nullptr)
        DrawUserGlyph(cache, TitleButton->Glyph(), Btn.Rect, Btn.Rect.Height(), false);
}

void TsSkinProvider::SaveButtonsArea(bool Full) {
    TBitmap* cache = FCommonData->FCacheBmp;
    if (TempBmp == nullptr || cache == nullptr) return;
    const HWND wnd = Form->Handle();
    const TRect shadow = ShadowSize();
    const Integer width = SysBorderWidth(wnd, BorderForm) + TitleButtonsWidth() + shadow.Right + 10;
    const Integer height = SysBorderHeight(wnd, BorderForm) + CaptionHeight(true) +
                           SysBorderWidth(wnd, BorderForm, false) + MenuHeight() + shadow.Top;
    TempBmp->SetPixelFormat(cache->PixelFormat());
    TempBmp->SetSize(width, height);
    // The area lies at the cache's right edge; the single-button repaint
    // reads it back at the same place.
    const Integer left = CaptionWidth() - width;
    const Integer rows = Full ? height : SysBorderHeight(wnd, BorderForm) + CaptionHeight(true);
    ::BitBlt(BitmapDC(TempBmp), 0, 0, width, rows, BitmapDC(cache), left, 0, SRCCOPY);
}

void TsSkinProvider::RestoreButtonsArea() {
    TBitmap* cache = FCommonData->FCacheBmp;
    if (TempBmp == nullptr || cache == nullptr || TempBmp->Empty()) return;
    ::BitBlt(BitmapDC(cache), CaptionWidth() - TempBmp->Width(), 0, TempBmp->Width(), TempBmp->Height(),
             BitmapDC(TempBmp), 0, 0, SRCCOPY);
}

void TsSkinProvider::RepaintCaptionButton(Integer HitCode) {
    TsSkinManager* manager = Manager();
    TBitmap* cache = FCommonData->FCacheBmp;
    if (manager == nullptr || cache == nullptr || Form == nullptr || !Form->HandleAllocated()) return;
    TsCaptionButton* btn = ButtonOf(HitCode);
    if (btn == nullptr || btn->State == -1 || btn->Rect.IsEmpty()) return;
    // The fade of a caption button belongs to the button animations; until
    // a button has one it is repainted at once.

    // The clean title under the button.
    if (TempBmp != nullptr && !TempBmp->Empty() && btn->Rect.Left > TitleIconRect().Right) {
        const Integer left = CaptionWidth() - TempBmp->Width();
        const Integer srcX = btn->Rect.Left - left;
        const Integer w = std::min<Integer>(btn->Rect.Width(), TempBmp->Width() - srcX);
        const Integer h = std::min<Integer>(btn->Rect.Height(), TempBmp->Height() - btn->Rect.Top);
        if (srcX >= 0 && w > 0 && h > 0 && btn->Rect.Top >= 0)
            ::BitBlt(BitmapDC(cache), btn->Rect.Left, btn->Rect.Top, w, h, BitmapDC(TempBmp), srcX, btn->Rect.Top,
                     SRCCOPY);
    }

    // The glyph for the button's present meaning.
    Integer image = btn->ImageIndex;
    bool enabled = true;
    TsTitleButton* titleButton = nullptr;
    const bool iconic = IsIconic();
    if (HitCode >= HTUDBTN) {
        titleButton = FTitleButtons != nullptr ? FTitleButtons->Items(HitCode - HTUDBTN) : nullptr;
        if (titleButton == nullptr) return;
        enabled = titleButton->Enabled();
        image = titleButton->UseSkinData() && ValidMask(manager, UserBtnIndex) ? UserBtnIndex : -1;
    } else if (HitCode == HTCHILDMIN || HitCode == HTCHILDMAX || HitCode == HTCHILDCLOSE) {
        // The merged buttons of a maximized MDI child come with the MDI support.
        return;
    } else if (SystemMenu != nullptr) {
        switch (HitCode) {
        case HTCAPTIONBTN_MAX:
            if (iconic) {
                image = manager->GetMaskIndex(u"GLOBALINFO", u"BICONMAX");
                enabled = SystemMenu->EnabledMax();
            } else if (IsZoomed()) {
                image = manager->GetMaskIndex(u"GLOBALINFO", u"BICONNORM");
                if (!ValidMask(manager, image))
                    image = manager->GetMaskIndex(FCommonData->SkinIndex, FCommonData->SkinSection(), u"BICONNORM");
                enabled = SystemMenu->EnabledRestore();
            } else {
                enabled = SystemMenu->EnabledMax();
            }
            break;
        case HTCAPTIONBTN_MIN:
            if (iconic) {
                image = manager->GetMaskIndex(u"GLOBALINFO", u"BICONNORM");
                enabled = SystemMenu->EnabledRestore();
            } else {
                enabled = SystemMenu->EnabledMin();
            }
            break;
        case HTCAPTIONBTN_CLOSE:
            enabled = SystemMenu->VisibleClose();
            break;
        default:
            break;
        }
    }
    const Integer state = std::max<Integer>(btn->State, 0);
    if (ValidMask(manager, image)) {
        Integer mode;
        if (titleButton != nullptr)
            mode = state == 0 && !FormActive ? 2 : 1;
        else
            mode = !enabled || (state == 0 && !FormActive) ? 2 : 1;
        DrawGlyphMask(cache, btn->Rect.TopLeft(), state, CacheInfoOf(cache), manager->ma()[static_cast<std::size_t>(image)],
                      mode);
    }
    if (titleButton != nullptr) DrawUserGlyph(cache, titleButton->Glyph(), btn->Rect, btn->Rect.Height(), state == 2);

    // Onto the window.
    {
        WindowDC dc(Form->Handle());
        if (dc.Handle() != nullptr) {
            const TRect r = btn->Rect;
            ::BitBlt(dc.Handle(), r.Left, r.Top, r.Width(), r.Height(), BitmapDC(cache), r.Left, r.Top, SRCCOPY);
        }
    }

    // The glow of a hot system button.
    const bool glowing = HitCode == HTCAPTIONBTN_MIN || HitCode == HTCAPTIONBTN_MAX || HitCode == HTCAPTIONBTN_CLOSE;
    if (btn->State != 1 || !glowing) {
        DropGlow(btn->GlowID);
        return;
    }
    const TsSkinOptions& skin = *manager->SkinData();
    const Integer glowSize = HitCode == HTCAPTIONBTN_MIN   ? skin.BIMinGlow
                             : HitCode == HTCAPTIONBTN_MAX ? skin.BIMaxGlow
                                                           : skin.BICloseGlow;
    const Integer margin = HitCode == HTCAPTIONBTN_MIN   ? skin.BIMinGlowMargin
                           : HitCode == HTCAPTIONBTN_MAX ? skin.BIMaxGlowMargin
                                                         : skin.BICloseGlowMargin;
    if (glowSize > 0 && manager->AllowGlowing() && Form->Parent() == nullptr && !IsMDIChild() && btn->GlowID < 0) {
        RECT wr;
        ::GetWindowRect(Form->Handle(), &wr);
        const TRect screen = Bounds(wr.left + btn->Rect.Left, wr.top + btn->Rect.Top, btn->Rect.Width(),
                                    btn->Rect.Height());
        btn->GlowID = ShowGlow(screen, TRect(0, 0, screen.Width(), screen.Height()), u"GLOBALINFO", manager,
                               Form->Handle(), 255, margin, MaskName(manager, image) + u"GLOW");
    }
}

// ---- hot and pressed buttons ------------------------------------------------------

namespace {

TsTitleButton* TitleButtonOf(TsTitleButtons* Buttons, Integer HitCode) {
    if (Buttons == nullptr || HitCode < HTUDBTN || HitCode - HTUDBTN >= Buttons->Count()) return nullptr;
    return Buttons->Items(HitCode - HTUDBTN);
}

}  // namespace

void TsSkinProvider::SetHotHT(Integer HitCode, bool Repaint) {
    if (!FDrawNonClientArea) return;
    if (HitCode == CurrentHT || (CurrentHT == -1 && HitCode == 0)) return;
    if (TsCaptionButton* old = ButtonOf(CurrentHT)) {
        old->State = 0;
        if (TsTitleButton* b = TitleButtonOf(FTitleButtons, CurrentHT)) HideTitleButtonHint(b);
        if (Repaint)
            RepaintCaptionButton(CurrentHT);
        else
            DropGlow(old->GlowID);   // not left over the place of a form that went to its taskbar button
    }
    CurrentHT = HitCode;
    if (acBtnPressed) return;
    if (TsCaptionButton* now = ButtonOf(HitCode)) {
        now->State = 1;
        if (TsTitleButton* b = TitleButtonOf(FTitleButtons, HitCode)) ShowTitleButtonHint(b);
        if (Repaint) RepaintCaptionButton(HitCode);
    }
}

void TsSkinProvider::SetPressedHT(Integer HitCode) {
    if (HitCode != CurrentHT && CurrentHT != 0) {
        if (TsCaptionButton* old = ButtonOf(CurrentHT)) {
            old->State = 0;
            RepaintCaptionButton(CurrentHT);
        }
    }
    CurrentHT = HitCode;
    TsCaptionButton* now = ButtonOf(HitCode);
    if (now == nullptr) return;
    if (HitCode == HTCAPTIONBTN_MAX && SystemMenu != nullptr && !SystemMenu->EnabledMax() &&
        !(IsZoomed() && SystemMenu->EnabledRestore())) {
        CurrentHT = 0;
        return;
    }
    if (HitCode == HTCHILDMAX && (SystemMenu == nullptr || !SystemMenu->EnabledMax())) return;
    now->State = 2;
    acBtnPressed = true;
    RepaintCaptionButton(HitCode);
}

void TsSkinProvider::ShowTitleButtonHint(TsTitleButton* Btn) {
    if (Btn == nullptr) return;
    HideTitleButtonHint(Btn);
    if (Btn->FHint.empty()) return;
    auto* hint = New<THintWindow>(Application);
    Btn->HintWnd = hint;
    FreeNotification(hint);
    TRect r = hint->CalcHintRect(800, Btn->FHint);
    POINT cursor = {0, 0};
    ::GetCursorPos(&cursor);
    // Four pixels more room below the text. Added before the hint is kept
    // inside the work area so that the extra room cannot stick out of it.
    r = Bounds(cursor.x + 8, cursor.y + 16, r.Width(), r.Height() + 4);
    // Kept on the form's monitor: moved left and up where it would leave the
    // work area.
    if (TMonitor* monitor = Form != nullptr ? Form->Monitor() : nullptr) {
        const TRect work = monitor->WorkareaRect();
        if (r.Right > work.Right) r = Bounds(work.Right - r.Width(), r.Top, r.Width(), r.Height());
        if (r.Bottom > work.Bottom) r = Bounds(r.Left, work.Bottom - r.Height(), r.Width(), r.Height());
    }
    hint->SetText(Btn->FHint);
    hint->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    const HWND wnd = hint->Handle();
    ::SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    if (TitleButtonHintFades(Btn->FHint)) ::AnimateWindow(wnd, 200, AW_BLEND);
    hint->ActivateHint(r, Btn->FHint);
}

bool TsSkinProvider::TitleButtonHintFades(const String& Hint) {
    BOOL animation = FALSE, fade = FALSE;
    return Hint.size() < 100 && ::SystemParametersInfoW(SPI_GETTOOLTIPANIMATION, 0, &animation, 0) && animation &&
           ::SystemParametersInfoW(SPI_GETTOOLTIPFADE, 0, &fade, 0) && fade;
}

void TsSkinProvider::HideTitleButtonHint(TsTitleButton* Btn) {
    if (Btn != nullptr && Btn->HintWnd != nullptr) {
        Btn->HintWnd->Free();
        Btn->HintWnd = nullptr;
    }
}

void TsSkinProvider::PaintMenuLineItems(TBitmap* Cache) {
    TsSkinManager* manager = Manager();
    TMainMenu* menu = Form ? Form->Menu() : nullptr;
    if (!manager || !menu || !Form->HandleAllocated()) return;
    HWND wnd = Form->Handle();
    HMENU bar = ::GetMenu(wnd);
    if (!bar) return;
    TsSkinableMenus* menus = manager->SkinableMenus();
    const TAdvancedMenuDrawItemEvent lineDraw =
        TAdvancedMenuDrawItemEvent::Of<&TsSkinableMenus::sAdvancedDrawLineItem>(menus);
    TMenuItem* root = menu->Items();
    // Under desktop composition the line's handlers are set up again first.
    if (IsAeroEnabled()) menus->InitMenuLine(menu, true);
    bool missing = false;
    for (Integer i = 0; i < root->Count(); ++i)
        if (root->Items(i)->Visible() && !(root->Items(i)->OnAdvancedDrawItem == lineDraw)) missing = true;
    if (missing) {
        // Items added since the line was set up get the skinned handlers.
        menus->InitMenuLine(menu, true);
        if (!menu->OwnerDraw()) UpdateMenu();
        bar = ::GetMenu(wnd);
        if (!bar) return;
    }
    RECT wr{};
    ::GetWindowRect(wnd, &wr);
    const TRect shadow = ShadowSize();
    const Integer dx = ExtBorderDiff(BorderForm) + shadow.Left - wr.left;
    const Integer dy = ExtTitleDiff(BorderForm) + shadow.Top - wr.top + (FSysExHeight ? 4 : 0);
    TCanvas* canvas = Cache->Canvas();
    for (Integer i = 0; i < root->Count(); ++i) {
        TMenuItem* item = root->Items(i);
        const Integer pos = item->MenuIndex();
        RECT r{};
        if (pos < 0 || !::GetMenuItemRect(wnd, bar, static_cast<UINT>(pos), &r)) continue;
        if (!item->OnAdvancedDrawItem) continue;
        const TRect at(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);
        item->OnAdvancedDrawItem(item, canvas, at, OwnerDrawStateFromBits(0x500));
    }
}

TPoint TsSkinProvider::MenuLineBmpPoint(const TRect& ItemRect, bool OnCache) const {
    // Window coordinates lie in the cache moved by the extended border's
    // margins.
    TPoint p = ItemRect.TopLeft();
    if (!OnCache && BorderForm != nullptr) {
        const TRect shadow = ShadowSize();
        p.X += ExtBorderDiff(BorderForm) + shadow.Left;
        p.Y += ExtTitleDiff(BorderForm) + shadow.Top + (FSysExHeight ? 4 : 0);
    }
    return TPoint(p.X - MenuLineOrigin.X, p.Y - MenuLineOrigin.Y);
}

void TsSkinProvider::EnableSysMenuItem(UINT Command, bool Enabled) {
    if (Form == nullptr || !Form->HandleAllocated()) return;
    ::EnableMenuItem(::GetSystemMenu(Form->Handle(), FALSE), Command,
                     MF_BYCOMMAND | (Enabled ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
}

// ---- icon and grip -----------------------------------------------------------------

void TsSkinProvider::PaintTitleIcon() {
    TBitmap* cache = FCommonData->FCacheBmp;
    if (cache == nullptr || !IconVisible()) return;
    TRect r = TitleIconRect();
    r.Left = std::max<Integer>(r.Left, 0);
    r.Top = std::max<Integer>(r.Top, 0);
    r.Right = std::min<Integer>(r.Right, cache->Width());
    r.Bottom = std::min<Integer>(r.Bottom, cache->Height());
    if (r.IsEmpty()) return;
    TBitmap* glyph = FTitleIcon != nullptr ? FTitleIcon->Glyph() : nullptr;

    if (glyph == nullptr || glyph->Empty()) {
        // The icon over the title, then every pixel the icon left alone keeps
        // the title's pixel and alpha; the icon's own pixels become opaque.
        OwnedBitmap under(CreateWorkBitmap(r.Width(), r.Height()));
        ::BitBlt(BitmapDC(under.get()), 0, 0, r.Width(), r.Height(), BitmapDC(cache), r.Left, r.Top, SRCCOPY);
        // The form's own icon, else the application's small icon, else the
        // program's own (large above 16 pixels), else the system's.
        HICON icon = Form->Icon()->Empty() ? nullptr : Form->Icon()->Handle();
        if (icon == nullptr && Application->HandleAllocated())
            icon = reinterpret_cast<HICON>(::SendMessageW(Application->Handle(), WM_GETICON, ICON_SMALL2, 0));
        HICON loaded = nullptr;
        if (icon == nullptr) {
            const Integer size = r.Height() > 16 ? ::GetSystemMetrics(SM_CXICON) : ::GetSystemMetrics(SM_CXSMICON);
            loaded = static_cast<HICON>(
                ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
            icon = loaded;
        }
        if (icon == nullptr) icon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
        ::DrawIconEx(BitmapDC(cache), r.Left, r.Top, icon, r.Width(), r.Height(), 0, nullptr, DI_NORMAL);
        if (loaded != nullptr) ::DestroyIcon(loaded);
        ::GdiFlush();
        for (Integer y = 0; y < r.Height(); ++y) {
            auto* dst = static_cast<std::uint32_t*>(cache->ScanLine(r.Top + y)) + r.Left;
            const auto* src = static_cast<const std::uint32_t*>(under->ScanLine(y));
            for (Integer x = 0; x < r.Width(); ++x) {
                if ((dst[x] & 0xFFFFFF) == (src[x] & 0xFFFFFF))
                    dst[x] = src[x];
                else
                    dst[x] |= 0xFF000000u;
            }
        }
        return;
    }

    // A custom glyph: 32-bit through its alpha, else key-colour transparent.
    OwnedBitmap own(CreateWorkBitmap(glyph->Width(), glyph->Height()));
    ::BitBlt(BitmapDC(own.get()), 0, 0, glyph->Width(), glyph->Height(), BitmapDC(glyph), 0, 0, SRCCOPY);
    ::GdiFlush();
    if (glyph->PixelFormat() != pf32bit && glyph->PixelFormat() != pfDevice) {
        for (Integer y = 0; y < own->Height(); ++y) {
            auto* p = static_cast<std::uint32_t*>(own->ScanLine(y));
            for (Integer x = 0; x < own->Width(); ++x)
                p[x] = (p[x] & 0xFFFFFF) == 0xFF00FF ? 0x00FF00FFu : (p[x] | 0xFF000000u);
        }
        const Integer automatic = IconSizeFor(HeaderHeight() - 2);
        const Integer w = FTitleIcon->Width() != 0 ? FTitleIcon->Width() : automatic;
        const Integer h = FTitleIcon->Height() != 0 ? FTitleIcon->Height() : automatic;
        OwnedBitmap sized(CreateWorkBitmap(w, h));
        ::SetStretchBltMode(BitmapDC(sized.get()), COLORONCOLOR);
        ::StretchBlt(BitmapDC(sized.get()), 0, 0, w, h, BitmapDC(own.get()), 0, 0, own->Width(), own->Height(),
                     SRCCOPY);
        ::GdiFlush();
        CopyTransparentRect(cache, sized.get(), r.Left, r.Top, TRect(0, 0, w, h), static_cast<TColor>(0xFF00FF));
    } else {
        CopyThroughMask(Bounds(r.Left, r.Top, own->Width(), own->Height()), TRect(0, 0, own->Width(), own->Height()),
                        cache, own.get(), TCacheInfo{}, false);
    }
}

void TsSkinProvider::PaintGrip(HDC DC) {
    TsSkinManager* manager = Manager();
    TBitmap* cache = FCommonData->FCacheBmp;
    if (manager == nullptr || cache == nullptr || DC == nullptr) return;
    const Integer index = manager->ConstData().GripRightBottom;
    if (!ValidMask(manager, index)) return;
    const TsMaskData& grip = manager->ma()[static_cast<std::size_t>(index)];
    const Integer w = MaskFrameWidth(grip), h = MaskFrameHeight(grip);
    if (w <= 0 || h <= 0) return;
    const TPoint at = GripPoint(index);
    OwnedBitmap bmp(CreateWorkBitmap(w, h));

    // What lies under the grip: the form's parent answers with an image or a
    // colour; a top-level form has its own image there.
    TBackgroundInfo info{};
    bool colour = false;
    if (Form->Parent() != nullptr) {
        info.R = Bounds(at.X, at.Y, w, h);
        QueryControlBackground(info, Form->Parent(), false);
        colour = info.BgType == 1;
    }
    if (colour) {
        FillRect32(bmp.get(), TRect(0, 0, w, h), info.Color);
        const Integer frameWidth = SysBorderWidth(Form->Handle(), BorderForm);
        if (ValidMask(manager, FCommonData->BorderIndex)) {
            const TRect shadow = ShadowSize();
            const Integer dr = manager->MaskWidthRight(FCommonData->BorderIndex) - frameWidth;
            const Integer db = manager->MaskWidthBottom(FCommonData->BorderIndex) - frameWidth;
            if (dr > 0 && db > 0) {
                ::BitBlt(BitmapDC(bmp.get()), w - dr, 0, dr, h, BitmapDC(cache),
                         cache->Width() - shadow.Right - frameWidth - dr, at.Y, SRCCOPY);
                ::BitBlt(BitmapDC(bmp.get()), 0, h - db, w, db, BitmapDC(cache), at.X,
                         cache->Height() - shadow.Bottom - frameWidth - db, SRCCOPY);
            }
        }
    } else {
        ::BitBlt(BitmapDC(bmp.get()), 0, 0, w, h, BitmapDC(cache), at.X, at.Y, SRCCOPY);
    }
    DrawGlyphMask(bmp.get(), TPoint(0, 0), 0, CacheInfoOf(bmp.get()), grip, 1);
    ::BitBlt(DC, at.X, at.Y, w, h, BitmapDC(bmp.get()), 0, 0, SRCCOPY);
}

// ---- copies to the window -------------------------------------------------------------

void TsSkinProvider::CopyNonClientToDC(HDC DC) {
    if (DC == nullptr || Form == nullptr) return;
    TsSkinManager* manager = Manager();
    const bool plain = (FCommonData->CtrlSkinState & ACS_PLAINBG) != 0;
    if (FCommonData->BGChanged || plain) {
        const bool singleImage = manager != nullptr && ValidMask(manager, FCommonData->BorderIndex) &&
                                 manager->ma()[static_cast<std::size_t>(FCommonData->BorderIndex)].ImageCount == 1;
        if (MenuChanged || FCommonData->FCacheBmp == nullptr || singleImage || CacheSizeChanged() || !HaveBorder())
            ControlsChanged = !FirstInitialized;
        PaintNonClientCache();
    }
    TBitmap* cache = FCommonData->FCacheBmp;
    if (cache == nullptr || cache->Empty()) return;
    const HDC src = BitmapDC(cache);
    const HWND wnd = Form->Handle();
    const Integer width = cache->Width(), height = cache->Height();
    const Integer y = (::GetWindowLongW(wnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION ? HeaderHeight() : BorderHeight(true);
    const Integer bw = BorderWidth(true), bh = BorderHeight(true);
    ::BitBlt(DC, 0, 0, width, y, src, 0, 0, SRCCOPY);
    if (height > y) {
        ::BitBlt(DC, 0, y, bw, height - y, src, 0, y, SRCCOPY);
        ::BitBlt(DC, width - bw, y, bw, height - y, src, width - bw, y, SRCCOPY);
    }
    ::BitBlt(DC, bw, height - bh, width - 2 * bw, bh, src, bw, height - bh, SRCCOPY);
}

void TsSkinProvider::HandleNCPaint() {
    if (Form == nullptr || !Form->HandleAllocated() || !FDrawNonClientArea) return;
    const HWND wnd = Form->Handle();
    // The outline drawn on the desktop does not show under composition.
    if (FResizeMode == rmBorder && AeroEnabledQuery != nullptr && AeroEnabledQuery()) FResizeMode = rmStandard;
    if (!MenusInitialized) {
        UpdateMenu();
        MenusInitialized = true;
    }
    const Cardinal style = static_cast<Cardinal>(::GetWindowLongW(wnd, GWL_STYLE));
    const bool iconic = ::IsIconic(wnd) != FALSE;
    if (!RgnChanging && RgnChanged) {
        if (iconic && (::GetWindowLongW(wnd, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0) return;
        if (HaveBorder() || (style & WS_SIZEBOX) != 0 || iconic) {
            if (BorderForm == nullptr) UpdateArOR();
            RgnChanged = false;
            SetFormRgn(false);
        } else {
            RgnChanged = false;
            ::SetWindowRgn(wnd, nullptr, FALSE);
        }
    }
    FCommonData->FUpdating = false;
    if (FCommonData->FCacheBmp == nullptr || FCommonData->FCacheBmp->Empty()) FCommonData->BGChanged = true;

    WindowDC dc(wnd);
    if (dc.Handle() != nullptr && BorderForm == nullptr) {
        if (Form->BorderStyle == TFormBorderStyle::bsNone && (style & WS_SIZEBOX) != 0 && !iconic) {
            if (FCommonData->BGChanged) PaintNonClientCache();
            TBitmap* cache = FCommonData->FCacheBmp;
            if (cache != nullptr && !cache->Empty()) {
                const Integer w = BorderWidth(true) + 3;
                const TRect all(0, 0, cache->Width(), cache->Height());
                CopyBorderStrips(dc.Handle(), all, BitmapDC(cache), TPoint(0, 0), w);
            }
        } else {
            CopyNonClientToDC(dc.Handle());
        }
    }
    RgnChanging = false;
}

void TsSkinProvider::PaintFormBackground(HDC DC, bool RefreshChildren) {
    if (DC == nullptr || Form == nullptr) return;
    RECT client;
    ::GetClientRect(Form->Handle(), &client);
    const bool plain = (FCommonData->CtrlSkinState & ACS_PLAINBG) != 0;
    if (!plain) {
        if (!FCommonData->UrgentPainting) PaintNonClientCache();
        if (!IsMDIForm() && FCommonData->FCacheBmp != nullptr) {
            const TRect dst(0, 0, client.right, client.bottom);
            const TRect src = Bounds(OffsetX(), OffsetY(), client.right, client.bottom);
            CopyCacheExcludingControls(Form, FCommonData, src, dst, DC);
            PaintControlsTo(DC, Form, TPoint(0, 0));
        }
        if (RefreshChildren) RefreshChildControls(Form);
    } else if (!IsMDIForm()) {
        FillSolidRect(DC, TRect(0, 0, client.right, client.bottom), FormColor());
    }
    ControlsChanged = false;
}

void TsSkinProvider::HandlePaint(TMessage& Message) {
    if (Form == nullptr || !Form->HandleAllocated()) return;
    const HWND wnd = Form->Handle();
    const bool destroyed = Form->HasState(csDestroying);
    PAINTSTRUCT ps{};
    if (FInAnimation || destroyed) {
        if (Message.WParam == 0) {
            ::BeginPaint(wnd, &ps);
            ::EndPaint(wnd, &ps);
        }
        Message.Result = 0;
        return;
    }
    HDC dc = reinterpret_cast<HDC>(Message.WParam);
    const bool own = dc == nullptr;
    if (own) dc = ::BeginPaint(wnd, &ps);
    if (dc != nullptr) {
        const int saved = ::SaveDC(dc);
        FCommonData->FUpdating = Form->Parent() != nullptr ? FCommonData->GetUpdating() : false;
        PaintFormBackground(dc, true);
        ::RestoreDC(dc, saved);
    }
    if (own) ::EndPaint(wnd, &ps);
    Message.Result = 0;
}

void TsSkinProvider::HandleEraseBkgnd(HDC DC) {
    if (Form == nullptr || !Form->HandleAllocated()) return;
    const HWND wnd = Form->Handle();
    HDC dc = DC;
    bool release = false;
    if (dc == nullptr || dc != FCommonData->PrintDC) {
        dc = ::GetDC(wnd);
        release = true;
    }
    if (dc == nullptr) return;
    if (!FInAnimation && !Form->HasState(csDestroying)) {
        const int saved = ::SaveDC(dc);
        ExcludeGraphicChildren(dc, Form, 0, 0);
        PaintFormBackground(dc, true);
        if (IsGripVisible()) {
            ::SetWindowOrgEx(dc, OffsetX(), OffsetY(), nullptr);
            PaintGrip(dc);
        }
        ::RestoreDC(dc, saved);
    }
    if (release) ::ReleaseDC(wnd, dc);
}

// ---- window region -------------------------------------------------------------------

void TsSkinProvider::UpdateArOR() {
    ArOR.clear();
    TsSkinManager* manager = Manager();
    if (manager == nullptr || Form == nullptr) return;
    const Integer width = CaptionWidth();
    if (ValidMask(manager, FCommonData->BorderIndex)) {
        const TsMaskData& border = manager->ma()[static_cast<std::size_t>(FCommonData->BorderIndex)];
        AddMaskCornerRects(ArOR, width, border, false, 0);
        AddMaskCornerRects(ArOR, width, border, true,
                           WindowHeightOf(Form) - manager->MaskWidthBottom(FCommonData->BorderIndex));
    }
    const Integer title = TitleSkinIndex();
    if (manager->IsValidSkinIndex(title)) {
        const Integer mask = manager->GetMaskIndex(manager->gd()[static_cast<std::size_t>(title)].ClassName, u"BORDERSMASK");
        if (ValidMask(manager, mask)) AddMaskCornerRects(ArOR, width, manager->ma()[static_cast<std::size_t>(mask)], false, 0);
    }
}

HRGN TsSkinProvider::CreateFormRgn(Integer X, Integer Y) const {
    if (Form == nullptr) return nullptr;
    HRGN rgn = ::CreateRectRgn(X, Y, X + CaptionWidth(), Y + WindowHeightOf(Form));
    if (rgn == nullptr) return nullptr;
    std::vector<TRect> moved(ArOR);
    for (TRect& r : moved) r.Offset(X, Y);
    acCutRects(rgn, moved);
    return rgn;
}

void TsSkinProvider::SetFormRgn(bool Redraw) {
    if (!FDrawNonClientArea || Form == nullptr || !Form->HandleAllocated() || InMenu) return;
    const HWND wnd = Form->Handle();
    const bool iconic = ::IsIconic(wnd) != FALSE;
    if (!HaveBorder() && !iconic && !HasThickFrame(wnd)) return;
    // A docked form has no region of its own: the framework has no docking.
    RgnChanging = true;
    HRGN rgn = nullptr;
    if (BorderForm != nullptr) {
        const Integer f = SysBorderWidth(wnd, nullptr, false);
        rgn = ::CreateRectRgn(f, f + SysCaptionHeight(Form), WindowWidthOf(Form) - f, WindowHeightOf(Form) - f);
    } else if (IsZoomed() && !IsMDIChild()) {
        const Integer fw = SysBorderWidth(wnd, nullptr, false), fh = SysBorderHeight(wnd, nullptr, false);
        rgn = ::CreateRectRgn(fw, fh, WindowWidthOf(Form) - fw, WindowHeightOf(Form) - fh);
    } else {
        rgn = CreateFormRgn(0, 0);
    }
    RgnChanged = false;
    // The window owns the region from here on.
    if (rgn != nullptr && ::SetWindowRgn(wnd, rgn, Redraw ? TRUE : FALSE) == 0) ::DeleteObject(rgn);
    RgnChanging = false;
}

void TsSkinProvider::RefreshNonClient() {
    if (FInAnimation || Form == nullptr || !Form->HandleAllocated() || !::IsWindowVisible(Form->Handle()) ||
        !FDrawNonClientArea || (Form->ControlState() & csDestroyingHandle) != 0 || !Skinned())
        return;
    if (BorderForm != nullptr) {
        FreeGlows();
        FCommonData->BGChanged = true;
        RepaintFrame();
        return;
    }
    FCommonData->BGChanged = true;
    TsSkinManager* manager = Manager();
    if (FCommonData->FCacheBmp == nullptr && manager != nullptr && manager->ExtendedBorders()) UpdateBorderForm(true);
    WindowDC dc(Form->Handle());
    if (dc.Handle() == nullptr) return;
    const int saved = ::SaveDC(dc.Handle());
    CopyNonClientToDC(dc.Handle());
    ::RestoreDC(dc.Handle(), saved);
}

// ---- caption cover -------------------------------------------------------------------

void TsSkinProvider::ShowCaptionCover(bool Full) {
    if (!FDrawNonClientArea || FInAnimation || LockCount > 0 || Form == nullptr || !Form->HandleAllocated() ||
        (FormState & FS_BLENDMOVING) != 0)
        return;
    if (BorderForm != nullptr && !MenuPresent()) return;
    if (CaptForm == nullptr) {
        CaptForm = New<TForm>(Application);
        CaptForm->Tag = -98;
        CaptForm->BorderStyle = TFormBorderStyle::bsNone;
        OldCaptFormProc = CaptForm->WindowProc;
        CaptForm->WindowProc = TWndMethod::Of<&TsSkinProvider::NewCaptFormProc>(this);
    }
    const HWND wnd = Form->Handle();
    RECT wr;
    ::GetWindowRect(wnd, &wr);
    Integer left = wr.left, top = wr.top, width = wr.right - wr.left;
    Integer height = Full ? wr.bottom - wr.top : HeaderHeight();
    if (BorderForm != nullptr) {
        const Integer f = SysBorderWidth(wnd, nullptr, false);
        const Integer lines = GetLinesCount();
        left += f;
        top += f + SysCaptionHeight(Form);
        width -= 2 * f;
        height = lines * MenuHeight() + 1 + (lines != -1 ? 1 : 0);
    }
    const HWND after = ::GetWindow(wnd, GW_HWNDPREV);
    ::SetWindowPos(CaptForm->Handle(), Form->FormStyle() == TFormStyle::fsStayOnTop ? HWND_TOPMOST : after, left, top,
                   width, height,
                   SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING | SWP_SHOWWINDOW);
}

void TsSkinProvider::HideCaptionCover() {
    if (CaptForm == nullptr) return;
    CaptForm->WindowProc = OldCaptFormProc;
    TForm* cover = CaptForm;
    CaptForm = nullptr;
    cover->Free();
}
