#include "acSkinImages.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "FileIO.h"
#include "SysUtils.h"
#include "BmpDecoder.h"
#include "acFrameGeometry.h"
#include "acAlphaPixels.h"
#include "acPNGDecoder.h"
#include "acSkinPack.h"

namespace {

SmallInt ToSmall(Integer v) {
    return static_cast<SmallInt>(std::clamp<Integer>(v, std::numeric_limits<SmallInt>::min(),
                                                      std::numeric_limits<SmallInt>::max()));
}
SmallInt AtLeast(Integer v, Integer low) { return ToSmall(std::max(v, low)); }

// Images that carry no alpha of their own: opaque, fuchsia pixels as the key.
void KeyOpaqueImage(TacImage32& Image) {
    for (Integer y = 0; y < Image.Height(); ++y) {
        std::uint32_t* row = Image.Row(y);
        for (Integer x = 0; x < Image.Width(); ++x) {
            const std::uint32_t rgb = row[x] & 0x00FFFFFFu;
            row[x] = rgb == 0x00FF00FFu ? kKeyPixel : rgb | 0xFF000000u;
        }
    }
}

// An image whose alpha is opaque everywhere carries no transparency of its
// own: it keys fuchsia like an image without alpha.
void KeyIfAllOpaque(TacImage32& Image) {
    const std::vector<std::uint32_t>& px = Image.Pixels();
    if (std::all_of(px.begin(), px.end(), [](std::uint32_t p) { return (p >> 24) == 0xFFu; })) KeyOpaqueImage(Image);
}

TacImage32 FromPixels(Integer Width, Integer Height, std::vector<std::uint32_t>&& Pixels) {
    TacImage32 image(Width, Height);
    std::copy(Pixels.begin(), Pixels.end(), image.Row(0));
    return image;
}

// Delphi-like Copy: 1-based, clipped to the text.
StringView Copy(StringView s, std::size_t from, std::size_t count) {
    if (from < 1 || from > s.size()) return {};
    return s.substr(from - 1, count);
}

// A fixed-position field: must be a number.
Integer Strict(StringView Value, std::size_t From, std::size_t Count) {
    const StringView field = Copy(Value, From, Count);
    try {
        return StrToInt(field);
    } catch (const EConvertError&) {
        throw EConvertError(u"Image value \"" + String(Value) + u"\": '" + String(field) +
                            u"' at position " + IntToStr(static_cast<Int64>(From)) + u" is not a valid integer value");
    }
}

std::vector<String> Split(StringView s, StringView delimiters) {
    std::vector<String> parts;
    String current;
    bool any = false;
    for (Char c : s) {
        if (delimiters.find(c) != StringView::npos) {
            if (any) parts.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) parts.push_back(current);
    return parts;
}

// The words of a "#" value: runs of characters between blanks and
// parentheses, where a group in parentheses is one word with its blanks
// ("(0, 0, 30, 20)" is the word "0, 0, 30, 20").
std::vector<String> RectWords(StringView s) {
    std::vector<String> words;
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto blank = [](Char c) { return c == u' ' || c == u'\t'; };
    while (i < n) {
        if (blank(s[i]) || s[i] == u')') {
            ++i;
        } else if (s[i] == u'(') {
            const std::size_t close = s.find(u')', i + 1);
            const std::size_t end = close == StringView::npos ? n : close;
            const String group = Trim(s.substr(i + 1, end - i - 1));
            if (!group.empty()) words.push_back(group);
            i = end;
        } else {
            const std::size_t b = i;
            while (i < n && !blank(s[i]) && s[i] != u'(' && s[i] != u')') ++i;
            words.emplace_back(s.substr(b, i - b));
        }
    }
    return words;
}

// Border widths that are all 0: BorderWidth when given, else a third of a
// frame and of a row.
void DefaultBorders(TsMaskData& m) {
    if (m.WL + m.WT + m.WR + m.WB != 0) return;
    if (m.BorderWidth > 0) {
        m.WL = m.WT = m.WR = m.WB = m.BorderWidth;
        return;
    }
    const Int64 w = std::max<Int64>(Int64{m.R.Right} - m.R.Left, 0);
    const Int64 h = std::max<Int64>(Int64{m.R.Bottom} - m.R.Top, 0);
    m.WL = m.WR = ToSmall(static_cast<Integer>(w / (Int64{m.ImageCount} * 3)));
    m.WT = m.WB = ToSmall(static_cast<Integer>(h / ((Int64{m.MaskType} + 1) * 3)));
}

void ReadFixedRect(StringView v, TsMaskData& m) {
    m.R = TRect(Strict(v, 2, 4), Strict(v, 7, 4), Strict(v, 12, 4), Strict(v, 17, 4));
}

}  // namespace

// ---- TacImage32 -------------------------------------------------------------

TacImage32::TacImage32(Integer Width, Integer Height, std::uint32_t Fill) {
    if (Width <= 0 || Height <= 0) return;
    if (static_cast<std::uint64_t>(Width) * static_cast<std::uint64_t>(Height) > acMaxImagePixels)
        throw EOutOfMemory(u"An image of " + IntToStr(Width) + u" x " + IntToStr(Height) + u" pixels is too large");
    FWidth = Width;
    FHeight = Height;
    FPixels.assign(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height), Fill);
}

TacImage32::TacImage32(Integer Width, Integer Height, std::vector<std::uint32_t>&& Pixels) {
    if (Width <= 0 || Height <= 0) return;
    if (Pixels.size() != static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height))
        throw Exception(u"An image of " + IntToStr(Width) + u" x " + IntToStr(Height) + u" pixels needs as many words");
    FWidth = Width;
    FHeight = Height;
    FPixels = std::move(Pixels);
}

TacBits32 TacImage32::Bits() {
    FAttachment.Reset();
    return View();
}

TacBits32 TacImage32::View() const {
    if (Empty()) return {};
    return {reinterpret_cast<std::uint8_t*>(const_cast<std::uint32_t*>(FPixels.data())), FWidth, FHeight,
            static_cast<std::ptrdiff_t>(FWidth) * 4};
}

TacImage32 TacJPEGPattern::Decode() const { return DecodeJPEGImage(Data.data(), Data.size()); }

const TacImage32& TacJPEGPattern::Image() const {
    if (!FDecoded) {
        // A failure is remembered as an empty image, so bad data costs one
        // decode and one error, not one per paint.
        FDecoded = std::make_shared<const TacImage32>();
        FDecoded = std::make_shared<const TacImage32>(Decode());
    }
    return *FDecoded;
}

// ---- sources ----------------------------------------------------------------

TacFolderSource::TacFolderSource(String SkinPath) : FSkinPath(std::move(SkinPath)) {}

bool TacFolderSource::ReadFile(const String& FileName, std::vector<Byte>& Bytes) const {
    if (FileName.empty()) return false;
    String path = FileName.find(u':') == String::npos ? FSkinPath + FileName : FileName;
#ifndef _WIN32
    std::replace(path.begin(), path.end(), u'\\', u'/');
#endif
    if (!fileio::FileExists(path)) return false;
    int error = 0;
    const fileio::Handle h = fileio::Open(path, fileio::Access::Read, fileio::Disposition::OpenExisting, error);
    if (h == fileio::InvalidHandle) return false;
    struct Closer {
        fileio::Handle h;
        ~Closer() { fileio::Close(h); }
    } closer{h};
    const std::int64_t size = fileio::Seek(h, 0, fileio::Origin::End);
    if (size < 0 || fileio::Seek(h, 0, fileio::Origin::Begin) != 0)
        throw EInOutError(u"Cannot read the skin file " + path);
    if (size > acMaxSkinFileSize)
        throw EInvalidGraphic(u"The skin file " + path + u" is refused: it has " + IntToStr(size) +
                              u" bytes, more than the " + IntToStr(acMaxSkinFileSize) + u" bytes a skin file may have");
    Bytes.resize(static_cast<std::size_t>(size));
    if (size > 0 && fileio::Read(h, Bytes.data(), static_cast<std::int32_t>(size)) != size)
        throw EInOutError(u"Cannot read the skin file " + path);
    return true;
}

TacPackedSource::TacPackedSource(const TacSkinConvertor& Convertor) : FConvertor(Convertor) {}

bool TacPackedSource::ReadFile(const String& FileName, std::vector<Byte>& Bytes) const {
    const String wanted = UpperCase(FileName);
    for (const TacImageItem& item : FConvertor.Files) {
        if (!item.FileStream || UpperCase(item.FileName) != wanted) continue;
        const Byte* data = item.FileStream->Memory();
        const Int64 size = item.FileStream->GetSize();
        Bytes.assign(data, data + size);
        return true;
    }
    return false;
}

// ---- decoders ---------------------------------------------------------------

TacImage32 DecodeBMPImage(const Byte* Data, std::size_t Size) {
    TacBMPImage bmp = DecodeBMP(Data, Size, acMaxImagePixels);
    TacImage32 image = FromPixels(bmp.Width, bmp.Height, std::move(bmp.Pixels));
    if (bmp.HasAlpha)
        KeyIfAllOpaque(image);
    else
        KeyOpaqueImage(image);
    return image;
}

namespace {

// The decoder's rows, kept in memory.
class TPNGSkinTarget : public TPNGMemoryTarget {
public:
    void BeginImage(const TPNGImageInfo& Info_) override {
        if (Info_.BitsPerPixel != 1 && Info_.BitsPerPixel != 4 && Info_.BitsPerPixel != 8 &&
            Info_.BitsPerPixel != 24 && Info_.BitsPerPixel != 32)
            throw EInvalidGraphic(u"Unsupported PNG pixel layout");
        TPNGMemoryTarget::BeginImage(Info_);
    }
};

}  // namespace

TacImage32 DecodePNGSkinImage(const Byte* Data, std::size_t Size, TacAlphaRule Rule) {
    if (Size > static_cast<std::size_t>(std::numeric_limits<Integer>::max()))
        throw EInvalidGraphic(u"The PNG image is too large");
    TMemoryStream stream;
    stream.WriteBuffer(Data, static_cast<Integer>(Size));
    stream.SetPosition(0);
    TPNGDecoder decoder;
    decoder.MaxPixels = acMaxImagePixels;
    TPNGSkinTarget target;
    try {
        decoder.LoadFromStream(stream, target);
    } catch (const EPNGInvalidGraphic& e) {
        throw EInvalidGraphic(e.Message());
    } catch (const EGraphicCompression& e) {
        throw EInvalidGraphic(e.Message());
    }
    const TPNGImageInfo& info = target.Info;
    if (info.Width == 0 || info.Height == 0 || target.Pixels.empty())
        throw EInvalidGraphic(u"The PNG image has no pixels");
    TacImage32 image(static_cast<Integer>(info.Width), static_cast<Integer>(info.Height));
    const bool hasAlpha = info.BitsPerPixel == 32 || !info.Transparency.empty() || info.TransparentColor != kPNGNoColor;
    const std::uint32_t transparent =
        info.TransparentColor == kPNGNoColor ? 0xFFFFFFFFu : SwapRedBlue(static_cast<std::uint32_t>(info.TransparentColor)) & 0x00FFFFFFu;
    for (Integer y = 0; y < image.Height(); ++y) {
        const Byte* src = target.ScanLine(static_cast<Cardinal>(y));
        std::uint32_t* dst = image.Row(y);
        for (Integer x = 0; x < image.Width(); ++x) {
            std::uint32_t rgb = 0, alpha = 255;
            switch (info.BitsPerPixel) {
            case 32: {
                const Byte* p = src + 4 * static_cast<std::size_t>(x);
                rgb = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
                alpha = p[3];
                break;
            }
            case 24: {
                const Byte* p = src + 3 * static_cast<std::size_t>(x);
                rgb = std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
                break;
            }
            default: {
                const unsigned bits = static_cast<unsigned>(info.BitsPerPixel), perByte = 8 / bits;
                const unsigned shift = 8 - bits * (static_cast<unsigned>(x) % perByte + 1);
                const unsigned index = (src[static_cast<unsigned>(x) / perByte] >> shift) & ((1u << bits) - 1);
                if (index < info.Palette.size()) {
                    const TacPaletteEntry& e = info.Palette[index];
                    rgb = std::uint32_t{e.Red} << 16 | std::uint32_t{e.Green} << 8 | e.Blue;
                }
                if (index < info.Transparency.size()) alpha = info.Transparency[index];
            }
            }
            if (rgb == transparent) alpha = 0;
            // Alpha 0 is the key; every other pixel keeps its alpha.
            dst[x] = alpha == 0 ? kKeyPixel : rgb | alpha << 24;
        }
    }
    if (hasAlpha)
        KeyIfAllOpaque(image);
    else
        KeyOpaqueImage(image);
    PrepareSkinAlpha(image.Bits(), Rule);
    return image;
}

TacImage32 DecodeSkinImage(const Byte* Data, std::size_t Size, TacAlphaRule Rule) {
    static const Byte pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (Size >= 8 && std::memcmp(Data, pngSignature, 8) == 0) return DecodePNGSkinImage(Data, Size, Rule);
    if (Size >= 2 && Data[0] == 'B' && Data[1] == 'M')
        return BMPHasNoPixels(Data, Size) ? TacImage32() : DecodeBMPImage(Data, Size);
    if (Size >= 2 && Data[0] == 0xFF && Data[1] == 0xD8) return DecodeJPEGImage(Data, Size);
    throw EInvalidGraphic(u"Unknown image file format");
}

// ---- image values -----------------------------------------------------------

TacImageValue ParseImageValue(StringView v, double Version) {
    TacImageValue result;
    TsMaskData& m = result.Mask;
    if (v.empty()) return result;
    switch (v.front()) {
    case u'!': {
        // Field 1 is the file name, the rest are numbers (0 when not).
        std::vector<String> fields;
        std::size_t start = 1;
        for (;;) {
            const std::size_t bang = v.find(u'!', start);
            fields.emplace_back(v.substr(start, bang == StringView::npos ? StringView::npos : bang - start));
            if (bang == StringView::npos) break;
            start = bang + 1;
        }
        if (fields[0].find(u".BMP") == String::npos && fields[0].find(u".PNG") == String::npos) return result;
        auto field = [&](std::size_t n) { return n <= fields.size() ? StrToIntDef(fields[n - 1], 0) : 0; };
        result.Form = TacImageForm::OwnImage;
        result.FileName = fields[0];
        m.ImageCount = AtLeast(field(2), 1);
        m.MaskType = AtLeast(field(3), 0);
        m.ImgType = static_cast<TacImgType>(std::clamp<Integer>(field(4), itisaBorder, itisaPngGlyph));
        if (fields.size() >= 5) {
            result.HasBorders = true;
            m.WL = AtLeast(field(5), 0);
            m.WT = AtLeast(field(6), 0);
            m.WR = AtLeast(field(7), 0);
            m.WB = AtLeast(field(8), 0);
        }
        m.DrawMode = fields.size() < 9 ? 1 : ToSmall(field(9));
        return result;
    }
    case u'@':
        result.Form = TacImageForm::MasterGlyph;
        ReadFixedRect(v, m);
        m.ImageCount = AtLeast(Strict(v, 22, 1), 1);
        m.MaskType = AtLeast(Strict(v, 24, 1), 0);
        m.ImgType = itisaGlyph;
        return result;
    case u'^': {
        result.Form = TacImageForm::MasterBorder;
        ReadFixedRect(v, m);
        m.WL = AtLeast(Strict(v, 22, 4), 0);
        m.WT = AtLeast(Strict(v, 27, 4), 0);
        m.WR = AtLeast(Strict(v, 32, 4), 0);
        m.WB = AtLeast(Strict(v, 37, 4), 0);
        m.ImageCount = AtLeast(Strict(v, 42, 1), 1);
        m.MaskType = AtLeast(Strict(v, 44, 1), 0);
        m.DrawMode = ToSmall(Strict(v, 46, 1));
        m.BorderWidth = AtLeast(Strict(v, 48, 1), 0);
        m.ImgType = itisaBorder;
        if (Version < 7.4 && m.MaskType > 0) {
            // Older skins: the centre cell of 1 x 1 pixel means "tile the centre".
            const bool one = MaskFrameWidth(m) - m.WL - m.WR == 1 && MaskFrameHeight(m) - m.WT - m.WB == 1;
            m.DrawMode = static_cast<SmallInt>(one ? (m.DrawMode | 1) : (m.DrawMode & ~1));
        }
        DefaultBorders(m);
        return result;
    }
    case u'~':
        result.Form = TacImageForm::MasterTexture;
        ReadFixedRect(v, m);
        m.DrawMode = ToSmall(Strict(v, 22, 2));
        m.MaskType = v.size() >= 25 ? AtLeast(Strict(v, 25, 1), 0) : 0;
        m.ImageCount = 1;
        m.ImgType = itisaTexture;
        return result;
    default: break;
    }
    if (v.find(u'#') != StringView::npos && v != u"#") {
        result.Form = TacImageForm::MasterRect;
        const std::vector<String> words = RectWords(v);
        const std::vector<String> rect = words.size() >= 2 ? Split(words[1], u" ,\t") : std::vector<String>();
        const std::vector<String> nums = words.size() >= 3 ? Split(words[2], u" ,\t") : std::vector<String>();
        auto lenient = [](const std::vector<String>& list, std::size_t i) {
            return i < list.size() ? StrToIntDef(list[i], 0) : 0;
        };
        auto strict = [&](std::size_t i, Integer missing) {
            if (i >= nums.size()) return missing;
            try {
                return StrToInt(nums[i]);
            } catch (const EConvertError&) {
                throw EConvertError(u"Image value \"" + String(v) + u"\": '" + nums[i] + u"' is not a valid integer value");
            }
        };
        m.R = TRect(lenient(rect, 0), lenient(rect, 1), lenient(rect, 2), lenient(rect, 3));
        m.ImageCount = AtLeast(lenient(nums, 0), 1);
        m.MaskType = AtLeast(lenient(nums, 1), 0);
        m.BorderWidth = AtLeast(strict(2, 0), 0);
        m.DrawMode = ToSmall(strict(3, 1));
        m.ImgType = itisaBorder;
        DefaultBorders(m);
        return result;
    }
    if (UpperCase(v).find(u".BMP") != String::npos) {
        result.Form = TacImageForm::BitmapFile;
        result.FileName = String(v);
        m.ImageCount = 3;
        m.MaskType = 1;
        m.ImgType = itisaBorder;
    }
    return result;
}

void CompleteFileMask(TacImageValue& Value, Integer Width, Integer Height) {
    TsMaskData& m = Value.Mask;
    m.R = TRect(0, 0, Width, Height);
    if (Value.Form == TacImageForm::OwnImage && Value.HasBorders) return;
    m.WL = m.WT = m.WR = m.WB = 0;
    DefaultBorders(m);
}

SmallInt MaskCornerType(const TsMaskData& Mask, const TacImage32& Image) {
    if (Mask.ClassName == u"BUTTON_HUGE" && Mask.PropertyName == u"BORDERSMASK") return 2;
    // Cells are clipped to end before the image's last column and row.
    const Int64 maxX = Int64{Image.Width()} - 1, maxY = Int64{Image.Height()} - 1;
    // The corner cells of the first frame, cut by the mask's own widths.
    const TRect frame = MaskFrameRect(Mask, 0);
    const TacNineSlices cells = NinePartSlices(frame, frame, TRect(Mask.WL, Mask.WT, Mask.WR, Mask.WB));
    auto scan = [&](const TRect& cell) {
        const Int64 x1 = std::max<Int64>(cell.Left, 0), y1 = std::max<Int64>(cell.Top, 0);
        const Int64 x2 = std::min<Int64>(cell.Right, maxX), y2 = std::min<Int64>(cell.Bottom, maxY);
        for (Int64 y = y1; y < y2; ++y)
            for (Int64 x = x1; x < x2; ++x)
                if ((Image.At(static_cast<Integer>(x), static_cast<Integer>(y)) & 0x00FFFFFFu) == 0x00FF00FFu)
                    return true;
        return false;
    };
    const bool found = scan(cells.Src[npTopLeft]) || scan(cells.Src[npTopRight]) ||
                       scan(cells.Src[npBottomLeft]) || scan(cells.Src[npBottomRight]);
    return found ? 1 : 0;
}
