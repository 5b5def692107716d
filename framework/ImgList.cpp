#include "ImgList.h"

#include <algorithm>

namespace {

COLORREF ToSystemColor(TColor c) {
    if (c == clNone) return CLR_NONE;
    if (c == clDefault) return CLR_DEFAULT;
    return static_cast<COLORREF>(ColorToRGB(c)) & 0xFFFFFFu;
}

}  // namespace

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::~TCustomImageList() { FreeHandle(); }

void TCustomImageList::FreeHandle() {
    if (FHandle && !ShareImages) ::ImageList_Destroy(FHandle);
    FHandle = nullptr;
}

UINT TCustomImageList::CreateFlags() const { return ILC_COLOR32 | (Masked ? ILC_MASK : 0u); }

void TCustomImageList::HandleNeeded() {
    if (FHandle) return;
    FHandle = ::ImageList_Create(std::max<Integer>(FWidth, 1), std::max<Integer>(FHeight, 1), CreateFlags(), 4, 4);
}

void TCustomImageList::SetHandle(HIMAGELIST Value) {
    if (Value == FHandle) return;
    FreeHandle();
    FHandle = Value;
    if (Value) {
        int w = 0, h = 0;
        if (::ImageList_GetIconSize(Value, &w, &h)) {
            FWidth = w;
            FHeight = h;
        }
    }
    Change();
}

void TCustomImageList::SetSize(Integer AWidth, Integer AHeight) {
    AWidth = std::max<Integer>(AWidth, 1);
    AHeight = std::max<Integer>(AHeight, 1);
    if (AWidth == FWidth && AHeight == FHeight) return;
    FWidth = AWidth;
    FHeight = AHeight;
    if (FHandle) {
        ::ImageList_SetIconSize(FHandle, FWidth, FHeight);   // also removes the images
        Change();
    }
}

Integer TCustomImageList::Count() const { return FHandle ? ::ImageList_GetImageCount(FHandle) : 0; }

TColor TCustomImageList::BkColor() const {
    if (!FHandle) return clNone;
    const COLORREF c = ::ImageList_GetBkColor(FHandle);
    return c == CLR_NONE ? clNone : static_cast<TColor>(c);
}

void TCustomImageList::SetBkColor(TColor Value) {
    HandleNeeded();
    if (FHandle) ::ImageList_SetBkColor(FHandle, ToSystemColor(Value));
    Change();
}

void TCustomImageList::Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled) {
    if (!Canvas || !FHandle || Index < 0) return;
    static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
    UINT style = styles[DrawingStyle];
    if (ImageType == itMask) style |= ILD_MASK;
    DoDraw(Index, Canvas, X, Y, style, Enabled);
}

void TCustomImageList::DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, UINT Style, bool Enabled) {
    if (!FHandle || Index < 0 || Index >= Count()) return;
    const UINT style = Enabled ? Style : Style | ILD_BLEND50;
    ::ImageList_DrawEx(FHandle, Index, Canvas->Handle(), X, Y, 0, 0, CLR_DEFAULT, ToSystemColor(BlendColor), style);
}

bool TCustomImageList::GetBitmap(Integer Index, TBitmap* Image) {
    if (!Image || !FHandle || Index < 0 || Index >= Count()) return false;
    Image->SetPixelFormat(pf32bit);
    Image->SetSize(0, 0);
    Image->SetSize(FWidth, FHeight);
    const TColor bk = BkColor();
    Image->Canvas()->Brush()->SetColor(bk == clNone ? clBlack : bk);
    Image->Canvas()->FillRect(TRect(0, 0, FWidth, FHeight));
    ::ImageList_Draw(FHandle, Index, Image->Canvas()->Handle(), 0, 0, ILD_NORMAL);
    return true;
}

Integer TCustomImageList::AddIcon(HICON Icon) {
    if (!Icon) return -1;
    HandleNeeded();
    const int index = FHandle ? ::ImageList_ReplaceIcon(FHandle, -1, Icon) : -1;
    if (index >= 0) Change();
    return index;
}

void TCustomImageList::Delete(Integer Index) {
    if (!FHandle || Index < 0 || Index >= Count()) return;
    ::ImageList_Remove(FHandle, Index);
    Change();
}

void TCustomImageList::Clear() {
    if (!FHandle) return;
    ::ImageList_Remove(FHandle, -1);
    Change();
}

void TCustomImageList::EndUpdate() {
    if (FUpdateCount > 0) --FUpdateCount;
    if (FUpdateCount == 0 && FChanged) {
        FChanged = false;
        Change();
    }
}

void TCustomImageList::Change() {
    if (FUpdateCount > 0) {
        FChanged = true;
        return;
    }
    if (OnChange) OnChange(this);
}

void TCustomImageList::CopyFrom(TCustomImageList* Source) {
    BeginUpdate();
    FreeHandle();
    Masked = Source->Masked;
    ImageType = Source->ImageType;
    DrawingStyle = Source->DrawingStyle;
    ShareImages = false;
    BlendColor = Source->BlendColor;
    FWidth = Source->FWidth;
    FHeight = Source->FHeight;
    if (Source->FHandle) FHandle = ::ImageList_Duplicate(Source->FHandle);
    Change();
    EndUpdate();
}

void TCustomImageList::Assign(TPersistent* Source) {
    if (Source == nullptr) {
        FreeHandle();
        Change();
        return;
    }
    if (auto* list = dynamic_cast<TCustomImageList*>(Source)) {
        if (list != this) CopyFrom(list);
        return;
    }
    TComponent::Assign(Source);
}
