// Buffered text output to the observation file or the console. Lines are
// assembled in a fixed buffer and written out in large chunks, straight to
// the target or through an encoder (gzip); a write that the system refuses
// stops the run with the stream's own diagnostic.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/file_handle.hpp"
#include "common/output_encoder.hpp"
#include "common/output_target.hpp"
#include "common/platform.hpp"

namespace kapolex {

constexpr std::size_t fileOutputBufferSize = std::size_t{1} << 20;
constexpr std::size_t consoleOutputBufferSize = std::size_t{1} << 12;

class OutputSink {
 public:
  // Writes to a file that the sink owns and closes. With cutAtFirstWrite
  // the file is emptied right before the first bytes reach it, so a run that
  // never writes leaves an existing file as it was. unit and path name the
  // stream in diagnostics.
  OutputSink(FileHandle file, int unit, std::string path, std::size_t bufferSize,
             bool cutAtFirstWrite);
  // Writes to a file that stays open, such as a standard stream.
  static OutputSink borrowing(platform::NativeHandle file, int unit, std::string path,
                              std::size_t bufferSize);
  // Collects the bytes in memory, which must outlive the sink.
  OutputSink(std::string& memory, int unit, std::string path, std::size_t bufferSize);

  // An encoded sink that was not closed is closed here, so that its stream
  // is complete even when the run unwinds past its close.
  ~OutputSink();
  OutputSink(OutputSink&&) noexcept = default;
  // Not assigned over, which would drop an encoded stream unfinished: a new
  // sink is made in the old one's place (std::optional::emplace).
  OutputSink& operator=(OutputSink&&) = delete;

  int unit() const { return unit_; }
  const std::string& path() const { return path_; }
  std::size_t capacity() const { return capacity_; }

  // From the first byte on, writes through encoder (nullptr: as they are).
  // Before any byte is taken.
  void encodeWith(std::unique_ptr<OutputEncoder> encoder);

  // Room for n (at most capacity) bytes at the end of the buffer, flushing
  // first if needed; the caller fills them and then commits the number it
  // wrote. Inline: it runs for every line.
  char* reserve(std::size_t n) {
    assert(n <= capacity_);
    if (capacity_ - used_ < n) flush();
    return buffer_.get() + used_;
  }
  void commit(std::size_t n) {
    assert(n <= capacity_ - used_);
    used_ += n;
  }

  // Appends text of any length.
  void write(std::string_view text);

  // Writes the buffered bytes out; a refused write stops the run.
  void flush();

  // Writes the buffered bytes out; false if the system refused them. For the
  // stop path, which must not stop twice. An encoded sink hands them to its
  // encoder, whose stream is complete only at close.
  bool flushQuietly();

  // Marks the bytes taken so far (a header) as the only ones that an
  // encoded sink can still rewrite; an encoder that keeps them apart writes
  // them out now. Nothing for a plain sink. A refused write stops the run.
  void endStoredPart();

  // Writes out what is buffered, completes an encoded stream and closes an
  // owned file; false if any of it failed. Nothing more may be written
  // afterwards.
  bool close();

  // How many bytes the sink has taken so far, buffered ones included: the
  // offset from its first byte at which the next byte goes.
  std::uint64_t position() const { return flushed_ + used_; }
  // How many bytes wait in the buffer.
  std::size_t buffered() const { return used_; }

  // Whether bytes already written can be replaced: true for memory and for
  // an owned file that is cut at the first write, as those are regular
  // files that the sink writes from their first byte; a pipe, a terminal
  // or a borrowed stream is only written forward. An encoded sink replaces
  // only bytes of its stored part.
  bool rewritable() const { return target_.rewritable(); }

  // Replaces the bytes at offset (from the sink's first byte; offset plus
  // the length at most position()) with bytes, after writing out what is
  // buffered, so that a record whose content is only known at the end can
  // be filled in without reading anything back. False, changing nothing, if
  // the sink is not rewritable or the range was not written (or, encoded,
  // lies beyond the stored part); false too if the system refused the bytes.
  bool rewrite(std::uint64_t offset, std::string_view bytes);

 private:
  OutputSink(OutputTarget target, int unit, std::string path, std::size_t bufferSize);

  OutputTarget target_;
  std::unique_ptr<OutputEncoder> encoder_;  // none for a plain sink
  int unit_ = 0;
  std::string path_;  // full path name or console name
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  std::uint64_t flushed_ = 0;  // bytes written out so far
};

}  // namespace kapolex
