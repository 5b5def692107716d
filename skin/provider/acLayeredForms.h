// Layered output of a bitmap into a window, switching a window's layered
// transparency on and off, and cover windows that hold a snapshot of a
// window on the screen while that window changes underneath (animations,
// style switches). Main thread only.
#pragma once

#include "Forms.h"

// The colour key given with every layered update: no colour matches it.
constexpr COLORREF kNoLayeredKey = 0x1FFFFFFF;

// Pushes Bitmap (32 bits with alpha; another format goes through an opaque
// 32-bit copy) into Wnd as its layered image with constant alpha Alpha,
// its top-left moved to Position unless that is nullptr. Without a bitmap
// the window is given a transparent image of its own size. The window is
// made layered first when it is not. False when the system refused.
bool SetLayeredBitmap(HWND Wnd, TBitmap* Bitmap, Byte Alpha = 255, const TPoint* Position = nullptr);

// With Allow (and layered windows at hand): makes a window that is not yet
// layered layered with alpha 1, all but invisible, and answers True; a
// window already layered is left alone (False). Without Allow: the window
// loses WS_VISIBLE from its style (without a redraw) and its layered style;
// False.
bool MakeWindowTransparent(HWND Wnd, bool Allow = true);

// A form that covers Wnd with a snapshot of it: borderless, layered, Tag
// -98, never activated, topmost, at the window's place and size, showing
// what the window showed. The caller owns and frees it; nullptr for a
// window that is gone or has no size.
TForm* MakeCoverForm(HWND Wnd);

// The taskbar's window ("Shell_TrayWnd"), nullptr without one.
HWND FindTrayWindow();
