#include "sLabel.h"

#include "acPixels.h"
#include "sCommonDataWin.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

namespace {

// Set while a skinned label paints: its own font changes are not repaints.
bool acLabelPainting = false;

// The default manager when it shows a skin.
TsSkinManager* ActiveDefaultManager() {
    TsSkinManager* m = DefaultManager;
    if (!m || m->HasState(csDestroying) || !m->Active() || !m->SkinData()->Active || m->gd().empty()) return nullptr;
    return m;
}

bool DesignedInFrame(TComponent* Component) {
    return Component->HasState(csDesigning) && GetOwnerFrame(Component) != nullptr;
}

}  // namespace

TsCustomLabel::TsCustomLabel(TComponent* AOwner) : TCustomLabel(AOwner) {
    // Transparent from the start (set directly: no messages from a constructor).
    FTransparent = true;
    FControlStyle &= ~csOpaque;
}

void TsCustomLabel::SetSkinSection(const String& Value) {
    if (FSkinSection == Value) return;
    FSkinSection = Value;
    Repaint();
}

TFont* TsCustomLabel::SkinnedFont() {
    TsSkinManager* m = ActiveDefaultManager();
    if (!m) return FFont;
    const Integer index = GetParentSkinIndex(this, -1, m, 0);
    const TColor color =
        m->IsValidSkinIndex(index) ? m->gd()[static_cast<std::size_t>(index)].FontColor.Color : m->GetGlobalFontColor();
    if (color != kNoColor && FFont->Color() != color) FFont->SetColor(color);
    return FFont;
}

void TsCustomLabel::Paint() {
    FSkinIndex = -1;
    if (HasState(csDestroying)) return;
    if (!acLabelPainting) {
        acLabelPainting = true;
        struct Guard {
            ~Guard() { acLabelPainting = false; }
        } guard;
        SkinnedFont();
        TsSkinManager* m = ActiveDefaultManager();
        if (!FSkinSection.empty() && m) {
            FSkinIndex = m->GetSkinIndex(FSkinSection);
            if (m->IsValidSkinIndex(FSkinIndex))
                FFont->SetColor(m->gd()[static_cast<std::size_t>(FSkinIndex)].FontColor.Color);
        }
        // Any section found, the first one (index 0) included.
        if (m && m->IsValidSkinIndex(FSkinIndex)) {
            TBackgroundInfo info;
            info.R = TRect(0, 0, Width(), Height());
            TCacheInfo ci;
            if (Parent()) {
                QueryControlBackground(info, Parent(), false);
                BackgroundToCacheInfo(info, ci);
            }
            PaintSectionToDC(FSkinIndex, FSkinSection, ci, m, FCanvas->Handle(), TPoint(Left(), Top()),
                             TRect(0, 0, Width(), Height()), 0);
        }
        TCustomLabel::Paint();
    } else {
        TCustomLabel::Paint();
    }
    FSkinIndex = -1;
}

void TsCustomLabel::DoDrawText(RECT& Rect, UINT Flags) {
    if (Enabled() || !ActiveDefaultManager()) {
        TCustomLabel::DoDrawText(Rect, Flags);
        return;
    }
    // Disabled under a skin: the font colour 40 % over the background under the label.
    String text = Caption();
    if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar() && text == u"&"))) text += u' ';
    if (!ShowAccelChar()) Flags |= DT_NOPREFIX;
    Flags = DrawTextBiDiModeFlags(Flags);
    const HDC dc = FCanvas->Handle();
    const HGDIOBJ oldFont = ::SelectObject(dc, FFont->Handle());
    if (Flags & DT_CALCRECT) {
        ::DrawTextW(dc, reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()), &Rect, Flags);
    } else if (!text.empty()) {
        const TColor background = GetControlBgColor(Parent());
        const TColor font = ::ColorToRGB(FFont->Color());
        const TColor color = background == kNoColor ? font : BlendColors(font, ::ColorToRGB(background), 0.4);
        const int mode = ::SetBkMode(dc, TRANSPARENT);
        const COLORREF old = ::SetTextColor(dc, static_cast<COLORREF>(color & 0xFFFFFF));
        ::DrawTextW(dc, reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()), &Rect, Flags);
        ::SetTextColor(dc, old);
        ::SetBkMode(dc, mode);
    }
    ::SelectObject(dc, oldFont);
}

void TsCustomLabel::WndProc(TMessage& Message) {
    const bool ownNotice = Message.LParam == 0 || Message.LParam == reinterpret_cast<LPARAM>(this);
    switch (Message.Msg) {
    case CM_FONTCHANGED:
        if (!HasState(csDestroying)) {
            // The label's own painting sets the skin's colour: no repaint for that.
            if (acLabelPainting) return;
            if (AutoSize()) AdjustBounds();
            Invalidate();
            return;
        }
        break;
    case CM_MOUSEENTER:
        if (ownNotice && OnMouseEnter) OnMouseEnter(this);
        break;
    default: break;
    }
    TCustomLabel::WndProc(Message);
    if (Message.Msg == SkinCommandMessage) {
        const Word command = SkinCommandOf(Message.WParam);
        const bool fromDefault = DefaultManager && Message.LParam == reinterpret_cast<LPARAM>(DefaultManager);
        if (command == AC_REMOVESKIN && fromDefault && !HasState(csDestroying)) FFont->SetColor(clWindowText);
        if (command == AC_REFRESH && HasState(csDesigning)) Invalidate();
    } else if (Message.Msg == CM_MOUSELEAVE && ownNotice && OnMouseLeave) {
        OnMouseLeave(this);
    }
}

TFont* TsLabel::SkinnedFont() {
    if (HasState(csDestroying) || !FUseSkinColor || DesignedInFrame(this)) return FFont;
    return TsCustomLabel::SkinnedFont();
}

void TsLabel::WndProc(TMessage& Message) {
    if (Message.Msg == SkinCommandMessage && SkinCommandOf(Message.WParam) == AC_REMOVESKIN) {
        const bool fromDefault = DefaultManager && Message.LParam == reinterpret_cast<LPARAM>(DefaultManager);
        if (fromDefault && FUseSkinColor && !DesignedInFrame(this) && !HasState(csDestroying))
            FFont->SetColor(clWindowText);
        TCustomLabel::WndProc(Message);
        return;
    }
    TsCustomLabel::WndProc(Message);
}

TsEditLabel::TsEditLabel(TComponent* AOwner, TsBoundLabel* BoundStruct) : TsLabel(AOwner), BoundLabel(BoundStruct) {}

TsEditLabel::~TsEditLabel() {
    // Freed by someone else (its parent, its owner): the bound label no
    // longer has it.
    if (BoundLabel) {
        BoundLabel->FActive = false;
        if (BoundLabel->FTheLabel == this) BoundLabel->FTheLabel = nullptr;
    }
}
