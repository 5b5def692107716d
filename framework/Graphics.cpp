#include "Graphics.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "BmpDecoder.h"

constinit TFontData DefFontData{-11, fpDefault, TFontStyles{}, DEFAULT_CHARSET, TFontDataName(u"MS Sans Serif")};
constinit TNotifyEvent GraphicsHandleException;

namespace {

COLORREF ColorRef(TColor color) { return static_cast<COLORREF>(ColorToRGB(color)) & 0x00FFFFFF; }

Integer ScreenPixelsPerInch() {
    static const Integer dpi = [] {
        HDC dc = ::GetDC(nullptr);
        int value = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 0;
        if (dc) ::ReleaseDC(nullptr, dc);
        return value > 0 ? value : 96;
    }();
    return dpi;
}

[[noreturn]] void OutOfResources() { throw EOutOfResources(u"Out of system resources"); }

// A memory DC with one object selected, restored and deleted on every path.
class TempDC {
public:
    explicit TempDC(HGDIOBJ select = nullptr) : FDC(::CreateCompatibleDC(nullptr)) {
        if (!FDC) OutOfResources();
        if (select) FOld = ::SelectObject(FDC, select);
    }
    ~TempDC() {
        if (FOld) ::SelectObject(FDC, FOld);
        ::DeleteDC(FDC);
    }
    TempDC(const TempDC&) = delete;
    TempDC& operator=(const TempDC&) = delete;
    operator HDC() const { return FDC; }

private:
    HDC FDC;
    HGDIOBJ FOld = nullptr;
};

}  // namespace

TColor ColorToRGB(TColor color) {
    if (color < 0) return static_cast<TColor>(::GetSysColor(color & 0xFF));
    return color;
}

TFontDataName& TFontDataName::operator=(StringView text) {
    FLength = std::min(text.size(), Capacity);
    std::copy_n(text.data(), FLength, FText);
    std::fill(FText + FLength, FText + LF_FACESIZE, Char(0));
    return *this;
}

// ---------------------------------------------------------------------------

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

TFont::TFont()
    : FName(DefFontData.Name.Str()),
      FHeight(DefFontData.Height),
      FStyle(DefFontData.Style),
      FCharset(DefFontData.Charset),
      FPitch(DefFontData.Pitch),
      FPixelsPerInch(ScreenPixelsPerInch()) {}

TFont::~TFont() {
    if (FHandle) ::DeleteObject(FHandle);
}

// Whoever has the old handle selected (the canvas) hears OnChange before the
// handle is deleted.
void TFont::HandleChanged() { ReplaceHandle(FHandle); }

void TFont::Assign(TPersistent* Source) {
    auto* f = dynamic_cast<TFont*>(Source);
    if (!f) {
        TGraphicsObject::Assign(Source);
        return;
    }
    if (f == this) return;
    const bool same = FName == f->FName && FHeight == f->FHeight && FStyle == f->FStyle && FCharset == f->FCharset &&
                      FPitch == f->FPitch && FQuality == f->FQuality && FOrientation == f->FOrientation;
    const bool colorSame = FColor == f->FColor;
    FName = f->FName;
    FHeight = f->FHeight;
    FStyle = f->FStyle;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    FQuality = f->FQuality;
    FOrientation = f->FOrientation;
    FColor = f->FColor;
    if (!same)
        HandleChanged();
    else if (!colorSame)
        Changed();
}

HFONT TFont::Handle() {
    if (!FHandle) {
        LOGFONTW lf = LogFont();
        FHandle = ::CreateFontIndirectW(&lf);
        if (!FHandle) OutOfResources();
    }
    return FHandle;
}

void TFont::SetHandle(HFONT value) {
    if (value == FHandle) return;
    LOGFONTW lf{};
    if (value && ::GetObjectW(value, sizeof lf, &lf) != static_cast<int>(sizeof lf))
        throw EInvalidGraphicOperation(u"Invalid font handle");
    if (value) {
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
        FName = FromW(lf.lfFaceName);
        FHeight = lf.lfHeight;
        FStyle = TFontStyles{};
        if (lf.lfWeight >= FW_BOLD) FStyle.Include(fsBold);
        if (lf.lfItalic) FStyle.Include(fsItalic);
        if (lf.lfUnderline) FStyle.Include(fsUnderline);
        if (lf.lfStrikeOut) FStyle.Include(fsStrikeOut);
        FCharset = lf.lfCharSet;
        const int pitch = lf.lfPitchAndFamily & 3;
        FPitch = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
        FOrientation = lf.lfEscapement;
        FQuality = lf.lfQuality <= CLEARTYPE_NATURAL_QUALITY ? static_cast<TFontQuality>(lf.lfQuality) : fqDefault;
    }
    HFONT old = FHandle;
    FHandle = value;
    try {
        Changed();
    } catch (...) {
        if (old) ::DeleteObject(old);
        throw;
    }
    if (old) ::DeleteObject(old);
}

void TFont::SetName(const String& value) {
    if (value.empty() || value == FName) return;
    FName = value;
    HandleChanged();
}

void TFont::SetHeight(Integer value) {
    if (value == FHeight) return;
    FHeight = value;
    HandleChanged();
}

Integer TFont::Size() const { return -::MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(Integer value) { SetHeight(-::MulDiv(value, FPixelsPerInch, 72)); }

void TFont::SetStyle(TFontStyles value) {
    if (value == FStyle) return;
    FStyle = value;
    HandleChanged();
}

void TFont::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    Changed();
}

void TFont::SetCharset(TFontCharset value) {
    if (value == FCharset) return;
    FCharset = value;
    HandleChanged();
}

void TFont::SetPitch(TFontPitch value) {
    if (value == FPitch) return;
    FPitch = value;
    HandleChanged();
}

void TFont::SetQuality(TFontQuality value) {
    if (value == FQuality) return;
    FQuality = value;
    HandleChanged();
}

void TFont::SetOrientation(Integer value) {
    if (value == FOrientation) return;
    FOrientation = value;
    HandleChanged();
}

void TFont::SetPixelsPerInch(Integer value) {
    if (value > 0) FPixelsPerInch = value;
}

LOGFONTW TFont::LogFont() const {
    LOGFONTW lf{};
    lf.lfHeight = FHeight;
    lf.lfEscapement = FOrientation;
    lf.lfOrientation = FOrientation;
    lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = FStyle.Contains(fsItalic);
    lf.lfUnderline = FStyle.Contains(fsUnderline);
    lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
    lf.lfCharSet = FCharset;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = static_cast<BYTE>(FQuality);
    lf.lfPitchAndFamily = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    // "Default" stands for the default font's face.
    const StringView face = SameText(FName, u"Default") ? DefFontData.Name.View() : StringView(FName);
    const std::size_t n = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
    std::copy_n(face.data(), n, reinterpret_cast<Char*>(lf.lfFaceName));
    return lf;
}

// ---------------------------------------------------------------------------

TBrush::~TBrush() {
    if (FHandle && FOwnsHandle) ::DeleteObject(FHandle);
}

void TBrush::HandleChanged() {
    HBRUSH old = FOwnsHandle ? FHandle : nullptr;
    FHandle = nullptr;
    FOwnsHandle = false;
    try {
        Changed();
    } catch (...) {
        if (old) ::DeleteObject(old);
        throw;
    }
    if (old) ::DeleteObject(old);
}

void TBrush::Assign(TPersistent* Source) {
    auto* b = dynamic_cast<TBrush*>(Source);
    if (!b) {
        TGraphicsObject::Assign(Source);
        return;
    }
    if (b == this || (b->FColor == FColor && b->FStyle == FStyle)) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    HandleChanged();
}

HBRUSH TBrush::Handle() {
    if (!FHandle) {
        if (FStyle == bsClear) {
            FHandle = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
            FOwnsHandle = false;
            return FHandle;
        }
        FHandle = FStyle == bsSolid ? ::CreateSolidBrush(ColorRef(FColor))
                                    : ::CreateHatchBrush(FStyle - bsHorizontal + HS_HORIZONTAL, ColorRef(FColor));
        if (!FHandle) OutOfResources();
        FOwnsHandle = true;
    }
    return FHandle;
}

void TBrush::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    if (FStyle == bsClear) FStyle = bsSolid;   // giving a clear brush a colour makes it solid
    HandleChanged();
}

void TBrush::SetStyle(TBrushStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    HandleChanged();
}

// ---------------------------------------------------------------------------

TPen::~TPen() {
    if (FHandle) ::DeleteObject(FHandle);
}

void TPen::HandleChanged() { ReplaceHandle(FHandle); }

void TPen::Assign(TPersistent* Source) {
    auto* p = dynamic_cast<TPen*>(Source);
    if (!p) {
        TGraphicsObject::Assign(Source);
        return;
    }
    if (p == this) return;
    const bool same = p->FColor == FColor && p->FWidth == FWidth && p->FStyle == FStyle;
    const bool modeSame = p->FMode == FMode;
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    if (!same)
        HandleChanged();
    else if (!modeSame)
        Changed();
}

HPEN TPen::Handle() {
    if (!FHandle) {
        static constexpr int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        FHandle = ::CreatePen(styles[FStyle], FWidth, ColorRef(FColor));
        if (!FHandle) OutOfResources();
    }
    return FHandle;
}

void TPen::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    HandleChanged();
}

void TPen::SetWidth(Integer value) {
    if (value < 0 || value == FWidth) return;
    FWidth = value;
    HandleChanged();
}

void TPen::SetStyle(TPenStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    HandleChanged();
}

void TPen::SetMode(TPenMode value) {
    if (value == FMode) return;
    FMode = value;
    Changed();
}

// ---------------------------------------------------------------------------

TCanvas::TCanvas() : FFont(std::make_unique<TFont>()), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>()) {
    FFont->OnChange = TNotifyEvent::Of<&TCanvas::FontChanged>(this);
    FBrush->OnChange = TNotifyEvent::Of<&TCanvas::BrushChanged>(this);
    FPen->OnChange = TNotifyEvent::Of<&TCanvas::PenChanged>(this);
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
    RequiredState(csHandleValid | csFontValid | csPenValid | csBrushValid);
    return FHandle;
}

void TCanvas::SetHandle(HDC value) {
    if (value == FHandle) return;
    if (FHandle) {
        DeselectHandles();
        FHandle = nullptr;
        FState &= ~csHandleValid;
    }
    if (value) {
        FHandle = value;
        FState |= csHandleValid;
    }
}

void TCanvas::DeselectHandles() {
    if (!FHandle) return;
    if ((FState & csFontValid) && FOldFont) ::SelectObject(FHandle, FOldFont);
    if ((FState & csPenValid) && FOldPen) ::SelectObject(FHandle, FOldPen);
    if ((FState & csBrushValid) && FOldBrush) ::SelectObject(FHandle, FOldBrush);
    FOldFont = FOldPen = FOldBrush = nullptr;
    FState &= ~(csFontValid | csPenValid | csBrushValid);
}

void TCanvas::RequiredState(unsigned required) {
    const unsigned needed = required & ~FState;
    if (!needed) return;
    if (needed & csHandleValid) {
        CreateHandle();
        if (!FHandle) throw EInvalidGraphicOperation(u"Canvas does not allow drawing");
        FState |= csHandleValid;
    }
    if (needed & csFontValid) {
        HGDIOBJ old = ::SelectObject(FHandle, FFont->Handle());
        if (!FOldFont) FOldFont = old;
        ::SetTextColor(FHandle, ColorRef(FFont->Color()));
        FState |= csFontValid;
    }
    if (needed & csPenValid) {
        static constexpr int rops[] = {R2_BLACK,       R2_WHITE,      R2_NOP,      R2_NOT,         R2_COPYPEN,   R2_NOTCOPYPEN,
                                       R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN, R2_NOTMERGEPEN,
                                       R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,   R2_NOTXORPEN};
        HGDIOBJ old = ::SelectObject(FHandle, FPen->Handle());
        if (!FOldPen) FOldPen = old;
        ::SetROP2(FHandle, rops[FPen->Mode()]);
        FState |= csPenValid;
    }
    if (needed & csBrushValid) {
        ::UnrealizeObject(FBrush->Handle());
        HGDIOBJ old = ::SelectObject(FHandle, FBrush->Handle());
        if (!FOldBrush) FOldBrush = old;
        if (FBrush->Style() == bsSolid) {
            ::SetBkColor(FHandle, ColorRef(FBrush->Color()));
            ::SetBkMode(FHandle, OPAQUE);
        } else {
            ::SetBkColor(FHandle, ~ColorRef(FBrush->Color()) & 0x00FFFFFF);
            ::SetBkMode(FHandle, TRANSPARENT);
        }
        FState |= csBrushValid;
    }
}

// A changed font, pen or brush is taken out of the DC at once (its old handle
// is deleted right after) and selected again on the next drawing call.
void TCanvas::FontChanged(TObject*) {
    if (FState & csFontValid) {
        if (FOldFont) ::SelectObject(FHandle, FOldFont);
        FOldFont = nullptr;
        FState &= ~csFontValid;
    }
}

void TCanvas::PenChanged(TObject*) {
    if (FState & csPenValid) {
        if (FOldPen) ::SelectObject(FHandle, FOldPen);
        FOldPen = nullptr;
        FState &= ~csPenValid;
    }
}

void TCanvas::BrushChanged(TObject*) {
    if (FState & csBrushValid) {
        if (FOldBrush) ::SelectObject(FHandle, FOldBrush);
        FOldBrush = nullptr;
        FState &= ~csBrushValid;
    }
}

void TCanvas::Changing() {
    if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::FillRect(const TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FillRect(FHandle, &r, FBrush->Handle());
    Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
    Changing();
    RequiredState(csHandleValid | csBrushValid);
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::FrameRect(FHandle, &r, FBrush->Handle());
    Changed();
}

void TCanvas::Rectangle(Integer x1, Integer y1, Integer x2, Integer y2) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Rectangle(FHandle, x1, y1, x2, y2);
    Changed();
}

void TCanvas::RoundRect(Integer x1, Integer y1, Integer x2, Integer y2, Integer x3, Integer y3) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::RoundRect(FHandle, x1, y1, x2, y2, x3, y3);
    Changed();
}

void TCanvas::Ellipse(Integer x1, Integer y1, Integer x2, Integer y2) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::Ellipse(FHandle, x1, y1, x2, y2);
    Changed();
}

namespace {
std::vector<POINT> ToPoints(const std::vector<TPoint>& points) {
    std::vector<POINT> result(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) result[i] = POINT{points[i].X, points[i].Y};
    return result;
}
}  // namespace

void TCanvas::Polygon(const std::vector<TPoint>& points) {
    if (points.empty()) return;
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    const std::vector<POINT> p = ToPoints(points);
    ::Polygon(FHandle, p.data(), static_cast<int>(p.size()));
    Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    if (points.empty()) return;
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    const std::vector<POINT> p = ToPoints(points);
    ::Polyline(FHandle, p.data(), static_cast<int>(p.size()));
    Changed();
}

void TCanvas::MoveTo(Integer x, Integer y) {
    RequiredState(csHandleValid);
    ::MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(Integer x, Integer y) {
    Changing();
    RequiredState(csHandleValid | csPenValid | csBrushValid);
    ::LineTo(FHandle, x, y);
    Changed();
}

TPoint TCanvas::PenPos() {
    RequiredState(csHandleValid);
    POINT p{};
    ::GetCurrentPositionEx(FHandle, &p);
    return p;
}

void TCanvas::TextOut(Integer x, Integer y, const String& text) {
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    ::ExtTextOutW(FHandle, x, y, TextFlags, nullptr, WStr(text), static_cast<UINT>(text.size()), nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& rect, Integer x, Integer y, const String& text) {
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    UINT options = ETO_CLIPPED | TextFlags;
    if (FBrush->Style() != bsClear) options |= ETO_OPAQUE;
    const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
    ::ExtTextOutW(FHandle, x, y, options, &r, WStr(text), static_cast<UINT>(text.size()), nullptr);
    Changed();
}

TSize TCanvas::TextExtent(const String& text) {
    RequiredState(csHandleValid | csFontValid);
    SIZE s{};
    ::GetTextExtentPoint32W(FHandle, WStr(text), static_cast<int>(text.size()), &s);
    return TSize{s.cx, s.cy};
}

void TCanvas::Draw(Integer x, Integer y, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    StretchDraw(Bounds(x, y, graphic->Width(), graphic->Height()), graphic);
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    Changing();
    RequiredState(csHandleValid);
    graphic->Draw(*this, rect);
    Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect) {
    if (!source) return;
    Changing();
    RequiredState(csHandleValid | csFontValid | csBrushValid);
    source->RequiredState(csHandleValid | csBrushValid);
    ::StretchBlt(FHandle, dest.Left, dest.Top, dest.Width(), dest.Height(), source->FHandle, sourceRect.Left,
                 sourceRect.Top, sourceRect.Width(), sourceRect.Height(), CopyMode);
    Changed();
}

TColor TCanvas::Pixels(Integer x, Integer y) {
    RequiredState(csHandleValid);
    return static_cast<TColor>(::GetPixel(FHandle, x, y));
}

void TCanvas::SetPixels(Integer x, Integer y, TColor color) {
    Changing();
    RequiredState(csHandleValid | csPenValid);
    ::SetPixel(FHandle, x, y, ColorRef(color));
    Changed();
}

TRect TCanvas::ClipRect() {
    RequiredState(csHandleValid);
    RECT r{};
    ::GetClipBox(FHandle, &r);
    return r;
}

// ---------------------------------------------------------------------------

void TGraphic::SetSize(Integer width, Integer height) {
    SetWidth(width);
    SetHeight(height);
}

void TGraphic::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Changed(this);
}

void TGraphic::LoadFromFile(const String& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const String& fileName) {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

bool TGraphic::CopyToBitmap(TBitmap&) const { return false; }

void TGraphic::Changed(TObject*) {
    Modified = true;
    if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage stage, Byte percentDone, bool redrawNow, const TRect& r,
                        const String& msg) {
    if (OnProgress) OnProgress(Sender, stage, percentDone, redrawNow, r, msg);
}

// ---------------------------------------------------------------------------
// TBitmap

namespace {

int FormatBits(TPixelFormat format) {
    switch (format) {
        case pf1bit: return 1;
        case pf4bit: return 4;
        case pf8bit: return 8;
        case pf15bit:
        case pf16bit: return 16;
        case pf24bit: return 24;
        case pfDevice:
        case pf32bit: return 32;
        default: return 0;
    }
}

Int64 StrideOf(Integer width, int bits) { return (static_cast<Int64>(width) * bits + 31) / 32 * 4; }

std::vector<RGBQUAD> DefaultColorTable(TPixelFormat format) {
    std::vector<RGBQUAD> colors;
    auto add = [&](int r, int g, int b) {
        colors.push_back(RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0});
    };
    if (format == pf1bit) {
        add(0, 0, 0);
        add(255, 255, 255);
    } else if (format == pf4bit) {
        static constexpr int vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                           {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                           {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                           {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
        for (const auto& c : vga) add(c[0], c[1], c[2]);
    } else if (format == pf8bit) {
        // A 6 x 6 x 6 colour cube and a grey ramp.
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
        for (int i = 0; i < 40; ++i) add(i * 255 / 39, i * 255 / 39, i * 255 / 39);
    }
    return colors;
}

struct BitmapInfo {
    BITMAPINFOHEADER Header;
    RGBQUAD Colors[256];
};

void FillInfo(BitmapInfo& info, Integer width, Integer height, TPixelFormat format,
              const std::vector<RGBQUAD>& colors) {
    std::memset(&info, 0, sizeof info);
    info.Header.biSize = sizeof(BITMAPINFOHEADER);
    info.Header.biWidth = width;
    info.Header.biHeight = height;
    info.Header.biPlanes = 1;
    info.Header.biBitCount = static_cast<WORD>(FormatBits(format));
    info.Header.biCompression = BI_RGB;
    if (format == pf16bit) {
        info.Header.biCompression = BI_BITFIELDS;
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        std::memcpy(info.Colors, masks, sizeof masks);
    } else if (FormatBits(format) <= 8) {
        const std::size_t n = std::min<std::size_t>(colors.size(), 256);
        std::copy_n(colors.begin(), n, info.Colors);
        info.Header.biClrUsed = static_cast<DWORD>(n);
    }
}

}  // namespace

// An owned DIB section handle with its bits.
struct TBitmap::Dib {
    HBITMAP Handle = nullptr;
    Byte* Bits = nullptr;

    Dib() = default;
    Dib(Dib&& other) noexcept : Handle(other.Handle), Bits(other.Bits) { other.Handle = nullptr; }
    Dib& operator=(Dib&& other) noexcept {
        std::swap(Handle, other.Handle);
        std::swap(Bits, other.Bits);
        return *this;
    }
    ~Dib() {
        if (Handle) ::DeleteObject(Handle);
    }

    static Dib Make(Integer width, Integer height, TPixelFormat format, const std::vector<RGBQUAD>& colors) {
        Dib dib;
        if (width <= 0 || height <= 0) return dib;
        if (StrideOf(width, FormatBits(format)) * height > std::numeric_limits<Integer>::max())
            throw EInvalidGraphicOperation(u"Bitmap is too large (" + IntToStr(width) + u" x " + IntToStr(height) + u")");
        BitmapInfo info;
        FillInfo(info, width, height, format, colors);
        void* bits = nullptr;
        dib.Handle = ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!dib.Handle || !bits) OutOfResources();
        dib.Bits = static_cast<Byte*>(bits);
        return dib;
    }
};

// The canvas of a bitmap: a memory DC made when first drawn on, with the
// bitmap selected into it until the bitmap goes.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
    ~TBitmapCanvas() override { FreeContext(); }
    KES_CLASS_NAME(TBitmapCanvas)

    HDC CurrentHandle() const { return FHandle; }
    // Selects the bitmap's (new) handle, or the DC's own when it has none.
    void Reselect(HBITMAP handle) {
        if (FHandle) ::SelectObject(FHandle, handle ? handle : FStockBitmap);
    }
    void FreeContext() {
        if (!FHandle) return;
        HDC dc = FHandle;
        SetHandle(nullptr);
        ::SelectObject(dc, FStockBitmap);
        ::DeleteDC(dc);
    }
    void Changed() override {
        TCanvas::Changed();
        FBitmap->Changed(FBitmap);
    }

protected:
    void CreateHandle() override {
        HDC dc = ::CreateCompatibleDC(nullptr);
        if (!dc) OutOfResources();
        FStockBitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
        if (FBitmap->FHandle) ::SelectObject(dc, FBitmap->FHandle);
        SetHandle(dc);
    }

private:
    TBitmap* FBitmap;
    HGDIOBJ FStockBitmap = nullptr;
};

TBitmap::TBitmap() = default;

TBitmap::TBitmap(Integer width, Integer height, TPixelFormat format) {
    SetPixelFormat(format);
    SetSize(width, height);
}

TBitmap::~TBitmap() {
    FCanvas.reset();
    if (FHandle) ::DeleteObject(FHandle);
}

int TBitmap::BitsPerPixel() const { return FormatBits(FPixelFormat); }

Integer TBitmap::RowBytes() const { return static_cast<Integer>(StrideOf(FWidth, BitsPerPixel())); }

void TBitmap::Replace(Dib&& dib, Integer width, Integer height, TPixelFormat format, std::vector<RGBQUAD> colors) {
    HBITMAP old = FHandle;
    if (FCanvas) FCanvas->Reselect(dib.Handle);
    FHandle = dib.Handle;
    FBits = dib.Bits;
    dib.Handle = nullptr;
    FWidth = width;
    FHeight = height;
    FPixelFormat = format;
    FColorTable = std::move(colors);
    if (old) ::DeleteObject(old);
}

void TBitmap::SetSize(Integer width, Integer height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == FWidth && height == FHeight) return;
    Dib dib = Dib::Make(width, height, FPixelFormat, FColorTable);
    if (dib.Handle && FHandle) {
        ::GdiFlush();
        const int bits = BitsPerPixel();
        const Int64 newStride = StrideOf(width, bits);
        const Int64 oldStride = RowBytes();
        const std::size_t bytes = static_cast<std::size_t>((static_cast<Int64>(std::min(width, FWidth)) * bits + 7) / 8);
        for (Integer row = 0; row < std::min(height, FHeight); ++row)
            std::memcpy(dib.Bits + (height - 1 - row) * newStride, FBits + (FHeight - 1 - row) * oldStride, bytes);
    }
    Replace(std::move(dib), width, height, FPixelFormat, FColorTable);
    Changed(this);
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
    if (value == pfDevice) value = pf32bit;
    if (FormatBits(value) == 0) throw EInvalidGraphicOperation(u"Unsupported pixel format");
    if (value == FPixelFormat) return;
    std::vector<RGBQUAD> colors = DefaultColorTable(value);
    Dib dib = Dib::Make(FWidth, FHeight, value, colors);
    if (dib.Handle && FHandle) {
        ::GdiFlush();
        const int from = BitsPerPixel(), to = FormatBits(value);
        if ((from == 24 || from == 32) && (to == 24 || to == 32)) {
            // Straight copies; pixels that gain an alpha byte get 0 there, as
            // the system's own conversion gives them.
            const Int64 oldStride = RowBytes(), newStride = StrideOf(FWidth, to);
            const int fromBytes = from / 8, toBytes = to / 8;
            for (Integer row = 0; row < FHeight; ++row) {
                const Byte* s = FBits + row * oldStride;
                Byte* d = dib.Bits + row * newStride;
                for (Integer x = 0; x < FWidth; ++x, s += fromBytes, d += toBytes) {
                    d[0] = s[0];
                    d[1] = s[1];
                    d[2] = s[2];
                    if (toBytes == 4) d[3] = fromBytes == 4 ? s[3] : 0;
                }
            }
        } else {
            BitmapInfo info;
            FillInfo(info, FWidth, FHeight, FPixelFormat, FColorTable);
            TempDC dc;
            ::SetDIBits(dc, dib.Handle, 0, static_cast<UINT>(FHeight), FBits, reinterpret_cast<BITMAPINFO*>(&info),
                        DIB_RGB_COLORS);
        }
    }
    Replace(std::move(dib), FWidth, FHeight, value, std::move(colors));
    Changed(this);
}

void TBitmap::SetColorTable(const std::vector<RGBQUAD>& colors) {
    const int bits = BitsPerPixel();
    if (bits > 8) return;
    std::vector<RGBQUAD> table(colors.begin(), colors.begin() + std::min<std::size_t>(colors.size(), 1u << bits));
    if (FHandle && !table.empty()) {
        if (FCanvas && FCanvas->CurrentHandle()) {
            ::SetDIBColorTable(FCanvas->CurrentHandle(), 0, static_cast<UINT>(table.size()), table.data());
        } else {
            TempDC dc(FHandle);
            ::SetDIBColorTable(dc, 0, static_cast<UINT>(table.size()), table.data());
        }
    }
    FColorTable = std::move(table);
    Changed(this);
}

void* TBitmap::ScanLine(Integer row) {
    return const_cast<void*>(static_cast<const TBitmap*>(this)->ScanLine(row));
}

const void* TBitmap::ScanLine(Integer row) const {
    if (!FHandle || row < 0 || row >= FHeight)
        throw EInvalidGraphicOperation(u"Scan line index out of range (" + IntToStr(row) + u")");
    ::GdiFlush();
    return FBits + static_cast<Int64>(FHeight - 1 - row) * RowBytes();
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(this);
    return FCanvas.get();
}

void TBitmap::SetHandle(HBITMAP value) {
    if (value == FHandle) return;
    if (!value) {
        Replace(Dib{}, 0, 0, FPixelFormat, FColorTable);
        Changed(this);
        return;
    }
    DIBSECTION ds{};
    const int size = ::GetObjectW(value, sizeof ds, &ds);
    if (size < static_cast<int>(sizeof(BITMAP))) throw EInvalidGraphic(u"Invalid bitmap handle");
    const int bits = ds.dsBm.bmBitsPixel;
    if (size == static_cast<int>(sizeof(DIBSECTION)) && ds.dsBm.bmBits && ds.dsBmih.biHeight > 0 &&
        ds.dsBmih.biCompression == BI_RGB && (bits == 24 || bits == 32)) {
        Dib dib;
        dib.Handle = value;
        dib.Bits = static_cast<Byte*>(ds.dsBm.bmBits);
        Replace(std::move(dib), ds.dsBm.bmWidth, ds.dsBm.bmHeight, bits == 24 ? pf24bit : pf32bit, {});
    } else {
        const Integer width = ds.dsBm.bmWidth, height = std::abs(ds.dsBm.bmHeight);
        Dib dib = Dib::Make(width, height, pf32bit, {});
        if (dib.Handle) {
            TempDC src(value), dst(dib.Handle);
            ::BitBlt(dst, 0, 0, width, height, src, 0, 0, SRCCOPY);
        }
        Replace(std::move(dib), width, height, pf32bit, {});
        ::DeleteObject(value);
    }
    Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
    if (!FHandle) return nullptr;
    if (FCanvas) FCanvas->Reselect(nullptr);
    HBITMAP handle = FHandle;
    FHandle = nullptr;
    FBits = nullptr;
    FWidth = FHeight = 0;
    Changed(this);
    return handle;
}

TColor TBitmap::PixelAt(Integer x, Integer y) const {
    const Byte* row = static_cast<const Byte*>(ScanLine(y));
    auto rgb = [](int r, int g, int b) { return static_cast<TColor>(r | (g << 8) | (b << 16)); };
    auto fromTable = [&](unsigned index) {
        if (index >= FColorTable.size()) return clBlack;
        const RGBQUAD& q = FColorTable[index];
        return rgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
    };
    switch (BitsPerPixel()) {
        case 1: return fromTable((row[x >> 3] >> (7 - (x & 7))) & 1);
        case 4: return fromTable((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF);
        case 8: return fromTable(row[x]);
        case 16: {
            const unsigned v = row[x * 2] | (row[x * 2 + 1] << 8);
            if (FPixelFormat == pf16bit)
                return rgb(((v >> 11) & 31) * 255 / 31, ((v >> 5) & 63) * 255 / 63, (v & 31) * 255 / 31);
            return rgb(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
        }
        case 24: return rgb(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
        default: return rgb(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
    }
}

TColor TBitmap::TransparentColor() const {
    if (FTransparentMode == tmFixed) return FTransparentColor;
    if (!FHandle) return clDefault;
    return PixelAt(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor value) {
    const TTransparentMode mode = value == clDefault ? tmAuto : tmFixed;
    if (value == FTransparentColor && mode == FTransparentMode) return;
    FTransparentColor = value;
    FTransparentMode = mode;
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
    if (value == FTransparentMode) return;
    FTransparentColor = value == tmAuto ? clDefault : TransparentColor();
    FTransparentMode = value;
    Changed(this);
}

void TBitmap::Assign(TPersistent* Source) {
    if (Source == this) return;
    if (!Source) {
        Replace(Dib{}, 0, 0, FPixelFormat, FColorTable);
        Changed(this);
        return;
    }
    if (auto* b = dynamic_cast<TBitmap*>(Source)) {
        Dib dib = Dib::Make(b->FWidth, b->FHeight, b->FPixelFormat, b->FColorTable);
        if (dib.Handle && b->FHandle) {
            ::GdiFlush();
            std::memcpy(dib.Bits, b->FBits, static_cast<std::size_t>(b->RowBytes()) * b->FHeight);
        }
        Replace(std::move(dib), b->FWidth, b->FHeight, b->FPixelFormat, b->FColorTable);
        FAlphaFormat = b->FAlphaFormat;
        FTransparent = b->FTransparent;
        FTransparentMode = b->FTransparentMode;
        FTransparentColor = b->FTransparentColor;
        Changed(this);
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        if (g->CopyToBitmap(*this)) return;
        const Integer width = std::max(g->Width(), 0), height = std::max(g->Height(), 0);
        Replace(Dib::Make(width, height, pf32bit, {}), width, height, pf32bit, {});
        FAlphaFormat = afIgnored;
        FTransparent = false;
        if (FHandle) g->Draw(*Canvas(), Rect(0, 0, width, height));
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

void TBitmap::DrawAlpha(HDC dst, const TRect& rect, HDC src) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    if (FAlphaFormat == afPremultiplied) {
        ::AlphaBlend(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, FWidth, FHeight, blend);
        return;
    }
    // Straight alpha: blend from a premultiplied copy.
    Dib copy = Dib::Make(FWidth, FHeight, pf32bit, {});
    ::GdiFlush();
    const Byte* s = FBits;
    Byte* d = copy.Bits;
    const std::size_t count = static_cast<std::size_t>(FWidth) * FHeight;
    for (std::size_t i = 0; i < count; ++i, s += 4, d += 4) {
        const unsigned a = s[3];
        d[0] = static_cast<Byte>((s[0] * a + 127) / 255);
        d[1] = static_cast<Byte>((s[1] * a + 127) / 255);
        d[2] = static_cast<Byte>((s[2] * a + 127) / 255);
        d[3] = static_cast<Byte>(a);
    }
    TempDC dc(copy.Handle);
    ::AlphaBlend(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), dc, 0, 0, FWidth, FHeight, blend);
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
    if (!FHandle || rect.Width() == 0 || rect.Height() == 0) return;
    HDC dst = canvas.Handle();
    std::unique_ptr<TempDC> temp;
    HDC src = FCanvas ? FCanvas->CurrentHandle() : nullptr;
    if (!src) {
        temp = std::make_unique<TempDC>(FHandle);
        src = *temp;
    }
    const bool positive = rect.Width() > 0 && rect.Height() > 0;
    if (BitsPerPixel() == 32 && FAlphaFormat != afIgnored) {
        if (positive) DrawAlpha(dst, rect, src);
    } else if (Transparent()) {
        if (positive)
            ::TransparentBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, FWidth, FHeight,
                             ColorRef(TransparentColor()));
    } else if (rect.Width() == FWidth && rect.Height() == FHeight) {
        ::BitBlt(dst, rect.Left, rect.Top, FWidth, FHeight, src, 0, 0, canvas.CopyMode);
    } else {
        const int oldMode = ::SetStretchBltMode(dst, COLORONCOLOR);
        ::StretchBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, FWidth, FHeight,
                     canvas.CopyMode);
        ::SetStretchBltMode(dst, oldMode);
    }
}

// ---------------------------------------------------------------------------
// BMP files

namespace {

[[noreturn]] void BadBitmap(const char16_t* why) { throw EInvalidGraphic(String(u"Bitmap image is not valid: ") + why); }

class BmpWriter {
public:
    void U16(unsigned v) {
        FBytes.push_back(static_cast<Byte>(v));
        FBytes.push_back(static_cast<Byte>(v >> 8));
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Raw(const void* data, std::size_t size) {
        const Byte* p = static_cast<const Byte*>(data);
        FBytes.insert(FBytes.end(), p, p + size);
    }
    const std::vector<Byte>& Bytes() const { return FBytes; }

private:
    std::vector<Byte> FBytes;
};

}  // namespace

void TBitmap::LoadFromStream(TStream& stream) {
    const Int64 available = stream.GetSize() - stream.GetPosition();
    if (available < 14) BadBitmap(u"the file is truncated");
    if (available > std::numeric_limits<Integer>::max()) BadBitmap(u"the file is too large");
    std::vector<Byte> data(static_cast<std::size_t>(available));
    stream.ReadBuffer(data.data(), static_cast<Integer>(available));
    Progress(this, psStarting, 0, false, TRect(), u"Reading");

    const TacBMPLayout bmp = ReadBMPLayout(data.data(), data.size());
    const Integer w = bmp.Width, h = bmp.Height;
    const std::uint32_t* masks = bmp.Masks;
    std::vector<RGBQUAD> colors;
    for (const std::uint32_t c : bmp.Palette)
        colors.push_back(RGBQUAD{static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0});
    TPixelFormat format;
    bool convert = false;
    switch (bmp.BitCount) {
        case 1: format = pf1bit; break;
        case 4: format = pf4bit; break;
        case 8: format = pf8bit; break;
        case 24: format = pf24bit; break;
        case 16:
            format = masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F   ? pf15bit
                     : masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F ? pf16bit
                                                                                      : pf32bit;
            convert = format == pf32bit;
            break;
        default:
            format = pf32bit;
            convert = !(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
            break;
    }

    Dib dib;
    if (w > 0 && h > 0) {
        const std::size_t stride = bmp.Stride;
        const Byte* pixels = data.data() + bmp.PixelOffset;
        dib = Dib::Make(w, h, format, colors);
        if (convert) {
            BitmapInfo info;
            std::memset(&info, 0, sizeof info);
            info.Header.biSize = sizeof(BITMAPINFOHEADER);
            info.Header.biWidth = w;
            info.Header.biHeight = bmp.TopDown ? -h : h;
            info.Header.biPlanes = 1;
            info.Header.biBitCount = static_cast<WORD>(bmp.BitCount);
            info.Header.biCompression = BI_BITFIELDS;
            std::memcpy(info.Colors, masks, sizeof bmp.Masks);
            TempDC dc;
            if (::SetDIBits(dc, dib.Handle, 0, static_cast<UINT>(h), pixels, reinterpret_cast<BITMAPINFO*>(&info),
                            DIB_RGB_COLORS) == 0)
                BadBitmap(u"unsupported colour masks");
        } else if (!bmp.TopDown) {
            std::memcpy(dib.Bits, pixels, stride * static_cast<std::size_t>(h));
        } else {
            for (Integer row = 0; row < h; ++row)
                std::memcpy(dib.Bits + static_cast<std::size_t>(h - 1 - row) * stride,
                            pixels + static_cast<std::size_t>(row) * stride, stride);
        }
    }
    Replace(std::move(dib), w, h, format, format <= pf8bit ? colors : DefaultColorTable(format));
    FAlphaFormat = afIgnored;
    Changed(this);
    Progress(this, psEnding, 100, true, Rect(0, 0, w, h), u"Reading");
}

void TBitmap::SaveToStream(TStream& stream) {
    const int bits = BitsPerPixel();
    const bool masked = FPixelFormat == pf16bit;
    const std::uint32_t tableBytes = bits <= 8 ? static_cast<std::uint32_t>(FColorTable.size()) * 4 : masked ? 12 : 0;
    const std::uint32_t imageBytes = FHandle ? static_cast<std::uint32_t>(RowBytes()) * FHeight : 0;
    const std::uint32_t offBits = 14 + 40 + tableBytes;

    BmpWriter out;
    out.U16('B' | ('M' << 8));
    out.U32(offBits + imageBytes);
    out.U32(0);
    out.U32(offBits);
    out.U32(40);
    out.U32(static_cast<std::uint32_t>(FWidth));
    out.U32(static_cast<std::uint32_t>(FHeight));
    out.U16(1);
    out.U16(static_cast<unsigned>(bits));
    out.U32(masked ? BI_BITFIELDS : BI_RGB);
    out.U32(imageBytes);
    out.U32(0);
    out.U32(0);
    out.U32(bits <= 8 ? static_cast<std::uint32_t>(FColorTable.size()) : 0);
    out.U32(0);
    if (masked) {
        out.U32(0xF800);
        out.U32(0x07E0);
        out.U32(0x001F);
    } else if (bits <= 8) {
        for (const RGBQUAD& q : FColorTable) out.Raw(&q, sizeof q);
    }
    stream.WriteBuffer(out.Bytes().data(), static_cast<Integer>(out.Bytes().size()));
    if (FHandle) {
        ::GdiFlush();
        stream.WriteBuffer(FBits, static_cast<Integer>(imageBytes));
    }
}

// ---------------------------------------------------------------------------
// Icons

namespace {

unsigned Le16(const Byte* p) { return p[0] | unsigned{p[1]} << 8; }
std::uint32_t Le32(const Byte* p) { return Le16(p) | std::uint32_t{Le16(p + 2)} << 16; }

[[noreturn]] void BadIcon(const char16_t* why) { throw EInvalidGraphic(String(u"Icon image is not valid: ") + why); }

// The size of an icon handle's image.
void IconSize(HICON icon, Integer& width, Integer& height) {
    width = height = 0;
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) return;
    BITMAP bm{};
    if (info.hbmColor && ::GetObjectW(info.hbmColor, sizeof(bm), &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight;
    } else if (info.hbmMask && ::GetObjectW(info.hbmMask, sizeof(bm), &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight / 2;   // a monochrome icon: AND mask over XOR mask
    }
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
}

}  // namespace

TIcon::~TIcon() { Reset(); }

void TIcon::Reset() {
    if (FHandle) ::DestroyIcon(FHandle);
    FHandle = nullptr;
    FWidth = FHeight = 0;
    FData.clear();
}

void TIcon::Assign(TPersistent* Source) {
    if (Source == nullptr) {
        Reset();
        Changed(this);
        return;
    }
    if (auto* icon = dynamic_cast<TIcon*>(Source)) {
        if (icon == this) return;
        HICON copy = icon->FHandle ? ::CopyIcon(icon->FHandle) : nullptr;
        std::vector<Byte> data = icon->FData;
        Reset();
        FHandle = copy;
        FWidth = copy ? icon->FWidth : 0;
        FHeight = copy ? icon->FHeight : 0;
        FData = std::move(data);
        Changed(this);
        return;
    }
    TGraphic::Assign(Source);
}

void TIcon::SetWidth(Integer) { throw EInvalidGraphicOperation(u"Cannot change the size of an icon"); }
void TIcon::SetHeight(Integer) { throw EInvalidGraphicOperation(u"Cannot change the size of an icon"); }

void TIcon::SetHandle(HICON value) {
    if (value == FHandle) return;
    Reset();
    FHandle = value;
    IconSize(value, FWidth, FHeight);
    Changed(this);
}

HICON TIcon::ReleaseHandle() {
    HICON h = FHandle;
    FHandle = nullptr;
    Reset();
    return h;
}

void TIcon::LoadFromStream(TStream& stream) {
    const Int64 size = stream.GetSize() - stream.GetPosition();
    if (size < 6) BadIcon(u"the file is too short");
    if (size > (Int64{1} << 26)) BadIcon(u"the file is too large");
    std::vector<Byte> data(static_cast<std::size_t>(size));
    stream.ReadBuffer(data.data(), static_cast<Integer>(size));
    if (Le16(&data[0]) != 0 || Le16(&data[2]) != 1) BadIcon(u"no icon directory");
    const unsigned count = Le16(&data[4]);
    if (count == 0) BadIcon(u"the directory is empty");
    if (6 + std::size_t{count} * 16 > data.size()) BadIcon(u"the directory is cut short");
    // The largest image, then the deepest colour.
    std::size_t best = 0;
    std::uint64_t bestScore = 0;
    for (unsigned i = 0; i < count; ++i) {
        const Byte* e = &data[6 + std::size_t{i} * 16];
        const std::uint64_t w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        const std::uint64_t score = (w * h) << 16 | Le16(e + 6);
        if (i == 0 || score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    const Byte* e = &data[6 + best * 16];
    const std::uint32_t bytes = Le32(e + 8), offset = Le32(e + 12);
    if (bytes < 40 || offset > data.size() || bytes > data.size() - offset) BadIcon(u"an image lies outside the file");
    const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    HICON icon = ::CreateIconFromResourceEx(&data[offset], bytes, TRUE, 0x00030000, w, h, LR_DEFAULTCOLOR);
    if (!icon) BadIcon(u"the system refused the image");
    Reset();
    FHandle = icon;
    IconSize(icon, FWidth, FHeight);
    FData = std::move(data);
    Changed(this);
}

void TIcon::SaveToStream(TStream& stream) {
    if (FData.empty()) throw EInvalidGraphicOperation(u"The icon holds no file data");
    stream.WriteBuffer(FData.data(), static_cast<Integer>(FData.size()));
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) {
    if (!FHandle || rect.Width() <= 0 || rect.Height() <= 0) return;
    ::DrawIconEx(canvas.Handle(), rect.Left, rect.Top, FHandle, rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
}

// ---------------------------------------------------------------------------
// TPicture and the file-format registry

namespace {

struct FileFormat {
    String Extension;   // lower case, without the dot
    String Description;
    TGraphicFactory Factory;
};

// Made on first registration, released by FinalizeGraphics.
std::vector<FileFormat>* gFileFormats = nullptr;

String NormalExtension(StringView extension) {
    if (!extension.empty() && extension.front() == u'.') extension.remove_prefix(1);
    return LowerCase(extension);
}

}  // namespace

void TPicture::RegisterFileFormat(const String& extension, const String& description, TGraphicFactory factory) {
    const String ext = NormalExtension(extension);
    if (ext.empty() || !factory) throw EInvalidGraphicOperation(u"A file format needs an extension and a class");
    if (!gFileFormats) gFileFormats = new std::vector<FileFormat>();
    gFileFormats->push_back(FileFormat{ext, description, factory});
}

void TPicture::UnregisterGraphicClass(TGraphicFactory factory) {
    if (!gFileFormats) return;
    std::erase_if(*gFileFormats, [&](const FileFormat& f) { return f.Factory == factory; });
}

TGraphicFactory TPicture::FindFileFormat(StringView extension) {
    if (!gFileFormats) return nullptr;
    const String ext = NormalExtension(extension);
    for (auto it = gFileFormats->rbegin(); it != gFileFormats->rend(); ++it)
        if (it->Extension == ext) return it->Factory;
    return nullptr;
}

String TPicture::GraphicFilter() {
    if (!gFileFormats) return String();
    String all, entries;
    for (std::size_t i = 0; i < gFileFormats->size(); ++i) {
        const FileFormat& f = (*gFileFormats)[i];
        bool replaced = false;
        for (std::size_t j = i + 1; j < gFileFormats->size(); ++j)
            replaced = replaced || (*gFileFormats)[j].Extension == f.Extension;
        if (replaced) continue;
        const String mask = u"*." + f.Extension;
        all += (all.empty() ? u"" : u";") + mask;
        entries += u"|" + f.Description + u" (" + mask + u")|" + mask;
    }
    if (all.empty()) return String();
    return u"All (" + all + u")|" + all + entries;
}

void FinalizeGraphics() {
    delete gFileFormats;
    gFileFormats = nullptr;
}

TPicture::~TPicture() {
    if (FGraphic) FGraphic->Free();
}

void TPicture::Adopt(TGraphic* graphic) {
    TGraphic* old = FGraphic;
    FGraphic = graphic;
    if (graphic) {
        graphic->OnChange = TNotifyEvent::Of<&TPicture::Changed>(this);
        graphic->OnProgress = TProgressEvent::Of<&TPicture::Progress>(this);
    }
    if (old) old->Free();
}

void TPicture::Assign(TPersistent* Source) {
    if (!Source) {
        SetGraphic(nullptr);
    } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
        if (p != this) SetGraphic(p->FGraphic);
    } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
        SetGraphic(g);
    } else {
        TPersistent::Assign(Source);
    }
}

void TPicture::SetGraphic(TGraphic* value) {
    if (value && value == FGraphic) return;
    TGraphic* copy = nullptr;
    if (value) {
        copy = value->CreateNew();
        try {
            copy->Assign(value);
        } catch (...) {
            copy->Free();
            throw;
        }
    }
    Adopt(copy);
    Changed(this);
}

TBitmap* TPicture::Bitmap() {
    if (auto* b = dynamic_cast<TBitmap*>(FGraphic)) return b;
    TBitmap* bitmap = New<TBitmap>();
    if (FGraphic) {
        try {
            bitmap->Assign(FGraphic);
        } catch (...) {
            bitmap->Free();
            throw;
        }
    }
    Adopt(bitmap);
    return bitmap;
}

void TPicture::LoadFromFile(const String& fileName) {
    const std::size_t slash = fileName.find_last_of(u"\\/:");
    const std::size_t dot = fileName.find_last_of(u'.');
    const String ext = dot == String::npos || (slash != String::npos && dot < slash) ? String() : fileName.substr(dot + 1);
    const TGraphicFactory factory = FindFileFormat(ext);
    if (!factory) throw EInvalidGraphic(u"Unknown picture file extension (." + ext + u")");
    TGraphic* graphic = factory();
    graphic->OnProgress = TProgressEvent::Of<&TPicture::Progress>(this);
    // While it loads, the new graphic stands in for the old one, so that a
    // progress handler sees the size of what arrives.
    TGraphic* old = FGraphic;
    FGraphic = graphic;
    try {
        graphic->LoadFromFile(fileName);
    } catch (...) {
        FGraphic = old;
        graphic->Free();
        throw;
    }
    FGraphic = old;
    Adopt(graphic);
    Changed(this);
}

void TPicture::SaveToFile(const String& fileName) {
    if (FGraphic) FGraphic->SaveToFile(fileName);
}

void TPicture::Changed(TObject*) {
    if (OnChange) OnChange(this);
}

void TPicture::Progress(TObject* Sender, TProgressStage Stage, Byte PercentDone, bool RedrawNow, const TRect& R,
                        const String& Msg) {
    if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}
