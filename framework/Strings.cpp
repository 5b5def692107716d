#include "Strings.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

// ---------------------------------------------------------------------------
// Single-byte code pages. The lower half is ASCII in all of them; only the
// upper half is listed.

namespace {

// Windows-1251 (Cyrillic), bytes 0x80..0xFF. 0x98 is undefined and maps to
// U+0098 as Windows does.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,   // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,   // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,   // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,   // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,   // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,   // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,   // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,   // B8
    // C0..FF: А..я in alphabetical order.
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// Windows-1252 (Western), bytes 0x80..0x9F; 0xA0..0xFF are Latin-1. The
// undefined 0x81, 0x8D, 0x8F, 0x90 and 0x9D map to the C1 controls of the same
// value, as Windows does.
constexpr char16_t kCp1252C1[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,   // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,   // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,   // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,   // 98
};

// Both directions of a single-byte code page.
struct SingleByteTable {
    std::array<Char, 256> ToChar{};
    std::vector<std::pair<Char, Byte>> FromChar;   // upper half, sorted by character

    // high: the characters of bytes 0x80..0x80 + highCount - 1; the bytes
    // after those are Latin-1.
    SingleByteTable(const char16_t* high, std::size_t highCount) {
        for (unsigned b = 0; b < 256; ++b) ToChar[b] = static_cast<Char>(b);
        for (std::size_t i = 0; i < highCount; ++i) ToChar[0x80 + i] = high[i];
        for (unsigned b = 0x80; b < 256; ++b) FromChar.emplace_back(ToChar[b], static_cast<Byte>(b));
        std::sort(FromChar.begin(), FromChar.end());
    }

    String Decode(std::string_view bytes) const {
        String out(bytes.size(), u'\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = ToChar[static_cast<unsigned char>(bytes[i])];
        return out;
    }

    std::string Encode(StringView text) const {
        std::string out(text.size(), '\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            Char c = text[i];
            if (c < 0x80) {
                out[i] = static_cast<char>(c);
                continue;
            }
            auto it = std::lower_bound(FromChar.begin(), FromChar.end(), std::make_pair(c, Byte(0)));
            out[i] = it != FromChar.end() && it->first == c ? static_cast<char>(it->second) : '?';
        }
        return out;
    }
};

const SingleByteTable& Table1251() {
    static const SingleByteTable table(kCp1251High, 128);
    return table;
}

const SingleByteTable& Table1252() {
    static const SingleByteTable table(kCp1252C1, 32);
    return table;
}

}  // namespace

String CodePageToString(std::string_view bytes, unsigned codePage) {
    if (codePage == 0) codePage = AnsiCodePage();
    switch (codePage) {
        case 65001: return Utf8ToString(bytes);
        case 28591: return AsciiToString(bytes);   // Latin-1 is a plain widening
        case 1251: return Table1251().Decode(bytes);
        case 1252: return Table1252().Decode(bytes);
        default: return SystemCodePageToString(bytes, codePage);
    }
}

std::string StringToCodePage(StringView text, unsigned codePage) {
    if (codePage == 0) codePage = AnsiCodePage();
    switch (codePage) {
        case 65001: return StringToUtf8(text);
        case 28591: return StringToAscii(text);
        case 1251: return Table1251().Encode(text);
        case 1252: return Table1252().Encode(text);
        default: return StringToSystemCodePage(text, codePage);
    }
}

std::string EncodeTextFile(StringView text, TTextFileEncoding encoding) {
    if (encoding == TTextFileEncoding::AnsiOrUtf8) {
        std::string ansi = StringToAnsi(text);
        if (AnsiToString(ansi) == text) return ansi;
        encoding = TTextFileEncoding::Utf8;
    }
    if (encoding == TTextFileEncoding::Utf8) return "\xEF\xBB\xBF" + StringToUtf8(text);
    return StringToAnsi(text);
}

// ---------------------------------------------------------------------------
// TStrings

namespace {

constexpr Char kCR = u'\r';
constexpr Char kLF = u'\n';

int Sign(int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; }

int CompareOrdinal(StringView a, StringView b) { return Sign(a.compare(b)); }

int CompareIgnoringCase(StringView a, StringView b) {
    return Sign(StringView(AnsiLowerCase(a)).compare(AnsiLowerCase(b)));
}

// Runs f between BeginUpdate and EndUpdate, also when f raises.
template <class F>
void Updating(TStrings& list, F&& f) {
    list.BeginUpdate();
    try {
        f();
    } catch (...) {
        list.EndUpdate();
        throw;
    }
    list.EndUpdate();
}

String Utf16ToString(std::string_view bytes, bool bigEndian) {
    String out(bytes.size() / 2, u'\0');   // an odd last byte is dropped
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned b0 = static_cast<unsigned char>(bytes[2 * i]);
        unsigned b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        out[i] = static_cast<Char>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0);
    }
    return out;
}

// The text of a file or stream: a byte-order mark names the encoding,
// otherwise it is the ANSI code page.
String DecodeText(std::string_view bytes) {
    auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
    if (starts("\xEF\xBB\xBF")) return Utf8ToString(bytes.substr(3));
    if (starts("\xFF\xFE")) return Utf16ToString(bytes.substr(2), false);
    if (starts("\xFE\xFF")) return Utf16ToString(bytes.substr(2), true);
    return AnsiToString(bytes);
}

}  // namespace

void TStrings::RaiseIndexError(int index) const {
    throw EStringListError(u"List index out of bounds (" + IntToStr(index) + u")");
}

int TStrings::CompareStrings(StringView a, StringView b) const { return CompareIgnoringCase(a, b); }

void TStrings::Put(int index, const String& s) {
    Updating(*this, [&] {
        TObject* object = GetObject(index);
        Delete(index);
        InsertObject(index, s, object);
    });
}

TObject* TStrings::GetObject(int) const { return nullptr; }

void TStrings::PutObject(int, TObject*) {}

void TStrings::InsertObject(int index, const String& s, TObject* object) {
    Updating(*this, [&] {
        Insert(index, s);
        PutObject(index, object);
    });
}

int TStrings::Add(const String& s) {
    int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const String& s, TObject* object) {
    int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStrings::AddStrings(const TStrings& other) {
    Updating(*this, [&] {
        // Count once: adding a list to itself copies its lines once.
        const int n = other.Count();
        for (int i = 0; i < n; ++i) AddObject(other.Get(i), other.GetObject(i));
    });
}

int TStrings::IndexOf(StringView s) const {
    const int n = Count();
    for (int i = 0; i < n; ++i)
        if (CompareStrings(Get(i), s) == 0) return i;
    return -1;
}

int TStrings::IndexOfName(StringView name) const {
    const int n = Count();
    for (int i = 0; i < n; ++i) {
        const String s = Get(i);
        const std::size_t p = s.find(NameValueSeparator);
        if (p != String::npos && CompareStrings(StringView(s).substr(0, p), name) == 0) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject* object) const {
    const int n = Count();
    for (int i = 0; i < n; ++i)
        if (GetObject(i) == object) return i;
    return -1;
}

void TStrings::Exchange(int a, int b) {
    Updating(*this, [&] {
        const String sa = Get(a);
        TObject* oa = GetObject(a);
        Put(a, Get(b));
        PutObject(a, GetObject(b));
        Put(b, sa);
        PutObject(b, oa);
    });
}

void TStrings::Move(int from, int to) {
    if (from == to) return;
    Updating(*this, [&] {
        const String s = Get(from);
        TObject* object = GetObject(from);
        PutObject(from, nullptr);   // so that a list owning its objects keeps this one
        Delete(from);
        InsertObject(to, s, object);
    });
}

String TStrings::Names(int index) const {
    const String s = Get(index);
    const std::size_t p = s.find(NameValueSeparator);
    return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::ValueFromIndex(int index) const {
    if (index < 0) return String();
    const String s = Get(index);
    const std::size_t p = s.find(NameValueSeparator);
    return p == String::npos ? String() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int index, const String& value) {
    if (!value.empty()) {
        if (index < 0)
            Add(String(1, NameValueSeparator) + value);
        else
            Put(index, Names(index) + NameValueSeparator + value);
    } else if (index >= 0) {
        Delete(index);
    }
}

String TStrings::Values(StringView name) const { return ValueFromIndex(IndexOfName(name)); }

void TStrings::SetValue(StringView name, const String& value) {
    const int index = IndexOfName(name);
    if (!value.empty()) {
        String line = String(name) + NameValueSeparator + value;
        if (index < 0)
            Add(line);
        else
            Put(index, line);
    } else if (index >= 0) {
        Delete(index);
    }
}

String TStrings::Text() const {
    const int n = Count();
    String out;
    for (int i = 0; i < n; ++i) {
        out += Get(i);
        out += LineBreak;
    }
    return out;
}

void TStrings::SetText(StringView text) {
    Updating(*this, [&] {
        Clear();
        const std::size_t n = text.size();
        std::size_t i = 0;
        if (LineBreak.empty() || LineBreak == u"\r\n") {
            while (i < n) {
                const std::size_t start = i;
                while (i < n && text[i] != kCR && text[i] != kLF) ++i;
                Add(String(text.substr(start, i - start)));
                if (i < n && text[i] == kCR) ++i;
                if (i < n && text[i] == kLF) ++i;
            }
        } else {
            while (i < n) {
                std::size_t end = text.find(LineBreak, i);
                if (end == StringView::npos) end = n;
                Add(String(text.substr(i, end - i)));
                i = std::min(n, end + LineBreak.size());
            }
        }
    });
}

String TStrings::CommaText() const { return JoinDelimited(u',', u'"'); }

void TStrings::SetCommaText(StringView text) { SplitDelimited(text, u',', u'"'); }

String TStrings::DelimitedText() const { return JoinDelimited(Delimiter, QuoteChar); }

void TStrings::SetDelimitedText(StringView text) { SplitDelimited(text, Delimiter, QuoteChar); }

String TStrings::JoinDelimited(Char delimiter, Char quoteChar) const {
    const int n = Count();
    if (n == 1 && Get(0).empty()) return String(2, quoteChar);
    String out;
    for (int i = 0; i < n; ++i) {
        const String s = Get(i);
        const bool quote = std::any_of(s.begin(), s.end(), [&](Char c) {
            return c == quoteChar || c == delimiter || (!StrictDelimiter && c <= u' ');
        });
        if (quote) {
            out += quoteChar;
            for (Char c : s) {
                if (c == quoteChar) out += quoteChar;
                out += c;
            }
            out += quoteChar;
        } else {
            out += s;
        }
        if (i + 1 < n) out += delimiter;
    }
    return out;
}

void TStrings::SplitDelimited(StringView text, Char delimiter, Char quoteChar) {
    Updating(*this, [&] {
        Clear();
        const bool strict = StrictDelimiter;
        const std::size_t n = text.size();
        std::size_t i = 0;
        auto blank = [&](std::size_t k) { return !strict && k < n && text[k] <= u' '; };
        while (blank(i)) ++i;
        while (i < n) {
            String item;
            if (text[i] == quoteChar) {
                // Up to the closing quote (or the end); doubled quotes stand for one.
                ++i;
                while (i < n) {
                    if (text[i] == quoteChar) {
                        if (i + 1 < n && text[i + 1] == quoteChar) {
                            item += quoteChar;
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    item += text[i++];
                }
            } else {
                const std::size_t start = i;
                while (i < n && text[i] != delimiter && (strict || text[i] > u' ')) ++i;
                item.assign(text.substr(start, i - start));
            }
            Add(item);
            while (blank(i)) ++i;
            if (i < n && text[i] == delimiter) {
                if (i + 1 == n) Add(String());   // a trailing delimiter ends with an empty item
                ++i;
                while (blank(i)) ++i;
            }
        }
    });
}

void TStrings::LoadFromStream(TStream& stream) {
    const Int64 size = stream.GetSize();
    const Int64 position = stream.GetPosition();
    const Int64 remaining = std::max<Int64>(0, size - position);
    if (remaining > std::numeric_limits<Integer>::max())
        throw EReadError(u"Stream of " + IntToStr(remaining) + u" bytes is too large to read as text");
    std::string bytes;
    try {
        bytes.resize(static_cast<std::size_t>(remaining));
    } catch (const std::bad_alloc&) {
        throw EReadError(u"Out of memory reading " + IntToStr(remaining) + u" bytes of text");
    }
    stream.ReadBuffer(bytes.data(), static_cast<Integer>(remaining));
    SetText(DecodeText(bytes));
}

void TStrings::LoadFromFile(const String& fileName) {
    TFileStream file(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(file);
}

void TStrings::SaveToStream(TStream& stream, TTextFileEncoding encoding) const {
    const std::string bytes = EncodeTextFile(Text(), encoding);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 20);
        stream.WriteBuffer(bytes.data() + done, static_cast<Integer>(chunk));
        done += chunk;
    }
}

void TStrings::SaveToFile(const String& fileName, TTextFileEncoding encoding) const {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file, encoding);
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0) SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount == 0) return;   // unbalanced: nothing to end
    if (--FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::Assign(TPersistent* Source) {
    auto* source = dynamic_cast<TStrings*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    if (source == this) return;
    Updating(*this, [&] {
        Clear();
        NameValueSeparator = source->NameValueSeparator;
        LineBreak = source->LineBreak;
        Delimiter = source->Delimiter;
        QuoteChar = source->QuoteChar;
        StrictDelimiter = source->StrictDelimiter;
        AddStrings(*source);
    });
}

bool TStrings::Equals(const TStrings& other) const {
    const int n = Count();
    if (n != other.Count()) return false;
    for (int i = 0; i < n; ++i)
        if (Get(i) != other.Get(i)) return false;
    return true;
}

// ---------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    if (OwnsObjects)
        for (Item& item : FItems) FreeObject(std::exchange(item.Object, nullptr));
}

void TStringList::FreeObject(TObject* object) {
    if (!object) return;
    if (auto* component = dynamic_cast<TComponent*>(object))
        component->Free();
    else
        delete object;
}

void TStringList::CheckIndex(int index, bool allowEnd) const {
    if (index < 0 || index > Count() || (index == Count() && !allowEnd)) RaiseIndexError(index);
}

void TStringList::CheckNotSorted() const {
    if (FSorted) throw EStringListError(u"Operation not allowed on sorted list");
}

int TStringList::CompareStrings(StringView a, StringView b) const {
    return CaseSensitive ? CompareOrdinal(a, b) : CompareIgnoringCase(a, b);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

String TStringList::Get(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Text;
}

void TStringList::Put(int index, const String& s) {
    CheckNotSorted();
    CheckIndex(index);
    Changing();
    FItems[static_cast<std::size_t>(index)].Text = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].Object;
}

void TStringList::PutObject(int index, TObject* object) {
    CheckIndex(index);
    Changing();
    FItems[static_cast<std::size_t>(index)].Object = object;
    Changed();
}

void TStringList::Insert(int index, const String& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const String& s, TObject* object) {
    CheckNotSorted();
    CheckIndex(index, true);
    InsertItem(index, s, object);
}

void TStringList::InsertItem(int index, const String& s, TObject* object) {
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, object});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    TObject* object = FItems[static_cast<std::size_t>(index)].Object;
    FItems.erase(FItems.begin() + index);
    if (OwnsObjects) FreeObject(object);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    std::vector<Item> old = std::move(FItems);
    FItems.clear();
    if (OwnsObjects)
        for (Item& item : old) FreeObject(item.Object);
    Changed();
}

int TStringList::Add(const String& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const String& s, TObject* object) {
    int index = Count();
    if (FSorted && Find(s, index)) {
        switch (Duplicates) {
            case TDuplicates::dupIgnore: return index;
            case TDuplicates::dupError: throw EStringListError(u"String list does not allow duplicates");
            case TDuplicates::dupAccept: break;
        }
    }
    InsertItem(index, s, object);
    return index;
}

int TStringList::IndexOf(StringView s) const {
    if (!FSorted) return TStrings::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
}

void TStringList::Exchange(int a, int b) {
    CheckIndex(a);
    CheckIndex(b);
    Changing();
    std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
    Changed();
}

void TStringList::Move(int from, int to) {
    if (from == to) return;
    CheckNotSorted();
    CheckIndex(from);
    CheckIndex(to);
    Changing();
    auto first = FItems.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
    Changed();
}

void TStringList::Assign(TPersistent* Source) {
    auto* source = dynamic_cast<TStringList*>(Source);
    if (!source || source == this) {
        TStrings::Assign(Source);
        return;
    }
    Updating(*this, [&] {
        Clear();
        CaseSensitive = source->CaseSensitive;
        Duplicates = source->Duplicates;
        // Copied line by line in the source's order, which is already sorted
        // when the source is.
        FSorted = false;
        TStrings::Assign(Source);
        FSorted = source->FSorted;
    });
}

bool TStringList::Find(StringView s, int& index) const {
    bool found = false;
    int lo = 0, hi = Count() - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = CompareStrings(FItems[static_cast<std::size_t>(mid)].Text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (Duplicates != TDuplicates::dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort() {
    if (FSorted || FItems.size() < 2) return;
    Changing();
    std::stable_sort(FItems.begin(), FItems.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.Text, b.Text) < 0; });
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (FSorted == value) return;
    if (value) Sort();
    FSorted = value;
}
