// The alpha image list: an image list that keeps its images as PNG or icon
// files and feeds a 32-bit system image list made from them, so that images
// keep their alpha channel; the skinned controls draw its images with full
// alpha over their cached backgrounds. With it, the routines that turn a
// decoded PNG image into an icon and draw images with alpha. Win32, main
// thread only.
#pragma once

#include "Classes.h"
#include "Graphics.h"
#include "ImgList.h"
#include "acPNG.h"

class TsAlphaImageList;

enum TsImageFormat { ifPNG, ifICO };

// One image of the list: the bytes of its file and the last 32-bit image
// made from it.
class TsImgListItem : public TCollectionItem {
public:
    KES_CLASS_NAME(TsImgListItem)
    explicit TsImgListItem(TCollection* Collection);
    ~TsImgListItem() override;
    // Another item: format, pixel format, the original size and the data.
    void Assign(TPersistent* Source) override;

    TsImageFormat ImageFormat = ifPNG;
    TPixelFormat PixelFormat = pf32bit;
    // The image's own size, filled when the system list is made.
    Integer OrigWidth = 0;
    Integer OrigHeight = 0;
    TMemoryStream* ImgData = nullptr;   // owned: the file bytes
    TBitmap* CacheBmp = nullptr;        // owned: the last image made at a requested size

protected:
    void AssignTo(TPersistent* Dest) override;
};

class TsImgListItems : public TCollection {
public:
    KES_CLASS_NAME(TsImgListItems)
    explicit TsImgListItems(TsAlphaImageList* Owner);
    TsImgListItem* Item(Integer Index) const { return static_cast<TsImgListItem*>(Items(Index)); }
    TsImgListItem* AddItem() { return static_cast<TsImgListItem*>(Add()); }
    TPersistent* GetOwner() const override;

private:
    TsAlphaImageList* FOwner;
};

class TsAlphaImageList : public TImageList {
public:
    KES_CLASS_NAME(TsAlphaImageList)
    explicit TsAlphaImageList(TComponent* AOwner);
    ~TsAlphaImageList() override;
    // Unless loading: the system list is made when missing and filled from
    // the items when that was not done yet.
    void AfterConstruction() override;

    // Between alpha image lists: settings, the background colour and the
    // images within one update bracket; other image lists are copied by the
    // framework; nullptr frees the system list.
    void Assign(TPersistent* Source) override;
    // Items kept: the items are copied and the system list made from them;
    // else the system icons are copied one by one.
    void CopyImages(TsAlphaImageList* Source);

    // Rebuilds the system list from the items (only with a system list).
    void GenerateStdList();
    // Image Index as a 32-bit bitmap with alpha into Image, of Image's size
    // when it has one, else of the list size. False for an invalid index or
    // without a system list.
    bool GetBitmap32(Integer Index, TBitmap* Image);
    // The same as a new bitmap (the caller frees it) of aWidth x aHeight;
    // nullptr for an invalid index or without a system list.
    TBitmap* CreateBitmap32(Integer Index, Integer aWidth, Integer aHeight);

    TsImgListItems* Items() const { return FItems; }
    void SetItems(TsImgListItems* Value) { FItems->Assign(Value); }
    // clNone hands the question to the system list.
    TColor BkColor() const override;
    void SetBkColor(TColor Value) override;
    // Width and height from another system list's icon size.
    void SetNewDimensions(HIMAGELIST Value);

    void AcBeginUpdate() { AcChanging = true; }
    void AcEndUpdate(bool DoChange = true);

    bool StdListIsGenerated = false;
    bool AcChanging = false;   // the list is being rebuilt
    bool DoubleData = true;    // keep the items once the system list is made

protected:
    void AssignTo(TPersistent* Dest) override;
    void Loaded() override;
    void DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, UINT Style, bool Enabled) override;
    void Change() override;

private:
    bool ItemsKept() const { return DoubleData || HasState(csDesigning); }
    // Makes the system list when missing and fills it when not done yet.
    void PrepareStdList();
    // The image of Index at W x H into Result (32-bit).
    bool MakeBitmap32(Integer Index, Integer W, Integer H, TBitmap* Result);
    void FixAlphaOfStdImages();

    TsImgListItems* FItems = nullptr;
    TColor FBkColor = clNone;
};

// Draws state State (limited to Count - 1) of image Index, whose width is
// divided into Count states, into Bmp at (X, Y); Size becomes the state's
// size. An alpha image list composites through its alpha (tint, blend and
// reflection passed on); other lists draw over a copy of the background.
void DrawListGlyph(TCustomImageList* List, TBitmap* Bmp, Integer X, Integer Y, TSize& Size, bool Reflected,
                   Integer Count, Integer State, TColor TintColor, Integer BlendPercent, Integer Index);
// The same into a device context, through a bitmap copied from it and back.
void DrawListGlyphOnDC(TCustomImageList* List, HDC DC, Integer X, Integer Y, TSize& Size, bool Reflected,
                       Integer Count, Integer State, TColor TintColor, Integer BlendPercent, Integer Index);
// Bits per pixel of the screen.
Integer ScreenBitsPerPixel();

// An icon (the caller destroys it) whose colour part is the PNG: a 32-bit
// image keeps its alpha with a clear mask; another image (or ForceMask) is
// made 32-bit and its pixels equal to the top-left pixel are masked out.
HICON CreateIconFromPNG(TPNGGraphic* Png, bool ForceMask);
// An icon whose colour part is the PNG drawn over BkColor (the image as it
// is when BkColor is clNone) and whose mask marks the transparent pixels.
HICON CreateMonoMaskIconFromPNG(TPNGGraphic* Png, TColor BkColor);
// On 32-bit bitmaps (others: nothing): fully transparent white becomes 0;
// colours multiplied by alpha; alpha from the bottom-left key when no pixel
// has any.
void ClearTransparentWhite(TBitmap* Bmp);
void PremultiplyAlpha(TBitmap* Bmp);
void MakeAlphaFromKey(TBitmap* Bmp);
