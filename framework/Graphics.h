// Graphics of the framework: colours, fonts, brushes, pens, the canvas over a
// device context, graphics (the abstract TGraphic and the DIB-section
// TBitmap) and the picture with its registry of file formats.
#pragma once

#include <memory>
#include <vector>

#include "Classes.h"
#include "Types.h"
#include "WinApi.h"

KES_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)

// ---------------------------------------------------------------------------
// Colours. A TColor is 0x00BBGGRR like a COLORREF, or a system colour
// 0x80000000 | COLOR_xxx (negative), or one of the special values clNone and
// clDefault.

using TColor = std::int32_t;

constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }

constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);
constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);
constexpr TColor clGradientActiveCaption = SystemColor(COLOR_GRADIENTACTIVECAPTION);
constexpr TColor clGradientInactiveCaption = SystemColor(COLOR_GRADIENTINACTIVECAPTION);
constexpr TColor clMenuHighlight = SystemColor(COLOR_MENUHILIGHT);
constexpr TColor clMenuBar = SystemColor(COLOR_MENUBAR);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// The RGB value of a colour: system colours are looked up, every other value
// is returned unchanged.
TColor ColorToRGB(TColor color);

// ---------------------------------------------------------------------------
// Fonts, brushes and pens. Each keeps a GDI handle that is made when first
// asked for and dropped (after OnChange has run) when a property that the
// handle depends on changes.

class TCanvas;

class TGraphicsObject : public TPersistent {
public:
    KES_CLASS_NAME(TGraphicsObject)

    TNotifyEvent OnChange;

protected:
    virtual void Changed();
    // Drops the handle, tells the listeners (a canvas takes the old handle out
    // of its DC first) and then deletes the old handle.
    template <class H>
    void ReplaceHandle(H& handle) {
        HGDIOBJ old = handle;
        handle = nullptr;
        try {
            Changed();
        } catch (...) {
            if (old) ::DeleteObject(old);
            throw;
        }
        if (old) ::DeleteObject(old);
    }
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
enum TFontQuality { fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural };
using TFontCharset = Byte;   // ANSI_CHARSET, DEFAULT_CHARSET, RUSSIAN_CHARSET, ...

// A face name of at most 31 characters stored in place, so that the default
// font record below needs no start-up code.
class TFontDataName {
public:
    static constexpr std::size_t Capacity = LF_FACESIZE - 1;

    constexpr TFontDataName() = default;
    explicit constexpr TFontDataName(const Char* text) {
        while (text[FLength] != 0 && FLength < Capacity) {
            FText[FLength] = text[FLength];
            ++FLength;
        }
    }
    TFontDataName& operator=(StringView text);   // cut after 31 characters

    StringView View() const { return {FText, FLength}; }
    String Str() const { return String(View()); }
    const Char* c_str() const { return FText; }
    friend bool operator==(const TFontDataName& a, StringView b) { return a.View() == b; }

private:
    Char FText[LF_FACESIZE] = {};
    std::size_t FLength = 0;
};

struct TFontData {
    Integer Height;
    TFontPitch Pitch;
    TFontStyles Style;
    TFontCharset Charset;
    TFontDataName Name;
};

// What every TFont starts with: "MS Sans Serif", height -11, default charset.
// The program may change it at start-up; fonts made afterwards follow it.
extern TFontData DefFontData;

class TFont : public TGraphicsObject {
public:
    KES_CLASS_NAME(TFont)
    TFont();
    ~TFont() override;
    void Assign(TPersistent* Source) override;

    // The HFONT, made on first use. The font owns it.
    HFONT Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    // Takes over a font handle: the properties are read from it and the
    // handle becomes this font's own (it is deleted with the font).
    void SetHandle(HFONT value);

    const String& Name() const { return FName; }
    void SetName(const String& value);   // an empty name is ignored
    Integer Height() const { return FHeight; }
    void SetHeight(Integer value);
    // Points at PixelsPerInch: Size = -Height * 72 / PixelsPerInch.
    Integer Size() const;
    void SetSize(Integer value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset value);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch value);
    TFontQuality Quality() const { return FQuality; }
    void SetQuality(TFontQuality value);
    Integer Orientation() const { return FOrientation; }   // tenths of a degree
    void SetOrientation(Integer value);
    Integer PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(Integer value);

    // The description the handle is made from.
    LOGFONTW LogFont() const;

private:
    void HandleChanged();   // a property of the handle changed

    HFONT FHandle = nullptr;
    String FName;
    Integer FHeight;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    TFontCharset FCharset;
    TFontPitch FPitch;
    TFontQuality FQuality = fqDefault;
    Integer FOrientation = 0;
    Integer FPixelsPerInch;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
public:
    KES_CLASS_NAME(TBrush)
    TBrush() = default;
    ~TBrush() override;
    void Assign(TPersistent* Source) override;

    // The HBRUSH, made on first use (the stock null brush for bsClear).
    HBRUSH Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);

private:
    void HandleChanged();

    HBRUSH FHandle = nullptr;
    bool FOwnsHandle = false;
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
    pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
    pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
public:
    KES_CLASS_NAME(TPen)
    TPen() = default;
    ~TPen() override;
    void Assign(TPersistent* Source) override;

    HPEN Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    Integer Width() const { return FWidth; }
    void SetWidth(Integer value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    // The raster operation lines are drawn with (does not change the handle).
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value);

private:
    void HandleChanged();

    HPEN FHandle = nullptr;
    TColor FColor = clBlack;
    Integer FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
};

// ---------------------------------------------------------------------------
// The canvas: drawing on a device context with its font, brush and pen,
// which are selected into the DC when a drawing call needs them and taken out
// again when the DC is detached.

class TGraphic;

constexpr DWORD cmBlackness = BLACKNESS;
constexpr DWORD cmDstInvert = DSTINVERT;
constexpr DWORD cmMergeCopy = MERGECOPY;
constexpr DWORD cmMergePaint = MERGEPAINT;
constexpr DWORD cmNotSrcCopy = NOTSRCCOPY;
constexpr DWORD cmNotSrcErase = NOTSRCERASE;
constexpr DWORD cmPatCopy = PATCOPY;
constexpr DWORD cmPatInvert = PATINVERT;
constexpr DWORD cmPatPaint = PATPAINT;
constexpr DWORD cmSrcAnd = SRCAND;
constexpr DWORD cmSrcCopy = SRCCOPY;
constexpr DWORD cmSrcErase = SRCERASE;
constexpr DWORD cmSrcInvert = SRCINVERT;
constexpr DWORD cmSrcPaint = SRCPAINT;
constexpr DWORD cmWhiteness = WHITENESS;

class TCanvas : public TPersistent {
public:
    KES_CLASS_NAME(TCanvas)
    TCanvas();
    ~TCanvas() override;

    // The DC; a canvas without one asks CreateHandle for it and raises
    // EInvalidGraphicOperation when it still has none.
    HDC Handle();
    // Attaches a DC (nullptr detaches); the previous DC gets its original
    // font, brush and pen back. The canvas never deletes or releases a DC
    // given to it here.
    void SetHandle(HDC value);
    bool HandleAllocated() const { return FHandle != nullptr; }

    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value) { FFont->Assign(value); }
    TBrush* Brush() const { return FBrush.get(); }
    void SetBrush(TBrush* value) { FBrush->Assign(value); }
    TPen* Pen() const { return FPen.get(); }
    void SetPen(TPen* value) { FPen->Assign(value); }

    DWORD CopyMode = cmSrcCopy;   // raster operation of CopyRect and Draw
    UINT TextFlags = 0;           // ETO_xxx flags added to TextOut and TextRect

    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);
    void Rectangle(Integer x1, Integer y1, Integer x2, Integer y2);
    void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    void RoundRect(Integer x1, Integer y1, Integer x2, Integer y2, Integer x3, Integer y3);
    void Ellipse(Integer x1, Integer y1, Integer x2, Integer y2);
    void Ellipse(const TRect& rect) { Ellipse(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    void Polygon(const std::vector<TPoint>& points);
    void Polyline(const std::vector<TPoint>& points);
    void MoveTo(Integer x, Integer y);
    void LineTo(Integer x, Integer y);
    TPoint PenPos();
    void SetPenPos(TPoint value) { MoveTo(value.X, value.Y); }

    void TextOut(Integer x, Integer y, const String& text);
    // Text at (x, y) clipped to Rect; the rectangle is filled first unless
    // the brush is bsClear.
    void TextRect(const TRect& rect, Integer x, Integer y, const String& text);
    TSize TextExtent(const String& text);
    Integer TextWidth(const String& text) { return TextExtent(text).cx; }
    Integer TextHeight(const String& text) { return TextExtent(text).cy; }

    // Draws a graphic at its own size, or stretched to Rect.
    void Draw(Integer x, Integer y, TGraphic* graphic);
    void StretchDraw(const TRect& rect, TGraphic* graphic);
    // Copies (stretching when the sizes differ) Source's SourceRect to Dest
    // with CopyMode.
    void CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect);

    TColor Pixels(Integer x, Integer y);
    void SetPixels(Integer x, Integer y, TColor color);
    TRect ClipRect();

    // Takes the font, brush and pen out of the DC; they are selected again
    // when next needed.
    void Refresh();

    // Kept for code that brackets drawing from other threads; drawing here
    // happens on the main thread only, so these only count.
    void Lock() { ++FLockCount; }
    void Unlock() { --FLockCount; }
    int LockCount() const { return FLockCount; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

    // Around every drawing call.
    virtual void Changing();
    virtual void Changed();

protected:
    // Gives the canvas a DC when it has none; the default does nothing.
    virtual void CreateHandle() {}

    static constexpr unsigned csHandleValid = 1;
    static constexpr unsigned csFontValid = 2;
    static constexpr unsigned csPenValid = 4;
    static constexpr unsigned csBrushValid = 8;
    void RequiredState(unsigned required);

    HDC FHandle = nullptr;

private:
    void DeselectHandles();
    void FontChanged(TObject* Sender);
    void PenChanged(TObject* Sender);
    void BrushChanged(TObject* Sender);

    unsigned FState = 0;
    HGDIOBJ FOldFont = nullptr;   // what the DC had before our objects
    HGDIOBJ FOldPen = nullptr;
    HGDIOBJ FOldBrush = nullptr;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TBrush> FBrush;
    std::unique_ptr<TPen> FPen;
    int FLockCount = 0;
};

// ---------------------------------------------------------------------------
// Graphics.

enum TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = TDelegate<void(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow,
                                      const TRect& R, const String& Msg)>;

class TBitmap;

class TGraphic : public TPersistent {
public:
    KES_CLASS_NAME(TGraphic)

    // An empty object of the same class (used to copy graphics); every
    // graphic class overrides it.
    virtual TGraphic* CreateNew() const = 0;

    virtual bool Empty() const = 0;
    virtual Integer Width() const = 0;
    virtual Integer Height() const = 0;
    virtual void SetWidth(Integer value) = 0;
    virtual void SetHeight(Integer value) = 0;
    virtual void SetSize(Integer width, Integer height);
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool value);
    bool Modified = false;

    // Streams hold the graphic's file format; loading starts at the stream's
    // position. Bad data raises EInvalidGraphic.
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    virtual void LoadFromFile(const String& fileName);
    virtual void SaveToFile(const String& fileName);

    // Draws the graphic into Rect of the canvas (stretched to it).
    virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;

    // Makes Dest a copy of the image (32 bits with alpha where the graphic
    // has alpha); returns false when this class has no such copy, and then
    // TBitmap::Assign draws the graphic instead.
    virtual bool CopyToBitmap(TBitmap& dest) const;

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

protected:
    virtual void Changed(TObject* Sender);
    void Progress(TObject* Sender, TProgressStage stage, Byte percentDone, bool redrawNow, const TRect& r,
                  const String& msg);

    bool FTransparent = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
// How the fourth byte of a 32-bit bitmap is drawn: ignored, straight alpha or
// alpha already multiplied into the colours.
enum TAlphaFormat { afIgnored, afDefined, afPremultiplied };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmapCanvas;

// A bottom-up DIB section. A new bitmap is 0 x 0 without a handle and has the
// pixel format pf32bit; pfDevice means pf32bit. Formats pf1bit to pf16bit
// are kept too (indexed ones with a colour table); pfCustom is refused.
class TBitmap : public TGraphic {
public:
    KES_CLASS_NAME(TBitmap)
    TBitmap();
    TBitmap(Integer width, Integer height, TPixelFormat format = pf32bit);
    ~TBitmap() override;
    TGraphic* CreateNew() const override { return New<TBitmap>(); }

    // Copies a TBitmap, turns any other graphic into a bitmap of its size
    // (CopyToBitmap, else by drawing it over transparent black); nullptr
    // makes the bitmap 0 x 0.
    void Assign(TPersistent* Source) override;

    bool Empty() const override { return FHandle == nullptr; }
    Integer Width() const override { return FWidth; }
    Integer Height() const override { return FHeight; }
    void SetWidth(Integer value) override { SetSize(value, FHeight); }
    void SetHeight(Integer value) override { SetSize(FWidth, value); }
    // Keeps the top-left part of the old image; new pixels are zero. Negative
    // sizes count as 0.
    void SetSize(Integer width, Integer height) override;

    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat value);   // converts the pixels
    TAlphaFormat AlphaFormat() const { return FAlphaFormat; }
    void SetAlphaFormat(TAlphaFormat value) { FAlphaFormat = value; }
    int BitsPerPixel() const;
    // Bytes of one row, padded to 4 bytes.
    Integer RowBytes() const;
    // The address of a row, counted from the top. Raises
    // EInvalidGraphicOperation for rows outside the bitmap.
    void* ScanLine(Integer row);
    const void* ScanLine(Integer row) const;

    // The colour table of an indexed bitmap (empty for other formats).
    std::vector<RGBQUAD> ColorTable() const { return FColorTable; }
    void SetColorTable(const std::vector<RGBQUAD>& colors);

    // The canvas draws into the bitmap; drawing on it calls OnChange.
    TCanvas* Canvas();
    HBITMAP Handle() const { return FHandle; }
    bool HandleAllocated() const { return FHandle != nullptr; }
    // Takes over a bitmap handle (deleted with this bitmap): a bottom-up 24-
    // or 32-bit DIB section is kept as it is, anything else is copied into a
    // 32-bit DIB section and then deleted.
    void SetHandle(HBITMAP value);
    // Gives the handle to the caller and leaves the bitmap 0 x 0.
    HBITMAP ReleaseHandle();

    // Transparent drawing leaves out the pixels of TransparentColor: the
    // bottom-left pixel in tmAuto, the set colour in tmFixed.
    TColor TransparentColor() const;
    void SetTransparentColor(TColor value);   // clDefault means tmAuto
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode value);

    // BMP files: 1, 4, 8, 16, 24 and 32 bits per pixel, BI_RGB and
    // BI_BITFIELDS, bottom-up and top-down. Saving writes the bitmap's own
    // format.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void Draw(TCanvas& canvas, const TRect& rect) override;

private:
    friend class TBitmapCanvas;
    struct Dib;
    void Replace(Dib&& dib, Integer width, Integer height, TPixelFormat format, std::vector<RGBQUAD> colors);
    TColor PixelAt(Integer x, Integer y) const;
    void DrawAlpha(HDC dst, const TRect& rect, HDC src);

    HBITMAP FHandle = nullptr;
    Byte* FBits = nullptr;
    Integer FWidth = 0;
    Integer FHeight = 0;
    TPixelFormat FPixelFormat = pf32bit;
    TAlphaFormat FAlphaFormat = afIgnored;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = clDefault;
    std::vector<RGBQUAD> FColorTable;
    std::unique_ptr<TBitmapCanvas> FCanvas;
};

// ---------------------------------------------------------------------------
// An icon: keeps an HICON (destroyed with the icon) and, when it was read
// from a stream, the file's bytes, which SaveToStream writes back.

class TIcon : public TGraphic {
public:
    KES_CLASS_NAME(TIcon)
    TIcon() = default;
    ~TIcon() override;
    TGraphic* CreateNew() const override { return New<TIcon>(); }

    // Copies another icon (its handle is duplicated); nullptr empties it.
    void Assign(TPersistent* Source) override;

    bool Empty() const override { return FHandle == nullptr; }
    Integer Width() const override { return FWidth; }
    Integer Height() const override { return FHeight; }
    // An icon has the size of its image; these raise EInvalidGraphicOperation.
    void SetWidth(Integer value) override;
    void SetHeight(Integer value) override;

    HICON Handle() const { return FHandle; }
    // Takes over an icon handle (destroyed with this icon); the size is read
    // from its colour or mask bitmap.
    void SetHandle(HICON value);
    // Gives the handle to the caller and leaves the icon empty.
    HICON ReleaseHandle();

    // ICO files: the largest image of the directory (then the deepest
    // colour) becomes the icon. Bad data raises EInvalidGraphic and leaves
    // the icon as it was.
    void LoadFromStream(TStream& stream) override;
    // Writes the bytes the icon was read from; an icon made from a handle
    // raises EInvalidGraphicOperation.
    void SaveToStream(TStream& stream) override;
    // DrawIconEx, stretched to the rectangle.
    void Draw(TCanvas& canvas, const TRect& rect) override;

private:
    void Reset();

    HICON FHandle = nullptr;
    Integer FWidth = 0;
    Integer FHeight = 0;
    std::vector<Byte> FData;
};

// ---------------------------------------------------------------------------
// The picture: holds one graphic of any registered class and loads files by
// their extension.

using TGraphicFactory = TGraphic* (*)();

// The factory of a graphic class: TPicture::RegisterFileFormat(u"bmp",
// u"Bitmaps", GraphicFactory<TBitmap>).
template <class T>
TGraphic* GraphicFactory() {
    return New<T>();
}

class TPicture : public TPersistent {
public:
    KES_CLASS_NAME(TPicture)
    TPicture() = default;
    ~TPicture() override;

    // Copies a picture's or a graphic's image; nullptr empties the picture.
    void Assign(TPersistent* Source) override;

    TGraphic* Graphic() const { return FGraphic; }
    // Keeps a copy of Value (nullptr empties the picture).
    void SetGraphic(TGraphic* value);
    // The graphic as a bitmap; a graphic of another class is first replaced
    // by a bitmap copy of it, an empty picture gets an empty bitmap.
    TBitmap* Bitmap();
    void SetBitmap(TBitmap* value) { SetGraphic(value); }
    Integer Width() const { return FGraphic ? FGraphic->Width() : 0; }
    Integer Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // Loads a file into a new graphic of the class registered for its
    // extension; unknown extensions raise EInvalidGraphic. On failure the
    // picture keeps its old graphic.
    void LoadFromFile(const String& fileName);
    void SaveToFile(const String& fileName);

    // The file-format registry. Extensions are given without the dot and
    // compared without regard to case; the latest registration of an
    // extension wins.
    static void RegisterFileFormat(const String& extension, const String& description, TGraphicFactory factory);
    static void UnregisterGraphicClass(TGraphicFactory factory);
    static TGraphicFactory FindFileFormat(StringView extension);
    // "Description (*.ext)|*.ext|..." for open dialogs, newest first, with a
    // leading "All (...)" entry.
    static String GraphicFilter();

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

protected:
    virtual void Changed(TObject* Sender);
    virtual void Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow, const TRect& R,
                          const String& Msg);

private:
    void Adopt(TGraphic* graphic);   // becomes the owner, hooks the events

    TGraphic* FGraphic = nullptr;
};

// Empties the file-format registry (unit shut-down). Registrations and look-ups
// after it are harmless.
void FinalizeGraphics();

// Called inside a catch block when a graphic's timer callback fails (no
// exception may leave a timer callback); the forms unit points it at the
// application's exception handler. Unset, the exception is dropped.
extern TNotifyEvent GraphicsHandleException;
