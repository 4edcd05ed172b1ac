// Windows opens standard output in text mode, which writes every line feed
// as CR LF.
#include <fcntl.h>
#include <io.h>

#include "zlogsim/binary_output.hpp"

namespace zlogsim {

std::FILE* binaryStandardOutput() {
  std::fflush(stdout);
  (void)::_setmode(::_fileno(stdout), _O_BINARY);
  return stdout;
}

}  // namespace zlogsim
