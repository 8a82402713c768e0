#include "core/convert.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/error.h"

namespace velmora {

namespace {
char g_separator = '.';

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
}  // namespace

char DecimalSeparator() {
  return g_separator;
}

void SetDecimalSeparator(char separator) {
  g_separator = separator;
}

int32_t StrToInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size()) throw VError::NotAnInteger(text);
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) throw VError::NotAnInteger(text);
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) throw VError::NotAnInteger(text);
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) throw VError::NotAnInteger(text);
  return static_cast<int32_t>(value);
}

long double StrToFloat(const std::string& text) {
  // Validate the form first, then convert a normalised copy with '.' as separator.
  std::string normal;
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
  int digits = 0;
  bool separatorSeen = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      normal += c;
      ++digits;
    } else if (c == g_separator && !separatorSeen) {
      separatorSeen = true;
      normal += '.';
    } else {
      break;
    }
  }
  if (digits == 0) throw VError::NotAFloat(text);
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normal += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normal += text[i++];
    int expDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      normal += text[i];
      ++expDigits;
    }
    if (expDigits == 0) throw VError::NotAFloat(text);
  }
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size()) throw VError::NotAFloat(text);
  char* end = nullptr;
  const long double value = std::strtold(normal.c_str(), &end);
  if (!std::isfinite(value)) throw VError::NotAFloat(text);
  return value;
}

float StrToSingle(const std::string& text) {
  const long double value = StrToFloat(text);
  if (std::fabs(value) > static_cast<long double>(std::numeric_limits<float>::max()))
    throw VError::NotAFloat(text);
  return static_cast<float>(value);
}

std::string FloatToStr(double value) {
  if (value == 0.0) return "0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string s = buffer;
  // "%G" writes exponents as E-05 / E+20; the runtime writes E-5 / E+20.
  const size_t e = s.find('E');
  std::string mantissa = e == std::string::npos ? s : s.substr(0, e);
  std::string exponent;
  if (e != std::string::npos) {
    const char sign = s[e + 1];
    std::string digits = s.substr(e + 2);
    while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
    exponent = std::string("E") + (sign == '-' ? "-" : "+") + digits;
  }
  for (char& c : mantissa)
    if (c == '.') c = g_separator;
  return mantissa + exponent;
}

}  // namespace velmora
