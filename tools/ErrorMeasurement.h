#pragma once
// "Fehler?": how far the main picture lies from the file it was opened from.
#include "blac/Frontend.h"

namespace tesora {

// Reloads the opened file into the reduced picture (a failure propagates with nothing
// changed), then shows the mean absolute difference of the red bytes of the two
// pictures over PictureWidth x PictureHeight in Label::Fehler. Returns that mean.
//
// When the file has changed its size since it was opened, only the pixels that lie in
// the PictureWidth x PictureHeight area, in the main picture and in the reloaded picture
// are compared, and the mean is taken over those pixels: the error of what can be
// compared, never a read outside either picture. No such pixel at all gives 0.
double MeasureError(Frontend& frontend);

}  // namespace tesora
