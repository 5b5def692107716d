// The utility routines of the skin engine that need the system: settings and
// version checks, published-property access by name, waiting while the
// application's messages run, the error box, files and paths, and the unit's
// start-up (two optional kernel32 entry points and the flag for 32-bit
// programs on 64-bit Windows without desktop composition).
#pragma once

#include "Messages.h"
#include "acUtils.h"

class TBitmap;

// ---------------------------------------------------------------------------
// Unit state

// Set at start-up when the program runs as a 32-bit process on 64-bit
// Windows and desktop composition is off: the glow and extended shadow
// effects stay off then.
extern bool Wow64WithoutComposition;
// Asked at start-up whether desktop composition is on; by default
// DwmIsCompositionEnabled (False when dwmapi is missing). Replaceable.
extern bool (*AeroEnabledQuery)();
// How start-up finds IsWow64Process in kernel32: by default its exported
// entry point (nullptr when kernel32 has none). Replaceable.
using TIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
extern TIsWow64Process (*Wow64EntryPointQuery)(HMODULE Kernel32);

// The shared bitmap, freed at shut-down when it exists.
extern TBitmap* SharedBitmap;

void acUtilsInitialization();
void acUtilsFinalization();

// ---------------------------------------------------------------------------
// System

// lfHeight of the caption font of the non-client metrics; 0 when the query fails.
Integer CaptionFontHeight();
// A font made from that caption font (the caller deletes it); 0 when the query fails.
HFONT CreateCaptionFont();
void MakeMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT Result, TMessage& M);
// The system's minimize and restore animation.
bool SysAnimationEnabled();
void SetSysAnimation(bool Value);   // not broadcast
// Windows newer than 5.0.
bool IsWinXPOrLater();
// IsDebuggerPresent; True when the entry point is missing.
bool IsDebugged();
// IsWow64Process of this process; False when missing or failing.
bool RunsUnderWow64();

// The engine's message box with Text, the error type and an OK button,
// titled with the program's title (the application's).
void ShowError(const String& Text);
// Runs the application's messages until Ms milliseconds have passed, sleeping
// while the queue is empty.
void WaitProcessing(Cardinal Ms);

// ---------------------------------------------------------------------------
// Published properties by name (over the framework's property registry)

bool HasPublishedProp(TObject* Control, const String& Name);
// The object value of the property; nullptr when absent or not an object.
TObject* GetObjPropByName(TObject* Control, const String& Name);
// The set property contains the element named; False when either is unknown.
bool PropSetContains(TObject* Control, const String& PropName, const String& ElementName);
// Adds or removes the element; nothing happens when either is unknown.
void ChangeSetProp(TObject* Control, const String& PropName, const String& ElementName, bool Add);
// The ordinal value; -1 when absent.
Integer GetOrdPropByName(TObject* Control, const String& Name);
// Sets an ordinal property; nothing happens when it is absent or read-only.
void SetOrdPropByName(TObject* Control, const String& Name, Integer Value);

// ---------------------------------------------------------------------------
// Files and paths

// File attributes for the search.
constexpr Cardinal faReadOnly = 0x01;
constexpr Cardinal faHidden = 0x02;
constexpr Cardinal faSysFile = 0x04;
constexpr Cardinal faDirectory = 0x10;
constexpr Cardinal faArchive = 0x20;
constexpr Cardinal faAnyFile = 0x3F;

struct TSearchRec {
    String Name;
    Int64 Size = 0;
    Cardinal Attr = 0;
    // Internal.
    Cardinal ExcludeAttr = 0;
    HANDLE FindHandle = INVALID_HANDLE_VALUE;
};

// Finds files matching Path ("C:\Skins\*.asz"); entries with the hidden,
// system or directory attribute are skipped unless Attr asks for them.
// Answers 0 when an entry was found, else the system's error code.
// FileFindClose must follow a successful FileFindFirst.
Integer FileFindFirst(const String& Path, Cardinal Attr, TSearchRec& F);
Integer FileFindNext(TSearchRec& F);
void FileFindClose(TSearchRec& F);

// The running program's directory with its final '\'.
String GetAppDir();
// The shell's icon of an existing file (SHGetFileInfo with SHGFI_ICON added
// to Flags); the caller destroys it. nullptr when the file is missing or the
// shell gives none.
HICON GetFileIcon(const String& FileName, UINT Flags);
