// Float to integer conversion rules of the runtime.
#pragma once

#include <cstdint>

namespace velmora {

// Nearest integer, halves to the even neighbour (-1.5 -> -2, 0.5 -> 0, 2.5 -> 2).
// A value outside the 64-bit range (or NaN) raises "Ungültige Gleitkommaoperation".
int64_t RoundHalfEven(long double value);

// As RoundHalfEven, for results that must fit a signed 32-bit integer; a value outside that
// range raises "Ungültige Gleitkommaoperation" as well.
int32_t RoundHalfEven32(long double value);

// Truncation toward zero with the same range rule.
int64_t TruncToInt64(long double value);

// Whether an extended value is a finite double exactly, so that double arithmetic on it starts
// from the same number.
bool HeldAsDouble(long double value);

}  // namespace velmora
