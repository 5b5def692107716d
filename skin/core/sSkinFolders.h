// Finding skins: the skin directory made absolute, the skins a directory
// holds, and the names a skin choice may take. Portable.
#pragma once

#include "Classes.h"
#include "Strings.h"

enum class TacSkinTypes { stUnpacked = 0, stPacked = 1, stAllSkins = 2 };

// The skin directory made absolute against the program's folder (which ends
// with a separator): "..\x" climbs one level, ".\x" and "./x" and a plain
// relative name are taken inside the program's folder; a text with ":" or
// "\\" is used as it stands. No separator is added at the end.
String ResolveSkinDirectory(const String& Directory, const String& ProgramFolder);
// Names of the skins in a folder: sub-folders holding "Options.dat" and files
// ending in ".asz" in any letter case (the name without that ending); names
// beginning with "." are skipped. Sorted without regard to case; duplicates
// stay.
void ListSkinNames(const String& FullDirectory, TacSkinTypes SkinType, TStrings& Names);
// The name with a final ".asz" (any letter case) cut, when it is longer than
// that ending; otherwise unchanged.
String CutPackedExtension(const String& Name);
// The directory with one closing "\" (kept when it ends in "\" or "/").
String WithClosingSeparator(const String& Directory);
// A skin name that names no path: not empty, no "\", "/" or ":", and not
// ".." or containing "..".
bool IsPlainSkinName(StringView Name);
