// How the page viewer turns received page bytes into the text it shows.
// Portable, so that the fuzz targets reach it too.
#pragma once

#include "System.h"

// Turns raw page text (one character per byte, read through the ANSI code
// page) into the text to show: the bytes are decoded as UTF-8, optionally
// after converting them from Windows-1251 to UTF-8.
String RenderPageText(const String& Raw, bool ConvertFrom1251);
