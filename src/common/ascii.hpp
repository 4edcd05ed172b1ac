// Character classes of the plain ASCII texts the program reads: layouts,
// week answers and option values. They never depend on a locale.
#pragma once

namespace kapolex {

constexpr bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace kapolex
