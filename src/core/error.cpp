#include "core/error.h"

#include <cmath>

namespace velmora {

VError VError::NotAnInteger(const std::string& text) {
  return VError("'" + text + "' ist kein gültiger Integerwert");
}

VError VError::NotAFloat(const std::string& text) {
  return VError("'" + text + "' ist kein gültiger Gleitkommawert");
}

VError VError::DivisionByZero() {
  return VError("Division durch Null");
}

VError VError::FloatDivisionByZero() {
  return VError("Gleitkommadivision durch Null");
}

VError VError::InvalidFloatOperation() {
  return VError("Ungültige Gleitkommaoperation");
}

VError VError::ListIndex(long long index) {
  return VError("Listenindex überschreitet das Maximum (" + std::to_string(index) + ")");
}

VError VError::CannotOpenFile(const std::string& path) {
  return VError("Datei \"" + path + "\" kann nicht geöffnet werden");
}

VError VError::OutOfMemory() {
  return VError("Zu wenig Arbeitsspeicher");
}

long double CheckedFloatDiv(long double a, long double b) {
  if (std::isnan(a) || std::isnan(b)) throw VError::InvalidFloatOperation();
  if (b == 0.0L) {
    if (a == 0.0L) throw VError::InvalidFloatOperation();
    throw VError::FloatDivisionByZero();
  }
  const long double q = a / b;
  if (!std::isfinite(q)) throw VError::InvalidFloatOperation();
  return q;
}

long long CheckedMod(long long a, long long b) {
  if (b == 0) throw VError::DivisionByZero();
  if (b == -1) return 0;  // avoids the one overflowing case, LLONG_MIN % -1
  return a % b;
}

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace velmora
