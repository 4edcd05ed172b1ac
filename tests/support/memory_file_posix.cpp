// The memory file on POSIX systems: a temporary file whose name is removed
// at once, so that it lives only as long as its descriptor (Linux keeps such
// a file in the page cache; memfd_create would tie the tests to Linux).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "support/memory_file.hpp"

namespace kapolex::testing {

FileHandle memoryFileOf(std::span<const std::uint8_t> bytes) {
  std::string name = (std::filesystem::temp_directory_path() / "kapolex-log-XXXXXX").string();
  FileHandle file(::mkstemp(name.data()));
  if (!file) throw std::runtime_error("cannot make a memory file");
  ::unlink(name.c_str());
  const int fd = static_cast<int>(file.get());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  if (done != bytes.size() || ::lseek(fd, 0, SEEK_SET) != 0) {
    throw std::runtime_error("cannot fill a memory file");
  }
  return file;
}

}  // namespace kapolex::testing
