// Gradients of skin sections: the gradient text of the keys GRADIENTDATA and
// HOTGRADIENTDATA parsed into pieces. Portable: no Windows header.
#pragma once

#include "sConst.h"

// Parses a gradient text into Arr (emptied first). The text is a list of
// tokens separated by ';' (runs of ';' count as one); every five tokens make
// one piece: Color1; Color2; Percent; Mode; an unused fifth. Leftover tokens
// that do not fill a piece are ignored. Colours below 0 become 0, Percent is
// clamped to 0..100. A token that is read and is not a decimal integer raises
// EConvertError; Arr is left empty then.
void PrepareGradientArray(const String& Data, TsGradArray& Arr);
