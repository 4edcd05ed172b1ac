#include "common/file_descriptor.hpp"

namespace kapolex {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.release();
  }
  return *this;
}

bool FileDescriptor::close() {
  if (!*this) return true;
  return platform::closeHandle(release());
}

}  // namespace kapolex
