// Picture size readers: decide from a file's first bytes whether it is a
// JPEG, PNG or GIF picture and read its width and height without decoding it.
// Portable: no Windows header.
#pragma once

#include "Classes.h"
#include "System.h"

// Set by every reader: above 0 when the reader recognised its format, 0
// otherwise. Read it after each call.
extern Integer ImageSizeResult;

// Walks the JPEG markers up to the first baseline or extended sequential frame
// header (C0, C1) and takes its size. Width and Height change only when such a
// frame header is reached; a JPEG with another kind of frame (progressive, for
// one) is still recognised and keeps the size passed in. A file that cannot be
// opened raises EFOpenError.
void GetJPGSize(const String& FileName, Word& Width, Word& Height);

// Takes the low 16 bits of the width and height of the IHDR chunk (a side of
// 65536 or more comes out modulo 65536). Width and Height change only for a
// file with the PNG signature. A file that cannot be opened raises EFOpenError.
void GetPNGSize(const String& FileName, Word& Width, Word& Height);

// Sets Width and Height to 0, then takes the size of the first image
// descriptor: the first 2C byte after the global colour table is taken as the
// image separator (extension blocks are not walked). A GIF without an image
// descriptor is recognised as 0 x 0. Never raises: any I/O failure, including
// a file that cannot be opened, gives ImageSizeResult 0.
void GetGIFSize(const String& FileName, Word& Width, Word& Height);

// Reads a big-endian 16-bit value (first byte high). On a short read the bytes
// not read count as 0: one byte b left gives b * 256, none gives 0.
Word ReadMWord(TStream& stream);
