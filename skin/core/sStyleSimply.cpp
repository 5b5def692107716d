#include "sStyleSimply.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>

#include "SysUtils.h"
#include "acFilters.h"
#include "acSkinImages.h"
#include "acUtils.h"
#include "sGradient.h"

namespace {

const String sGlobalInfo = u"GLOBALINFO";
const String sParentClass = u"PARENTCLASS";

SmallInt ToSmallInt(Integer value) {
    return static_cast<SmallInt>(std::clamp<Integer>(value, std::numeric_limits<SmallInt>::min(),
                                                     std::numeric_limits<SmallInt>::max()));
}
// Section indexes are kept as 16-bit values; one that does not fit counts as missing.
SmallInt SmallIndex(Integer index) { return index <= std::numeric_limits<SmallInt>::max() ? ToSmallInt(index) : -1; }
Integer ClampPercent(Integer value) { return std::clamp<Integer>(value, 0, 100); }
Byte ClampByte(Integer value) { return static_cast<Byte>(std::clamp<Integer>(value, 0, 255)); }

int HexDigit(Char c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// An ini value as an integer: decimal, or hexadecimal after "0x", "0X" or "$"
// (up to eight digits, taken as a 32-bit pattern); Default otherwise.
Integer IniTextToInt(StringView text, Integer Default) {
    StringView hex;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        hex = text.substr(2);
    else if (!text.empty() && text[0] == u'$')
        hex = text.substr(1);
    else
        return StrToIntDef(text, Default);
    if (hex.empty() || hex.size() > 8) return Default;
    std::uint32_t value = 0;
    for (Char c : hex) {
        const int d = HexDigit(c);
        if (d < 0) return Default;
        value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return static_cast<Integer>(value);
}

// "VERSION" with "." as the decimal separator; 0 when it is not a number.
double IniTextToVersion(StringView text) {
    const std::string ascii = StringToAscii(Trim(text));
    double value = 0;
    const char* end = ascii.data() + ascii.size();
    const auto [p, ec] = std::from_chars(ascii.data(), end, value);
    if (ec != std::errc() || p != end) return 0;
    return value;
}

// An ini line as ini readers take it: without surrounding blanks, a section
// name without blanks inside its brackets, a key and its value without the
// blanks around their "=".
String TidyIniLine(StringView Line) {
    const String line = Trim(Line);
    if (line.empty() || line.front() == u';') return line;
    if (line.size() >= 2 && line.front() == u'[' && line.back() == u']')
        return u"[" + Trim(StringView(line).substr(1, line.size() - 2)) + u"]";
    const std::size_t eq = line.find(u'=');
    if (eq == String::npos) return line;
    return TrimRight(StringView(line).substr(0, eq)) + u"=" + TrimLeft(StringView(line).substr(eq + 1));
}

// The parsed ini text: the sections in file order and, by exact name, the
// lines of the first section of each name. Keys compare without regard to
// letter case.
class TIniText {
public:
    explicit TIniText(const TStrings& Lines) {
        const int n = Lines.Count();
        for (int i = 0; i < n; ++i) FLines.Add(TidyIniLine(Lines.Get(i)));
        ParseIniSections(FLines, FSections);
        FNames.reserve(static_cast<std::size_t>(FSections.Count()));
        for (int i = 0; i < FSections.Count(); ++i) {
            auto* list = dynamic_cast<TStringList*>(FSections.GetObject(i));
            if (!list) continue;
            list->CaseSensitive = false;
            const String name = FSections[i];
            FNames.push_back(name);
            FMap.emplace(name, list);
        }
    }
    TIniText(const TIniText&) = delete;
    TIniText& operator=(const TIniText&) = delete;

    const std::vector<String>& Names() const { return FNames; }
    bool HasSection(const String& Section) const { return FMap.count(Section) != 0; }
    // The lines of the (first) section of that name, or null.
    const TStringList* Section(const String& Section) const {
        const auto it = FMap.find(Section);
        return it == FMap.end() ? nullptr : it->second;
    }

    bool Find(const String& Section, StringView Key, String& Value) const {
        const auto it = FMap.find(Section);
        if (it == FMap.end()) return false;
        const int i = it->second->IndexOfName(Key);
        if (i < 0) return false;
        Value = it->second->ValueFromIndex(i);
        return true;
    }
    String ReadString(const String& Section, StringView Key, const String& Default) const {
        String value;
        return Find(Section, Key, value) ? value : Default;
    }
    Integer ReadInteger(const String& Section, StringView Key, Integer Default) const {
        String value;
        return Find(Section, Key, value) ? IniTextToInt(value, Default) : Default;
    }

private:
    TStringList FLines;
    TStringList FSections;
    std::vector<String> FNames;
    std::unordered_map<String, TStringList*> FMap;
};

// The section readers with inheritance: a key missing in a section is read
// from the section named by its PARENTCLASS, and so on up the chain. The chain
// ends at a section met before (a cycle), giving the default.
class TSectionReader {
public:
    TSectionReader(const TIniText& Ini, const TacSkinModel& Model, const String& Section)
        : FIni(Ini), FModel(Model) {
        // The chain is the same for every key of the section: work it out once.
        FChain.push_back(Section);
        String current = Section;
        for (;;) {
            const String parent = Ini.ReadString(current, sParentClass, u"?");
            if (parent.empty() || parent == u"?" || parent == current) break;
            if (std::find(FChain.begin(), FChain.end(), parent) != FChain.end()) break;
            FChain.push_back(parent);
            current = parent;
        }
    }

    String Text(StringView Key, const String& Default) const {
        for (const String& section : FChain) {
            const String value = FIni.ReadString(section, Key, u"?");
            if (value != u"?") return value;
        }
        return Default;
    }
    Integer Int(StringView Key, Integer Default) const {
        for (std::size_t i = 0; i < FChain.size(); ++i) {
            const Integer value = FIni.ReadInteger(FChain[i], Key, -1);
            if (value != -1) return i == 0 ? value : FModel.ColorToRGB ? FModel.ColorToRGB(value) : value;
        }
        return Default;
    }

private:
    const TIniText& FIni;
    const TacSkinModel& FModel;
    std::vector<String> FChain;
};

// Reading policies for FillSection: the skin's own ini (every key, with
// inheritance and defaults) and the common sections (only the keys present).
class TSkinPolicy {
public:
    explicit TSkinPolicy(const TSectionReader& Reader) : FReader(Reader) {}
    void Text(StringView Key, String& Field, const String& Default) const { Field = FReader.Text(Key, Default); }
    void Int(StringView Key, Integer& Field, Integer Default) const { Field = FReader.Int(Key, Default); }
    void Bool(StringView Key, bool& Field) const { Field = acIniBool(FReader.Text(Key, u"0")); }

private:
    const TSectionReader& FReader;
};

class TCommonPolicy {
public:
    TCommonPolicy(const TIniText& Ini, const String& Section) : FIni(Ini), FSection(Section) {}
    void Text(StringView Key, String& Field, const String&) const {
        String value;
        if (FIni.Find(FSection, Key, value)) Field = value;
    }
    void Int(StringView Key, Integer& Field, Integer Default) const {
        String value;
        if (FIni.Find(FSection, Key, value)) Field = IniTextToInt(value, Default);
    }
    void Bool(StringView Key, bool& Field) const {
        String value;
        if (FIni.Find(FSection, Key, value)) Field = acIniBool(value);
    }

private:
    const TIniText& FIni;
    const String& FSection;
};

template <class Policy>
void ReadFontColor(const Policy& p, const char16_t* const Keys[5], TsFontColor& Font) {
    p.Int(Keys[0], Font.Color, 0);
    p.Int(Keys[1], Font.Left, -1);
    p.Int(Keys[2], Font.Top, -1);
    p.Int(Keys[3], Font.Right, -1);
    p.Int(Keys[4], Font.Bottom, -1);
}

template <class Policy>
void ReadByte(const Policy& p, StringView Key, Byte& Field) {
    Integer value = Field;
    p.Int(Key, value, 0);
    Field = ClampByte(value);
}

// The section keys of the normal state and the general ones.
template <class Policy>
void ReadNormalKeys(const Policy& p, TsGeneralData& d) {
    static const char16_t* const fontKeys[5] = {u"FONTCOLOR", u"TCLEFT", u"TCTOP", u"TCRIGHT", u"TCBOTTOM"};
    p.Bool(u"GIVEOWNFONT", d.GiveOwnFont);
    p.Bool(u"RESERVEDBOOLEAN", d.ReservedBoolean);
    p.Bool(u"SHOWFOCUS", d.ShowFocus);
    p.Int(u"GLOW", d.GlowCount, 0);
    p.Int(u"GLOWMARGIN", d.GlowMargin, 0);
    p.Int(u"COLOR", d.Color, 0xFFFFFF);
    p.Int(u"TRANSPARENCY", d.Transparency, 0);
    p.Int(u"GRADIENTPERCENT", d.GradientPercent, 0);
    p.Text(u"GRADIENTDATA", d.GradientData, u" ");
    p.Int(u"IMAGEPERCENT", d.ImagePercent, 0);
    ReadFontColor(p, fontKeys, d.FontColor);
    p.Bool(u"FADINGENABLED", d.FadingEnabled);
    p.Int(u"FADINGITERATIONS", d.FadingIterations, 5);
    p.Int(u"GCOL", d.GlowColor, 0xFFFFFF);
    ReadByte(p, u"GSIZE", d.GlowSize);
}

template <class Policy>
void ReadHotKeys(const Policy& p, TsGeneralData& d) {
    static const char16_t* const fontKeys[5] = {u"HOTFONTCOLOR", u"HOTTCLEFT", u"HOTTCTOP", u"HOTTCRIGHT",
                                                u"HOTTCBOTTOM"};
    p.Int(u"HOTCOLOR", d.HotColor, 0xFFFFFF);
    p.Int(u"HOTTRANSPARENCY", d.HotTransparency, 0);
    p.Int(u"HOTGRADIENTPERCENT", d.HotGradientPercent, 0);
    p.Text(u"HOTGRADIENTDATA", d.HotGradientData, String());
    p.Int(u"HOTIMAGEPERCENT", d.HotImagePercent, 0);
    ReadFontColor(p, fontKeys, d.HotFontColor);
    p.Int(u"HGCOL", d.HotGlowColor, 0xFFFFFF);
    ReadByte(p, u"HGSIZE", d.HotGlowSize);
}

}  // namespace

Integer StatePropsIndex(const TsGeneralData& Section, Integer State) {
    return State > 0 && Section.States > 1 ? 1 : 0;
}

const TsGenState& StateProps(const TsGeneralData& Section, Integer State) {
    return Section.Props[static_cast<std::size_t>(StatePropsIndex(Section, State))];
}

Integer SectionState(const TsGeneralData& Section, Integer State) {
    return std::max<Integer>(0, std::min<Integer>(State, Section.States - 1));
}

bool acIniBool(StringView Text) {
    const String upper = UpperCase(Text);
    return upper == u"1" || upper == u"TRUE";
}

TacSkinModel::TacSkinModel() : SkinData(std::make_unique<TsSkinData>()) { CommonSections.CaseSensitive = true; }

namespace {

// What follows from the values read: the colours in RGB, percentages within
// 0..100, the parsed gradients, and the two states.
void FinishSection(TsGeneralData& d, const TacSkinModel& m) {
    auto toRGB = [&](TColor c) { return m.ColorToRGB ? m.ColorToRGB(c) : c; };
    d.Color = toRGB(d.Color);
    d.GlowColor = toRGB(d.GlowColor);
    d.HotColor = toRGB(d.HotColor);
    d.HotGlowColor = toRGB(d.HotGlowColor);
    d.Transparency = ClampPercent(d.Transparency);
    d.HotTransparency = ClampPercent(d.HotTransparency);
    d.ImagePercent = ClampPercent(d.ImagePercent);
    d.HotImagePercent = ClampPercent(d.HotImagePercent);

    d.GradientArray.clear();
    if (d.GradientData.size() < 2)
        d.GradientPercent = 0;
    else
        PrepareGradientArray(d.GradientData, d.GradientArray);
    d.GradientPercent = ClampPercent(d.GradientPercent);
    d.HotGradientArray.clear();
    if (d.HotGradientData.size() < 2)
        d.HotGradientPercent = 0;
    else
        PrepareGradientArray(d.HotGradientData, d.HotGradientArray);
    d.HotGradientPercent = ClampPercent(d.HotGradientPercent);

    TsGenState& normal = d.Props[0];
    normal.Color = d.Color;
    normal.FontColor = d.FontColor;
    normal.GlowColor = d.GlowColor;
    normal.GlowSize = d.GlowSize;
    normal.GradientPercent = d.GradientPercent;
    normal.GradientData = d.GradientData;
    normal.GradientArray = d.GradientArray;
    normal.ImagePercent = d.ImagePercent;
    normal.Transparency = d.Transparency;
    if (d.States < 2) {
        d.Props[1] = normal;
        return;
    }
    TsGenState& hot = d.Props[1];
    hot.Color = d.HotColor;
    hot.FontColor = d.HotFontColor;
    hot.GlowColor = d.HotGlowColor;
    hot.GlowSize = d.HotGlowSize;
    hot.GradientPercent = d.HotGradientPercent;
    hot.GradientData = d.HotGradientData;
    hot.GradientArray = d.HotGradientArray;
    hot.ImagePercent = d.HotImagePercent;
    hot.Transparency = d.HotTransparency;
}

// One section of the skin's ini read with inheritance.
TsGeneralData ReadSection(const TIniText& Ini, const TacSkinModel& Model, const String& Name) {
    const TSectionReader reader(Ini, Model, Name);
    const TSkinPolicy p(reader);
    TsGeneralData d;
    d.ClassName = Name;
    d.ParentClass = Ini.ReadString(Name, sParentClass, String());
    ReadNormalKeys(p, d);
    p.Int(u"STATES", d.States, 4);
    if (d.States >= 2) ReadHotKeys(p, d);
    FinishSection(d, Model);
    return d;
}

// A section's values when neither the skin nor a base gives any.
TsGeneralData DefaultSection(const TacSkinModel& Model) {
    const TStringList empty;
    const TIniText ini(empty);
    const TSectionReader reader(ini, Model, String());
    const TSkinPolicy p(reader);
    TsGeneralData d;
    ReadNormalKeys(p, d);
    d.States = 3;
    ReadHotKeys(p, d);
    return d;
}

// The strictly read "GLOBALINFO" keys: a value that is not a number fails the load.
Integer StrictGlobalInt(const TIniText& Ini, StringView Key, const String& Default) {
    const String text = Ini.ReadString(sGlobalInfo, Key, Default);
    try {
        return StrToInt(text);
    } catch (const EConvertError& e) {
        throw EConvertError(u"Skin option GLOBALINFO " + String(Key) + u": " + e.Message());
    }
}

void ReadGlobalInfo(const TIniText& Ini, Integer SystemFrameWidth, TsSkinOptions& s) {
    auto lenient = [&](StringView key, Integer def) { return Ini.ReadInteger(sGlobalInfo, key, def); };
    auto small = [&](StringView key, Integer def) { return ToSmallInt(lenient(key, def)); };
    auto strict = [&](StringView key, const String& def) { return ToSmallInt(StrictGlobalInt(Ini, key, def)); };

    s.Version = IniTextToVersion(Ini.ReadString(sGlobalInfo, u"VERSION", u"0"));
    s.Author = Ini.ReadString(sGlobalInfo, u"AUTHOR", String());
    s.Description = Ini.ReadString(sGlobalInfo, u"DESCRIPTION", String());
    s.Shadow1Color = lenient(u"SHADOW1COLOR", 0);
    s.Shadow1Offset = strict(u"SHADOW1OFFSET", u"0");
    s.Shadow1Blur = strict(u"SHADOW1BLUR", u"-1");
    s.Shadow1Transparency = static_cast<SmallInt>(ClampPercent(strict(u"SHADOW1TRANSPARENCY", u"0")));
    s.ExBorderWidth = small(u"BORDERWIDTH", 4);
    s.ExTitleHeight = small(u"TITLEHEIGHT", 30);
    s.ExMaxHeight = small(u"MAXHEIGHT", 0);
    if (s.ExMaxHeight == 0) s.ExMaxHeight = s.ExTitleHeight;
    s.ExContentOffs = small(u"FORMOFFSET", SystemFrameWidth);
    s.ExShadowOffs = small(u"ALIGNOFFSET", 0);
    s.ExCenterOffs = small(u"CENTEROFFSET", 0);
    s.ExDrawMode = small(u"BORDERMODE", 0);
    s.BorderColor = lenient(u"BORDERCOLOR", 0);
    s.BISpacing = small(u"BISPACE", 0);
    s.BIVAlign = small(u"BIVALIGN", 0);
    s.BIRightMargin = small(u"BIRIGHT", 0);
    s.BILeftMargin = small(u"BILEFT", 0);
    s.BITopMargin = small(u"BITOP", 0);
    s.BIKeepHUE = small(u"BIKEEPHUE", 0);
    s.BICloseGlow = strict(u"BICONCLOSEGLOW", u"0");
    s.BICloseGlowMargin = strict(u"BICONCLOSEGLOWMARGIN", u"0");
    s.BIMaxGlow = strict(u"BICONMAXGLOW", u"0");
    s.BIMaxGlowMargin = strict(u"BICONMAXGLOWMARGIN", u"0");
    s.BIMinGlow = strict(u"BICONMINGLOW", u"0");
    s.BIMinGlowMargin = strict(u"BICONMINGLOWMARGIN", u"0");
    s.UseAeroBluring = lenient(u"AEROBLUR", 0) != 0;
    s.ExtShadowColor = lenient(u"EXTSHADOW", 0);
}

// Finds a section by exact name in a list being built; -1 when missing.
Integer FindSection(const TsGeneralDataArray& list, StringView name, bool ignoreCase) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (ignoreCase ? SameText(list[i].ClassName, name) : list[i].ClassName == name) return static_cast<Integer>(i);
    return -1;
}

}  // namespace

void TacSkinModel::LoadAllGeneralData(StringView IniText) {
    TStringList lines;
    lines.SetText(IniText);
    LoadAllGeneralData(lines);
}

void TacSkinModel::LoadAllGeneralData(const TStrings& IniLines) {
    const TIniText ini(IniLines);
    if (!SkinData) SkinData = std::make_unique<TsSkinData>();

    // Built aside and taken over only when everything has been read.
    TsSkinData data;
    static_cast<TsSkinOptions&>(data) = static_cast<const TsSkinOptions&>(*SkinData);
    ReadGlobalInfo(ini, SystemFrameWidth, data);
    if (CheckVersion) CheckVersion(data);

    TsGeneralDataArray sections;
    sections.reserve(ini.Names().size());
    for (const String& name : ini.Names()) sections.push_back(ReadSection(ini, *this, name));

    if (CommonSections.Count() > 0) {
        const TIniText common(CommonSections);
        for (const String& name : common.Names()) {
            Integer index = FindSection(sections, name, false);
            TsGeneralData d;
            if (index >= 0) {
                d = sections[static_cast<std::size_t>(index)];
            } else {
                const String parent = common.ReadString(name, sParentClass, String());
                const Integer base = parent.empty() ? -1 : FindSection(sections, parent, true);
                d = base >= 0 ? sections[static_cast<std::size_t>(base)] : DefaultSection(*this);
                d.ClassName = name;
                d.ParentClass = parent;
            }
            const TCommonPolicy p(common, name);
            common.Find(name, sParentClass, d.ParentClass);
            ReadNormalKeys(p, d);
            ReadHotKeys(p, d);
            d.States = TSectionReader(ini, *this, name).Int(u"STATES", 4);
            FinishSection(d, *this);
            if (index >= 0)
                sections[static_cast<std::size_t>(index)] = std::move(d);
            else
                sections.push_back(std::move(d));
        }
    }

    static_cast<TsSkinOptions&>(*SkinData) = static_cast<const TsSkinOptions&>(data);
    gd = std::move(sections);
    InitMaskIndexes();
    ApplyHueAndSaturation();
}

void TacSkinModel::InitMaskIndexes() {
    for (std::size_t i = 0; i < gd.size(); ++i) {
        TsGeneralData& d = gd[i];
        if (d.ClassName == sGlobalInfo) continue;
        const Integer index = static_cast<Integer>(i);
        d.BorderIndex = GetMaskIndex(index, d.ClassName, u"BORDERSMASK");
        d.ImgTL = GetMaskIndex(index, d.ClassName, u"IMGTOPLEFT");
        d.ImgTR = GetMaskIndex(index, d.ClassName, u"IMGTOPRIGHT");
        d.ImgBL = GetMaskIndex(index, d.ClassName, u"IMGBTMLEFT");
        d.ImgBR = GetMaskIndex(index, d.ClassName, u"IMGBTMRIGHT");
        d.TextureNormal = GetTextureIndex(index, d.ClassName, u"PATTERN");
    }
}

void TacSkinModel::InitConstantIndexes() {
    TConstantSkinData& c = ConstData;
    c = TConstantSkinData();
    auto section = [&](StringView name) { return GetSkinIndex(name); };
    // The mask of a section found by its own index (parents included).
    auto mask = [&](StringView name, StringView prop) { return SmallIndex(GetMaskIndex(GetSkinIndex(name), name, prop)); };
    auto maskIfSection = [&](StringView name, StringView prop) -> SmallInt {
        return GetSkinIndex(name) >= 0 ? mask(name, prop) : -1;
    };

    c.IndexGLobalInfo = SmallIndex(section(sGlobalInfo));
    const Integer gi = c.IndexGLobalInfo;
    auto globalMask = [&](StringView prop) { return gi >= 0 ? GetMaskIndex(gi, sGlobalInfo, prop) : -1; };
    c.ExBorder = SmallIndex(globalMask(u"EXBORDER"));

    c.IndexTabTop = SmallIndex(section(u"TABTOP"));
    c.IndexTabBottom = SmallIndex(section(u"TABBOTTOM"));
    c.IndexTabLeft = SmallIndex(section(u"TABLEFT"));
    c.IndexTabRight = SmallIndex(section(u"TABRIGHT"));
    c.MaskTabTop = mask(u"TABTOP", u"BORDERSMASK");
    c.MaskTabBottom = mask(u"TABBOTTOM", u"BORDERSMASK");
    c.MaskTabLeft = mask(u"TABLEFT", u"BORDERSMASK");
    c.MaskTabRight = mask(u"TABRIGHT", u"BORDERSMASK");

    static const char16_t* const scrollBtn[4] = {u"SCROLLBTNTOP", u"SCROLLBTNBOTTOM", u"SCROLLBTNLEFT",
                                                 u"SCROLLBTNRIGHT"};
    SmallInt* const scrollIndex[4] = {&c.IndexScrollTop, &c.IndexScrollBottom, &c.IndexScrollLeft,
                                      &c.IndexScrollRight};
    SmallInt* const scrollMask[4] = {&c.MaskScrollTop, &c.MaskScrollBottom, &c.MaskScrollLeft, &c.MaskScrollRight};
    SmallInt* const scrollBG[4] = {&c.IndexBGScrollTop, &c.IndexBGScrollBottom, &c.IndexBGScrollLeft,
                                   &c.IndexBGScrollRight};
    SmallInt* const scrollBGHot[4] = {&c.IndexBGHotScrollTop, &c.IndexBGHotScrollBottom, &c.IndexBGHotScrollLeft,
                                      &c.IndexBGHotScrollRight};
    SmallInt* const scrollArrow[4] = {&c.MaskArrowTop, &c.MaskArrowBottom, &c.MaskArrowLeft, &c.MaskArrowRight};
    for (int i = 0; i < 4; ++i) {
        *scrollIndex[i] = SmallIndex(section(scrollBtn[i]));
        *scrollMask[i] = mask(scrollBtn[i], u"BORDERSMASK");
        *scrollBG[i] = mask(scrollBtn[i], u"PATTERN");
        *scrollBGHot[i] = mask(scrollBtn[i], u"HOTPATTERN");
        *scrollArrow[i] = maskIfSection(scrollBtn[i], u"GLYPHMASK");
    }

    c.IndexSliderVert = SmallIndex(section(u"SCROLLSLIDERV"));
    c.IndexSliderHorz = SmallIndex(section(u"SCROLLSLIDERH"));
    c.MaskSliderVert = mask(u"SCROLLSLIDERV", u"BORDERSMASK");
    c.MaskSliderHorz = mask(u"SCROLLSLIDERH", u"BORDERSMASK");
    c.MaskSliderGlyphVert = maskIfSection(u"SCROLLSLIDERV", u"GLYPHMASK");
    c.MaskSliderGlyphHorz = maskIfSection(u"SCROLLSLIDERH", u"GLYPHMASK");
    c.ScrollSliderBGHorz = mask(u"SCROLLSLIDERH", u"PATTERN");
    c.ScrollSliderBGHotHorz = mask(u"SCROLLSLIDERH", u"HOTPATTERN");
    c.ScrollSliderBGVert = mask(u"SCROLLSLIDERV", u"PATTERN");
    c.ScrollSliderBGHotVert = mask(u"SCROLLSLIDERV", u"HOTPATTERN");

    static const char16_t* const bars[4] = {u"SCROLLBAR1H", u"SCROLLBAR1V", u"SCROLLBAR2H", u"SCROLLBAR2V"};
    SmallInt* const barIndex[4] = {&c.IndexScrollBar1H, &c.IndexScrollBar1V, &c.IndexScrollBar2H,
                                   &c.IndexScrollBar2V};
    SmallInt* const barMask[4] = {&c.MaskScrollBar1H, &c.MaskScrollBar1V, &c.MaskScrollBar2H, &c.MaskScrollBar2V};
    SmallInt* const barBG[4] = {&c.BGScrollBar1H, &c.BGScrollBar1V, &c.BGScrollBar2H, &c.BGScrollBar2V};
    SmallInt* const barBGHot[4] = {&c.BGHotScrollBar1H, &c.BGHotScrollBar1V, &c.BGHotScrollBar2H,
                                   &c.BGHotScrollBar2V};
    for (int i = 0; i < 4; ++i) {
        *barIndex[i] = SmallIndex(section(bars[i]));
        *barMask[i] = mask(bars[i], u"BORDERSMASK");
        *barBG[i] = mask(bars[i], u"PATTERN");
        *barBGHot[i] = mask(bars[i], u"HOTPATTERN");
    }

    c.CheckBoxChecked = SmallIndex(globalMask(u"BOXCHECKED"));
    c.CheckBoxUnChecked = SmallIndex(globalMask(u"BOXUNCHECKED"));
    c.CheckBoxGrayed = SmallIndex(globalMask(u"BOXGRAYED"));
    c.RadioButtonChecked = SmallIndex(globalMask(u"RADIOCHECKED"));
    c.RadioButtonUnChecked = SmallIndex(globalMask(u"RADIOUNCHECKED"));
    c.RadioButtonGrayed = SmallIndex(globalMask(u"RADIOGRAYED"));
    c.SmallCheckBoxChecked = SmallIndex(globalMask(u"SMALLCHECKED"));
    c.SmallCheckBoxUnChecked = SmallIndex(globalMask(u"SMALLUNCHECKED"));
    c.SmallCheckBoxGrayed = SmallIndex(globalMask(u"SMALLGRAYED"));

    c.ComboBtnIndex = section(u"COMBOBTN");
    c.ComboBtnBorder = GetMaskIndex(u"COMBOBTN", u"BORDERSMASK");
    c.ComboBtnBG = GetTextureIndex(c.ComboBtnIndex, u"COMBOBTN", u"PATTERN");
    c.ComboBtnBGHot = GetTextureIndex(c.ComboBtnIndex, u"COMBOBTN", u"HOTPATTERN");
    c.ComboGlyph = GetMaskIndex(u"COMBOBOX", u"GLYPHMASK");
    c.GripRightBottom = globalMask(u"GRIPIMAGE");
    c.GripHorizontal = globalMask(u"GRIPHORZ");
    c.GripVertical = globalMask(u"GRIPVERT");
    c.IndexWebBtn = section(u"WEBBUTTON");

    InitMaskIndexes();
}

Integer TacSkinModel::GetSkinIndex(StringView SkinSection) const {
    if (SkinSection.empty()) return -1;
    for (std::size_t i = 0; i < gd.size(); ++i)
        if (gd[i].ClassName == SkinSection) return static_cast<Integer>(i);
    return -1;
}

Integer TacSkinModel::FindOwnImage(TSearch What, StringView SkinSection, StringView Name) const {
    if (What == TSearch::Patterns) {
        for (std::size_t i = 0; i < pa.size(); ++i)
            if (pa[i].ClassName == SkinSection && pa[i].PropertyName == Name) return static_cast<Integer>(i);
        return -1;
    }
    for (std::size_t i = 0; i < ma.size(); ++i) {
        const TsMaskData& m = ma[i];
        if (What == TSearch::Textures && m.ImgType != itisaTexture) continue;
        if (m.ClassName == SkinSection && m.PropertyName == Name) return static_cast<Integer>(i);
    }
    return -1;
}

Integer TacSkinModel::FindImage(TSearch What, Integer SkinIndex, StringView SkinSection, StringView Name) const {
    if (SkinSection.empty() || !IsValidSkinIndex(SkinIndex)) return -1;
    // An index left from another skin (or another section) is not trusted.
    if (gd[static_cast<std::size_t>(SkinIndex)].ClassName != SkinSection) {
        SkinIndex = GetSkinIndex(SkinSection);
        if (SkinIndex < 0) return -1;
    }
    // Up the PARENTCLASS chain, stopping at a section met before.
    std::vector<Integer> visited;
    for (;;) {
        const TsGeneralData& d = gd[static_cast<std::size_t>(SkinIndex)];
        const Integer found = FindOwnImage(What, d.ClassName, Name);
        if (found >= 0) return found;
        if (d.ParentClass.empty() || d.ParentClass == d.ClassName) return -1;
        visited.push_back(SkinIndex);
        SkinIndex = GetSkinIndex(d.ParentClass);
        if (SkinIndex < 0 || std::find(visited.begin(), visited.end(), SkinIndex) != visited.end()) return -1;
    }
}

Integer TacSkinModel::GetMaskIndex(Integer SkinIndex, StringView SkinSection, StringView Mask) const {
    return FindImage(TSearch::Masks, SkinIndex, SkinSection, Mask);
}

Integer TacSkinModel::GetMaskIndex(StringView SkinSection, StringView Mask) const {
    if (SkinSection.empty()) return -1;
    return FindOwnImage(TSearch::Masks, SkinSection, Mask);
}

Integer TacSkinModel::GetTextureIndex(Integer SkinIndex, StringView SkinSection, StringView PropName) const {
    return FindImage(TSearch::Textures, SkinIndex, SkinSection, PropName);
}

Integer TacSkinModel::GetPatternIndex(Integer SkinIndex, StringView SkinSection, StringView Pattern) const {
    return FindImage(TSearch::Patterns, SkinIndex, SkinSection, Pattern);
}

bool TacSkinModel::IsValidSkinIndex(Integer SkinIndex) const {
    return SkinData && SkinIndex >= 0 && static_cast<std::size_t>(SkinIndex) < gd.size();
}

bool TacSkinModel::IsValidImgIndex(Integer ImageIndex) const {
    return ImageIndex >= 0 && static_cast<std::size_t>(ImageIndex) < ma.size();
}

Integer TacSkinModel::MaskWidthLeft(Integer MaskIndex) {
    if (!IsValidImgIndex(MaskIndex)) return 0;
    TsMaskData& m = ma[static_cast<std::size_t>(MaskIndex)];
    if (m.ImageCount == 0) m.ImageCount = 1;
    if (m.WL > 0) return m.WL;
    if (m.BorderWidth > 0) return m.BorderWidth;
    return MaskFrameWidth(m);
}

Integer TacSkinModel::MaskWidthTop(Integer MaskIndex) const {
    if (!IsValidImgIndex(MaskIndex)) return 0;
    const TsMaskData& m = ma[static_cast<std::size_t>(MaskIndex)];
    if (m.WT > 0) return m.WT;
    if (m.BorderWidth > 0) return m.BorderWidth;
    return MaskFrameHeight(m);
}

Integer TacSkinModel::MaskWidthRight(Integer MaskIndex) const {
    if (!IsValidImgIndex(MaskIndex)) return 0;
    const TsMaskData& m = ma[static_cast<std::size_t>(MaskIndex)];
    if (m.WR > 0) return m.WR;
    if (m.BorderWidth > 0) return m.BorderWidth;
    return MaskFrameWidth(m);
}

Integer TacSkinModel::MaskWidthBottom(Integer MaskIndex) const {
    if (!IsValidImgIndex(MaskIndex)) return 0;
    const TsMaskData& m = ma[static_cast<std::size_t>(MaskIndex)];
    if (m.WB > 0) return m.WB;
    if (m.BorderWidth > 0) return m.BorderWidth;
    return MaskFrameHeight(m);
}

// ---------------------------------------------------------------------------
// Skin images.

namespace {

const String sMasterBitmap = u"MASTERBITMAP";

// Calls Fn(section, key, value) for every key of every section, sections in
// file order (a repeated section name once).
template <class Fn>
void ForEachValue(const TIniText& Ini, Fn fn) {
    std::vector<String> seen;
    for (const String& name : Ini.Names()) {
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
        seen.push_back(name);
        const TStringList* lines = Ini.Section(name);
        if (!lines) continue;
        for (int i = 0; i < lines->Count(); ++i) {
            const String line = lines->Get(i);
            const std::size_t eq = line.find(u'=');
            if (eq == String::npos) continue;
            fn(name, line.substr(0, eq), line.substr(eq + 1));
        }
    }
}

// A skin image file through the source: null when there is no such file (or
// it is empty); a broken image raises EInvalidGraphic naming the file. A PNG
// image keeps its alpha by Rule.
std::shared_ptr<TacImage32> LoadSkinImageFile(const TacSkinSource& Source, const String& Name, TacAlphaRule Rule) {
    std::vector<Byte> bytes;
    if (!Source.ReadFile(Name, bytes) || bytes.empty()) return nullptr;
    try {
        return std::make_shared<TacImage32>(DecodeSkinImage(bytes.data(), bytes.size(), Rule));
    } catch (const EInvalidGraphic& e) {
        throw EInvalidGraphic(u"Skin image \"" + Name + u"\": " + e.Message());
    }
}

// A rectangle of the master bitmap, cut to the bitmap; false when nothing of
// it lies inside.
bool ClipToImage(TRect& R, const TacImage32& Image) {
    const TRect r(std::max<Integer>(R.Left, 0), std::max<Integer>(R.Top, 0), std::min(R.Right, Image.Width()),
                  std::min(R.Bottom, Image.Height()));
    if (r.Right <= r.Left || r.Bottom <= r.Top) return false;
    R = r;
    return true;
}

class TSkinImageLoader {
public:
    TSkinImageLoader(TacSkinModel& Model, const TacSkinSource& Source) : FModel(Model), FSource(Source) {}

    // One value of the skin's ini.
    void SkinValue(const String& Section, const String& Key, const String& Value) {
        if (Section == sGlobalInfo && SameText(Key, sMasterBitmap)) return;
        Add(Section, Key, ParseImageValue(Value, FModel.SkinData->Version));
    }

    // One value of the common sections: only bitmap files and "#" rectangles.
    void CommonValue(const String& Section, const String& Key, const String& Value) {
        if (Section == sGlobalInfo) return;
        const bool hash = Value.find(u'#') != String::npos;
        if ((!hash || Master().Empty()) && UpperCase(Value).find(u".BMP") != String::npos) {
            TacImageValue v;
            v.Form = TacImageForm::BitmapFile;
            v.FileName = Value;
            v.Mask.ImageCount = 3;
            v.Mask.MaskType = 1;
            Add(Section, Key, std::move(v));
        } else if (hash) {
            TacImageValue v = ParseImageValue(Value, FModel.SkinData->Version);
            if (v.Form == TacImageForm::MasterRect) Add(Section, Key, std::move(v));
        }
    }

private:
    const TacImage32& Master() const { return *FModel.MasterBitmap; }

    void Add(const String& Section, const String& Key, TacImageValue v) {
        TsMaskData& m = v.Mask;
        m.Manager = FModel.Manager;
        const bool upperNames = v.Form == TacImageForm::MasterRect || v.Form == TacImageForm::BitmapFile;
        m.ClassName = upperNames ? UpperCase(Section) : Section;
        m.PropertyName = upperNames ? UpperCase(Key) : Key;
        switch (v.Form) {
        case TacImageForm::None: return;
        case TacImageForm::OwnImage:
        case TacImageForm::BitmapFile: {
            // The alpha of a skin's own PNG images follows the skin's age.
            m.Bmp = LoadSkinImageFile(FSource, v.FileName, AlphaRuleFor(FModel.SkinData->Version));
            if (!m.Bmp || m.Bmp->Empty()) return;
            CompleteFileMask(v, m.Bmp->Width(), m.Bmp->Height());
            if (m.ImgType == itisaBorder) m.CornerType = MaskCornerType(m, *m.Bmp);
            break;
        }
        default:
            if (!ClipToImage(m.R, Master())) return;
            if (m.ImgType == itisaBorder) m.CornerType = MaskCornerType(m, Master());
        }
        FModel.ma.push_back(std::move(m));
    }

    TacSkinModel& FModel;
    const TacSkinSource& FSource;
};

bool IsJPEGName(const String& Value) {
    const String upper = UpperCase(Value);
    return upper.find(u".JPG") != String::npos || upper.find(u".JPEG") != String::npos;
}

}  // namespace

void TacSkinModel::LoadSkin(const TStrings& IniLines, const TacSkinSource& Source) {
    LoadSkinImages(IniLines, Source);
    LoadSkinPatterns(IniLines, Source);
    LoadAllGeneralData(IniLines);
    InitConstantIndexes();
}

void TacSkinModel::LoadSkinImages(const TStrings& IniLines, const TacSkinSource& Source) {
    ma.clear();
    MasterBitmap = std::make_shared<TacImage32>();
    if (!SkinData) SkinData = std::make_unique<TsSkinData>();
    const TIniText ini(IniLines);
    SkinData->Version = IniTextToVersion(ini.ReadString(sGlobalInfo, u"VERSION", u"0"));
    const String masterName = ini.ReadString(sGlobalInfo, sMasterBitmap, String());
    if (!masterName.empty())
        if (auto master = LoadSkinImageFile(Source, masterName, TacAlphaRule::Older)) MasterBitmap = std::move(master);

    TSkinImageLoader loader(*this, Source);
    ForEachValue(ini, [&](const String& s, const String& k, const String& v) { loader.SkinValue(s, k, v); });
    if (CommonSections.Count() > 0) {
        const TIniText common(CommonSections);
        ForEachValue(common, [&](const String& s, const String& k, const String& v) { loader.CommonValue(s, k, v); });
    }
}

void TacSkinModel::LoadSkinPatterns(const TStrings& IniLines, const TacSkinSource& Source) {
    pa.clear();
    auto add = [&](const String& Section, const String& Key, const String& Value) {
        if (!IsJPEGName(Value)) return;
        std::vector<Byte> bytes;
        if (!Source.ReadFile(Value, bytes) || bytes.empty()) return;
        Integer w = 0, h = 0;
        if (!ReadJPEGSize(bytes.data(), bytes.size(), w, h))
            throw EInvalidGraphic(u"Skin image \"" + Value + u"\" is not a valid JPEG image");
        if (Int64{w} * h >= acJPEGPatternPixels) {
            auto jpeg = std::make_shared<TacJPEGPattern>();
            jpeg->Data = std::move(bytes);
            jpeg->Width = w;
            jpeg->Height = h;
            pa.push_back(TsPatternData{std::move(jpeg), UpperCase(Section), UpperCase(Key)});
            return;
        }
        TsMaskData m;
        try {
            m.Bmp = std::make_shared<TacImage32>(DecodeJPEGImage(bytes.data(), bytes.size()));
        } catch (const EInvalidGraphic& e) {
            throw EInvalidGraphic(u"Skin image \"" + Value + u"\": " + e.Message());
        }
        m.ClassName = UpperCase(Section);
        m.PropertyName = UpperCase(Key);
        m.R = TRect(0, 0, m.Bmp->Width(), m.Bmp->Height());
        m.ImageCount = 1;
        m.ImgType = itisaTexture;
        m.Manager = Manager;
        ma.push_back(std::move(m));
    };
    ForEachValue(TIniText(IniLines), add);
    if (CommonSections.Count() > 0) ForEachValue(TIniText(CommonSections), add);
}

// ---------------------------------------------------------------------------
// Hue and saturation.

namespace {

// Applies Op to every colour of the sections and the global options; -1 and
// the no-colour value stay as they are.
template <class Op>
void ForEachSkinColor(TacSkinModel& Model, Op op) {
    auto c = [&](TColor& color) {
        if (color != -1 && color != kNoColor) color = op(color);
    };
    auto font = [&](TsFontColor& f) {
        c(f.Color);
        c(f.Left);
        c(f.Top);
        c(f.Right);
        c(f.Bottom);
    };
    auto grad = [&](TsGradArray& a) {
        for (TsGradPie& p : a) {
            c(p.Color1);
            c(p.Color2);
        }
    };
    for (TsGeneralData& d : Model.gd) {
        c(d.Color);
        c(d.HotColor);
        c(d.GlowColor);
        c(d.HotGlowColor);
        font(d.FontColor);
        font(d.HotFontColor);
        grad(d.GradientArray);
        grad(d.HotGradientArray);
        for (TsGenState& s : d.Props) {
            c(s.Color);
            c(s.GlowColor);
            font(s.FontColor);
            grad(s.GradientArray);
        }
    }
    c(Model.SkinData->Shadow1Color);
    c(Model.SkinData->BorderColor);
}

// The title-button images that keep their hue with BIKEEPHUE.
bool KeepsHue(const TsMaskData& m, Integer KeepHue) {
    if (KeepHue == 0 || m.ClassName != sGlobalInfo) return false;
    static const char16_t* const always[] = {u"BICONCLOSE", u"SICONCLOSE"};
    static const char16_t* const withOne[] = {u"BICONMAX",  u"BICONMIN",  u"BICONNORM", u"BICONHELP",
                                              u"SICONMAX",  u"SICONMIN",  u"SICONNORM"};
    auto named = [&](const char16_t* name) {
        return m.PropertyName == name || m.PropertyName == String(name) + u"GLOW0";
    };
    for (const char16_t* name : always)
        if (named(name)) return true;
    if (KeepHue == 1)
        for (const char16_t* name : withOne)
            if (named(name)) return true;
    return false;
}

void ShiftSkinHueAndSaturation(TacSkinModel& Model) {
    const Integer saturation = Model.Saturation % 101;
    const Integer hue = Model.HueOffset;
    // Own bitmaps may be shared between entries: each is changed once.
    std::vector<TacImage32*> own;
    for (const TsMaskData& m : Model.ma)
        if (m.Bmp && std::find(own.begin(), own.end(), m.Bmp.get()) == own.end()) own.push_back(m.Bmp.get());

    if (saturation != 0) {
        if (Model.MasterBitmap) ChangeBitmapSaturation(Model.MasterBitmap->Bits(), saturation);
        for (TacImage32* image : own) ChangeBitmapSaturation(image->Bits(), saturation);
        ForEachSkinColor(Model, [&](TColor color) { return SaturateColor(color, saturation); });
    }
    if (hue != 0) {
        const Integer keep = Model.SkinData->BIKeepHUE;
        std::vector<TacImage32*> kept;
        // Title buttons in the master bitmap: copied aside and put back.
        struct TSaved {
            TRect R;
            std::vector<std::uint32_t> Pixels;
        };
        std::vector<TSaved> saved;
        TacImage32* master = Model.MasterBitmap.get();
        for (const TsMaskData& m : Model.ma) {
            if (!KeepsHue(m, keep)) continue;
            if (m.Bmp) {
                kept.push_back(m.Bmp.get());
            } else if (master && !master->Empty()) {
                TRect r = m.R;
                if (!ClipToImage(r, *master)) continue;
                TSaved s{r, {}};
                for (Integer y = r.Top; y < r.Bottom; ++y)
                    s.Pixels.insert(s.Pixels.end(), master->Row(y) + r.Left, master->Row(y) + r.Right);
                saved.push_back(std::move(s));
            }
        }
        if (master) ShiftBitmapHue(master->Bits(), hue);
        for (const TSaved& s : saved) {
            auto p = s.Pixels.begin();
            for (Integer y = s.R.Top; y < s.R.Bottom; ++y, p += s.R.Right - s.R.Left)
                std::copy(p, p + (s.R.Right - s.R.Left), master->Row(y) + s.R.Left);
        }
        for (TacImage32* image : own)
            if (std::find(kept.begin(), kept.end(), image) == kept.end()) ShiftBitmapHue(image->Bits(), hue);
        ForEachSkinColor(Model, [&](TColor color) { return RotateColorHue(hue, color); });
    }
}

}  // namespace

void TacSkinModel::ApplyHueAndSaturation() { ShiftSkinHueAndSaturation(*this); }
