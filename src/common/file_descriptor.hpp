// An open file that closes itself: whoever holds one owns the file, and no
// path of the program can leave it open. It holds the system's own handle
// (a descriptor on POSIX systems, a HANDLE on Windows).
#pragma once

#include "common/platform.hpp"

namespace kapolex {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  // Takes ownership of handle; platform::invalidHandle holds nothing.
  explicit FileDescriptor(platform::NativeHandle handle) : fd_(handle) {}
  ~FileDescriptor() { close(); }

  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  platform::NativeHandle get() const { return fd_; }
  explicit operator bool() const { return fd_ != platform::invalidHandle; }

  // Gives up ownership and returns the handle.
  platform::NativeHandle release() {
    const platform::NativeHandle handle = fd_;
    fd_ = platform::invalidHandle;
    return handle;
  }

  // Closes the file now; false if the system reported a failure, which
  // for a file just written can mean that data did not reach it.
  bool close();

 private:
  platform::NativeHandle fd_ = platform::invalidHandle;
};

}  // namespace kapolex
