#include "common/file_descriptor.hpp"

#include <unistd.h>

namespace kapolex {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.release();
  }
  return *this;
}

bool FileDescriptor::close() {
  if (fd_ < 0) return true;
  // The descriptor is gone after close whatever it reports, even on EINTR.
  const int result = ::close(release());
  return result == 0;
}

}  // namespace kapolex
