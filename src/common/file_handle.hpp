// An open file that closes itself: whoever holds one owns the file, and no
// path of the program can leave it open. It holds the system's own handle
// (a descriptor on POSIX systems, a HANDLE on Windows).
#pragma once

#include "common/platform.hpp"

namespace kapolex {

class FileHandle {
 public:
  FileHandle() = default;
  // Takes ownership of handle; platform::invalidHandle holds nothing.
  explicit FileHandle(platform::NativeHandle handle) : handle_(handle) {}
  ~FileHandle() { close(); }

  FileHandle(FileHandle&& other) noexcept : handle_(other.release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  platform::NativeHandle get() const { return handle_; }
  explicit operator bool() const { return handle_ != platform::invalidHandle; }

  // Gives up ownership and returns the handle.
  platform::NativeHandle release() {
    const platform::NativeHandle handle = handle_;
    handle_ = platform::invalidHandle;
    return handle;
  }

  // Closes the file now; false if the system reported a failure, which
  // for a file just written can mean that data did not reach it.
  bool close();

 private:
  platform::NativeHandle handle_ = platform::invalidHandle;
};

}  // namespace kapolex
