#pragma once
// The program's shared state: the values every handler reads and writes by name.
// Module-level on purpose: handlers talk to each other only through these.
#include <cstdint>

namespace tesora {

extern double Delta;               // blending parameter of the wavelets, 0 ... 1
extern double Epsilon;             // details below it are removed by "Reduce"
extern std::int32_t CurrentLevel;  // level the coefficient matrix stands at
extern std::int32_t PictureLevel;  // level of the loaded picture
extern double Schranke;            // bound of the Delta proposal
extern std::int32_t PictureWidth;  // size of the loaded picture, 0 before a load
extern std::int32_t PictureHeight;

// Back to the values of a fresh start (tests and the command-line tool use it).
void ResetState();

}  // namespace tesora
