// The one build of stb_image in the program: JPEG, PNG and GIF from memory
// (no files, no HDR), images of at most 65536 pixels a side. Include this
// instead of <stb_image.h>; the decoder itself is compiled in StbImage.cpp.
#pragma once

#include <stb_image.h>

#include <cstddef>

// This build of stb_image trusts the code counts of a JPEG's Huffman tables:
// a table whose sixteen counts add up to more than 256 makes it write past
// the arrays of its decoder. True unless the data is a JPEG with such a table
// anywhere in it (between scans too).
bool JpegHuffmanTablesFit(const stbi_uc* Data, std::size_t Size);

// stbi_info_from_memory and stbi_load_from_memory for data that may come
// from outside: a JPEG whose Huffman tables do not fit fails with the reason
// "bad DHT header" before stb_image sees it. Use these, not the stb calls.
int StbInfoFromMemory(const stbi_uc* Data, int Length, int* Width, int* Height, int* Channels);
stbi_uc* StbLoadFromMemory(const stbi_uc* Data, int Length, int* Width, int* Height, int* Channels, int Wanted);
