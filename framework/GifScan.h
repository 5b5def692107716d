// The walk over a GIF file's block structure that runs before the GIF
// decoder: the logical screen size, the frame count and the repeat count,
// and the one repair the decoder needs. Portable: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "System.h"

struct TGifLayout {
    int Width = 0;
    int Height = 0;
    std::uint64_t Frames = 0;
    Integer LoopCount = -1;   // -1: none given, 0: forever
};

// Walks the block structure of a GIF the way the decoder reads it (stopping
// quietly where it breaks off; the decoder reports that) to count the frames
// and find the repeat count. The count is never below the number of frames
// the decoder gives: an image descriptor cut off by the end counts as well. Frames that ask to be restored to the previous
// image are changed in Data to "restore to background": the decoder treats
// the latter as a return to the image before the frame, which is what the
// former means, while its own handling of the former reads outside its
// buffer. So that no such frame escapes, the walk follows the decoder's
// reading exactly, including its way with control blocks of another size
// than 4 (it skips that one block and reads the next byte as a new tag).
// Data need not start with a GIF signature; fewer than 13 bytes give an
// empty layout.
TGifLayout ScanGif(std::uint8_t* Data, std::size_t Size);
