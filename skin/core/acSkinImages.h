// Skin images: the 32-bit pixel images the skin model keeps (the master
// bitmap and the masks' own bitmaps), the large JPEG texture patterns, where a
// skin's files come from (its folder or a packed skin), and the image steps of
// a skin load that turn the image values of the ini text into model entries.
// Portable: no Windows header. The Win32 painting code reaches the pixels
// through Bits().
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Classes.h"
#include "acAlphaPixels.h"
#include "acPixels.h"
#include "sMaskData.h"

// No image of the engine may have more pixels than this (a 32-bit process
// could not hold its bitmap anyway).
constexpr std::uint64_t acMaxImagePixels = std::uint64_t{1} << 25;
// JPEG images of at least this many pixels stay packed as patterns; smaller
// ones become texture masks.
constexpr Int64 acJPEGPatternPixels = 900000;

// Something a platform layer keeps beside an image's pixels (a GDI copy for
// block transfers, say): made at most once per image and dropped with the
// image or by Bits(), which hands the pixels out for writing (code that
// writes through Row or At once painting may have begun calls Bits() first).
// A copy of an image starts without one.
class TacImageAttachment {
public:
    virtual ~TacImageAttachment() = default;
};

class TacAttachmentSlot {
public:
    TacAttachmentSlot() = default;
    TacAttachmentSlot(const TacAttachmentSlot&) {}
    TacAttachmentSlot& operator=(const TacAttachmentSlot&) {
        FValue.reset();
        return *this;
    }
    // A moved image keeps its pixels, so its attachment moves with them.
    TacAttachmentSlot(TacAttachmentSlot&& Other) noexcept : FValue(std::move(Other.FValue)) {}
    TacAttachmentSlot& operator=(TacAttachmentSlot&& Other) noexcept {
        FValue = std::move(Other.FValue);
        return *this;
    }
    TacImageAttachment* Get() const { return FValue.get(); }
    void Set(std::unique_ptr<TacImageAttachment> Value) const { FValue = std::move(Value); }
    void Reset() const { FValue.reset(); }
    friend bool operator==(const TacAttachmentSlot&, const TacAttachmentSlot&) { return true; }

private:
    mutable std::unique_ptr<TacImageAttachment> FValue;
};

// A 32-bit image in memory: rows from the top, 0xAARRGGBB words.
class TacImage32 {
public:
    TacImage32() = default;
    // Negative sizes count as 0. Raises EOutOfMemory past the engine's pixel cap.
    TacImage32(Integer Width, Integer Height, std::uint32_t Fill = 0);
    // An image of Pixels, Width * Height words, rows from the top.
    TacImage32(Integer Width, Integer Height, std::vector<std::uint32_t>&& Pixels);

    Integer Width() const { return FWidth; }
    Integer Height() const { return FHeight; }
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
    std::uint32_t* Row(Integer y) { return FPixels.data() + static_cast<std::size_t>(y) * FWidth; }
    const std::uint32_t* Row(Integer y) const { return FPixels.data() + static_cast<std::size_t>(y) * FWidth; }
    std::uint32_t& At(Integer x, Integer y) { return Row(y)[x]; }
    std::uint32_t At(Integer x, Integer y) const { return Row(y)[x]; }
    // A view for the pixel kernels (empty view for an empty image); it may be
    // written through, so the attachment is dropped.
    TacBits32 Bits();
    // A view for reading only (painting from a skin image); the attachment stays.
    TacBits32 View() const;
    // The platform layer's copy of the pixels, kept with the image.
    TacImageAttachment* Attachment() const { return FAttachment.Get(); }
    void SetAttachment(std::unique_ptr<TacImageAttachment> Value) const { FAttachment.Set(std::move(Value)); }
    const std::vector<std::uint32_t>& Pixels() const { return FPixels; }

    friend bool operator==(const TacImage32&, const TacImage32&) = default;

private:
    Integer FWidth = 0;
    Integer FHeight = 0;
    std::vector<std::uint32_t> FPixels;
    TacAttachmentSlot FAttachment;
};

// A texture pattern too large to keep unpacked while the skin loads: the JPEG
// file's bytes and the image's size. Image() unpacks it on first use and keeps
// the result for the life of the skin.
struct TacJPEGPattern {
    std::vector<Byte> Data;
    Integer Width = 0;
    Integer Height = 0;
    TacImage32 Decode() const;   // alpha 255; raises EInvalidGraphic on bad data
    // The decoded image, made once. Bad data raises EInvalidGraphic on the
    // first call; later calls give an empty image instead of decoding again.
    const TacImage32& Image() const;

private:
    mutable std::shared_ptr<const TacImage32> FDecoded;
};

// Where the files of a skin come from.
class TacSkinSource {
public:
    virtual ~TacSkinSource() = default;
    // The bytes of the named file; false when there is no such file.
    virtual bool ReadFile(const String& FileName, std::vector<Byte>& Bytes) const = 0;
};

// A skin folder: a name without ":" is taken relative to SkinPath.
class TacFolderSource : public TacSkinSource {
public:
    explicit TacFolderSource(String SkinPath);
    bool ReadFile(const String& FileName, std::vector<Byte>& Bytes) const override;

private:
    String FSkinPath;
};

class TacSkinConvertor;
// The files of an unpacked packed skin; names compare upper-cased.
class TacPackedSource : public TacSkinSource {
public:
    explicit TacPackedSource(const TacSkinConvertor& Convertor);
    bool ReadFile(const String& FileName, std::vector<Byte>& Bytes) const override;

private:
    const TacSkinConvertor& FConvertor;
};

// Image decoders (portable). Each raises EInvalidGraphic with a clear message
// on bad data and refuses images above the engine's pixel cap.
//   BMP: 1, 4, 8, 16, 24 and 32 bits, RLE4/RLE8, bit fields, top-down and
//   bottom-up; 32-bit images whose alpha bytes are all 0 count as opaque.
//   PNG: through the engine's decoder; alpha 0 becomes the key colour
//   0x00FF00FF, every other pixel keeps its alpha, prepared by Rule (see
//   PrepareSkinAlpha).
//   JPEG: opaque.
// The result is 32-bit; images without alpha, and images whose alpha is 255
// everywhere, get alpha 255, and then their fuchsia pixels are stored as the
// key pixel 0x00FF00FF.
TacImage32 DecodeBMPImage(const Byte* Data, std::size_t Size);
TacImage32 DecodePNGSkinImage(const Byte* Data, std::size_t Size, TacAlphaRule Rule = TacAlphaRule::Older);
TacImage32 DecodeJPEGImage(const Byte* Data, std::size_t Size);
// Size of a JPEG without decoding it; false when the data is no JPEG.
bool ReadJPEGSize(const Byte* Data, std::size_t Size, Integer& Width, Integer& Height);
// A skin image file of any of the three formats, told by its first bytes;
// EInvalidGraphic for anything else. A bitmap of width or height 0 gives an
// empty image (a skin image that adds nothing). Rule applies to PNG images.
TacImage32 DecodeSkinImage(const Byte* Data, std::size_t Size, TacAlphaRule Rule = TacAlphaRule::Older);

// ---------------------------------------------------------------------------
// Image values of the skin ini.

enum class TacImageForm {
    None,            // not an image value
    OwnImage,        // "!file!count!masktype!imgtype!wl!wt!wr!wb!drawmode"
    MasterGlyph,     // "@": fixed positions, a glyph in the master bitmap
    MasterBorder,    // "^": fixed positions, a nine-part mask in the master bitmap
    MasterTexture,   // "~": fixed positions, a texture in the master bitmap
    MasterRect,      // "... (l,t,r,b) (count,masktype,borderwidth,drawmode)"
    BitmapFile,      // a name containing ".BMP" in any letter case
};

// A parsed image value. Mask holds what the value gives: ImageCount at least
// 1 and MaskType and the border widths at least 0 whatever the value says.
// For the master forms R is the rectangle as written and the border widths
// are complete; for the file forms R and the defaults follow from the image
// (CompleteFileMask).
struct TacImageValue {
    TacImageForm Form = TacImageForm::None;
    String FileName;           // OwnImage and BitmapFile
    TsMaskData Mask;
    bool HasBorders = false;   // OwnImage with 5 fields or more
};

// Parses Value; Version is the skin's (below 7.4 the "^" form decides bit 0
// of DrawMode by its centre cell). A fixed-position field, or the border
// width or draw mode of the "#" form, that is not a number raises
// EConvertError.
TacImageValue ParseImageValue(StringView Value, double Version);
// R := the whole image; the default border widths of the file forms.
void CompleteFileMask(TacImageValue& Value, Integer Width, Integer Height);
// The corner type of a mask whose pixels are in Image (its own bitmap or the
// master bitmap): 2 for "BUTTON_HUGE" "BORDERSMASK", 1 when a corner cell of
// the first frame holds a fuchsia pixel, else 0.
SmallInt MaskCornerType(const TsMaskData& Mask, const TacImage32& Image);
