#include "blac/State.h"

namespace tesora {

double Delta = 0.0;
double Epsilon = 5.0;
std::int32_t CurrentLevel = 8;
std::int32_t PictureLevel = 8;
double Schranke = 50.0;
std::int32_t PictureWidth = 0;
std::int32_t PictureHeight = 0;

void ResetState() {
    Delta = 0.0;
    Epsilon = 5.0;
    CurrentLevel = 8;
    PictureLevel = 8;
    Schranke = 50.0;
    PictureWidth = 0;
    PictureHeight = 0;
}

}  // namespace tesora
