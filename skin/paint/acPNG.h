// The skin engine's PNG image class: a bitmap that reads PNG streams with
// the engine's own decoder, into the pixel format that fits the image (32-bit
// with alpha where the image has it). Registered for ".png" at start-up.
#pragma once

#include "Graphics.h"
#include "acPNGDecoder.h"

class TPNGGraphic : public TBitmap {
public:
    KES_CLASS_NAME(TPNGGraphic)
    TPNGGraphic() = default;
    TGraphic* CreateNew() const override { return New<TPNGGraphic>(); }

    // Bad data raises EInvalidGraphic with the decoder's message, broken
    // compressed data EGraphicCompression; the image stays as it was.
    void LoadFromStream(TStream& stream) override;
    void Assign(TPersistent* Source) override;
    // An image without alpha draws as a plain bitmap. A 32-bit image is
    // composited by its alpha over what the canvas shows under Rect (the
    // standard mix) and copied back; for another size it is stretched first,
    // its colours with COLORONCOLOR and its alpha with HALFTONE.
    void Draw(TCanvas& canvas, const TRect& rect) override;
    // Transparent where the file says so: by its alpha channel or its
    // transparent colour. A picture with neither is drawn whole, also when
    // set transparent (no colour of its own pixels is left out).
    bool Transparent() const override;

    const TImageProperties& ImageProperties() const { return FImageProperties; }
    // Set by the alpha image list when it has mirrored the image.
    bool Reflected = false;

private:
    TImageProperties FImageProperties;
};

// Unit start-up and shut-down: registers the class for "png" as "Portable
// network graphics (skin engine)", so pictures loaded by file name use it.
void acPNGInitialization();
void acPNGFinalization();
