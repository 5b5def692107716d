// Adapters that draw a whole window (client and frame) from the skin instead
// of letting the window paint itself: static text (TacStaticWnd), push
// buttons (TacBtnWnd, with hot, pressed, focused and disabled looks and the
// default manager's active control for mouse enter and leave) and the size
// grip of a dialog (TacSizerWnd, a scroll-bar window with SBS_SIZEGRIP).
// They are made by the dialog provider and the form skinner's control
// adapter through the adapter factory ("TacStaticWnd", "TacBtnWnd",
// "TacSizerWnd"); descendants (edge, icon and link statics, bitmap buttons)
// override the virtual operations. Win32, main thread only.
#pragma once

#include "acSBUtils.h"

class TacStaticWnd : public TacMainWnd {
public:
    KES_CLASS_NAME(TacStaticWnd)
    using TacMainWnd::TacMainWnd;

    void acWndProc(TMessage& Message) override;
    // Paints the window into the DC in Message.WParam, or into its window DC
    // when that is 0: the section over the parent's image, then the text.
    virtual void AC_WMPaint(TMessage& Message);
    // Draws the caption into the cache; true when the cache is to be shown.
    virtual bool PaintText();

protected:
    // A static with a tab stop or a static edge is left to the base handling.
    bool BaseOnly() const;
};

class TacBtnWnd : public TacMainWnd {
public:
    KES_CLASS_NAME(TacBtnWnd)
    // An empty SkinSection gives the skin data the section "BUTTON".
    TacBtnWnd(HWND AHandle, TsCommonData* ASkinData, TsSkinManager* ASkinManager, const String& SkinSection,
              bool Repaint = true);

    void acWndProc(TMessage& Message) override;

    // Virtual operations, in slot order.
    virtual void DrawCaption();
    virtual void DrawGlyph();
    virtual TSize GlyphSize();
    virtual void DoDrawText(TRect& Rect, Integer Flags);
    virtual TRect CaptionRect();
    virtual Integer MaxCaptionWidth();
    virtual TSize TextRectSize();
    // Builds the cache: the section in the current state over the parent's
    // image, the caption, the glyph and the disabled look.
    virtual void PrepareCache();

    // Paints the cache into the DC in Message.WParam, or the client DC.
    void AC_WMPaint(TMessage& Message);
    // 2 pressed, 1 hot (focused, active control, or the default button while
    // nothing else is hot), 0 normal or disabled.
    Integer CurrentState();
    Cardinal CtrlStyle() const;
    // BM_GETSTATE has BST_PUSHED.
    bool Down() const;
    void Repaint();

protected:
    // The button is wrapped over several lines (BS_MULTILINE).
    bool MultiLine() const;
};

class TacSizerWnd : public TacMainWnd {
public:
    KES_CLASS_NAME(TacSizerWnd)
    using TacMainWnd::TacMainWnd;

    void acWndProc(TMessage& Message) override;
    // Paints the parent's image under the window with the skin's grip image
    // in its bottom-right corner.
    void AC_WMPaint(const TMessage& Message);
};

// The push-button type codes (style AND 0xF) that make a default button:
// BS_DEFPUSHBUTTON, BS_DEFSPLITBUTTON and BS_DEFCOMMANDLINK. The type is a
// code, not a set of bits: an owner-drawn button (0xB) is no default button.
bool IsDefaultButtonStyle(Cardinal Style);
// The flags of a button caption: centred, tabs expanded, wrapped only for a
// multi-line button, right-to-left reading with WS_EX_RTLREADING.
Cardinal ButtonCaptionFlags(Cardinal Style, Cardinal ExStyle);
// The flags of a static's text: wrapped, tabs expanded, not clipped; no
// prefix with SS_NOPREFIX, right-aligned with WS_EX_RIGHT.
Cardinal StaticTextFlags(Cardinal Style, Cardinal ExStyle);
// A caption rectangle of size Text centred in a W x H window (right one pixel
// beyond the mirror of the left), one pixel right and down when Down.
TRect CenteredCaptionRect(Integer W, Integer H, TSize Text, bool Down);

// Registers "TacStaticWnd", "TacBtnWnd" and "TacSizerWnd" with the adapter
// factory.
void acStaticWndInitialization();
