// A buffer whose bytes are written before they are read, so that
// initialising them would be wasted work: std::make_unique_for_overwrite,
// also with standard libraries that lack it (the browser build's).
#pragma once

#include <cstddef>
#include <memory>
#include <version>

namespace kapolex {

// An array of n default-initialised Ts: trivial types are left unset.
template <class T>
std::unique_ptr<T[]> uninitializedArray(std::size_t n) {
#ifdef __cpp_lib_smart_ptr_for_overwrite
  return std::make_unique_for_overwrite<T[]>(n);
#else
  return std::unique_ptr<T[]>(new T[n]);
#endif
}

}  // namespace kapolex
