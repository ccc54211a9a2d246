// Decimal text of single-precision values with '.' as separator, whatever the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes v rounded once, at `precision` significant digits or at the 6th decimal (whichever comes first), in
// fixed notation with exactly 6 decimals. A value with more than `precision` digits before the point is written
// as its rounded significant digits without trailing zeros, "d.ddd" + "E" + exponent (no sign, no leading
// zeros). Infinities give INF / -INF, NaN gives NAN; a value that rounds to zero has no sign.
// `out` needs room for 48 characters; the result is the number written (no terminating zero).
size_t FormatFixed6(char* out, float v, int precision);
std::string FormatFixed6(float v, int precision);
// Unsigned decimal digits of v (room for 20 characters); returns the count.
size_t PutUInt(char* out, uint64_t v);

// OBJ numbers: 7 significant digits.
inline std::string FormatObjFloat(float v) { return FormatFixed6(v, 7); }
// Listing numbers: 6 significant digits.
inline std::string FormatListingFloat(float v) { return FormatFixed6(v, 6); }
