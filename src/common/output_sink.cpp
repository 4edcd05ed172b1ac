#include "common/output_sink.hpp"

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>

#include "common/run_stop.hpp"

namespace kapolex {

OutputSink sinkForFile(int fd, int unit, std::string path, std::size_t bufferSize,
                       bool cutAtFirstWrite) {
  OutputSink sink;
  sink.fd = fd;
  sink.unit = unit;
  sink.path = std::move(path);
  sink.capacity = bufferSize;
  sink.buffer = std::make_unique<char[]>(bufferSize);
  sink.cutPending = cutAtFirstWrite;
  return sink;
}

OutputSink sinkForMemory(std::string& memory, int unit, std::string path, std::size_t bufferSize) {
  OutputSink sink;
  sink.memory = &memory;
  sink.unit = unit;
  sink.path = std::move(path);
  sink.capacity = bufferSize;
  sink.buffer = std::make_unique<char[]>(bufferSize);
  return sink;
}

namespace {

bool writeAll(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t done = ::write(fd, bytes, count);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += done;
    count -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

bool flushOutputQuietly(OutputSink& sink) {
  if (sink.used == 0) return true;
  const std::size_t count = sink.used;
  sink.used = 0;
  if (sink.memory != nullptr) {
    sink.memory->append(sink.buffer.get(), count);
    return true;
  }
  if (sink.cutPending) {
    sink.cutPending = false;
    if (::ftruncate(sink.fd, 0) != 0) return false;
  }
  return writeAll(sink.fd, sink.buffer.get(), count);
}

void flushOutput(OutputSink& sink) {
  if (!flushOutputQuietly(sink)) stopRun(Diagnostic::writeError, sink.unit, sink.path);
}

void writeOutput(OutputSink& sink, std::string_view text) {
  while (!text.empty()) {
    if (sink.used == sink.capacity) flushOutput(sink);
    const std::size_t room = sink.capacity - sink.used;
    const std::size_t part = text.size() < room ? text.size() : room;
    std::memcpy(sink.buffer.get() + sink.used, text.data(), part);
    sink.used += part;
    text.remove_prefix(part);
  }
}

}  // namespace kapolex
