#pragma once
// The toolkit-free part of opening a picture: its level and its values in CoeffMatrix.
#include <string>

#include "blac/Frontend.h"
#include "mra/Values.h"

namespace tesora {

// Smallest L >= 1 with 2^L + 1 >= PictureWidth.
int FindPictureLevel();

// Smallest L >= 1 with 2^L + 1 >= width (at most 11).
int LevelForWidth(int width);

// The kernel of ReadColourValues: element (i, j) of M, 1-based, i, j <= N, becomes the
// red byte of pixel (i-1, j-1) inside width x height, else 0; the rest of M is cleared.
void ReadRedValues(const PictureSurface& picture, int width, int height, int N, const MatrixView& M);

// Copies the red byte of every pixel of the main picture into the block of level
// CurrentLevel (element (i, j) = pixel x = i-1, y = j-1), zeros beyond the picture, and
// clears the rest of CoeffMatrix so no earlier picture survives there. Throws Error for
// a level beyond the working matrix.
void ReadColourValues(Frontend& frontend);

// The whole of "Öffnen" after the caller has decoded and checked the file and shown it
// in Bild() and Reduced(): the picture's size, its level, the track bar, the colour
// values, the caption, the labels and the enabled controls, in the window's order.
void OpenLoadedPicture(Frontend& frontend, const std::string& fileName);

}  // namespace tesora
