#include "common/file_handle.hpp"

namespace kapolex {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.release();
  }
  return *this;
}

bool FileHandle::close() {
  if (!*this) return true;
  return platform::closeHandle(release());
}

}  // namespace kapolex
