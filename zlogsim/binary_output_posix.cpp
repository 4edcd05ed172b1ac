// POSIX systems write every stream in binary.
#include "zlogsim/binary_output.hpp"

namespace zlogsim {

std::FILE* binaryStandardOutput() {
  return stdout;
}

}  // namespace zlogsim
