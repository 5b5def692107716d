// Tests of the address parser: field splitting, base addresses and the
// resolution of relative locations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jsURLParser.h"

namespace {

std::string U8(const String& s) { return StringToUtf8(s); }

// ---------------------------------------------------------------------------
// Splitting into fields

struct ParseCase {
    const char16_t* text;
    bool relative;
    bool fileScheme;
    const char16_t* protocol;
    const char16_t* user;
    const char16_t* password;
    const char16_t* host;
    const char16_t* port;
    const char16_t* path;
    Integer upLevels;
    const char16_t* directory;
    const char16_t* document;
    const char16_t* query;
    const char16_t* fragment;
};

const ParseCase kParseCases[] = {
    // text, relative, file, protocol, user, password, host, port, path, up, directory, document, query, fragment
    {u"http://www.example.com/dir/sub/page.html?a=1#top", false, false, u"http", u"", u"", u"www.example.com", u"",
     u"/dir/sub/page.html?a=1#top", 0, u"/dir/sub", u"page.html", u"a=1", u"top"},
    // Commas in the host become dots; the scheme keeps its case.
    {u"HTTP://www,example,com:8080/x/", false, false, u"HTTP", u"", u"", u"www.example.com", u"8080", u"/x/", 0,
     u"/x", u"", u"", u""},
    // A password may itself hold ":"; a "/" right after the host leaves no directory.
    {u"ftp://user:pa:ss@host/f.txt", false, false, u"ftp", u"user", u"pa:ss", u"host", u"", u"/f.txt", 0, u"",
     u"f.txt", u"", u""},
    // User-info without ":" is all user; a one-character path is not split.
    {u"http://anon@host/", false, false, u"http", u"anon", u"", u"host", u"", u"/", 0, u"", u"", u"", u""},
    // "@" is user-info only when a "/" follows it.
    {u"http://user@host", false, false, u"http", u"", u"", u"user@host", u"", u"", 0, u"", u"", u"", u""},
    {u"http://host/a@b", false, false, u"http", u"", u"", u"host", u"", u"/a@b", 0, u"", u"a@b", u"", u""},
    {u"http://host:81", false, false, u"http", u"", u"", u"host", u"81", u"", 0, u"", u"", u"", u""},
    {u"http://u:p@h,x:9/a/b/c?q", false, false, u"http", u"u", u"p", u"h.x", u"9", u"/a/b/c?q", 0, u"/a/b", u"c",
     u"q", u""},
    // The file scheme takes everything after "://" as the path.
    {u"FILE://C:/dir/x.html", false, true, u"FILE", u"", u"", u"", u"", u"C:/dir/x.html", 0, u"C:/dir", u"x.html",
     u"", u""},
    // Relative texts.
    {u"sub/page.html", true, false, u"http", u"", u"", u"", u"", u"sub/page.html", 0, u"sub", u"page.html", u"", u""},
    {u"../../img/a.png#f", true, false, u"http", u"", u"", u"", u"", u"../../img/a.png#f", 2, u"img", u"a.png", u"",
     u"f"},
    {u"../", true, false, u"http", u"", u"", u"", u"", u"../", 1, u"", u"", u"", u""},
    // ".." without "/" is no level up, nor is one that does not lead the path.
    {u"..x/y", true, false, u"http", u"", u"", u"", u"", u"..x/y", 0, u"..x", u"y", u"", u""},
    {u"..", true, false, u"http", u"", u"", u"", u"", u"..", 0, u"", u"..", u"", u""},
    {u"a/../b", true, false, u"http", u"", u"", u"", u"", u"a/../b", 0, u"a/..", u"b", u"", u""},
    {u"?q=1", true, false, u"http", u"", u"", u"", u"", u"?q=1", 0, u"", u"", u"q=1", u""},
    // A leading "./" is dropped once.
    {u"./doc.html", true, false, u"http", u"", u"", u"", u"", u"doc.html", 0, u"", u"doc.html", u"", u""},
    {u"././doc", true, false, u"http", u"", u"", u"", u"", u"./doc", 0, u".", u"doc", u"", u""},
    {u"x", true, false, u"http", u"", u"", u"", u"", u"x", 0, u"", u"", u"", u""},
    {u"/x", true, false, u"http", u"", u"", u"", u"", u"/x", 0, u"", u"x", u"", u""},
    // The last "/" is looked for in the whole rest, the query included.
    {u"a/b?x=/c", true, false, u"http", u"", u"", u"", u"", u"a/b?x=/c", 0, u"a/b?x=", u"c", u"", u""},
    // Fragment ends at a second "#"; a path without "/" still splits.
    {u"d?q#f1#f2", true, false, u"http", u"", u"", u"", u"", u"d?q#f1#f2", 0, u"", u"d", u"q", u"f1"},
    {u"d#f", true, false, u"http", u"", u"", u"", u"", u"d#f", 0, u"", u"d", u"", u"f"},
    // Nothing left after dropping "./": no field is set.
    {u"./", false, false, u"", u"", u"", u"", u"", u"", 0, u"", u"", u"", u""},
    {u"", false, false, u"", u"", u"", u"", u"", u"", 0, u"", u"", u"", u""},
};

// One parser serves every case, so a field left over from an earlier text
// shows up as a failure.
TEST(JsURLParser, SetURLSplitsIntoFields) {
    TjsURLParser p;
    for (const ParseCase& c : kParseCases) {
        SCOPED_TRACE(U8(c.text));
        p.SetURL(c.text);
        EXPECT_EQ(p.URL, String(c.text));
        EXPECT_FALSE(p.IsMailto);
        EXPECT_FALSE(p.IsJavaScript);
        EXPECT_EQ(p.MailAddress, u"");
        EXPECT_EQ(p.IsRelative, c.relative);
        EXPECT_EQ(p.IsFileScheme, c.fileScheme);
        EXPECT_EQ(U8(p.Protocol), U8(c.protocol));
        EXPECT_EQ(U8(p.User), U8(c.user));
        EXPECT_EQ(U8(p.Password), U8(c.password));
        EXPECT_EQ(U8(p.Host), U8(c.host));
        EXPECT_EQ(U8(p.Port), U8(c.port));
        EXPECT_EQ(U8(p.Path), U8(c.path));
        EXPECT_EQ(p.UpLevels, c.upLevels);
        EXPECT_EQ(U8(p.Directory), U8(c.directory));
        EXPECT_EQ(U8(p.Document), U8(c.document));
        EXPECT_EQ(U8(p.Query), U8(c.query));
        EXPECT_EQ(U8(p.Fragment), U8(c.fragment));
    }
}

TEST(JsURLParser, ParseURLIsTrueExceptForMailAndScript) {
    TjsURLParser p;
    EXPECT_TRUE(p.ParseURL(u"http://host/a"));
    EXPECT_TRUE(p.ParseURL(u"a/b"));
    EXPECT_TRUE(p.ParseURL(u""));
    EXPECT_FALSE(p.ParseURL(u"mailto:x@y"));
    EXPECT_FALSE(p.ParseURL(u"JavaScript:void(0)"));
    // ParseURL alone leaves the path whole.
    EXPECT_TRUE(p.ParseURL(u"../a/b.html"));
    EXPECT_EQ(U8(p.Path), "../a/b.html");
    EXPECT_EQ(p.UpLevels, 0);
    EXPECT_EQ(U8(p.Document), "");
}

// A parser that has just split a full address, so that stale fields show.
class JsURLParserAfterFullAddress : public ::testing::Test {
protected:
    void SetUp() override { p.SetURL(u"https://u:p@host:81/a/../b/c.html?q#f"); }
    TjsURLParser p;
};

TEST_F(JsURLParserAfterFullAddress, MailtoIsNeitherSplitNorRelative) {
    p.SetURL(u"MailTo:someone@example.com/x?y");
    EXPECT_TRUE(p.IsMailto);
    EXPECT_FALSE(p.IsJavaScript);
    EXPECT_FALSE(p.IsRelative);
    EXPECT_EQ(U8(p.Protocol), "mailto");
    EXPECT_EQ(U8(p.MailAddress), "someone@example.com/x?y");
    EXPECT_EQ(U8(p.URL), "MailTo:someone@example.com/x?y");
    EXPECT_EQ(U8(p.Host), "");
    EXPECT_EQ(U8(p.User), "");
    EXPECT_EQ(U8(p.Port), "");
    EXPECT_EQ(U8(p.Path), "");
    EXPECT_EQ(U8(p.Directory), "");
    EXPECT_EQ(U8(p.Document), "");
    EXPECT_EQ(U8(p.Query), "");
    EXPECT_EQ(U8(p.Fragment), "");
    EXPECT_EQ(U8(p.GetBaseURL()), "");
}

TEST_F(JsURLParserAfterFullAddress, JavaScriptIsNeitherSplitNorRelative) {
    p.SetURL(u"javascript:go('../a/b.html?x#y')");
    EXPECT_TRUE(p.IsJavaScript);
    EXPECT_FALSE(p.IsMailto);
    EXPECT_FALSE(p.IsRelative);
    EXPECT_EQ(U8(p.Protocol), "javascript");
    EXPECT_EQ(U8(p.MailAddress), "");
    EXPECT_EQ(U8(p.Host), "");
    EXPECT_EQ(U8(p.Password), "");
    EXPECT_EQ(U8(p.Path), "");
    EXPECT_EQ(p.UpLevels, 0);
    EXPECT_EQ(U8(p.Directory), "");
    EXPECT_EQ(U8(p.Document), "");
    EXPECT_EQ(U8(p.Query), "");
    EXPECT_EQ(U8(p.Fragment), "");
}

TEST_F(JsURLParserAfterFullAddress, SchemeInsideTextWinsOverMailto) {
    // "://" is looked for first, so this is an absolute address.
    p.SetURL(u"mailto:a://b/c");
    EXPECT_FALSE(p.IsMailto);
    EXPECT_EQ(U8(p.Protocol), "mailto:a");
    EXPECT_EQ(U8(p.Host), "b");
    EXPECT_EQ(U8(p.Document), "c");
}

TEST(JsURLParser, TextEndsAtEmbeddedNul) {
    const String text(u"http://host/a/b.html\0/evil?x#y", 30);
    ASSERT_EQ(text.size(), 30u);
    TjsURLParser p;
    p.SetURL(text);
    EXPECT_EQ(U8(p.URL), "http://host/a/b.html");
    EXPECT_EQ(U8(p.Path), "/a/b.html");
    EXPECT_EQ(U8(p.Directory), "/a");
    EXPECT_EQ(U8(p.Document), "b.html");
    EXPECT_EQ(U8(p.Query), "");
    EXPECT_EQ(U8(p.Fragment), "");

    p.SetURL(String(u"x.html\0../y", 11));
    EXPECT_EQ(U8(p.ResolveRelative(String(u"http://host/d/\0junk/", 20))), "http://host/d/x.html");

    // A NUL right at the start leaves an empty text.
    p.SetURL(String(u"\0http://h/", 10));
    EXPECT_EQ(U8(p.URL), "");
    EXPECT_FALSE(p.IsRelative);
    EXPECT_EQ(U8(p.Host), "");
}

// ---------------------------------------------------------------------------
// Base addresses

TEST(JsURLParser, GetBaseURL) {
    const struct {
        const char16_t* text;
        const char* base;
    } cases[] = {
        {u"http://www.example.com/dir/sub/page.html?a=1", "http://www.example.com/dir/sub/"},
        {u"http://host/page.html", "http://host/"},
        {u"http://host", "http://host/"},
        {u"http://host/", "http://host/"},
        {u"https://u:p@host:8443/a/b", "https://u:p@host:8443/a/"},
        // Needs both user and password to keep the user-info.
        {u"http://anon@host/a/", "http://host/a/"},
        {u"http://:pw@host/a/", "http://host/a/"},
        {u"HTTP://www,example,com/x/y", "HTTP://www.example.com/x/"},
        // The file scheme has no host; its directory does not start with "/".
        {u"file://C:/dir/x.html", "file:///C:/dir"},
        {u"file://x.html", "file:///"},
        // No host: no base.
        {u"http:///a/", ""},
        {u"http://:80/a/", ""},
        {u"sub/page.html", ""},
        {u"/root/page.html", ""},
        {u"", ""},
    };
    TjsURLParser p;
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.text));
        p.SetURL(c.text);
        EXPECT_EQ(U8(p.GetBaseURL()), c.base);
    }
}

// ---------------------------------------------------------------------------
// Resolution of relative locations

struct ResolveCase {
    const char16_t* base;
    const char16_t* location;
    const char* expected;
};

const ResolveCase kResolveCases[] = {
    // Climbing: two levels against two and against one directory; the climb
    // never leaves the host.
    {u"http://host/a/b/", u"../../doc.html", "http://host/doc.html"},
    {u"http://host/a/", u"../../doc.html", "http://host/doc.html"},
    {u"http://host/a/b/", u"../../../x", "http://host/x"},
    {u"http://host/", u"../x", "http://host/x"},
    {u"http://host", u"../x", "http://host/x"},
    {u"http://host/a/b/", u"../doc.html", "http://host/a/doc.html"},
    {u"http://host/a/b/", u"../img/x.png?s=1#t", "http://host/a/img/x.png?s=1#t"},
    {u"https://host/a/b/", u"../../x", "https://host/x"},
    {u"https://host/a/", u"../../x", "https://host/x"},
    {u"http://a/b/", u"../x", "http://a/x"},
    {u"http://host:8080/a/", u"../x", "http://host:8080/x"},
    {u"http://host/a/b", u"../x", "http://host/a/x"},
    {u"http://host/a/b/", u"../", "http://host/a"},
    // Root-relative: the base keeps only scheme and host.
    {u"http://host/dir/sub/", u"/x", "http://host/x"},
    {u"http://host:81/dir/", u"/x/y.html?z", "http://host:81/x/y.html?z"},
    {u"http://host", u"/x", "http://host/x"},
    {u"http://host/dir/", u"/", "http://host"},
    // Names against the base directory.
    {u"http://host/dir/", u"doc.html", "http://host/dir/doc.html"},
    {u"http://host/dir/", u"./doc.html", "http://host/dir/doc.html"},
    {u"http://host/dir/", u"sub/doc.html#f", "http://host/dir/sub/doc.html#f"},
    {u"http://host/dir/", u"?q=1", "http://host/dir?q=1"},
    {u"http://host/dir/", u"#frag", "http://host/dir#frag"},
    {u"http://host/dir/", u"x", "http://host/dir"},
    {u"http://host/dir/", u"..x/y", "http://host/dir/..x/y"},
    {u"http://host/dir/", u"..", "http://host/dir/.."},
    {u"http://host/dir", u"doc", "http://host/dir/doc"},
    // Nothing to resolve against.
    {u"", u"doc.html", ""},
    {u"", u"../../x", ""},
    {u"", u"/x", ""},
};

TEST(JsURLParser, ResolveRelative) {
    TjsURLParser p;
    for (const ResolveCase& c : kResolveCases) {
        SCOPED_TRACE(U8(c.base) + " + " + U8(c.location));
        p.SetURL(c.location);
        ASSERT_TRUE(p.IsRelative);
        EXPECT_EQ(U8(p.ResolveRelative(c.base)), c.expected);
    }
}

// How the fetch thread uses the parser: base of the page, then the redirect.
TEST(JsURLParser, RedirectAgainstBaseOfPage) {
    TjsURLParser page;
    page.SetURL(u"http://www.example.com/a/b/index.html?x=1");
    const String base = page.GetBaseURL();
    EXPECT_EQ(U8(base), "http://www.example.com/a/b/");

    TjsURLParser loc;
    loc.SetURL(u"../../top.html");
    EXPECT_EQ(U8(loc.ResolveRelative(base)), "http://www.example.com/top.html");
    loc.SetURL(u"../c/d.html");
    EXPECT_EQ(U8(loc.ResolveRelative(base)), "http://www.example.com/a/c/d.html");
    loc.SetURL(u"e.html");
    EXPECT_EQ(U8(loc.ResolveRelative(base)), "http://www.example.com/a/b/e.html");
}

// ---------------------------------------------------------------------------
// Text routines

TEST(JsURLParserText, CopyFromPChar) {
    EXPECT_EQ(U8(CopyFromPChar(u"abc", 2)), "ab");
    EXPECT_EQ(U8(CopyFromPChar(u"abc", 3)), "abc");
    EXPECT_EQ(U8(CopyFromPChar(u"abc", 10)), "abc");
    EXPECT_EQ(U8(CopyFromPChar(u"ab\0cd", 5)), "ab");
    EXPECT_EQ(U8(CopyFromPChar(u"abc", 0)), "");
    EXPECT_EQ(U8(CopyFromPChar(u"abc", -1)), "");
    EXPECT_EQ(U8(CopyFromPChar(nullptr, 3)), "");
}

TEST(JsURLParserText, ReplaceChar) {
    EXPECT_EQ(U8(ReplaceChar(u"a,b,,c,", u',', u'.')), "a.b..c.");
    EXPECT_EQ(U8(ReplaceChar(u"abc", u',', u'.')), "abc");
    EXPECT_EQ(U8(ReplaceChar(u"", u',', u'.')), "");
    EXPECT_EQ(U8(ReplaceChar(String(u"a,\0,b", 5), u',', u'.')), "a.");
}

}  // namespace
