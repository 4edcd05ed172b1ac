// An open file descriptor that closes itself: whoever holds one owns the
// file, and no path of the program can leave it open.
#pragma once

namespace kapolex {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  // Takes ownership of fd; -1 holds nothing.
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { close(); }

  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

  // Gives up ownership and returns the descriptor.
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

  // Closes the descriptor now; false if the system reported a failure, which
  // for a file just written can mean that data did not reach it.
  bool close();

 private:
  int fd_ = -1;
};

}  // namespace kapolex
