#include "sSkinDraw.h"

#include "acAlphaImageList.h"
#include "sCommonDataWin.h"
#include "sGraphUtils.h"
#include "sSectionPaint.h"
#include "sSkinManager.h"
#include "sVclUtils.h"

void PaintSkinControl(HDC DC, const TRect& R, Integer BorderWidth, TRect& ClientR, Integer State,
                      TsCommonData* SkinData) {
    if (SkinData == nullptr) return;
    TsSkinManager* manager = SkinData->SkinManager();
    TControl* owner = SkinData->FOwnerControl;
    const TColor color = SkinData->GetBGColor(State, nullptr);

    const bool hasMask = manager != nullptr && SkinData->BorderIndex >= 0 &&
                         SkinData->BorderIndex < static_cast<Integer>(manager->ma().size());
    if (!hasMask) {
        if (BorderWidth > 0) FillSolidFrame(DC, R, BorderWidth, BorderWidth, BorderWidth, BorderWidth, color);
        return;
    }
    const TsMaskData& mask = manager->ma()[static_cast<std::size_t>(SkinData->BorderIndex)];
    if (manager->IsValidSkinIndex(SkinData->SkinIndex))
        State = SectionState(manager->gd()[static_cast<std::size_t>(SkinData->SkinIndex)], State);
    SkinData->InitCacheBmp();
    TBitmap* cache = SkinData->FCacheBmp;
    if (cache == nullptr || cache->Width() <= 0 || cache->Height() <= 0) return;

    // What the owner's parent shows under it.
    TBackgroundInfo info;
    const TPoint at = owner != nullptr ? TPoint(owner->Left(), owner->Top()) : TPoint();
    if (owner != nullptr) info.R = TRect(0, 0, owner->Width(), owner->Height());
    QueryControlBackground(info, owner != nullptr ? owner->Parent() : nullptr, false);
    const bool parentImage = info.BgType == btCache && info.Bmp != nullptr;

    // Under a mask with a mask part the frame mixes with what the cache holds.
    if (mask.MaskType == 1) {
        if (parentImage)
            ::BitBlt(cache->Canvas()->Handle(), R.Left, R.Top, R.Width(), R.Height(), info.Bmp->Canvas()->Handle(),
                     at.X + info.Offset.X + R.Left, at.Y + info.Offset.Y + R.Top, SRCCOPY);
        else
            FillBorderStrips(cache, R, mask.WL, mask.WT, mask.WR, mask.WB, color);
    }
    TCacheInfo ci;
    BackgroundToCacheInfo(info, ci);
    ci.X += at.X;
    ci.Y += at.Y;
    DrawSkinRect(cache, R, true, State, mask, ci);

    ClientR = TRect(R.Left + mask.WL, R.Top + mask.WT, R.Right - mask.WR, R.Bottom - mask.WB);
    if (BorderWidth <= 0) return;
    const Integer w = R.Width(), h = R.Height();
    FillBorderStrips(cache, ClientR, std::max(std::min(BorderWidth, w - mask.WR) - mask.WL, 0),
                     std::max(std::min(BorderWidth, h - mask.WB) - mask.WT, 0),
                     std::max(std::min(BorderWidth, w - mask.WL) - mask.WR, 0),
                     std::max(std::min(BorderWidth, h - mask.WT) - mask.WB, 0), ::ColorToRGB(color));
    ClientR = TRect(R.Left + BorderWidth, R.Top + BorderWidth, R.Right - BorderWidth, R.Bottom - BorderWidth);
    ClientR.Right = std::max(ClientR.Right, ClientR.Left);
    ClientR.Bottom = std::max(ClientR.Bottom, ClientR.Top);
    if (DC != nullptr && DC != cache->Canvas()->Handle())
        CopyBorderStrips(DC, R, cache->Canvas()->Handle(), TPoint(R.Left, R.Top), BorderWidth);
}

// ---------------------------------------------------------------------------
// The five-image list

TsAlphaImageList* acStdImages = nullptr;

void sSkinDrawInitialization(HMODULE Module) {
    if (acStdImages) return;
    if (!Module) Module = ::GetModuleHandleW(nullptr);
    TsAlphaImageList* list = New<TsAlphaImageList>(nullptr);
    try {
        list->SetSize(48, 16);
        for (const wchar_t* name : {L"SF", L"SR", L"SD", L"SE", L"SC"}) {
            const HRSRC res = ::FindResourceW(Module, name, MAKEINTRESOURCEW(10));   // RT_RCDATA
            const HGLOBAL data = res ? ::LoadResource(Module, res) : nullptr;
            const void* bytes = data ? ::LockResource(data) : nullptr;
            const DWORD size = res ? ::SizeofResource(Module, res) : 0;
            if (!bytes || size == 0) continue;
            TsImgListItem* item = list->Items()->AddItem();
            item->ImageFormat = ifPNG;
            item->PixelFormat = pf32bit;
            item->ImgData->WriteBuffer(bytes, static_cast<Integer>(size));
        }
        try {
            list->GenerateStdList();
        } catch (const Exception&) {
            // A broken image must not stop the program: nothing draws from
            // this list, so it stays empty.
            list->Items()->Clear();
            list->Clear();
        }
    } catch (...) {
        list->Free();
        throw;
    }
    acStdImages = list;
}

void sSkinDrawFinalization() { FreeAndNil(acStdImages); }

void FillDC(HDC DC, const TRect& R, TColor Color) {
    const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(::ColorToRGB(Color)));
    const RECT r{R.Left, R.Top, R.Right, R.Bottom};
    ::FillRect(DC, &r, brush);
    ::DeleteObject(brush);
}

TBackgroundInfo DirectBackground(TControl* Control, TsCommonData* SkinData, TColor& ParentColor) {
    TBackgroundInfo info;
    info.R = TRect(0, 0, Control->Width(), Control->Height());
    if (SkinData->CustomColor() || !Control->Parent()) {
        info.BgType = btFill;
        info.Color = ::ColorToRGB(Control->Color());
    } else {
        QueryControlBackground(info, Control->Parent(), false);
    }
    ParentColor = info.BgType == btCache ? GetControlBgColor(Control->Parent()) : info.Color;
    return info;
}

bool PaintOverParentImage(HDC DC, TControl* Control, TsCommonData* SkinData, const TBackgroundInfo& Info,
                          Integer Transparency, TColor ParentColor) {
    if (Transparency != 100 || Info.BgType != btCache || !Info.Bmp) return false;
    const Integer b = SkinData->MaxBorderWidth();
    const TRect all(0, 0, Control->Width(), Control->Height());
    const HDC parentDC = Info.Bmp->Canvas()->Handle();
    const TPoint from(Info.Offset.X + Control->Left(), Info.Offset.Y + Control->Top());
    if (b > 0) {
        TRect client = all;
        PaintSkinControl(DC, all, b, client, 0, SkinData);
        const TRect inner(b, b, all.Right - b, all.Bottom - b);
        if (inner.Width() > 0 && inner.Height() > 0) {
            FillDC(DC, inner, ParentColor);
            ::BitBlt(DC, inner.Left, inner.Top, inner.Width(), inner.Height(), parentDC, from.X + b, from.Y + b,
                     SRCCOPY);
        }
    } else {
        ::BitBlt(DC, 0, 0, all.Right, all.Bottom, parentDC, from.X, from.Y, SRCCOPY);
    }
    return true;
}

TColor DirectFillColor(TControl* Control, TsCommonData* SkinData, TColor SectionColor, Integer Transparency,
                       TColor ParentColor) {
    if (Transparency == 0) return SkinData->CustomColor() ? ::ColorToRGB(Control->Color()) : SectionColor;
    if (Transparency == 100) return ParentColor;
    return BlendColors(::ColorToRGB(ParentColor), ::ColorToRGB(SectionColor), Transparency / 100.0);
}
