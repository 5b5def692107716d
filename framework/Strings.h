// String lists and text encodings of the framework. Portable: the ANSI code
// page is the system's on Windows and Windows-1252 elsewhere.
#pragma once

#include <vector>

#include "Classes.h"

KES_DECLARE_EXCEPTION(EStringListError, Exception)
KES_DECLARE_EXCEPTION(EEncodingError, Exception)

// ---------------------------------------------------------------------------
// Encodings. Bytes travel in 8-bit strings; every conversion is explicit.

// The system's ANSI code page (CP_ACP on Windows; 1252 elsewhere).
unsigned AnsiCodePage();
// Bytes in a code page to text and back. Built-in tables, the same on every
// platform: 1251 (Windows Cyrillic), 1252 (Windows Western), 28591 (Latin-1)
// and 65001 (UTF-8). Code page 0 is the ANSI code page. Other code pages go
// to the system (any code page Windows knows; natively those of iconv) and
// raise EEncodingError "Code page N is not supported" when it has none.
// Bytes a single-byte table leaves undefined map to the C1 control of the
// same value, as Windows does, so every byte survives a round trip.
// Characters that do not exist in the target become '?' (the built-in tables
// write one per UTF-16 code unit; no best-fit look-alikes); invalid UTF-8
// becomes U+FFFD.
String CodePageToString(std::string_view bytes, unsigned codePage);
std::string StringToCodePage(StringView text, unsigned codePage);
inline String AnsiToString(std::string_view bytes) { return CodePageToString(bytes, AnsiCodePage()); }
inline std::string StringToAnsi(StringView text) { return StringToCodePage(text, AnsiCodePage()); }

// The system's own conversion, bypassing the built-in tables (Encoding_win32.cpp:
// MultiByteToWideChar / WideCharToMultiByte; Encoding_posix.cpp: iconv). Same
// rules as above; raises EEncodingError for a code page the system lacks.
String SystemCodePageToString(std::string_view bytes, unsigned codePage);
std::string StringToSystemCodePage(StringView text, unsigned codePage);

// How a text file is written: in the ANSI code page without a byte-order
// mark, as UTF-8 with one, or in the ANSI code page when that holds every
// character of the text and as UTF-8 otherwise, so that nothing is lost. The
// code page holds the text when the bytes read back give the same text: a
// character written as '?' or as a best-fit look-alike is lost.
enum class TTextFileEncoding { Ansi, Utf8, AnsiOrUtf8 };
std::string EncodeTextFile(StringView text, TTextFileEncoding encoding);

// ---------------------------------------------------------------------------

// A list of strings, each with an optional object. Errors on indexes raise
// EStringListError "List index out of bounds (N)".
class TStrings : public TPersistent {
public:
    KES_CLASS_NAME(TStrings)

    virtual int Count() const = 0;
    virtual String Get(int index) const = 0;
    // The default deletes the line and inserts the new text with the old object.
    virtual void Put(int index, const String& s);
    virtual TObject* GetObject(int index) const;   // default: no objects
    virtual void PutObject(int index, TObject* object);
    virtual void Insert(int index, const String& s) = 0;
    virtual void InsertObject(int index, const String& s, TObject* object);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    String operator[](int index) const { return Get(index); }
    virtual int Add(const String& s);
    virtual int AddObject(const String& s, TObject* object);
    void AddStrings(const TStrings& other);
    void Append(const String& s) { Add(s); }
    virtual int IndexOf(StringView s) const;   // case-insensitive, like the framework's
    int IndexOfName(StringView name) const;
    int IndexOfObject(const TObject* object) const;
    virtual void Exchange(int a, int b);
    virtual void Move(int from, int to);

    // name=value entries. A line without the separator has an empty name and
    // an empty value.
    String Names(int index) const;
    String ValueFromIndex(int index) const;
    void SetValueFromIndex(int index, const String& value);   // empty deletes the line
    String Values(StringView name) const;
    void SetValue(StringView name, const String& value);   // an empty value deletes the entry
    Char NameValueSeparator = u'=';

    // All lines, each followed by LineBreak ("\r\n"); setting splits at CR,
    // LF or CR LF (at LineBreak itself when it is something else).
    String Text() const;
    virtual void SetText(StringView text);
    String LineBreak = u"\r\n";
    // Items joined by Delimiter; an item holding the delimiter, the quote
    // character or (unless StrictDelimiter) a blank or control character is
    // quoted with embedded quotes doubled. Setting splits the other way; without
    // StrictDelimiter blanks separate items too. CommaText is DelimitedText
    // with ',' and '"'.
    String CommaText() const;
    void SetCommaText(StringView text);
    String DelimitedText() const;
    void SetDelimitedText(StringView text);
    Char Delimiter = u',';
    Char QuoteChar = u'"';
    bool StrictDelimiter = false;

    // Loading reads the bytes from the stream's position to its end: a
    // byte-order mark selects UTF-8 (EF BB BF) or UTF-16 LE/BE (FF FE / FE FF);
    // without one the bytes are read through the ANSI code page.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const String& fileName);
    // Saving writes the text in the ANSI code page, without a byte-order mark,
    // unless told otherwise (EncodeTextFile).
    void SaveToStream(TStream& stream, TTextFileEncoding encoding = TTextFileEncoding::Ansi) const;
    void SaveToFile(const String& fileName, TTextFileEncoding encoding = TTextFileEncoding::Ansi) const;

    // Nested; the first BeginUpdate and the last EndUpdate call SetUpdateState.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // From another TStrings: the lines, objects and text settings (separator,
    // delimiter, quote, line break, strictness).
    void Assign(TPersistent* Source) override;
    bool Equals(const TStrings& other) const;   // same lines, case-sensitive

protected:
    virtual void SetUpdateState(bool) {}
    // Order of two lines; TStrings ignores case, TStringList follows CaseSensitive.
    virtual int CompareStrings(StringView a, StringView b) const;
    void RaiseIndexError(int index) const;

private:
    String JoinDelimited(Char delimiter, Char quoteChar) const;
    void SplitDelimited(StringView text, Char delimiter, Char quoteChar);
    int FUpdateCount = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
    KES_CLASS_NAME(TStringList)
    TStringList() = default;
    explicit TStringList(bool ownsObjects) : OwnsObjects(ownsObjects) {}
    ~TStringList() override;

    int Count() const override { return static_cast<int>(FItems.size()); }
    String Get(int index) const override;
    void Put(int index, const String& s) override;   // not on a sorted list
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* object) override;
    void Insert(int index, const String& s) override;   // not on a sorted list
    void InsertObject(int index, const String& s, TObject* object) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const String& s) override;
    // On a sorted list the line goes to its place; an equal line is kept
    // (dupIgnore: nothing added, its index returned), added before the
    // existing ones (dupAccept) or refused (dupError: EStringListError).
    int AddObject(const String& s, TObject* object) override;
    int IndexOf(StringView s) const override;
    void Exchange(int a, int b) override;
    void Move(int from, int to) override;   // not on a sorted list
    void Assign(TPersistent* Source) override;   // also CaseSensitive, Duplicates, Sorted

    // Binary search of a sorted list: true when found; index is the match
    // (the first of equal lines under dupAccept) or where s would go.
    bool Find(StringView s, int& index) const;
    void Sort();   // does nothing on a list that is already Sorted
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    // Changing CaseSensitive on a sorted list does not re-sort it: switch
    // Sorted off and on again.
    bool CaseSensitive = false;
    TDuplicates Duplicates = TDuplicates::dupIgnore;
    // When set, the list frees its objects when they are deleted or the list is freed.
    bool OwnsObjects = false;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    int CompareStrings(StringView a, StringView b) const override;
    void Changed();
    void Changing();

private:
    struct Item {
        String Text;
        TObject* Object = nullptr;
    };
    void CheckIndex(int index, bool allowEnd = false) const;
    void CheckNotSorted() const;
    void InsertItem(int index, const String& s, TObject* object);
    static void FreeObject(TObject* object);
    std::vector<Item> FItems;
    bool FSorted = false;
};
