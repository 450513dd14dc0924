#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace s::xml {

// Typed values as attribute text. Integers are plain decimal. Floating values
// are written in fixed notation with the fewest digits that read back as the
// very same value (a fixed count of six decimals would lose small values and
// precision). Formatting and parsing do not depend on the process locale.

void appendSigned(std::int64_t value, std::u16string& out);
void appendUnsigned(std::uint64_t value, std::u16string& out);
void appendFloat(float value, std::u16string& out);
void appendDouble(double value, std::u16string& out);

// Parsers accept surrounding spaces, tabs, carriage returns and line feeds
// and an optional sign; anything else around the number, an empty text and a
// value outside the type make them fail (false, `value` untouched).
bool parseSigned(std::u16string_view text, std::int64_t& value);
bool parseUnsigned(std::u16string_view text, std::uint64_t& value);
bool parseFloat(std::u16string_view text, float& value);
bool parseDouble(std::u16string_view text, double& value);

// A boolean attribute is true when its text begins with "1" or with the
// lower-case letters "true", false otherwise.
bool parseBool(std::u16string_view text);

// Parses an integer of type T, failing when the number lies outside T.
template <class T>
bool parseInteger(std::u16string_view text, T& value) {
  if constexpr (std::numeric_limits<T>::is_signed) {
    std::int64_t wide;
    if (!parseSigned(text, wide) || wide < std::numeric_limits<T>::min() ||
        wide > std::numeric_limits<T>::max()) {
      return false;
    }
    value = static_cast<T>(wide);
  } else {
    std::uint64_t wide;
    if (!parseUnsigned(text, wide) || wide > std::numeric_limits<T>::max()) return false;
    value = static_cast<T>(wide);
  }
  return true;
}

}  // namespace s::xml
