#include "sStyleSimply.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>
#include <unordered_set>

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

// Text without the blanks (characters up to " ") at either end.
StringView TrimView(StringView text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] <= u' ') ++begin;
    while (end > begin && text[end - 1] <= u' ') --end;
    return text.substr(begin, end - begin);
}

// Hash maps keyed by strings that are also searched with string views.
struct TStringHash {
    using is_transparent = void;
    std::size_t operator()(StringView s) const { return std::hash<StringView>()(s); }
};
template <class T>
using TStringMap = std::unordered_map<String, T, TStringHash, std::equal_to<>>;

// The parsed ini text: the sections in file order and, for each distinct
// section name (exact letter case), the lines of the first section of that
// name. Keys compare without regard to letter case; a key given twice in a
// section counts with its first value. Every look-up is one hash probe, so
// reading a skin costs time linear in its text.
class TIniText {
public:
    // Lines are taken as ini readers take them: without surrounding blanks,
    // a section name without blanks inside its brackets, a key and its value
    // without the blanks around their "=".
    explicit TIniText(const TStrings& Lines) {
        const int n = Lines.Count();
        TSection* current = nullptr;
        for (int i = 0; i < n; ++i) {
            const String text = Lines.Get(i);
            const StringView line = TrimView(text);
            if (line.empty() || line.front() == u';') continue;
            if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
                String name(TrimView(line.substr(1, line.size() - 2)));
                const auto [it, added] = FIndex.emplace(name, static_cast<Integer>(FSections.size()));
                // The lines of a later section of a name already met are not read.
                current = nullptr;
                if (added) {
                    FSections.push_back(TSection{name, {}, {}});
                    current = &FSections.back();
                }
                FNames.push_back(std::move(name));
                continue;
            }
            if (!current) continue;
            const std::size_t eq = line.find(u'=');
            if (eq == StringView::npos) continue;
            const StringView key = TrimView(line.substr(0, eq));   // the line has no blank in front
            current->Add(key, TrimView(line.substr(eq + 1)));
        }
    }
    TIniText(const TIniText&) = delete;
    TIniText& operator=(const TIniText&) = delete;

    // Every section name in file order, a repeated name as often as it occurs.
    const std::vector<String>& Names() const { return FNames; }
    // The distinct sections, numbered in the order their names first occur.
    Integer SectionCount() const { return static_cast<Integer>(FSections.size()); }
    const String& SectionName(Integer Node) const { return FSections[static_cast<std::size_t>(Node)].Name; }
    // The number of the section of that exact name, or -1.
    Integer NodeOf(const String& Section) const {
        const auto it = FIndex.find(Section);
        return it == FIndex.end() ? -1 : it->second;
    }
    // The keys and values of a section in file order.
    const std::vector<std::pair<String, String>>& Values(Integer Node) const {
        return FSections[static_cast<std::size_t>(Node)].Values;
    }

    // The value of Key in section Node (the key's first line); null when missing.
    const String* Find(Integer Node, StringView Key) const { return FindLower(Node, AnsiLowerCase(Key)); }
    // The same with the key already in lower case (AnsiLowerCase).
    const String* FindLower(Integer Node, StringView LowerKey) const {
        return Node < 0 ? nullptr : FSections[static_cast<std::size_t>(Node)].Find(LowerKey);
    }
    bool Find(const String& Section, StringView Key, String& Value) const {
        const String* v = Find(NodeOf(Section), Key);
        if (!v) return false;
        Value = *v;
        return true;
    }
    String ReadString(const String& Section, StringView Key, const String& Default) const {
        const String* v = Find(NodeOf(Section), Key);
        return v ? *v : Default;
    }
    Integer ReadInteger(const String& Section, StringView Key, Integer Default) const {
        const String* v = Find(NodeOf(Section), Key);
        return v ? IniTextToInt(*v, Default) : Default;
    }

private:
    // A section's keys are searched one by one while they are few, and
    // through a hash map once there are more.
    struct TSection {
        static constexpr std::size_t FewKeys = 16;
        String Name;
        std::vector<std::pair<String, String>> Values;   // key, value
        std::vector<String> Lower;                       // the keys lower-cased
        TStringMap<std::size_t> Keys;                    // lower-cased key -> its first line, past FewKeys

        void Add(StringView Key, StringView Value) {
            Lower.push_back(AnsiLowerCase(Key));
            Values.emplace_back(String(Key), String(Value));
            if (Values.size() < FewKeys) return;
            if (Keys.empty())
                for (std::size_t i = Lower.size(); i-- > 0;) Keys[Lower[i]] = i;   // the first line of a key wins
            else
                Keys.emplace(Lower.back(), Lower.size() - 1);
        }
        const String* Find(StringView LowerKey) const {
            if (!Keys.empty()) {
                const auto it = Keys.find(LowerKey);
                return it == Keys.end() ? nullptr : &Values[it->second].second;
            }
            for (std::size_t i = 0; i < Lower.size(); ++i)
                if (Lower[i] == LowerKey) return &Values[i].second;
            return nullptr;
        }
    };
    std::vector<String> FNames;
    std::vector<TSection> FSections;
    std::unordered_map<String, Integer> FIndex;
};

// Nodes linked each to at most one parent (-1: none), ordered once so that a
// question asked of every node's chain (itself, its parent, the parent's
// parent, ... ending before a node met again) is answered for all nodes in
// one pass: a node outside a cycle takes its parent's answer; the nodes of a
// cycle are answered together by going round it twice.
class TParentChains {
public:
    explicit TParentChains(std::vector<Integer> Parent) : FParent(std::move(Parent)) {
        const std::size_t n = FParent.size();
        std::vector<Byte> state(n, 0);   // 0 not met, 1 on the current path, 2 placed
        std::vector<std::size_t> pathPos(n, 0);
        std::vector<Integer> path;
        for (std::size_t s = 0; s < n; ++s) {
            if (state[s] != 0) continue;
            path.clear();
            Integer v = static_cast<Integer>(s);
            while (v >= 0 && state[static_cast<std::size_t>(v)] == 0) {
                state[static_cast<std::size_t>(v)] = 1;
                pathPos[static_cast<std::size_t>(v)] = path.size();
                path.push_back(v);
                v = FParent[static_cast<std::size_t>(v)];
            }
            std::size_t tail = path.size();
            if (v >= 0 && state[static_cast<std::size_t>(v)] == 1) {
                // The path ran into itself: from v on it is a cycle.
                tail = pathPos[static_cast<std::size_t>(v)];
                FCycles.emplace_back(path.begin() + static_cast<std::ptrdiff_t>(tail), path.end());
                FSteps.push_back(-static_cast<Integer>(FCycles.size()));
            }
            // The rest of the path after its parents, nearest to them first.
            for (std::size_t i = tail; i-- > 0;) FSteps.push_back(path[i]);
            for (Integer p : path) state[static_cast<std::size_t>(p)] = 2;
        }
    }

    // For every node, the first node of its chain for which Has[node] is
    // set, or -1 when there is none.
    std::vector<Integer> FirstWith(const std::vector<Byte>& Has) const {
        std::vector<Integer> found(FParent.size(), -1);
        for (const Integer step : FSteps) {
            if (step >= 0) {
                const std::size_t v = static_cast<std::size_t>(step);
                const Integer parent = FParent[v];
                found[v] = Has[v] ? step : parent >= 0 ? found[static_cast<std::size_t>(parent)] : -1;
                continue;
            }
            const std::vector<Integer>& cycle = FCycles[static_cast<std::size_t>(-step - 1)];
            const std::size_t length = cycle.size();
            Integer carry = -1;
            for (std::size_t i = 2 * length; i-- > 0;) {
                const Integer v = cycle[i % length];
                if (Has[static_cast<std::size_t>(v)]) carry = v;
                if (i < length) found[static_cast<std::size_t>(v)] = carry;
            }
        }
        return found;
    }

private:
    std::vector<Integer> FParent;
    std::vector<std::vector<Integer>> FCycles;
    // Nodes in answering order; a negative step -k stands for cycle k - 1.
    std::vector<Integer> FSteps;
};

// The section readers with inheritance: a key missing in a section is read
// from the section named by its PARENTCLASS, and so on up the chain. The chain
// ends at a section met before (a cycle), giving the default. Which section
// answers a key is worked out once per key for all sections together.
class TIniInheritance {
public:
    TIniInheritance(const TIniText& Ini, const TacSkinModel& Model)
        : FIni(Ini), FModel(Model), FChains(Parents(Ini)) {}

    // The reading of Key for section Node (-1: a section the ini lacks).
    String Text(Integer Node, StringView Key, const String& Default) const {
        const Integer from = Source(Node, Key, false);
        return from < 0 ? Default : *FIni.Find(from, Key);
    }
    Integer Int(Integer Node, StringView Key, Integer Default) const {
        const Integer from = Source(Node, Key, true);
        if (from < 0) return Default;
        const Integer value = IniTextToInt(*FIni.Find(from, Key), -1);
        // A value found in a parent is converted to RGB.
        return from == Node || !FModel.ColorToRGB ? value : FModel.ColorToRGB(value);
    }

private:
    static std::vector<Integer> Parents(const TIniText& Ini) {
        std::vector<Integer> parents(static_cast<std::size_t>(Ini.SectionCount()), -1);
        for (Integer i = 0; i < Ini.SectionCount(); ++i) {
            const String* parent = Ini.Find(i, sParentClass);
            if (!parent || parent->empty() || *parent == u"?" || *parent == Ini.SectionName(i)) continue;
            parents[static_cast<std::size_t>(i)] = Ini.NodeOf(*parent);
        }
        return parents;
    }

    // The section whose own value of Key section Node reads, or -1. A text
    // counts when it is not "?", an integer when it is not -1 (missing,
    // not a number or -1 itself).
    Integer Source(Integer Node, StringView Key, bool AsInt) const {
        if (Node < 0) return -1;
        TStringMap<std::vector<Integer>>& sources = AsInt ? FIntSources : FTextSources;
        auto it = sources.find(Key);
        if (it == sources.end()) {
            const String lower = AnsiLowerCase(Key);
            std::vector<Byte> has(static_cast<std::size_t>(FIni.SectionCount()), 0);
            for (Integer i = 0; i < FIni.SectionCount(); ++i) {
                const String* v = FIni.FindLower(i, lower);
                has[static_cast<std::size_t>(i)] = v && (AsInt ? IniTextToInt(*v, -1) != -1 : *v != u"?");
            }
            it = sources.emplace(String(Key), FChains.FirstWith(has)).first;
        }
        return it->second[static_cast<std::size_t>(Node)];
    }

    const TIniText& FIni;
    const TacSkinModel& FModel;
    TParentChains FChains;
    mutable TStringMap<std::vector<Integer>> FTextSources, FIntSources;
};

// The readers of one section.
class TSectionReader {
public:
    TSectionReader(const TIniInheritance& Values, Integer Node) : FValues(Values), FNode(Node) {}
    String Text(StringView Key, const String& Default) const { return FValues.Text(FNode, Key, Default); }
    Integer Int(StringView Key, Integer Default) const { return FValues.Int(FNode, Key, Default); }

private:
    const TIniInheritance& FValues;
    Integer FNode;
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

// A gradient text of section d; a bad one fails the load naming the section and key.
void ParseGradient(const TsGeneralData& d, const char16_t* Key, const String& Text, TsGradArray& Arr) {
    try {
        PrepareGradientArray(Text, Arr);
    } catch (const EConvertError& e) {
        throw EConvertError(u"Skin section \"" + d.ClassName + u"\" key " + Key + u": " + e.Message());
    }
}

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
        ParseGradient(d, u"GRADIENTDATA", d.GradientData, d.GradientArray);
    d.GradientPercent = ClampPercent(d.GradientPercent);
    d.HotGradientArray.clear();
    if (d.HotGradientData.size() < 2)
        d.HotGradientPercent = 0;
    else
        ParseGradient(d, u"HOTGRADIENTDATA", d.HotGradientData, d.HotGradientArray);
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
TsGeneralData ReadSection(const TIniText& Ini, const TIniInheritance& Values, const TacSkinModel& Model,
                          const String& Name) {
    const Integer node = Ini.NodeOf(Name);
    const TSectionReader reader(Values, node);
    const TSkinPolicy p(reader);
    TsGeneralData d;
    d.ClassName = Name;
    const String* parent = Ini.Find(node, sParentClass);
    if (parent) d.ParentClass = *parent;
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
    const TIniInheritance values(ini, Model);
    const TSectionReader reader(values, -1);
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

void LoadGeneralDataFrom(TacSkinModel& Model, const TIniText& ini);

[[noreturn]] void NoSections() {
    throw EacSkinError(u"The skin's option text (Options.dat) holds no section: it is empty or not a skin ini text");
}

}  // namespace

void TacSkinModel::LoadAllGeneralData(StringView IniText) {
    TStringList lines;
    lines.SetText(IniText);
    LoadAllGeneralData(lines);
}

void TacSkinModel::LoadAllGeneralData(const TStrings& IniLines) { LoadGeneralDataFrom(*this, TIniText(IniLines)); }

namespace {

void LoadGeneralDataFrom(TacSkinModel& Model, const TIniText& ini) {
    if (ini.Names().empty()) NoSections();
    auto& SkinData = Model.SkinData;
    auto& CommonSections = Model.CommonSections;
    auto& gd = Model.gd;
    if (!SkinData) SkinData = std::make_unique<TsSkinData>();

    // Built aside and taken over only when everything has been read.
    TsSkinData data;
    static_cast<TsSkinOptions&>(data) = static_cast<const TsSkinOptions&>(*SkinData);
    ReadGlobalInfo(ini, Model.SystemFrameWidth, data);
    if (Model.CheckVersion) Model.CheckVersion(data);

    TsGeneralDataArray sections;
    sections.reserve(ini.Names().size());
    const TIniInheritance values(ini, Model);
    for (const String& name : ini.Names()) sections.push_back(ReadSection(ini, values, Model, name));

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
                d = base >= 0 ? sections[static_cast<std::size_t>(base)] : DefaultSection(Model);
                d.ClassName = name;
                d.ParentClass = parent;
            }
            const TCommonPolicy p(common, name);
            common.Find(name, sParentClass, d.ParentClass);
            ReadNormalKeys(p, d);
            ReadHotKeys(p, d);
            d.States = values.Int(ini.NodeOf(name), u"STATES", 4);
            FinishSection(d, Model);
            if (index >= 0)
                sections[static_cast<std::size_t>(index)] = std::move(d);
            else
                sections.push_back(std::move(d));
        }
    }

    static_cast<TsSkinOptions&>(*SkinData) = static_cast<const TsSkinOptions&>(data);
    gd = std::move(sections);
    Model.InitMaskIndexes();
    Model.ApplyHueAndSaturation();
}

// The look-ups of a whole skin load (the masks of every section, the fixed
// indexes) answered from indexes made once: the sections by name, their
// PARENTCLASS chains, and for each image name asked the first image of every
// section. They give what the model's look-ups give, in time linear in the
// skin rather than in the square of its sections.
class TSkinLookup {
public:
    enum class TKind { Masks, Textures, Patterns };

    explicit TSkinLookup(const TacSkinModel& Model) : FModel(Model), FChains(Parents(Model, FSections)) {}

    // TacSkinModel::GetSkinIndex.
    Integer Section(StringView Name) const {
        if (Name.empty()) return -1;
        const auto it = FSections.find(Name);
        return it == FSections.end() ? -1 : it->second;
    }

    struct TImages {
        TStringMap<Integer> First;     // section name -> its first image of the name
        std::vector<Integer> Found;    // per section: the section of its chain that has one
    };
    // The images of one kind and name, indexed for the look-ups below (made
    // on first use).
    const TImages& ImagesNamed(TKind Kind, StringView Name) const {
        String key(Name);
        key += static_cast<Char>(u'0' + static_cast<int>(Kind));
        auto it = FImages.find(key);
        if (it != FImages.end()) return it->second;
        TImages images;
        if (Kind == TKind::Patterns) {
            for (std::size_t i = 0; i < FModel.pa.size(); ++i) {
                const TsPatternData& p = FModel.pa[i];
                if (p.PropertyName == Name) images.First.emplace(p.ClassName, static_cast<Integer>(i));
            }
        } else {
            for (std::size_t i = 0; i < FModel.ma.size(); ++i) {
                const TsMaskData& m = FModel.ma[i];
                if (Kind == TKind::Textures && m.ImgType != itisaTexture) continue;
                if (m.PropertyName == Name) images.First.emplace(m.ClassName, static_cast<Integer>(i));
            }
        }
        std::vector<Byte> has(FModel.gd.size(), 0);
        for (std::size_t i = 0; i < FModel.gd.size(); ++i) has[i] = images.First.count(FModel.gd[i].ClassName) != 0;
        images.Found = FChains.FirstWith(has);
        return FImages.emplace(std::move(key), std::move(images)).first->second;
    }

    // TacSkinModel::GetMaskIndex (SkinIndex, SkinSection, Mask) and its kin.
    Integer Image(TKind Kind, Integer SkinIndex, StringView SkinSection, StringView Name) const {
        return Image(ImagesNamed(Kind, Name), SkinIndex, SkinSection);
    }
    Integer Image(const TImages& Images, Integer SkinIndex, StringView SkinSection) const {
        if (SkinSection.empty() || !FModel.IsValidSkinIndex(SkinIndex)) return -1;
        if (FModel.gd[static_cast<std::size_t>(SkinIndex)].ClassName != SkinSection) {
            SkinIndex = Section(SkinSection);
            if (SkinIndex < 0) return -1;
        }
        const Integer from = Images.Found[static_cast<std::size_t>(SkinIndex)];
        return from < 0 ? -1 : Images.First.find(FModel.gd[static_cast<std::size_t>(from)].ClassName)->second;
    }
    // TacSkinModel::GetMaskIndex (SkinSection, Mask): the section's own image only.
    Integer OwnImage(TKind Kind, StringView SkinSection, StringView Name) const {
        if (SkinSection.empty()) return -1;
        const TImages& images = ImagesNamed(Kind, Name);
        const auto it = images.First.find(SkinSection);
        return it == images.First.end() ? -1 : it->second;
    }

private:
    static std::vector<Integer> Parents(const TacSkinModel& Model, TStringMap<Integer>& Sections) {
        const std::size_t n = Model.gd.size();
        for (std::size_t i = 0; i < n; ++i) Sections.emplace(Model.gd[i].ClassName, static_cast<Integer>(i));
        std::vector<Integer> parents(n, -1);
        for (std::size_t i = 0; i < n; ++i) {
            const TsGeneralData& d = Model.gd[i];
            if (d.ParentClass.empty() || d.ParentClass == d.ClassName) continue;
            const auto it = Sections.find(d.ParentClass);
            if (it != Sections.end()) parents[i] = it->second;
        }
        return parents;
    }

    const TacSkinModel& FModel;
    TStringMap<Integer> FSections;   // name -> first section of the name
    TParentChains FChains;
    mutable std::unordered_map<String, TImages> FImages;
};

void FillMaskIndexes(TacSkinModel& Model, const TSkinLookup& look) {
    using K = TSkinLookup::TKind;
    const auto& border = look.ImagesNamed(K::Masks, u"BORDERSMASK");
    const auto& topLeft = look.ImagesNamed(K::Masks, u"IMGTOPLEFT");
    const auto& topRight = look.ImagesNamed(K::Masks, u"IMGTOPRIGHT");
    const auto& bottomLeft = look.ImagesNamed(K::Masks, u"IMGBTMLEFT");
    const auto& bottomRight = look.ImagesNamed(K::Masks, u"IMGBTMRIGHT");
    const auto& texture = look.ImagesNamed(K::Textures, u"PATTERN");
    for (std::size_t i = 0; i < Model.gd.size(); ++i) {
        TsGeneralData& d = Model.gd[i];
        if (d.ClassName == sGlobalInfo) continue;
        const Integer index = static_cast<Integer>(i);
        d.BorderIndex = look.Image(border, index, d.ClassName);
        d.ImgTL = look.Image(topLeft, index, d.ClassName);
        d.ImgTR = look.Image(topRight, index, d.ClassName);
        d.ImgBL = look.Image(bottomLeft, index, d.ClassName);
        d.ImgBR = look.Image(bottomRight, index, d.ClassName);
        d.TextureNormal = look.Image(texture, index, d.ClassName);
    }
}

}  // namespace

void TacSkinModel::InitMaskIndexes() { FillMaskIndexes(*this, TSkinLookup(*this)); }

void TacSkinModel::InitConstantIndexes() {
    using K = TSkinLookup::TKind;
    const TSkinLookup look(*this);
    TConstantSkinData& c = ConstData;
    c = TConstantSkinData();
    auto section = [&](StringView name) { return look.Section(name); };
    // The mask of a section found by its own index (parents included).
    auto mask = [&](StringView name, StringView prop) {
        return SmallIndex(look.Image(K::Masks, look.Section(name), name, prop));
    };
    auto maskIfSection = [&](StringView name, StringView prop) -> SmallInt {
        return look.Section(name) >= 0 ? mask(name, prop) : -1;
    };

    c.IndexGLobalInfo = SmallIndex(section(sGlobalInfo));
    const Integer gi = c.IndexGLobalInfo;
    auto globalMask = [&](StringView prop) { return gi >= 0 ? look.Image(K::Masks, gi, sGlobalInfo, prop) : -1; };
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
    c.ComboBtnBorder = look.OwnImage(K::Masks, u"COMBOBTN", u"BORDERSMASK");
    c.ComboBtnBG = look.Image(K::Textures, c.ComboBtnIndex, u"COMBOBTN", u"PATTERN");
    c.ComboBtnBGHot = look.Image(K::Textures, c.ComboBtnIndex, u"COMBOBTN", u"HOTPATTERN");
    c.ComboGlyph = look.OwnImage(K::Masks, u"COMBOBOX", u"GLYPHMASK");
    c.GripRightBottom = globalMask(u"GRIPIMAGE");
    c.GripHorizontal = globalMask(u"GRIPHORZ");
    c.GripVertical = globalMask(u"GRIPVERT");
    c.IndexWebBtn = section(u"WEBBUTTON");

    FillMaskIndexes(*this, look);
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
    // Up the PARENTCLASS chain, stopping at a section met before: a chain
    // longer than the number of sections has come round a cycle, whose
    // sections have all been searched.
    for (std::size_t steps = 0; steps <= gd.size(); ++steps) {
        const TsGeneralData& d = gd[static_cast<std::size_t>(SkinIndex)];
        const Integer found = FindOwnImage(What, d.ClassName, Name);
        if (found >= 0) return found;
        if (d.ParentClass.empty() || d.ParentClass == d.ClassName) return -1;
        SkinIndex = GetSkinIndex(d.ParentClass);
        if (SkinIndex < 0) return -1;
    }
    return -1;
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
    for (Integer node = 0; node < Ini.SectionCount(); ++node)
        for (const auto& [key, value] : Ini.Values(node)) fn(Ini.SectionName(node), key, value);
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

// Runs Fn; the load errors it raises (EConvertError, EInvalidGraphic,
// EOutOfMemory, EInOutError) are raised again, of the same class, with the
// section and key in front of their message.
template <class Fn>
void NamingTheKey(const String& Section, const String& Key, Fn fn) {
    auto where = [&] { return u"Skin section \"" + Section + u"\" key " + Key + u": "; };
    try {
        fn();
    } catch (const EConvertError& e) {
        throw EConvertError(where() + e.Message());
    } catch (const EInvalidGraphic& e) {
        throw EInvalidGraphic(where() + e.Message());
    } catch (const EOutOfMemory& e) {
        throw EOutOfMemory(where() + e.Message());
    } catch (const EInOutError& e) {
        throw EInOutError(where() + e.Message());
    }
}

class TSkinImageLoader {
public:
    TSkinImageLoader(TacSkinModel& Model, const TacSkinSource& Source) : FModel(Model), FSource(Source) {}

    // One value of the skin's ini.
    void SkinValue(const String& Section, const String& Key, const String& Value) {
        if (Section == sGlobalInfo && SameText(Key, sMasterBitmap)) return;
        NamingTheKey(Section, Key, [&] { Add(Section, Key, ParseImageValue(Value, FModel.SkinData->Version)); });
    }

    // One value of the common sections: only bitmap files and "#" rectangles.
    void CommonValue(const String& Section, const String& Key, const String& Value) {
        if (Section == sGlobalInfo) return;
        NamingTheKey(Section, Key, [&] { CommonImage(Section, Key, Value); });
    }

private:
    void CommonImage(const String& Section, const String& Key, const String& Value) {
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

void LoadImagesFrom(TacSkinModel& Model, const TIniText& ini, const TacSkinSource& Source) {
    auto& ma = Model.ma;
    auto& MasterBitmap = Model.MasterBitmap;
    auto& SkinData = Model.SkinData;
    auto& CommonSections = Model.CommonSections;
    ma.clear();
    MasterBitmap = std::make_shared<TacImage32>();
    if (!SkinData) SkinData = std::make_unique<TsSkinData>();
    SkinData->Version = IniTextToVersion(ini.ReadString(sGlobalInfo, u"VERSION", u"0"));
    const String masterName = ini.ReadString(sGlobalInfo, sMasterBitmap, String());
    if (!masterName.empty())
        NamingTheKey(sGlobalInfo, sMasterBitmap, [&] {
            if (auto master = LoadSkinImageFile(Source, masterName, TacAlphaRule::Older))
                MasterBitmap = std::move(master);
        });

    TSkinImageLoader loader(Model, Source);
    ForEachValue(ini, [&](const String& s, const String& k, const String& v) { loader.SkinValue(s, k, v); });
    if (CommonSections.Count() > 0) {
        const TIniText common(CommonSections);
        ForEachValue(common, [&](const String& s, const String& k, const String& v) { loader.CommonValue(s, k, v); });
    }
}

void LoadPatternsFrom(TacSkinModel& Model, const TIniText& ini, const TacSkinSource& Source) {
    auto& ma = Model.ma;
    auto& pa = Model.pa;
    pa.clear();
    auto addPattern = [&](const String& Section, const String& Key, const String& Value) {
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
        m.Manager = Model.Manager;
        ma.push_back(std::move(m));
    };
    auto add = [&](const String& Section, const String& Key, const String& Value) {
        NamingTheKey(Section, Key, [&] { addPattern(Section, Key, Value); });
    };
    ForEachValue(ini, add);
    if (Model.CommonSections.Count() > 0) ForEachValue(TIniText(Model.CommonSections), add);
}

}  // namespace

void TacSkinModel::LoadSkin(const TStrings& IniLines, const TacSkinSource& Source) {
    // The text is parsed once for the three steps, and a text without
    // sections is refused before any image is read.
    const TIniText ini(IniLines);
    if (ini.Names().empty()) NoSections();
    LoadImagesFrom(*this, ini, Source);
    LoadPatternsFrom(*this, ini, Source);
    LoadGeneralDataFrom(*this, ini);
    InitConstantIndexes();
}

void TacSkinModel::LoadSkinImages(const TStrings& IniLines, const TacSkinSource& Source) {
    LoadImagesFrom(*this, TIniText(IniLines), Source);
}

void TacSkinModel::LoadSkinPatterns(const TStrings& IniLines, const TacSkinSource& Source) {
    LoadPatternsFrom(*this, TIniText(IniLines), Source);
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
    std::unordered_set<const TacImage32*> ownSeen;
    for (const TsMaskData& m : Model.ma)
        if (m.Bmp && ownSeen.insert(m.Bmp.get()).second) own.push_back(m.Bmp.get());

    if (saturation != 0) {
        if (Model.MasterBitmap) ChangeBitmapSaturation(Model.MasterBitmap->Bits(), saturation);
        for (TacImage32* image : own) ChangeBitmapSaturation(image->Bits(), saturation);
        ForEachSkinColor(Model, [&](TColor color) { return SaturateColor(color, saturation); });
    }
    if (hue != 0) {
        const Integer keep = Model.SkinData->BIKeepHUE;
        std::unordered_set<const TacImage32*> kept;
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
                kept.insert(m.Bmp.get());
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
            if (kept.count(image) == 0) ShiftBitmapHue(image->Bits(), hue);
        ForEachSkinColor(Model, [&](TColor color) { return RotateColorHue(hue, color); });
    }
}

}  // namespace

void TacSkinModel::ApplyHueAndSaturation() { ShiftSkinHueAndSaturation(*this); }
