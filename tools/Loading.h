#pragma once
// The toolkit-free part of opening a picture: its level and its values in CoeffMatrix.
#include "blac/Frontend.h"

namespace tesora {

// Smallest L >= 1 with 2^L + 1 >= PictureWidth.
int FindPictureLevel();

// Copies the red byte of every pixel of the main picture into the block of level
// CurrentLevel (element (i, j) = pixel x = i-1, y = j-1), zeros beyond the picture, and
// clears the rest of CoeffMatrix so no earlier picture survives there. Throws Error for
// a level beyond the working matrix.
void ReadColourValues(Frontend& frontend);

}  // namespace tesora
