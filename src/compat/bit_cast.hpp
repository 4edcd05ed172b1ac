// The bits of a value read as another type of the same size, as
// std::bit_cast gives them, also with standard libraries that lack it (the
// browser build's libc++ 13, from Emscripten 3.1.6); the compilers that
// build kapolex all have the builtin that std::bit_cast is made of. It can
// go once the browser build has libc++ 14 or later (see README.md).
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
