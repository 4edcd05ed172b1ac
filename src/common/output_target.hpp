// Where a sink's bytes finally go: a file that the sink owns or borrows, or
// memory. It stands apart from the sink's buffer so that an encoder between
// the two (gzip) writes through the very calls the sink itself uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/file_handle.hpp"
#include "common/platform.hpp"

namespace kapolex {

class OutputTarget {
 public:
  // A file that the target owns and closes. With cutAtFirstWrite the file
  // is emptied right before the first bytes reach it, so that a run that
  // never writes leaves an existing file as it was.
  OutputTarget(FileHandle file, bool cutAtFirstWrite);
  // A file that stays open, such as a standard stream.
  static OutputTarget borrowing(platform::NativeHandle file);
  // The end of memory, which must outlive the target; what it holds already
  // stays in front of the target's first byte.
  explicit OutputTarget(std::string& memory);

  // Appends count bytes after those written so far; false if the system
  // refused them.
  bool append(const char* bytes, std::size_t count);

  // Replaces count bytes at offset from the target's first byte, all of
  // them written already, leaving the end where it is; false if the system
  // refused them. Only for a rewritable target.
  bool writeAt(std::uint64_t offset, const char* bytes, std::size_t count);

  // Whether bytes already written can be replaced: true for memory and for
  // an owned file, not closed yet, that is cut at the first write, as those
  // are regular files written from their first byte; a pipe, a terminal or
  // a borrowed stream is only written forward.
  bool rewritable() const { return memory_ != nullptr || (owned_ && writtenFromStart_); }

  // Closes an owned file; false if the system reported a failure. Nothing
  // more may be written afterwards.
  bool close();

 private:
  OutputTarget(platform::NativeHandle file, std::string* memory);

  FileHandle owned_;
  platform::NativeHandle file_ = platform::invalidHandle;  // invalid when kept in memory
  std::string* memory_ = nullptr;                          // where a memory target's bytes go
  std::size_t memoryStart_ = 0;  // what the memory held before the target's first byte
  bool cutPending_ = false;
  bool writtenFromStart_ = false;  // an owned file cut at the first write
};

}  // namespace kapolex
