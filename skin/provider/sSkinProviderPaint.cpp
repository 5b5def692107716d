// Painting of the skinned frame.
//
// TEMPORARY: empty bodies so that the provider links before the frame
// painting is in place. The frame painting replaces this whole file; it
// must define every operation below.
#include "sSkinProvider.h"

void TsSkinProvider::HandleNCPaint() {}
void TsSkinProvider::HandlePaint(TMessage& Message) { PassOn(Message); }
void TsSkinProvider::HandleEraseBkgnd(HDC) {}
void TsSkinProvider::PaintNonClientCache() {}
void TsSkinProvider::PaintCaptionButtons() {}
void TsSkinProvider::PlaceCaptionButton(TsCaptionButton&, Integer, TsTitleButton*, bool) {}
void TsSkinProvider::SaveButtonsArea(bool) {}
void TsSkinProvider::RestoreButtonsArea() {}
void TsSkinProvider::CopyNonClientToDC(HDC) {}
void TsSkinProvider::PaintFormBackground(HDC, bool) {}
void TsSkinProvider::PaintTitleBar() {}
void TsSkinProvider::PaintCaptionText() {}
void TsSkinProvider::SetHotHT(Integer, bool) {}
void TsSkinProvider::SetPressedHT(Integer) {}
void TsSkinProvider::ShowTitleButtonHint(TsTitleButton*) {}
void TsSkinProvider::HideTitleButtonHint(TsTitleButton*) {}
void TsSkinProvider::EnableSysMenuItem(UINT, bool) {}
void TsSkinProvider::PaintTitleIcon() {}
void TsSkinProvider::PaintGrip(HDC) {}
void TsSkinProvider::RepaintCaptionButton(Integer) {}
void TsSkinProvider::UpdateArOR() { ArOR.clear(); }
HRGN TsSkinProvider::CreateFormRgn(Integer, Integer) const { return nullptr; }
void TsSkinProvider::SetFormRgn(bool) { RgnChanged = false; }
void TsSkinProvider::RefreshNonClient() {}
void TsSkinProvider::ShowCaptionCover(bool) {}
void TsSkinProvider::HideCaptionCover() {}
