// Text <-> number conversions used for the edit boxes and value labels.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The decimal separator of the user's locale. The application sets it from the system locale
// at start-up; tests set it directly. Defaults to '.'.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// A signed 32-bit decimal integer: leading blanks, an optional sign, at least one digit and
// nothing after. Anything else (an empty text, trailing characters, a value out of range)
// raises "'<text>' ist kein gültiger Integerwert".
int32_t StrToInt(const std::string& text);

// A floating-point number with the locale's decimal separator: optional blanks around it, an
// optional sign, digits with at most one separator, an optional exponent "E"/"e" with an
// optional sign and digits. Raises "'<text>' ist kein gültiger Gleitkommawert" otherwise.
long double StrToFloat(const std::string& text);

// As StrToFloat, held as single precision; a value beyond the single-precision range is
// refused as not a valid number.
float StrToSingle(const std::string& text);

// The general number format: at most 15 significant digits, no trailing zeros, no separator
// for whole numbers, the locale's separator otherwise; scientific ("1E-5") for very small or
// very large magnitudes.
std::string FloatToStr(double value);

}  // namespace velmora
