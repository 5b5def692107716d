// Image lists of the framework: a component over a system image list
// (HIMAGELIST) of images of one size, drawn by index.
#pragma once

#include "Classes.h"
#include "Graphics.h"
#include "WinApi.h"

enum TImageType { itImage, itMask };
enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };

class TCustomImageList : public TComponent {
public:
    KES_CLASS_NAME(TCustomImageList)
    explicit TCustomImageList(TComponent* AOwner);
    ~TCustomImageList() override;

    // Another image list: its size, flags, colours and a copy of its system
    // list; nullptr frees the system list.
    void Assign(TPersistent* Source) override;

    Integer Width() const { return FWidth; }
    Integer Height() const { return FHeight; }
    // A new size empties the list (the system list is made anew).
    void SetWidth(Integer Value) { SetSize(Value, FHeight); }
    void SetHeight(Integer Value) { SetSize(FWidth, Value); }
    void SetSize(Integer AWidth, Integer AHeight);
    // The images of the system list (0 without one).
    Integer Count() const;

    HIMAGELIST Handle() const { return FHandle; }
    bool HandleAllocated() const { return FHandle != nullptr; }
    // Takes over a system list (destroyed with this list unless ShareImages);
    // the size follows its icon size.
    void SetHandle(HIMAGELIST Value);
    // Makes the system list when there is none.
    void HandleNeeded();

    bool Masked = true;
    TImageType ImageType = itImage;
    TDrawingStyle DrawingStyle = dsNormal;
    bool ShareImages = false;
    TColor BlendColor = clNone;
    // The system list's background colour: clNone (CLR_NONE) draws
    // transparently.
    virtual TColor BkColor() const;
    virtual void SetBkColor(TColor Value);

    // Draws image Index with its top-left at (X, Y); nothing without a system
    // list or for a negative index.
    void Draw(TCanvas* Canvas, Integer X, Integer Y, Integer Index, bool Enabled = true);
    // Image Index as a Width x Height bitmap drawn over the background colour
    // (black when the list has none); false for an invalid index.
    bool GetBitmap(Integer Index, TBitmap* Image);
    // Adds an icon (copied into the system list); the new index or -1.
    Integer AddIcon(HICON Icon);
    void Delete(Integer Index);
    void Clear();

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    TNotifyEvent OnChange;

protected:
    // The flags of a new system list: ILC_COLOR32 and ILC_MASK when Masked.
    virtual UINT CreateFlags() const;
    virtual void DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, UINT Style, bool Enabled);
    // Tells OnChange (after an update bracket closes, once).
    virtual void Change();
    void FreeHandle();
    // The framework's copy of another list's images and settings.
    void CopyFrom(TCustomImageList* Source);

    Integer FUpdateCount = 0;

private:
    HIMAGELIST FHandle = nullptr;
    Integer FWidth = 16;
    Integer FHeight = 16;
    bool FChanged = false;
};

class TImageList : public TCustomImageList {
public:
    KES_CLASS_NAME(TImageList)
    using TCustomImageList::TCustomImageList;
};
