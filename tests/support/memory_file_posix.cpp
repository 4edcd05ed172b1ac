// The memory file on Linux: an anonymous memfd.
#include <sys/mman.h>
#include <unistd.h>

#include <stdexcept>

#include "support/memory_file.hpp"

namespace kapolex::testing {

FileDescriptor memoryFileOf(std::span<const std::uint8_t> bytes) {
  FileDescriptor file(::memfd_create("z.log", MFD_CLOEXEC));
  std::size_t done = 0;
  while (file && done < bytes.size()) {
    const ssize_t wrote =
        ::write(static_cast<int>(file.get()), bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  if (!file || done != bytes.size() || ::lseek(static_cast<int>(file.get()), 0, SEEK_SET) != 0) {
    throw std::runtime_error("cannot make a memory file");
  }
  return file;
}

}  // namespace kapolex::testing
