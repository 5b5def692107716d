// What the skinned controls share for drawing a frame from their section's
// border mask: a control's background and border painted into its cache
// with the client area that is left, and the glyph measurements of bit
// buttons. Win32, main thread only.
#pragma once

#include <algorithm>
#include <concepts>

#include "Controls.h"
#include "Graphics.h"
#include "acMaskPaintWin.h"
#include "sMessages.h"

class TsAlphaImageList;
class TsCommonData;

// The engine's image list of five 48 x 16 images, made at start-up from the
// program's RCDATA resources "SF", "SR", "SD", "SE" and "SC" (PNG images, in
// this order; a missing one is left out, a broken one leaves the list
// empty). Null before start-up and after shut-down.
extern TsAlphaImageList* acStdImages;
// Unit start-up (the images of Module, the program itself when null) and
// shut-down.
void sSkinDrawInitialization(HMODULE Module = nullptr);
void sSkinDrawFinalization();

// Paints the frame of SkinData's owner in State over R of its cache (sized
// to the owner first) and copies the frame strip, BorderWidth thick, to DC
// when DC is another DC; ClientR becomes the area inside the frame. Without
// a border mask only a frame BorderWidth thick is filled on DC with the
// owner's background colour, and ClientR is left as the caller set it.
void PaintSkinControl(HDC DC, const TRect& R, Integer BorderWidth, TRect& ClientR, Integer State,
                      TsCommonData* SkinData);

// R of DC filled with Color.
void FillDC(HDC DC, const TRect& R, TColor Color);

// Painting a section straight onto a control's DC (panels, scroll boxes),
// over the whole control (0, 0, Width, Height).
//
// What lies under the control: its own colour when it has a custom colour or
// no parent, else its parent's answer. ParentColor becomes the colour under
// it (the parent's background colour when the answer is an image).
TBackgroundInfo DirectBackground(TControl* Control, TsCommonData* SkinData, TColor& ParentColor);
// A section that is wholly transparent (Transparency 100) over a parent's
// image: the border, with the parent's image inside it over ParentColor, or
// without a border the parent's image over the whole control. False, and DC
// untouched, when the section is not wholly transparent or the parent gave no
// image.
bool PaintOverParentImage(HDC DC, TControl* Control, TsCommonData* SkinData, const TBackgroundInfo& Info,
                          Integer Transparency, TColor ParentColor);
// The colour that fills a section of the given Transparency (percent): the
// section's own (the control's when it has a custom colour) at 0, the
// parent's at 100, the two blended between.
TColor DirectFillColor(TControl* Control, TsCommonData* SkinData, TColor SectionColor, Integer Transparency,
                       TColor ParentColor);

// The glyph measurements of a bit button. A button type takes part by
// offering these members:
//   Images(): its image list or nullptr; the list has Count(), Width(), Height()
//   ImageIndex(): the list image shown
//   Glyph(): its glyph bitmap or nullptr (Width(), Height())
//   NumGlyphs(): the frames side by side in the glyph or list image
//   PressedState(): the pressed-state byte
//   CurrentState(): 0 normal, 1 hot, 2 pressed
//   DropDown(): the button shows a drop-down arrow
//   GlyphPos(): the top-left of its glyph in the normal state
template <class B>
concept TacBitButton = requires(const B& b) {
    b.Images();
    { b.ImageIndex() } -> std::convertible_to<int>;
    b.Glyph();
    { b.NumGlyphs() } -> std::convertible_to<int>;
    { b.PressedState() } -> std::convertible_to<Byte>;
    { b.CurrentState() } -> std::convertible_to<int>;
    { b.DropDown() } -> std::convertible_to<bool>;
    { b.GlyphPos() } -> std::convertible_to<TPoint>;
};

template <TacBitButton B>
bool HasListImage(const B& Button) {
    const auto* list = Button.Images();
    return list != nullptr && list->Count() > 0 && Button.ImageIndex() >= 0 && Button.ImageIndex() < list->Count();
}

template <TacBitButton B>
Byte BitBtnPressed(const B& Button) {
    return static_cast<Byte>(Button.PressedState());
}

template <TacBitButton B>
Integer BtnGlyphHeight(const B& Button) {
    if (HasListImage(Button)) return Button.Images()->Height();
    const auto* glyph = Button.Glyph();
    return glyph != nullptr ? std::max<Integer>(glyph->Height(), 0) : 0;
}

// A frame count below 1 counts as 1.
template <TacBitButton B>
Integer BtnGlyphWidth(const B& Button) {
    const Integer frames = std::max<Integer>(Button.NumGlyphs(), 1);
    if (HasListImage(Button)) return Button.Images()->Width() / frames;
    const auto* glyph = Button.Glyph();
    return glyph != nullptr ? std::max<Integer>(glyph->Width(), 0) / frames : 0;
}

template <TacBitButton B>
void BtnGlyphRect(const B& Button, TRect& R) {
    const TPoint p = Button.GlyphPos();
    R = TRect(p.X, p.Y, p.X + BtnGlyphWidth(Button), p.Y + BtnGlyphHeight(Button));
    if (Button.CurrentState() == 2) R.Offset(1, 1);
    if (Button.DropDown()) R.Offset(0, -(R.Width() / 6));
}
