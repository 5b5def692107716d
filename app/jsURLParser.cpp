// Address parser of the page viewer.
#include "jsURLParser.h"

#include <cstddef>

#include "SysUtils.h"

namespace {

constexpr std::size_t npos = StringView::npos;

// The text up to its first NUL character.
StringView UpToNul(const String& s) {
    const StringView v(s);
    return v.substr(0, v.find(u'\0'));
}

bool StartsWithText(StringView text, StringView prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// While climbing, a "/" at one of these first positions of the base belongs
// to the scheme's "://".
constexpr std::ptrdiff_t kSchemeArea = 8;

}  // namespace

String CopyFromPChar(const Char* P, Integer N) {
    String result;
    if (P == nullptr) return result;
    for (Integer i = 0; i < N && P[i] != u'\0'; ++i) result.push_back(P[i]);
    return result;
}

String ReplaceChar(const String& S, Char From, Char To) {
    String result(UpToNul(S));
    for (Char& c : result)
        if (c == From) c = To;
    return result;
}

void TjsURLParser::SetURL(const String& Text) {
    if (ParseURL(Text)) SplitPath();
}

bool TjsURLParser::ParseURL(const String& Text) {
    StringView text = UpToNul(Text);
    URL = String(text);
    if (text.size() > 1 && text[0] == u'.' && text[1] == u'/') text.remove_prefix(2);

    IsMailto = false;
    MailAddress.clear();
    IsJavaScript = false;
    IsRelative = false;
    IsFileScheme = false;
    Protocol.clear();
    User.clear();
    Password.clear();
    Host.clear();
    Port.clear();
    Path.clear();
    UpLevels = 0;
    Directory.clear();
    Document.clear();
    Query.clear();
    Fragment.clear();

    if (text.empty()) return true;

    const std::size_t schemeEnd = text.find(u"://");
    if (schemeEnd != npos) {
        Protocol = String(text.substr(0, schemeEnd));
        IsFileScheme = LowerCase(Protocol) == u"file";
        StringView rest = text.substr(schemeEnd + 3);
        if (IsFileScheme) {
            Path = String(rest);
            return true;
        }

        const std::size_t at = rest.find(u'@');
        const std::size_t slash = rest.find(u'/');
        if (at != npos && slash != npos && at < slash) {
            const StringView userInfo = rest.substr(0, at);
            const std::size_t colon = userInfo.find(u':');
            User = String(userInfo.substr(0, colon));
            if (colon != npos) Password = String(userInfo.substr(colon + 1));
            rest.remove_prefix(at + 1);
        }

        const std::size_t hostEnd = rest.find_first_of(u"/:");
        Host = ReplaceChar(String(rest.substr(0, hostEnd)), u',', u'.');
        if (hostEnd == npos) return true;
        rest.remove_prefix(hostEnd);

        if (rest.front() == u':') {
            rest.remove_prefix(1);
            const std::size_t portEnd = rest.find(u'/');
            Port = String(rest.substr(0, portEnd));
            if (portEnd == npos) return true;
            rest.remove_prefix(portEnd);
        }
        Path = String(rest);
        return true;
    }

    if (StartsWithText(text, u"mailto:")) {
        IsMailto = true;
        Protocol = u"mailto";
        MailAddress = String(text.substr(7));
        return false;
    }
    if (StartsWithText(text, u"javascript:")) {
        IsJavaScript = true;
        Protocol = u"javascript";
        return false;
    }
    Protocol = u"http";
    IsRelative = true;
    Path = String(text);
    return true;
}

void TjsURLParser::SplitPath() {
    Directory.clear();
    Document.clear();
    Query.clear();
    Fragment.clear();
    UpLevels = 0;
    if (Path.size() <= 1) return;

    StringView rest(Path);
    if (rest.find(u'/') != npos) {
        while (rest.size() >= 3 && rest.substr(0, 3) == u"../") {
            ++UpLevels;
            rest.remove_prefix(3);
        }
        const std::size_t lastSlash = rest.rfind(u'/');
        if (lastSlash != npos) {
            Directory = String(rest.substr(0, lastSlash));
            rest.remove_prefix(lastSlash + 1);
        }
    }

    const std::size_t documentEnd = rest.find_first_of(u"?#");
    Document = String(rest.substr(0, documentEnd));
    if (documentEnd == npos) return;
    rest.remove_prefix(documentEnd);

    if (rest.front() == u'?') {
        rest.remove_prefix(1);
        const std::size_t queryEnd = rest.find(u'#');
        Query = String(rest.substr(0, queryEnd));
        if (queryEnd == npos) return;
        rest.remove_prefix(queryEnd);
    }
    // rest starts with the "#" of the fragment.
    rest.remove_prefix(1);
    Fragment = String(rest.substr(0, rest.find(u'#')));
}

String TjsURLParser::GetBaseURL() const {
    String result = Protocol + u"://";
    if (!User.empty() && !Password.empty()) result += User + u":" + Password + u"@";
    if (!IsFileScheme) {
        if (Host.empty()) return String();
        result += Host;
    }
    if (!Port.empty()) result += u":" + Port;
    if (Directory.empty())
        result += u"/";
    else if (Directory.front() == u'/')
        result += Directory + u"/";
    else
        result += u"/" + Directory;
    return result;
}

String TjsURLParser::ResolveRelative(const String& Base) const {
    const StringView base = UpToNul(Base);
    if (base.empty()) return String();

    String result;
    if (UpLevels > 0) {
        // i walks back through base; cut is where the result ends.
        std::ptrdiff_t i = static_cast<std::ptrdiff_t>(base.size()) - 1;
        if (base[static_cast<std::size_t>(i)] == u'/') --i;
        std::size_t cut = base.size();
        for (Integer level = 1; level <= UpLevels; ++level) {
            while (i >= 0 && base[static_cast<std::size_t>(i)] != u'/') --i;
            if (i < kSchemeArea) {
                // Reached the "://" (or found no "/" at all): the result ends
                // after the host.
                const std::size_t hostEnd = base.find(u'/', static_cast<std::size_t>(i + 1));
                cut = hostEnd == npos ? base.size() : hostEnd;
                break;
            }
            cut = static_cast<std::size_t>(i);
            if (level < UpLevels) --i;
        }
        result = String(base.substr(0, cut));
        if (!Directory.empty()) result += u"/" + Directory;
    } else if ((!Directory.empty() && Directory.front() == u'/') ||
               (Directory.empty() && !URL.empty() && URL.front() == u'/')) {
        // Root-relative: keep the scheme and host of base. A base without
        // "://" is searched from its start.
        const std::size_t schemeEnd = base.find(u"://");
        const std::size_t hostStart = schemeEnd == npos ? 0 : schemeEnd + 3;
        const std::size_t hostEnd = base.find(u'/', hostStart);
        result = String(base.substr(0, hostEnd)) + Directory;
    } else if (!Directory.empty()) {
        result = String(base) + Directory;
    } else {
        result = String(base);
        if (result.back() == u'/') result.pop_back();
    }

    if (!Document.empty()) result += u"/" + Document;
    if (!Query.empty()) result += u"?" + Query;
    if (!Fragment.empty()) result += u"#" + Fragment;
    return result;
}
