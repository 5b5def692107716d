// Pictures of whole windows for the form animations: a window control with
// all its windowed children painted into one bitmap. Main thread only.
#pragma once

#include "Controls.h"
#include "Graphics.h"

class TsSkinProvider;

// Paints Control and every visible windowed child of it into Bmp, the
// control's client origin at (X, Y). A form skinned by Provider prints its
// whole skinned window (frame included) with the client origin at (X, Y), so
// that X and Y are the provider's offsets for a picture of the whole window.
// A hidden control without provider shows its parent's background instead.
void PaintFormTo(TBitmap* Bmp, TWinControl* Control, Integer X, Integer Y, TsSkinProvider* Provider);
