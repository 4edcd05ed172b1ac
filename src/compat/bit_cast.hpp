// The bits of a value read as another type of the same size, as
// std::bit_cast gives them, also with standard libraries that lack it (the
// browser build's); the compilers that build kapolex all have the builtin
// that std::bit_cast is made of.
#pragma once

#include <version>

#ifdef __cpp_lib_bit_cast
#include <bit>
#endif

namespace kapolex {

// from's bits as a To; both trivially copyable and of the same size.
template <class To, class From>
constexpr To bitCast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From));
#ifdef __cpp_lib_bit_cast
  return std::bit_cast<To>(from);
#else
  return __builtin_bit_cast(To, from);
#endif
}

}  // namespace kapolex
