#include "acAlphaImageList.h"

#include <algorithm>
#include <vector>

#include "acAlphaPixels.h"
#include "acUtilsWin.h"
#include "sAlphaGraph.h"
#include "sGraphUtils.h"

namespace {

struct TBitmapFree {
    void operator()(TBitmap* b) const {
        if (b) b->Free();
    }
};
using TBitmapPtr = std::unique_ptr<TBitmap, TBitmapFree>;

TBitmapPtr NewBitmap(Integer W = 0, Integer H = 0) { return TBitmapPtr(CreateWorkBitmap(W, H)); }

TColor FromSystemColor(COLORREF C) {
    if (C == CLR_NONE) return clNone;
    if (C == CLR_DEFAULT) return clDefault;
    return static_cast<TColor>(C & 0xFFFFFFu);
}

bool OlderThanVista() {
    OSVERSIONINFOW vi = {};
    vi.dwOSVersionInfoSize = sizeof(vi);
    return ::GetVersionExW(&vi) && vi.dwMajorVersion < 6;
}

bool HasAnyAlpha(const TacBits32& B) {
    for (int y = 0; y < B.Height; ++y)
        for (int x = 0; x < B.Width; ++x)
            if ((B.At(x, y) >> 24) != 0) return true;
    return false;
}

// A 1-bit mask of W x H (rows padded to 16 bits, as CreateBitmap wants them)
// where Transparent(x, y) sets the bit.
template <class F>
HBITMAP MakeMonoMask(Integer W, Integer H, F&& Transparent) {
    const std::size_t rowBytes = (static_cast<std::size_t>(W) + 15) / 16 * 2;
    std::vector<Byte> bits(rowBytes * static_cast<std::size_t>(H), 0);
    for (Integer y = 0; y < H; ++y)
        for (Integer x = 0; x < W; ++x)
            if (Transparent(x, y)) bits[rowBytes * y + x / 8] |= static_cast<Byte>(0x80 >> (x % 8));
    return ::CreateBitmap(W, H, 1, 1, bits.data());
}

// An icon of a 32-bit colour bitmap and a mask (both stay the caller's).
HICON MakeIcon(TBitmap* Colour, HBITMAP Mask) {
    if (!Colour || Colour->Empty() || !Mask) return nullptr;
    ICONINFO ii{};
    ii.fIcon = TRUE;
    ii.hbmMask = Mask;
    ii.hbmColor = Colour->Handle();
    ::GdiFlush();
    return ::CreateIconIndirect(&ii);
}

// The colour bitmap of an icon as a 32-bit bitmap; where it carries no alpha
// at all, its mask gives the coverage. False when the icon has no colour part.
bool IconToBitmap32(HICON Icon, TBitmap* Result, bool KeyAlphaOnOldScreens) {
    ICONINFO info{};
    if (!Icon || !::GetIconInfo(Icon, &info)) return false;
    HBITMAP mask = info.hbmMask;
    if (!info.hbmColor) {
        if (mask) ::DeleteObject(mask);
        return false;
    }
    Result->SetHandle(info.hbmColor);   // taken over (copied into a DIB section when it is none)
    Result->SetPixelFormat(pf32bit);
    TacBits32 bits = Bits32Of(Result);
    if (KeyAlphaOnOldScreens && OlderThanVista() && ScreenBitsPerPixel() < 32) MakeAlphaFromKey(bits);
    if (bits.Valid() && !HasAnyAlpha(bits) && mask) {
        // An icon without alpha: its mask says which pixels show.
        TBitmap m;
        m.SetPixelFormat(pf32bit);
        m.SetSize(bits.Width, bits.Height);
        HDC dc = ::CreateCompatibleDC(nullptr);
        HGDIOBJ old = ::SelectObject(dc, m.Handle());
        HDC src = ::CreateCompatibleDC(nullptr);
        HGDIOBJ oldSrc = ::SelectObject(src, mask);
        ::BitBlt(dc, 0, 0, bits.Width, bits.Height, src, 0, 0, SRCCOPY);
        ::SelectObject(src, oldSrc);
        ::DeleteDC(src);
        ::SelectObject(dc, old);
        ::DeleteDC(dc);
        ::GdiFlush();
        const TacBits32 mb = Bits32Of(&m);
        for (int y = 0; y < bits.Height; ++y)
            for (int x = 0; x < bits.Width; ++x) {
                std::uint32_t& p = bits.At(x, y);
                p = (mb.At(x, y) & 0xFFFFFFu) == 0 ? (p | 0xFF000000u) : 0;
            }
    }
    if (mask) ::DeleteObject(mask);
    return true;
}

// Decodes the PNG file of an item; raises EInvalidGraphic on bad data.
std::unique_ptr<TPNGGraphic, TBitmapFree> DecodeItem(TsImgListItem* Item) {
    std::unique_ptr<TPNGGraphic, TBitmapFree> png(New<TPNGGraphic>());
    Item->ImgData->SetPosition(0);
    png->LoadFromStream(*Item->ImgData);
    return png;
}

// A copy of Bmp's pixels as they lie in a device context: BitBlt from the
// canvas into a work bitmap and back.
void CopyFromDC(HDC Dst, Integer DX, Integer DY, Integer W, Integer H, HDC Src, Integer SX, Integer SY) {
    ::BitBlt(Dst, DX, DY, W, H, Src, SX, SY, SRCCOPY);
}

}  // namespace

// ---------------------------------------------------------------------------
// Items

TsImgListItem::TsImgListItem(TCollection* Collection) : TCollectionItem(Collection) {
    ImgData = New<TMemoryStream>();
}

TsImgListItem::~TsImgListItem() {
    FreeAndNil(ImgData);
    FreeAndNil(CacheBmp);
}

void TsImgListItem::Assign(TPersistent* Source) {
    auto* item = dynamic_cast<TsImgListItem*>(Source);
    if (!item) {
        TCollectionItem::Assign(Source);
        return;
    }
    if (item == this) return;
    ImageFormat = item->ImageFormat;
    PixelFormat = item->PixelFormat;
    OrigWidth = item->OrigWidth;
    OrigHeight = item->OrigHeight;
    ImgData->Clear();
    if (item->ImgData->GetSize() > 0)
        ImgData->WriteBuffer(item->ImgData->Memory(), static_cast<Integer>(item->ImgData->GetSize()));
    ImgData->SetPosition(0);
    FreeAndNil(CacheBmp);
}

void TsImgListItem::AssignTo(TPersistent* Dest) {
    if (auto* item = dynamic_cast<TsImgListItem*>(Dest)) {
        item->Assign(this);
        return;
    }
    TCollectionItem::AssignTo(Dest);
}

TsImgListItems::TsImgListItems(TsAlphaImageList* Owner)
    : TCollection([](TCollection* C) -> TCollectionItem* { return New<TsImgListItem>(C); }), FOwner(Owner) {}

TPersistent* TsImgListItems::GetOwner() const { return FOwner; }

// ---------------------------------------------------------------------------
// The list

TsAlphaImageList::TsAlphaImageList(TComponent* AOwner) : TImageList(AOwner) { FItems = New<TsImgListItems>(this); }

TsAlphaImageList::~TsAlphaImageList() { FreeAndNil(FItems); }

void TsAlphaImageList::AfterConstruction() {
    TImageList::AfterConstruction();
    if (!HasState(csLoading)) PrepareStdList();
}

void TsAlphaImageList::Loaded() {
    TImageList::Loaded();
    PrepareStdList();
}

void TsAlphaImageList::PrepareStdList() {
    HandleNeeded();
    if (!StdListIsGenerated) GenerateStdList();
}

void TsAlphaImageList::GenerateStdList() {
    if (!HandleAllocated()) return;
    AcChanging = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{AcChanging};
    ::ImageList_Remove(Handle(), -1);
    const TColor bk = FromSystemColor(::ImageList_GetBkColor(Handle()));
    // A clear image keeps the indexes of the following items.
    auto clearIcon = [this] {
        TBitmapPtr clear = NewBitmap(Width(), Height());
        HBITMAP mask = MakeMonoMask(Width(), Height(), [](Integer, Integer) { return true; });
        HICON made = MakeIcon(clear.get(), mask);
        ::DeleteObject(mask);
        return made;
    };
    // The first item that could not be read; every item is still placed.
    String broken;
    for (Integer i = 0; i < FItems->Count(); ++i) {
        TsImgListItem* item = FItems->Item(i);
        HICON icon = nullptr;
        if (item->ImageFormat == ifPNG) {
            if (item->ImgData->GetSize() == 0) {
                icon = clearIcon();   // no file yet
            } else {
                try {
                    auto png = DecodeItem(item);
                    item->OrigWidth = png->Width();
                    item->OrigHeight = png->Height();
                    icon = IsWinXPOrLater() ? CreateMonoMaskIconFromPNG(png.get(), bk)
                                            : CreateIconFromPNG(png.get(), false);
                } catch (const Exception& e) {
                    if (broken.empty())
                        broken = u"Image " + IntToStr(i) + u" of the image list is no valid PNG image: " + e.Message();
                    icon = clearIcon();
                }
            }
        } else if (item->ImageFormat == ifICO) {
            TIcon ico;
            item->ImgData->SetPosition(0);
            ico.LoadFromStream(*item->ImgData);
            item->OrigWidth = ico.Width();
            item->OrigHeight = ico.Height();
            icon = ico.ReleaseHandle();
        } else {
            continue;
        }
        if (icon) {
            ::ImageList_ReplaceIcon(Handle(), -1, icon);
            ::DestroyIcon(icon);
        }
    }
    if (FItems->Count() > 0) {
        StdListIsGenerated = true;
        if (!ItemsKept()) FItems->Clear();
    }
    if (!broken.empty()) throw EInvalidGraphic(broken);
}

bool TsAlphaImageList::MakeBitmap32(Integer Index, Integer W, Integer H, TBitmap* Result) {
    if (!HandleAllocated() || Index < 0 || !Result) return false;
    const bool fromItem = ItemsKept() && Index < FItems->Count() && FItems->Item(Index)->ImageFormat == ifPNG &&
                          FItems->Item(Index)->ImgData->GetSize() > 0;
    if (!fromItem && Index >= Count()) return false;
    if (W <= 0 || H <= 0) {
        W = Width();
        H = Height();
    }
    if (fromItem) {
        TsImgListItem* item = FItems->Item(Index);
        if (item->CacheBmp && item->CacheBmp->Width() == W && item->CacheBmp->Height() == H) {
            Result->Assign(item->CacheBmp);
            return true;
        }
        FreeAndNil(item->CacheBmp);
        auto png = DecodeItem(item);
        TBitmapPtr src = NewBitmap();
        src->Assign(png.get());
        if (png->PixelFormat() != pf32bit) {
            src->SetPixelFormat(pf32bit);
            MakeAlphaFromKey(src.get());
        }
        // The image's own size is compared with the size asked for, which is
        // also the size it is resampled to.
        if (src->Width() == W && src->Height() == H)
            Result->Assign(src.get());
        else
            StretchBitmapForPaint(src.get(), Result, W, 6, H);
        Result->SetPixelFormat(pf32bit);
        Result->SetAlphaFormat(afDefined);
        item->CacheBmp = New<TBitmap>();
        item->CacheBmp->Assign(Result);
        return true;
    }
    HICON icon = ::ImageList_GetIcon(Handle(), Index, ILD_NORMAL);
    if (!icon) return false;
    const bool ok = IconToBitmap32(icon, Result, true);
    ::DestroyIcon(icon);
    if (!ok) return false;
    if (Result->Width() != W || Result->Height() != H) {
        TBitmapPtr copy = NewBitmap();
        copy->Assign(Result);
        StretchBitmapForPaint(copy.get(), Result, W, 6, H);
        Result->SetPixelFormat(pf32bit);
    }
    Result->SetAlphaFormat(afDefined);
    return true;
}

bool TsAlphaImageList::GetBitmap32(Integer Index, TBitmap* Image) {
    if (!Image) return false;
    const bool sized = Image->Width() > 0 && Image->Height() > 0;
    return MakeBitmap32(Index, sized ? Image->Width() : Width(), sized ? Image->Height() : Height(), Image);
}

TBitmap* TsAlphaImageList::CreateBitmap32(Integer Index, Integer aWidth, Integer aHeight) {
    TBitmapPtr result = NewBitmap();
    if (!MakeBitmap32(Index, aWidth, aHeight, result.get())) return nullptr;
    return result.release();
}

TColor TsAlphaImageList::BkColor() const { return FBkColor != clNone ? FBkColor : TImageList::BkColor(); }

void TsAlphaImageList::SetBkColor(TColor Value) {
    FBkColor = Value;
    TImageList::SetBkColor(Value);
}

void TsAlphaImageList::SetNewDimensions(HIMAGELIST Value) {
    int w = 0, h = 0;
    if (Value && ::ImageList_GetIconSize(Value, &w, &h)) SetSize(w, h);
}

void TsAlphaImageList::AcEndUpdate(bool DoChange) {
    AcChanging = false;
    if (DoChange) Change();
}

void TsAlphaImageList::DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, UINT, bool) {
    if (!HandleAllocated() || Index < 0 || !Canvas) return;
    const Integer w = Width(), h = Height();
    if (Index >= FItems->Count() || FItems->Item(Index)->ImageFormat == ifICO) {
        if (Index >= Count()) return;
        ::ImageList_SetBkColor(Handle(), CLR_NONE);
        HICON icon = ::ImageList_GetIcon(Handle(), Index, ILD_NORMAL);
        if (!icon) return;
        ::DrawIconEx(Canvas->Handle(), X, Y, icon, w, h, 0, nullptr, DI_NORMAL);
        ::DestroyIcon(icon);
        return;
    }
    TBitmapPtr image(CreateBitmap32(Index, w, h));
    if (!image) return;
    TBitmapPtr work = NewBitmap(w, h);
    HDC dc = Canvas->Handle();
    CopyFromDC(work->Canvas()->Handle(), 0, 0, w, h, dc, X, Y);
    ::GdiFlush();
    CopyAlphaImage(TRect(0, 0, w, h), TRect(0, 0, w, h), work.get(), image.get(), TCacheInfo(), false);
    CopyFromDC(dc, X, Y, w, h, work->Canvas()->Handle(), 0, 0);
}

void TsAlphaImageList::FixAlphaOfStdImages() {
    AcChanging = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{AcChanging};
    for (Integer i = 0; i < Count(); ++i) {
        HICON icon = ::ImageList_GetIcon(Handle(), i, ILD_NORMAL);
        ICONINFO info{};
        if (!icon) continue;
        const bool got = ::GetIconInfo(icon, &info) != 0;
        ::DestroyIcon(icon);
        if (!got) continue;
        TBitmapPtr colour = NewBitmap();
        if (info.hbmColor) {
            colour->SetHandle(info.hbmColor);
            colour->SetPixelFormat(pf32bit);
        }
        const TacBits32 bits = Bits32Of(colour.get());
        if (bits.Valid() && !HasAnyAlpha(bits)) {
            for (int y = 0; y < bits.Height; ++y)
                for (int x = 0; x < bits.Width; ++x) {
                    std::uint32_t& p = bits.At(x, y);
                    if ((p & 0xFFFFFFu) != 0xFF00FFu) p |= 0xFF000000u;
                }
            HICON fixed = MakeIcon(colour.get(), info.hbmMask);
            if (fixed) {
                ::ImageList_ReplaceIcon(Handle(), i, fixed);
                ::DestroyIcon(fixed);
            }
        }
        if (info.hbmMask) ::DeleteObject(info.hbmMask);
    }
}

void TsAlphaImageList::Change() {
    if (AcChanging || !HandleAllocated() || HasState(csLoading) || !StdListIsGenerated) return;
    const Integer items = FItems->Count(), images = Count();
    if (!ItemsKept() || items < images || HasState(csDesigning)) {
        TImageList::Change();
        return;
    }
    if (items > images)
        GenerateStdList();
    else
        FixAlphaOfStdImages();
    TImageList::Change();
}

void TsAlphaImageList::CopyImages(TsAlphaImageList* Source) {
    if (!Source || Source == this) return;
    HandleNeeded();
    if (ItemsKept() && Source->Items()->Count() > 0) {
        FItems->BeginUpdate();
        FItems->Clear();
        for (Integer i = 0; i < Source->Items()->Count(); ++i) {
            const TsImgListItem* from = Source->Items()->Item(i);
            TsImgListItem* to = FItems->AddItem();
            to->ImageFormat = from->ImageFormat;
            to->PixelFormat = from->PixelFormat;
            if (from->ImgData->GetSize() > 0)
                to->ImgData->WriteBuffer(from->ImgData->Memory(), static_cast<Integer>(from->ImgData->GetSize()));
        }
        FItems->EndUpdate();
        GenerateStdList();
    } else {
        AcChanging = true;
        ::ImageList_Remove(Handle(), -1);
        for (Integer i = 0; Source->HandleAllocated() && i < Source->Count(); ++i) {
            HICON icon = ::ImageList_GetIcon(Source->Handle(), i, ILD_NORMAL);
            if (!icon) continue;
            ::ImageList_ReplaceIcon(Handle(), -1, icon);
            ::DestroyIcon(icon);
        }
        AcChanging = false;
    }
    Change();
}

void TsAlphaImageList::Assign(TPersistent* Source) {
    auto* list = dynamic_cast<TsAlphaImageList*>(Source);
    if (!list) {
        TImageList::Assign(Source);   // another image list, or nullptr: frees the system list
        return;
    }
    if (list == this) return;
    BeginUpdate();
    try {
        Masked = list->Masked;
        ImageType = list->ImageType;
        DrawingStyle = list->DrawingStyle;
        ShareImages = false;
        BlendColor = list->BlendColor;
        if (list->HandleAllocated())
            SetNewDimensions(list->Handle());
        else
            SetSize(list->Width(), list->Height());
        SetBkColor(list->HandleAllocated() ? FromSystemColor(::ImageList_GetBkColor(list->Handle())) : clNone);
        CopyImages(list);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TsAlphaImageList::AssignTo(TPersistent* Dest) {
    if (auto* list = dynamic_cast<TsAlphaImageList*>(Dest)) {
        list->Assign(this);
        return;
    }
    TImageList::AssignTo(Dest);
}

// ---------------------------------------------------------------------------
// Drawing list images

void DrawListGlyph(TCustomImageList* List, TBitmap* Bmp, Integer X, Integer Y, TSize& Size, bool Reflected,
                   Integer Count, Integer State, TColor TintColor, Integer BlendPercent, Integer Index) {
    if (!List || !Bmp || Bmp->Empty()) return;
    Count = std::max<Integer>(Count, 1);
    State = std::clamp<Integer>(State, 0, Count - 1);
    const Integer w = List->Width() / Count, h = List->Height();
    Size.cx = w;
    Size.cy = h;
    if (w <= 0 || h <= 0 || Index < 0) return;
    if (auto* alpha = dynamic_cast<TsAlphaImageList*>(List)) {
        TBitmapPtr image(alpha->CreateBitmap32(Index, List->Width(), h));
        if (!image) return;
        Bmp->SetPixelFormat(pf32bit);
        CopyAlphaImage(TRect(X, Y, X + w, Y + h), TRect(State * w, 0, State * w + w, h), Bmp, image.get(), TCacheInfo(),
                       false, TintColor, BlendPercent, Reflected);
        return;
    }
    if (Index >= List->Count()) return;
    // Another list draws itself over a copy of the background.
    TBitmapPtr temp = NewBitmap(List->Width(), h);
    CopyFromDC(temp->Canvas()->Handle(), State * w, 0, w, h, Bmp->Canvas()->Handle(), X, Y);
    List->Draw(temp->Canvas(), 0, 0, Index, true);
    CopyFromDC(Bmp->Canvas()->Handle(), X, Y, w, h, temp->Canvas()->Handle(), State * w, 0);
}

void DrawListGlyphOnDC(TCustomImageList* List, HDC DC, Integer X, Integer Y, TSize& Size, bool Reflected,
                       Integer Count, Integer State, TColor TintColor, Integer BlendPercent, Integer Index) {
    if (!List || !DC) return;
    const Integer w = List->Width() / std::max<Integer>(Count, 1), h = List->Height();
    Size.cx = w;
    Size.cy = h;
    if (w <= 0 || h <= 0) return;
    // Room below the image for its reflection.
    const Integer th = Reflected ? h + h / 2 + 1 : h;
    TBitmapPtr temp = NewBitmap(w, th);
    CopyFromDC(temp->Canvas()->Handle(), 0, 0, w, th, DC, X, Y);
    DrawListGlyph(List, temp.get(), 0, 0, Size, Reflected, Count, State, TintColor, BlendPercent, Index);
    CopyFromDC(DC, X, Y, w, th, temp->Canvas()->Handle(), 0, 0);
}

Integer ScreenBitsPerPixel() {
    HDC dc = ::GetDC(nullptr);
    const Integer bits = dc ? ::GetDeviceCaps(dc, BITSPIXEL) : 0;
    if (dc) ::ReleaseDC(nullptr, dc);
    return bits;
}

// ---------------------------------------------------------------------------
// PNG images as icons, and alpha helpers

HICON CreateIconFromPNG(TPNGGraphic* Png, bool ForceMask) {
    if (!Png || Png->Empty()) return nullptr;
    TBitmapPtr colour = NewBitmap();
    colour->Assign(Png);
    const bool keyed = ForceMask || Png->PixelFormat() != pf32bit;
    colour->SetPixelFormat(pf32bit);
    const TacBits32 bits = Bits32Of(colour.get());
    if (!bits.Valid()) return nullptr;
    HBITMAP mask;
    if (keyed) {
        const std::uint32_t key = bits.At(0, 0) & 0xFFFFFFu;
        mask = MakeMonoMask(bits.Width, bits.Height, [&](Integer x, Integer y) { return (bits.At(x, y) & 0xFFFFFFu) == key; });
        for (int y = 0; y < bits.Height; ++y)
            for (int x = 0; x < bits.Width; ++x) {
                std::uint32_t& p = bits.At(x, y);
                p = (p & 0xFFFFFFu) == key ? 0 : (p | 0xFF000000u);
            }
    } else {
        mask = MakeMonoMask(bits.Width, bits.Height, [](Integer, Integer) { return false; });
    }
    HICON icon = MakeIcon(colour.get(), mask);
    ::DeleteObject(mask);
    return icon;
}

HICON CreateMonoMaskIconFromPNG(TPNGGraphic* Png, TColor BkColor) {
    if (!Png || Png->Empty()) return nullptr;
    TBitmapPtr colour = NewBitmap();
    colour->Assign(Png);
    const bool hasAlpha = Png->PixelFormat() == pf32bit;
    colour->SetPixelFormat(pf32bit);
    const TacBits32 bits = Bits32Of(colour.get());
    if (!bits.Valid()) return nullptr;
    if (!hasAlpha) FillAlphaRect(bits, TRect(0, 0, bits.Width, bits.Height), 255, false);
    HBITMAP mask = MakeMonoMask(bits.Width, bits.Height, [&](Integer x, Integer y) { return (bits.At(x, y) >> 24) == 0; });
    const bool overColour = BkColor != clNone && BkColor != clDefault;
    const std::uint32_t bk = overColour ? OpaquePixel(ColorToRGB(BkColor)) : 0;
    for (int y = 0; y < bits.Height; ++y)
        for (int x = 0; x < bits.Width; ++x) {
            std::uint32_t& p = bits.At(x, y);
            const int a = static_cast<int>(p >> 24);
            if (a == 0) {
                p = 0;
            } else if (overColour && a != 255) {
                std::uint32_t v = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8)
                    v |= static_cast<std::uint32_t>(StdMix(static_cast<int>((bk >> shift) & 0xFF),
                                                           static_cast<int>((p >> shift) & 0xFF), a))
                         << shift;
                p = v;
            }
        }
    HICON icon = MakeIcon(colour.get(), mask);
    ::DeleteObject(mask);
    return icon;
}

void ClearTransparentWhite(TBitmap* Bmp) { ::ClearTransparentWhite(Bits32Of(Bmp)); }
void PremultiplyAlpha(TBitmap* Bmp) { ::PremultiplyAlpha(Bits32Of(Bmp)); }
void MakeAlphaFromKey(TBitmap* Bmp) { ::MakeAlphaFromKey(Bits32Of(Bmp)); }
