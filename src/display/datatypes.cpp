#include "display/datatypes.h"

float DegToRad(float X)
{
    // pi at extended precision, as the angle conversion has always used
    constexpr long double Pi = 3.141592653589793238462643383279502884L;
    return static_cast<float>(Pi * static_cast<long double>(X) / 180.0L);
}
