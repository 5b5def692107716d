// The framework's JPEG, PNG and GIF image classes. Each keeps the file's bytes
// (SaveToStream writes them back unchanged) and the decoded picture as 32-bit
// pixels with straight alpha, drawn alpha-blended where the image has alpha.
// GIF images keep all their frames and can animate on a timer.
#pragma once

#include <string>
#include <vector>

#include "Graphics.h"

class TDecodedImage : public TGraphic {
public:
    KES_CLASS_NAME(TDecodedImage)
    TDecodedImage();
    ~TDecodedImage() override;

    // Copies an image of the same class; nullptr empties the image.
    void Assign(TPersistent* Source) override;

    bool Empty() const override { return FFrames.empty(); }
    Integer Width() const override { return FWidth; }
    Integer Height() const override { return FHeight; }
    // The size of a decoded image is fixed: these raise EInvalidGraphicOperation.
    void SetWidth(Integer value) override;
    void SetHeight(Integer value) override;

    // Reads the rest of the stream and decodes it; bad data raises
    // EInvalidGraphic and leaves the image as it was. Reports psStarting and
    // psEnding to OnProgress.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void Draw(TCanvas& canvas, const TRect& rect) override;
    // The shown frame as a 32-bit bitmap, AlphaFormat afDefined when the
    // image has alpha.
    bool CopyToBitmap(TBitmap& dest) const override;

    // Whether any pixel of any frame is not fully opaque. Loading sets
    // Transparent to this; Transparent false draws the pixels opaque.
    bool HasAlpha() const { return FHasAlpha; }

protected:
    struct Frame {
        std::vector<Byte> Pixels;   // blue, green, red, alpha; top row first
        Integer Delay = 0;          // milliseconds
    };
    struct Decoded {
        Integer Width = 0;
        Integer Height = 0;
        std::vector<Frame> Frames;
        Integer LoopCount = -1;   // GIF repeat count: -1 none given, 0 forever
    };

    // Decodes a whole file; raises EInvalidGraphic.
    virtual Decoded Decode(const std::string& data) const = 0;
    // After new content arrived (a load or a copy).
    virtual void ContentChanged() {}
    void ShowFrame(std::size_t index);

    std::string FData;
    Integer FWidth = 0;
    Integer FHeight = 0;
    std::vector<Frame> FFrames;
    std::size_t FFrameIndex = 0;
    Integer FLoopCount = -1;
    bool FHasAlpha = false;
    std::unique_ptr<TBitmap> FBitmap;   // the shown frame
};

class TJPEGImage : public TDecodedImage {
public:
    KES_CLASS_NAME(TJPEGImage)
    TGraphic* CreateNew() const override { return New<TJPEGImage>(); }

protected:
    Decoded Decode(const std::string& data) const override;
};

class TPNGObject : public TDecodedImage {
public:
    KES_CLASS_NAME(TPNGObject)
    TGraphic* CreateNew() const override { return New<TPNGObject>(); }

protected:
    Decoded Decode(const std::string& data) const override;
};

// glDisabled plays an animation once; glEnabled plays it once and then
// repeats it as often as the file's repeat count says (forever for 0; no
// repeat when the file gives no count); glContinously repeats it endlessly.
enum TGIFAnimationLoop { glDisabled, glEnabled, glContinously };

class TGIFImage : public TDecodedImage {
public:
    KES_CLASS_NAME(TGIFImage)
    ~TGIFImage() override;
    TGraphic* CreateNew() const override { return New<TGIFImage>(); }
    // Also copies the animation settings (a running animation runs on in
    // the copy).
    void Assign(TPersistent* Source) override;

    int FrameCount() const { return static_cast<int>(FFrames.size()); }
    int FrameIndex() const { return static_cast<int>(FFrameIndex); }
    // Shows another frame (OnChange follows); raises EInvalidGraphicOperation
    // outside 0 .. FrameCount - 1.
    void SetFrameIndex(int index);
    // How long a frame stays, in milliseconds (100 when the file gives none).
    Integer FrameDelay(int index) const;
    // The file's repeat count: -1 when it gives none, 0 for forever.
    Integer LoopCount() const { return FLoopCount; }

    // Animation runs on a thread timer of the calling thread (it needs a
    // message loop), shows each frame for its delay and calls OnChange on
    // every frame. A finished animation stays on its last frame and turns
    // Animate off.
    bool Animate() const { return FAnimate; }
    void SetAnimate(bool value);
    bool Animating() const { return FTimer != 0; }
    // How many GIF images animate at the moment.
    static int RunningAnimations();
    TGIFAnimationLoop AnimationLoop() const { return FAnimationLoop; }
    void SetAnimationLoop(TGIFAnimationLoop value) { FAnimationLoop = value; }

protected:
    Decoded Decode(const std::string& data) const override;
    void ContentChanged() override;

private:
    friend struct TGIFAnimationTimer;
    void StartTimer();
    void StopTimer();
    void NextFrame();

    bool FAnimate = false;
    TGIFAnimationLoop FAnimationLoop = glEnabled;
    int FLoopsDone = 0;
    UINT_PTR FTimer = 0;
};

// Unit start-up: registers bmp, jpg, jpeg, png and gif with TPicture.
void RegisterImageFormats();
// Unit shut-down: takes the registrations out again.
void UnregisterImageFormats();
