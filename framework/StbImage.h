// The one build of stb_image in the program: JPEG, PNG and GIF from memory
// (no files, no HDR), images of at most 65536 pixels a side. Include this
// instead of <stb_image.h>; the decoder itself is compiled in StbImage.cpp.
#pragma once

#include <stb_image.h>
