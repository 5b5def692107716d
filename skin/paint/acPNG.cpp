#include "acPNG.h"

#include "sGraphUtils.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Writes the decoder's rows straight into the bitmap's scan lines.
class TBitmapTarget : public TPNGTarget {
public:
    explicit TBitmapTarget(TBitmap& bitmap) : FBitmap(bitmap) {}

    void BeginImage(const TPNGImageInfo& Info) override {
        FBitmap.SetPixelFormat(static_cast<TPixelFormat>(Info.PixelFormat));
        FBitmap.SetSize(static_cast<Integer>(Info.Width), static_cast<Integer>(Info.Height));
        if (Info.BitsPerPixel <= 8 && !Info.Palette.empty()) {
            std::vector<RGBQUAD> colors(Info.Palette.size());
            for (std::size_t i = 0; i < colors.size(); ++i) {
                colors[i].rgbRed = Info.Palette[i].Red;
                colors[i].rgbGreen = Info.Palette[i].Green;
                colors[i].rgbBlue = Info.Palette[i].Blue;
                colors[i].rgbReserved = 0;
            }
            FBitmap.SetColorTable(colors);
        }
        FBitmap.SetAlphaFormat(Info.BitsPerPixel == 32 ? afDefined : afIgnored);
        if (Info.TransparentColor != kPNGNoColor) FBitmap.SetTransparentColor(Info.TransparentColor);
        // Fill with the background before the rows arrive (rows an interlaced
        // image leaves out keep it).
        const std::size_t rowBytes = (static_cast<std::size_t>(Info.Width) * Info.BitsPerPixel + 7) / 8;
        if (Info.Height == 0) return;
        Byte* first = ScanLine(0);
        if (Info.BitsPerPixel == 24 || Info.BitsPerPixel == 32) {
            const std::size_t step = Info.BitsPerPixel / 8;
            for (std::size_t x = 0; x + step <= rowBytes; x += step) {
                first[x] = static_cast<Byte>(Info.Background & 0xFF);
                first[x + 1] = static_cast<Byte>((Info.Background >> 8) & 0xFF);
                first[x + 2] = static_cast<Byte>((Info.Background >> 16) & 0xFF);
                if (step == 4) first[x + 3] = 0;
            }
        } else {
            // Repeat the palette index across the byte.
            Byte value = 0;
            const int bits = Info.BitsPerPixel;
            for (int shift = 0; shift < 8; shift += bits) value |= static_cast<Byte>((Info.Background & ((1u << bits) - 1)) << shift);
            std::memset(first, value, rowBytes);
        }
        for (Cardinal y = 1; y < Info.Height; ++y) std::memcpy(ScanLine(y), first, rowBytes);
    }

    Byte* ScanLine(Cardinal y) override { return static_cast<Byte*>(FBitmap.ScanLine(static_cast<Integer>(y))); }

private:
    TBitmap& FBitmap;
};

TProgressStage ToStage(TPNGProgressStage stage) {
    switch (stage) {
    case TPNGProgressStage::psStarting: return psStarting;
    case TPNGProgressStage::psRunning: return psRunning;
    default: return psEnding;
    }
}

}  // namespace

void TPNGGraphic::LoadFromStream(TStream& stream) {
    // Decode into a fresh bitmap, so a failure leaves this image as it was.
    TBitmap decoded;
    TBitmapTarget target(decoded);
    TPNGDecoder decoder;
    // The decoder's end notice is passed on only once this image holds what
    // was decoded (or, after a failure, is as it was before): a handler that
    // reads the size at the end sees the image just loaded.
    bool ended = false;
    String endMessage;
    decoder.OnProgress = [&](TPNGProgressStage stage, int percent, const String& message) {
        if (stage == TPNGProgressStage::psEnding) {
            ended = true;
            endMessage = message;
            return;
        }
        Progress(this, ToStage(stage), static_cast<Byte>(std::clamp(percent, 0, 100)), false,
                 TRect(0, 0, decoded.Width(), decoded.Height()), message);
    };
    auto reportEnd = [&] {
        if (ended) Progress(this, psEnding, 100, false, TRect(0, 0, Width(), Height()), endMessage);
    };
    try {
        try {
            decoder.LoadFromStream(stream, target);
        } catch (const EPNGInvalidGraphic& e) {
            throw EInvalidGraphic(e.Message());
        }
    } catch (...) {
        reportEnd();
        throw;
    }
    FImageProperties = decoder.ImageProperties();
    TBitmap::Assign(&decoded);
    SetAlphaFormat(decoded.AlphaFormat());
    Changed(this);
    reportEnd();
}

void TPNGGraphic::Assign(TPersistent* Source) {
    if (auto* png = dynamic_cast<TPNGGraphic*>(Source)) {
        FImageProperties = png->FImageProperties;
        Reflected = png->Reflected;
    }
    TBitmap::Assign(Source);
}

bool TPNGGraphic::Transparent() const {
    return TBitmap::Transparent() && (PixelFormat() == pf32bit || TransparentMode() == tmFixed);
}

void TPNGGraphic::Draw(TCanvas& canvas, const TRect& rect) {
    if (Empty() || PixelFormat() != pf32bit) {
        TBitmap::Draw(canvas, rect);
        return;
    }
    const Integer w = rect.Width(), h = rect.Height();
    if (w <= 0 || h <= 0) return;
    struct TFree {
        void operator()(TBitmap* b) const { b->Free(); }
    };
    using TOwned = std::unique_ptr<TBitmap, TFree>;
    TOwned image;
    TBitmap* src = this;
    if (w != Width() || h != Height()) {
        // Colours and alpha are stretched apart: the alpha as grey levels.
        image.reset(CreateWorkBitmap(w, h));
        TOwned alpha(CreateWorkBitmap(Width(), Height()));
        TOwned alphaStretched(CreateWorkBitmap(w, h));
        for (Integer y = 0; y < Height(); ++y) {
            const auto* s = static_cast<const std::uint32_t*>(ScanLine(y));
            auto* d = static_cast<std::uint32_t*>(alpha->ScanLine(y));
            for (Integer x = 0; x < Width(); ++x) d[x] = (s[x] >> 24) * 0x010101u;
        }
        HDC from = Canvas()->Handle();
        HDC to = image->Canvas()->Handle();
        int old = ::SetStretchBltMode(to, COLORONCOLOR);
        ::StretchBlt(to, 0, 0, w, h, from, 0, 0, Width(), Height(), SRCCOPY);
        ::SetStretchBltMode(to, old);
        HDC alphaTo = alphaStretched->Canvas()->Handle();
        old = ::SetStretchBltMode(alphaTo, HALFTONE);
        ::SetBrushOrgEx(alphaTo, 0, 0, nullptr);
        ::StretchBlt(alphaTo, 0, 0, w, h, alpha->Canvas()->Handle(), 0, 0, Width(), Height(), SRCCOPY);
        ::SetStretchBltMode(alphaTo, old);
        ::GdiFlush();
        for (Integer y = 0; y < h; ++y) {
            auto* d = static_cast<std::uint32_t*>(image->ScanLine(y));
            const auto* a = static_cast<const std::uint32_t*>(alphaStretched->ScanLine(y));
            for (Integer x = 0; x < w; ++x) d[x] = (d[x] & 0x00FFFFFFu) | (a[x] & 0xFFu) << 24;
        }
        src = image.get();
    }
    TOwned work(CreateWorkBitmap(w, h));
    HDC dc = canvas.Handle();
    ::BitBlt(work->Canvas()->Handle(), 0, 0, w, h, dc, rect.Left, rect.Top, SRCCOPY);
    ::GdiFlush();
    CopyAlphaImage(TRect(0, 0, w, h), TRect(0, 0, w, h), work.get(), src, TCacheInfo(), false);
    ::BitBlt(dc, rect.Left, rect.Top, w, h, work->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void acPNGInitialization() {
    TPicture::RegisterFileFormat(u"png", u"Portable network graphics (skin engine)", GraphicFactory<TPNGGraphic>);
}

void acPNGFinalization() { TPicture::UnregisterGraphicClass(GraphicFactory<TPNGGraphic>); }
