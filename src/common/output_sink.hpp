// Buffered text output to the observation file or the console. Lines are
// assembled in a fixed buffer and written out in large chunks; a write that
// the system refuses stops the run with the stream's own diagnostic.
#pragma once

#include <cassert>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace kapolex {

constexpr std::size_t fileOutputBufferSize = std::size_t{1} << 20;
constexpr std::size_t consoleOutputBufferSize = std::size_t{1} << 12;

struct OutputSink {
  int fd = -1;                    // -1 when the output is kept in memory
  std::string* memory = nullptr;  // where a memory sink's bytes go
  int unit = 0;                   // stream number, for diagnostics
  std::string path;               // full path name or console name
  std::unique_ptr<char[]> buffer;
  std::size_t capacity = 0;
  std::size_t used = 0;
  bool cutPending = false;  // an existing file is cut at the first write
};

// A sink writing to an open descriptor, which it does not own. With
// cutAtFirstWrite the file is emptied right before the first bytes reach it,
// so a run that never writes leaves an existing file as it was.
OutputSink sinkForFile(int fd, int unit, std::string path, std::size_t bufferSize,
                       bool cutAtFirstWrite);

// A sink collecting its bytes in a string that must outlive it.
OutputSink sinkForMemory(std::string& memory, int unit, std::string path, std::size_t bufferSize);

// Writes the buffered bytes out; a refused write stops the run.
void flushOutput(OutputSink& sink);

// Room for n bytes at the end of the buffer (flushing first if needed); the
// caller fills them and then calls commitOutput with the number written.
// Inline: it runs for every line.
inline char* reserveOutput(OutputSink& sink, std::size_t n) {
  assert(n <= sink.capacity);
  if (sink.capacity - sink.used < n) flushOutput(sink);
  return sink.buffer.get() + sink.used;
}
inline void commitOutput(OutputSink& sink, std::size_t n) {
  sink.used += n;
}

// Appends text of any length.
void writeOutput(OutputSink& sink, std::string_view text);

// Writes the buffered bytes out; false if the system refused them. For the
// stop path, which must not stop twice.
bool flushOutputQuietly(OutputSink& sink);

}  // namespace kapolex
