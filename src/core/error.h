// The one error type of Velmora. Every failure that reaches the user is a VError carrying the
// runtime's German message; handlers catch it at their edge and show it in the error box.
#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

class VError : public std::runtime_error {
 public:
  explicit VError(const std::string& message) : std::runtime_error(message) {}

  // "'<text>' ist kein gültiger Integerwert"
  static VError NotAnInteger(const std::string& text);
  // "'<text>' ist kein gültiger Gleitkommawert"
  static VError NotAFloat(const std::string& text);
  static VError DivisionByZero();         // integer division by zero
  static VError FloatDivisionByZero();    // x / 0 with x != 0
  static VError InvalidFloatOperation();  // 0 / 0 and other invalid operations
  // "Listenindex überschreitet das Maximum (<index>)"
  static VError ListIndex(long long index);
  // A picture file that is missing or cannot be read.
  static VError CannotOpenFile(const std::string& path);
  static VError OutOfMemory();
};

// Floating-point division that never yields inf or NaN: division by zero raises
// "Gleitkommadivision durch Null", 0 / 0 raises "Ungültige Gleitkommaoperation".
long double CheckedFloatDiv(long double a, long double b);

// Integer remainder with the sign of the dividend; a zero divisor raises "Division durch Null".
long long CheckedMod(long long a, long long b);

// The text the error box shows for a message: "." is appended when the message's last
// character sorts after "." (letters and digits do; ")", "." and a blank do not).
std::string ErrorBoxText(const std::string& message);

}  // namespace velmora
