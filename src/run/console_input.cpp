#include "run/console_input.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/run_stop.hpp"

namespace kapolex {

ConsoleInput consoleFromFd(int fd) {
  ConsoleInput input;
  input.fd = fd;
  return input;
}

ConsoleInput consoleFromText(std::string_view text) {
  ConsoleInput input;
  input.memory = text;
  return input;
}

namespace {

void refill(ConsoleInput& input) {
  input.position = 0;
  input.filled = 0;
  if (input.fd < 0) {
    const std::size_t part = std::min(input.memory.size(), input.buffer.size());
    input.memory.copy(input.buffer.data(), part);
    input.memory.remove_prefix(part);
    input.filled = part;
    input.ended = part == 0;
    return;
  }
  for (;;) {
    const ssize_t got = ::read(input.fd, input.buffer.data(), input.buffer.size());
    if (got >= 0) {
      input.filled = static_cast<std::size_t>(got);
      input.ended = got == 0;
      return;
    }
    if (errno != EINTR) stopRun(Diagnostic::readError, consoleInputUnit, consoleInputName);
  }
}

}  // namespace

int nextConsoleChar(ConsoleInput& input) {
  if (input.position == input.filled) {
    if (input.ended) return endOfConsoleInput;
    refill(input);
    if (input.ended) return endOfConsoleInput;
  }
  return static_cast<unsigned char>(input.buffer[input.position++]);
}

}  // namespace kapolex
