// Doubles as fixed-notation decimals, with the digits std::to_chars gives:
// the shortest text that reads back as the same double, or a given number
// of decimals rounded from the exact binary value. Some standard libraries
// (the browser build's) lack the floating-point std::to_chars; there the
// project's own exact conversion writes the same digits.
#pragma once

#include <charconv>
#include <version>

namespace kapolex {

// The project's own conversions: exact integer arithmetic, no locale, no
// library formatting. They return what std::to_chars returns for the same
// arguments with std::chars_format::fixed: the end of the text written to
// [first, last), or last and std::errc::value_too_large when it does not
// fit. A negative decimals is taken as 6, as printf takes an omitted one.
std::to_chars_result portableFixedChars(char* first, char* last, double value);
std::to_chars_result portableFixedChars(char* first, char* last, double value, int decimals);

// The shortest fixed-notation text that reads back as value; whole numbers
// are written with all their exact digits.
inline std::to_chars_result fixedChars(char* first, char* last, double value) {
#ifdef __cpp_lib_to_chars
  return std::to_chars(first, last, value, std::chars_format::fixed);
#else
  return portableFixedChars(first, last, value);
#endif
}

// value with the given number of decimals, rounded half to even from its
// exact binary value.
inline std::to_chars_result fixedChars(char* first, char* last, double value, int decimals) {
#ifdef __cpp_lib_to_chars
  return std::to_chars(first, last, value, std::chars_format::fixed, decimals);
#else
  return portableFixedChars(first, last, value, decimals);
#endif
}

}  // namespace kapolex
