// The one build of stb_image in the program: JPEG, PNG and GIF from memory
// (no files, no HDR), images of at most 65536 pixels a side. Include this
// instead of <stb_image.h>; the decoder itself is compiled in StbImage.cpp,
// from the patched copy of the header in third_party/stb (its reader of
// entropy-coded data no longer runs its bit count below zero).
#pragma once

#include <stb_image.h>

#include <cstddef>

// This build of stb_image trusts a JPEG's Huffman tables: a table whose
// sixteen counts add up to more than 256 makes it write past the arrays of
// its decoder, and a scan that uses a table no DHT segment defined before it
// makes it decode with uninitialised memory. The reason such a JPEG is
// refused ("bad DHT header", "undefined Huffman table"), or nullptr for any
// other data (tables between scans are checked too).
const char* JpegHuffmanFault(const stbi_uc* Data, std::size_t Size);
inline bool JpegHuffmanTablesFit(const stbi_uc* Data, std::size_t Size) { return !JpegHuffmanFault(Data, Size); }

// This build of stb_image makes room for a PNG's image data chunk as large as
// the chunk's length says before it reads the chunk, so a file of a few
// hundred bytes can make it reserve two gigabytes. The reason a PNG with a
// chunk that runs past the end of the data is refused ("chunk runs past the
// end"; the decoder fails on such a file anyway), or nullptr for any other
// data. Chunks after the end chunk are not looked at.
const char* PngChunkFault(const stbi_uc* Data, std::size_t Size);

// stbi_info_from_memory and stbi_load_from_memory for data that may come
// from outside: a JPEG whose Huffman tables are unsound fails with the reason
// above before stb_image sees it, and loading a PNG fails the same way when
// its chunks run past the end. Use these, not the stb calls.
int StbInfoFromMemory(const stbi_uc* Data, int Length, int* Width, int* Height, int* Channels);
stbi_uc* StbLoadFromMemory(const stbi_uc* Data, int Length, int* Width, int* Height, int* Channels, int Wanted);
// StbLoadFromMemory for an image of at most MaxPixels pixels, the data
// checked once: *Width and *Height answer the size in the header whenever it
// could be read, and a larger image fails ("image too large") undecoded.
stbi_uc* StbLoadFromMemoryUpTo(const stbi_uc* Data, int Length, unsigned long long MaxPixels, int* Width, int* Height,
                               int* Channels, int Wanted);
