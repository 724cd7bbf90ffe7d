#pragma once

#include <cmath>

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
inline double roundHalfEven(double x)
{
    return std::nearbyint(x); // the default floating-point rounding mode is to-nearest-even
}
