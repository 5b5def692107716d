// String lists (text, name=value, comma text, sorting, events, objects,
// loading and saving) and the code-page conversions behind them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Strings.h"

namespace {

using Lines = std::vector<String>;

Lines LinesOf(const TStrings& list) {
    Lines out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Get(i));
    return out;
}

void Fill(TStrings& list, const Lines& lines) {
    list.Clear();
    for (const String& s : lines) list.Add(s);
}

std::string Byte1(unsigned b) { return std::string(1, static_cast<char>(b)); }

// The Windows-1251 bytes of "Привет, мир! Ёлка №5".
const std::string kCyrillic1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xEB\xEA\xE0 \xB9" "5";
const String kCyrillic = u"Привет, мир! Ёлка №5";

// ---------------------------------------------------------------------------
// Text

TEST(StringsText, SplitsAtCrLfLfAndCrAndJoinsWithCrLf) {
    struct Case {
        String text;
        Lines lines;
    };
    const Case cases[] = {
        {u"", {}},
        {u"a", {u"a"}},
        {u"a\r\nb", {u"a", u"b"}},
        {u"a\nb\rc\r\nd", {u"a", u"b", u"c", u"d"}},
        {u"a\r\n", {u"a"}},
        {u"a\r\n\r\n", {u"a", u""}},
        {u"\r\n", {u""}},
        {u"a\n\rb", {u"a", u"", u"b"}},   // LF then CR is two breaks
        {u"a\r\r\nb", {u"a", u"", u"b"}},
        {u" x \t", {u" x \t"}},           // no trimming
        {String(u"a\0b\nc", 5), {String(u"a\0b", 3), u"c"}},
    };
    TStringList list;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        list.Add(u"old");
        list.SetText(c.text);
        EXPECT_EQ(LinesOf(list), c.lines);
        String joined;
        for (const String& s : c.lines) joined += s + u"\r\n";
        EXPECT_EQ(list.Text(), joined);
    }
}

TEST(StringsText, OtherLineBreakSplitsOnlyThere) {
    TStringList list;
    list.LineBreak = u"|";
    list.SetText(u"a|b\r\nc||");
    EXPECT_EQ(LinesOf(list), (Lines{u"a", u"b\r\nc", u""}));
    EXPECT_EQ(list.Text(), u"a|b\r\nc||");
}

// ---------------------------------------------------------------------------
// name=value

TEST(StringsNameValue, ReadsNamesAndValues) {
    TStringList list;
    Fill(list, {u"a=1", u"B=2", u"c", u"=x", u"d==3", u"e=", u"Жук=жжж"});
    struct Case {
        int index;
        String name, value;
    };
    const Case cases[] = {
        {0, u"a", u"1"}, {1, u"B", u"2"},  {2, u"", u""},  {3, u"", u"x"},
        {4, u"d", u"=3"}, {5, u"e", u""}, {6, u"Жук", u"жжж"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(list.Names(c.index), c.name);
        EXPECT_EQ(list.ValueFromIndex(c.index), c.value);
    }
    EXPECT_EQ(list.IndexOfName(u"b"), 1);   // names ignore case
    EXPECT_EQ(list.Values(u"b"), u"2");
    EXPECT_EQ(list.IndexOfName(u"жУК"), 6);
    EXPECT_EQ(list.IndexOfName(u"c"), -1);   // a line without '=' has no name
    EXPECT_EQ(list.Values(u"c"), u"");
    EXPECT_EQ(list.Values(u"d"), u"=3");
    EXPECT_EQ(list.Values(u""), u"x");
    EXPECT_EQ(list.ValueFromIndex(-1), u"");

    list.CaseSensitive = true;
    EXPECT_EQ(list.IndexOfName(u"b"), -1);
    list.NameValueSeparator = u':';
    list.Add(u"k:v=w");
    EXPECT_EQ(list.Values(u"k"), u"v=w");
    EXPECT_EQ(list.Names(0), u"");
}

TEST(StringsNameValue, SetValueReplacesAppendsAndDeletes) {
    TStringList list;
    Fill(list, {u"a=1", u"b=2", u"c=3"});
    list.SetValue(u"B", u"9");         // in place, with the name as given
    list.SetValue(u"new", u"v");       // appended
    list.SetValue(u"a", u"");          // an empty value deletes
    list.SetValue(u"missing", u"");    // nothing to delete
    EXPECT_EQ(LinesOf(list), (Lines{u"B=9", u"c=3", u"new=v"}));

    list.SetValueFromIndex(1, u"4");
    list.SetValueFromIndex(-1, u"z");
    list.SetValueFromIndex(0, u"");
    EXPECT_EQ(LinesOf(list), (Lines{u"c=4", u"new=v", u"=z"}));

    TStringList sorted;
    sorted.SetSorted(true);
    sorted.SetValue(u"m", u"1");
    sorted.SetValue(u"b", u"2");
    EXPECT_EQ(LinesOf(sorted), (Lines{u"b=2", u"m=1"}));
    EXPECT_THROW(sorted.SetValue(u"b", u"3"), EStringListError);   // Put on a sorted list
}

// ---------------------------------------------------------------------------
// Comma and delimited text

TEST(StringsCommaText, QuotesWhatNeedsItBothWays) {
    struct Case {
        Lines lines;
        String text;
    };
    const Case cases[] = {
        {{}, u""},
        {{u""}, u"\"\""},
        {{u"a", u"b"}, u"a,b"},
        {{u"a b", u"c"}, u"\"a b\",c"},
        {{u"say \"hi\""}, u"\"say \"\"hi\"\"\""},
        {{u"a,b"}, u"\"a,b\""},
        {{u"a", u"", u"b"}, u"a,,b"},
        {{u"x", u""}, u"x,"},
        {{u"tab\there"}, u"\"tab\there\""},
        {{u"Ёж", u"ёж"}, u"Ёж,ёж"},
    };
    TStringList list;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        Fill(list, c.lines);
        EXPECT_EQ(list.CommaText(), c.text);
        list.Add(u"old");
        list.SetCommaText(c.text);
        EXPECT_EQ(LinesOf(list), c.lines);
    }
}

TEST(StringsCommaText, ReadsLooseInput) {
    struct Case {
        String text;
        Lines lines;
    };
    const Case cases[] = {
        {u"a b", {u"a", u"b"}},   // blanks separate too
        {u"  a , b  ", {u"a", u"b"}},
        {u"   ", {}},
        {u",", {u"", u""}},
        {u"a,", {u"a", u""}},
        {u"\"unterminated", {u"unterminated"}},
        {u"\"a\"b", {u"a", u"b"}},
        {u"\"a, b\" , c", {u"a, b", u"c"}},
        {u"\"\"\"\"", {u"\""}},
    };
    TStringList list;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        list.SetCommaText(c.text);
        EXPECT_EQ(LinesOf(list), c.lines);
    }
}

TEST(StringsCommaText, DelimitedTextUsesTheListsSettings) {
    TStringList list;
    list.Delimiter = u';';
    list.QuoteChar = u'\'';
    list.SetDelimitedText(u"a b;'c;d';'it''s'");
    EXPECT_EQ(LinesOf(list), (Lines{u"a", u"b", u"c;d", u"it's"}));
    EXPECT_EQ(list.DelimitedText(), u"a;b;'c;d';'it''s'");
    EXPECT_EQ(list.CommaText(), u"a,b,c;d,it's");   // comma text ignores them
    EXPECT_EQ(list.Delimiter, u';');

    list.StrictDelimiter = true;   // only the delimiter separates; blanks stay
    list.SetDelimitedText(u" a b ;c");
    EXPECT_EQ(LinesOf(list), (Lines{u" a b ", u"c"}));
    EXPECT_EQ(list.DelimitedText(), u" a b ;c");
}

// ---------------------------------------------------------------------------
// Searching and sorting

TEST(StringsSearch, IndexOfIgnoresCaseUnlessAsked) {
    TStringList list;
    Fill(list, {u"Alpha", u"ПРИВЕТ", u"Été", u"alpha"});
    EXPECT_EQ(list.IndexOf(u"ALPHA"), 0);
    EXPECT_EQ(list.IndexOf(u"привет"), 1);
    EXPECT_EQ(list.IndexOf(u"éTÉ"), 2);
    EXPECT_EQ(list.IndexOf(u"alph"), -1);
    list.CaseSensitive = true;
    EXPECT_EQ(list.IndexOf(u"alpha"), 3);
    EXPECT_EQ(list.IndexOf(u"привет"), -1);
}

TEST(StringsSorted, KeepsOrderAndFindsWithEachDuplicatesRule) {
    TStringList list;
    list.SetSorted(true);
    for (const char16_t* s : {u"b", u"A", u"c", u"_x"}) list.Add(s);
    EXPECT_EQ(list.Add(u"a"), 1);   // dupIgnore: the index of the equal line, nothing added
    EXPECT_EQ(LinesOf(list), (Lines{u"_x", u"A", u"b", u"c"}));

    int index = -1;
    EXPECT_TRUE(list.Find(u"B", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(list.Find(u"bb", index));
    EXPECT_EQ(index, 3);   // where it would go
    EXPECT_FALSE(list.Find(u"zzz", index));
    EXPECT_EQ(index, 4);
    EXPECT_EQ(list.IndexOf(u"C"), 3);
    EXPECT_EQ(list.IndexOf(u"d"), -1);

    list.Duplicates = TDuplicates::dupError;
    try {
        list.Add(u"B");
        ADD_FAILURE() << "a duplicate was accepted";
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), u"String list does not allow duplicates");
    }
    EXPECT_EQ(list.Count(), 4);

    list.Duplicates = TDuplicates::dupAccept;
    list.Add(u"B");
    list.Add(u"b");
    EXPECT_EQ(list.Add(u"b"), 2);   // before the equal lines already there
    EXPECT_EQ(list.Count(), 7);
    EXPECT_TRUE(list.Find(u"b", index));
    EXPECT_EQ(index, 2);   // the first of them
    EXPECT_EQ(list[6], u"c");
}

TEST(StringsSorted, SortingIsStableAndCaseRuleApplies) {
    TStringList list;
    Fill(list, {u"b", u"B", u"a", u"Я", u"я", u"A"});
    list.SetSorted(true);
    EXPECT_EQ(LinesOf(list), (Lines{u"a", u"A", u"b", u"B", u"Я", u"я"}));

    TStringList exact;
    exact.CaseSensitive = true;
    Fill(exact, {u"b", u"a", u"B", u"A"});
    exact.SetSorted(true);
    EXPECT_EQ(LinesOf(exact), (Lines{u"A", u"B", u"a", u"b"}));
    int index = -1;
    EXPECT_TRUE(exact.Find(u"a", index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(exact.IndexOf(u"b"), 3);
}

TEST(StringsSorted, RefusesOperationsThatWouldBreakTheOrder) {
    TStringList list;
    Fill(list, {u"b", u"a"});
    list.SetSorted(true);
    for (auto op : std::initializer_list<void (*)(TStringList&)>{
             [](TStringList& l) { l.Insert(0, u"z"); },
             [](TStringList& l) { l.Put(0, u"z"); },
             [](TStringList& l) { l.Move(0, 1); },
         }) {
        try {
            op(list);
            ADD_FAILURE() << "allowed on a sorted list";
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message(), u"Operation not allowed on sorted list");
        }
    }
    EXPECT_EQ(LinesOf(list), (Lines{u"a", u"b"}));
    list.SetSorted(false);
    list.Insert(0, u"z");
    EXPECT_EQ(LinesOf(list), (Lines{u"z", u"a", u"b"}));
}

// ---------------------------------------------------------------------------
// Editing, index errors and events

TEST(StringsEditing, MovesExchangesAndKeepsObjects) {
    TStringList list;
    TObject a, c;
    list.AddObject(u"a", &a);
    list.Add(u"b");
    list.AddObject(u"c", &c);
    list.Add(u"d");
    list.Move(0, 3);
    EXPECT_EQ(LinesOf(list), (Lines{u"b", u"c", u"d", u"a"}));
    list.Move(2, 0);
    EXPECT_EQ(LinesOf(list), (Lines{u"d", u"b", u"c", u"a"}));
    list.Exchange(0, 2);
    EXPECT_EQ(LinesOf(list), (Lines{u"c", u"b", u"d", u"a"}));
    EXPECT_EQ(list.GetObject(0), &c);
    EXPECT_EQ(list.GetObject(3), &a);
    EXPECT_EQ(list.IndexOfObject(&a), 3);
    list.InsertObject(4, u"e", &a);
    EXPECT_EQ(list.GetObject(4), &a);
    list.Delete(1);
    EXPECT_EQ(LinesOf(list), (Lines{u"c", u"d", u"a", u"e"}));
    list.AddStrings(list);
    EXPECT_EQ(list.Count(), 8);
    EXPECT_EQ(list.GetObject(7), &a);
}

TEST(StringsEditing, BadIndexesRaiseListIndexOutOfBounds) {
    struct Case {
        const char* what;
        int index;
        void (*op)(TStringList&);
    };
    const Case cases[] = {
        {"Get -1", -1, [](TStringList& l) { l.Get(-1); }},
        {"Get Count", 3, [](TStringList& l) { l.Get(3); }},
        {"Put", 3, [](TStringList& l) { l.Put(3, u"x"); }},
        {"Delete", 5, [](TStringList& l) { l.Delete(5); }},
        {"GetObject", -2, [](TStringList& l) { l.GetObject(-2); }},
        {"PutObject", 3, [](TStringList& l) { l.PutObject(3, nullptr); }},
        {"Insert past the end", 4, [](TStringList& l) { l.Insert(4, u"x"); }},
        {"Exchange", 7, [](TStringList& l) { l.Exchange(0, 7); }},
        {"Move to the end", 3, [](TStringList& l) { l.Move(0, 3); }},
        {"Names", 9, [](TStringList& l) { l.Names(9); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TStringList list;
        Fill(list, {u"a", u"b", u"c"});
        try {
            c.op(list);
            ADD_FAILURE() << "no error";
        } catch (const EStringListError& e) {
            EXPECT_EQ(e.Message(), u"List index out of bounds (" + IntToStr(c.index) + u")");
        }
        EXPECT_EQ(LinesOf(list), (Lines{u"a", u"b", u"c"}));
    }
    TStringList list;
    list.Insert(0, u"x");   // inserting at Count is fine
    EXPECT_EQ(list.Count(), 1);
}

// Counts the events of a list and notes the count each one saw.
struct EventLog {
    TStringList* List = nullptr;
    std::vector<std::string> Events;
    void Changing(TObject* sender) { Note("changing", sender); }
    void Change(TObject* sender) { Note("change", sender); }
    void Note(const char* what, TObject* sender) {
        EXPECT_EQ(sender, List);
        Events.push_back(std::string(what) + " " + std::to_string(List->Count()));
    }
    void Attach(TStringList& list) {
        List = &list;
        list.OnChanging = TNotifyEvent::Of<&EventLog::Changing>(this);
        list.OnChange = TNotifyEvent::Of<&EventLog::Change>(this);
    }
    std::vector<std::string> Take() { return std::exchange(Events, {}); }
};

TEST(StringsEvents, ChangingAndChangeFramePerEditOrUpdate) {
    using Log = std::vector<std::string>;
    TStringList list;
    EventLog log;
    log.Attach(list);

    list.Add(u"a");
    EXPECT_EQ(log.Take(), (Log{"changing 0", "change 1"}));

    list.BeginUpdate();
    list.BeginUpdate();
    list.Add(u"b");
    list.Delete(0);
    list.EndUpdate();
    EXPECT_EQ(list.UpdateCount(), 1);
    list.EndUpdate();
    EXPECT_EQ(log.Take(), (Log{"changing 1", "change 1"}));

    list.SetText(u"x\ny\nz");
    list.SetCommaText(u"p,q");
    EXPECT_EQ(log.Take(), (Log{"changing 1", "change 3", "changing 3", "change 2"}));

    EXPECT_THROW(list.Delete(5), EStringListError);
    list.Clear();
    list.Clear();   // already empty: no events
    list.EndUpdate();   // unbalanced: ignored
    EXPECT_EQ(list.UpdateCount(), 0);
    EXPECT_EQ(log.Take(), (Log{"changing 2", "change 0"}));

    list.OnChange = nullptr;
    list.Add(u"c");
    EXPECT_EQ(log.Take(), (Log{"changing 0"}));
}

// Counts how many of its kind are alive.
struct Tracked : TObject {
    static inline int Alive = 0;
    Tracked() { ++Alive; }
    ~Tracked() override { --Alive; }
};

TEST(StringsObjects, OwnedObjectsAreFreedWithTheirLines) {
    Tracked::Alive = 0;
    {
        TStringList list(true);
        for (const char16_t* s : {u"a", u"b", u"c", u"d"}) list.AddObject(s, new Tracked);
        EXPECT_EQ(Tracked::Alive, 4);
        list.Delete(0);
        EXPECT_EQ(Tracked::Alive, 3);
        list.Move(0, 2);   // moving keeps the object
        list.Exchange(0, 1);
        EXPECT_EQ(Tracked::Alive, 3);
        list.Clear();
        EXPECT_EQ(Tracked::Alive, 0);
        list.AddObject(u"e", new Tracked);
        auto* owner = new TComponent(nullptr);
        list.AddObject(u"f", owner);   // components are ended with Free
        new TComponent(owner);
    }
    EXPECT_EQ(Tracked::Alive, 0);

    Tracked kept;
    {
        TStringList list;
        list.AddObject(u"a", &kept);
        list.Delete(0);
        list.AddObject(u"a", &kept);
    }
    EXPECT_EQ(Tracked::Alive, 1);
}

// A minimal TStrings, so that the base class's own versions of the editing
// operations run (as they do for lists of other classes).
class PlainStrings : public TStrings {
public:
    int Count() const override { return static_cast<int>(FLines.size()); }
    String Get(int index) const override {
        if (index < 0 || index >= Count()) RaiseIndexError(index);
        return FLines[static_cast<std::size_t>(index)];
    }
    void Insert(int index, const String& s) override {
        if (index < 0 || index > Count()) RaiseIndexError(index);
        FLines.insert(FLines.begin() + index, s);
    }
    void Delete(int index) override {
        if (index < 0 || index >= Count()) RaiseIndexError(index);
        FLines.erase(FLines.begin() + index);
    }
    void Clear() override { FLines.clear(); }

private:
    std::vector<String> FLines;
};

TEST(StringsAssign, CopiesLinesObjectsAndSettings) {
    TStringList source;
    TObject object;
    source.CaseSensitive = true;
    source.Duplicates = TDuplicates::dupAccept;
    source.NameValueSeparator = u':';
    source.Delimiter = u';';
    Fill(source, {u"b", u"a", u"B"});
    source.PutObject(1, &object);
    source.SetSorted(true);

    TStringList copy;
    copy.Add(u"old");
    copy.Assign(&source);
    EXPECT_EQ(LinesOf(copy), (Lines{u"B", u"a", u"b"}));
    EXPECT_EQ(copy.GetObject(1), &object);
    EXPECT_TRUE(copy.Sorted());
    EXPECT_TRUE(copy.CaseSensitive);
    EXPECT_EQ(copy.Duplicates, TDuplicates::dupAccept);
    EXPECT_EQ(copy.NameValueSeparator, u':');
    EXPECT_EQ(copy.DelimitedText(), u"B;a;b");
    EXPECT_TRUE(copy.Equals(source));
    copy.Add(u"A");   // still sorted case-sensitively
    EXPECT_EQ(LinesOf(copy), (Lines{u"A", u"B", u"a", u"b"}));
    EXPECT_FALSE(copy.Equals(source));

    copy.Assign(&copy);
    EXPECT_EQ(copy.Count(), 4);

    PlainStrings plain;
    plain.Assign(&source);
    EXPECT_TRUE(plain.Equals(source));
    plain.Move(0, 2);
    plain.Exchange(0, 1);
    plain.Put(2, u"z");
    plain.SetValue(u"k", u"v");
    EXPECT_EQ(LinesOf(plain), (Lines{u"b", u"a", u"z", u"k:v"}));
    EXPECT_EQ(plain.IndexOf(u"A"), 1);
    EXPECT_THROW(plain.Get(4), EStringListError);

    TComponent notStrings(nullptr);
    EXPECT_THROW(copy.Assign(&notStrings), EConvertError);
}

// ---------------------------------------------------------------------------
// Loading and saving

TEST(StringsLoad, ByteOrderMarkSelectsTheEncoding) {
    struct Case {
        const char* what;
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"empty stream", "", {}},
        {"ANSI", "abc\r\ndef", {u"abc", u"def"}},
        {"UTF-8", "\xEF\xBB\xBFh\xC3\xA9\n\xD0\x96", {u"hé", u"Ж"}},
        {"UTF-8 mark only", "\xEF\xBB\xBF", {}},
        {"UTF-8 with invalid bytes", "\xEF\xBB\xBF" "a\xFF\xC3", {u"a\uFFFD\uFFFD"}},
        {"UTF-16 LE", std::string("\xFF\xFE" "a\0\r\0\n\0\x16\x04", 10), {u"a", u"Ж"}},
        {"UTF-16 BE", std::string("\xFE\xFF\0a\0\n\x04\x16", 8), {u"a", u"Ж"}},
        {"UTF-16 LE, odd last byte", std::string("\xFF\xFE" "a\0b", 5), {u"a"}},
        {"UTF-16 LE mark only", "\xFF\xFE", {}},
    };
    TStringList list;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMemoryStream stream;
        stream.WriteBuffer(c.bytes.data(), static_cast<Integer>(c.bytes.size()));
        stream.SetPosition(0);
        list.Add(u"old");
        list.LoadFromStream(stream);
        EXPECT_EQ(LinesOf(list), c.lines);
    }
}

TEST(StringsLoad, WithoutMarkReadsTheAnsiCodePageFromThePosition) {
    // A cut-off UTF-8 mark is no mark; the bytes before the position are skipped.
    const std::string bytes = "skip\xEF\xBB" "caf\xE9\n\x80";
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
    stream.SetPosition(4);
    TStringList list;
    list.LoadFromStream(stream);
    Lines expected;
    expected.push_back(CodePageToString("\xEF\xBB" "caf\xE9", AnsiCodePage()));
    expected.push_back(CodePageToString("\x80", AnsiCodePage()));
    EXPECT_EQ(LinesOf(list), expected);
#ifndef _WIN32
    EXPECT_EQ(AnsiCodePage(), 1252u);
    EXPECT_EQ(LinesOf(list), (Lines{u"\u00EF\u00BB" u"café", u"€"}));
#endif
}

TEST(StringsSave, WritesAnsiWithoutMarkAndReadsBack) {
    TStringList list;
    Fill(list, {u"one", u"", u"caf\u00E9 \u20AC"});
    TMemoryStream stream;
    list.SaveToStream(stream);
    const std::string written(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.GetSize()));
    EXPECT_EQ(written, StringToAnsi(u"one\r\n\r\ncaf\u00E9 \u20AC\r\n"));
#ifndef _WIN32
    EXPECT_EQ(written, "one\r\n\r\ncaf\xE9 \x80\r\n");
#endif

    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = fs::temp_directory_path() / "kes_strings_test";
    fs::create_directories(dir, ec);
    const String file = (dir / "lines.txt").u16string();
    list.SaveToFile(file);
    TStringList again;
    again.LoadFromFile(file);
    EXPECT_EQ(LinesOf(again), LinesOf(list));
    fs::remove_all(dir, ec);
    EXPECT_THROW(again.LoadFromFile(file), EFOpenError);
    EXPECT_EQ(again.Count(), 3);
}

// ---------------------------------------------------------------------------
// Code pages

TEST(Encoding, Cp1251MapsEveryByteAndBack) {
    const struct {
        unsigned byte;
        char16_t ch;
    } known[] = {
        {0x41, u'A'},    {0x80, u'Ђ'}, {0x88, u'€'}, {0x98, 0x0098}, {0xA0, 0x00A0}, {0xA5, u'Ґ'},
        {0xA8, u'Ё'},    {0xAA, u'Є'}, {0xAF, u'Ї'}, {0xB2, u'І'},   {0xB3, u'і'},   {0xB4, u'ґ'},
        {0xB8, u'ё'},    {0xB9, u'№'}, {0xBA, u'є'}, {0xBF, u'ї'},   {0xC0, u'А'},   {0xDF, u'Я'},
        {0xE0, u'а'},    {0xFF, u'я'},
    };
    for (const auto& k : known) EXPECT_EQ(CodePageToString(Byte1(k.byte), 1251), String(1, k.ch)) << k.byte;

    std::string all;
    for (unsigned b = 0; b < 256; ++b) all += Byte1(b);
    const String text = CodePageToString(all, 1251);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(std::set<Char>(text.begin(), text.end()).size(), 256u);   // no two bytes share a character
    EXPECT_EQ(StringToCodePage(text, 1251), all);
}

TEST(Encoding, Cp1252AndLatin1MapEveryByteAndBack) {
    const struct {
        unsigned byte;
        char16_t ch;
    } known[] = {
        {0x80, u'€'},    {0x81, 0x0081}, {0x83, u'ƒ'},   {0x8A, u'Š'},   {0x8D, 0x008D}, {0x8F, 0x008F},
        {0x90, 0x0090},  {0x93, u'“'},   {0x99, u'™'},   {0x9D, 0x009D}, {0x9F, u'Ÿ'},   {0xA0, 0x00A0},
        {0xE9, u'é'},    {0xFF, u'ÿ'},
    };
    for (const auto& k : known) EXPECT_EQ(CodePageToString(Byte1(k.byte), 1252), String(1, k.ch)) << k.byte;

    std::string all;
    for (unsigned b = 0; b < 256; ++b) all += Byte1(b);
    const String text = CodePageToString(all, 1252);
    EXPECT_EQ(std::set<Char>(text.begin(), text.end()).size(), 256u);
    EXPECT_EQ(StringToCodePage(text, 1252), all);

    const String latin1 = CodePageToString(all, 28591);
    for (unsigned b = 0; b < 256; ++b) EXPECT_EQ(static_cast<unsigned>(latin1[b]), b);
    EXPECT_EQ(StringToCodePage(latin1, 28591), all);
}

TEST(Encoding, TablesAgreeWithTheSystemConverter) {
    // The system (Windows, or iconv natively) as an independent reference. iconv
    // leaves the undefined bytes out, where Windows gives the C1 control.
    const struct {
        unsigned codePage;
        std::set<unsigned> undefined;
    } pages[] = {{1251, {0x98}}, {1252, {0x81, 0x8D, 0x8F, 0x90, 0x9D}}};
    for (const auto& page : pages) {
        for (unsigned b = 0; b < 256; ++b) {
            SCOPED_TRACE(::testing::Message() << page.codePage << " byte " << b);
            const String table = CodePageToString(Byte1(b), page.codePage);
            const String system = SystemCodePageToString(Byte1(b), page.codePage);
            if (system == u"\uFFFD") {
#ifdef _WIN32
                ADD_FAILURE() << "Windows defines every byte";
#endif
                EXPECT_TRUE(page.undefined.count(b));
                continue;
            }
            EXPECT_EQ(table, system);
            EXPECT_EQ(StringToSystemCodePage(table, page.codePage), Byte1(b));
        }
    }
}

TEST(Encoding, MissingCharactersBecomeQuestionMarks) {
    struct Case {
        String text;
        unsigned codePage;
        std::string bytes;
    };
    const Case cases[] = {
        {u"Жé€", 1252, "?\xE9\x80"},
        {u"Жé€", 1251, "\xC6?\x88"},
        {u"ĀŽ", 28591, "??"},
        {u"a\U0001F600b", 1251, "a??b"},   // one per UTF-16 unit
        {u"Ж", 866, "\x86"},               // a code page of the system's
        {u"ЖĀ", 866, "\x86?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text) + " in " + std::to_string(c.codePage));
        EXPECT_EQ(StringToCodePage(c.text, c.codePage), c.bytes);
    }
    EXPECT_EQ(CodePageToString("\x86\x80", 866), u"ЖА");
    EXPECT_EQ(CodePageToString("\xE9", 0), AnsiToString("\xE9"));   // 0 is the ANSI code page
}

TEST(Encoding, UnknownCodePageRaises) {
    for (unsigned codePage : {12345u, 99999u}) {
        try {
            CodePageToString("a", codePage);
            ADD_FAILURE() << codePage;
        } catch (const EEncodingError& e) {
            EXPECT_EQ(e.Message(), u"Code page " + IntToStr(codePage) + u" is not supported");
        }
        EXPECT_THROW(StringToCodePage(u"a", codePage), EEncodingError);
    }
}

TEST(Encoding, Utf8InvalidBytesBecomeReplacementCharacters) {
    struct Case {
        const char* what;
        std::string bytes;
        String text;
    };
    const Case cases[] = {
        {"stray byte", "a\xFF" "b", u"a\uFFFDb"},
        {"lone continuation", "\x80", u"\uFFFD"},
        {"cut off at the end", "x\xE2\x82", u"x\uFFFD\uFFFD"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"valid four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"valid Cyrillic", "\xD0\x81\xD1\x91", u"Ёё"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CodePageToString(c.bytes, 65001), c.text);
    }
    EXPECT_EQ(StringToCodePage(String(1, Char(0xD800)) + u"a", 65001), "\xEF\xBF\xBD" "a");
    EXPECT_EQ(StringToCodePage(u"\U0001F600", 65001), "\xF0\x9F\x98\x80");
}

TEST(Encoding, CyrillicPageSurvivesTheRenderingPath) {
    // What the page view does with a Windows-1251 page: the received bytes
    // become text one character per byte, go back to bytes, are converted from
    // 1251 to UTF-8, pass through the single-byte text once more and are
    // finally read as UTF-8.
    for (unsigned singleByte : {1252u, 1251u}) {
        SCOPED_TRACE(singleByte);
        const String raw = CodePageToString(kCyrillic1251, singleByte);
        ASSERT_EQ(raw.size(), kCyrillic1251.size());
        const std::string received = StringToCodePage(raw, singleByte);
        ASSERT_EQ(received, kCyrillic1251);
        const std::string utf8 = StringToCodePage(CodePageToString(received, 1251), 65001);
        const String shown = CodePageToString(StringToCodePage(CodePageToString(utf8, singleByte), singleByte), 65001);
        EXPECT_EQ(shown, kCyrillic);
    }
    EXPECT_EQ(StringToCodePage(kCyrillic, 1251), kCyrillic1251);
}

}  // namespace
