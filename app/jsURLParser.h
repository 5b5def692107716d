// Address parser of the page viewer: splits an address into its parts, builds
// the base address of an absolute address and turns a relative redirect
// location into an absolute address against such a base.
//
// Works on UTF-16 characters; every text ends at its first NUL character.
// Portable: no Windows header.
#pragma once

#include "System.h"

class TjsURLParser : public TObject {
public:
    KES_CLASS_NAME(TjsURLParser)

    bool IsMailto = false;       // the text began with "mailto:" (any case)
    String MailAddress;          // what follows "mailto:"
    bool IsJavaScript = false;   // the text began with "javascript:" (any case)
    bool IsRelative = false;     // no "://", and neither a mail nor a script address
    bool IsFileScheme = false;   // the scheme, lower-cased, is "file"
    String Protocol;             // scheme as written; "http" for a relative text
    String User;                 // from "user:password@" in front of the host
    String Password;
    String Host;                 // every "," replaced by "."
    String Port;                 // the text after the host's ":"
    String Path;                 // from the "/" after host and port; the whole relative text
    Integer UpLevels = 0;        // leading "../" groups of Path
    String Directory;            // Path (after those groups) up to its last "/", without it
    String Document;             // after the last "/" up to "?", "#" or the end
    String Query;                // after "?" up to "#" or the end
    String Fragment;             // after "#" up to a further "#" or the end
    String URL;                  // the text given to ParseURL

    // ParseURL, then SplitPath when the text is neither a mail nor a script
    // address.
    void SetURL(const String& Text);
    // Fills the fields up to Path from Text (a leading "./" is dropped once)
    // and clears the others. False for "mailto:" and "javascript:" texts.
    bool ParseURL(const String& Text);
    // Splits Path into UpLevels, Directory, Document, Query and Fragment. A
    // Path of at most one character is left whole. The last "/" is looked for
    // in the whole rest, so a "/" inside the query splits there.
    void SplitPath();
    // Scheme, user-info (only when both user and password are given), host,
    // port and directory of an absolute address, with a closing "/" when the
    // directory comes from an absolute path. Empty when there is no host (a
    // relative text, a mail or a script address), except for "file" addresses.
    String GetBaseURL() const;
    // The absolute address of the parsed relative text against Base (as made
    // by GetBaseURL). Leading "../" groups climb Base's directories but never
    // above its host. An empty Base gives the empty text.
    String ResolveRelative(const String& Base) const;
};

// The first N characters of the NUL-terminated text P, fewer when it ends
// earlier. A null P or an N of 0 or less gives the empty text.
String CopyFromPChar(const Char* P, Integer N);

// A copy of S (up to its first NUL) with every From replaced by To.
String ReplaceChar(const String& S, Char From, Char To);
