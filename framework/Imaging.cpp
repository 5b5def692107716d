#include "Imaging.h"

#include <cstring>
#include <limits>
#include <map>

#include "GifScan.h"
#include "StbImage.h"

namespace {

// Decoded pixels of one image (all frames together) may take this much.
constexpr std::uint64_t MaxPixelBytes = std::uint64_t{256} << 20;
// Image files larger than this are not read.
constexpr Int64 MaxFileBytes = Int64{256} << 20;

[[noreturn]] void Invalid(const char16_t* format, const char* reason) {
    throw EInvalidGraphic(String(u"Invalid ") + format + u" image: " +
                          AsciiToString(reason && *reason ? reason : "unknown error"));
}

void CheckSize(const char16_t* format, int width, int height, std::uint64_t frames) {
    if (width <= 0 || height <= 0) Invalid(format, "empty image");
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4 * std::max<std::uint64_t>(frames, 1) >
        MaxPixelBytes)
        throw EInvalidGraphic(String(format) + u" image is too large (" + IntToStr(width) + u" x " + IntToStr(height) +
                              u")");
}

struct StbFree {
    void operator()(void* p) const { stbi_image_free(p); }
};
using StbPixels = std::unique_ptr<unsigned char, StbFree>;

// stb gives red, green, blue, alpha; bitmaps want blue, green, red, alpha.
std::vector<Byte> ToBgra(const unsigned char* rgba, std::size_t pixelCount) {
    std::vector<Byte> out(rgba, rgba + pixelCount * 4);
    for (std::size_t i = 0; i < out.size(); i += 4) std::swap(out[i], out[i + 2]);
    return out;
}

bool StartsWith(const std::string& data, const char* magic, std::size_t length) {
    return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

const stbi_uc* Bytes(const std::string& data) { return reinterpret_cast<const stbi_uc*>(data.data()); }

}  // namespace

// ---------------------------------------------------------------------------

TDecodedImage::TDecodedImage() : FBitmap(std::make_unique<TBitmap>()) {}

TDecodedImage::~TDecodedImage() = default;

void TDecodedImage::SetWidth(Integer) {
    throw EInvalidGraphicOperation(u"Cannot change the size of a " + ClassName());
}

void TDecodedImage::SetHeight(Integer) {
    throw EInvalidGraphicOperation(u"Cannot change the size of a " + ClassName());
}

void TDecodedImage::ShowFrame(std::size_t index) {
    FFrameIndex = index;
    if (FFrames.empty()) {
        FBitmap->Assign(nullptr);
        return;
    }
    FBitmap->SetPixelFormat(pf32bit);
    FBitmap->SetSize(FWidth, FHeight);
    const std::vector<Byte>& pixels = FFrames[index].Pixels;
    const std::size_t rowBytes = static_cast<std::size_t>(FWidth) * 4;
    for (Integer row = 0; row < FHeight; ++row)
        std::memcpy(FBitmap->ScanLine(row), pixels.data() + row * rowBytes, rowBytes);
}

void TDecodedImage::Assign(TPersistent* Source) {
    if (Source == this) return;
    auto* image = dynamic_cast<TDecodedImage*>(Source);
    if (Source && (!image || image->ClassName() != ClassName())) {
        TGraphic::Assign(Source);
        return;
    }
    if (image) {
        FData = image->FData;
        FWidth = image->FWidth;
        FHeight = image->FHeight;
        FFrames = image->FFrames;
        FLoopCount = image->FLoopCount;
        FHasAlpha = image->FHasAlpha;
        FTransparent = image->FTransparent;
        ShowFrame(image->FFrameIndex);
    } else {
        FData.clear();
        FWidth = FHeight = 0;
        FFrames.clear();
        FLoopCount = -1;
        FHasAlpha = false;
        FTransparent = false;
        ShowFrame(0);
    }
    ContentChanged();
    Changed(this);
}

void TDecodedImage::LoadFromStream(TStream& stream) {
    const Int64 available = stream.GetSize() - stream.GetPosition();
    const String name = ClassName();
    if (available <= 0) throw EInvalidGraphic(name + u": no image data");
    if (available > MaxFileBytes) throw EInvalidGraphic(name + u": the file is too large");
    std::string data(static_cast<std::size_t>(available), '\0');
    stream.ReadBuffer(data.data(), static_cast<Integer>(available));
    Progress(this, psStarting, 0, false, TRect(), u"Reading");

    Decoded decoded = Decode(data);
    bool alpha = false;
    for (const Frame& f : decoded.Frames) {
        for (std::size_t i = 3; i < f.Pixels.size() && !alpha; i += 4) alpha = f.Pixels[i] != 0xFF;
        if (alpha) break;
    }
    FData = std::move(data);
    FWidth = decoded.Width;
    FHeight = decoded.Height;
    FFrames = std::move(decoded.Frames);
    FLoopCount = decoded.LoopCount;
    FHasAlpha = alpha;
    FTransparent = alpha;
    ShowFrame(0);
    ContentChanged();
    Changed(this);
    Progress(this, psEnding, 100, true, Rect(0, 0, FWidth, FHeight), u"Reading");
}

void TDecodedImage::SaveToStream(TStream& stream) {
    if (!FData.empty()) stream.WriteBuffer(FData.data(), static_cast<Integer>(FData.size()));
}

void TDecodedImage::Draw(TCanvas& canvas, const TRect& rect) {
    if (Empty()) return;
    FBitmap->SetAlphaFormat(FHasAlpha && Transparent() ? afDefined : afIgnored);
    FBitmap->Draw(canvas, rect);
}

bool TDecodedImage::CopyToBitmap(TBitmap& dest) const {
    dest.Assign(Empty() ? nullptr : FBitmap.get());
    dest.SetAlphaFormat(FHasAlpha ? afDefined : afIgnored);
    return true;
}

// ---------------------------------------------------------------------------

TDecodedImage::Decoded TJPEGImage::Decode(const std::string& data) const {
    if (!StartsWith(data, "\xFF\xD8\xFF", 3)) Invalid(u"JPEG", "not a JPEG file");
    const int length = static_cast<int>(data.size());
    int width = 0, height = 0, channels = 0;
    if (!StbInfoFromMemory(Bytes(data), length, &width, &height, &channels)) Invalid(u"JPEG", stbi_failure_reason());
    CheckSize(u"JPEG", width, height, 1);
    StbPixels pixels(StbLoadFromMemory(Bytes(data), length, &width, &height, &channels, 4));
    if (!pixels) Invalid(u"JPEG", stbi_failure_reason());
    Decoded result;
    result.Width = width;
    result.Height = height;
    result.Frames.push_back(Frame{ToBgra(pixels.get(), static_cast<std::size_t>(width) * height), 0});
    return result;
}

TDecodedImage::Decoded TPNGObject::Decode(const std::string& data) const {
    if (!StartsWith(data, "\x89PNG\r\n\x1A\n", 8)) Invalid(u"PNG", "not a PNG file");
    const int length = static_cast<int>(data.size());
    int width = 0, height = 0, channels = 0;
    if (!StbInfoFromMemory(Bytes(data), length, &width, &height, &channels)) Invalid(u"PNG", stbi_failure_reason());
    CheckSize(u"PNG", width, height, 1);
    StbPixels pixels(StbLoadFromMemory(Bytes(data), length, &width, &height, &channels, 4));
    if (!pixels) Invalid(u"PNG", stbi_failure_reason());
    Decoded result;
    result.Width = width;
    result.Height = height;
    result.Frames.push_back(Frame{ToBgra(pixels.get(), static_cast<std::size_t>(width) * height), 0});
    return result;
}

// ---------------------------------------------------------------------------
// GIF

TDecodedImage::Decoded TGIFImage::Decode(const std::string& original) const {
    if (!StartsWith(original, "GIF87a", 6) && !StartsWith(original, "GIF89a", 6)) Invalid(u"GIF", "not a GIF file");
    std::string data = original;
    const TGifLayout layout = ScanGif(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    CheckSize(u"GIF", layout.Width, layout.Height, layout.Frames);

    int* delays = nullptr;
    int width = 0, height = 0, frames = 0, channels = 0;
    StbPixels pixels(stbi_load_gif_from_memory(Bytes(data), static_cast<int>(data.size()), &delays, &width, &height,
                                               &frames, &channels, 4));
    // Without pixels the delays are either not made or already released by
    // the decoder (running out of memory), so they are ours only with pixels.
    StbPixels delayGuard(pixels ? reinterpret_cast<unsigned char*>(delays) : nullptr);
    if (!pixels || frames <= 0) Invalid(u"GIF", stbi_failure_reason());
    Decoded result;
    result.Width = width;
    result.Height = height;
    result.LoopCount = layout.LoopCount;
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 4;
    for (int i = 0; i < frames; ++i)
        result.Frames.push_back(Frame{ToBgra(pixels.get() + i * frameBytes, frameBytes / 4), delays ? delays[i] : 0});
    return result;
}

TGIFImage::~TGIFImage() { StopTimer(); }

void TGIFImage::Assign(TPersistent* Source) {
    if (auto* gif = dynamic_cast<TGIFImage*>(Source); gif && gif != this) {
        FAnimate = gif->FAnimate;
        FAnimationLoop = gif->FAnimationLoop;
    }
    TDecodedImage::Assign(Source);
}

void TGIFImage::SetFrameIndex(int index) {
    if (index < 0 || index >= FrameCount())
        throw EInvalidGraphicOperation(u"Frame index out of range (" + IntToStr(index) + u")");
    if (static_cast<std::size_t>(index) == FFrameIndex) return;
    ShowFrame(static_cast<std::size_t>(index));
    Changed(this);
}

Integer TGIFImage::FrameDelay(int index) const {
    if (index < 0 || index >= FrameCount())
        throw EInvalidGraphicOperation(u"Frame index out of range (" + IntToStr(index) + u")");
    const Integer delay = FFrames[static_cast<std::size_t>(index)].Delay;
    return delay > 0 ? delay : 100;
}

void TGIFImage::SetAnimate(bool value) {
    if (value == FAnimate) return;
    FAnimate = value;
    FLoopsDone = 0;
    if (value)
        StartTimer();
    else
        StopTimer();
}

void TGIFImage::ContentChanged() {
    FLoopsDone = 0;
    if (FAnimate)
        StartTimer();
    else
        StopTimer();
}

// Thread timers carry no pointer of ours; running animations are found by
// their timer id. The map exists while any animation runs.
struct TGIFAnimationTimer {
    static std::map<UINT_PTR, TGIFImage*>* Running;

    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        TGIFImage* image = nullptr;
        if (Running) {
            auto it = Running->find(id);
            if (it != Running->end()) image = it->second;
        }
        if (!image) {
            ::KillTimer(nullptr, id);   // a tick that was already on its way
            return;
        }
        try {
            image->NextFrame();
        } catch (...) {
            try {
                if (GraphicsHandleException) GraphicsHandleException(nullptr);
            } catch (...) {
            }
        }
    }
};

std::map<UINT_PTR, TGIFImage*>* TGIFAnimationTimer::Running = nullptr;

int TGIFImage::RunningAnimations() {
    return TGIFAnimationTimer::Running ? static_cast<int>(TGIFAnimationTimer::Running->size()) : 0;
}

void TGIFImage::StartTimer() {
    StopTimer();
    if (FFrames.size() < 2) return;
    const UINT_PTR id = ::SetTimer(nullptr, 0, static_cast<UINT>(FrameDelay(FrameIndex())), &TGIFAnimationTimer::Tick);
    if (!id) return;
    if (!TGIFAnimationTimer::Running) TGIFAnimationTimer::Running = new std::map<UINT_PTR, TGIFImage*>();
    (*TGIFAnimationTimer::Running)[id] = this;
    FTimer = id;
}

void TGIFImage::StopTimer() {
    if (!FTimer) return;
    ::KillTimer(nullptr, FTimer);
    if (auto*& running = TGIFAnimationTimer::Running) {
        running->erase(FTimer);
        if (running->empty()) {
            delete running;
            running = nullptr;
        }
    }
    FTimer = 0;
}

void TGIFImage::NextFrame() {
    if (FFrames.size() < 2) {
        StopTimer();
        return;
    }
    std::size_t next = FFrameIndex + 1;
    if (next >= FFrames.size()) {
        ++FLoopsDone;
        const bool again = FAnimationLoop == glContinously ||
                           (FAnimationLoop == glEnabled && FLoopCount >= 0 && (FLoopCount == 0 || FLoopsDone <= FLoopCount));
        if (!again) {
            StopTimer();
            FAnimate = false;
            return;
        }
        next = 0;
    }
    ShowFrame(next);
    StartTimer();
    // Last: the handler may free this image.
    Changed(this);
}

// ---------------------------------------------------------------------------

void RegisterImageFormats() {
    TPicture::RegisterFileFormat(u"bmp", u"Bitmaps", GraphicFactory<TBitmap>);
    TPicture::RegisterFileFormat(u"jpg", u"JPEG Image File", GraphicFactory<TJPEGImage>);
    TPicture::RegisterFileFormat(u"jpeg", u"JPEG Image File", GraphicFactory<TJPEGImage>);
    TPicture::RegisterFileFormat(u"png", u"Portable Network Graphics", GraphicFactory<TPNGObject>);
    TPicture::RegisterFileFormat(u"gif", u"GIF Image", GraphicFactory<TGIFImage>);
}

void UnregisterImageFormats() {
    TPicture::UnregisterGraphicClass(GraphicFactory<TBitmap>);
    TPicture::UnregisterGraphicClass(GraphicFactory<TJPEGImage>);
    TPicture::UnregisterGraphicClass(GraphicFactory<TPNGObject>);
    TPicture::UnregisterGraphicClass(GraphicFactory<TGIFImage>);
}
